#include "Morph.h"

#include <cstdlib>

namespace {

DWORD (*g_tickSource)() = [] { return GetTickCount(); };
bool g_forceTickCount = false;

}  // namespace

void MorphClock::setTickSource(DWORD (*tickCount)()) {
    g_tickSource = tickCount ? tickCount : [] { return GetTickCount(); };
}

void MorphClock::forceTickCount(bool force) { g_forceTickCount = force; }

MorphClock::MorphClock(int steps, int durationMs, int flags)
    : steps_(steps), durationMs_(durationMs), flags_(flags) {
    LARGE_INTEGER frequency;
    if (!g_forceTickCount && QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0 &&
        QueryPerformanceCounter(&start_)) {
        msPerTick_ = 1000.0 / static_cast<double>(frequency.QuadPart);
    } else {
        msPerTick_ = 0;
        startTick_ = g_tickSource();
    }
}

double MorphClock::elapsedMs() const {
    if (msPerTick_ == 0) {
        // Unsigned difference: right across the 49.7-day wrap of the tick count.
        return static_cast<double>(static_cast<DWORD>(g_tickSource() - startTick_));
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - start_.QuadPart) * msPerTick_;
}

int morphStepCount(const RECT& start, const RECT& target) {
    int n = std::abs(target.left - start.left);
    const int edges[3] = {std::abs(target.top - start.top), std::abs(target.right - start.right),
                          std::abs(target.bottom - start.bottom)};
    for (int d : edges)
        if (d > n) n = d;
    return n < 1 ? 1 : n;
}

RECT morphStepRect(const RECT& start, const RECT& target, int i, int n) {
    if (n < 1 || i >= n - 1) return target;
    // 64-bit products: an edge may move across the whole coordinate range.
    const long long k = i + 1;
    const long long startWidth = start.right - start.left;
    const long long startHeight = start.bottom - start.top;
    const long long targetWidth = target.right - target.left;
    const long long targetHeight = target.bottom - target.top;
    RECT r;
    r.left =
        static_cast<LONG>(start.left + (static_cast<long long>(target.left) - start.left) * k / n);
    r.top = static_cast<LONG>(start.top + (static_cast<long long>(target.top) - start.top) * k / n);
    r.right = static_cast<LONG>(r.left + startWidth + (targetWidth - startWidth) * k / n);
    r.bottom = static_cast<LONG>(r.top + startHeight + (targetHeight - startHeight) * k / n);
    return r;
}
