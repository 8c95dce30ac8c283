// The settings dialog on the X display: its tabs, the page protocol of
// Apply, Reset, OK, Cancel and Escape, the pages over the registry settings
// and the screenshots of what the user sees.
#include <gtest/gtest.h>

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

}  // namespace
