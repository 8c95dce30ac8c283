// The Tablet PC ink collector bridge over the stand-in collector: how it is
// set up, how its events reach the hook library's event ring (the stand-in
// Scribix35), the collector reset for off-screen packets, and closing on the
// collector's own thread.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "../shell/TestSupport.h"
#include "../support/TraceCapture.h"
#include "StandInScope.h"
#include "family/tabletpc/TabletStandIns.h"
#include "ink/InkCollectorBridge.h"
#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"

namespace {

using Entry = std::pair<int, int>;
const Entry kSeparator{30000, -1};

// A hidden pop-up standing for the ink layer, its client area at (100, 50).
HWND makeLayerWindow() {
    return CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 100, 50, 300, 200, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

// Ink-space packets of (x, y) pixel pairs, each padded to `size` values.
std::vector<LONG> packets(std::initializer_list<POINT> pixels, int size = 2) {
    std::vector<LONG> data;
    for (const POINT& p : pixels) {
        data.push_back(tabletpc::inkFromPixel(p.x));
        data.push_back(tabletpc::inkFromPixel(p.y));
        for (int i = 2; i < size; ++i) data.push_back(512 + i);  // pressure and the like
    }
    return data;
}

bool waitFor(const std::function<bool()>& done, DWORD ms = 5000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(5);
    }
    return true;
}

// COM and the stand-ins on the test thread, the hook library's ring empty,
// a virtual screen of 2560 x 1024 from (-1280, 0), and a layer window.
class Collector : public testing::Test {
  protected:
    void SetUp() override {
        standIns_ = std::make_unique<StandInScope>();
        ASSERT_EQ(hookLibrary().SetInitValues(), 1);
        ring_ = hookLibrary().getEventStack(0);
        ASSERT_NE(ring_, nullptr);
        AppGlobals& g = appGlobals();
        g.xVirtualScreen = -1280;
        g.yVirtualScreen = 0;
        g.cxVirtualScreen = 2560;
        g.cyVirtualScreen = 1024;
        generalSettings().multiMonitorInking = 1;
        layer_ = makeLayerWindow();
        ASSERT_NE(layer_, nullptr);
    }
    void TearDown() override {
        closePenEventsCollector();
        DestroyWindow(layer_);
        standIns_.reset();
        updateScreenMetrics();
    }

    // The ring's entries since the last call.
    std::vector<Entry> drain() {
        std::vector<Entry> entries;
        while (ring_->readIndex != ring_->writeIndex) {
            const int32_t e = ring_->entries[ring_->readIndex];
            entries.emplace_back(static_cast<int16_t>(e & 0xFFFF),
                                 static_cast<int16_t>((e >> 16) & 0xFFFF));
            ring_->readIndex = (ring_->readIndex + 1) % PEN_EVENT_RING_SIZE;
        }
        return entries;
    }

    int resetsPosted() {
        int n = 0;
        MSG msg;
        while (
            PeekMessageW(&msg, layer_, WM_INK_LAYER_COLLECTOR, WM_INK_LAYER_COLLECTOR, PM_REMOVE))
            ++n;
        return n;
    }

