// Keyboard output into our own target programs, as the program types into
// another application: the edit, the rich edit and the word processor window
// each take the text, the control codes and virtual keys, have the last
// insertion replaced, and get a leading space exactly where one is needed.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TypingTestSupport.h"
#include "ink/KeyboardOutput.h"
#include "ink/TargetText.h"
#include "core/Settings.h"
#include "tests/targets/ObjectModelClient.h"
#include "tests/targets/TargetClient.h"

namespace typingtest {
namespace {

using targets::TargetKind;
using targets::TargetProcess;

// The UTF-8 form of a field's text, for failure messages.
std::string shown(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
    return "\"" + out + "\"";
}

class TypingIntoTargets : public ::testing::TestWithParam<TargetKind> {
  protected:
    void SetUp() override {
        resetSettingsToDefaults();
        releaseTypingState();
        target_.reset(new TargetProcess(GetParam()));
        ASSERT_TRUE(target_->ok()) << target_->error();
        ASSERT_TRUE(target_->activate());
    }
    void TearDown() override {
        releaseTypingState();
        target_.reset();
    }

    HWND control() const { return target_->control(); }
    // The keyboard layout of the target's thread, as a recognition result keeps it.
    HKL layout() const { return GetKeyboardLayout(GetWindowThreadProcessId(control(), nullptr)); }

