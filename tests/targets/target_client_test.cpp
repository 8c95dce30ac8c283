// What every target offers alike (start, typing, the request protocol), and
// that TargetProcess never leaves a target behind.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TargetClient.h"

namespace targets {
namespace {

struct Program {
    TargetKind kind;
    const wchar_t* switches;
    const wchar_t* controlClass;
    const wchar_t* afterReturn;  // the text after typing "ab", Return, "c"
    const char* name;
};

const Program kPrograms[] = {
    {TargetKind::Edit, L"", L"Edit", L"abc", "Edit"},
    {TargetKind::Edit, L"/multiline", L"Edit", L"ab\r\nc", "MultilineEdit"},
    {TargetKind::RichEdit, L"", L"RichEdit20W", L"ab\rc", "RichEdit"},
    {TargetKind::RichEdit, L"/msftedit", L"RICHEDIT50W", L"ab\rc", "NewerRichEdit"},
    {TargetKind::Word, L"", L"_WwG", L"ab\rc", "WordProcessor"},
};

class EveryTargetTest : public ::testing::TestWithParam<Program> {
  protected:
    void SetUp() override {
        target_.reset(new TargetProcess(GetParam().kind, GetParam().switches));
        ASSERT_TRUE(target_->ok()) << target_->error();
        ASSERT_TRUE(target_->activate());
    }
    std::unique_ptr<TargetProcess> target_;
};

TEST_P(EveryTargetTest, ControlOfItsClassHasTheFocus) {
    // Wine registers the newer rich edit class as "RichEdit50W": the case of a
    // class name is not to be relied on.
    std::wstring name = classNameOf(target_->control());
    EXPECT_EQ(0, _wcsicmp(GetParam().controlClass, name.c_str())) << name;
    EXPECT_EQ(target_->frame(), GetParent(target_->control()));
    EXPECT_EQ(target_->frame(), GetForegroundWindow());
}

TEST_P(EveryTargetTest, UnicodeEventsAndLayoutKeysBothType) {
    ASSERT_TRUE(sendUnicodeText(L"ab"));
    pressKey(VK_RETURN);
    ASSERT_TRUE(typeWithKeys(L"c"));
    EXPECT_TRUE(target_->waitForText(GetParam().afterReturn));
    LONG length = static_cast<LONG>(wcslen(GetParam().afterReturn));
    TargetState state = target_->state();
    EXPECT_EQ(length, state.selStart);
    EXPECT_EQ(length, state.selEnd);
    EXPECT_EQ(length, state.caret);
}

TEST_P(EveryTargetTest, RequestsSetTextAndSelection) {
    ASSERT_TRUE(target_->setText(L"hello world"));
    TargetState state = target_->state();
    EXPECT_EQ(L"hello world", state.text);
    EXPECT_EQ(11, state.caret);
    struct Case {
        LONG anchor, active, start, end, caret;
    } cases[] = {{6, 11, 6, 11, 11},   {11, 6, 6, 11, 6}, {0, -1, 0, 11, 11},
                 {-1, -1, 11, 11, 11}, {3, 3, 3, 3, 3},   {2, 99, 2, 11, 11}};
    for (const Case& c : cases) {
        ASSERT_TRUE(target_->setSelection(c.anchor, c.active));
        state = target_->state();
        EXPECT_EQ(c.start, state.selStart) << c.anchor << "," << c.active;
        EXPECT_EQ(c.end, state.selEnd) << c.anchor << "," << c.active;
        // Wine's rich edit keeps the caret at the end of a selection made by message.
        LONG caret = GetParam().kind == TargetKind::RichEdit ? c.end : c.caret;
        EXPECT_EQ(caret, state.caret) << c.anchor << "," << c.active;
    }
    // Typing replaces the selection.
    ASSERT_TRUE(target_->setSelection(6, 11));
    ASSERT_TRUE(sendUnicodeText(L"there"));
    EXPECT_TRUE(target_->waitForText(L"hello there"));
}

// Requests come from other processes: malformed ones are refused, not read.
TEST_P(EveryTargetTest, MalformedRequestsAreRefused) {
    ASSERT_TRUE(target_->setText(L"keep"));
    HWND frame = target_->frame();
    LONG one = 1;
    BYTE odd[3] = {'a', 0, 'b'};
    struct Case {
        ULONG_PTR request;
        DWORD size;
        void* data;
    } cases[] = {
        {kSetSelection, sizeof(one), &one},
        {kSetSelection, 0, nullptr},
        {kSetText, sizeof(odd), odd},
        {kHang, 0, nullptr},
        {kSetFaults, 2, &one},
        {0x12345, 0, nullptr},
        {kStateReply, 0, nullptr},
    };
    for (const Case& c : cases) {
        COPYDATASTRUCT request = {c.request, c.size, c.data};
        DWORD_PTR answer = 99;
        ASSERT_TRUE(SendMessageTimeoutW(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&request),
                                        SMTO_NORMAL, 5000, &answer));
        EXPECT_EQ(0u, answer) << std::hex << c.request << " size " << c.size;
    }
    // A fault the target cannot show is refused too.
    EXPECT_FALSE(target_->setFaults(0x100));
    EXPECT_EQ(L"keep", target_->text());
}

INSTANTIATE_TEST_SUITE_P(Targets, EveryTargetTest, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& info) {
                             return std::string(info.param.name);
                         });

