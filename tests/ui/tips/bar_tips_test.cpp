// The tips of a bar's units on the X display: the mouse, moved by the X server
// with xdotool, rests on a unit and its tip appears, stays up for its show
// time and goes; another unit shows its own tip; leaving the bar hides the tip
// and clears every hover. And the bar window coalesces a burst of 8027.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "core/AppGlobals.h"
#include "tests/support/HostShell.h"
#include "tests/support/Screenshot.h"
#include "ui/bars/BarFramework.h"
#include "ui/tips/Tips.h"
#include "tests/shell/TestSupport.h"

namespace {

using sxtest::pumpUntil;

void pump(DWORD ms) {
    pumpUntil([] { return false; }, ms);
}

bool moveMouse(int x, int y) {
    return hostshell::run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y),
                          10000);
}

// A bar of two rectangle units with tips that counts the coalesced 615.
class TwoUnitBar : public BarBitmapMaster {
  public:
    TwoUnitBar() : BarBitmapMaster(nullptr, 0, nullptr, nullptr, nullptr, L"tips bar") {
        setKept(true);
    }
    void buildUnits() override {}
    LRESULT onMessage(UINT code, LPARAM a, LPARAM b) override {
        if (code == 615) ++coalesced;
        return BarBitmapMaster::onMessage(code, a, b);
    }
    int coalesced = 0;
};

class BarTipsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        appGlobals().instance = GetModuleHandleW(nullptr);
        registerTipsWindowClass(getInstance());
        WNDCLASSW wc = {};
        wc.lpfnWndProc = MenuBarWndProc;
        wc.hInstance = getInstance();
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = BAR_WINDOW_CLASS;
        RegisterClassW(&wc);
    }

    void SetUp() override {
        moveMouse(5, 5);
        bar_ = new TwoUnitBar;
        ASSERT_NE(bar_->window(), nullptr);
        pump(50);
        bar_->moveTo(kBarX, kBarY);
        SetWindowPos(bar_->window(), HWND_TOPMOST, kBarX, kBarY, 120, 40,
                     SWP_NOACTIVATE | SWP_SHOWWINDOW);
        pen_ = bar_->addUnit(new BarRectUnit(bar_, 1, 0xFF, L"Pen On/Off", {0, 0, 60, 40}));
        menu_ = bar_->addUnit(new BarRectUnit(bar_, 2, 0xFF, L"Open menu", {60, 0, 120, 40}));
        pump(100);
    }

    void TearDown() override {
        moveMouse(5, 5);
        HWND w = bar_->window();
        delete bar_;
        if (w && IsWindow(w)) DestroyWindow(w);
        pump(100);
    }

    bool tipVisible() const { return bar_->tips() && IsWindowVisible(bar_->tips()->window()); }

    static constexpr int kBarX = 300, kBarY = 200;
    TwoUnitBar* bar_ = nullptr;
    BarUnit* pen_ = nullptr;
    BarUnit* menu_ = nullptr;
};

TEST_F(BarTipsTest, RestingOnAUnitShowsItsTipUntilItsTimeEnds) {
    // Onto the pen unit, then a few pixels further: the pointer rests there.
    ASSERT_TRUE(moveMouse(kBarX + 20, kBarY + 20));
    ASSERT_TRUE(moveMouse(kBarX + 26, kBarY + 20));
    const DWORD rested = GetTickCount();
    ASSERT_TRUE(pumpUntil([&] { return tipVisible(); }, 3000)) << "no tip after hovering";
    const DWORD visibleAt = GetTickCount();
    EXPECT_GE(visibleAt - rested, 200u) << "shown before the pointer rested";
    EXPECT_TRUE(pen_->state() & 0x2) << "the unit under the pointer hovers";
    Tips* tips = bar_->tips();
    EXPECT_EQ(tips->text(), L"Pen On/Off");
    EXPECT_EQ(tips->tag(), reinterpret_cast<UINT_PTR>(pen_));
    // Beside the cursor, inside the screen.
    RECT r = {};
    GetWindowRect(tips->window(), &r);
    EXPECT_GE(r.left, kBarX);
    EXPECT_LE(r.left, kBarX + 40);
    screenshot::Result shot =
        screenshot::checkWindow(tips->window(), TIPS_REFERENCES, "bar_unit_tip");
    EXPECT_TRUE(shot.ok) << shot.message;

    // It goes on its own timer and is not shown again while the pointer rests.
    ASSERT_TRUE(pumpUntil([&] { return !tipVisible(); }, 8000)) << "the tip stayed";
    const DWORD upFor = GetTickCount() - visibleAt;
    EXPECT_GE(upFor, 4800u) << "hidden before its show time";
    EXPECT_LE(upFor, 6500u);
    pump(800);
    EXPECT_FALSE(tipVisible()) << "shown again for the same unit";
}

TEST_F(BarTipsTest, AnotherUnitShowsItsOwnTipAndLeavingHidesIt) {
    ASSERT_TRUE(moveMouse(kBarX + 20, kBarY + 20));
    ASSERT_TRUE(moveMouse(kBarX + 26, kBarY + 20));
    ASSERT_TRUE(pumpUntil([&] { return tipVisible(); }, 3000));
    EXPECT_EQ(bar_->tips()->text(), L"Pen On/Off");

    ASSERT_TRUE(moveMouse(kBarX + 90, kBarY + 20));
    ASSERT_TRUE(
        pumpUntil([&] { return tipVisible() && bar_->tips()->text() == L"Open menu"; }, 3000))
        << "the second unit's tip";
    EXPECT_FALSE(pen_->state() & 0x2);
    EXPECT_TRUE(menu_->state() & 0x2);

    ASSERT_TRUE(moveMouse(5, 5));
    ASSERT_TRUE(pumpUntil([&] { return !tipVisible(); }, 3000)) << "the tip stays off the bar";
    EXPECT_TRUE(pumpUntil([&] { return !(menu_->state() & 0x2); }, 2000))
        << "leaving the bar clears the hover";
    EXPECT_EQ(bar_->tips()->tag(), Tips::kNoTag);
}

TEST_F(BarTipsTest, ThreePosted8027AreHandledOnce) {
    for (int i = 0; i < 3; ++i) PostMessageW(bar_->window(), 8027, 0, 0);
    pump(200);
    EXPECT_EQ(bar_->coalesced, 1);
    PostMessageW(bar_->window(), 8027, 0, 0);
    pump(200);
    EXPECT_EQ(bar_->coalesced, 2) << "a later burst is handled again";
}

}  // namespace
