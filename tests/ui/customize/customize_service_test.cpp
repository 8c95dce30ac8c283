// The main menu's "&Customize Toolbar..." in the running service: the dialog
// opens over the service window on the main bar, inside the ink manager's
// mouse-transparent mode (so no click on it becomes ink), and Cancel leaves
// that mode again.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "core/AppGlobals.h"
#include "core/ServiceState.h"
#include "core/Settings.h"
#include "ink/LocalInkManager.h"
#include "resources/resource.h"
#include "shell/ServiceWindow.h"
#include "shell/Startup.h"
#include "tests/shell/FakeHookLibrary.h"
#include "tests/shell/TestSupport.h"
#include "tests/support/HostShell.h"
#include "tests/ui/customize/DialogClicks.h"
#include "ui/customize/MarkupCustomization.h"
#include "ui/customize/ToolbarCustomization.h"
#include "ui/mainbar/MainBar.h"
#include "ui/markup/MarkupBar.h"

namespace {

using dialogclicks::xdotool;

// The service runs with the hook library faked, and is closed as a user
// closes it.
class CustomizeFromTheService : public ::testing::Test {
  protected:
    void SetUp() override {
        const int off = 0;
        WriteSetting(nullptr, L"showIntroScreen", &off, SETTING_NUMBER, 0);
        WriteSetting(nullptr, L"runAutoUpdate", &off, SETTING_NUMBER, 0);
        previous_ = setHookLibrary(&fake_);
        service_ = startInkService(GetModuleHandleW(nullptr), L"");
        ASSERT_NE(service_, nullptr);
        ASSERT_TRUE(sxtest::pumpUntil([] { return appGlobals().servicesStarted.load(); }, 15000));
        sxtest::pumpUntil([] { return false; }, 300);
    }
    void TearDown() override {
        if (service_) {
            PostMessageW(service_, WM_CLOSE, 0, 0);
            sxtest::runUntilQuit(5000);
            stopInkService();
            sxtest::dropQuit();
        }
        setHookLibrary(previous_ == &fake_ ? nullptr : previous_);
    }

    sxtest::TestSettingsKey key_{L"customize-service"};
    FakeHookLibrary fake_;
    HookLibrary* previous_ = nullptr;
    HWND service_ = nullptr;
};

TEST_F(CustomizeFromTheService, OpensOnTheMainBarInsideMouseTransparentMode) {

    struct Seen {
        bool opened = false;
        HWND owner = nullptr;
        bool transparent = false;
        bool onTheBar = false;
    } seen;
    std::thread user([&] {
        HWND dialog = nullptr;
        seen.opened = sxtest::waitUntil(
            [&] { return (dialog = toolbarCustomizationWindow()) != nullptr; }, 10000);
        if (!seen.opened) return;
        Sleep(300);
        seen.owner = GetWindow(dialog, GW_OWNER);
        LocalInkManager* manager = getLocalInkManager();
        seen.transparent = manager && manager->isMouseTransparent();
        CMainBar* bar = mainBar();
        seen.onTheBar = bar && (IsDlgButtonChecked(dialog, IDC_CUSTOMIZE_PEN) == BST_CHECKED) ==
                                   ((bar->buttonsMask() & 1) != 0);
        RECT r = {};
        GetWindowRect(GetDlgItem(dialog, IDCANCEL), &r);
        xdotool("mousemove " + std::to_string((r.left + r.right) / 2) + " " +
                std::to_string((r.top + r.bottom) / 2) + " click 1 mousemove 5 5");
        if (!sxtest::waitUntil([] { return toolbarCustomizationWindow() == nullptr; }, 3000))
            if (HWND still = toolbarCustomizationWindow())
                PostMessageW(still, WM_COMMAND, IDCANCEL, 0);
    });
    runMenuCommand(21);
    user.join();

    EXPECT_TRUE(seen.opened) << "the menu command opened no dialog";
    EXPECT_EQ(seen.owner, service_);
    EXPECT_TRUE(seen.transparent) << "the dialog ran outside mouse-transparent mode";
    EXPECT_TRUE(seen.onTheBar);
    LocalInkManager* manager = getLocalInkManager();
    ASSERT_NE(manager, nullptr);
    EXPECT_FALSE(manager->isMouseTransparent()) << "the mode was not left";
}

// In markup mode the same command opens the markup bar's dialog, also inside
// mouse-transparent mode; its choice reaches the markup bar and the store.
TEST_F(CustomizeFromTheService, InMarkupModeOpensTheMarkupBarsDialog) {
    serviceState().markupMode = true;

    struct Seen {
        bool opened = false;
        bool transparent = false;
        bool toolbarDialog = false;
    } seen;
    std::thread user([&] {
        HWND dialog = nullptr;
        seen.opened = sxtest::waitUntil(
            [&] { return (dialog = markupCustomizationWindow()) != nullptr; }, 10000);
        seen.toolbarDialog = toolbarCustomizationWindow() != nullptr;
        if (!seen.opened) return;
        Sleep(300);
        LocalInkManager* manager = getLocalInkManager();
        seen.transparent = manager && manager->isMouseTransparent();
        for (int id : {IDC_CUSTOMIZE_EXTENDED, IDOK}) {
            RECT r = {};
            GetWindowRect(GetDlgItem(dialog, id), &r);
            const int x = id == IDOK ? (r.left + r.right) / 2 : r.left + 6;
            xdotool("mousemove " + std::to_string(x) + " " +
                    std::to_string((r.top + r.bottom) / 2) + " click 1 mousemove 5 5");
            Sleep(200);
        }
        if (!sxtest::waitUntil([] { return markupCustomizationWindow() == nullptr; }, 3000))
            if (HWND still = markupCustomizationWindow())
                PostMessageW(still, WM_COMMAND, IDCANCEL, 0);
    });
    runMenuCommand(21);
    user.join();
    serviceState().markupMode = false;

    EXPECT_TRUE(seen.opened) << "the menu command opened no markup dialog";
    EXPECT_FALSE(seen.toolbarDialog);
    EXPECT_TRUE(seen.transparent);
    EXPECT_EQ(readMarkupPenTable().showMode, APPEARANCE_EXTENDED);
    if (CMarkupBar* bar = markupBar()) {
        EXPECT_FALSE(bar->compact());
    }
}

}  // namespace