    sxtest::TestSettingsKey key_{L"tablet"};
    std::unique_ptr<StandInScope> standIns_;
    PenEventRing* ring_ = nullptr;
    HWND layer_ = nullptr;
};

TEST_F(Collector, AttachSetsUpTheCollectorForInkOnlyOnTheLayer) {
    ASSERT_TRUE(createPenEventsCollector(layer_));
    EXPECT_TRUE(isPenEventsCollectorActive());
    EXPECT_TRUE(isTabletCollectorRunning());
    const tabletpc::CollectorLog log = tabletpc::collectorLog();
    EXPECT_TRUE(log.sinkConnected);
    EXPECT_EQ(log.window, reinterpret_cast<LONG_PTR>(layer_));
    EXPECT_TRUE(log.enabled);
    EXPECT_EQ(log.interests, (std::vector<InkCollectorEventInterest>{ICEI_Stroke, ICEI_NewPackets,
                                                                     ICEI_DblClick}));
    EXPECT_EQ(log.collectionMode, ICM_InkOnly);
    EXPECT_EQ(log.mousePointer, IMP_Custom);
    EXPECT_FALSE(log.dynamicRendering);
    EXPECT_FALSE(log.autoRedraw);
    EXPECT_TRUE(log.allTabletsMode);
    EXPECT_EQ(log.marginX, 0);
    EXPECT_EQ(log.marginY, 0);

    closePenEventsCollector();
    EXPECT_FALSE(isPenEventsCollectorActive());
    const tabletpc::CollectorLog closed = tabletpc::collectorLog();
    EXPECT_FALSE(closed.sinkConnected);
    EXPECT_FALSE(closed.enabled);
    EXPECT_TRUE(closed.released) << "no reference of the program is left";
}

TEST_F(Collector, EveryPacketArrivesInQuarterPixelsOfTheVirtualScreen) {
    ASSERT_TRUE(createPenEventsCollector(layer_));
    drain();
    const struct {
        const char* what;
        std::vector<LONG> data;
        LONG count;
        std::vector<Entry> entries;
    } cases[] = {
        {"the origin of the virtual screen", packets({{0, 0}}), 1, {{-5120, 0}}},
        {"one packet", packets({{10, 20}}), 1, {{-5120 + 40, 80}}},
        // Each packet of an event carries its own point, not only the first.
        {"three packets of three values",
         packets({{10, 20}, {11, 22}, {13, 25}}, 3),
         3,
         {{-5080, 80}, {-5076, 88}, {-5068, 100}}},
        {"no packet", packets({{10, 20}}), 0, {}},
    };
    for (const auto& k : cases) {
        ASSERT_TRUE(tabletpc::fireNewPackets(k.data, k.count)) << k.what;
        EXPECT_EQ(drain(), k.entries) << k.what;
    }
    EXPECT_EQ(resetsPosted(), 0);
}

TEST_F(Collector, WithoutMultiMonitorInkingTheOriginIsTheLayersClientArea) {
    generalSettings().multiMonitorInking = 0;
    ASSERT_TRUE(createPenEventsCollector(layer_));
    drain();
    POINT client{0, 0};
    ClientToScreen(layer_, &client);
    ASSERT_TRUE(tabletpc::fireNewPackets(packets({{1, 2}}), 1));
    EXPECT_EQ(drain(), (std::vector<Entry>{{4 * client.x + 4, 4 * client.y + 8}}));
}

TEST_F(Collector, AnOffScreenPacketResetsTheCollectorAndStopsTheEvent) {
    ASSERT_TRUE(createPenEventsCollector(layer_));
    const POINT outside[] = {{-1, 5}, {5, -1}, {2560 + 1, 5}, {5, 1024 + 1}};
    for (const POINT& p : outside) {
        drain();
        TraceCapture traces;
        ASSERT_TRUE(tabletpc::fireNewPackets(packets({{7, 8}, p, {9, 9}}), 3));
        EXPECT_EQ(drain(), (std::vector<Entry>{{-5120 + 28, 32}}))
            << "the packets after (" << p.x << ", " << p.y << ") are dropped";
        EXPECT_TRUE(traces.contains("-----COLLECTOR_RESET!!!!!!!!!!!!!!!!!!!!!"));
        EXPECT_EQ(resetsPosted(), 1) << "3066 to the layer for (" << p.x << ", " << p.y << ")";
    }
    // A packet at exactly the screen's width and height is not beyond it.
    drain();
    ASSERT_TRUE(tabletpc::fireNewPackets(packets({{2560, 1024}}), 1));
    EXPECT_EQ(drain(), (std::vector<Entry>{{-5120 + 4 * 2560, 4 * 1024}}));
    EXPECT_EQ(resetsPosted(), 0);
}

TEST_F(Collector, StrokesAndButtonReleasesCloseTheStroke) {
    ASSERT_TRUE(createPenEventsCollector(layer_));
    drain();
    VARIANT_BOOL cancel = VARIANT_FALSE;
    ASSERT_TRUE(tabletpc::fireStroke(&cancel));
    EXPECT_EQ(cancel, VARIANT_TRUE) << "the collector keeps no ink of its own";
    EXPECT_EQ(drain(), (std::vector<Entry>{kSeparator})) << "exactly one separator";
    ASSERT_TRUE(tabletpc::fireCursorButtonUp());
    EXPECT_EQ(drain(), (std::vector<Entry>{kSeparator}));
    ASSERT_TRUE(tabletpc::fireCursorDown());
    EXPECT_TRUE(drain().empty()) << "a cursor down does nothing";
}

TEST_F(Collector, AFailedAttachLeavesNoCollector) {
    const struct {
        const char* step;
        bool classMissing;
    } cases[] = {{"put_hWnd", false}, {"Advise", false}, {"", true}};
    for (const auto& k : cases) {
        tabletpc::failCollectorStep(k.step);
        tabletpc::failCreation(kClsidInkCollector, k.classMissing);
        EXPECT_FALSE(createPenEventsCollector(layer_)) << k.step;
        EXPECT_FALSE(isPenEventsCollectorActive()) << k.step;
        if (!k.classMissing) {
            EXPECT_TRUE(tabletpc::collectorLog().released) << k.step;
        }
    }
    tabletpc::failCollectorStep("");
    tabletpc::failCreation(kClsidInkCollector, false);
    EXPECT_TRUE(createPenEventsCollector(layer_));
}

TEST_F(Collector, ANewCollectorReplacesTheCurrentOne) {
    ASSERT_TRUE(createPenEventsCollector(layer_));
    ASSERT_TRUE(createPenEventsCollector(layer_));
    EXPECT_TRUE(isPenEventsCollectorActive());
    EXPECT_TRUE(tabletpc::collectorLog().sinkConnected) << "the new one is connected";
    drain();
    ASSERT_TRUE(tabletpc::fireCursorButtonUp());
    EXPECT_EQ(drain(), (std::vector<Entry>{kSeparator})) << "one sink, one separator";
}

// The collector is closed where it was made: a close asked on another thread
// releases it on its own thread, and each thread's COM stays as it was.
TEST_F(Collector, AnotherThreadsCloseRunsOnTheCollectorsThread) {
    std::atomic<DWORD> ownerThread{0};
    std::atomic<bool> made{false};
    std::atomic<bool> stop{false};
    HRESULT ownerComAfterClose = E_FAIL;
    std::thread owner([&] {
        ownerThread = GetCurrentThreadId();
        // The thread's own COM for the stand-ins' registration; the
        // collector enters it once more.
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        HWND layer = makeLayerWindow();
        {
            tabletpc::StandInRegistration registration;
            made = registration.ok() && createPenEventsCollector(layer);
            MSG msg;
            while (!stop) {
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
                Sleep(2);
            }
        }
        DestroyWindow(layer);
        CoUninitialize();
        // When the collector left COM here as often as it entered it, the
        // thread is out of COM now and may enter another apartment.
        ownerComAfterClose = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(ownerComAfterClose)) CoUninitialize();
    });
    ASSERT_TRUE(waitFor([&] { return made.load(); })) << "the collector was made on its thread";

