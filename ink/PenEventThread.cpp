#include "ink/PenEventThread.h"

#include <atomic>
#include <cstring>

#include "outside/Scribix35.h"
#include "ink/LiveInk.h"
#include "core/MemoryBlocks.h"
#include "ink/MouseEmulation.h"
#include "ink/RecResult.h"
#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "ink/LocalInkManager.h"
#include "core/PendingServices.h"
#include "ink/InkCollectorBridge.h"
#include "core/ServiceMessages.h"
#include "core/ServiceState.h"
#include "core/Settings.h"
#include "core/SystemHooks.h"
#include "core/Trace.h"

// The program's names for what the hook library writes into the ring, the
// tags it must leave alone and the messages it sends are its interface's values.
static_assert(kInkControlX == SX_RING_CONTROL_X && kInkSeparatorY == SX_RING_SEPARATOR_Y &&
                  kInkFinishY == SX_RING_FINISH_Y && kInkLiveInkY == SX_RING_LIVE_INK_Y,
              "ring control entries");
static_assert(kMouseDownMarker == SX_PROGRAM_INPUT_DOWN && kMouseUpMarker == SX_PROGRAM_INPUT_UP &&
                  kMouseOtherMarker == SX_PROGRAM_INPUT_OTHER &&
                  kShakeReleaseMarker == SX_PROGRAM_INPUT_SHAKE_RELEASE,
              "emulated input tags");
static_assert(WM_INK_FOREGROUND_CHANGED == SX_MSG_FOREGROUND_CHANGED &&
                  WM_INK_PEN_DOWN == SX_MSG_PEN_DOWN &&
                  WM_INK_MESSAGE_FOR_CLIENT == SX_MSG_MESSAGE_FOR_CLIENT &&
                  WM_INK_ESCAPE == SX_MSG_ESCAPE && WM_INK_LAYER_SHOW == SX_MSG_LAYER_SHOW &&
                  WM_INK_LAYER_HIDE == SX_MSG_LAYER_HIDE,
              "messages of the hook library");

namespace {

constexpr int kInfinite = -1;
constexpr DWORD kJoinTimeoutMs = 5000;

// The pen-event state. The thread owns the ring's read index and the buffer;
// the UI thread resets the flags and counts (atomics: no lock is taken on
// either side, so neither can wait for the other).
struct PenEvents {
    PenEventRing* ring = nullptr;
    HANDLE queueEvent = nullptr;
    HANDLE thread = nullptr;
    std::atomic<bool> running{false};

    InkPoint* buffer = nullptr;
    std::atomic<int> pointCount{0};
    std::atomic<int> drawnCount{0};
    std::atomic<bool> ignoreUntilSeparator{false};
    std::atomic<bool> liveInkOn{false};
    std::atomic<bool> strokeInProgress{false};
    std::atomic<bool> holdCheckActive{false};
    std::atomic<bool> penMouseMode{false};
    POINT lastEmulatedPoint = {0, 0};
    std::atomic<int> waitTimeout{kInfinite};
    std::atomic<int> holdInterval{kInfinite};
    std::atomic<DWORD> lastWakeTick{0};

