// A pen for the desktop tests that keeps pace with the desktop. xdotool moves
// the X server's pointer; the program under the pointer reads the moves from
// its X connection and queues them as the system's input, and when it falls
// behind, Wine keeps only the last of the moves it has not read yet: on a busy
// machine a stroke turns into a few straight lines and the writing is misread.
// This pen hands xdotool the next step only once the system has queued the
// one before (a low-level mouse hook of this process sees it), and never
// faster than the pace the steps ask for. Windows tests only.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/HostShell.h"

namespace pacedpen {

struct Step {
    enum Kind { Move, Down, Up } kind = Move;
    int x = 0, y = 0;  // Move: the screen pixel
    DWORD pauseMs = 0;  // the pace: the least time until the next step
};

// The steps of an xdotool script of "mousemove X Y", "mousedown 1",
// "mouseup 1" and "sleep SECONDS" commands (the handwriting generator's),
// one or more to a line.
inline std::vector<Step> parseXdotool(const std::string& script) {
    std::vector<Step> steps;
    std::istringstream words(script);
    std::string word;
    while (words >> word) {
        if (word == "mousemove") {
            Step step;
            words >> step.x >> step.y;
            steps.push_back(step);
        } else if (word == "mousedown" || word == "mouseup") {
            Step step;
            step.kind = word == "mousedown" ? Step::Down : Step::Up;
            words >> word;  // the button
            steps.push_back(step);
        } else if (word == "sleep") {
            double seconds = 0;
            words >> seconds;
            if (!steps.empty()) steps.back().pauseMs += static_cast<DWORD>(seconds * 1000 + 0.5);
        }
    }
    return steps;
}

// What the low-level hook saw, in order.
struct Seen {
    UINT message;
    POINT at;
};

// One stroke through the corners (screen pixels) as pen steps, a point every
// few pixels at a pen's pace.
inline std::vector<Step> strokeSteps(std::initializer_list<POINT> corners) {
    std::vector<Step> steps;
    const POINT* previous = nullptr;
    for (const POINT& corner : corners) {
        if (!previous) {
            steps.push_back({Step::Move, corner.x, corner.y, 0});
            steps.push_back({Step::Down, 0, 0, 0});
        } else {
            const int span =
                std::max(std::abs(corner.x - previous->x), std::abs(corner.y - previous->y));
            const int count = std::max(1, span / 3);
            for (int i = 1; i <= count; ++i)
                steps.push_back({Step::Move, previous->x + (corner.x - previous->x) * i / count,
                                 previous->y + (corner.y - previous->y) * i / count, 6});
        }
        previous = &corner;
    }
    steps.push_back({Step::Up, 0, 0, 0});
    return steps;
}

class Pen {
  public:
    Pen() {
        InitializeCriticalSection(&lock_);
        arrived_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ready_ = ready;
        thread_ = CreateThread(nullptr, 0, hookThread, this, 0, &threadId_);
        if (thread_) WaitForSingleObject(ready, 5000);
        CloseHandle(ready);
        ready_ = nullptr;
    }
    ~Pen() {
        if (thread_) {
            PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
            WaitForSingleObject(thread_, 5000);
            CloseHandle(thread_);
        }
        CloseHandle(arrived_);
        DeleteCriticalSection(&lock_);
    }
    Pen(const Pen&) = delete;
    Pen& operator=(const Pen&) = delete;

