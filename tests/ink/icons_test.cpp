// The notification-area icon: its picture follows the pen state, a click
// toggles the pen, and a press held still for "IconHoldTimeout" (the hold
// timer on the service window) opens the program menu; a right click or a
// double click opens it too.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "InkTestSupport.h"
#include "resources/resource.h"
#include "ink/IconsManager.h"
#include "core/ServiceMessages.h"
#include "shell/ServiceWindow.h"

namespace {

// Stands for the service window: records the menu requests and, like the
// service window, hands its icon hold timers to the icons.
class ServiceStandIn {
  public:
    ServiceStandIn() {
        window_ = sxtest::createTestWindow(L"SxIconServiceStandIn", proc, WS_EX_TOOLWINDOW,
                                           WS_POPUP, -300, -300, 10, 10);
        appGlobals().serviceWindow = window_;
        menus() = 0;
    }
    ~ServiceStandIn() {
        appGlobals().serviceWindow = nullptr;
        DestroyWindow(window_);
    }
    static int& menus() {
        static int n = 0;
        return n;
    }
    // The menu requests that arrived (they are posted).
    static int menusPosted() {
        sxtest::pumpUntil([] { return false; }, 20);
        return menus();
    }

  private:
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_INK_MAIN_MENU && wp == 1 && lp == 6) ++menus();
        if (m == WM_TIMER && (wp & 0xFFFF) == TIMER_ICON_HOLD) {
            KillTimer(w, wp);
            iconsManagerMessage(static_cast<UINT>(wp >> 16), ICON_HOLD_EXPIRED);
            return 0;
        }
        return DefWindowProcW(w, m, wp, lp);
    }
    HWND window_;
};

POINT g_cursor = {0, 0};
BOOL WINAPI fakeCursor(POINT* p) {
    *p = g_cursor;
    return TRUE;
}

class IconsTest : public inktest::InkManagerFixture {
  protected:
    void SetUp() override {
        InkManagerFixture::SetUp();
        appGlobals().instance = GetModuleHandleW(nullptr);
        InkIcon::setCursorSource(fakeCursor);
        InkIcon::resetHoldState();
        // The pen-event thread and the pen icon, as at start-up.
        ASSERT_TRUE(manager_->createIconsManager());
        icons_ = manager_->getIconsManager();
        icon_ = static_cast<PenIcon*>(icons_->iconById(1));
    }
    void TearDown() override {
        InkIcon::setCursorSource(nullptr);
        InkIcon::resetHoldState();
        InkManagerFixture::TearDown();
    }
    void mouse(UINT message, POINT at = {10, 10}) {
        g_cursor = at;
        icons_->onTrayMessage(1, message);
    }
    int penOn() { return manager_->getPenState().penOn; }

    ServiceStandIn service_;
    IconsManager* icons_ = nullptr;
    PenIcon* icon_ = nullptr;
};

TEST_F(IconsTest, PictureFollowsThePenAndWhatHoldsItOff) {
    ASSERT_NE(icon_, nullptr);
    EXPECT_STREQ(icon_->tip(), L"Pen On/Off");
    manager_->setPenOn(1);
    EXPECT_EQ(icon_->state(), 1);
    EXPECT_NE(icon_->icon(), nullptr);
    const HICON on = icon_->icon();
    struct {
        const char* what;
        std::function<void()> enter, leave;
    } holders[] = {
        {"pen off", [&] { manager_->setPenOn(0); }, [&] { manager_->setPenOn(1); }},
        {"mouse-transparent", [&] { manager_->beginMouseTransparent(); },
         [&] { manager_->endMouseTransparent(); }},
        {"markup mode",
         [&] {
             serviceState().markupMode = true;
             manager_->broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
         },
         [&] {
             serviceState().markupMode = false;
             manager_->broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
         }},
        {"automatic pen-off fired",
         [&] {
             serviceState().autoPenOffPending = true;
             manager_->broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
         },
         [&] {
             serviceState().autoPenOffPending = false;
             manager_->broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
         }},
    };
    for (auto& h : holders) {
        h.enter();
        EXPECT_EQ(icon_->state(), 0) << h.what;
        EXPECT_NE(icon_->icon(), on) << h.what;
        h.leave();
        EXPECT_EQ(icon_->state(), 1) << h.what;
        EXPECT_EQ(icon_->icon(), on);
    }
    EXPECT_FALSE(icon_->modify()) << "no change, nothing to show";
}

