// The bar framework: unit state bits and their notifications, the bar
// window's messages (posted records, coalescing, hit tests), presses,
// releases, picks and drags, pen taps, and the modal run.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>
#include <vector>

#include "core/AppGlobals.h"
#include "core/MemoryBlocks.h"
#include "ui/bars/BarFramework.h"

namespace {

void registerBarClass() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MenuBarWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = BAR_WINDOW_CLASS;
    RegisterClassW(&wc);
}

void pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

struct Call {
    UINT code;
    LPARAM a;
    LPARAM b;
};

// A bitmap master over a plain window of the bar class, with rectangle units,
// that records what reaches onMessage.
class RecordingMaster : public BarBitmapMaster {
  public:
    RecordingMaster() : BarBitmapMaster(nullptr, 0, nullptr, nullptr, nullptr, L"test bar") {
        setKept(true);
    }
    void buildUnits() override { ++builds; }
    LRESULT onMessage(UINT code, LPARAM a, LPARAM b) override {
        calls.push_back({code, a, b});
        return BarBitmapMaster::onMessage(code, a, b);
    }
    std::vector<UINT> codes() const {
        std::vector<UINT> out;
        for (const Call& c : calls) out.push_back(c.code);
        return out;
    }
    int count(UINT code) const {
        int n = 0;
        for (const Call& c : calls) n += c.code == code;
        return n;
    }
    using BarMaster::detachWindow;
    std::vector<Call> calls;
    int builds = 0;
};

class BarFramework : public testing::Test {
  protected:
    void SetUp() override {
        appGlobals().instance = GetModuleHandleW(nullptr);
        registerBarClass();
        master_ = new RecordingMaster;
        ASSERT_NE(master_->window(), nullptr);
        MoveWindow(master_->window(), 100, 100, 200, 50, FALSE);
        pump();
        master_->calls.clear();
    }
    void TearDown() override {
        HWND w = master_->window();
        delete master_;
        if (w && IsWindow(w)) DestroyWindow(w);
        pump();
    }
    BarRectUnit* addRect(UINT id, unsigned behaviour, RECT r) {
        return static_cast<BarRectUnit*>(
            master_->addUnit(new BarRectUnit(master_, id, behaviour, L"tip", r)));
    }
    RecordingMaster* master_ = nullptr;
};

TEST_F(BarFramework, FirstShowPostedByTheConstructorBuildsTheUnits) {
    RecordingMaster* other = new RecordingMaster;
    EXPECT_EQ(other->builds, 0);
    pump();
    EXPECT_EQ(other->builds, 1);
    HWND w = other->window();
    delete other;
    pump();
    EXPECT_FALSE(IsWindow(w));
}

