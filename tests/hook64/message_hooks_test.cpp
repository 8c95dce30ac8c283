// The two message hooks called directly with made-up messages: two-finger
// taps, Escape, the wind-down once the program has gone, and the bending of
// the gesture configuration (the system raises none of these under test).
#include "tests/hook64/HookFixture.h"

#include <string>

#include "hook64/MessageHooks.h"
#include "hook64/vexaHook64.h"

namespace {

using hooktest::HookFixture;

constexpr UINT kEscape = 3033;
constexpr UINT kSetPen = 3074;

class MessageHooksTest : public HookFixture {
  protected:
    void SetUp() override {
        HookFixture::SetUp();
        block()._iTwoFingerTap = 1;
        block()._rcTap = RECT{100, 100, 500, 400};
        target_ = CreateWindowExW(0, L"Static", L"target", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    }
    void TearDown() override {
        DestroyWindow(target_);
        HookFixture::TearDown();
    }

    // A gesture message whose information the fake user32 will hand out.
    LPARAM gesture(DWORD id, DWORD flags, short x, short y) {
        const ULONG_PTR handle = 0x1000 + gestures_.infos.size();
        GESTUREINFO info = {};
        info.dwID = id;
        info.dwFlags = flags;
        info.ptsLocation = POINTS{x, y};
        gestures_.infos[handle] = info;
        return static_cast<LPARAM>(handle);
    }
    void sendThroughCallWnd(UINT message, WPARAM wParam, LPARAM lParam, HWND window = nullptr) {
        CWPRETSTRUCT call = {0, lParam, wParam, message, window ? window : target_};
        CallWndHookProc(HC_ACTION, 0, reinterpret_cast<LPARAM>(&call));
    }
    void takeThroughGetMsg(UINT message, WPARAM wParam, LPARAM lParam, WPARAM removal = PM_REMOVE,
                           HWND window = nullptr) {
        MSG msg = {window ? window : target_, message, wParam, lParam, 0, {0, 0}};
        GetMsgHookProc(HC_ACTION, removal, reinterpret_cast<LPARAM>(&msg));
    }
    HWND target_ = nullptr;
};

TEST_F(MessageHooksTest, TwoFingerTapIsReportedOnlyWhereAndWhenItCounts) {
    struct Case {
        const char* what;
        DWORD id;
        DWORD flags;
        short x, y;
        int reported;
    } cases[] = {
        {"a tap inside", 6, GF_BEGIN, 200, 200, 1},
        {"on the left and top edges", 6, GF_BEGIN, 100, 100, 1},
        {"on the right edge", 6, GF_BEGIN, 500, 200, 0},
        {"on the bottom edge", 6, GF_BEGIN, 200, 400, 0},
        {"outside", 6, GF_BEGIN, 50, 200, 0},
        {"negative coordinates", 6, GF_BEGIN, -200, 200, 0},
        {"without its begin flag", 6, GF_END, 200, 200, 0},
        {"another gesture", 4, GF_BEGIN, 200, 200, 0},
    };
    for (const Case& c : cases) {
        for (int viaGetMsg = 0; viaGetMsg < 2; ++viaGetMsg) {
            gestures_.now += 1000;
            const LPARAM handle = gesture(c.id, c.flags, c.x, c.y);
            if (viaGetMsg)
                takeThroughGetMsg(WM_GESTURE, 0, handle);
            else
                sendThroughCallWnd(WM_GESTURE, 0, handle);
            EXPECT_EQ(posted(kSetPen), c.reported) << c.what << (viaGetMsg ? " (get)" : " (call)");
            ASSERT_FALSE(gestures_.closed.empty());
            EXPECT_EQ(gestures_.closed.back(), static_cast<ULONG_PTR>(handle))
                << c.what << ": the handle is closed, tap or not";
        }
    }
}

TEST_F(MessageHooksTest, TapsWithin300MsAreOne) {
    struct Case {
        const char* what;
        DWORD secondAfter;  // ms after the first tap; wraps when "negative"
        int reported;
    } cases[] = {
        {"300 ms apart", 300, 1},
        {"301 ms apart", 301, 2},
        {"at once", 0, 1},
        {"the tick counter wrapped", static_cast<DWORD>(-5000), 2},
    };
    for (const Case& c : cases) {
        gestures_.now += 100000;
        sendThroughCallWnd(WM_GESTURE, 0, gesture(6, GF_BEGIN, 200, 200));
        gestures_.now += c.secondAfter;
        takeThroughGetMsg(WM_GESTURE, 0, gesture(6, GF_BEGIN, 200, 200));
        EXPECT_EQ(posted(kSetPen), c.reported) << c.what;
    }
}

TEST_F(MessageHooksTest, TapsAreLeftAloneWhenNotWantedOrNotReadable) {
    struct Case {
        const char* what;
        int twoFingerTap;
        bool functionsBound;
        bool infoReadable;
    } cases[] = {
        {"taps off", 0, true, true},
        {"no gesture functions", 1, false, true},
        {"information not readable", 1, true, false},
    };
    for (const Case& c : cases) {
        gestures_.now += 1000;
        gestures_.closed.clear();
        block()._iTwoFingerTap = c.twoFingerTap;
        if (!c.functionsBound) hook64Process().gestures = GestureFunctions{};
        const LPARAM handle = c.infoReadable ? gesture(6, GF_BEGIN, 200, 200) : 0x77;
        sendThroughCallWnd(WM_GESTURE, 0, handle);
        takeThroughGetMsg(WM_GESTURE, 0, handle, PM_NOREMOVE);
        EXPECT_EQ(posted(kSetPen), 0) << c.what;
        EXPECT_TRUE(gestures_.closed.empty()) << c.what << ": the handle is not ours to close";
        block()._iTwoFingerTap = 1;
        hook64Process().gestures = GestureFunctions{
            nullptr, hooktest::FakeGestures::getConfig, hooktest::FakeGestures::setConfig,
            hooktest::FakeGestures::getInfo, hooktest::FakeGestures::closeInfo};
    }
}

TEST_F(MessageHooksTest, EscapeTakenOffTheQueueIsReportedOnce) {
    struct Case {
        const char* what;
        UINT message;
        WPARAM key;
        WPARAM removal;
        bool window;
        int reported;
    } cases[] = {
        {"Escape taken off the queue", WM_KEYDOWN, VK_ESCAPE, PM_REMOVE, true, 1},
        {"Escape only peeked at", WM_KEYDOWN, VK_ESCAPE, PM_NOREMOVE, true, 0},
        {"Escape released", WM_KEYUP, VK_ESCAPE, PM_REMOVE, true, 0},
        {"another key", WM_KEYDOWN, VK_RETURN, PM_REMOVE, true, 0},
        {"a thread message", WM_KEYDOWN, VK_ESCAPE, PM_REMOVE, false, 0},
    };
    HWND none = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0));
    for (const Case& c : cases) {
        MSG msg = {c.window ? target_ : none, c.message, c.key, 0x00010001, 0, {0, 0}};
        GetMsgHookProc(HC_ACTION, c.removal, reinterpret_cast<LPARAM>(&msg));
        EXPECT_EQ(posted(kEscape), c.reported) << c.what;
        EXPECT_EQ(msg.message, c.message) << c.what << ": the message goes on unchanged";
        EXPECT_EQ(msg.wParam, c.key) << c.what;
    }
    GetMsgHookProc(-1, PM_REMOVE, 0);
    EXPECT_EQ(posted(kEscape), 0) << "a negative code is only passed on";
}

