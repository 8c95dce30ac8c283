// target_edit.exe driven from this process: typed into with Unicode key events
// and layout keys, read back through the request protocol and through the edit
// messages that work across processes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TargetClient.h"

namespace targets {
namespace {

// The text through WM_GETTEXT from this process, as the edit handler reads it
// (SendMessageTimeout, abort if hung, 100 ms); false when it does not answer.
bool readText(HWND edit, std::wstring& text, UINT timeoutMs = 100) {
    wchar_t buffer[512] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(edit, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, timeoutMs, &copied))
        return false;
    text.assign(buffer, copied);
    return true;
}

void selectionOf(HWND edit, DWORD& start, DWORD& end) {
    start = end = static_cast<DWORD>(-1);
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
}

class EditTargetTest : public ::testing::TestWithParam<bool> {
  protected:
    bool multiline() const { return GetParam(); }

    void SetUp() override {
        edit_.reset(new TargetProcess(TargetKind::Edit, multiline() ? L"/multiline" : L""));
        ASSERT_TRUE(edit_->ok()) << edit_->error();
        ASSERT_TRUE(edit_->activate());
    }

    std::unique_ptr<TargetProcess> edit_;
};

TEST_P(EditTargetTest, StartsWithAFocusedEditOfTheAskedKind) {
    HWND control = edit_->control();
    EXPECT_EQ(L"Edit", classNameOf(control));
    EXPECT_EQ(edit_->frame(), GetParent(control));
    EXPECT_EQ(multiline(), (GetWindowLongW(control, GWL_STYLE) & ES_MULTILINE) != 0);
    TargetState state = edit_->state();
    EXPECT_EQ(L"", state.text);
    EXPECT_EQ(0, state.selStart);
    EXPECT_EQ(0, state.selEnd);
    EXPECT_EQ(control, state.control);
}

TEST_P(EditTargetTest, UnicodeKeyEventsTypeCharactersBeyondTheLayout) {
    const std::wstring typed = L"h\u00e9llo w\u00f6rld \u20ac \u0416\u2713";
    ASSERT_TRUE(sendUnicodeText(typed));
    ASSERT_TRUE(edit_->waitForText(typed)) << "edit holds: " << edit_->text().size() << " chars";
    std::wstring read;
    ASSERT_TRUE(readText(edit_->control(), read));
    EXPECT_EQ(typed, read);
    TargetState state = edit_->state();
    LONG length = static_cast<LONG>(typed.size());
    EXPECT_EQ(length, state.selStart);
    EXPECT_EQ(length, state.selEnd);
    EXPECT_EQ(length, state.caret);
}

TEST_P(EditTargetTest, LayoutKeysTypeWithShiftWhereNeeded) {
    ASSERT_TRUE(typeWithKeys(L"Hello, World! 42"));
    EXPECT_TRUE(edit_->waitForText(L"Hello, World! 42")) << edit_->text().size();
}

TEST_P(EditTargetTest, BackspaceAndArrowsEditAtTheCaret) {
    ASSERT_TRUE(sendUnicodeText(L"hello world"));
    ASSERT_TRUE(edit_->waitForText(L"hello world"));
    for (int i = 0; i < 5; ++i) pressKey(VK_BACK);
    pressKey(VK_LEFT);
    pressKey(VK_LEFT);
    ASSERT_TRUE(sendUnicodeText(L"X"));
    EXPECT_TRUE(edit_->waitForText(L"hellXo "));
    pressKey(VK_RIGHT);
    pressKey(VK_DELETE);
    EXPECT_TRUE(edit_->waitForText(L"hellXo"));
    EXPECT_EQ(6, edit_->state().caret);
}

TEST_P(EditTargetTest, ShiftLeftSelectsWithTheCaretAtTheStart) {
    ASSERT_TRUE(sendUnicodeText(L"hello"));
    ASSERT_TRUE(edit_->waitForText(L"hello"));
    pressKey(VK_LEFT, true);
    pressKey(VK_LEFT, true);
    ASSERT_TRUE(TargetProcess::waitFor([&] { return edit_->state().selStart == 3; }));
    TargetState state = edit_->state();
    EXPECT_EQ(5, state.selEnd);
    EXPECT_EQ(3, state.caret);
    DWORD start, end;
    selectionOf(edit_->control(), start, end);
    EXPECT_EQ(3u, start);
    EXPECT_EQ(5u, end);
}

TEST_P(EditTargetTest, ReturnBreaksTheLineOnlyInAMultilineEdit) {
    ASSERT_TRUE(sendUnicodeText(L"ab"));
    pressKey(VK_RETURN);
    ASSERT_TRUE(sendUnicodeText(L"cd"));
    EXPECT_TRUE(edit_->waitForText(multiline() ? L"ab\r\ncd" : L"abcd"));
}

// What the edit handler does across processes: read the length and selection,
// replace the selection (undoably) and select the inserted text.
TEST_P(EditTargetTest, EditMessagesReplaceAndSelectAcrossProcesses) {
    ASSERT_TRUE(edit_->setText(L"hello world"));
    HWND edit = edit_->control();
    EXPECT_EQ(11, SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));
    SendMessageW(edit, EM_SETSEL, 6, 11);
    DWORD start, end;
    selectionOf(edit, start, end);
    EXPECT_EQ(6u, start);
    EXPECT_EQ(11u, end);
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"there"));
    SendMessageW(edit, EM_SETSEL, 6, 11);
    std::wstring read;
    ASSERT_TRUE(readText(edit, read));
    EXPECT_EQ(L"hello there", read);
    TargetState state = edit_->state();
    EXPECT_EQ(6, state.selStart);
    EXPECT_EQ(11, state.selEnd);
    // The replacement was made undoable: Ctrl+Z brings the old word back.
    pressKey('Z', false, true);
    EXPECT_TRUE(edit_->waitForText(L"hello world"));
}

// A hung target: the handler's bounded WM_GETTEXT gives up, and the target
// answers again once it is back.
TEST_P(EditTargetTest, HungTargetDoesNotAnswerWithinTheTimeOut) {
    ASSERT_TRUE(edit_->setText(L"hello"));
    ASSERT_TRUE(edit_->hang(500));
    std::wstring read;
    EXPECT_FALSE(readText(edit_->control(), read));
    EXPECT_TRUE(TargetProcess::waitFor([&] { return readText(edit_->control(), read); }));
    EXPECT_EQ(L"hello", read);
}

INSTANTIATE_TEST_SUITE_P(SingleAndMultiline, EditTargetTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Multiline" : "SingleLine";
                         });

}  // namespace
}  // namespace targets
