// The settings dialog on the X display: its tabs, the page protocol of
// Apply, Reset, OK, Cancel and Escape, the pages over the registry settings
// and the screenshots of what the user sees.
#include <gtest/gtest.h>

#include "core/AppGlobals.h"
#include "core/ServiceMessages.h"
#include "shell/ServiceWindow.h"
#include "tests/support/Screenshot.h"
#include "tests/ui/settings/DialogDriver.h"
#include "tests/ui/settings/SettingsTestSupport.h"
#include "ui/settings/SettingsHost.h"
#include "ui/settings/SettingsPages.h"

namespace {

const wchar_t kCaption[] = L"Scribix Settings";
const std::string kReferences = SETTINGS_REFERENCES;

class SettingsDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setRememberedSettingsPage(0);
        forceSettingsPageCount(6);
        // The dialog opens near the cursor: the same place every run.
        st::xdotool("mousemove 400 300");
    }
    void TearDown() override { forceSettingsPageCount(0); }

    // Opens the dialog the way the service window's message does.
    bool open(driver::Driver& steps, int titleId = 0) {
        return steps.run([titleId] { openSettingsDialog(titleId); });
    }

    st::SettingsFixture settings;
};

TEST_F(SettingsDialogTest, OpensWithSixTabsOnTheRememberedPage) {
    std::vector<std::wstring> titles;
    bool apply = true;
    bool wasOpen = false;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        wasOpen = isSettingsDialogOpen();
        titles = st::tabTitles(st::tabOf(dialog));
        apply = IsWindowEnabled(GetDlgItem(dialog, kSettingsApply)) != FALSE;
        const auto shot = screenshot::checkWindow(dialog, kReferences, "settings-general");
        EXPECT_TRUE(shot.ok) << shot.message;
        driver::click(dialog, kSettingsCancel);
    });
    ASSERT_TRUE(open(steps));
    EXPECT_TRUE(wasOpen);
    EXPECT_FALSE(isSettingsDialogOpen());
    EXPECT_EQ(titles, (std::vector<std::wstring>{L"General", L"Input", L"Ink", L"WordMenu",
                                                 L"Macros", L"Reco"}));
    EXPECT_FALSE(apply) << "nothing to apply at opening";
}

// Counts the shown settings dialogs of this thread.
int shownSettingsDialogs() {
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM parameter) CALLBACK -> BOOL {
            wchar_t text[64] = {};
            GetWindowTextW(window, text, 64);
            if (IsWindowVisible(window) && std::wstring(text) == kCaption)
                ++*reinterpret_cast<int*>(parameter);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

TEST_F(SettingsDialogTest, TheServiceWindowsMessageOpensOneDialogOnThePageAsked) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ServiceWndProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"SettingsTestServiceWndClass";
    RegisterClassW(&windowClass);
    HWND service = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10,
                                   nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(service, nullptr);
    appGlobals().serviceWindow = service;
    int shown = -1, dialogs = 0;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        shown = st::selectedTab(dialog);
        // A second request while the dialog is open is turned away.
        PostMessageW(service, WM_INK_OPEN_SETTINGS, 9, 0);
        driver::pump(300);
        dialogs = shownSettingsDialogs();
        driver::click(dialog, kSettingsCancel);
    });
    const bool ran = steps.run([&] { SendMessageW(service, WM_INK_OPEN_SETTINGS, 29, 0); });
    appGlobals().serviceWindow = nullptr;
    DestroyWindow(service);
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    ASSERT_TRUE(ran);
    EXPECT_EQ(shown, 4) << "\"Macros\"";
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(rememberedSettingsPage(), 4);
}

TEST_F(SettingsDialogTest, AltAndCtrlHeldAtOpeningAddTuneupAndTouch) {
    forceSettingsPageCount(0);
    // The keys reach the program through a window of its own that has the focus.
    HWND focus = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"keys", WS_POPUP | WS_VISIBLE, 100, 100,
                                 80, 40, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(focus);
    SetFocus(focus);
    driver::pump(200);
    ASSERT_TRUE(st::xdotool("keydown ctrl keydown alt"));
    driver::pump(200);
    std::vector<std::wstring> titles;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        titles = st::tabTitles(st::tabOf(dialog));
        st::xdotool("keyup alt keyup ctrl");
        driver::click(dialog, kSettingsCancel);
    });
    const bool ran = open(steps);
    st::xdotool("keyup alt keyup ctrl");
    DestroyWindow(focus);
    ASSERT_TRUE(ran);
    EXPECT_EQ(titles, (std::vector<std::wstring>{L"General", L"Input", L"Ink", L"WordMenu",
                                                 L"Macros", L"Reco", L"Tuneup", L"Touch"}));
}