    // The system client's values.
    std::atomic<int> waitNextStroke{1000};
    std::atomic<int> priorityInkCollector{101};
    std::atomic<int> priorityRecFinal{102};
    int appliedPriority = 0;  // thread only; 0: none applied yet
};

PenEvents g_pen;

void readSystemClientValues() {
    int wait = 1000, ink = 101, recFinal = 102;
    ReadSetting(L"InnerSystemClient", L"waitNextStrokeTimeout", &wait, SETTING_NUMBER_DIRECT, 0);
    ReadSetting(L"InnerSystemClient", L"priorityInkCollector", &ink, SETTING_NUMBER, 0);
    ReadSetting(L"InnerSystemClient", L"priorityRecFinal", &recFinal, SETTING_NUMBER, 0);
    setWaitNextStrokeTimeout(wait);
    setPenThreadPriorities(ink, recFinal);
}

void sendEmulatedMouse(DWORD flags) { sendMouse(flags, 0, 0, kPenMouseMarker); }

POINT pixelOf(InkPoint p) { return POINT{p.x >> 2, p.y >> 2}; }

// The pen width the drawn ink was made with: the active client's, else the manager's.
int livePenWidth(LocalInkManager* manager) {
    int32_t words[4];
    if (manager->activeClientPen(words)) return words[1];
    return manager->getPenState().width;
}

// Hands entries [from, to) of the buffer to the active client as a new block.
void handOver(LocalInkManager* manager, int from, int to) {
    if (to <= from) return;
    const int bytes = (to - from) * static_cast<int>(sizeof(InkPoint));
    auto* copy = static_cast<InkPoint*>(allocMemory(bytes));
    if (!copy) return;  // the allocator traced it; the points stay collected
    std::memcpy(copy, g_pen.buffer + from, static_cast<size_t>(bytes));
    manager->passStrokeToActiveClient(copy, to - from);
}

// Draws entries [from, to) as live ink; true when they were drawn.
bool drawCollected(int from, int to, bool final) {
    if (to <= from) return false;
    return drawLiveInk(g_pen.buffer, from, to - 1, final);
}

void onFinishMarker(LocalInkManager* manager) {
    if (g_pen.holdCheckActive) setCurrentRecResult(nullptr, true, true);
    g_pen.holdCheckActive = false;
    g_pen.strokeInProgress = false;
    if (g_pen.liveInkOn) {
        g_pen.liveInkOn = false;
        const int margin = livePenWidth(manager) / 2 + 5;
        RECT drawn;
        if (pointListBounds(g_pen.buffer, g_pen.drawnCount, margin, margin, &drawn))
            restoreScreenArea(drawn);
    }
    if (g_pen.pointCount > 0) {
        manager->notifyActiveClient();
        g_pen.pointCount = 0;
    }
    g_pen.drawnCount = 0;
    g_pen.ignoreUntilSeparator = true;
    serviceState().markupMode = false;
}

void onLiveInkMarker() {
    if (g_pen.liveInkOn) return;
    g_pen.liveInkOn = true;
    const int collected = g_pen.pointCount;
    if (drawCollected(0, collected, false)) g_pen.drawnCount = collected;
    // The Tablet PC collector is made by the ink layer when it handles 3066:
    // the start-up asks for it, and so does the first live ink of a writing
    // while the collector path is on and no collector runs (after a display
    // change or a reset closed it).
    if (tabletCollectorSwitchesOn() && !isTabletCollectorRunning()) {
        if (HWND layer = appGlobals().inkLayerWindow)
            PostMessageW(layer, WM_INK_LAYER_COLLECTOR, 0, 0);
    }
}

// Markup mode: a contact starting over one of the program's own windows
// drives the mouse instead of inking. True when the entry started it.
bool startPenMouseMode(InkPoint entry) {
    const ServiceState& service = serviceState();
    if (g_pen.strokeInProgress || !service.markupMode || service.snapshot ||
        entry.x == kInkControlX)
        return false;
    HWND window = WindowFromPoint(pixelOf(entry));
    DWORD pid = 0;
    if (!window || window == appGlobals().inkLayerWindow ||
        !GetWindowThreadProcessId(window, &pid) || pid != GetCurrentProcessId())
        return false;
    sendEmulatedMouse(MOUSEEVENTF_LEFTDOWN);
    g_pen.penMouseMode = true;
    g_pen.strokeInProgress = true;
    g_pen.lastEmulatedPoint = pixelOf(entry);
    return true;
}

void continuePenMouseMode(InkPoint entry) {
    if (isSeparator(entry)) {
        sendEmulatedMouse(MOUSEEVENTF_LEFTUP);
        g_pen.penMouseMode = false;
        g_pen.holdCheckActive = false;
        g_pen.strokeInProgress = false;
        g_pen.pointCount = 0;
        g_pen.drawnCount = 0;
        return;
    }
    if (entry.x == kInkControlX) return;
    const POINT pixel = pixelOf(entry);
    if (pixel.x == g_pen.lastEmulatedPoint.x && pixel.y == g_pen.lastEmulatedPoint.y) return;
    sendEmulatedMouse(MOUSEEVENTF_MOVE);
    g_pen.lastEmulatedPoint = pixel;
}

DWORD WINAPI penEventThreadMain(void*) {
    bool idleWake = false;
    while (g_pen.running) {
        const int priority = g_pen.priorityInkCollector;
        if (priority != g_pen.appliedPriority) {
            SetThreadPriority(GetCurrentThread(), threadPriorityOf(priority - 100));
            g_pen.appliedPriority = priority;
        }
        // The system client ends a writing when the pen has rested for its
        // whole wait: a wake for the thread's own time-out is no pen activity,
        // or every writing would wait twice.
        if (!idleWake) g_pen.lastWakeTick = GetTickCount();
        const int wait = g_pen.waitTimeout;
        const DWORD waited =
            WaitForSingleObject(g_pen.queueEvent, wait < 0 ? INFINITE : static_cast<DWORD>(wait));
        if (!g_pen.running) break;
        ResetEvent(g_pen.queueEvent);

        const bool empty = g_pen.ring->readIndex == g_pen.ring->writeIndex;
        idleWake = empty && waited == WAIT_TIMEOUT;
        if (idleWake) {
            if (g_pen.holdCheckActive) {
                hookLibrary().checkHoldState();
            } else if (wait == g_pen.waitNextStroke) {
                setRecognitionThreadPriority(threadPriorityOf(g_pen.priorityRecFinal - 100));
                g_pen.waitTimeout = kInfinite;
            }
            continue;
        }
        drainPenEventRing();

        if (g_pen.holdCheckActive) {
            const int hold = g_pen.holdInterval;
            if (g_pen.waitTimeout == kInfinite && hold > 0) g_pen.waitTimeout = hold;
        } else {
            g_pen.waitTimeout = g_pen.strokeInProgress ? kInfinite : g_pen.waitNextStroke.load();
        }
    }
    // The layer's device context was taken on this thread: it goes back from
    // here, before the shut-down destroys the layer window.
    releaseLiveInk();
    return 0;
}

bool takeBuffer() {
    if (g_pen.buffer) return true;
    g_pen.buffer = static_cast<InkPoint*>(
        allocMemory(kPenPointBufferSize * static_cast<int>(sizeof(InkPoint))));
    return g_pen.buffer != nullptr;
}

void releaseBuffer() {
    freeMemory(g_pen.buffer);
    g_pen.buffer = nullptr;
    g_pen.pointCount = 0;
    g_pen.drawnCount = 0;
}

}  // namespace

