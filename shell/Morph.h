// Smooth moving and resizing of a window from its rectangle to a target one
// (the splash, later the floating bars), timed by a millisecond clock.
#pragma once

#include <windows.h>

// Milliseconds since construction: from the performance counter, or from the
// tick count (across its wrap-around) on a machine without one.
class MorphClock {
  public:
    MorphClock(int steps, int durationMs, int flags);
    double elapsedMs() const;
    // The tick source when there is no performance counter; tests set their own.
    static void setTickSource(DWORD (*tickCount)());
    // Tests: act as a machine without a performance counter.
    static void forceTickCount(bool force);

    int steps() const { return steps_; }
    int durationMs() const { return durationMs_; }
    int flags() const { return flags_; }

  private:
    int steps_, durationMs_, flags_;
    LARGE_INTEGER start_ = {};
    DWORD startTick_ = 0;
    double msPerTick_ = 0;  // 0: the tick count is used
};

// The rectangle of step i of n from `start` to `target`: the last step is the
// target; before it the left and top edges move by (target - start) * (i + 1) / n
// and width and height grow by their difference * (i + 1) / n (truncated).
RECT morphStepRect(const RECT& start, const RECT& target, int i, int n);

// The number of steps of a morph: the largest absolute difference of an edge, at least 1.
int morphStepCount(const RECT& start, const RECT& target);

// Mixes morphing into a window class T that answers hwnd().
template <typename T>
class CMorphed {
  public:
    // Morphs the window to `target` over `durationMs` (on the calling thread);
    // false when there is nothing to do.
    bool morphTo(const RECT* target, int durationMs) {
        RECT current;
        if (!target || durationMs < 1 || (flags_ & kRunning) ||
            !GetWindowRect(window(), &current) || EqualRect(&current, target))
            return false;
        start_ = current;
        target_ = *target;
        steps_ = morphStepCount(start_, target_);
        flags_ |= kRunning;
        // Each pass takes the step that is due by the clock, so a slow screen
        // skips steps instead of stretching the morph beyond its duration.
        MorphClock clock(steps_, durationMs, 0);
        for (int i = 0;;) {
            step(i);
            if (i >= steps_ - 1) break;
            const double next = static_cast<double>(durationMs) * (i + 1) / steps_;
            const double wait = next - clock.elapsedMs();
            if (wait >= 1) Sleep(static_cast<DWORD>(wait));
            const int due = static_cast<int>(clock.elapsedMs() * steps_ / durationMs);
            i = due > i + 1 ? (due < steps_ - 1 ? due : steps_ - 1) : i + 1;
        }
        flags_ &= ~kRunning;
        return true;
    }

    void step(int i) {
        RECT now;
        if (!GetWindowRect(window(), &now)) return;
        const RECT next = morphStepRect(start_, target_, i, steps_);
        if (EqualRect(&now, &next)) return;
        SetWindowPos(window(), nullptr, next.left, next.top, next.right - next.left,
                     next.bottom - next.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        RECT both;
        UnionRect(&both, &now, &next);
        RedrawWindow(nullptr, &both, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    }

    bool morphing() const { return (flags_ & kRunning) != 0; }

  private:
    static constexpr unsigned kRunning = 1;
    HWND window() { return static_cast<T*>(this)->hwnd(); }

    RECT start_ = {};
    RECT target_ = {};
    int steps_ = 0;
    unsigned flags_ = 0;
};
