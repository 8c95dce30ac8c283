// The frame windows that mark a rectangle of the screen: placement, the
// border shape of each kind, hiding, and the window going with its object.
#include <gtest/gtest.h>
#include <windows.h>

#include "ink/Ramka.h"
#include "tests/shell/TestSupport.h"

namespace {

bool inRegion(HWND window, int x, int y) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    const bool inside = GetWindowRgn(window, region) != ERROR && PtInRegion(region, x, y);
    DeleteObject(region);
    return inside;
}

TEST(Frames, LowRectangleIsFramedFourPixelsOutside) {
    const RECT low = {100, 100, 300, 140};  // lower than a quarter of the screen
    CRamka frame(&low, RGB(255, 0, 0), CRamka::kPlain);
    EXPECT_EQ(frame.window(), nullptr) << "made on first show";
    frame.show(nullptr);
    ASSERT_NE(frame.window(), nullptr);
    EXPECT_TRUE(IsWindowVisible(frame.window()));
    RECT r;
    GetWindowRect(frame.window(), &r);
    EXPECT_EQ(r.left, 96);
    EXPECT_EQ(r.top, 96);
    EXPECT_EQ(r.right, 304);
    EXPECT_EQ(r.bottom, 144);
    const LONG ex = GetWindowLongW(frame.window(), GWL_EXSTYLE);
    EXPECT_EQ(ex & (WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_TOOLWINDOW),
              WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
    EXPECT_EQ(SendMessageW(frame.window(), WM_MOUSEACTIVATE, 0, 0), MA_NOACTIVATE);

    const int tall = GetSystemMetrics(SM_CYSCREEN) / 2;
    const RECT high = {10, 10, 60, 10 + tall};
    frame.show(&high);
    GetWindowRect(frame.window(), &r);
    EXPECT_EQ(r.left, 10) << "a tall rectangle is framed as it is";
    EXPECT_EQ(r.bottom, 10 + tall);
}

TEST(Frames, BorderAndDiagonalsMakeTheWindowShape) {
    struct {
        int kind;
        bool centre, risingBand, fallingBand;
    } cases[] = {{CRamka::kPlain, false, false, false},
                 {CRamka::kOneDiagonal, true, true, false},
                 {CRamka::kBothDiagonals, true, true, true}};
    const int tall = GetSystemMetrics(SM_CYSCREEN) / 2;
    for (const auto& c : cases) {
        const RECT square = {50, 50, 50 + tall, 50 + tall};
        CRamka frame(&square, RGB(0, 128, 0), c.kind);
        frame.show(nullptr);
        const int w = tall, h = tall;
        EXPECT_TRUE(inRegion(frame.window(), 1, h / 3)) << "the border, kind " << c.kind;
        EXPECT_FALSE(inRegion(frame.window(), w / 4, h / 8)) << "inside is see-through";
        EXPECT_EQ(inRegion(frame.window(), w / 2, h / 2), c.centre) << "kind " << c.kind;
        // Off the centre: one point on each diagonal.
        EXPECT_EQ(inRegion(frame.window(), w / 4, h - w / 4), c.risingBand);
        EXPECT_EQ(inRegion(frame.window(), w / 4, h / 4), c.fallingBand);
    }
}

TEST(Frames, HideParksTheWindowAndAnEmptyShowHides) {
    const RECT r = {200, 200, 260, 230};
    CRamka frame(&r, RGB(0, 0, 255), CRamka::kPlain);
    frame.show(nullptr);
    frame.hide();
    EXPECT_FALSE(IsWindowVisible(frame.window()));
    RECT parked;
    GetWindowRect(frame.window(), &parked);
    EXPECT_EQ(parked.left, GetSystemMetrics(SM_XVIRTUALSCREEN) - 100);
    EXPECT_EQ(parked.right - parked.left, 10);
    frame.show(nullptr);
    EXPECT_TRUE(IsWindowVisible(frame.window())) << "the stored rectangle again";

    CRamka empty(nullptr, RGB(0, 0, 0), CRamka::kPlain);
    empty.show(nullptr);
    EXPECT_EQ(empty.window(), nullptr) << "nothing to frame, nothing made";
}

TEST(Frames, CloseHidesAFrameAndTheWindowGoesWithItsObject) {
    const RECT r = {20, 20, 80, 60};
    HWND window = nullptr;
    {
        CRamka frame(&r, RGB(9, 9, 9), CRamka::kPlain);
        frame.show(nullptr);
        window = frame.window();
        SendMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(window));
        EXPECT_FALSE(IsWindowVisible(window));
    }
    EXPECT_TRUE(sxtest::pumpUntil([&] { return !IsWindow(window); }, 2000))
        << "no window is left behind";
}

}  // namespace
