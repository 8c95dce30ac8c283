// The host of the 64-bit hook library: it stays while the program is there
// and ends when the program has gone (the library tells it, or it sees the
// program's window die).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "hook64/SharedData.h"
#include "tests/hook64/TestBlock.h"
#include "tests/support/SharedBlockView.h"

namespace {

std::wstring program() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.find_last_of(L"\\/")) + L"\\ScribixDaemon64.exe";
}

class Daemon {
  public:
    Daemon() {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        const std::wstring path = program();
        if (CreateProcessW(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &info)) {
            CloseHandle(info.hThread);
            process_ = info.hProcess;
        }
    }
    ~Daemon() {
        if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT)
            TerminateProcess(process_, 99);
        if (process_) CloseHandle(process_);
    }
    bool started() const { return process_ != nullptr; }
    // The exit code, or -1 when it is still running after `ms`.
    long exitCode(DWORD ms) const {
        if (WaitForSingleObject(process_, ms) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return static_cast<long>(code);
    }

  private:
    HANDLE process_ = nullptr;
};

using Block = hook64test::TestBlock;

HWND makeWindow() {
    return CreateWindowExW(0, L"Static", L"program", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                           nullptr, nullptr);
}

bool hostWindowAppears() {
    for (int i = 0; i < 500; ++i) {
        if (FindWindowW(L"ScribixDaemon64WndClass", nullptr)) return true;
        Sleep(10);
    }
    return false;
}

// Hooked processes of the prefix may still hold the block from an earlier
// test; while this lives, such a block is one nobody may use.
class NoUsableBlock {
  public:
    NoUsableBlock() {
        if (view_.get()) view_->_iCheckSize = 0;
    }
    ~NoUsableBlock() {
        if (view_.get()) view_->_iCheckSize = SHARED_DATA_SIZE;
    }

  private:
    SharedBlockView view_{true};
};

TEST(Daemon64, EndsAtOnceWithoutTheBlock) {
    NoUsableBlock none;
    Daemon daemon;
    ASSERT_TRUE(daemon.started());
    EXPECT_EQ(daemon.exitCode(10000), 1);
}

TEST(Daemon64, StaysWhileTheProgramIsThereAndEndsWhenItHasGone) {
    HWND programWindow = makeWindow();
    Block block(programWindow);
    Daemon daemon;
    ASSERT_TRUE(daemon.started());
    ASSERT_TRUE(hostWindowAppears());
    EXPECT_EQ(daemon.exitCode(300), -1) << "still there";
    Daemon second;
    EXPECT_EQ(second.exitCode(10000), 0) << "one copy only";
    EXPECT_EQ(daemon.exitCode(0), -1);

    block.setProgram(nullptr);
    // The hook library in any hooked process tells the host at its next call.
    // (A thread learns of hooks installed since when it takes a message.)
    PostMessageW(programWindow, WM_NULL, 0, 0);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    SendMessageW(programWindow, WM_NULL, 0, 0);
    EXPECT_EQ(daemon.exitCode(10000), 0);
    DestroyWindow(programWindow);
}

TEST(Daemon64, EndsWhenTheProgramWindowIsDestroyed) {
    HWND programWindow = makeWindow();
    Block block(programWindow);
    Daemon daemon;
    ASSERT_TRUE(hostWindowAppears());
    DestroyWindow(programWindow);
    EXPECT_EQ(daemon.exitCode(10000), 0);
}

}  // namespace