    // Drives the steps through xdotool; false with `error` set when a step
    // never reached the system or xdotool failed.
    bool run(const std::vector<Step>& steps, std::string* error) {
        if (!hooked_) return fail(error, "the pen's low-level mouse hook could not be set");
        const std::string feed = hostshell::uniqueHostPath("pen");
        const std::wstring feedFile = hostshell::windowsPath(feed);
        HANDLE file = CreateFileW(feedFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return fail(error, "the pen's feed file could not be made");
        bool ok = true;
        {
            // xdotool takes each line as it is written; the script ends at "end",
            // and tail with it once the script is gone. tail follows the file by
            // the kernel's notices; were there none, it would look every 10 ms.
            hostshell::Started xdotool("tail -n +1 -s 0.01 -f --pid=$$ " + feed +
                                           " | sed -u '/^end$/Q' | xdotool - &\nwait $!",
                120000);
            const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
            POINT at = {-1, -1};
            DWORD nextAt = GetTickCount();
            for (size_t i = 0; i < steps.size() && ok; ++i) {
                Step step = steps[i];
                step.x = std::clamp(step.x, 0, std::max(0, width - 1));
                step.y = std::clamp(step.y, 0, std::max(0, height - 1));
                const LONG wait = static_cast<LONG>(nextAt - GetTickCount());
                if (wait > 0) pump(wait);
                const DWORD sent = GetTickCount();
                nextAt = sent + step.pauseMs;
                // A move to where the pointer is makes no event.
                if (step.kind == Step::Move && step.x == at.x && step.y == at.y) continue;
                std::string line;
                if (step.kind == Step::Move)
                    line = "mousemove " + std::to_string(step.x) + " " + std::to_string(step.y);
                else
                    line = step.kind == Step::Down ? "mousedown 1" : "mouseup 1";
                line += "\n";
                DWORD written = 0;
                forget();
                if (!WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written,
                               nullptr) ||
                    written != line.size()) {
                    ok = fail(error, "the pen's feed file could not be written");
                    break;
                }
                if (!arrives(step, 5000)) {
                    EnterCriticalSection(&lock_);
                    const Seen last = last_;
                    const unsigned count = count_;
                    LeaveCriticalSection(&lock_);
                    char text[240];
                    std::snprintf(text, sizeof text,
                                  "step %u of %u (%s %d,%d) did not reach the system within 5 s "
                                  "(the hook saw %u events, the last 0x%x at %ld,%ld)",
                                  static_cast<unsigned>(i + 1),
                                  static_cast<unsigned>(steps.size()),
                                  step.kind == Step::Move ? "move to"
                                  : step.kind == Step::Down ? "press at"
                                                            : "release at",
                                  step.x, step.y, count, last.message, last.at.x, last.at.y);
                    ok = fail(error, text);
                }
                if (step.kind == Step::Move) at = {step.x, step.y};
            }
            // Whatever happened, the button is not left down.
            const std::string end = ok ? "end\n" : "mouseup 1\nend\n";
            DWORD written = 0;
            WriteFile(file, end.data(), static_cast<DWORD>(end.size()), &written, nullptr);
            std::string output;
            if (!xdotool.wait(&output) && ok) ok = fail(error, "xdotool failed: " + output);
        }
        CloseHandle(file);
        DeleteFileW(feedFile.c_str());
        return ok;
    }

  private:
    static Pen*& current() {
        static Pen* pen = nullptr;
        return pen;
    }

    static LRESULT CALLBACK onMouse(int code, WPARAM wParam, LPARAM lParam) {
        Pen* pen = current();
        if (code == HC_ACTION && pen &&
            (wParam == WM_MOUSEMOVE || wParam == WM_LBUTTONDOWN || wParam == WM_LBUTTONUP)) {
            const auto* mouse = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
            EnterCriticalSection(&pen->lock_);
            pen->seen_.push_back({static_cast<UINT>(wParam), mouse->pt});
            ++pen->count_;
            pen->last_ = {static_cast<UINT>(wParam), mouse->pt};
            LeaveCriticalSection(&pen->lock_);
            SetEvent(pen->arrived_);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static DWORD WINAPI hookThread(void* argument) {
        Pen* pen = static_cast<Pen*>(argument);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue
        current() = pen;
        HHOOK hook = SetWindowsHookExW(WH_MOUSE_LL, onMouse, GetModuleHandleW(nullptr), 0);
        pen->hooked_ = hook != nullptr;
        SetEvent(pen->ready_);
        while (hook && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        if (hook) UnhookWindowsHookEx(hook);
        current() = nullptr;
        return 0;
    }

    static bool fail(std::string* error, const std::string& why) {
        if (error && error->empty()) *error = why;
        return false;
    }

    // Dispatches this thread's messages for `ms`.
    static void pump(DWORD ms) {
        const DWORD start = GetTickCount();
        for (;;) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            const DWORD gone = GetTickCount() - start;
            if (gone >= ms) return;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - gone, QS_ALLINPUT);
        }
    }

    void forget() {
        EnterCriticalSection(&lock_);
        seen_.clear();
        LeaveCriticalSection(&lock_);
    }

    // Waits (dispatching this thread's messages) until the hook has seen the step.
    bool arrives(const Step& step, DWORD ms) {
        const UINT wanted = step.kind == Step::Move   ? WM_MOUSEMOVE
                            : step.kind == Step::Down ? WM_LBUTTONDOWN
                                                      : WM_LBUTTONUP;
        const DWORD start = GetTickCount();
        for (;;) {
            EnterCriticalSection(&lock_);
            bool found = false;
            for (const Seen& seen : seen_)
                if (seen.message == wanted &&
                    (step.kind != Step::Move || (seen.at.x == step.x && seen.at.y == step.y)))
                    found = true;
            seen_.clear();
            LeaveCriticalSection(&lock_);
            if (found) return true;
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            const DWORD gone = GetTickCount() - start;
            if (gone >= ms) return false;
            MsgWaitForMultipleObjects(1, &arrived_, FALSE, ms - gone, QS_ALLINPUT);
        }
    }

    CRITICAL_SECTION lock_;
    std::deque<Seen> seen_;
    unsigned count_ = 0;  // all the hook saw, and the last of it, for a failure's report
    Seen last_ = {0, {0, 0}};
    HANDLE arrived_ = nullptr;
    HANDLE ready_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    bool hooked_ = false;
};

}  // namespace pacedpen
