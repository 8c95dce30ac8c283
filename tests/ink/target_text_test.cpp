// The target text handlers against our own target programs in other
// processes: the edit by its messages, the rich edit through its Text Object
// Model document, the word processor window through its Selection by
// IDispatch; and the correction of a selection in the word-list menu.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TypingTestSupport.h"
#include "ink/SelectionCorrection.h"
#include "ink/TargetText.h"
#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "core/ShellLink.h"
#include "shell/Startup.h"
#include "shell/Stickers.h"
#include "tests/support/TraceCapture.h"
#include "tests/targets/ObjectModelClient.h"
#include "tests/targets/SelectionCases.h"
#include "tests/targets/TargetClient.h"

namespace typingtest {
namespace {

using targets::TargetKind;
using targets::TargetProcess;

class TargetFixture {
  protected:
    void start(TargetKind kind) {
        target_.reset(new TargetProcess(kind));
        ASSERT_TRUE(target_->ok()) << target_->error();
    }
    void show(const std::wstring& text, LONG anchor, LONG active) {
        ASSERT_TRUE(target_->setText(text));
        ASSERT_TRUE(target_->setSelection(anchor, active));
    }
    HWND control() const { return target_->control(); }

    targets::ComApartment apartment_;
    std::unique_ptr<TargetProcess> target_;
};

class TargetTextTest : public TargetFixture, public ::testing::TestWithParam<TargetKind> {
  protected:
    void SetUp() override { start(GetParam()); }
    bool isEdit() const { return GetParam() == TargetKind::Edit; }
};

TEST_P(TargetTextTest, ReadsTheSelectionThroughItsHandler) {
    show(L"hello world", 6, 11);
    CTargetText target(control());
    EXPECT_EQ(isEdit() ? CTargetText::KIND_EDIT : CTargetText::KIND_OBJECT_MODEL, target.kind());
    EXPECT_EQ(6, target.selStart());
    EXPECT_EQ(11, target.selEnd());
    // The edit counts the text, the rich edit its final paragraph mark too,
    // the word processor window does not say.
    const LONG length[] = {11, 12, -1};
    EXPECT_EQ(length[static_cast<int>(GetParam())], target.textLength());
    std::wstring text, trailing;
    EXPECT_TRUE(target.getSelectionText(text, trailing));
    EXPECT_EQ(L"world", text);
    EXPECT_EQ(L"", trailing);
}

TEST_P(TargetTextTest, ReplacesTheSelectionAndCanSelectTheInsertedText) {
    for (const targets::Replacement& c : targets::kReplacements) {
        for (bool select : {true, false}) {
            show(L"hello world", c.anchor, c.active);
            {
                CTargetText target(control());
                EXPECT_TRUE(target.replaceSelection(c.with, select)) << c.with;
            }
            targets::TargetState state = target_->state();
            EXPECT_EQ(c.text, state.text) << c.with;
            // Without asking, where the selection ends up is the control's own
            // way (an edit puts the caret after the text).
            if (!select && !isEdit()) continue;
            EXPECT_EQ(select ? c.start : c.end, state.selStart) << c.with << " " << select;
            EXPECT_EQ(c.end, state.selEnd) << c.with << " " << select;
        }
    }
}

TEST_P(TargetTextTest, GivesTheCharacterBeforeTheCaretAndLeavesTheSelection) {
    for (const targets::CharacterBefore& c : targets::kCharactersBefore) {
        // A line break in the plain edit is two characters.
        std::wstring text = c.text;
        LONG caret = c.caret;
        if (isEdit() && text == L"ab\rc") {
            text = L"ab\r\nc";
            caret = 4;
        }
        show(text, caret, caret);
        CTargetText target(control());
        wchar_t before = L'?';
        const bool expected = caret > 0 || !isEdit();  // an edit with its caret at 0 has no handler
        EXPECT_EQ(expected, target.charBeforeSelection(before)) << c.text;
        const wchar_t* wanted = c.before;
        if (isEdit() && caret == 4) wanted = L"\n";
        EXPECT_EQ(*wanted, before) << c.text;
        targets::TargetState state = target_->state();
        EXPECT_EQ(text, state.text);
        EXPECT_EQ(caret, state.selStart) << c.text;
        EXPECT_EQ(caret, state.selEnd) << c.text;
    }
}

TEST_P(TargetTextTest, TellsAPartialSelectionAndTheSpaceAfterIt) {
    struct SelectionCase {
        LONG start, end;
        bool partial[3];  // edit, rich edit, word processor
        bool editNeedsSpace;
    };
    // The whole text, or all of it but one character, is no part of it. The
    // rich edit counts its final paragraph mark in the length; the word
    // processor window tells no length, so any short selection is a part.
    const SelectionCase cases[] = {{0, 5, {true, true, true}, false},
                                   {0, 6, {true, true, true}, true},
                                   {0, 11, {false, false, true}, false},
                                   {1, 11, {false, true, true}, false}};
    for (const SelectionCase& c : cases) {
        show(L"hello world", c.start, c.end);
        int kind = 0;
        bool needSpace = false, partial = false;
        EXPECT_TRUE(checkTargetSelection(control(), kind, needSpace, partial)) << c.start;
        EXPECT_EQ(c.partial[static_cast<int>(GetParam())], partial) << c.start << "-" << c.end;
        // Only the edit's selection is read; the others are assumed to need one.
        EXPECT_EQ(isEdit() ? c.editNeedsSpace : true, needSpace) << c.start << "-" << c.end;
    }
    show(L"hello", 2, 2);
    int kind = -1;
    bool needSpace = true, partial = true;
    EXPECT_FALSE(checkTargetSelection(control(), kind, needSpace, partial));
    EXPECT_NE(CTargetText::KIND_NONE, kind);
    EXPECT_FALSE(needSpace);
    EXPECT_FALSE(partial);
}

TEST_P(TargetTextTest, SelectionEndingInALineBreakIsTakenWithoutIt) {
    const std::wstring lineBreak = isEdit() ? L"\r\n" : L"\r";
    const LONG breakLength = static_cast<LONG>(lineBreak.size());
    // The edit's line feed makes it a refusal there; a lone carriage return
    // (the object models' paragraph mark) is cut off.
    show(L"hello" + lineBreak + L"world", 0, 5 + breakLength);
    CTargetText target(control());
    std::wstring text, trailing;
    EXPECT_EQ(!isEdit(), target.getSelectionText(text, trailing));
    EXPECT_EQ(isEdit() ? L"" : L"hello", text);
    EXPECT_EQ(isEdit() ? L"" : L"\r", trailing);
    // Text after the break is refused everywhere.
    show(L"hello" + lineBreak + L"world", 0, 8);
    CTargetText across(control());
    EXPECT_FALSE(across.getSelectionText(text, trailing));
    EXPECT_TRUE(across.refusedForControls());
    EXPECT_EQ(L"", text);
}

INSTANTIATE_TEST_SUITE_P(EachTarget, TargetTextTest,
                         ::testing::Values(TargetKind::Edit, TargetKind::RichEdit,
                                           TargetKind::Word),
                         kindName);

class TargetFaults : public TargetFixture, public ::testing::Test {};

TEST_F(TargetFaults, WordProcessorThatRefusesItsObjectModelGetsNoHandler) {
    start(TargetKind::Word);
    show(L"hello", 0, 5);
    for (LONG fault : {targets::kFaultNoObjectModel, targets::kFaultCallsFail}) {
        ASSERT_TRUE(target_->setFaults(fault));
        CTargetText target(control());
        EXPECT_FALSE(target.hasHandler()) << fault;
        EXPECT_EQ(-1, target.selStart());
        EXPECT_FALSE(target.replaceSelection(L"x", false));
    }
    ASSERT_TRUE(target_->setFaults(targets::kFaultNone));
    EXPECT_EQ(L"hello", target_->text());
}

// A rich edit still answers the edit messages when its object model is
// missing or fails: the selection is read and replaced through them.
TEST_F(TargetFaults, RichEditThatRefusesItsObjectModelFallsBackToEditMessages) {
    start(TargetKind::RichEdit);
    for (LONG fault : {targets::kFaultNoObjectModel, targets::kFaultCallsFail}) {
        show(L"hello", 0, 5);
        ASSERT_TRUE(target_->setFaults(fault));
        {
            CTargetText target(control());
            EXPECT_TRUE(target.hasHandler()) << fault;
            EXPECT_EQ(0, target.selStart()) << fault;
            EXPECT_TRUE(target.replaceSelection(L"x", false)) << fault;
        }
        ASSERT_TRUE(target_->setFaults(targets::kFaultNone));
        EXPECT_EQ(L"x", target_->text()) << fault;
    }
}

TEST_F(TargetFaults, WordProcessorExceptionsAreReportedToTheDebugger) {
    start(TargetKind::Word);
    show(L"hello", 0, 5);
    TraceCapture trace;
    ASSERT_TRUE(target_->setFaults(targets::kFaultCallsFail));
    {
        CTargetText target(control());
        EXPECT_FALSE(target.hasHandler());
    }
    EXPECT_TRUE(trace.contains("---- Exception in CMSWordTextHandler::initHandler() \n"))
        << trace.text();

    ASSERT_TRUE(target_->setFaults(targets::kFaultNone));
    CTargetText target(control());
    ASSERT_TRUE(target.hasSelection());
    trace.clear();
    ASSERT_TRUE(target_->setFaults(targets::kFaultCallsFail));
    std::wstring text, trailing;
    EXPECT_FALSE(target.getSelectionText(text, trailing));
    EXPECT_FALSE(target.refusedForControls());
    EXPECT_TRUE(trace.contains("---- Exception in CMSWordTextHandler::getSelectionText() \n"))
        << trace.text();
    ASSERT_TRUE(target_->setFaults(targets::kFaultNone));
}

TEST_F(TargetFaults, HungEditGivesNoSelectedText) {
    start(TargetKind::Edit);
    show(L"hello world", 0, 5);
    CTargetText target(control());
    ASSERT_TRUE(target.hasSelection());
    ASSERT_TRUE(target_->hang(1500));
    std::wstring text, trailing;
    EXPECT_FALSE(target.getSelectionText(text, trailing));
    EXPECT_FALSE(target.refusedForControls());
    EXPECT_TRUE(TargetProcess::waitFor([&] { return target_->text() == L"hello world"; }));
}

TEST_F(TargetFaults, CallsFailOnceTheTargetIsGone) {
    for (TargetKind kind : {TargetKind::Edit, TargetKind::RichEdit, TargetKind::Word}) {
        start(kind);
        show(L"hello world", 6, 11);
        CTargetText target(control());
        ASSERT_TRUE(target.hasSelection());
        target_->end();
        std::wstring text, trailing;
        EXPECT_FALSE(target.getSelectionText(text, trailing));
        EXPECT_FALSE(target.replaceSelection(L"x", true));
        wchar_t before = 0;
        EXPECT_FALSE(target.charBeforeSelection(before));
    }
}

// The hook library's answers that the correction uses.
class FocusHookLibrary : public HookLibrary {
  public:
    FocusHookLibrary() { previous_ = setHookLibrary(this); }
    ~FocusHookLibrary() override { setHookLibrary(previous_); }
    HWND getLastFocusWindow() override { return focus; }
    HKL askLastFocusKeyboardLayout() override { return GetKeyboardLayout(0); }
    HWND focus = nullptr;

