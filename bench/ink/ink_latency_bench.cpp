// Under Wine: the time from a pen point entering the hook library's ring to
// its segment being in the ink layer's bitmap, through the real pen-event
// thread (woken by the queue event), the ink manager, the smoother and the
// anti-aliased pens drawing into the shown layer window. Each sample writes
// one point of a handwriting-like stroke and waits until the thread reports
// it drawn; the figure is the median. The reference beside it is one segment
// drawn straight into the layer's device context by the drawing context.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "harness.h"
#include "ink/LocalClient.h"
#include "ink/PenEventThread.h"
#include "ink/TransparentLayer.h"
#include "ink/aadraw/AaDraw.h"
#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "ink/LocalInkManager.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"

namespace {

constexpr wchar_t kBenchKey[] = L"Software\\Zorvane\\ScribixBench";
constexpr COLORREF kPenColour = RGB(30, 20, 200);

// The ring and the queue event, as the hook library keeps them.
class RingLibrary : public HookLibrary {
  public:
    RingLibrary() : event_(CreateEventW(nullptr, TRUE, FALSE, L"InkDriverQueueEvent")) {}
    ~RingLibrary() override { CloseHandle(event_); }
    PenEventRing* getEventStack(int) override { return &ring_; }
    int setInkDriverParams(int, int, int, int, int, int, int, int) override { return 1; }

    void push(InkPoint point) {
        const LONG write = ring_.writeIndex;
        std::memcpy(&ring_.entries[write], &point, sizeof point);
        MemoryBarrier();
        ring_.writeIndex = (write + 1) % PEN_EVENT_RING_SIZE;
        SetEvent(event_);
    }

  private:
    PenEventRing ring_ = {};
    HANDLE event_;
};

// A writer that lets every stroke go.
class Writer : public LocalClient {
  public:
    Writer() : LocalClient(&recordOf()) {}

  private:
    static const LocalClientRecord& recordOf() {
        static LocalClientRecord r = [] {
            LocalClientRecord record;
            std::memset(&record, 0, sizeof record);
            lstrcpyW(record.name, L"bench writer");
            record.enabled = record.registrable = 1;
            record.penType = 2;
            record.penWidth = 3;
            record.penColor = kPenColour;
            return record;
        }();
        return r;
    }
};

// The pixel of sample i on a loopy curve, a few pixels apart.
POINT curve(int i) {
    return POINT{static_cast<LONG>(400 + 250 * std::sin(0.011 * i) + 10 * std::sin(0.17 * i)),
                 static_cast<LONG>(350 + 150 * std::sin(0.007 * i) + 10 * std::cos(0.17 * i))};
}

InkPoint quarter(POINT p) { return makeInkPoint(4 * p.x, 4 * p.y); }

bool waitDrawn(int count) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (penEventSnapshot().drawnCount < count)
        if (std::chrono::steady_clock::now() > limit) return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bench::Harness h(argc, argv);
    RegDeleteTreeW(HKEY_CURRENT_USER, kBenchKey);
    setSettingsRootKey(kBenchKey);
    RingLibrary library;
    setHookLibrary(&library);
    updateScreenMetrics();
    AppGlobals& g = appGlobals();
    g.instance = GetModuleHandleW(nullptr);

    WNDCLASSW wc = {};
    wc.lpfnWndProc = TransparentLayerWndProc;
    wc.hInstance = g.instance;
    wc.lpszClassName = INK_LAYER_WINDOW_CLASS;
    RegisterClassW(&wc);
    g.inkLayerWindow = createInkLayerWindow(g.instance);
    auto* manager = new LocalInkManager;
    g.inkManager = manager;
    auto* writer = new Writer;
    manager->registerClient(writer);
    SendMessageW(g.inkLayerWindow, WM_INK_LAYER_SHOW, 0, 0);
    if (!IsWindowVisible(g.inkLayerWindow) || !startPenEventThread()) {
        std::printf("the ink layer or the pen-event thread did not start\n");
        return 1;
    }

    // The pen-down, the first point and the live-ink marker.
    manager->activateClient(writer, nullptr, 0, 0);
    manager->beginActiveInk();
    library.push(quarter(curve(0)));
    library.push(kInkLiveInkMarker);
    std::vector<double> samples;
    bool ok = waitDrawn(1);
    const int points = h.quick() ? 30 : 3000;
    int collected = 1;
    for (int i = 1; ok && i < points; ++i) {
        // A point on the same pixel as the last one is not collected again.
        if (inkPointValue(quarter(curve(i))) == inkPointValue(quarter(curve(i - 1)))) continue;
        const auto start = std::chrono::steady_clock::now();
        library.push(quarter(curve(i)));
        ok = waitDrawn(++collected);
        samples.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    if (!ok) std::printf("a point was not drawn within 2 s\n");
    library.push(kInkSeparator);
    stopPenEventThread();

    // The reference: one segment straight into the layer's device context.
    HDC dc = GetDC(g.inkLayerWindow);
    aadraw::DrawContext* direct = aadraw::create(dc);
    aadraw::setWidth(direct, 3);
    aadraw::setColour(direct, kPenColour);
    int segment = 0;
    aadraw::moveTo(direct, 100, 700);
    h.add(
        "aadraw lineTo into the layer's device context",
        [&] {
            const POINT p = curve(segment++ % 2000);
            aadraw::lineTo(direct, static_cast<float>(p.x), static_cast<float>(p.y + 300));
        },
        "segment");
    std::sort(samples.begin(), samples.end());
    if (!samples.empty()) {
        h.addMeasured("point in the ring to its segment in the layer", samples[samples.size() / 2],
                      "point");
        h.addMeasured("  the same, 90th percentile", samples[samples.size() * 9 / 10], "point");
    }
    h.run();
    std::printf("(latency over %zu points of one stroke through the pen-event thread)\n",
                samples.size());
    aadraw::destroy(direct);
    ReleaseDC(g.inkLayerWindow, dc);

    g.inkManager = nullptr;
    delete manager;
    DestroyWindow(g.inkLayerWindow);
    g.inkLayerWindow = nullptr;
    setHookLibrary(nullptr);
    setSettingsRootKey(nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, kBenchKey);
    return ok ? 0 : 1;
}
