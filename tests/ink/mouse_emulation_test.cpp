// Emulated mouse input, which moves the real cursor (these tests take the
// input lock): the click generator and its markers, the cursor shake, plain
// clicks, and the pen driving the mouse over the program's own windows in
// markup mode, where the right button opens the pen menu instead.
#include <gtest/gtest.h>
#include <windows.h>

#include <mutex>
#include <vector>

#include "InkTestSupport.h"
#include "ink/MouseEmulation.h"
#include "ink/PenEventThread.h"
#include "core/ServiceMessages.h"
#include "shell/ServiceWindow.h"

namespace {

struct Seen {
    UINT message;
    POINT at;  // client coordinates
    ULONG_PTR extra;
};

// A window of this process that records the mouse input it gets, with each
// message's extra information, and the menu requests a service window gets.
class InputWindow {
  public:
    InputWindow(int x, int y, int w, int h) {
        window_ = sxtest::createTestWindow(L"SxInputWindow", proc, WS_EX_TOPMOST,
                                           WS_POPUP | WS_VISIBLE, x, y, w, h);
        seen().clear();
        menus() = 0;
    }
    ~InputWindow() { DestroyWindow(window_); }
    HWND window() const { return window_; }

    static std::vector<Seen>& seen() {
        static std::vector<Seen> s;
        return s;
    }
    static int& menus() {
        static int n = 0;
        return n;
    }
    static std::vector<Seen> of(UINT message) {
        std::vector<Seen> out;
        for (const Seen& s : seen())
            if (s.message == message) out.push_back(s);
        return out;
    }

  private:
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_LBUTTONDOWN || m == WM_LBUTTONUP || m == WM_MOUSEMOVE)
            seen().push_back(
                {m, {short(LOWORD(lp)), short(HIWORD(lp))}, ULONG_PTR(GetMessageExtraInfo())});
        if (m == WM_INK_MAIN_MENU) ++menus();
        return DefWindowProcW(w, m, wp, lp);
    }
    HWND window_;
};

void settle() {
    sxtest::pumpUntil([] { return false; }, 50);
}

class MouseEmulationTest : public testing::Test {
  protected:
    void SetUp() override {
        updateScreenMetrics();
        SetCursorPos(5, 5);
        settle();
    }
    void TearDown() override {
        sendMouseLeftUp();
        settle();
    }
};

TEST_F(MouseEmulationTest, GeneratorClicksThereWithItsMarkers) {
    InputWindow target(100, 100, 200, 150);
    settle();
    startMouseEventsGenerator(150, 160, 400, 400, true, kMouseDownMarker, kMouseUpMarker);
    ASSERT_TRUE(sxtest::pumpUntil([] { return !InputWindow::of(WM_LBUTTONUP).empty(); }, 3000));
    const auto downs = InputWindow::of(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].at.x, 50);
    EXPECT_EQ(downs[0].at.y, 60);
    EXPECT_EQ(downs[0].extra, kMouseDownMarker);
    const auto ups = InputWindow::of(WM_LBUTTONUP);
    EXPECT_EQ(ups[0].extra, kMouseUpMarker);
    EXPECT_EQ(ups[0].at.x, 50);
    EXPECT_EQ(ups[0].at.y, 60);
    POINT cursor;
    sxtest::pumpUntil([&] { return GetCursorPos(&cursor) && cursor.y == 161; }, 1000);
    EXPECT_EQ(cursor.x, 150);
    EXPECT_EQ(cursor.y, 161) << "left one pixel below";
}

TEST_F(MouseEmulationTest, GeneratorWithoutReleaseLeavesTheButtonToThePen) {
    InputWindow target(100, 100, 200, 150);
    settle();
    startMouseEventsGenerator(130, 130, 500, 300, false, kMouseOtherMarker, kMouseOtherMarker);
    ASSERT_TRUE(sxtest::pumpUntil([] { return !InputWindow::of(WM_LBUTTONDOWN).empty(); }, 3000));
    POINT cursor = {};
    EXPECT_TRUE(sxtest::pumpUntil(
        [&] { return GetCursorPos(&cursor) && cursor.x == 500 && cursor.y >= 300; }, 2000))
        << "at the restore point";
    EXPECT_EQ(InputWindow::of(WM_LBUTTONDOWN)[0].extra, kMouseOtherMarker);
    EXPECT_TRUE(InputWindow::of(WM_LBUTTONUP).empty());
}