// setState stores only the bits the behaviour tracks and reports each change
// as 2k+1 (now set) or 2k+2 (now clear), in ascending bit order.
TEST_F(BarFramework, StateChangesAreStoredAndReportedOnlyForTrackedBits) {
    struct Case {
        const char* name;
        unsigned tracked;
        unsigned from;
        unsigned to;
        unsigned stored;
        std::vector<LPARAM> reports;
    };
    const Case cases[] = {
        {"select tracked", 0x3F, 0x4, 0x5, 0x5, {1}},
        {"hover and pressed on", 0x3F, 0x4, 0x4 | 0x2 | 0x8, 0xE, {3, 7}},
        {"disable and hide", 0x3F, 0x4, 0x10, 0x10, {6, 9}},
        {"sixth bit", 0x3F, 0x4, 0x24, 0x24, {11}},
        {"untracked select ignored", 0x0E, 0x4, 0x5, 0x4, {}},
        // A change of a tracked and an untracked bit together keeps the
        // untracked one as it was.
        {"mixed change keeps untracked bit", 0x02, 0x4, 0x4 | 0x1 | 0x2, 0x6, {3}},
        {"clearing untracked enabled ignored", 0x02, 0x4, 0x2, 0x6, {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BarRectUnit unit(master_, 7, c.tracked, nullptr, RECT{0, 0, 10, 10});
        unit.setState(c.from, true);  // the starting state (tracked bits only)
        master_->calls.clear();
        unit.setState(c.to, false);
        EXPECT_EQ(unit.state(), c.stored);
        std::vector<LPARAM> reports;
        for (const Call& call : master_->calls) {
            ASSERT_EQ(call.code, BAR_UNIT_STATE);
            EXPECT_EQ(call.b, reinterpret_cast<LPARAM>(&unit));
            reports.push_back(call.a);
        }
        EXPECT_EQ(reports, c.reports);
    }
}

TEST_F(BarFramework, SilentStateChangeReportsNothing) {
    BarRectUnit unit(master_, 1, 0xFF, nullptr, RECT{0, 0, 10, 10});
    unit.setStateBits(UNIT_SELECTED, true, true);
    EXPECT_EQ(unit.state(), 0x5u);
    EXPECT_TRUE(master_->calls.empty());
}

TEST_F(BarFramework, PostedRecordsReachTheMasterAndTheUnits) {
    master_->postMsgToMaster(616, 11, 22);
    pump();
    ASSERT_EQ(master_->count(616), 1);
    EXPECT_EQ(master_->calls.back().a, 11);
    EXPECT_EQ(master_->calls.back().b, 22);

    BarRectUnit* a = addRect(1, 0xFF, {0, 0, 50, 50});
    BarRectUnit* b = addRect(2, 0xFF, {50, 0, 100, 50});
    // 601 to unit 2 only: only b hovers.
    master_->postMsgToUnits(BAR_MOVE, 2, 0, packPoint(60, 10));
    pump();
    EXPECT_FALSE(a->state() & UNIT_HOVER);
    EXPECT_TRUE(b->state() & UNIT_HOVER);
}

TEST_F(BarFramework, ThreeCoalescedMessagesGiveOne615) {
    for (int i = 0; i < 3; ++i) PostMessageW(master_->window(), WM_BAR_COALESCED, 0, 0);
    pump();
    EXPECT_EQ(master_->count(BAR_COALESCED), 1);
}

TEST_F(BarFramework, HitTestAnswersCaptionOverADragHandleOnly) {
    addRect(1, 0xFF | UNIT_DRAG_HANDLE, {0, 0, 20, 50});
    addRect(2, 0xFF, {20, 0, 200, 50});
    RECT r;
    GetWindowRect(master_->window(), &r);
    struct Case {
        int x;
        LRESULT expected;
    } cases[] = {{5, HTCAPTION}, {100, HTCLIENT}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(
            SendMessageW(master_->window(), WM_NCHITTEST, 0, MAKELPARAM(r.left + c.x, r.top + 10)),
            c.expected);
    }
}

TEST_F(BarFramework, PressAndReleaseOnAUnitTogglesItAndPostsItsPick) {
    BarRectUnit* unit = addRect(9, 0xFF | UNIT_REPORTS_PICK, {0, 0, 50, 50});
    SendMessageW(master_->window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_TRUE(unit->state() & UNIT_PRESSED);
    EXPECT_TRUE(master_->pressed());
    SendMessageW(master_->window(), WM_LBUTTONUP, 0, MAKELPARAM(12, 12));
    EXPECT_FALSE(unit->state() & UNIT_PRESSED);
    EXPECT_TRUE(unit->state() & UNIT_SELECTED);
    pump();
    ASSERT_EQ(master_->count(BAR_UNIT_PICKED), 1);
    for (const Call& c : master_->calls) {
        if (c.code == BAR_UNIT_PICKED) {
            EXPECT_EQ(c.a, 9);
        }
    }
}

TEST_F(BarFramework, ReleaseOffTheUnitOrOnADisabledUnitPicksNothing) {
    BarRectUnit* unit = addRect(9, 0xFF | UNIT_REPORTS_PICK, {0, 0, 50, 50});
    SendMessageW(master_->window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(master_->window(), WM_LBUTTONUP, 0, MAKELPARAM(150, 10));
    EXPECT_FALSE(unit->state() & UNIT_SELECTED);

    unit->setStateBits(UNIT_ENABLED, false, true);
    SendMessageW(master_->window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(master_->window(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_FALSE(unit->state() & (UNIT_SELECTED | UNIT_PRESSED));
    pump();
    EXPECT_EQ(master_->count(BAR_UNIT_PICKED), 0);
}

TEST_F(BarFramework, DragHandleDragsTheBarAndAReleaseAnywhereEndsIt) {
    addRect(1, 0xFF | UNIT_DRAG_HANDLE, {0, 0, 20, 50});
    SendMessageW(master_->window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ASSERT_TRUE(master_->dragging());
    EXPECT_EQ(master_->record().inkMode, 2);
    master_->dragTo(35, 25);
    RECT r;
    GetWindowRect(master_->window(), &r);
    EXPECT_EQ(r.left, 130);
    EXPECT_EQ(r.top, 120);
    EXPECT_EQ(master_->position().x, 130);
    SendMessageW(master_->window(), WM_LBUTTONUP, 0, MAKELPARAM(-300, 900));
    EXPECT_FALSE(master_->dragging());
    EXPECT_EQ(master_->record().inkMode, 1);
}

TEST_F(BarFramework, MouseMovesOfFourPixelsOrLessAreDropped) {
    SendMessageW(master_->window(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    SendMessageW(master_->window(), WM_MOUSEMOVE, 0, MAKELPARAM(12, 12));  // 4: dropped
    SendMessageW(master_->window(), WM_MOUSEMOVE, 0, MAKELPARAM(13, 12));  // 5 from (10,10)
    EXPECT_EQ(master_->count(BAR_MOVE), 2);
}

// The tip timer watches the pointer: over the bar the hover stays; once the
// pointer is elsewhere the timer finds that it left and clears every hover.
TEST_F(BarFramework, HoverMarksTheUnitUnderThePointAndLeavingClearsIt) {
    BarRectUnit* a = addRect(1, 0xFF, {0, 0, 50, 50});
    BarRectUnit* b = addRect(2, 0xFF, {50, 0, 100, 50});
    ShowWindow(master_->window(), SW_SHOWNOACTIVATE);
    pump();
    ASSERT_TRUE(SetCursorPos(110, 110));  // over unit a
    master_->onMessage(BAR_MOVE, 0, packPoint(10, 10));
    EXPECT_TRUE(a->state() & UNIT_HOVER);
    EXPECT_FALSE(b->state() & UNIT_HOVER);
    SendMessageW(master_->window(), WM_TIMER, 1, 0);
    EXPECT_TRUE(a->state() & UNIT_HOVER) << "the pointer is still over the bar";
    EXPECT_NE(master_->hoverPoint().x, -1);

    ASSERT_TRUE(SetCursorPos(5, 5));  // off the bar
    SendMessageW(master_->window(), WM_TIMER, 1, 0);
    EXPECT_FALSE(a->state() & UNIT_HOVER) << "leaving the bar did not clear the hover";
    EXPECT_EQ(master_->hoverPoint().x, -1);
}

// Only records this process made for a bar reach it: a number that some other
// program posts in their place is ignored, and is never freed.
TEST_F(BarFramework, ForgedRecordsAreIgnored) {
    for (UINT message : {UINT(WM_BAR_MSG_TO_MASTER), UINT(WM_BAR_MSG_TO_UNITS)}) {
        SCOPED_TRACE(message);
        master_->calls.clear();
        // Not registered as posted: as good as any address another process names.
        MsgToMaster* forged = new MsgToMaster(616, 1, 2);
        PostMessageW(master_->window(), message, 0, reinterpret_cast<LPARAM>(forged));
        PostMessageW(master_->window(), message, 0, static_cast<LPARAM>(0x12345678));
        pump();
        EXPECT_EQ(master_->count(616), 0) << "a forged record reached the master";
        if (master_->count(616) == 0) delete forged;  // still ours
    }
    // The bar's own records still arrive.
    master_->postMsgToMaster(616, 3, 4);
    pump();
    EXPECT_EQ(master_->count(616), 1);
}

// The window's device context is given back as the window goes, whichever way.
TEST_F(BarFramework, TheWindowContextIsGivenBackWhenTheWindowGoes) {
    const struct Way {
        const char* name;
        void (*end)(RecordingMaster*);
    } ways[] = {
        {"closing", [](RecordingMaster* m) { m->close(false); }},  // kept: the master stays
        {"destroying the window", [](RecordingMaster* m) { DestroyWindow(m->window()); }},
        {"detaching the window", [](RecordingMaster* m) { m->detachWindow(); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        RecordingMaster* master = new RecordingMaster;
        pump();
        ASSERT_NE(master->windowDC(), nullptr);
        way.end(master);
        EXPECT_EQ(master->windowDC(), nullptr) << "the window's context was kept";
        delete master;
        pump();
    }
}

// A unit that notes the thread it is repainted on.
class ThreadNotingUnit : public BarRectUnit {
  public:
    ThreadNotingUnit(BarMaster* master, const RECT& r) : BarRectUnit(master, 5, 0xFF, nullptr, r) {}
    void repaint() override {
        repaintThread = GetCurrentThreadId();
        BarRectUnit::repaint();
    }
    DWORD repaintThread = 0;
};

// An ink manager event that reaches a bar on another thread (a pen change
// while the recognition thread delivers) is handled on the bar's own thread.
TEST_F(BarFramework, EventsFromAnotherThreadAreHandledOnTheBarsThread) {
    auto* unit = static_cast<ThreadNotingUnit*>(
        master_->addUnit(new ThreadNotingUnit(master_, RECT{0, 0, 50, 50})));
    std::thread([this] { master_->onNotify(3, 0); }).join();
    EXPECT_EQ(unit->repaintThread, 0u) << "the unit was repainted on the other thread";
    pump();
    EXPECT_EQ(unit->repaintThread, GetCurrentThreadId());
}

// The record a bar master starts with: enabled, registered first, its area a
// window, no ink parameters (no click passes, no hold test), ink mode 1.
TEST_F(BarFramework, TheBarsClientRecord) {
    const LocalClientRecord& r = master_->record();
    EXPECT_EQ(r.enabled, 1);
    EXPECT_EQ(r.registrable, 1);
    EXPECT_EQ(r.flags, 11);
    EXPECT_EQ(r.inkParam1, 0);
    EXPECT_EQ(r.inkParam2, 0);
    EXPECT_EQ(r.inkParam3, 0);
    EXPECT_EQ(r.inkMode, 1);
}

// A tap of the pen (bounding box under 10 x 10) on a bitmap master becomes a
// press and a release at its first point; a longer stroke does not.
TEST_F(BarFramework, PenTapBecomesPressAndRelease) {
    addRect(1, 0xFF, {0, 0, 50, 50});
    struct Case {
        const char* name;
        std::vector<POINT> pixels;
        int presses;
    } cases[] = {
        {"tap", {{110, 110}, {112, 113}, {115, 118}}, 1},
        {"stroke", {{110, 110}, {140, 112}}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        master_->calls.clear();
        const int n = static_cast<int>(c.pixels.size()) + 1;
        InkPoint* points = static_cast<InkPoint*>(allocMemory(n * sizeof(InkPoint)));
        for (size_t i = 0; i < c.pixels.size(); ++i)
            points[i] = makeInkPoint(c.pixels[i].x * 4, c.pixels[i].y * 4);
        points[n - 1] = kInkSeparator;
        EXPECT_EQ(master_->onStrokes(points, n), 1);
        pump();
        EXPECT_EQ(master_->count(BAR_PRESS), c.presses);
        EXPECT_EQ(master_->count(BAR_RELEASE), c.presses);
        if (c.presses) {
            for (const Call& call : master_->calls)
                if (call.code == BAR_PRESS) {
                    const POINT p = unpackPoint(call.b);
                    EXPECT_EQ(p.x, 10);
                    EXPECT_EQ(p.y, 10);
                }
        }
    }
}

// A six-layer master without a face: its pen strokes arrive in live chunks.
class RecordingSmartMaster : public BarSmartBitmapMaster {
  public:
    RecordingSmartMaster()
        : BarSmartBitmapMaster(nullptr, 0, nullptr, nullptr, nullptr, L"smart bar") {
        setKept(true);
    }
    void buildUnits() override {}
    LRESULT onMessage(UINT code, LPARAM a, LPARAM b) override {
        codes.push_back(code);
        return BarSmartBitmapMaster::onMessage(code, a, b);
    }
    int count(UINT code) const {
        int n = 0;
        for (UINT c : codes) n += c == code;
        return n;
    }
    std::vector<UINT> codes;
};

// A chunk of pen points (screen pixels), ended by a pen-up when `up`.
int giveChunk(BarMaster* master, std::vector<POINT> pixels, bool up) {
    const int n = static_cast<int>(pixels.size()) + (up ? 1 : 0);
    InkPoint* points = static_cast<InkPoint*>(allocMemory(n * sizeof(InkPoint)));
    for (size_t i = 0; i < pixels.size(); ++i)
        points[i] = makeInkPoint(pixels[i].x * 4, pixels[i].y * 4);
    if (up) points[n - 1] = kInkSeparator;
    return master->onStrokes(points, n);
}

// The pen drags a bar by its handle: steps that wait in the queue do not add
// up (the bar ends where the pen is), and the first tap after the drag is a
// press again.
TEST(BarPenDrag, QueuedStepsDoNotOvershootAndTheNextTapPresses) {
    appGlobals().instance = GetModuleHandleW(nullptr);
    registerBarClass();
    auto* bar = new RecordingSmartMaster;
    HWND w = bar->window();
    ASSERT_NE(w, nullptr);
    MoveWindow(w, 100, 100, 200, 50, FALSE);
    pump();
    bar->addUnit(new BarRectUnit(bar, 1, 0xFF | UNIT_DRAG_HANDLE, nullptr, RECT{0, 0, 20, 50}));
    bar->addUnit(new BarRectUnit(bar, 2, 0xFF | UNIT_REPORTS_PICK, nullptr, RECT{20, 0, 200, 50}));

    giveChunk(bar, {{105, 110}}, false);  // the pen lands on the handle
    pump();
    ASSERT_TRUE(bar->dragging());
    // Two steps queue up before the bar's thread comes to them.
    giveChunk(bar, {{120, 120}, {135, 130}}, false);
    giveChunk(bar, {{150, 140}, {165, 150}}, false);
    pump();
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 160) << "the grip is 5 pixels right of the bar's edge";
    EXPECT_EQ(r.top, 140);
    giveChunk(bar, {{165, 150}}, true);
    pump();
    EXPECT_FALSE(bar->dragging());

    // A tap on the second unit: press, release and its pick.
    bar->codes.clear();
    GetWindowRect(w, &r);
    giveChunk(bar, {{r.left + 100, r.top + 20}, {r.left + 101, r.top + 21}}, true);
    pump();
    EXPECT_EQ(bar->count(BAR_PRESS), 1) << "the tap after the drag was not a press";
    EXPECT_EQ(bar->count(BAR_RELEASE), 1);
    EXPECT_EQ(bar->count(BAR_UNIT_PICKED), 1);
    delete bar;
    if (IsWindow(w)) DestroyWindow(w);
    pump();
}

// A master that tells when it is deleted.
class DeletionWatch : public BarBitmapMaster {
  public:
    explicit DeletionWatch(bool* deleted)
        : BarBitmapMaster(nullptr, 0, nullptr, nullptr, nullptr, L""), deleted_(deleted) {}
    ~DeletionWatch() override { *deleted_ = true; }
    void buildUnits() override {}

  private:
    bool* deleted_;
};

// A new result announced on another thread closes a normal bar on the bar's
// own thread: it is not deleted while that thread may still be using it.
TEST(BarClosing, ANewResultFromAnotherThreadClosesTheBarOnItsOwnThread) {
    appGlobals().instance = GetModuleHandleW(nullptr);
    registerBarClass();
    bool deleted = false;
    DeletionWatch* bar = new DeletionWatch(&deleted);
    HWND window = bar->window();
    pump();
    std::thread([bar] { bar->onNotify(6, 0); }).join();
    EXPECT_FALSE(deleted);
    EXPECT_TRUE(IsWindow(window));
    pump();
    EXPECT_TRUE(deleted);
    pump();
    EXPECT_FALSE(IsWindow(window));
}

TEST(BarClosing, AStickyBarStaysOpenOnANewResult) {
    appGlobals().instance = GetModuleHandleW(nullptr);
    registerBarClass();
    bool deleted = false;
    DeletionWatch* bar = new DeletionWatch(&deleted);
    bar->setSticky(true);
    bar->onNotify(6, 0);
    pump();
    EXPECT_FALSE(deleted);
    HWND window = bar->window();
    bar->close(true);
    EXPECT_TRUE(deleted);
    pump();
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(BarFramework, DelayedRecordArrivesAfterItsDelay) {
    const DWORD start = GetTickCount();
    BarMaster::postMsgToMasterDelayed(master_->window(), 616, 5, 6, 120);
    while (master_->count(616) == 0 && GetTickCount() - start < 3000) {
        pump();
        Sleep(5);
    }
    EXPECT_EQ(master_->count(616), 1);
    EXPECT_GE(GetTickCount() - start, 110u);
}

struct Probe {
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        probeDuring = openModalBarCount();
        PostMessageW(probeBar, WM_CLOSE, 0, 0);
    }
    static HWND probeBar;
    static LONG probeDuring;
};
HWND Probe::probeBar = nullptr;
LONG Probe::probeDuring = -1;

// The modal run: a press on another window closes a normal bar; a sticky bar
// stays open; a WM_QUIT ends the run and is posted again for the thread's loop.
TEST(BarModalRun, PressElsewhereClosesANormalBarButNotAStickyOne) {
    appGlobals().instance = GetModuleHandleW(nullptr);
    registerBarClass();
    for (bool sticky : {false, true}) {
        SCOPED_TRACE(sticky ? "sticky" : "normal");
        RecordingMaster* bar = new RecordingMaster;
        bar->setKept(true);
        bar->setSticky(sticky);
        HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP, 0, 0, 10, 10, nullptr,
                                     nullptr, nullptr, nullptr);
        HWND barWindow = bar->window();
        PostMessageW(other, WM_LBUTTONDOWN, 0, 0);
        // Something must end a sticky run: the bar's own close, a little later.
        LONG during = -1;
        Probe::probeBar = barWindow;
        Probe::probeDuring = -1;
        UINT_PTR timer = SetTimer(nullptr, 0, sticky ? 300 : 2000, Probe::onTimer);
        const DWORD start = GetTickCount();
        bar->runModal(0);
        const DWORD took = GetTickCount() - start;
        KillTimer(nullptr, timer);
        during = Probe::probeDuring;
        EXPECT_EQ(openModalBarCount(), 0);
        if (sticky) {
            EXPECT_GE(took, 250u);  // the press did not end it
            EXPECT_EQ(during, 1);
        } else {
            EXPECT_LT(took, 1500u);
        }
        EXPECT_FALSE(IsWindow(barWindow));
        DestroyWindow(other);
        delete bar;
        pump();
    }
}

TEST(BarModalRun, QuitDuringTheRunIsPostedAgain) {
    appGlobals().instance = GetModuleHandleW(nullptr);
    registerBarClass();
    RecordingMaster* bar = new RecordingMaster;
    PostQuitMessage(42);
    bar->runModal(0);
    EXPECT_EQ(openModalBarCount(), 0);
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(m.wParam, 42u);
    HWND w = bar->window();
    delete bar;
    if (IsWindow(w)) DestroyWindow(w);
    pump();
}

TEST(BarMasterRegistry, PostsToTheRegisteredMasterOnly) {
    appGlobals().instance = GetModuleHandleW(nullptr);
    registerBarClass();
    RecordingMaster* bar = new RecordingMaster;
    pump();
    bar->calls.clear();
    EXPECT_FALSE(isBarMasterRegistered());
    postToBarMaster(0x282, 1, 2);
    registerBarMaster(bar);
    EXPECT_TRUE(isBarMasterRegistered());
    postToBarMaster(0x282, 3, 4);
    pump();
    ASSERT_EQ(bar->count(0x282), 1);
    EXPECT_EQ(bar->calls.back().a, 3);
    HWND w = bar->window();
    delete bar;  // the destructor lets go of the registration
    EXPECT_FALSE(isBarMasterRegistered());
    if (IsWindow(w)) DestroyWindow(w);
    pump();
}

}  // namespace