  private:
    HookLibrary* previous_;
};

// The recognition side and the word-list menu, as seen by the correction.
class RecordingServices : public CorrectionServices {
  public:
    RecordingServices() { previous_ = setCorrectionServices(this); }
    ~RecordingServices() override { setCorrectionServices(previous_); }

    HKL currentResultLayout() override { return resultLayout; }
    bool currentResultForCorrection(HWND& target,
                                    std::shared_ptr<const RecWordList>& wordList) override {
        target = resultTarget;
        // The fake lists are stand-in addresses: a reference that owns nothing.
        wordList = std::shared_ptr<const RecWordList>(std::shared_ptr<void>(), resultList);
        return resultList != nullptr;
    }
    void setCurrentLanguage(const wchar_t* language) override { languages.push_back(language); }
    RecWordList* makeWordListFromText(const wchar_t* text) override {
        madeFrom.push_back(text);
        return madeList;
    }
    void deleteWordList(RecWordList* wordList) override { deleted.push_back(wordList); }
    LRESULT showWordListMenuBar(HKL layout, const RecWordList* wordList, POINT point,
                                const wchar_t* trailingText) override {
        menus.push_back({layout, wordList, point, trailingText ? trailingText : L"<none>"});
        return 55;
    }
    bool hasWordListMenu() const override { return true; }

