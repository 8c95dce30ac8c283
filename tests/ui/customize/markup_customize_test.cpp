// The markup bar's customization dialog driven on the X display with xdotool
// as a user would: its opening state for each stored choice (with a reference
// shot), Apply then Cancel, OK, Enter before any change, and the service's
// entry over stored settings when there is no markup bar.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "core/AppGlobals.h"
#include "core/PendingServices.h"
#include "core/Settings.h"
#include "resources/resource.h"
#include "tests/support/HostShell.h"
#include "tests/ui/customize/DialogClicks.h"
#include "tests/support/Screenshot.h"
#include "ui/customize/MarkupCustomization.h"
#include "ui/markup/MarkupBar.h"

namespace {

using namespace dialogclicks;

// A markup bar that records what the dialog stores in it.
class FakeMarkupBar : public CustomizableMarkupBar {
  public:
    std::atomic<bool> hide{false};
    std::atomic<int> size{3};
    std::atomic<int> show{3};
    std::atomic<int> applies{0};

    bool autoHide() const override { return hide; }
    int sizeModeSetting() const override { return size; }
    int showMode() const override { return show; }
    void applyChoice(bool autoHide, int sizeModeSetting, int showMode) override {
        hide = autoHide;
        size = sizeModeSetting;
        show = showMode;
        ++applies;
    }
};


const int kSizeRadios[3] = {IDC_CUSTOMIZE_LARGE, IDC_CUSTOMIZE_SMALL, IDC_CUSTOMIZE_SIZE_AUTO};
const int kShowRadios[3] = {IDC_CUSTOMIZE_COMPACT, IDC_CUSTOMIZE_EXTENDED,
                            IDC_CUSTOMIZE_APPEARANCE_AUTO};

class MarkupCustomizeTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { appGlobals().instance = GetModuleHandleW(nullptr); }
    void SetUp() override {
        resetSettingsToDefaults();
        xdotool("mousemove 5 5");
    }

    static INT_PTR drive(const std::function<INT_PTR()>& open,
                         const std::function<void(HWND)>& driver) {
        return driveDialog(&markupCustomizationWindow, open, driver);
    }
    INT_PTR run(FakeMarkupBar& bar, const std::function<void(HWND)>& driver) {
        return drive([&] { return runMarkupCustomization(bar, nullptr); }, driver);
    }
};

TEST(MarkupChoiceTest, AppearanceFromTheRadios) {
    const struct {
        bool compact, extended;
        int show;
    } cases[] = {{false, false, 3}, {true, false, 1}, {false, true, 2}, {true, true, 1}};
    for (const auto& c : cases) {
        MarkupChoice choice;
        choice.compact = c.compact;
        choice.extended = c.extended;
        EXPECT_EQ(showModeFromChoice(choice), c.show) << c.compact << c.extended;
    }
}

