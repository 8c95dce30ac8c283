// Drives a modal window (a dialog, a message box) that the test's own thread
// is about to run: a helper thread waits for the visible top-level window of
// this process with the given caption, hands it to the test's action (read
// its controls, take its screenshot, click it with xdotool as a user would),
// and closes it by WM_CLOSE when it is still open after the action, so no
// test can hang on it. Windows tests with DISPLAY x11.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "tests/support/HostShell.h"

namespace modal {

struct FindRequest {
    const std::wstring* caption;
    HWND found;
};

inline BOOL CALLBACK findOwnWindow(HWND window, LPARAM parameter) {
    auto* request = reinterpret_cast<FindRequest*>(parameter);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    wchar_t text[256] = L"";
    GetWindowTextW(window, text, 256);
    if (*request->caption != text) return TRUE;
    request->found = window;
    return FALSE;
}

// The visible top-level window of this process captioned `caption`, or null.
inline HWND findWindow(const std::wstring& caption) {
    FindRequest request{&caption, nullptr};
    EnumWindows(findOwnWindow, reinterpret_cast<LPARAM>(&request));
    return request.found;
}

inline HWND waitForWindow(const std::wstring& caption, DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        if (HWND window = findWindow(caption)) return window;
        Sleep(20);
    } while (GetTickCount() - start < ms);
    return nullptr;
}

// A left click (xdotool, the X server's own pointer) at the centre of the
// control `id` of `dialog`; false when there is no such control or xdotool failed.
inline bool clickControl(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    RECT rect;
    if (!control || !GetWindowRect(control, &rect)) return false;
    const int x = (rect.left + rect.right) / 2, y = (rect.top + rect.bottom) / 2;
    return hostshell::run(
        "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " sleep 0.1 click 1",
        10000);
}

// A left click at a point of the screen.
inline bool clickAt(int x, int y) {
    return hostshell::run(
        "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " sleep 0.1 click 1",
        10000);
}

inline std::wstring controlText(HWND dialog, int id) {
    wchar_t text[2048] = L"";
    GetDlgItemTextW(dialog, id, text, 2048);
    return text;
}

class Driver {
  public:
    Driver(std::wstring caption, std::function<void(HWND)> action, DWORD ms = 20000)
        : caption_(std::move(caption)), action_(std::move(action)), thread_([this, ms] {
              HWND window = waitForWindow(caption_, ms);
              if (!window) return;
              found_ = true;
              // In front, as a window the user just opened, and painted.
              SetForegroundWindow(window);
              Sleep(200);
              action_(window);
              const DWORD start = GetTickCount();
              while (IsWindow(window) && GetTickCount() - start < 3000) Sleep(20);
              // Whatever the action left open is cancelled, the innermost
              // window first, so the test's own thread can go on.
              for (int round = 0; IsWindow(window) && round < 50; ++round) {
                  closedByDriver_ = true;
                  HWND innermost = enabledWindow();
                  PostMessageW(innermost ? innermost : window, WM_COMMAND, IDCANCEL, 0);
                  PostMessageW(innermost ? innermost : window, WM_CLOSE, 0, 0);
                  Sleep(100);
              }
          }) {}
    ~Driver() { join(); }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    void join() {
        if (thread_.joinable()) thread_.join();
    }
    // The window showed (valid after join()).
    bool found() const { return found_; }
    // The action did not close the window: the driver had to.
    bool closedByDriver() const { return closedByDriver_; }

  private:
    static BOOL CALLBACK findEnabled(HWND window, LPARAM parameter) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid != GetCurrentProcessId() || !IsWindowVisible(window) || !IsWindowEnabled(window))
            return TRUE;
        *reinterpret_cast<HWND*>(parameter) = window;
        return FALSE;
    }
    // The visible, enabled top-level window of this process nearest the top.
    static HWND enabledWindow() {
        HWND found = nullptr;
        EnumWindows(findEnabled, reinterpret_cast<LPARAM>(&found));
        return found;
    }

    std::wstring caption_;
    std::function<void(HWND)> action_;
    std::atomic<bool> found_{false};
    std::atomic<bool> closedByDriver_{false};
    std::thread thread_;
};

}  // namespace modal