// The pen event comes from the recognition thread and the UI thread. One
// thread finds the pen on and is slow to hand the picture over; meanwhile the
// pen goes off on another: the picture shown last is the one for pen off.
struct SlowSink {
    static HANDLE release;
    static std::atomic<DWORD> slowThread;
    static std::mutex lock;
    static std::vector<std::pair<DWORD, HICON>> shown;  // action, picture
    static BOOL WINAPI notify(DWORD action, PNOTIFYICONDATAW data) {
        if (GetCurrentThreadId() == slowThread) WaitForSingleObject(release, 5000);
        std::lock_guard<std::mutex> guard(lock);
        shown.push_back({action, data->hIcon});
        return TRUE;
    }
};
HANDLE SlowSink::release = nullptr;
std::atomic<DWORD> SlowSink::slowThread{0};
std::mutex SlowSink::lock;
std::vector<std::pair<DWORD, HICON>> SlowSink::shown;

TEST_F(IconsTest, PictureShownLastFollowsThePenWhenTwoThreadsReportAtOnce) {
    manager_->setPenOn(1);
    const HICON on = icon_->icon();
    manager_->setPenOn(0);
    const HICON off = icon_->icon();
    ASSERT_NE(on, off);
    SlowSink::release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SlowSink::shown.clear();
    InkIcon::setNotifySink(SlowSink::notify);
    std::atomic<bool> onDone{false}, offDone{false};
    std::thread slow([&] {
        SlowSink::slowThread = GetCurrentThreadId();
        manager_->setPenOn(1);  // finds the pen on, then waits in the notification area
        onDone = true;
    });
    ASSERT_TRUE(sxtest::pumpUntil([&] { return icon_->state() == 1; }, 2000));
    std::thread other([&] {
        manager_->setPenOn(0);
        offDone = true;
    });
    sxtest::pumpUntil([] { return false; }, 300);
    SetEvent(SlowSink::release);
    sxtest::pumpUntil([&] { return onDone && offDone; }, 5000);
    slow.join();
    other.join();
    InkIcon::setNotifySink(nullptr);
    CloseHandle(SlowSink::release);
    ASSERT_EQ(penOn(), 0);
    EXPECT_EQ(icon_->state(), 0);
    ASSERT_FALSE(SlowSink::shown.empty());
    EXPECT_EQ(SlowSink::shown.back().second, off) << "the notification area shows the pen on";
}

TEST_F(IconsTest, ClickTogglesThePen) {
    manager_->setPenOn(1);
    mouse(ICON_MOUSE_MOVE);
    mouse(ICON_LEFT_DOWN);
    mouse(ICON_LEFT_UP);
    EXPECT_EQ(penOn(), 0);
    EXPECT_EQ(icon_->state(), 0);
    mouse(ICON_LEFT_DOWN);
    mouse(ICON_LEFT_UP);
    EXPECT_EQ(penOn(), 1);
    mouse(ICON_LEFT_UP);
    EXPECT_EQ(penOn(), 1) << "a release without a press does nothing";
    manager_->beginMouseTransparent();
    mouse(ICON_LEFT_DOWN);
    mouse(ICON_LEFT_UP);
    EXPECT_EQ(penOn(), 1) << "not while a dialog or menu runs";
    manager_->endMouseTransparent();
    EXPECT_EQ(ServiceStandIn::menusPosted(), 0);
}

struct HoldCase {
    const char* name;
    int holdTimeout;
    POINT pressAt, heldAt;
    int menus;     // menus opened by the hold
    int penAfter;  // the pen after the release that follows
};

class IconHold : public IconsTest, public testing::WithParamInterface<HoldCase> {};

