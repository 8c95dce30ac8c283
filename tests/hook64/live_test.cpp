// The real vexaHook64.dll under the system's own hooks: installed by this
// process or by its host ScribixDaemon64.exe, it follows the focus in a 64-bit
// application, reports Escape, lets the host go when the program has gone,
// and, in a fresh process, answers for a missing or malformed block.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <string>

#include "hook64/SharedData.h"
#include "hook64/vexaHook64.h"
#include "tests/hook64/Hook64Target.h"
#include "tests/hook64/TestBlock.h"
#include "tests/support/TracedProcess.h"

namespace {

constexpr UINT kEscape = 3033;

std::wstring binFolder() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.find_last_of(L"\\/"));
}

// Runs this thread's messages while waiting.
bool pumpUntil(const std::function<bool()>& done, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (done()) return true;
        if (GetTickCount() - start > ms) return false;
        Sleep(10);
    }
}

using Block = hook64test::TestBlock;

bool blockExists() {
    wchar_t name[32];
    formatMapFileName(name, 32);
    HANDLE existing = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
    if (existing) CloseHandle(existing);
    return existing != nullptr;
}

// Counts what the hooks post to the program's service window.
class ServiceWindow {
  public:
    ServiceWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SxHook64ServiceStandIn";
        RegisterClassW(&wc);  // fails harmlessly when registered before
        window_ = CreateWindowExW(0, wc.lpszClassName, L"service", WS_POPUP, 0, 0, 1, 1, nullptr,
                                  nullptr, wc.hInstance, nullptr);
        received() = 0;
    }
    ~ServiceWindow() { DestroyWindow(window_); }
    HWND handle() const { return window_; }
    // How many Escape reports arrive within `ms`.
    int collectEscapes(DWORD ms) {
        received() = 0;
        pumpUntil([] { return false; }, ms);
        return received();
    }

  private:
    static int& received() {
        static int count = 0;
        return count;
    }
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == kEscape) ++received();
        return DefWindowProcW(w, m, wp, lp);
    }
    HWND window_;
};

// The 64-bit target application with its two edits.
class Target {
  public:
    Target() {
        const std::wstring program = binFolder() + L"\\hook64_target.exe";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info))
            return;
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        WaitForInputIdle(process_, 5000);
        pumpUntil([&] { return (main_ = FindWindowW(hook64target::kWindowClass, nullptr)); }, 5000);
    }
    ~Target() {
        if (main_) PostMessageW(main_, WM_CLOSE, 0, 0);
        if (process_ && WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0)
            TerminateProcess(process_, 1);
        if (process_) CloseHandle(process_);
    }
    HWND main() const { return main_; }
    HWND edit(int which) const { return GetDlgItem(main_, which + 1); }
    HWND focus(int which) const {
        DWORD_PTR focused = 0;
        SendMessageTimeoutW(main_, hook64target::kFocusEdit, which, 0, SMTO_NORMAL, 5000, &focused);
        return reinterpret_cast<HWND>(focused);
    }

  private:
    HANDLE process_ = nullptr;
    HWND main_ = nullptr;
};

std::wstring lower(std::wstring s) {
    std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return std::towlower(c); });
    return s;
}

// --- the library in a fresh process (first: before this run's hooks spread the block) ---

struct ProbeReport {
    bool ran = false;
    std::string line;
    std::vector<std::string> trace;
};

ProbeReport runProbe(const wchar_t* argument) {
    ProbeReport report;
    TracedProcess probe(binFolder() + L"\\hook64_probe.exe", argument, binFolder());
    if (!probe.started()) return report;
    DWORD code = 99;
    report.ran = probe.waitForExit(10000, &code) && code == 0;
    report.line = probe.lastLineStartingWith("PROBE ");
    report.trace = probe.lines();
    return report;
}

bool traced(const ProbeReport& r, const std::string& text) {
    for (const std::string& line : r.trace)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

TEST(Hook64Attach, WithoutTheBlockTheLibraryIdlesAndRefusesQuietly) {
    if (blockExists())
        GTEST_SKIP() << "a process of this prefix still holds the block from earlier hooks";
    const ProbeReport r = runProbe(L"insert");
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.line, "PROBE insert=0 dialogs=0 views=0 left=0");
    EXPECT_TRUE(
        traced(r, "HOOK_64: _hFileMapping==NULL :-(     dwErr=0x2 filename=sxMapFile_4_0_42"));
}

TEST(Hook64Attach, ABlockOfTheWrongSizeIsNotUsedAndNotKeptMapped) {
    Block block;
    block->_iCheckSize = 4000;
    const ProbeReport r = runProbe(L"insert");
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.line, "PROBE insert=0 dialogs=0 views=0 left=0");
    EXPECT_TRUE(traced(r, "SetSharingData64:: _SHARED(_iCheckSize) != sizeof(SharedDataStruct)\n"));
}

TEST(Hook64Attach, UnloadingUnmapsTheBlock) {
    Block block;
    const ProbeReport r = runProbe(L"");
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.line, "PROBE insert=-1 dialogs=0 views=1 left=0");
}

// This process as the host: the library loaded here installs the hooks.
class LiveHooksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        block_->_iEnabled = 1;
        block_.setProgram(service_.handle());
        block_->_xNoLocation = -32000;
        block_->_yNoLocation = -32000;
        library_ = LoadLibraryW((binFolder() + L"\\vexaHook64.dll").c_str());
        ASSERT_NE(library_, nullptr);
        insert_ = reinterpret_cast<InsertHooks64Fn>(
            GetProcAddress(library_, VEXAHOOK64_INSERT_HOOKS_NAME));
        remove_ = reinterpret_cast<RemoveHooks64Fn>(
            GetProcAddress(library_, VEXAHOOK64_REMOVE_HOOKS_NAME));
        ASSERT_TRUE(insert_ && remove_);
        helper_ = CreateWindowExW(0, L"Static", L"helper", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    }
    void TearDown() override {
        if (remove_) remove_();
        DestroyWindow(helper_);
        if (library_) FreeLibrary(library_);
    }

    Block block_;
    ServiceWindow service_;
    HMODULE library_ = nullptr;
    InsertHooks64Fn insert_ = nullptr;
    RemoveHooks64Fn remove_ = nullptr;
    HWND helper_ = nullptr;
};