TEST_F(MarkupCustomizeTest, OpensWithTheBarsChoicesAndNothingToCommit) {
    const struct Case {
        const char* name;
        bool autoHide;
        int size, show;
        const char* shot;
    } cases[] = {
        {"defaults", false, 3, 3, "markup_customize_open"},
        {"large, compact, hiding", true, 2, 1, nullptr},
        {"small, extended", false, 1, 2, nullptr},
        {"values outside the radios", false, 0, 9, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeMarkupBar bar;
        bar.hide = c.autoHide;
        bar.size = c.size;
        bar.show = c.show;
        bool hide = false, size[3] = {}, show[3] = {}, commit = true;
        std::wstring title;
        screenshot::Result shot{true, "", ""};
        const INT_PTR result = run(bar, [&](HWND dialog) {
            hide = checked(dialog, IDC_CUSTOMIZE_AUTO_HIDE);
            for (int i = 0; i < 3; ++i) {
                size[i] = checked(dialog, kSizeRadios[i]);
                show[i] = checked(dialog, kShowRadios[i]);
            }
            commit = enabled(dialog, IDOK) || enabled(dialog, IDC_CUSTOMIZE_APPLY);
            wchar_t text[64] = {};
            GetWindowTextW(dialog, text, 64);
            title = text;
            if (c.shot) shot = screenshot::checkWindow(dialog, CUSTOMIZE_REFERENCES, c.shot);
            click(dialog, IDCANCEL);
        });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(title, L"Customize Markup Bar");
        EXPECT_EQ(hide, c.autoHide);
        for (int i = 0; i < 3; ++i) {
            const int sizeValue = i == 0 ? 2 : i == 1 ? 1 : 3;  // Large, Small, Auto
            EXPECT_EQ(size[i], c.size == sizeValue) << "size radio " << i;
            EXPECT_EQ(show[i], c.show == i + 1) << "appearance radio " << i;
        }
        EXPECT_FALSE(commit) << "OK or Apply enabled before a change";
        EXPECT_TRUE(shot.ok) << shot.message;
        EXPECT_EQ(bar.applies, 0);
    }
}

TEST_F(MarkupCustomizeTest, ApplyStoresThenCancelKeepsWhatWasApplied) {
    FakeMarkupBar bar;
    bool applyEnabled = false, commitAfterApply = true;
    int showAfterApply = 0;
    const INT_PTR result = run(bar, [&](HWND dialog) {
        click(dialog, IDC_CUSTOMIZE_EXTENDED);
        click(dialog, IDC_CUSTOMIZE_AUTO_HIDE);
        applyEnabled = enabled(dialog, IDC_CUSTOMIZE_APPLY);
        click(dialog, IDC_CUSTOMIZE_APPLY);
        waitFor([&] { return bar.applies > 0; }, 3000);
        commitAfterApply = enabled(dialog, IDOK) || enabled(dialog, IDC_CUSTOMIZE_APPLY);
        showAfterApply = bar.show;
        click(dialog, IDC_CUSTOMIZE_SMALL);  // dropped by Cancel
        click(dialog, IDCANCEL);
    });
    EXPECT_TRUE(applyEnabled);
    EXPECT_FALSE(commitAfterApply);
    EXPECT_EQ(showAfterApply, 2);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(bar.applies, 1);
    EXPECT_EQ(bar.show, 2);
    EXPECT_TRUE(bar.hide);
    EXPECT_EQ(bar.size, 3) << "Cancel stored the later change";
}

TEST_F(MarkupCustomizeTest, OkStoresAndEndsButEnterBeforeAChangeDoesNothing) {
    FakeMarkupBar bar;
    bool stayed = false;
    INT_PTR result = run(bar, [&](HWND dialog) {
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);  // what Enter does
        Sleep(200);
        stayed = markupCustomizationWindow() == dialog;
        click(dialog, IDCANCEL);
    });
    EXPECT_TRUE(stayed);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(bar.applies, 0);

    result = run(bar, [&](HWND dialog) {
        click(dialog, IDC_CUSTOMIZE_LARGE);
        click(dialog, IDC_CUSTOMIZE_COMPACT);
        click(dialog, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(bar.applies, 1);
    EXPECT_EQ(bar.size, 2);
    EXPECT_EQ(bar.show, 1);
    EXPECT_FALSE(bar.hide);
}

// A second request while the dialog is open brings that one forward instead
// of opening another over the same settings.
TEST_F(MarkupCustomizeTest, ASecondRequestKeepsTheOpenDialog) {
    FakeMarkupBar bar, other;
    INT_PTR second = -2;
    HWND stillOpen = nullptr;
    run(bar, [&](HWND dialog) {
        second = runMarkupCustomization(other, nullptr);
        stillOpen = markupCustomizationWindow() == dialog ? dialog : nullptr;
        click(dialog, IDCANCEL);
    });
    EXPECT_EQ(second, 0);
    EXPECT_NE(stillOpen, nullptr);
    EXPECT_EQ(markupCustomizationWindow(), nullptr);
}

// The service's entry without a markup bar: the stored table is edited, and
// nothing else in it is lost.
TEST_F(MarkupCustomizeTest, TheServiceEntryEditsTheStoredMarkupSettings) {
    const std::wstring key = L"Software\\Zorvane\\ScribixTest\\markup-customize-" +
                             std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    setSettingsRootKey(key.c_str());
    const int extended = 2, width = 12;
    WriteSetting(L"MarkupBar", L"showMode", &extended, SETTING_NUMBER, 0);
    WriteSetting(L"MarkupBar", L"lastPencilWidth", &width, SETTING_NUMBER, 0);
    ASSERT_EQ(markupBar(), nullptr);

    bool sawStored = false;
    drive(
        [] {
            showMarkupCustomizeDialog(nullptr);
            return INT_PTR(0);
        },
        [&](HWND dialog) {
            sawStored = checked(dialog, IDC_CUSTOMIZE_EXTENDED);
            click(dialog, IDC_CUSTOMIZE_COMPACT);
            click(dialog, IDC_CUSTOMIZE_AUTO_HIDE);
            click(dialog, IDOK);
        });
    const MarkupPenTable table = readMarkupPenTable();
    setSettingsRootKey(nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    EXPECT_TRUE(sawStored);
    EXPECT_EQ(table.showMode, 1);
    EXPECT_EQ(table.autoHide, 1);
    EXPECT_EQ(table.sizeMode, 3);
    EXPECT_EQ(table.lastPencilWidth, 12);
}

}  // namespace