    closePenEventsCollector();  // on the test thread
    EXPECT_FALSE(isPenEventsCollectorActive());
    EXPECT_TRUE(waitFor([] { return tabletpc::collectorLog().released; }));
    stop = true;
    owner.join();

    const tabletpc::CollectorLog log = tabletpc::collectorLog();
    EXPECT_EQ(log.madeOnThread, ownerThread.load());
    EXPECT_EQ(log.disconnectedOnThread, ownerThread.load());
    EXPECT_EQ(log.disabledOnThread, ownerThread.load());
    EXPECT_EQ(log.releasedOnThread, ownerThread.load());
    EXPECT_EQ(ownerComAfterClose, S_OK) << "the collector's COM was left on its own thread";
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE)
        << "the test thread's COM is untouched";
}

// A collector whose Release faults inside the platform's code is closed all
// the same: the fault is traced, the program goes on and can make another.
TEST_F(Collector, ACloseWhoseReleaseFaultsLeavesNoCollectorAndTheProgramGoesOn) {
    ASSERT_TRUE(createPenEventsCollector(layer_));
    TraceCapture traces;
    tabletpc::faultOnRelease(__uuidof(IInkCollector), true);
    closePenEventsCollector();
    tabletpc::releaseFaultedObjects();
    EXPECT_FALSE(isPenEventsCollectorActive());
    EXPECT_TRUE(traces.contains("closePenEventsCollector: exception")) << traces.text();
    EXPECT_TRUE(tabletpc::collectorLog().disabledOnThread != 0)
        << "the steps before the faulting release ran";

    ASSERT_TRUE(createPenEventsCollector(layer_)) << "a new collector after the fault";
    drain();
    ASSERT_TRUE(tabletpc::fireCursorButtonUp());
    EXPECT_EQ(drain(), (std::vector<Entry>{kSeparator}));
}

TEST_F(Collector, TheShellClosesThroughTheBridge) {
    ASSERT_TRUE(createTabletCollector(layer_));
    EXPECT_TRUE(isTabletCollectorRunning());
    closeTabletCollector();
    EXPECT_FALSE(isTabletCollectorRunning());
    EXPECT_TRUE(tabletpc::collectorLog().released);
}

}  // namespace
