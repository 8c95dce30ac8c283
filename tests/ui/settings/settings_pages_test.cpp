// The pages over the registry settings: what each shows and writes back,
// through the dialog on the X display, and the rules of their values.
#include <gtest/gtest.h>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/ServiceMessages.h"
#include "core/ServiceState.h"
#include "tests/support/Screenshot.h"
#include "tests/ui/settings/DialogDriver.h"
#include "tests/ui/settings/SettingsTestSupport.h"
#include "ui/settings/SettingsHost.h"
#include "ui/settings/SettingsPages.h"

namespace {

const wchar_t kCaption[] = L"Scribix Settings";
const std::string kReferences = SETTINGS_REFERENCES;

// The hook library as far as the pages reach it.
class RecordingHooks : public HookLibrary {
  public:
    void setHookTabletMode(int tabletMode, int allowedInputType, int superGesture,
                           int superGestureId, const RECT*) override {
        ++tabletModeCalls;
        lastAllowedInputType = allowedInputType;
    }
    void getTouchParams(int* a, int* b, int* c, int* d, int* e) override {
        *a = touch[0], *b = touch[1], *c = touch[2], *d = touch[3], *e = touch[4];
    }
    void setTouchParams(int a, int b, int c, int d, int e) override {
        touch[0] = a, touch[1] = b, touch[2] = c, touch[3] = d, touch[4] = e;
        ++touchWrites;
    }
    int touch[5] = {20, 20, 250, 500, 120};
    int touchWrites = 0;
    int tabletModeCalls = 0;
    int lastAllowedInputType = -1;
};

TEST(SettingsPageValues, FontSizeIsShownInPointsUpToTheSpinsEnd) {
    const struct {
        int stored, shown;
    } cases[] = {{200, 20}, {60, 6}, {399, 39}, {400, 40}, {450, 40}, {1000, 40}};
    for (const auto& c : cases) EXPECT_EQ(fontSizeShown(c.stored), c.shown) << c.stored;
}

TEST(SettingsPageValues, ShowAfterRecognitionKeepsAnExistingMode) {
    const struct {
        bool checked;
        int before, after;
    } cases[] = {{true, 0, 2}, {true, 1, 1},  {true, 2, 2},
                 {true, 3, 3}, {false, 1, 0}, {false, 0, 0}};
    for (const auto& c : cases) EXPECT_EQ(autoShowAfter(c.checked, c.before), c.after) << c.before;
}

TEST(SettingsPageValues, InputTypeBoxesReplaceOnlyTheirOwnBits) {
    const struct {
        int before;
        bool mouse, pen, finger;
        int after;
    } cases[] = {
        {15, true, true, true, 15}, {15, true, true, false, 11},       {15, false, false, false, 8},
        {0, false, true, false, 2}, {0x107, true, false, true, 0x105},
    };
    for (const auto& c : cases)
        EXPECT_EQ(allowedInputTypeAfter(c.before, c.mouse, c.pen, c.finger), c.after) << c.before;
}

TEST(SettingsPageValues, TouchNumbersAreAllTakenOrNone) {
    const struct {
        const wchar_t* texts[5];
        bool ok;
    } cases[] = {
        {{L"1", L"2", L"3", L"4", L"5"}, true},
        {{L"10", L" 20", L"300 ", L"0", L"100"}, true},
        {{L"1", L"2", L"", L"4", L"5"}, false},
        {{L"1", L"x", L"3", L"4", L"5"}, false},
        {{L"1", L"2", L"3", L"-4", L"5"}, false},
        {{L"1", L"2", L"3", L"4", L"5a"}, false},
        {{L"1", L"2", L"3", L"4", L"99999999999"}, false},
    };
    for (const auto& c : cases) {
        int values[5] = {7, 7, 7, 7, 7};
        EXPECT_EQ(parseTouchParams(c.texts, values), c.ok) << c.texts[0] << "," << c.texts[1];
        if (!c.ok) {
            EXPECT_EQ(values[0], 7) << "a refused set writes nothing";
        }
    }
}

TEST(SettingsPageValues, InkButtonsStandForTheirValues) {
    EXPECT_EQ(inkWidthOfSizeButton(1003), 1);
    EXPECT_EQ(inkWidthOfSizeButton(1006), 5) << "\"Size 4\" is pen width 5";
    EXPECT_EQ(inkWidthOfSizeButton(1001), 0);
    EXPECT_EQ(inkColorIndex(RGB(255, 255, 255)), 0);
    EXPECT_EQ(inkColorIndex(RGB(0, 0, 255)), 3);
    EXPECT_EQ(inkColorIndex(RGB(200, 184, 160)), 31);
    EXPECT_EQ(inkColorIndex(RGB(1, 2, 3)), -1) << "a colour outside the table";
}

class SettingsRoundTripTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = setHookLibrary(&hooks);
        setRememberedSettingsPage(0);
        forceSettingsPageCount(8);
        st::xdotool("mousemove 400 300");
    }
    void TearDown() override {
        forceSettingsPageCount(0);
        setHookLibrary(previous_);
    }
    bool open(driver::Driver& steps) {
        return steps.run([] { openSettingsDialog(0); });
    }

    // Clicks the tab and gives back its page.
    static HWND showTab(HWND dialog, int index) {
        st::clickTab(dialog, index);
        driver::pump(200);
        return settingsPageWindow(index);
    }

    st::SettingsFixture settings;
    RecordingHooks hooks;

  private:
    HookLibrary* previous_ = nullptr;
};