bool hasEnded(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

HANDLE watch(DWORD processId) {
    return OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
}

TEST(TargetProcessTest, EndingClosesTheTarget) {
    HANDLE process = nullptr;
    {
        TargetProcess target(TargetKind::Edit);
        ASSERT_TRUE(target.ok()) << target.error();
        process = watch(target.processId());
        ASSERT_NE(nullptr, process);
        EXPECT_FALSE(hasEnded(process));
    }
    EXPECT_TRUE(hasEnded(process));
    DWORD code = 99;
    GetExitCodeProcess(process, &code);
    EXPECT_EQ(0u, code) << "closed, not killed";
    CloseHandle(process);
}

TEST(TargetProcessTest, HungTargetIsKilled) {
    TargetProcess target(TargetKind::Word);
    ASSERT_TRUE(target.ok()) << target.error();
    HANDLE process = watch(target.processId());
    ASSERT_NE(nullptr, process);
    ASSERT_TRUE(target.hang(60000));
    target.end();
    EXPECT_TRUE(hasEnded(process));
    EXPECT_FALSE(target.ok());
    EXPECT_FALSE(target.setText(L"x"));
    target.end();  // twice is harmless
    CloseHandle(process);
}

HWND anyFrame(TargetKind kind) {
    const wchar_t* frameClass = kind == TargetKind::Edit ? kEditFrameClass : kWordFrameClass;
    return FindWindowW(frameClass, nullptr);
}

// A test process that dies without running any destructor still takes its
// targets with it (the job object kills them).
TEST(TargetProcessTest, TargetsDieWithTheTestProcess) {
    ASSERT_EQ(nullptr, anyFrame(TargetKind::Word)) << "a word processor target is still running";
    EXPECT_EXIT(
        {
            TargetProcess target(TargetKind::Word);
            TerminateProcess(GetCurrentProcess(), target.ok() ? 3 : 4);
        },
        ::testing::ExitedWithCode(3), "");
    bool gone = TargetProcess::waitFor([] { return anyFrame(TargetKind::Word) == nullptr; });
    EXPECT_TRUE(gone);
    if (!gone) {
        // Do not leave it behind for the tests that follow.
        DWORD processId = 0;
        GetWindowThreadProcessId(anyFrame(TargetKind::Word), &processId);
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId)) {
            TerminateProcess(process, 1);
            CloseHandle(process);
        }
    }
}

}  // namespace
}  // namespace targets