TEST_F(SettingsDialogTest, TheMessageArgumentChoosesTheFirstPage) {
    const struct {
        int titleId;
        int pages;
        int remembered;
        int shown;
    } cases[] = {
        {29, 6, 0, 4},                  // "Macros"
        {9, 6, 0, 5},                   // "Reco"
        {0, 6, 3, 3},                   // no argument: the page shown last time
        {31, 6, 0, 0},                  // "Touch" is not in use: the first tab
        {31, 8, 0, 7}, {999, 6, 2, 2},  // no page has the id: the remembered page stays
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.titleId);
        setRememberedSettingsPage(c.remembered);
        forceSettingsPageCount(c.pages);
        int shown = -1;
        bool pageVisible = false;
        driver::Driver steps;
        steps.then(kCaption, [&](HWND dialog) {
            shown = st::selectedTab(dialog);
            pageVisible = IsWindowVisible(settingsPageWindow(shown)) != FALSE;
            driver::click(dialog, kSettingsCancel);
        });
        ASSERT_TRUE(open(steps, c.titleId));
        EXPECT_EQ(shown, c.shown);
        EXPECT_TRUE(pageVisible);
    }
}

TEST_F(SettingsDialogTest, EscapeClosesOnlyWhenNothingWaitsToBeApplied) {
    bool applyAfterClick = false, openAfterEscape = false, applyAfterApply = true;
    int storedAfterApply = -1;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        HWND general = settingsPageWindow(0);
        st::clickControl(GetDlgItem(general, 2028));  // "&Show Intro Screen"
        driver::pump(200);
        applyAfterClick = IsWindowEnabled(GetDlgItem(dialog, kSettingsApply)) != FALSE;
        driver::typeLater("Escape");
    });
    steps.thenAfter(1000, kCaption, [&](HWND dialog) {
        openAfterEscape = IsWindowVisible(dialog) != FALSE;
        st::clickControl(GetDlgItem(dialog, kSettingsApply));
        driver::pump(200);
        applyAfterApply = IsWindowEnabled(GetDlgItem(dialog, kSettingsApply)) != FALSE;
        storedAfterApply = st::storedNumber(nullptr, L"showIntroScreen");
        driver::typeLater("Escape");
    });
    ASSERT_TRUE(open(steps, 0));
    EXPECT_TRUE(applyAfterClick);
    EXPECT_TRUE(openAfterEscape) << "Escape with a change pending is ignored";
    EXPECT_FALSE(applyAfterApply);
    EXPECT_EQ(storedAfterApply, 0) << "Apply writes the registry";
    EXPECT_FALSE(isSettingsDialogOpen()) << "Escape after Apply closes";
}

TEST_F(SettingsDialogTest, ResetReloadsThePageAndEnablesApply) {
    bool checkedAfterReset = false, applyAfterReset = false;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        HWND general = settingsPageWindow(0);
        driver::click(general, 2042);  // "Clear ink when exiting Markup", unchecked at first
        CheckDlgButton(general, 2042, BST_CHECKED);
        driver::click(dialog, kSettingsReset);
        checkedAfterReset = st::isChecked(general, 2042);
        applyAfterReset = IsWindowEnabled(GetDlgItem(dialog, kSettingsApply)) != FALSE;
        driver::click(dialog, kSettingsCancel);
    });
    ASSERT_TRUE(open(steps));
    EXPECT_FALSE(checkedAfterReset) << "the page shows the settings in memory again";
    EXPECT_TRUE(applyAfterReset);
    EXPECT_EQ(generalSettings().clearInkOnExit, 0) << "Cancel keeps the settings";
}

TEST_F(SettingsDialogTest, ApplyRecreatesTheShownPageFromTheSettings) {
    HWND before = nullptr, after = nullptr;
    bool boxAfter = true;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        before = settingsPageWindow(0);
        driver::click(before, 2030);
        CheckDlgButton(before, 2030, BST_UNCHECKED);  // "Check &for auto-upgrades"
        driver::click(dialog, kSettingsApply);
        after = settingsPageWindow(0);
        boxAfter = st::isChecked(after, 2030);
        driver::click(dialog, kSettingsCancel);
    });
    ASSERT_TRUE(open(steps));
    EXPECT_NE(before, after);
    EXPECT_NE(after, nullptr);
    EXPECT_FALSE(boxAfter);
    EXPECT_EQ(generalSettings().runAutoUpdate, 0);
    EXPECT_EQ(generalSettings().autoUpdateLastAsk, 0);
}

}  // namespace