TEST_F(SettingsRoundTripTest, EveryPageWritesItsSettingsAndShowsThemAgain) {
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        HWND general = settingsPageWindow(0);
        st::clickControl(GetDlgItem(general, 2028));  // intro screen off

        HWND input = showTab(dialog, 1);
        ASSERT_NE(input, nullptr);
        st::clickControl(GetDlgItem(input, 2042));  // no finger input
        SetDlgItemTextW(input, 2020, L"2500");
        SetDlgItemTextW(input, 2023, L"700");
        auto shot = screenshot::checkWindow(dialog, kReferences, "settings-input");
        EXPECT_TRUE(shot.ok) << shot.message;

        HWND ink = showTab(dialog, 2);
        ASSERT_NE(ink, nullptr);
        st::clickControl(GetDlgItem(ink, 1006));  // "Size 4"
        st::clickControl(GetDlgItem(ink, 1102));  // red
        st::clickControl(GetDlgItem(ink, 1001));  // "Pen"
        shot = screenshot::checkWindow(dialog, kReferences, "settings-ink");
        EXPECT_TRUE(shot.ok) << shot.message;

        HWND word = showTab(dialog, 3);
        ASSERT_NE(word, nullptr);
        SetDlgItemTextW(word, 3053, L"12");
        st::clickControl(GetDlgItem(word, 3047));  // not shown after recognition
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(word, 3054))) << "no fading time without the menu";
        shot = screenshot::checkWindow(dialog, kReferences, "settings-wordmenu");
        EXPECT_TRUE(shot.ok) << shot.message;

        HWND tuneup = showTab(dialog, 6);
        ASSERT_NE(tuneup, nullptr);
        SetDlgItemTextW(tuneup, 2038, L"25");
        SetDlgItemTextW(tuneup, 2036, L"104");
        shot = screenshot::checkWindow(dialog, kReferences, "settings-tuneup");
        EXPECT_TRUE(shot.ok) << shot.message;

        HWND touch = showTab(dialog, 7);
        ASSERT_NE(touch, nullptr);
        EXPECT_EQ(st::itemText(touch, 3085), L"250") << "from the hook library";
        const wchar_t* values[5] = {L"10", L"11", L"120", L"300", L"150"};
        for (int i = 0; i < 5; ++i) SetDlgItemTextW(touch, 3083 + i, values[i]);
        shot = screenshot::checkWindow(dialog, kReferences, "settings-touch");
        EXPECT_TRUE(shot.ok) << shot.message;

        st::clickControl(GetDlgItem(dialog, kSettingsOk));
    });
    ASSERT_TRUE(open(steps));
    EXPECT_FALSE(isSettingsDialogOpen());

    EXPECT_EQ(st::storedNumber(nullptr, L"showIntroScreen"), 0);
    EXPECT_EQ(st::storedNumber(nullptr, L"allowedInputType"), 11);
    EXPECT_EQ(st::storedNumber(L"InnerSystemClient", L"waitNextStrokeTimeout"), 2500);
    EXPECT_EQ(st::storedNumber(L"InnerSystemClient", L"startHoldTimeout"), 700);
    EXPECT_EQ(st::storedNumber(L"InnerSystemClient", L"endHoldTimeout"), 700);
    EXPECT_EQ(st::storedNumber(L"InnerSystemClient", L"priorityRecFinal"), 104);
    EXPECT_EQ(st::storedNumber(nullptr, L"delayAfterSendSpecSymb"), 25);
    EXPECT_EQ(st::storedNumber(L"WordListBar", L"mainFontSize"), 120);
    EXPECT_EQ(st::storedNumber(L"WordListBar", L"autoShow"), 0);
    PenSettings pen;
    ASSERT_EQ(loadPenSettings(nullptr, &pen), 1);
    EXPECT_EQ(pen.width, 5);
    EXPECT_EQ(pen.type, 1);
    EXPECT_EQ(pen.color, RGB(255, 0, 0));
    EXPECT_EQ(hooks.touchWrites, 1);
    EXPECT_EQ(hooks.touch[4], 150);
    EXPECT_GE(hooks.tabletModeCalls, 1);
    EXPECT_EQ(hooks.lastAllowedInputType, 11);

    // As after a restart: the pages show what the registry holds.
    resetSettingsToDefaults();
    readGeneralSettings();
    readWordListBarSettings();
    bool introShown = true, fingerShown = true;
    std::wstring fontShown, waitShown;
    driver::Driver again;
    again.then(kCaption, [&](HWND dialog) {
        introShown = st::isChecked(settingsPageWindow(0), 2028);
        HWND input = showTab(dialog, 1);
        fingerShown = st::isChecked(input, 2042);
        waitShown = st::itemText(input, 2020);
        fontShown = st::itemText(showTab(dialog, 3), 3053);
        driver::click(dialog, kSettingsCancel);
    });
    ASSERT_TRUE(open(again));
    EXPECT_FALSE(introShown);
    EXPECT_FALSE(fingerShown);
    EXPECT_EQ(waitShown, L"2500");
    EXPECT_EQ(fontShown, L"12");
}