TEST_P(IconHold, PressHeldStillOpensTheMenuAndTheReleaseDoesNotToggle) {
    const HoldCase& c = GetParam();
    icons_->setHoldTimeout(c.holdTimeout);
    manager_->setPenOn(1);
    mouse(ICON_MOUSE_MOVE, c.pressAt);
    mouse(ICON_LEFT_DOWN, c.pressAt);
    g_cursor = c.heldAt;
    if (c.holdTimeout > 0) {
        // The service window's timer fires and hands the hold to the icon.
        sxtest::pumpUntil([] { return false; }, static_cast<DWORD>(c.holdTimeout) + 150);
    } else {
        icons_->onTrayMessage(1, ICON_HOLD_EXPIRED);  // a stray expiry is refused
    }
    EXPECT_EQ(ServiceStandIn::menusPosted(), c.menus);
    mouse(ICON_LEFT_UP, c.heldAt);
    EXPECT_EQ(penOn(), c.penAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IconHold,
    testing::Values(HoldCase{"HeldStill", 60, {10, 10}, {10, 10}, 1, 1},
                    HoldCase{"MovedThreePixels", 60, {10, 10}, {13, 7}, 1, 1},
                    HoldCase{"MovedFourPixelsCancels", 60, {10, 10}, {14, 10}, 0, 0},
                    HoldCase{"MovedFourPixelsUpCancels", 60, {10, 10}, {10, 6}, 0, 0},
                    HoldCase{"ZeroTimeoutHasNoHold", 0, {10, 10}, {10, 10}, 0, 0}),
    [](const testing::TestParamInfo<HoldCase>& info) { return info.param.name; });

TEST_F(IconsTest, RightClickAndDoubleClickOpenTheMenu) {
    manager_->setPenOn(1);
    mouse(ICON_RIGHT_DOWN);
    mouse(ICON_RIGHT_UP);
    EXPECT_EQ(ServiceStandIn::menusPosted(), 1);
    EXPECT_EQ(penOn(), 1);
    mouse(ICON_RIGHT_UP);
    EXPECT_EQ(ServiceStandIn::menusPosted(), 1) << "no press, no menu";
    mouse(ICON_LEFT_DOUBLE);
    EXPECT_EQ(ServiceStandIn::menusPosted(), 2);
    EXPECT_EQ(penOn(), 0) << "a double click toggles, then opens the menu";
}

TEST_F(IconsTest, OnlyOnePenIconIsMadeAndOtherKindsNever) {
    EXPECT_TRUE(icons_->addIcon(1)) << "it exists";
    EXPECT_FALSE(icons_->addIcon(2));
    EXPECT_EQ(icons_->iconCount(), 1);
    EXPECT_EQ(icons_->onTrayMessage(7, ICON_LEFT_UP), 0) << "no icon of that id";
    EXPECT_EQ(iconsManagerMessage(1, ICON_MOUSE_MOVE), 1) << "the service window's way in";
    EXPECT_EQ(iconsManagerMessage(3, ICON_MOUSE_MOVE), 0);
    EXPECT_STREQ(icons_->className(), L"IconsManager");
    EXPECT_EQ(icons_->isKindOf(L"LocalMonitoringClient"), 1);
    EXPECT_EQ(icon_->isKindOf(L"InkIcon"), 1);
}

TEST_F(IconsTest, HoldTimeoutIsKeptUnderTheClientsKey) {
    icons_->setHoldTimeout(900);
    manager_->broadcastEvent(INK_EVENT_WRITE_ICON_SETTINGS, 0);
    int stored = 0;
    ASSERT_EQ(ReadSetting(L"InnerIconsManagerClient", L"IconHoldTimeout", &stored,
                          SETTING_NUMBER_DIRECT, 0),
              1);
    EXPECT_EQ(stored, 900);
    const int other = 450;
    WriteSetting(L"InnerIconsManagerClient", L"IconHoldTimeout", &other, SETTING_NUMBER_DIRECT, 0);
    manager_->broadcastEvent(INK_EVENT_READ_ICON_SETTINGS, 0);
    EXPECT_EQ(icons_->holdTimeout(), 450);
    IconsManager fresh;
    EXPECT_EQ(fresh.holdTimeout(), 450) << "read when made";
}

}  // namespace