TEST_F(MouseEmulationTest, ClickAtTheCursor) {
    InputWindow target(100, 100, 200, 150);
    SetCursorPos(120, 110);
    settle();
    sendMouseClick();
    ASSERT_TRUE(sxtest::pumpUntil([] { return !InputWindow::of(WM_LBUTTONUP).empty(); }, 3000));
    const auto downs = InputWindow::of(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].at.x, 20);
    EXPECT_EQ(downs[0].at.y, 10);
}

TEST_F(MouseEmulationTest, ShakeMovesThereAndBackWithItsMarker) {
    InputWindow target(100, 100, 300, 300);
    SetCursorPos(250, 250);
    settle();
    InputWindow::seen().clear();
    startMouseShaker(10, 60, 3, 0x1234);
    sxtest::pumpUntil([] { return false; }, 300);
    int shaken = 0;
    for (const Seen& s : InputWindow::of(WM_MOUSEMOVE)) shaken += s.extra == 0x1234;
    EXPECT_GE(shaken, 2);
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, 250) << "every move comes back";
    EXPECT_EQ(cursor.y, 250);
}

// Message 3034 of the hook library through the service window's procedure:
// point 1 (x in bits 16-30, y in 0-15 of wParam, bit 31: press and release
// there) and point 2 (lParam); bit 31 of lParam chooses the down and up
// markers, else bit 15 the other marker, else none. Points are relative to the
// virtual screen's origin.
struct MouseActionCase {
    const char* name;
    bool release;
    DWORD tagBits;
    ULONG_PTR down, up;
};

class MouseAction : public MouseEmulationTest,
                    public testing::WithParamInterface<MouseActionCase> {};

TEST_P(MouseAction, ServiceWindowClicksWithTheMarkersItsBitsChoose) {
    const MouseActionCase& c = GetParam();
    InputWindow target(100, 100, 200, 150);
    HWND service = sxtest::createTestWindow(L"SxMouseActionService", ServiceWndProc, 0, WS_POPUP,
                                            -400, -400, 10, 10);
    appGlobals().serviceWindow = service;
    settle();
    const AppGlobals& g = appGlobals();
    const DWORD x1 = 150 - g.xVirtualScreen, y1 = 160 - g.yVirtualScreen;
    const DWORD x2 = 420 - g.xVirtualScreen, y2 = 330 - g.yVirtualScreen;
    const DWORD w = (x1 << 16) | y1 | (c.release ? 0x80000000u : 0);
    const DWORD l = (x2 << 16) | y2 | c.tagBits;
    EXPECT_EQ(SendMessageW(service, WM_INK_MOUSE_ACTION, w, static_cast<LPARAM>(l)), 0);
    ASSERT_TRUE(sxtest::pumpUntil([] { return !InputWindow::of(WM_LBUTTONDOWN).empty(); }, 3000));
    const auto downs = InputWindow::of(WM_LBUTTONDOWN);
    EXPECT_EQ(downs[0].at.x, 50);
    EXPECT_EQ(downs[0].at.y, 60);
    EXPECT_EQ(downs[0].extra, c.down);
    if (c.release) {
        ASSERT_TRUE(sxtest::pumpUntil([] { return !InputWindow::of(WM_LBUTTONUP).empty(); }, 3000));
        EXPECT_EQ(InputWindow::of(WM_LBUTTONUP)[0].extra, c.up);
    } else {
        POINT cursor = {};
        EXPECT_TRUE(sxtest::pumpUntil(
            [&] { return GetCursorPos(&cursor) && cursor.x == 420 && cursor.y >= 330; }, 2000))
            << "the cursor goes on to point 2, the button left to the pen";
        EXPECT_TRUE(InputWindow::of(WM_LBUTTONUP).empty());
    }
    appGlobals().serviceWindow = nullptr;  // its end is not the program's end
    DestroyWindow(service);
    sxtest::dropQuit();
}

INSTANTIATE_TEST_SUITE_P(
    Bits, MouseAction,
    testing::Values(MouseActionCase{"PenMarkers", true, 0x80000000u, 0x6F855, 0x6F854},
                    MouseActionCase{"OtherMarker", true, 0x8000u, 0x5464E, 0x5464E},
                    MouseActionCase{"BothBitsPenMarkersWin", true, 0x80008000u, 0x6F855, 0x6F854},
                    MouseActionCase{"NoMarker", true, 0, 0, 0},
                    MouseActionCase{"DownOnlyThenOn", false, 0x80000000u, 0x6F855, 0}),
    [](const testing::TestParamInfo<MouseActionCase>& info) { return info.param.name; });