TEST_F(SettingsRoundTripTest, TouchNumbersThatAreNotNumbersChangeNothing) {
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        HWND touch = showTab(dialog, 7);
        SetDlgItemTextW(touch, 3084, L"wide");
        driver::click(dialog, kSettingsApply);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, kSettingsApply)) == FALSE)
            << "the page accepts without writing";
        driver::click(dialog, kSettingsCancel);
    });
    ASSERT_TRUE(open(steps));
    EXPECT_EQ(hooks.touchWrites, 0);
}

// Any process can send a page the host's command numbers; only the host's own
// command (with the answer the host made) may apply or refuse a page.
TEST_F(SettingsRoundTripTest, PageCommandsThatTheHostDidNotSendAreIgnored) {
    int notTheHosts = 1;
    const LPARAM forged[] = {0x1234, reinterpret_cast<LPARAM>(&notTheHosts)};
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        HWND touch = showTab(dialog, 7);
        SetDlgItemTextW(touch, 3084, L"5");
        for (LPARAM lParam : forged) {
            for (WORD command : {kSettingsApply, kSettingsOk, kSettingsReset})
                SendMessageW(touch, WM_COMMAND, command, lParam);
            EXPECT_EQ(hooks.touchWrites, 0) << "argument " << lParam;
        }
        EXPECT_EQ(notTheHosts, 1);
        wchar_t shown[16] = {};
        GetDlgItemTextW(touch, 3084, shown, 16);
        EXPECT_STREQ(shown, L"5") << "no reset from outside";
        driver::click(dialog, kSettingsCancel);
    });
    ASSERT_TRUE(open(steps));
    EXPECT_EQ(hooks.touchWrites, 0);
}

TEST_F(SettingsRoundTripTest, AStoredFontSizeAboveTheSpinIsStoredAsItsEnd) {
    wordListBarSettings().mainFontSize = 450;
    std::wstring shown;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        shown = st::itemText(showTab(dialog, 3), 3053);
        driver::click(dialog, kSettingsOk);
    });
    ASSERT_TRUE(open(steps));
    EXPECT_EQ(shown, L"40");
    EXPECT_EQ(wordListBarSettings().mainFontSize, 400);
}

// "Check for auto-upgrades" switched off and on again asks for a check one
// second later: no part of a long wait armed before is left to run first.
TEST_F(SettingsRoundTripTest, ReenablingAutoUpgradesChecksSoon) {
    HWND service = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    appGlobals().serviceWindow = service;
    generalSettings().runAutoUpdate = 1;
    // What the service window keeps of a 30-day period beyond the first step.
    serviceState().updateWaitLeftMs = 30ull * 86400000ull - 0x7FFFFFFFull;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        HWND general = settingsPageWindow(0);
        CheckDlgButton(general, 2030, BST_UNCHECKED);
        driver::click(dialog, kSettingsApply);
        CheckDlgButton(settingsPageWindow(0), 2030, BST_CHECKED);
        driver::click(dialog, kSettingsApply);
        driver::click(dialog, kSettingsOk);
    });
    ASSERT_TRUE(open(steps));
    EXPECT_EQ(generalSettings().runAutoUpdate, 1);
    EXPECT_EQ(serviceState().updateWaitLeftMs, 0u) << "the check comes when the timer fires";
    EXPECT_TRUE(KillTimer(service, TIMER_UPDATE_CHECK)) << "timer 21 is armed";
    appGlobals().serviceWindow = nullptr;
    DestroyWindow(service);
    serviceState().updateWaitLeftMs = 0;
}

TEST_F(SettingsRoundTripTest, APenColourOutsideTheTableChecksNoSwatch) {
    PenSettings pen;
    pen.color = RGB(1, 2, 3);
    savePenSettings(nullptr, &pen);
    int framed = -1;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        HWND ink = showTab(dialog, 2);
        // A checked swatch has a black frame on its edge.
        framed = 0;
        for (int id = 1101; id <= 1132; ++id) {
            HWND swatch = GetDlgItem(ink, id);
            HDC dc = GetDC(swatch);
            if (GetPixel(dc, 0, 0) == RGB(0, 0, 0)) ++framed;
            ReleaseDC(swatch, dc);
        }
        driver::click(dialog, kSettingsCancel);
    });
    ASSERT_TRUE(open(steps));
    EXPECT_EQ(framed, 0);
}

}  // namespace