    int type(const std::wstring& text, bool wantSpace = false) {
        return typeTextToTarget(control(), text.c_str(), wantSpace, layout());
    }
    // Sets the field's text with the caret at `caret` (-1: at the end).
    void show(const std::wstring& text, LONG caret = -1) {
        ASSERT_TRUE(target_->setText(text));
        ASSERT_TRUE(target_->setSelection(caret, caret));
        setLastTypedLength(0);
    }
    ::testing::AssertionResult holds(const std::wstring& expected) {
        if (target_->waitForText(expected)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "the field holds " << shown(target_->text()) << ", not " << shown(expected);
    }

    targets::ComApartment apartment_;
    std::unique_ptr<TargetProcess> target_;
};

TEST_P(TypingIntoTargets, TextWithSpacesAndPunctuationArrivesAsWritten) {
    const std::wstring text = L"Hello, World! (it's 42; a-b.) x?";
    EXPECT_EQ(static_cast<int>(text.size()), type(text));
    EXPECT_TRUE(holds(text));
}

// Characters that the layout has no key for come as Unicode key events, also
// above 255 in the plain edit control.
TEST_P(TypingIntoTargets, CharactersWithoutAKeyArriveUnchanged) {
    const std::wstring text = L"Gr\u00fc\u00dfe \u20ac5 \u0416\u0443\u043a \u2713 \u00e9t\u00e9";
    EXPECT_EQ(static_cast<int>(text.size()), type(text));
    EXPECT_TRUE(holds(text));
}

TEST_P(TypingIntoTargets, SpaceAfterIsTypedAndCounted) {
    EXPECT_EQ(6, type(L"hello", true));
    EXPECT_EQ(6, type(L"world", true));
    EXPECT_TRUE(holds(L"hello world "));
}

TEST_P(TypingIntoTargets, ReplacingTheLastInsertionLeavesEverythingElse) {
    show(L"keep this ");
    EXPECT_EQ(6, type(L"hello", true));
    ASSERT_TRUE(holds(L"keep this hello "));
    EXPECT_EQ(6, type(L"\x03world", true));
    EXPECT_TRUE(holds(L"keep this world "));
    // A replacement with characters beyond the layout, without the space.
    EXPECT_EQ(5, type(L"\x03Gr\u00fc\u00dfe"));
    EXPECT_TRUE(holds(L"keep this Gr\u00fc\u00dfe"));
    // And once more: only the last insertion goes.
    EXPECT_EQ(2, type(L"\x03no"));
    EXPECT_TRUE(holds(L"keep this no"));
}

TEST_P(TypingIntoTargets, ReplacementInTheMiddleKeepsTheTextAfterIt) {
    show(L"start end", 6);
    EXPECT_EQ(7, type(L"middle", true));
    ASSERT_TRUE(holds(L"start middle end"));
    EXPECT_EQ(4, type(L"\x03new", true));
    EXPECT_TRUE(holds(L"start new end"));
}

TEST_P(TypingIntoTargets, ClipboardCodesCopyCutAndPaste) {
    show(L"hello world");
    ASSERT_TRUE(target_->setSelection(6, 11));
    EXPECT_EQ(0, type(L"\x04"));  // copy "world"
    ASSERT_TRUE(target_->setSelection(0, 6));
    EXPECT_EQ(0, type(L"\x05"));  // cut "hello "
    ASSERT_TRUE(holds(L"world"));
    ASSERT_TRUE(target_->setSelection(-1, -1));
    EXPECT_EQ(0, type(L"\x06"));  // paste "hello " at the end
    EXPECT_TRUE(holds(L"worldhello "));
    EXPECT_EQ(0, getLastTypedLength());
}

TEST_P(TypingIntoTargets, UndoCodeTakesBackTheLastEdit) {
    show(L"hello ");
    type(L"world");
    ASSERT_TRUE(holds(L"hello world"));
    EXPECT_EQ(0, type(L"\x03"));
    EXPECT_TRUE(TargetProcess::waitFor([&] { return target_->text() != L"hello world"; }))
        << shown(target_->text());
    EXPECT_EQ(0, getLastTypedLength());
}

TEST_P(TypingIntoTargets, VirtualKeysMoveTheCaret) {
    EXPECT_EQ(0, type(L"abc\x07\x25\x07\x25X"));  // two Left presses, then X
    EXPECT_TRUE(holds(L"aXbc"));
    // Backspace deletes, and leaves nothing to replace.
    EXPECT_EQ(0, type(L"\b"));
    EXPECT_TRUE(holds(L"abc"));
    EXPECT_EQ(2, type(L"\x03zz"));
    EXPECT_TRUE(holds(L"azzbc"));
}

TEST_P(TypingIntoTargets, SingleKeysAndStringsForMacros) {
    typeString(L"Macro, 1!", layout(), false);
    ASSERT_TRUE(holds(L"Macro, 1!"));
    typeVirtualKey(VK_BACK);
    ASSERT_TRUE(holds(L"Macro, 1"));
    typeCharKey(0x20AC, layout(), false);
    ASSERT_TRUE(holds(L"Macro, 1\u20ac"));
    // A letter typed by its key alone, without Shift.
    typeCharKey(L'Z', layout(), true);
    EXPECT_TRUE(holds(L"Macro, 1\u20acz"));
}

// The leading-space decision for recognized text: none in an empty field and
// after a space, one after a letter.
TEST_P(TypingIntoTargets, LeadingSpaceOnlyAfterALetter) {
    struct LeadingCase {
        const wchar_t* before;
        bool leading;
        const wchar_t* after;
    };
    const LeadingCase cases[] = {
        {L"", false, L"world"},
        {L"hello ", false, L"hello world"},
        {L"hello", true, L"hello world"},
        {L"(", false, L"(world"},
    };
    for (const LeadingCase& c : cases) {
        show(c.before);
        int kind = 0;
        bool needSpace = false, partial = false;
        wchar_t before = L'?';
        EXPECT_FALSE(checkTargetSelection(control(), kind, needSpace, partial, before))
            << shown(c.before);
        const bool leading = leadingSpaceWanted(before, L"world");
        EXPECT_EQ(c.leading, leading) << shown(c.before);
        type(std::wstring(leading ? L" " : L"") + L"world");
        EXPECT_TRUE(holds(c.after));
    }
    // Punctuation written after a word sticks to it.
    show(L"hello");
    int kind = 0;
    bool needSpace = false, partial = false;
    wchar_t before = 0;
    checkTargetSelection(control(), kind, needSpace, partial, before);
    EXPECT_FALSE(leadingSpaceWanted(before, L","));
}

INSTANTIATE_TEST_SUITE_P(EachTarget, TypingIntoTargets,
                         ::testing::Values(TargetKind::Edit, TargetKind::RichEdit,
                                           TargetKind::Word),
                         kindName);

TEST(TypingForeground, WithoutAWindowTheForegroundClassDecidesSlowTyping) {
    struct ForegroundCase {
        const wchar_t* className;
        int flags;
    };
    const ForegroundCase cases[] = {
        {L"TSSHELLWND", 4 | 64}, {L"AbiWord", 4 | 64}, {L"ScribixOtherFront", 4}};
    for (const ForegroundCase& c : cases) {
        ClassWindow front(c.className, WS_POPUP | WS_VISIBLE);
        SetForegroundWindow(front.get());
        ASSERT_EQ(front.get(), GetForegroundWindow()) << c.className;
        EXPECT_EQ(c.flags, getTargetInputFlags(nullptr, L"x", false)) << c.className;
        EXPECT_EQ(c.flags | 16, getTargetInputFlags(nullptr, L"x", true)) << c.className;
        // A window whose class cannot be read counts as none.
        HWND gone = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                    nullptr, nullptr);
        DestroyWindow(gone);
        EXPECT_EQ(c.flags, getTargetInputFlags(gone, L"x", false)) << c.className;
    }
}

TEST(TypingForeground, ForcedWindowComesToTheFrontAndTakesTheTyping) {
    TargetProcess first(TargetKind::Edit);
    TargetProcess second(TargetKind::Edit);
    ASSERT_TRUE(first.ok()) << first.error();
    ASSERT_TRUE(second.ok()) << second.error();
    ASSERT_TRUE(first.activate());
    EXPECT_TRUE(forceForegroundWindow(second.frame()));
    EXPECT_EQ(second.frame(), GetForegroundWindow());
    typeTextToTarget(second.control(), L"here", false, nullptr);
    EXPECT_TRUE(second.waitForText(L"here"));
    EXPECT_EQ(L"", first.text());
    EXPECT_FALSE(forceForegroundWindow(nullptr));
    releaseTypingState();
}

}  // namespace
}  // namespace typingtest