    struct Menu {
        HKL layout;
        const RecWordList* wordList;
        POINT point;
        std::wstring trailing;
    };
    HKL resultLayout = nullptr;
    HWND resultTarget = nullptr;
    RecWordList* resultList = nullptr;
    RecWordList* madeList = reinterpret_cast<RecWordList*>(0x1000);
    std::vector<std::wstring> languages, madeFrom;
    std::vector<RecWordList*> deleted;
    std::vector<Menu> menus;

  private:
    CorrectionServices* previous_;
};

std::vector<std::wstring> stickerTexts() {
    std::vector<std::wstring> texts;
    stickers().forEach([&](CSticker& s) { texts.push_back(s.text()); });
    return texts;
}

class SelectionCorrectionTest : public TargetFixture, public ::testing::Test {
  protected:
    void SetUp() override {
        resetSettingsToDefaults();
        // The stickers are the shell's: it hands them down as at start-up.
        setShellLink(&shellOwnLink());
        stickers().clear();
    }
    void TearDown() override {
        stickers().clear();
        setShellLink(nullptr);
        resetSettingsToDefaults();
    }
    LRESULT correctSelection() {
        return showWordListForSelection(nullptr, nullptr, at_, true, false);
    }

    FocusHookLibrary hook_;
    RecordingServices services_;
    POINT at_ = {20, 30};
};

TEST_F(SelectionCorrectionTest, SelectedTextBecomesAWordListInTheMenu) {
    start(TargetKind::RichEdit);
    hook_.focus = control();
    EXPECT_FALSE(focusedFieldHasSelection());
    show(L"hello world\rnext", 6, 12);  // "world" and the paragraph mark
    EXPECT_TRUE(focusedFieldHasSelection());
    EXPECT_EQ(55, correctSelection());
    ASSERT_EQ(1u, services_.madeFrom.size());
    EXPECT_EQ(L"world", services_.madeFrom[0]);
    ASSERT_EQ(1u, services_.menus.size());
    EXPECT_EQ(services_.madeList, services_.menus[0].wordList);
    EXPECT_EQ(L"\r", services_.menus[0].trailing);  // put back after a replacement
    EXPECT_EQ(GetKeyboardLayout(0), services_.menus[0].layout);
    EXPECT_EQ(20, services_.menus[0].point.x);
    EXPECT_EQ(30, services_.menus[0].point.y);
    ASSERT_EQ(1u, services_.deleted.size());
    EXPECT_EQ(services_.madeList, services_.deleted[0]);
    ASSERT_EQ(1u, services_.languages.size());
    std::wstring language = services_.languages[0];
    EXPECT_FALSE(language.empty());
    EXPECT_TRUE(stickerTexts().empty());
}

TEST_F(SelectionCorrectionTest, UnfitSelectionsShowWhyWithASticker) {
    start(TargetKind::Edit);
    hook_.focus = control();
    show(std::wstring(1100, L'x'), 0, 1025);
    EXPECT_EQ(0, correctSelection());
    EXPECT_EQ(std::vector<std::wstring>{L"selection is too big"}, stickerTexts());
    show(std::wstring(1100, L'x'), 0, 1024);
    EXPECT_EQ(55, correctSelection());
    ASSERT_EQ(1u, services_.madeFrom.size());
    EXPECT_EQ(1024u, services_.madeFrom[0].size());

    stickers().clear();
    start(TargetKind::RichEdit);
    hook_.focus = control();
    show(L"one\rtwo", 0, 7);
    EXPECT_EQ(0, correctSelection());
    EXPECT_EQ(std::vector<std::wstring>{L"control characters were found inside of the selection"},
              stickerTexts());
    EXPECT_EQ(1u, services_.menus.size());

    // Nothing selected, or no list from the text: nothing shown at all.
    stickers().clear();
    show(L"hello", 2, 2);
    EXPECT_EQ(0, correctSelection());
    services_.madeList = nullptr;
    show(L"hello", 0, 5);
    EXPECT_EQ(0, correctSelection());
    EXPECT_EQ(1u, services_.menus.size());
    EXPECT_TRUE(stickerTexts().empty());
}

TEST_F(SelectionCorrectionTest, SelectionCorrectionCanBeSwitchedOff) {
    start(TargetKind::Edit);
    hook_.focus = control();
    show(L"hello", 0, 5);
    wordListBarSettings().allowSelCorrection = 0;
    EXPECT_EQ(0, correctSelection());
    EXPECT_TRUE(services_.madeFrom.empty());
    EXPECT_TRUE(services_.languages.empty());
    // A given list is shown all the same, in the result's layout.
    RecWordList* list = reinterpret_cast<RecWordList*>(0x2000);
    services_.resultLayout = GetKeyboardLayout(0);
    EXPECT_EQ(55, showWordListForSelection(nullptr, list, at_, true, false));
    ASSERT_EQ(1u, services_.menus.size());
    EXPECT_EQ(list, services_.menus[0].wordList);
    EXPECT_EQ(L"<none>", services_.menus[0].trailing);
    EXPECT_TRUE(services_.madeFrom.empty());
    EXPECT_TRUE(services_.deleted.empty());
}

// The requests that are not direct go to the service window.
class FakeServiceWindow {
  public:
    FakeServiceWindow() {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = &FakeServiceWindow::proc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"ScribixFakeService";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, windowClass.hInstance, nullptr);
        previous_ = appGlobals().serviceWindow;
        appGlobals().serviceWindow = window_;
        requests().clear();
    }
    ~FakeServiceWindow() {
        appGlobals().serviceWindow = previous_;
        DestroyWindow(window_);
    }
    FakeServiceWindow(const FakeServiceWindow&) = delete;
    FakeServiceWindow& operator=(const FakeServiceWindow&) = delete;

