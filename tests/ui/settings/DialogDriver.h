// Drives modal dialogs from inside their own message loops: a test queues
// steps, each waiting for a window of this thread with a given caption, then
// opens the dialog; a thread timer runs each step once its window is shown.
// A step that opens another modal dialog posts the click and returns, so
// that the next step runs inside the nested loop. When the steps are not all
// done in time, every dialog of the thread is ended.
#pragma once

#include <windows.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/HostShell.h"

namespace driver {

struct Step {
    std::wstring caption;
    std::function<void(HWND)> action;
    DWORD delayMs = 0;  // after the previous step ended
};

// A shown top-level window of this thread with that caption, or null.
inline HWND findThreadWindow(const std::wstring& caption) {
    struct Search {
        const std::wstring* caption;
        HWND found;
    } search = {&caption, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM parameter) CALLBACK -> BOOL {
            Search* s = reinterpret_cast<Search*>(parameter);
            wchar_t text[256] = {};
            GetWindowTextW(window, text, 256);
            if (IsWindowVisible(window) && *s->caption == text) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Handles what is waiting for this thread for `ms` (windows get drawn).
inline void pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

class Driver {
  public:
    void then(const std::wstring& caption, std::function<void(HWND)> action) {
        steps_.push_back({caption, std::move(action), 0});
    }
    // A step that waits `ms` after the previous one, so that what the
    // previous one started (keys sent in the background) reaches the dialog's
    // own loop first.
    void thenAfter(DWORD ms, const std::wstring& caption, std::function<void(HWND)> action) {
        steps_.push_back({caption, std::move(action), ms});
    }

    // Runs `open` (which runs the modal dialog) with the steps; true when
    // every step ran before `timeoutMs`.
    bool run(const std::function<void()>& open, DWORD timeoutMs = 60000) {
        current() = this;
        deadline_ = GetTickCount() + timeoutMs;
        timedOut_ = false;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, tick);
        open();
        KillTimer(nullptr, timer);
        current() = nullptr;
        return steps_.empty() && !timedOut_;
    }

    size_t stepsLeft() const { return steps_.size(); }

  private:
    static Driver*& current() {
        static Driver* driver = nullptr;
        return driver;
    }

    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        Driver* self = current();
        if (!self || self->running_) return;
        if (static_cast<LONG>(GetTickCount() - self->deadline_) > 0) {
            self->timedOut_ = true;
            std::string shown;
            EnumThreadWindows(
                GetCurrentThreadId(),
                [](HWND window, LPARAM parameter) CALLBACK -> BOOL {
                    wchar_t text[128] = {};
                    GetWindowTextW(window, text, 128);
                    if (IsWindowVisible(window)) {
                        std::string& out = *reinterpret_cast<std::string*>(parameter);
                        out += " \"";
                        for (const wchar_t* c = text; *c; ++c)
                            out += *c < 128 ? static_cast<char>(*c) : '?';
                        out += "\"";
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&shown));
            std::fprintf(stderr, "dialog driver: timed out waiting for \"%ls\"; shown:%s\n",
                         self->steps_.empty() ? L"" : self->steps_.front().caption.c_str(),
                         shown.c_str());
            endAllDialogs();
            return;
        }
        if (self->steps_.empty()) return;
        if (GetTickCount() - self->lastEnd_ < self->steps_.front().delayMs) return;
        HWND window = findThreadWindow(self->steps_.front().caption);
        if (!window) return;
        Step step = std::move(self->steps_.front());
        self->steps_.pop_front();
        self->running_ = true;
        pump(150);  // the new dialog settles and draws
        step.action(window);
        self->running_ = false;
        self->lastEnd_ = GetTickCount();
    }

    static void endAllDialogs() {
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM) CALLBACK -> BOOL {
                wchar_t name[32] = {};
                GetClassNameW(window, name, 32);
                if (std::wstring(name) == L"#32770") EndDialog(window, 2);
                return TRUE;
            },
            0);
    }

    std::deque<Step> steps_;
    DWORD deadline_ = 0;
    bool running_ = false;
    DWORD lastEnd_ = 0;
    bool timedOut_ = false;
};

// Keys typed by xdotool a little later, once the caller has returned to the
// dialog's own message loop (which turns Escape and Enter into commands).
inline void typeLater(const std::string& keys, int delayMs = 300) {
    hostshell::run("(sleep " + std::to_string(delayMs / 1000.0) + "; xdotool key " + keys +
                       ") >/dev/null 2>&1 &",
                   5000);
}

// A click on a button of a dialog, as the button itself reports it.
inline void click(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
// The same, posted: for a button that opens a modal dialog.
inline void postClick(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace driver