namespace {
const wchar_t* g_queueEventName = kPenQueueEventName;
}  // namespace

void setPenQueueEventName(const wchar_t* name) {
    g_queueEventName = name ? name : kPenQueueEventName;
}

bool startPenEventThread() {
    if (g_pen.thread) return true;
    HANDLE event = OpenEventW(EVENT_ALL_ACCESS, TRUE, g_queueEventName);
    if (!event) {
        showMessage(L"Inking: Could not open Touch event.");
        return false;
    }
    PenEventRing* ring = getHookEventStack(0);
    if (!ring || !openPenEventRing(ring)) {
        CloseHandle(event);
        return false;
    }
    readSystemClientValues();
    g_pen.queueEvent = event;
    g_pen.waitTimeout = kInfinite;
    g_pen.running = true;
    g_pen.appliedPriority = 0;
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    g_pen.thread = CreateThread(&inheritable, 0, penEventThreadMain, nullptr, 0, nullptr);
    if (!g_pen.thread) {
        g_pen.running = false;
        g_pen.queueEvent = nullptr;
        CloseHandle(event);
        closePenEventRing();
        return false;
    }
    return true;
}

bool stopPenEventThread() {
    if (g_pen.thread) {
        g_pen.running = false;
        SetEvent(g_pen.queueEvent);
        if (WaitForSingleObject(g_pen.thread, kJoinTimeoutMs) != WAIT_OBJECT_0) {
            // Stuck in a client: its buffer, its event and its handle stay.
            debugTrace(L"-----stopPenEventThread: the thread did not end\n");
            return false;
        }
        CloseHandle(g_pen.thread);
        g_pen.thread = nullptr;
    }
    if (g_pen.queueEvent) CloseHandle(g_pen.queueEvent);
    g_pen.queueEvent = nullptr;
    closePenEventRing();
    return true;
}