TEST_F(MessageHooksTest, AfterTheProgramHasGoneTheHostIsToldToCloseAtEachCall) {
    HWND helper = CreateWindowExW(0, L"Static", L"helper", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    block()._hwndHelper64 = reinterpret_cast<ULONG_PTR>(helper);
    block()._hwndMain = 0;
    auto closes = [&] {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, helper, WM_CLOSE, WM_CLOSE, PM_REMOVE)) ++n;
        return n;
    };
    sendThroughCallWnd(WM_NULL, 0, 0);
    sendThroughCallWnd(WM_NULL, 0, 0);
    EXPECT_EQ(closes(), 2);
    takeThroughGetMsg(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(closes(), 0) << "the get-message hook only passes on";
    EXPECT_EQ(posted(kEscape), 0);
    DestroyWindow(helper);
    sendThroughCallWnd(WM_NULL, 0, 0);  // no window left to tell: nothing happens
    EXPECT_EQ(closes(), 0);
}

TEST_F(MessageHooksTest, WithoutTheBlockEverythingIsOnlyPassedOn) {
    hook64Process().block = nullptr;
    sendThroughCallWnd(WM_GESTURE, 0, gesture(6, GF_BEGIN, 200, 200));
    takeThroughGetMsg(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(posted(kSetPen) + posted(kEscape), 0);
    EXPECT_TRUE(gestures_.closed.empty());
}

// --- gesture configuration -------------------------------------------------

constexpr DWORD kPan = GID_PAN;
constexpr DWORD kTap = GID_TWOFINGERTAP;
constexpr DWORD kTapWant = GC_TWOFINGERTAP;

class GestureConfigTest : public MessageHooksTest {
  protected:
    void SetUp() override {
        MessageHooksTest::SetUp();
        reset();
    }
    // Every window as it was and nothing remembered, pan blocking on, taps off.
    void reset() {
        gestures_.configs.clear();
        gestures_.sets.clear();
        rememberedGestureConfig() = RememberedGestureConfig();
        block()._dwTapGestureID = kTap;
        block()._dwTapGestureWant = kTapWant;
        block()._dwFlags = 0x4;
        block()._iBlockPan = 1;
        block()._iTwoFingerTap = 0;
    }
    // The window's own answer to WM_GESTURENOTIFY, then the notification through the hook.
    void notify(HWND window, GESTURECONFIG pan = {kPan, GC_PAN_WITH_SINGLE_FINGER_VERTICALLY, 0},
                GESTURECONFIG tap = {kTap, 0, 0}) {
        gestures_.configs[window][kPan] = pan;
        gestures_.configs[window][kTap] = tap;
        notifyOnly(window);
    }
    void notifyOnly(HWND window) {
        GESTURENOTIFYSTRUCT n = {sizeof n, 0, window, {0, 0}, 0};
        sendThroughCallWnd(WM_GESTURENOTIFY, 0, reinterpret_cast<LPARAM>(&n), window);
    }
    GESTURECONFIG now(HWND window, DWORD id) { return gestures_.configs[window][id]; }
};

TEST_F(GestureConfigTest, OptionsChooseWhatTheWindowIsGiven) {
    struct Case {
        const char* what;
        int blockPan;
        DWORD flags;
        int tap;
        DWORD panWant, panBlock, tapWant;
    } cases[] = {
        // The window wants vertical panning (2) and the pressure flag (0x10, kept).
        {"pan blocked and taps", 1, 0x4, 1, 0x10, 0x6, kTapWant},
        {"pan blocked only", 1, 0x4, 0, 0x10, 0x6, 0},
        {"pan option without its flag", 1, 0x0, 1, 0x12, 0x0, kTapWant},
        {"taps only", 0, 0x4, 1, 0x12, 0x0, kTapWant},
    };
    for (const Case& c : cases) {
        reset();
        block()._iBlockPan = c.blockPan;
        block()._dwFlags = c.flags;
        block()._iTwoFingerTap = c.tap;
        notify(target_, {kPan, 0x12, 0}, {kTap, 0, 0});
        EXPECT_EQ(now(target_, kPan).dwWant, c.panWant) << c.what;
        EXPECT_EQ(now(target_, kPan).dwBlock, c.panBlock) << c.what;
        EXPECT_EQ(now(target_, kTap).dwWant, c.tapWant) << c.what;
        EXPECT_TRUE(rememberedGestureConfig().remembered) << c.what;
    }
}

TEST_F(GestureConfigTest, AWindowThatAlreadyHasItIsNotTouched) {
    notify(target_, {kPan, 0x10, 0x6}, {kTap, kTapWant, 0});
    EXPECT_TRUE(gestures_.sets.empty());
    EXPECT_FALSE(rememberedGestureConfig().remembered);
}

TEST_F(GestureConfigTest, TheWindowGetsItsOwnConfigurationBackWhenTheOptionsGoOff) {
    struct Case {
        const char* what;
        GESTURECONFIG panAfter;  // what the window has meanwhile
        GESTURECONFIG tapAfter;
        bool restored;
    } cases[] = {
        {"still as applied", {kPan, 0x0, 0x6}, {kTap, kTapWant, 0}, true},
        {"one word still as applied", {kPan, 0x1, 0x6}, {kTap, 0x8, 0x1}, true},
        {"reconfigured by the window since", {kPan, 0x1, 0x1}, {kTap, 0x8, 0x1}, false},
    };
    for (const Case& c : cases) {
        reset();
        block()._iTwoFingerTap = 1;
        notify(target_, {kPan, 0x2, 0}, {kTap, 0, 0});
        ASSERT_TRUE(rememberedGestureConfig().remembered) << c.what;
        gestures_.configs[target_][kPan] = c.panAfter;
        gestures_.configs[target_][kTap] = c.tapAfter;
        block()._iBlockPan = 0;
        block()._iTwoFingerTap = 0;
        gestures_.sets.clear();
        notifyOnly(target_);
        EXPECT_FALSE(rememberedGestureConfig().remembered) << c.what << ": forgotten either way";
        EXPECT_EQ(!gestures_.sets.empty(), c.restored) << c.what;
        if (c.restored) {
            EXPECT_EQ(now(target_, kPan).dwWant, 0x2u) << c.what;
            EXPECT_EQ(now(target_, kPan).dwBlock, 0x0u) << c.what;
            EXPECT_EQ(now(target_, kTap).dwWant, 0x0u) << c.what;
        }
    }
}

TEST_F(GestureConfigTest, AChangeInWhatIsWantedGivesTheWindowItsOwnBackFirst) {
    // Pan blocking and taps applied together (two entries); then taps go off.
    // The window still has the applied pan entry, so pan blocking alone needs no
    // change: only the restore of the two entries takes the tap entry away.
    block()._iTwoFingerTap = 1;
    notify(target_, {kPan, 0x2, 0}, {kTap, 0, 0});
    ASSERT_EQ(rememberedGestureConfig().count, 2u);
    ASSERT_EQ(now(target_, kTap).dwWant, kTapWant);
    block()._iTwoFingerTap = 0;
    gestures_.sets.clear();
    notifyOnly(target_);  // the window answers with what it has: as applied
    ASSERT_FALSE(gestures_.sets.empty());
    EXPECT_EQ(gestures_.sets[0].size(), 2u) << "both entries restored";
    EXPECT_EQ(now(target_, kTap).dwWant, 0u) << "taps are the window's own again";
    EXPECT_EQ(now(target_, kPan).dwBlock, 0x6u) << "panning still blocked";
    EXPECT_EQ(rememberedGestureConfig().count, 1u);
}

TEST_F(GestureConfigTest, DetachGivesTheWindowItsOwnBackUnlessReconfiguredSince) {
    struct Case {
        const char* what;
        GESTURECONFIG panAfter;  // what the window has when the process detaches
        bool restored;
    } cases[] = {
        {"still as applied", {kPan, 0x0, 0x6}, true},
        {"reconfigured by the window since", {kPan, 0x1, 0x1}, false},
    };
    for (const Case& c : cases) {
        reset();
        notify(target_, {kPan, 0x2, 0});
        ASSERT_TRUE(rememberedGestureConfig().remembered) << c.what;
        gestures_.configs[target_][kPan] = c.panAfter;
        gestures_.sets.clear();
        releaseSharingData64();
        EXPECT_EQ(hook64Process().block, nullptr) << c.what << ": the block is let go";
        hook64Process().block = &block();
        EXPECT_FALSE(rememberedGestureConfig().remembered) << c.what;
        EXPECT_EQ(!gestures_.sets.empty(), c.restored) << c.what;
        EXPECT_EQ(now(target_, kPan).dwWant, c.restored ? 0x2u : c.panAfter.dwWant) << c.what;
    }
}

TEST_F(GestureConfigTest, MovingToAnotherWindowRestoresTheFirst) {
    HWND second = CreateWindowExW(0, L"Static", L"second", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    notify(target_, {kPan, 0x2, 0});
    EXPECT_EQ(now(target_, kPan).dwBlock, 0x6u);
    notify(second, {kPan, 0x2, 0});
    EXPECT_EQ(now(target_, kPan).dwBlock, 0x0u) << "the first window has its own back";
    EXPECT_EQ(now(target_, kPan).dwWant, 0x2u);
    EXPECT_EQ(now(second, kPan).dwBlock, 0x6u);
    EXPECT_EQ(rememberedGestureConfig().window, second);
    DestroyWindow(second);
}

TEST_F(GestureConfigTest, AnotherProcessesWindowIsNotTouched) {
    HWND foreign = GetDesktopWindow();
    DWORD foreignProcess = 0;
    GetWindowThreadProcessId(foreign, &foreignProcess);
    ASSERT_NE(foreignProcess, GetCurrentProcessId()) << "needs a window of another process";
    gestures_.configs[foreign][kPan] = {kPan, 0x2, 0};
    GESTURENOTIFYSTRUCT n = {sizeof n, 0, foreign, {0, 0}, 0};
    sendThroughCallWnd(WM_GESTURENOTIFY, 0, reinterpret_cast<LPARAM>(&n), target_);
    EXPECT_TRUE(gestures_.sets.empty());
}

TEST_F(GestureConfigTest, AFailedChangeIsTracedAndNotRemembered) {
    TraceCapture trace;
    gestures_.setFails = true;
    notify(target_, {kPan, 0x2, 0});
    EXPECT_TRUE(
        trace.contains("===resetGesturesConfigIfNeeded64: SetGestureConfig failed; err=0x57"))
        << trace.text();
    EXPECT_FALSE(rememberedGestureConfig().remembered);
}

TEST_F(GestureConfigTest, TheProgramGoneGivesTheWindowItsOwnBack) {
    notify(target_, {kPan, 0x2, 0});
    block()._hwndMain = 0;
    sendThroughCallWnd(WM_NULL, 0, 0);
    EXPECT_EQ(now(target_, kPan).dwBlock, 0x0u);
    EXPECT_FALSE(rememberedGestureConfig().remembered);
}

TEST_F(GestureConfigTest, WithoutGestureFunctionsNothingHappens) {
    hook64Process().gestures = GestureFunctions{};
    notify(target_, {kPan, 0x2, 0});
    EXPECT_EQ(now(target_, kPan).dwBlock, 0x0u);
    EXPECT_FALSE(rememberedGestureConfig().remembered);
    EXPECT_FALSE(restoreModifiedGestureConfig64(true));
}

// Counts and cancels every dialog this thread tries to make.
class DialogCatcher {
  public:
    DialogCatcher() {
        count() = 0;
        hook_ = SetWindowsHookExW(WH_CBT, proc, nullptr, GetCurrentThreadId());
    }
    ~DialogCatcher() { UnhookWindowsHookEx(hook_); }
    static int& count() {
        static int n = 0;
        return n;
    }

  private:
    static LRESULT CALLBACK proc(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND &&
            reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->lpszClass == MAKEINTATOM(32770)) {
            ++count();
            return 1;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HHOOK hook_;
};

TEST(Hook64Trace, ALongTraceIsCutAt999Characters) {
    TraceCapture trace;
    const std::wstring name(3000, L'n');  // the system's formatter writes up to 1024
    debugPrint(L"%s!\n", name.c_str());
    ASSERT_EQ(trace.lines().size(), 1u);
    EXPECT_EQ(trace.lines()[0], std::string(999, 'n'));
    trace.clear();
    debugPrint(L"short %d\n", 42);
    EXPECT_EQ(trace.text(), "short 42\n");
}

TEST_F(MessageHooksTest, WithoutTheBlockNoHookIsInstalledAndNothingIsShown) {
    // A hook of the test's own stands in the block's handle; the library, with
    // no block in use, must neither install nor remove anything.
    HHOOK own =
        SetWindowsHookExW(WH_CALLWNDPROCRET, CallWndHookProc, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(own);
    block()._hCallWndHook64 = reinterpret_cast<ULONG_PTR>(own);
    hook64Process().block = nullptr;
    DialogCatcher dialogs;
    EXPECT_EQ(InsertHooks64(nullptr, target_), 0);
    EXPECT_EQ(DialogCatcher::count(), 0);
    RemoveHooks64();
    hook64Process().block = &block();
    EXPECT_EQ(block()._hCallWndHook64, reinterpret_cast<ULONG_PTR>(own));
    EXPECT_EQ(block()._hwndHelper64, 0u);
    EXPECT_TRUE(UnhookWindowsHookEx(own)) << "the test's hook was left in place";
    // With the block in use the same hook is the library's to remove.
    own = SetWindowsHookExW(WH_CALLWNDPROCRET, CallWndHookProc, nullptr, GetCurrentThreadId());
    block()._hCallWndHook64 = reinterpret_cast<ULONG_PTR>(own);
    RemoveHooks64();
    EXPECT_EQ(block()._hCallWndHook64, 0u);
    EXPECT_FALSE(UnhookWindowsHookEx(own)) << "removed once already";
}

}  // namespace