TEST_F(LiveHooksTest, FocusInAnEditOfA64BitApplicationFillsTheBlock) {
    ASSERT_EQ(insert_(nullptr, helper_), 1);
    EXPECT_EQ(block_->_hwndHelper64, reinterpret_cast<UINT_PTR>(helper_));
    EXPECT_NE(block_->_hCallWndHook64, 0u);
    EXPECT_NE(block_->_hGetMsgHook64, 0u);
    EXPECT_NE(block_->_hWinEventHook64, 0u);
    Target target;
    ASSERT_NE(target.main(), nullptr);

    struct Case {
        const char* what;
        int edit;
        int editable;
    } cases[] = {{"edit", 0, 1}, {"read-only edit", 1, 0}, {"edit again", 0, 1}};
    for (const Case& c : cases) {
        const HWND edit = target.edit(c.edit);
        ASSERT_EQ(target.focus(c.edit), edit) << c.what;
        const uint32_t edit32 = static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(edit));
        EXPECT_TRUE(pumpUntil([&] { return block_->_hwndElem == edit32; }, 5000)) << c.what;
        EXPECT_EQ(block_->_dwRole, 42u) << c.what;
        EXPECT_EQ(block_->_iEditable, c.editable) << c.what;
        EXPECT_EQ(block_->_idObject, OBJID_CLIENT) << c.what;
        EXPECT_EQ(block_->_hwndFocus, edit32) << c.what;
        RECT onScreen;
        GetWindowRect(edit, &onScreen);
        EXPECT_EQ(block_->_rcElem.left, onScreen.left) << c.what;
        EXPECT_EQ(block_->_rcElem.bottom, onScreen.bottom) << c.what;
    }
    EXPECT_EQ(block_->_hwndForeground,
              static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(target.main())));
    const std::wstring module = lower(block_->_szForegroundModule);
    EXPECT_NE(module.find(L"\\hook64_target.exe"), std::wstring::npos)
        << "module path: " << std::string(module.begin(), module.end());
}

TEST_F(LiveHooksTest, EscapeInAHookedWindowIsReportedOnceAndRemovingTwiceUnhooksOnce) {
    ASSERT_EQ(insert_(nullptr, helper_), 1);
    Target target;
    ASSERT_NE(target.main(), nullptr);
    const HWND edit = target.edit(0);
    service_.collectEscapes(200);  // nothing left over

    PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_EQ(service_.collectEscapes(1000), 1);
    PostMessageW(edit, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    EXPECT_EQ(service_.collectEscapes(500), 0);

    const HHOOK getMsg = reinterpret_cast<HHOOK>(block_->_hGetMsgHook64);
    const HHOOK callWnd = reinterpret_cast<HHOOK>(block_->_hCallWndHook64);
    const HWINEVENTHOOK events = reinterpret_cast<HWINEVENTHOOK>(block_->_hWinEventHook64);
    remove_();
    EXPECT_EQ(block_->_hGetMsgHook64, 0u);
    EXPECT_EQ(block_->_hCallWndHook64, 0u);
    EXPECT_EQ(block_->_hWinEventHook64, 0u);
    EXPECT_FALSE(UnhookWindowsHookEx(getMsg)) << "already removed";
    EXPECT_FALSE(UnhookWindowsHookEx(callWnd)) << "already removed";
    EXPECT_FALSE(UnhookWinEvent(events)) << "already removed";
    PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_EQ(service_.collectEscapes(500), 0) << "no hook left";

    remove_();  // the second removal finds nothing to remove
    ASSERT_EQ(insert_(nullptr, helper_), 1) << "and disturbs nothing installed later";
    PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_EQ(service_.collectEscapes(1000), 1);
}

// The real host: it hooks through the library and ends when told to close.
TEST(Daemon64Host, HooksUntilTheProgramHasGoneThenEnds) {
    Block block;
    ServiceWindow service;
    block->_iEnabled = 1;
    block.setProgram(service.handle());
    Target target;
    ASSERT_NE(target.main(), nullptr);

    TracedProcess host(binFolder() + L"\\ScribixDaemon64.exe", L"", binFolder());
    ASSERT_TRUE(host.started());
    HWND helper = nullptr;
    ASSERT_TRUE(pumpUntil(
        [&] { return (helper = FindWindowW(L"ScribixDaemon64WndClass", nullptr)); }, 5000));
    ASSERT_TRUE(pumpUntil([&] { return block->_hGetMsgHook64 != 0; }, 5000));
    EXPECT_EQ(block->_hwndHelper64, reinterpret_cast<UINT_PTR>(helper));

    PostMessageW(target.edit(0), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_EQ(service.collectEscapes(1000), 1) << "the host's hooks report Escape";

    block.setProgram(nullptr);
    // Any call through the window-procedure hook of a hooked process tells the host.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(target.main(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    DWORD code = 99;
    EXPECT_TRUE(host.waitForExit(10000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(block->_hGetMsgHook64, 0u) << "the host removed its hooks";
    EXPECT_EQ(block->_hWinEventHook64, 0u);
    EXPECT_EQ(block->_hCallWndHook64, 0u);
}

}  // namespace
