// The target text rules against windows of this process: which handler a
// class gets, how a selection's text is taken or refused, when a selection is
// partial and needs a space after it, and the leading-space decision; and the
// correction's own services over the recognition records.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TypingTestSupport.h"
#include "ink/RecResult.h"
#include "ink/SelectionCorrection.h"
#include "ink/TargetText.h"
#include "tests/ink/RecordsText.h"
#include "tests/targets/ObjectModelClient.h"

namespace typingtest {
namespace {

// A window that answers the edit messages from a text and selection of its
// own, and notes which messages reached it. Its procedure is set on the window
// itself: another test of this program may have registered the class first.
class FakeEdit {
  public:
    explicit FakeEdit(const wchar_t* className = L"ScribixFakeEdit") : window_(className) {
        SetWindowLongPtrW(get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrW(get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FakeEdit::proc));
    }
    ~FakeEdit() {
        SetWindowLongPtrW(get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
    }
    FakeEdit(const FakeEdit&) = delete;
    FakeEdit& operator=(const FakeEdit&) = delete;

    HWND get() const { return window_.get(); }
    void show(const std::wstring& text, LONG start, LONG end) {
        text_ = text;
        start_ = start;
        end_ = end;
        messages_.clear();
    }
    // WM_GETTEXTLENGTH answers `length` whatever the text holds (-1: the truth).
    void claimLength(LONG length) { claimed_ = length; }
    int count(UINT message) const {
        int n = 0;
        for (UINT m : messages_) n += m == message;
        return n;
    }
    bool askedForObjectModel() const { return objectModelAsked_; }
    const std::wstring& text() const { return text_; }
    LONG start() const { return start_; }
    LONG end() const { return end_; }

  private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<FakeEdit*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (!self) return DefWindowProcW(window, message, wParam, lParam);
        self->messages_.push_back(message);
        switch (message) {
            case WM_GETOBJECT:
                if (static_cast<LONG>(lParam) == OBJID_NATIVEOM) self->objectModelAsked_ = true;
                return 0;
            case WM_GETTEXTLENGTH:
                return self->claimed_ >= 0 ? self->claimed_
                                           : static_cast<LRESULT>(self->text_.size());
            case WM_GETTEXT: {
                size_t n = std::min(self->text_.size(), static_cast<size_t>(wParam) - 1);
                wchar_t* out = reinterpret_cast<wchar_t*>(lParam);
                self->text_.copy(out, n);
                out[n] = 0;
                return static_cast<LRESULT>(n);
            }
            case EM_GETSEL:
                if (wParam) *reinterpret_cast<DWORD*>(wParam) = self->start_;
                if (lParam) *reinterpret_cast<DWORD*>(lParam) = self->end_;
                return MAKELONG(self->start_, self->end_);
            case EM_SETSEL:
                self->start_ = static_cast<LONG>(wParam);
                self->end_ = static_cast<LONG>(lParam);
                return 0;
            case EM_REPLACESEL: {
                std::wstring with = reinterpret_cast<const wchar_t*>(lParam);
                self->text_.replace(self->start_, self->end_ - self->start_, with);
                self->start_ = self->end_ = self->start_ + static_cast<LONG>(with.size());
                return 0;
            }
            default:
                return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    ClassWindow window_;
    std::wstring text_;
    LONG start_ = 0, end_ = 0;
    LONG claimed_ = -1;
    std::vector<UINT> messages_;
    bool objectModelAsked_ = false;
};

class TargetTextUnits : public ::testing::Test {
  protected:
    targets::ComApartment apartment_;
    FakeEdit edit_;
};

// Another program's control answers what it likes: a text length or a
// selection far beyond what a field holds sizes no buffer; such a read is
// refused before the text is asked for.
TEST(TargetTextBounds, ClaimedLengthsBeyondTheLongestReadAreRefusedUnread) {
    targets::ComApartment apartment;
    constexpr LONG kClaimed = 16 * 1024 * 1024;
    for (const wchar_t* className : {L"ScribixFakeEdit", L"RichEditClaims"}) {
        SCOPED_TRACE(std::string(className, className + wcslen(className)));
        FakeEdit edit(className);
        edit.show(L"hello", kClaimed, kClaimed);
        edit.claimLength(kClaimed);
        CTargetText target(edit.get());
        wchar_t before = L'?';
        EXPECT_FALSE(target.charBeforeSelection(before));
        edit.show(L"hello", kClaimed - 4, kClaimed);
        CTargetText selected(edit.get());
        std::wstring text, trailing;
        EXPECT_FALSE(selected.getSelectionText(text, trailing));
        EXPECT_EQ(edit.count(WM_GETTEXT), 0) << "the text was asked for";
    }
}

TEST_F(TargetTextUnits, HandlerFollowsTheClassName) {
    struct ClassCase {
        const wchar_t* className;
        bool objectModel;
        int kind;  // no object model is served here
    };
    const ClassCase cases[] = {
        {L"_WwG", true, CTargetText::KIND_NONE},
        {L"_WwGx", false, CTargetText::KIND_EDIT},
        // A rich edit without an object model is read by the edit messages.
        {L"RichEdit20W", true, CTargetText::KIND_EDIT},
        {L"richedit50w", true, CTargetText::KIND_EDIT},
        {L"RICHEDITxyz", true, CTargetText::KIND_EDIT},
        {L"RichEdi", false, CTargetText::KIND_EDIT},
        {L"MyRichEdit", false, CTargetText::KIND_EDIT},
        {L"Edit", false, CTargetText::KIND_EDIT},
    };
    for (const ClassCase& c : cases) {
        FakeEdit window(c.className);
        window.show(L"hello", 1, 3);
        CTargetText target(window.get());
        EXPECT_EQ(c.objectModel, window.askedForObjectModel()) << c.className;
        EXPECT_EQ(c.kind == CTargetText::KIND_EDIT, window.count(EM_GETSEL) > 0) << c.className;
        EXPECT_EQ(c.kind, target.kind()) << c.className;
    }
}

TEST_F(TargetTextUnits, RichEditWithoutObjectModelCountsParagraphMarksAsOnePosition) {
    // Its positions count a line break as one paragraph mark while its text
    // gives "\r\n": the character before the caret is found in positions.
    struct RichCase {
        const wchar_t* text;
        LONG caret;
        wchar_t before;
        bool leading;
        LONG length;
    };
    const RichCase cases[] = {
        {L"ab\r\ncd", 4, L'c', true, 5},
        {L"ab\r\ncd", 3, L'\r', false, 5},
        {L"one\r\ntwo\r\nthree", 9, L't', true, 13},
        {L"say", 3, L'y', true, 3},
    };
    for (const RichCase& c : cases) {
        FakeEdit window(L"RichEdit20W");
        window.show(c.text, c.caret, c.caret);
        CTargetText target(window.get());
        wchar_t before = L'?';
        EXPECT_TRUE(target.charBeforeSelection(before)) << c.caret;
        EXPECT_EQ(c.before, before) << c.caret;
        EXPECT_EQ(c.leading, target.needsLeadingSpace(L"world")) << c.caret;
        EXPECT_EQ(c.length, target.textLength()) << c.caret;
    }
    // A selection is read and replaced in the same positions.
    FakeEdit window(L"RichEdit20W");
    window.show(L"one\r\ntwo", 4, 7);
    CTargetText target(window.get());
    std::wstring text, trailing;
    ASSERT_TRUE(target.getSelectionText(text, trailing));
    EXPECT_EQ(L"two", text);
}

TEST_F(TargetTextUnits, EditHandlerReadsTheSelection) {
    edit_.show(L"hello world", 6, 11);
    CTargetText target(edit_.get());
    EXPECT_EQ(CTargetText::KIND_EDIT, target.kind());
    EXPECT_TRUE(target.hasSelection());
    EXPECT_EQ(6, target.selStart());
    EXPECT_EQ(11, target.selEnd());
    EXPECT_EQ(5, target.selectionLength());
    EXPECT_EQ(11, target.textLength());

    // A caret at the very start reads as no selection at all.
    edit_.show(L"hello", 0, 0);
    CTargetText atStart(edit_.get());
    EXPECT_FALSE(atStart.hasHandler());
    EXPECT_EQ(-1, atStart.selStart());
    EXPECT_EQ(0, atStart.selectionLength());

    CTargetText none(nullptr);
    EXPECT_FALSE(none.hasHandler());
    EXPECT_FALSE(none.hasSelection());
    std::wstring text, trailing;
    EXPECT_FALSE(none.getSelectionText(text, trailing));
    EXPECT_FALSE(none.replaceSelection(L"x", false));
}

TEST_F(TargetTextUnits, SelectionTextStopsAtControlCharactersOrIsRefused) {
    struct TextCase {
        const wchar_t* text;
        LONG start, end;
        bool taken;
        const wchar_t* selected;
        const wchar_t* trailing;
        bool refused;  // for control characters
    };
    const TextCase cases[] = {
        {L"hello world", 0, 5, true, L"hello", L"", false},
        {L"hello\r", 0, 6, true, L"hello", L"\r", false},
        {L"a\tb c", 0, 5, true, L"a\tb c", L"", false},
        {L"ab\x01\x02", 0, 4, true, L"ab", L"\x01\x02", false},
        {L"ab\r\ncd", 0, 6, false, L"", L"", true},
        {L"ab\r\n", 0, 4, false, L"", L"", true},
        {L"\rabc", 0, 4, false, L"", L"", true},
        {L"hello", 2, 2, false, L"", L"", false},
    };
    for (const TextCase& c : cases) {
        edit_.show(c.text, c.start, c.end);
        CTargetText target(edit_.get());
        std::wstring text = L"old", trailing = L"old";
        EXPECT_EQ(c.taken, target.getSelectionText(text, trailing)) << c.text;
        EXPECT_EQ(c.selected, text) << c.text;
        EXPECT_EQ(c.trailing, trailing) << c.text;
        EXPECT_EQ(c.refused, target.refusedForControls()) << c.text;
    }
}

TEST_F(TargetTextUnits, SelectionIsPartialAndNeedsASpaceAfterIt) {
    struct SelectionCase {
        std::wstring text;
        LONG start, end;
        bool selection, partial, needSpace;
    };
    const std::wstring longText(300, L'x');
    const SelectionCase cases[] = {
        {L"hello world", 0, 5, true, true, false},
        {L"hello world", 0, 6, true, true, true},
        {L"hello world", 0, 11, true, false, false},
        {L"hello world", 1, 11, true, false, false},  // all but one
        {L"hello world", 2, 11, true, true, false},
        {longText, 0, 33, true, false, false},
        {longText, 0, 32, true, true, false},
        {L"hello", 3, 3, false, false, false},
    };
    for (const SelectionCase& c : cases) {
        edit_.show(c.text, c.start, c.end);
        int kind = -1;
        bool needSpace = !c.needSpace, partial = !c.partial;
        EXPECT_EQ(c.selection, checkTargetSelection(edit_.get(), kind, needSpace, partial))
            << c.start << "-" << c.end;
        EXPECT_EQ(CTargetText::KIND_EDIT, kind);
        EXPECT_EQ(c.partial, partial) << c.start << "-" << c.end;
        EXPECT_EQ(c.needSpace, needSpace) << c.start << "-" << c.end;
    }
}

TEST_F(TargetTextUnits, LongEditSelectionNeedsASpaceWithoutBeingRead) {
    const std::wstring text(300, L'x');
    int kind = 0;
    bool needSpace = false, partial = true;
    edit_.show(text, 0, 256);
    EXPECT_TRUE(checkTargetSelection(edit_.get(), kind, needSpace, partial));
    EXPECT_TRUE(needSpace);
    EXPECT_EQ(0, edit_.count(WM_GETTEXT));
    edit_.show(text, 0, 255);
    EXPECT_TRUE(checkTargetSelection(edit_.get(), kind, needSpace, partial));
    EXPECT_FALSE(needSpace);
    EXPECT_EQ(1, edit_.count(WM_GETTEXT));
}

TEST_F(TargetTextUnits, ReplacingCanSelectTheInsertedText) {
    edit_.show(L"hello world", 6, 11);
    {
        CTargetText target(edit_.get());
        EXPECT_TRUE(target.replaceSelection(L"there", true));
    }
    EXPECT_EQ(L"hello there", edit_.text());
    EXPECT_EQ(6, edit_.start());
    EXPECT_EQ(11, edit_.end());
    {
        CTargetText target(edit_.get());
        EXPECT_TRUE(target.replaceSelection(L"you", false));
        EXPECT_FALSE(target.replaceSelection(nullptr, false));
    }
    EXPECT_EQ(L"hello you", edit_.text());
    EXPECT_EQ(9, edit_.start());
    EXPECT_EQ(9, edit_.end());
}

TEST_F(TargetTextUnits, LeadingSpaceDependsOnTheCharacterBeforeAndTheText) {
    struct SpaceCase {
        wchar_t before;
        const wchar_t* text;
        bool wanted;
    };
    const SpaceCase cases[] = {
        {0, L"word", false},      {L' ', L"word", false},   {L'\r', L"word", false},
        {L'\n', L"word", false},  {L'\t', L"word", false},  {0xA0, L"word", false},
        {L'(', L"word", false},   {L'[', L"word", false},   {L'o', L"word", true},
        {L'7', L"word", true},    {L'.', L"Word", true},    {L',', L"word", true},
        {L')', L"word", true},    {L'o', nullptr, true},    {L'o', L",", false},
        {L'o', L". Next", false}, {L'o', L"!", false},      {L'o', L"'s", false},
        {L'o', L")", false},      {L'o', L" word", false},  {L'o', L"\x03word", false},
        {L'o', L"", false},       {L'o', L"(aside)", true}, {L'o', L"42", true},
    };
    for (const SpaceCase& c : cases)
        EXPECT_EQ(c.wanted, leadingSpaceWanted(c.before, c.text))
            << int(c.before) << " " << (c.text ? "text" : "null");
}

TEST_F(TargetTextUnits, EditGivesTheCharacterBeforeTheCaret) {
    struct BeforeCase {
        const wchar_t* text;
        LONG caret;
        bool read;
        wchar_t before;
        bool leading;
    };
    const BeforeCase cases[] = {
        {L"hello", 5, true, L'o', true},
        {L"hello ", 6, true, L' ', false},
        {L"ab\r\ncd", 4, true, L'\n', false},
        {L"hello world", 3, true, L'l', true},
        {L"", 0, false, 0, false},  // an empty field has no handler
    };
    for (const BeforeCase& c : cases) {
        edit_.show(c.text, c.caret, c.caret);
        CTargetText target(edit_.get());
        wchar_t before = L'?';
        EXPECT_EQ(c.read, target.charBeforeSelection(before)) << c.text;
        EXPECT_EQ(c.before, before) << c.text;
        EXPECT_EQ(c.leading, target.needsLeadingSpace(L"world")) << c.text;

        int kind = 0;
        bool needSpace = true, partial = true;
        before = L'?';
        EXPECT_FALSE(checkTargetSelection(edit_.get(), kind, needSpace, partial, before));
        EXPECT_EQ(c.before, before) << c.text;
    }
    // Before a selection: the character before its start.
    edit_.show(L"hello world", 6, 11);
    wchar_t before = 0;
    CTargetText target(edit_.get());
    EXPECT_TRUE(target.charBeforeSelection(before));
    EXPECT_EQ(L' ', before);
}

// The program's own correction services read the current result (its target,
// layout and word list, which the reference keeps alive after the slot moved
// on) and make word lists from selected text.
TEST(OwnCorrectionServices, ReadTheCurrentResultAndMakeListsFromText) {
    CorrectionServices own;
    clearRecResults();
    HWND target = nullptr;
    std::shared_ptr<const RecWordList> list;
    EXPECT_FALSE(own.currentResultForCorrection(target, list));
    EXPECT_EQ(nullptr, own.currentResultLayout());

    HWND window = reinterpret_cast<HWND>(0x1234);
    HKL layout = reinterpret_cast<HKL>(0x04090409);
    setCurrentRecResult(adoptRecResult(new RecResult(window, nullptr, nullptr, layout)), false,
                        false);
    EXPECT_FALSE(own.currentResultForCorrection(target, list)) << "a result without a list";
    EXPECT_EQ(layout, own.currentResultLayout());
    ASSERT_TRUE(replaceCurrentWordList(makeWordListFromText(L"two words", nullptr), false));
    ASSERT_TRUE(own.currentResultForCorrection(target, list));
    EXPECT_EQ(window, target);
    clearRecResults();
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(L"two words", joinedText(*list));

    // No recognizer module here: a list without the profile's variants.
    RecWordList* made = own.makeWordListFromText(L"hi, you");
    ASSERT_NE(nullptr, made);
    EXPECT_TRUE(made->madeFromText());
    EXPECT_EQ(3, made->wordCount());
    EXPECT_EQ(L"hi, you", joinedText(*made));
    own.deleteWordList(made);
    EXPECT_EQ(nullptr, own.makeWordListFromText(nullptr));
}

}  // namespace
}  // namespace typingtest