bool isPenEventThreadRunning() { return g_pen.thread != nullptr; }

bool openPenEventRing(PenEventRing* ring) {
    if (!ring || !takeBuffer()) return false;
    g_pen.ring = ring;
    g_pen.ignoreUntilSeparator = false;
    g_pen.liveInkOn = false;
    g_pen.strokeInProgress = false;
    g_pen.holdCheckActive = false;
    g_pen.penMouseMode = false;
    g_pen.waitTimeout = kInfinite;
    g_pen.holdInterval = kInfinite;
    return true;
}

void closePenEventRing() {
    releaseBuffer();
    g_pen.ring = nullptr;
}

void resetPenInputQueue() {
    PenEventRing* ring = g_pen.ring;
    if (ring) ring->readIndex = ring->writeIndex;
    g_pen.pointCount = 0;
    g_pen.drawnCount = 0;
    g_pen.holdCheckActive = true;
    g_pen.strokeInProgress = false;
    if (HWND layer = appGlobals().inkLayerWindow) {
        MSG msg;
        while (PeekMessageW(&msg, layer, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
        }
    }
    if (ring) ring->readIndex = ring->writeIndex;
}

void resetPenEventState(int startHold, int endHold) {
    g_pen.pointCount = 0;
    g_pen.drawnCount = 0;
    g_pen.holdCheckActive = true;
    g_pen.strokeInProgress = false;
    g_pen.liveInkOn = false;
    g_pen.waitTimeout = kInfinite;
    int interval = kInfinite;
    if (startHold > 0 && endHold > 0)
        interval = startHold < endHold ? startHold : endHold;
    else if (startHold > 0)
        interval = startHold;
    else if (endHold > 0)
        interval = endHold;
    g_pen.holdInterval = interval;
}

DWORD getLastPenWakeTick() { return g_pen.lastWakeTick; }

bool getPenMouseMode() { return g_pen.strokeInProgress; }

bool appendPenPoint(int x, int y) {
    if (!g_pen.buffer) return false;
    const InkPoint entry = makeInkPoint(x, y);
    const int count = g_pen.pointCount;
    if (count < kPenPointBufferSize) {
        if (count > 0) {
            const InkPoint previous = g_pen.buffer[count - 1];
            if (inkPointValue(previous) == inkPointValue(entry) && !isSeparator(previous))
                return false;
        }
        g_pen.buffer[count] = entry;
        g_pen.pointCount = count + 1;
        return true;
    }
    if (!isSeparator(entry)) return false;
    // Full: the separator closes the stroke in the last place, so that the
    // stroke is handed on and the next one finds room.
    g_pen.buffer[kPenPointBufferSize - 1] = entry;
    return true;
}

void processPenPoints(const InkPoint* entries, int n) {
    LocalInkManager* manager = getLocalInkManager();
    if (!manager || !g_pen.buffer) return;
    int countAtStart = g_pen.pointCount;
    for (int i = 0; i < n; ++i) {
        const InkPoint entry = entries[i];
        const ServiceState& service = serviceState();

        if (service.markupMode && g_pen.pointCount == 0 &&
            (GetAsyncKeyState(VK_RBUTTON) & 0x8000)) {
            g_pen.ignoreUntilSeparator = true;
            if (HWND window = getServiceWindow()) PostMessageW(window, WM_INK_MAIN_MENU, 1, 5);
            break;
        }
        if (isFinishMarker(entry)) {
            onFinishMarker(manager);
            countAtStart = 0;
            continue;
        }
        if (g_pen.ignoreUntilSeparator) {
            g_pen.holdCheckActive = false;
            g_pen.strokeInProgress = false;
            if (isSeparator(entry)) g_pen.ignoreUntilSeparator = false;
            continue;
        }
        if (isLiveInkMarker(entry)) {
            onLiveInkMarker();
            continue;
        }
        if (!g_pen.penMouseMode && startPenMouseMode(entry)) continue;
        if (g_pen.penMouseMode) {
            continuePenMouseMode(entry);
            continue;
        }
        if (!appendPenPoint(entry.x, static_cast<uint16_t>(entry.y))) continue;
        if (isSeparator(entry)) {
            g_pen.holdCheckActive = false;
            g_pen.strokeInProgress = false;
            const int count = g_pen.pointCount;
            handOver(manager, 0, count);
            const int drawn = g_pen.drawnCount;
            if (g_pen.liveInkOn && drawn != count) drawCollected(drawn, count, true);
            g_pen.pointCount = 0;
            g_pen.drawnCount = 0;
            countAtStart = 0;
        } else {
            g_pen.strokeInProgress = true;
        }
    }
    const int count = g_pen.pointCount;
    if (count > 0 && !manager->activeClientTakesInk()) handOver(manager, countAtStart, count);
    const int drawn = g_pen.drawnCount;
    if (g_pen.liveInkOn && count > 0 && drawn != count && drawCollected(drawn, count, false))
        g_pen.drawnCount = count;
}

int drainPenEventRing() {
    PenEventRing* ring = g_pen.ring;
    if (!ring) return 0;
    int processed = 0;
    InkPoint batch[PEN_EVENT_RING_SIZE];
    for (;;) {
        const LONG read = ring->readIndex;
        const LONG write = ring->writeIndex;
        if (read == write) break;
        if (read < 0 || read >= PEN_EVENT_RING_SIZE || write < 0 || write >= PEN_EVENT_RING_SIZE) {
            // Not a ring any more: start over at the writer.
            ring->readIndex = write >= 0 && write < PEN_EVENT_RING_SIZE ? write : 0;
            break;
        }
        MemoryBarrier();
        int n = 0;
        auto take = [&](LONG from, LONG to) {
            for (LONG i = from; i < to; ++i) {
                const int32_t value = ring->entries[i];
                std::memcpy(&batch[n++], &value, sizeof value);
            }
        };
        if (read < write) {
            take(read, write);
        } else {
            take(read, PEN_EVENT_RING_SIZE);
            if (write > 0) take(0, write);
        }
        processPenPoints(batch, n);
        processed += n;
        ring->readIndex = write;
    }
    return processed;
}

PenEventSnapshot penEventSnapshot() {
    return PenEventSnapshot{g_pen.pointCount,   g_pen.drawnCount,       g_pen.ignoreUntilSeparator,
                            g_pen.liveInkOn,    g_pen.strokeInProgress, g_pen.holdCheckActive,
                            g_pen.penMouseMode, g_pen.waitTimeout,      g_pen.holdInterval};
}

const InkPoint* penPointBuffer() { return g_pen.buffer; }

void setWaitNextStrokeTimeout(int milliseconds) {
    g_pen.waitNextStroke = clampedWaitNextStroke(milliseconds);
}

int waitNextStrokeTimeout() { return g_pen.waitNextStroke; }

void setPenThreadPriorities(int priorityInkCollector, int priorityRecFinal) {
    g_pen.priorityInkCollector = priorityInkCollector;
    g_pen.priorityRecFinal = priorityRecFinal;
}
