#include "ink/MouseEmulation.h"

#include <atomic>
#include <new>

#include "core/AppGlobals.h"

void sendMouse(DWORD flags, LONG dx, LONG dy, ULONG_PTR marker) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.dwFlags = flags;
    input.mi.dwExtraInfo = marker;
    SendInput(1, &input, sizeof input);
}

namespace {

// An absolute left-button event at screen pixel (x, y).
void sendButtonAt(DWORD button, int x, int y, ULONG_PTR marker) {
    const AppGlobals& g = appGlobals();
    sendMouse(button | MOUSEEVENTF_ABSOLUTE, absoluteMouseCoordinate(x, g.primaryWidth()),
              absoluteMouseCoordinate(y, g.primaryHeight()), marker);
}

}  // namespace

bool SelfDeletingWorker::start() {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE thread = CreateThread(&inheritable, 0, run, this, 0, nullptr);
    if (!thread) {
        delete this;
        return false;
    }
    CloseHandle(thread);
    return true;
}

DWORD WINAPI SelfDeletingWorker::run(void* self) {
    auto* worker = static_cast<SelfDeletingWorker*>(self);
    const DWORD result = worker->work();
    delete worker;
    return result;
}

LONG absoluteMouseCoordinate(int value, int extent) {
    if (extent <= 0) return 0;
    return MulDiv(2 * value + 1, 32768, extent);
}

CMouseEventsGenerator::CMouseEventsGenerator(int x, int y, int restoreX, int restoreY, bool release,
                                             ULONG_PTR downMarker, ULONG_PTR upMarker)
    : x_(x),
      y_(y),
      restoreX_(restoreX),
      restoreY_(restoreY),
      release_(release),
      downMarker_(downMarker),
      upMarker_(upMarker) {}

DWORD CMouseEventsGenerator::work() {
    POINT cursor;
    // A click exactly where the cursor stands would not count as a move.
    if (GetCursorPos(&cursor) && cursor.x == x_ && cursor.y == y_) ++y_;
    Sleep(1);
    SetCursorPos(x_, y_);
    sendButtonAt(MOUSEEVENTF_LEFTDOWN, x_, y_, downMarker_);
    if (!release_) {
        sendMouse(MOUSEEVENTF_MOVE, 0, 1, downMarker_);
        Sleep(50);
        SetCursorPos(restoreX_, restoreY_);
        sendMouse(MOUSEEVENTF_MOVE, 0, 1, upMarker_);
        return 0;
    }
    sendMouse(MOUSEEVENTF_MOVE, 0, -1, downMarker_);
    SetCursorPos(x_, y_);
    sendButtonAt(MOUSEEVENTF_LEFTUP, x_, y_, upMarker_);
    SetCursorPos(x_, y_ + 1);
    return 0;
}

void startMouseEventsGenerator(int x, int y, int restoreX, int restoreY, bool release,
                               ULONG_PTR downMarker, ULONG_PTR upMarker) {
    auto* generator = new (std::nothrow)
        CMouseEventsGenerator(x, y, restoreX, restoreY, release, downMarker, upMarker);
    if (generator) generator->start();
}

CMouseShaker::CMouseShaker(int stepMs, int durationMs, int delta, ULONG_PTR marker)
    : step_(stepMs), duration_(durationMs), delta_(delta), marker_(marker) {}

DWORD CMouseShaker::work() {
    if (step_ <= 0) return static_cast<DWORD>(-1);
    Sleep(1);
    const DWORD started = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - started;
        const LONG duration = duration_;
        if (duration <= 0 || elapsed >= static_cast<DWORD>(duration)) break;
        const DWORD left = static_cast<DWORD>(duration) - elapsed;
        Sleep(left < static_cast<DWORD>(step_) ? left : static_cast<DWORD>(step_));
        sendMouse(MOUSEEVENTF_MOVE, delta_, delta_, marker_);
        sendMouse(MOUSEEVENTF_MOVE, -delta_, -delta_, marker_);
    }
    return 0;
}

namespace {

std::atomic<bool> g_shaking{false};

// The shake that startMouseShaker runs: it lets the next one start when it ends.
class BoundedShaker : public CMouseShaker {
  public:
    using CMouseShaker::CMouseShaker;
    ~BoundedShaker() override { g_shaking = false; }
};

}  // namespace

bool startMouseShaker(int stepMs, int durationMs, int delta, ULONG_PTR marker) {
    if (g_shaking.exchange(true)) return false;
    sendMouse(MOUSEEVENTF_LEFTUP, 0, 0, kShakeReleaseMarker);
    if (durationMs > kLongestShakeMs) durationMs = kLongestShakeMs;
    if (stepMs > durationMs) stepMs = durationMs;
    auto* shaker = new (std::nothrow) BoundedShaker(stepMs, durationMs, delta, marker);
    if (!shaker) {
        g_shaking = false;
        return false;
    }
    return shaker->start();  // a thread that cannot start deletes the shaker
}

bool mouseShakerRunning() { return g_shaking; }

void sendMouseClick() {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
}

void sendMouseLeftUp() { sendMouse(MOUSEEVENTF_LEFTUP, 0, 0, 0); }

int modifierKeyMask() {
    int mask = 0;
    if (GetKeyState(VK_CONTROL) & 0x8000) mask |= 1;
    if (GetKeyState(VK_SHIFT) & 0x8000) mask |= 2;
    if (GetKeyState(VK_MENU) & 0x8000) mask |= 4;
    return mask;
}

void checkModifierKeys(int* lastMask, void (*listener)(void* context, int newMask, int oldMask),
                       void* context) {
    if (!lastMask) return;
    const int mask = modifierKeyMask();
    if (mask == *lastMask) return;
    const int old = *lastMask;
    *lastMask = mask;
    if (listener) listener(context, mask, old);
}
