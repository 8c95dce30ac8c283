// The customization dialog over the live main bar on the X display: the main
// menu's entry opens it on the bar itself, the bar's buttons are disabled
// while it is open, Apply lays the bar out at once and writes the new button
// set, and Cancel afterwards keeps what was applied.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/AppGlobals.h"
#include "core/PendingServices.h"
#include "core/Settings.h"
#include "resources/resource.h"
#include "tests/support/HostShell.h"
#include "tests/support/Screenshot.h"
#include "ui/customize/ToolbarCustomization.h"
#include "ui/mainbar/MainBar.h"
#include "win/Gdiplus.h"
#include "tests/shell/TestSupport.h"
#include "tests/ui/customize/DialogClicks.h"

namespace {

using sxtest::pumpUntil;
using namespace dialogclicks;

int enabledButtons(CMainBar* bar) {
    int n = 0;
    for (int i = 0; i < bar->buttonCount(); ++i)
        if (!(bar->button(i)->flags & BarButton::DISABLED)) ++n;
    return n;
}

// Runs work on the thread that made it, while that thread runs the dialog:
// the bar's buttons are that thread's, never read from the user's thread.
class UiThreadRunner {
  public:
    UiThreadRunner() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CustomizeTestRunner";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);
    }
    ~UiThreadRunner() { DestroyWindow(window_); }
    // Waits for `work` to have run there.
    void run(const std::function<void()>& work) const {
        SendMessageW(window_, WM_APP, 0, reinterpret_cast<LPARAM>(&work));
    }
    // Leaves `work` to run there (it may run a modal loop of its own).
    void post(const std::function<void()>* work) const {
        PostMessageW(window_, WM_APP, 0, reinterpret_cast<LPARAM>(work));
    }

  private:
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m != WM_APP) return DefWindowProcW(w, m, wp, lp);
        (*reinterpret_cast<const std::function<void()>*>(lp))();
        return 0;
    }
    HWND window_ = nullptr;
};

