// Live ink in the transparent layer: the stroke being written shows in the
// layer's own bitmap, in the pen's colour, inside the dirty rectangle that
// grows around it; once the inking ends the layer is hidden and shows nothing
// of it when it comes back. Also the layer window's own messages and the
// dirty rectangle's growth.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "InkTestSupport.h"
#include "ink/LiveInk.h"
#include "ink/PenEventThread.h"
#include "ink/TransparentLayer.h"
#include "core/ServiceMessages.h"
#include "shell/ServiceWindow.h"

namespace {

using inktest::TestInkClient;

constexpr COLORREF kPenColour = RGB(255, 0, 0);
constexpr uint32_t kPenPixel = 0x00FF0000;  // the same colour as the bitmap holds it

class LiveInkTest : public inktest::InkManagerFixture {
  protected:
    void SetUp() override {
        InkManagerFixture::SetUp();
        LocalClientRecord record = inktest::clientRecord(L"writer");
        record.penType = 2;
        record.penWidth = 3;
        record.penColor = kPenColour;
        client_ = new TestInkClient(record);
        ASSERT_EQ(manager_->registerClient(client_), 1);
        ASSERT_TRUE(openPenEventRing(&fake_.ring));
        generalSettings().copyBitsFromScreen = 1;
    }
    void TearDown() override {
        closePenEventRing();
        releaseLiveInk();
        InkManagerFixture::TearDown();
    }

    void penDown() {
        manager_->activateClient(client_, nullptr, 0, 0);
        manager_->beginActiveInk();
    }
    // Ring entries of pixel points, drained at once.
    void pass(std::initializer_list<InkPoint> entries) {
        for (const InkPoint& p : entries) fake_.queue({static_cast<int32_t>(inkPointValue(p))});
        drainPenEventRing();
    }
    static InkPoint px(int x, int y) { return makeInkPoint(4 * x, 4 * y); }

    // Pixels of the layer in screen rectangle `r`.
    std::vector<uint32_t> layerPixels(const RECT& r) {
        RECT placed;
        GetWindowRect(windows_.layer(), &placed);
        RECT local = r;
        OffsetRect(&local, -placed.left, -placed.top);
        return inktest::readWindowPixels(windows_.layer(), local);
    }
    static int penPixels(const std::vector<uint32_t>& pixels) {
        int n = 0;
        for (uint32_t p : pixels) n += p == kPenPixel;
        return n;
    }

    static bool dirtyRectIsEmpty() {
        const RECT r = inkLayerDirtyRect();
        return IsRectEmpty(&r) != FALSE;
    }