    struct Request {
        WPARAM wParam;
        LPARAM lParam;
    };
    static std::vector<Request>& requests() {
        static std::vector<Request> all;
        return all;
    }
    void pump() {
        MSG msg;
        while (PeekMessageW(&msg, window_, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }

  private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INK_WORDLIST_FOR_SELECTION) {
            requests().push_back({wParam, lParam});
            return 77;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    HWND window_;
    HWND previous_;
};

TEST(SelectionCorrectionRequests, GoToTheServiceWindowUnlessDirect) {
    resetSettingsToDefaults();
    RecordingServices services;
    FakeServiceWindow service;
    RecWordList* list = reinterpret_cast<RecWordList*>(0x3000);
    POINT at = {-5, 700};
    EXPECT_EQ(77, showWordListForSelection(nullptr, list, at, false, false));
    EXPECT_EQ(0, showWordListForSelection(nullptr, nullptr, at, false, true));
    service.pump();
    ASSERT_EQ(2u, FakeServiceWindow::requests().size());
    const FakeServiceWindow::Request& sent = FakeServiceWindow::requests()[0];
    EXPECT_EQ(-5, static_cast<short>(LOWORD(sent.wParam)));
    EXPECT_EQ(700, static_cast<short>(HIWORD(sent.wParam)));
    EXPECT_EQ(reinterpret_cast<LPARAM>(list), sent.lParam);
    EXPECT_EQ(0, FakeServiceWindow::requests()[1].lParam);
    EXPECT_TRUE(services.menus.empty());  // the service window opens the menu

    // The menu command: the current result when there is one, else the selection.
    FakeServiceWindow::requests().clear();
    wordListBarSettings().customMenuPosition = {40, 50};
    wordListBarSettings().autoShow = 1;
    correctLastResultOrSelection();
    services.resultList = list;
    correctLastResultOrSelection();
    ASSERT_EQ(2u, FakeServiceWindow::requests().size());
    EXPECT_EQ(0, FakeServiceWindow::requests()[0].lParam);
    EXPECT_EQ(reinterpret_cast<LPARAM>(list), FakeServiceWindow::requests()[1].lParam);
    EXPECT_EQ(40, static_cast<short>(LOWORD(FakeServiceWindow::requests()[1].wParam)));
    EXPECT_EQ(50, static_cast<short>(HIWORD(FakeServiceWindow::requests()[1].wParam)));
    resetSettingsToDefaults();
}

}  // namespace
}  // namespace typingtest