// The dialogs of this process with the toolbar customization's title.
std::vector<HWND> openCustomizationDialogs() {
    std::vector<HWND> found;
    EnumWindows(
        [](HWND w, LPARAM p) CALLBACK -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            wchar_t title[64] = {};
            GetWindowTextW(w, title, 64);
            if (pid == GetCurrentProcessId() && IsWindowVisible(w) &&
                wcscmp(title, L"Customize toolbar") == 0)
                reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

class MainBarCustomizeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        appGlobals().instance = GetModuleHandleW(nullptr);
        gdiplus_ = win::startGdiplus();
        key_ = L"Software\\Zorvane\\ScribixTest\\mainbar-customize-" +
               std::to_wstring(GetCurrentProcessId());
        RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
        setSettingsRootKey(key_.c_str());
        resetSettingsToDefaults();
        // A small horizontal bar of five buttons, at a known place.
        const int buttons = 55, small = 1, horizontal = 1;
        WriteSetting(L"ToolBar", L"buttons", &buttons, SETTING_NUMBER, 0);
        WriteSetting(L"ToolBar", L"sizeMode", &small, SETTING_NUMBER, 0);
        WriteSetting(L"ToolBar", L"layoutMode", &horizontal, SETTING_NUMBER, 0);
        POINT position = {200, 120};
        WriteSetting(L"ToolBar", L"position", &position, SETTING_POINT, 0);
        xdotool("mousemove 5 5");
    }

    void TearDown() override {
        destroyMainBar();
        pumpUntil([] { return false; }, 100);
        setSettingsRootKey(nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
        resetSettingsToDefaults();
        win::stopGdiplus(gdiplus_);
    }

    std::wstring key_;
    ULONG_PTR gdiplus_ = 0;
};

TEST_F(MainBarCustomizeTest, ApplyLaysTheBarOutAtOnceAndCancelKeepsIt) {
    showMainBarNow();
    CMainBar* bar = mainBar();
    ASSERT_NE(bar, nullptr);
    pumpUntil([] { return false; }, 500);
    ASSERT_EQ(bar->buttonCount(), 5);
    const int enabledBefore = enabledButtons(bar);
    EXPECT_GT(enabledBefore, 0);
    RECT before = {};
    GetWindowRect(bar->hwnd(), &before);

    // The dialog runs modally on this thread, as the service's command does;
    // the user works it from another.
    struct Seen {
        int enabledWhileOpen = -1;
        int buttonsAfterApply = -1;
        int storedAfterApply = -1;
        bool commitAfterApply = true;
    } seen;
    std::atomic<bool> applied{false};
    const UiThreadRunner ui;
    std::thread user([&] {
        HWND dialog = nullptr;
        if (!waitFor([&] { return (dialog = toolbarCustomizationWindow()) != nullptr; }, 10000))
            return;
        Sleep(300);
        ui.run([&] { seen.enabledWhileOpen = enabledButtons(bar); });
        click(dialog, IDC_CUSTOMIZE_MENU);         // 4 off
        click(dialog, IDC_CUSTOMIZE_PUNCTUATION);  // 16 off
        click(dialog, IDC_CUSTOMIZE_APPLY);
        waitFor(
            [&] {
                int count = 0;
                ui.run([&] { count = bar->buttonCount(); });
                return count == 3;
            },
            3000);
        ui.run([&] { seen.buttonsAfterApply = bar->buttonCount(); });
        int stored = -1;
        ReadSetting(L"ToolBar", L"buttons", &stored, SETTING_NUMBER, 0);
        seen.storedAfterApply = stored;
        seen.commitAfterApply =
            IsWindowEnabled(GetDlgItem(dialog, IDOK)) || IsWindowEnabled(GetDlgItem(dialog, 3));
        applied = true;
        click(dialog, IDC_CUSTOMIZE_CORRECTION);  // dropped by Cancel
        click(dialog, IDCANCEL);
        if (HWND still = toolbarCustomizationWindow()) PostMessageW(still, WM_COMMAND, IDCANCEL, 0);
    });
    showCustomizeDialog(255, nullptr);
    user.join();
    pumpUntil([] { return false; }, 300);

    ASSERT_TRUE(applied);
    EXPECT_EQ(seen.enabledWhileOpen, 0) << "the bar's buttons work while the dialog is open";
    EXPECT_EQ(seen.buttonsAfterApply, 3) << "Apply did not lay the bar out";
    EXPECT_EQ(seen.storedAfterApply, 55 & ~4 & ~16) << "the store got the old button set";
    EXPECT_FALSE(seen.commitAfterApply);
    EXPECT_EQ(toolbarCustomizationWindow(), nullptr);
    EXPECT_EQ(bar->buttonsMask(), 55 & ~4 & ~16) << "Cancel undid the applied change";
    EXPECT_EQ(bar->buttonCount(), 3);
    EXPECT_EQ(enabledButtons(bar), enabledBefore - 2) << "the buttons are refreshed at the end";
    RECT after = {};
    GetWindowRect(bar->hwnd(), &after);
    EXPECT_LT(after.right - after.left, before.right - before.left) << "the bar did not shrink";
    screenshot::Result shot =
        screenshot::checkWindow(bar->hwnd(), CUSTOMIZE_REFERENCES, "main_bar_after_apply");
    EXPECT_TRUE(shot.ok) << shot.message;
}

// A second request while the dialog is open (the bar's right-click menu, the
// service's entry) keeps the open one: two dialogs over the same settings
// would let the inner one's end leave the outer without its slot.
TEST_F(MainBarCustomizeTest, ASecondRequestKeepsTheOpenDialog) {
    showMainBarNow();
    ASSERT_NE(mainBar(), nullptr);
    const UiThreadRunner ui;
    const std::function<void()> again = [] { showCustomizeDialog(255, nullptr); };
    struct Seen {
        int dialogs = -1;
        bool sameSlot = false;
    } seen;
    std::thread user([&] {
        HWND dialog = nullptr;
        if (!waitFor([&] { return (dialog = toolbarCustomizationWindow()) != nullptr; }, 10000))
            return;
        Sleep(300);
        ui.post(&again);
        Sleep(1000);
        const std::vector<HWND> open = openCustomizationDialogs();
        seen.dialogs = static_cast<int>(open.size());
        seen.sameSlot = toolbarCustomizationWindow() == dialog;
        // Whatever opened goes, the innermost first.
        for (auto it = open.rbegin(); it != open.rend(); ++it) {
            PostMessageW(*it, WM_COMMAND, IDCANCEL, 0);
            Sleep(300);
        }
    });
    showCustomizeDialog(255, nullptr);
    user.join();
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(seen.dialogs, 1) << "a second dialog opened over the first";
    EXPECT_TRUE(seen.sameSlot);
    EXPECT_EQ(toolbarCustomizationWindow(), nullptr);
}

}  // namespace