    inktest::InkLayerWindows windows_;
    TestInkClient* client_ = nullptr;
};

TEST_F(LiveInkTest, StrokeShowsInThePensColourInsideTheDirtyRectangleWhileWritten) {
    SendMessageW(windows_.layer(), WM_INK_LAYER_SHOW, 0, 0);
    ASSERT_TRUE(IsWindowVisible(windows_.layer()));
    penDown();
    pass({px(100, 100), kInkLiveInkMarker});
    for (int x = 104; x <= 200; x += 4) pass({px(x, 100 + (x - 100) / 8)});
    EXPECT_TRUE(penEventSnapshot().liveInkOn);
    const RECT dirty = inkLayerDirtyRect();
    ASSERT_FALSE(IsRectEmpty(&dirty));
    EXPECT_LE(dirty.left, 100 - 3 - 20);
    EXPECT_GE(dirty.right, 200 + 3);

    // Every column the stroke has passed holds the pen's colour near its line.
    int columns = 0;
    for (int x = 106; x <= 190; x += 6) {
        const int y = 100 + (x - 100) / 8;
        const RECT column = {x, y - 4, x + 1, y + 5};
        columns += penPixels(layerPixels(column)) > 0;
    }
    EXPECT_EQ(columns, 15) << "the segments are in the layer's bitmap";
    // Nothing of the pen outside the dirty rectangle.
    const RECT outside = {dirty.right + 1, dirty.top, dirty.right + 60, dirty.bottom};
    EXPECT_EQ(penPixels(layerPixels(outside)), 0);
    const RECT above = {dirty.left, dirty.top - 40, dirty.right, dirty.top - 1};
    EXPECT_EQ(penPixels(layerPixels(above)), 0);

    // The pen lifts: the rest is drawn, then the inking ends.
    pass({px(204, 113), kInkSeparator});
    ASSERT_EQ(client_->strokes().size(), 1u);
    pass({kInkFinishMarker, kInkSeparator});
    EXPECT_FALSE(penEventSnapshot().liveInkOn);
    SendMessageW(windows_.layer(), WM_INK_LAYER_HIDE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(windows_.layer()));
    EXPECT_TRUE(dirtyRectIsEmpty());

    // The next inking shows a layer with nothing of the last stroke.
    SendMessageW(windows_.layer(), WM_INK_LAYER_SHOW, 0, 0);
    const RECT stroke = {90, 90, 215, 125};
    EXPECT_EQ(penPixels(layerPixels(stroke)), 0) << "nothing is left";
    SendMessageW(windows_.layer(), WM_INK_LAYER_HIDE, 0, 0);
}

TEST_F(LiveInkTest, PenEventThreadLetsGoOfTheLayersContextAsItEnds) {
    closePenEventRing();  // the thread opens the ring itself
    SendMessageW(windows_.layer(), WM_INK_LAYER_SHOW, 0, 0);
    ASSERT_TRUE(startPenEventThread());
    penDown();
    fake_.queue({static_cast<int32_t>(inkPointValue(px(100, 100))),
                 static_cast<int32_t>(inkPointValue(kInkLiveInkMarker)),
                 static_cast<int32_t>(inkPointValue(px(140, 104)))});
    ASSERT_TRUE(sxtest::waitUntil([] { return penEventSnapshot().liveInkOn; }, 5000));
    stopPenEventThread();
    EXPECT_FALSE(liveInkHoldsLayerContext()) << "released by the thread that took it";
    EXPECT_TRUE(IsWindow(windows_.layer())) << "while the layer still exists";
    SendMessageW(windows_.layer(), WM_INK_LAYER_HIDE, 0, 0);
}

TEST_F(LiveInkTest, DirtyRectangleStartsWithTwentyPixelsAndGrowsByForty) {
    SendMessageW(windows_.layer(), WM_INK_LAYER_SHOW, 0, 0);
    penDown();
    pass({px(300, 300), kInkLiveInkMarker});
    const int m = 3;  // the pen width
    RECT d = inkLayerDirtyRect();
    EXPECT_EQ(d.left, 300 - m - 20);
    EXPECT_EQ(d.top, 300 - m - 20);
    EXPECT_EQ(d.right, 300 + m + 20);
    EXPECT_EQ(d.bottom, 300 + m + 20);
    EXPECT_TRUE(sxtest::pumpUntil([&] { return IsWindowVisible(windows_.guard()) != FALSE; }, 2000))
        << "the guard stands under the ink";

    // One pixel beyond the right side pushes that side 40 pixels out, only it.
    pass({px(300 + 20 + 1, 300)});
    RECT grown = inkLayerDirtyRect();
    EXPECT_EQ(grown.right, 321 + m + 40);
    EXPECT_EQ(grown.left, d.left);
    EXPECT_EQ(grown.top, d.top);
    EXPECT_EQ(grown.bottom, d.bottom);
    RECT guard;
    ASSERT_TRUE(sxtest::pumpUntil(
        [&] { return GetWindowRect(windows_.guard(), &guard) && guard.right == grown.right + 1; },
        2000))
        << "the guard window follows the rectangle";
    SendMessageW(windows_.layer(), WM_INK_LAYER_HIDE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(windows_.guard()));
}

TEST_F(LiveInkTest, PenWithoutTypeOrWidthDrawsNothingAndSucceeds) {
    SendMessageW(windows_.layer(), WM_INK_LAYER_SHOW, 0, 0);
    const InkPoint points[] = {px(10, 10), px(40, 40)};
    penDown();
    client_->record().penType = 0;
    EXPECT_TRUE(drawLiveInk(points, 0, 1, false));
    client_->record().penType = 2;
    client_->record().penWidth = 0;
    EXPECT_TRUE(drawLiveInk(points, 0, 1, false));
    EXPECT_TRUE(dirtyRectIsEmpty()) << "no screen prepared";
    client_->record().penWidth = 3;
    EXPECT_TRUE(drawLiveInk(points, 0, 1, true));
    manager_->releaseActiveClient(client_, false);
    EXPECT_FALSE(drawLiveInk(points, 0, 1, false)) << "no active client";
    SendMessageW(windows_.layer(), WM_INK_LAYER_HIDE, 0, 0);
}

TEST_F(LiveInkTest, HiddenLayerDrawsNoLiveInkButTheStrokeIsCollected) {
    penDown();
    pass({px(50, 50), kInkLiveInkMarker, px(60, 50), px(70, 50), kInkSeparator});
    ASSERT_EQ(client_->strokes().size(), 1u);
    EXPECT_EQ(client_->strokes()[0].size(), 4u);
    EXPECT_TRUE(dirtyRectIsEmpty());
}

TEST_F(LiveInkTest, LayerCoversTheVirtualScreenAndRefusesMovesOfOthers) {
    SendMessageW(windows_.layer(), WM_INK_LAYER_SHOW, 0, 0);
    RECT placed;
    GetWindowRect(windows_.layer(), &placed);
    const AppGlobals& g = appGlobals();
    EXPECT_EQ(placed.left, g.xVirtualScreen);
    EXPECT_EQ(placed.right - placed.left, g.cxVirtualScreen);
    EXPECT_EQ(GetWindowLongW(windows_.layer(), GWL_EXSTYLE) & WS_EX_TOPMOST, WS_EX_TOPMOST);
    SetWindowPos(windows_.layer(), nullptr, 5, 5, 50, 50, SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(windows_.layer(), &placed);
    EXPECT_EQ(placed.left, g.xVirtualScreen) << "only its own moves count";
    EXPECT_EQ(SendMessageW(windows_.layer(), WM_MOUSEACTIVATE, 0, 0), MA_NOACTIVATE);
    EXPECT_EQ(SendMessageW(windows_.layer(), 0x2CC, 0, 0), 0x0019FFFF);
    EXPECT_EQ(SendMessageW(windows_.layer(), 0x2CB, 0, 0), 1);

    // A mouse move reaching the layer outside markup mode hides it, unless
    // it is only the move a window gets when it appears under the cursor.
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(windows_.layer(), &cursor);
    SendMessageW(windows_.layer(), WM_MOUSEMOVE, 0, MAKELPARAM(cursor.x, cursor.y));
    EXPECT_TRUE(IsWindowVisible(windows_.layer()));
    SendMessageW(windows_.layer(), WM_MOUSEMOVE, 0, MAKELPARAM(cursor.x + 5, cursor.y));
    EXPECT_FALSE(IsWindowVisible(windows_.layer()));
    GetWindowRect(windows_.layer(), &placed);
    EXPECT_EQ(placed.left, g.xVirtualScreen - 100);
    EXPECT_EQ(placed.right - placed.left, 10);
}

// A window on the screen that counts its paintings.
int g_paints = 0;
LRESULT CALLBACK countingPaints(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT || message == WM_ERASEBKGND || message == WM_NCPAINT) ++g_paints;
    return DefWindowProcW(window, message, wParam, lParam);
}

// Hiding the layer in markup mode leaves markup mode and redraws the screen
// (the drawing goes), except when asked not to (wParam 1: the screen saver).
TEST_F(LiveInkTest, HideInMarkupModeLeavesMarkupModeAndRedrawsUnlessAskedNotTo) {
    HWND below = sxtest::createTestWindow(L"SxPaintCounter", countingPaints, 0,
                                          WS_POPUP | WS_VISIBLE, 40, 40, 200, 120);
    for (WPARAM wParam : {WPARAM{1}, WPARAM{0}}) {
        SCOPED_TRACE(wParam);
        SendMessageW(windows_.layer(), WM_INK_LAYER_SHOW, 0, 0);
        serviceState().markupMode = true;
        SendMessageW(windows_.layer(), WM_MOUSEMOVE, 0, MAKELPARAM(700, 500));
        EXPECT_TRUE(IsWindowVisible(windows_.layer()))
            << "in markup mode the layer takes the mouse";
        UpdateWindow(below);
        sxtest::pumpUntil([] { return false; }, 50);
        g_paints = 0;
        SendMessageW(windows_.layer(), WM_INK_LAYER_HIDE, wParam, 0);
        sxtest::pumpUntil([] { return false; }, 50);
        EXPECT_FALSE(IsWindowVisible(windows_.layer()));
        EXPECT_FALSE(serviceState().markupMode);
        if (wParam == 1) {
            EXPECT_EQ(g_paints, 0) << "the screen was redrawn";
        } else {
            EXPECT_GT(g_paints, 0) << "the screen was not redrawn";
        }
    }
    DestroyWindow(below);
}

TEST_F(LiveInkTest, HideTransparentLayersHidesThisProcesssLayer) {
    SendMessageW(windows_.layer(), WM_INK_LAYER_SHOW, 0, 0);
    hideTransparentLayers(500);
    EXPECT_FALSE(IsWindowVisible(windows_.layer()));
}

}  // namespace
