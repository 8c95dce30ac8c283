// What the customization dialogs' tests do to a dialog on the X display:
// xdotool clicks where a user would, waits, and the state of its buttons.
// Windows tests only.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "tests/support/HostShell.h"

namespace dialogclicks {

// Starting a host program from a second thread now and then fails at once;
// such a start is tried again.
inline bool xdotool(const std::string& arguments) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (hostshell::run("xdotool " + arguments, 10000)) return true;
        Sleep(100);
    }
    return false;
}

// Sleeps in short steps until `done`, at most `ms`.
inline bool waitFor(const std::function<bool()>& done, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= ms) return false;
        Sleep(20);
    }
    return true;
}

// Clicks a control of the dialog: check boxes and radios on their box at the
// left, anything narrower in its middle; the pointer then leaves the dialog.
inline bool click(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    RECT r = {};
    if (!control || !GetWindowRect(control, &r)) return false;
    const int x = (r.right - r.left) > 60 ? r.left + 6 : (r.left + r.right) / 2;
    const int y = (r.top + r.bottom) / 2;
    const bool ok = xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) +
                            " click 1 mousemove 5 5");
    Sleep(150);
    return ok;
}

inline bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
inline bool enabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

// Opens a modal dialog with `open` on a thread of its own (as the service's
// thread would run it) while `driver` works it from this one, like a user;
// `window` finds the open dialog. A driver that left it open has it
// cancelled, so the test cannot hang. The dialog's result.
inline INT_PTR driveDialog(HWND (*window)(), const std::function<INT_PTR()>& open,
                           const std::function<void(HWND)>& driver) {
    std::atomic<INT_PTR> result{-2};
    std::thread dialogThread([&] { result = open(); });
    HWND dialog = nullptr;
    const bool opened = waitFor([&] { return (dialog = window()) != nullptr; }, 10000);
    EXPECT_TRUE(opened) << "the dialog did not open";
    if (opened) {
        Sleep(300);  // drawn
        driver(dialog);
    }
    if (!waitFor([&] { return window() == nullptr; }, 3000))
        if (HWND still = window()) PostMessageW(still, WM_COMMAND, IDCANCEL, 0);
    dialogThread.join();
    return result;
}

}  // namespace dialogclicks