TEST(ModifierKeys, ListenerHearsOnlyChanges) {
    struct Heard {
        int calls = 0, newMask = -1, oldMask = -1;
    } heard;
    auto listener = [](void* context, int now, int before) {
        auto* h = static_cast<Heard*>(context);
        ++h->calls;
        h->newMask = now;
        h->oldMask = before;
    };
    int last = modifierKeyMask();
    checkModifierKeys(&last, listener, &heard);
    EXPECT_EQ(heard.calls, 0) << "nothing changed";
    last = 7;
    checkModifierKeys(&last, listener, &heard);
    EXPECT_EQ(heard.calls, 1);
    EXPECT_EQ(heard.oldMask, 7);
    EXPECT_EQ(heard.newMask, modifierKeyMask());
    EXPECT_EQ(last, heard.newMask);
}

TEST(MouseCoordinates, AbsoluteValuesMapBackToTheirPixel) {
    for (int extent : {640, 1024, 1280, 1366, 1920}) {
        for (int x : {0, 1, extent / 3, extent - 1}) {
            const LONG a = absoluteMouseCoordinate(x, extent);
            EXPECT_GE(a, 0);
            EXPECT_LE(a, 65535);
            EXPECT_EQ(a * extent / 65536, x) << x << " of " << extent;
        }
    }
}

// In markup mode a contact that starts over one of the program's windows
// drives the mouse there instead of inking.
class PenMouseTest : public inktest::InkManagerFixture {
  protected:
    void SetUp() override {
        InkManagerFixture::SetUp();
        client_ = new inktest::TestInkClient(L"markup");
        ASSERT_EQ(manager_->registerClient(client_), 1);
        ASSERT_TRUE(openPenEventRing(&fake_.ring));
        serviceState().markupMode = true;
        serviceState().snapshot = false;
    }
    void TearDown() override {
        serviceState().markupMode = false;
        serviceState().snapshot = true;
        closePenEventRing();
        InkManagerFixture::TearDown();
    }
    void pass(std::initializer_list<InkPoint> entries) {
        for (const InkPoint& p : entries) fake_.queue({static_cast<int32_t>(inkPointValue(p))});
        drainPenEventRing();
    }
    static InkPoint px(int x, int y) { return makeInkPoint(4 * x, 4 * y); }

    inktest::TestInkClient* client_ = nullptr;
};

TEST_F(PenMouseTest, ContactOverAnOwnWindowIsAClickNotInk) {
    InputWindow bar(300, 300, 100, 60);
    SetCursorPos(320, 320);
    settle();
    manager_->activateClient(client_, nullptr, 0, 0);
    manager_->beginActiveInk();
    pass({px(320, 320), px(330, 322)});
    EXPECT_TRUE(penEventSnapshot().penMouseMode);
    EXPECT_TRUE(getPenMouseMode());
    pass({px(340, 325), kInkSeparator});
    EXPECT_FALSE(penEventSnapshot().penMouseMode);
    ASSERT_TRUE(sxtest::pumpUntil([] { return !InputWindow::of(WM_LBUTTONUP).empty(); }, 3000));
    const auto downs = InputWindow::of(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].extra, kPenMouseMarker);
    EXPECT_EQ(InputWindow::of(WM_LBUTTONUP)[0].extra, kPenMouseMarker);
    EXPECT_TRUE(client_->strokes().empty()) << "no ink";

    // Over no window of this process the same contact is ink.
    pass({px(20, 20), px(30, 30), kInkSeparator});
    ASSERT_EQ(client_->strokes().size(), 1u);
}

TEST_F(PenMouseTest, RightButtonHeldAtPenDownAsksForTheMenuAndIgnoresTheStroke) {
    InputWindow service(-400, -400, 10, 10);
    appGlobals().serviceWindow = service.window();
    manager_->activateClient(client_, nullptr, 0, 0);
    manager_->beginActiveInk();
    INPUT right = {};
    right.type = INPUT_MOUSE;
    right.mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    SendInput(1, &right, sizeof right);
    sxtest::pumpUntil([] { return (GetAsyncKeyState(VK_RBUTTON) & 0x8000) != 0; }, 1000);
    pass({px(50, 50), px(60, 60)});
    right.mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    SendInput(1, &right, sizeof right);
    EXPECT_TRUE(sxtest::pumpUntil([] { return InputWindow::menus() == 1; }, 2000));
    EXPECT_TRUE(penEventSnapshot().ignoreUntilSeparator);
    pass({px(70, 70), kInkSeparator, px(80, 80), kInkSeparator});
    appGlobals().serviceWindow = nullptr;
    ASSERT_EQ(client_->strokes().size(), 1u) << "only the stroke after the separator";
    EXPECT_EQ(inkPointValue(client_->strokes()[0][0]), inkPointValue(px(80, 80)));
}

}  // namespace
