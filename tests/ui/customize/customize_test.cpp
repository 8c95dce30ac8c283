// The toolbar customization dialog: its choice logic, the order in which a
// choice is stored and saved, and the dialog on the X display driven with
// xdotool as a user would (opening state, the refusal of an empty button set,
// Apply then Cancel, OK), with reference shots.
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
#include "tests/ui/customize/DialogClicks.h"
#include "tests/support/Screenshot.h"
#include "ui/customize/MarkupCustomization.h"
#include "ui/customize/ToolbarCustomization.h"
#include "win/Checks.h"

namespace {

using namespace dialogclicks;

// A main bar that records what the dialog does to it.
class FakeToolbar : public CustomizableToolbar {
  public:
    std::atomic<DWORD> mask{55};
    std::atomic<bool> hide{false};
    std::atomic<int> layout{3};
    std::atomic<int> size{3};
    // What the store got: the mask and layout values at the time of each save.
    std::vector<DWORD> savedMasks;
    std::vector<int> savedLayouts;
    std::atomic<int> saves{0};
    std::atomic<int> layouts{0};
    std::atomic<int> refreshes{0};

    DWORD buttons() const override { return mask; }
    bool autoHide() const override { return hide; }
    int layoutMode() const override { return layout; }
    int sizeModeSetting() const override { return size; }
    void setLayoutChoice(bool autoHide, int layoutMode, int sizeModeSetting) override {
        hide = autoHide;
        layout = layoutMode;
        size = sizeModeSetting;
    }
    void layoutButtons(DWORD newMask) override {
        mask = newMask;
        ++layouts;
    }
    void saveSettings() override {
        savedMasks.push_back(mask);
        savedLayouts.push_back(layout);
        ++saves;
    }
    void refreshButtons() override { ++refreshes; }
};

ToolbarChoice choiceOf(std::initializer_list<int> boxes) {
    ToolbarChoice choice;
    for (int i : boxes) choice.boxes[i] = true;
    return choice;
}

TEST(ToolbarChoiceTest, MaskLayoutAndSizeFromTheControls) {
    struct Case {
        const char* name;
        ToolbarChoice choice;
        DWORD mask;
        int layout, size;
    };
    ToolbarChoice vertical = choiceOf({0});
    vertical.vertical = true;
    vertical.large = true;
    ToolbarChoice horizontal = choiceOf({5});
    horizontal.horizontal = true;
    horizontal.small = true;
    Case cases[] = {
        {"no box", choiceOf({}), 0, 3, 3},
        {"pen", choiceOf({0}), 1, 3, 3},
        {"markup", choiceOf({1}), 2, 3, 3},
        {"punctuation", choiceOf({2}), 16, 3, 3},
        {"correction", choiceOf({3}), 32, 3, 3},
        {"binding", choiceOf({4}), 8, 3, 3},
        {"menu", choiceOf({5}), 4, 3, 3},
        {"all", choiceOf({0, 1, 2, 3, 4, 5}), 63, 3, 3},
        {"all but binding", choiceOf({0, 1, 2, 3, 5}), 55, 3, 3},
        {"vertical and large", vertical, 1, 2, 2},
        {"horizontal and small", horizontal, 4, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(toolbarMaskFromChoice(c.choice), c.mask);
        EXPECT_EQ(layoutModeFromChoice(c.choice), c.layout);
        EXPECT_EQ(sizeModeFromChoice(c.choice), c.size);
    }
}

// The store must get the new button set: the bar takes the mask before its
// settings are written.
TEST(ToolbarChoiceTest, TheNewMaskIsStoredBeforeTheSettingsAreSaved) {
    FakeToolbar bar;
    ToolbarChoice choice = choiceOf({0, 3});
    choice.vertical = true;
    choice.autoHide = true;
    ASSERT_TRUE(applyToolbarChoice(bar, choice));
    ASSERT_EQ(bar.savedMasks.size(), 1u);
    EXPECT_EQ(bar.savedMasks[0], 33u) << "the old mask was saved";
    EXPECT_EQ(bar.savedLayouts[0], 2);
    EXPECT_EQ(bar.mask, 33u);
    EXPECT_TRUE(bar.hide);
    EXPECT_EQ(bar.size, 3);
}

TEST(ToolbarChoiceTest, AnEmptyButtonSetStoresNothing) {
    FakeToolbar bar;
    ToolbarChoice choice;
    choice.horizontal = true;
    choice.autoHide = true;
    EXPECT_FALSE(applyToolbarChoice(bar, choice));
    EXPECT_EQ(bar.saves, 0);
    EXPECT_EQ(bar.layouts, 0);
    EXPECT_EQ(bar.mask, 55u);
    EXPECT_EQ(bar.layout, 3);
    EXPECT_FALSE(bar.hide);
}

// ---- the dialog on the display ----

// A shot of a window; taking it is tried again once, as starting the host's
// tools from a second thread now and then fails without a word.
screenshot::Result shoot(HWND window, const char* name) {
    screenshot::Result shot = screenshot::checkWindow(window, CUSTOMIZE_REFERENCES, name);
    if (!shot.ok && shot.message.find("could not take") == 0) {
        Sleep(200);
        shot = screenshot::checkWindow(window, CUSTOMIZE_REFERENCES, name);
    }
    return shot;
}


// The message box of an empty button set: a window of the dialog's thread
// with its caption.
BOOL CALLBACK findRefusalProc(HWND window, LPARAM out) {
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    if (IsWindowVisible(window) && std::wstring(title) == kNoButtonCaption) {
        *reinterpret_cast<HWND*>(out) = window;
        return FALSE;
    }
    return TRUE;
}

HWND findRefusal() {
    HWND found = nullptr;
    EnumThreadWindows(GetWindowThreadProcessId(toolbarCustomizationWindow(), nullptr),
                      findRefusalProc, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::wstring staticTextOf(HWND box) {
    std::wstring text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t buffer[128] = {};
        wchar_t className[32] = {};
        GetClassNameW(child, className, 32);
        GetWindowTextW(child, buffer, 128);
        if (lstrcmpiW(className, L"Static") == 0 && buffer[0]) text = buffer;
    }
    return text;
}

class CustomizeDialogTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { appGlobals().instance = GetModuleHandleW(nullptr); }

    void SetUp() override {
        resetSettingsToDefaults();
        xdotool("mousemove 5 5");
    }

    static INT_PTR drive(const std::function<INT_PTR()>& open,
                         const std::function<void(HWND)>& driver) {
        return driveDialog(&toolbarCustomizationWindow, open, driver);
    }

    INT_PTR run(FakeToolbar& bar, const std::function<void(HWND)>& driver) {
        return drive([&] { return runToolbarCustomization(bar, nullptr); }, driver);
    }
};

TEST_F(CustomizeDialogTest, OpensWithTheBarsChoicesAndNothingToCommit) {
    struct Case {
        const char* name;
        int useContextReco, useAppFilters;
        DWORD mask;
        int layout, size;
        bool autoHide;
        bool bindingEnabled;
        const char* shot;
    } cases[] = {
        {"defaults, binding off", 0, 0, 63, 3, 3, false, false, "customize_open"},
        {"binding by context", 1, 0, 9, 2, 1, true, true, nullptr},
        {"binding by filters", 0, 1, 12, 1, 2, false, true, nullptr},
        {"values outside the radios", 0, 0, 1, 0, 7, false, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        generalSettings().useContextReco = c.useContextReco;
        generalSettings().useAppFilters = c.useAppFilters;
        FakeToolbar bar;
        bar.mask = c.mask;
        bar.layout = c.layout;
        bar.size = c.size;
        bar.hide = c.autoHide;
        struct Seen {
            bool boxes[6], bindingEnabled, autoHide, commit[2];
            bool layout[3], size[3];
            std::wstring title;
            std::string shot;
            bool shotOk = true;
        } seen = {};
        std::atomic<bool> slotWhileOpen{false};
        const INT_PTR result = run(bar, [&](HWND dialog) {
            slotWhileOpen = toolbarCustomizationWindow() == dialog;
            for (int i = 0; i < 6; ++i)
                seen.boxes[i] = checked(dialog, kToolbarButtonBoxes[i].controlId);
            seen.bindingEnabled = enabled(dialog, IDC_CUSTOMIZE_BINDING);
            seen.autoHide = checked(dialog, IDC_CUSTOMIZE_AUTO_HIDE);
            seen.commit[0] = enabled(dialog, IDOK);
            seen.commit[1] = enabled(dialog, IDC_CUSTOMIZE_APPLY);
            for (int i = 0; i < 3; ++i) {
                seen.layout[i] = checked(dialog, IDC_CUSTOMIZE_VERTICAL + i);
                seen.size[i] = checked(dialog, IDC_CUSTOMIZE_LARGE + i);
            }
            wchar_t title[64] = {};
            GetWindowTextW(dialog, title, 64);
            seen.title = title;
            if (c.shot) {
                screenshot::Result shot = shoot(dialog, c.shot);
                seen.shotOk = shot.ok;
                seen.shot = shot.message;
            }
            click(dialog, IDCANCEL);
        });
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(slotWhileOpen);
        EXPECT_EQ(toolbarCustomizationWindow(), nullptr) << "the slot is cleared at the end";
        EXPECT_EQ(seen.title, L"Customize toolbar");
        for (int i = 0; i < 6; ++i) {
            const ToolbarButtonBox& box = kToolbarButtonBoxes[i];
            const bool expect = (c.mask & box.bit) != 0 &&
                                (box.controlId != IDC_CUSTOMIZE_BINDING || c.bindingEnabled);
            EXPECT_EQ(seen.boxes[i], expect) << "box " << box.controlId;
        }
        EXPECT_EQ(seen.bindingEnabled, c.bindingEnabled);
        EXPECT_EQ(seen.autoHide, c.autoHide);
        EXPECT_FALSE(seen.commit[0]) << "OK enabled before a change";
        EXPECT_FALSE(seen.commit[1]) << "Apply enabled before a change";
        for (int i = 0; i < 3; ++i) {
            // Radios in the order 2, 1, 3.
            const int value = i == 0 ? 2 : i == 1 ? 1 : 3;
            EXPECT_EQ(seen.layout[i], c.layout == value) << "layout radio " << i;
            EXPECT_EQ(seen.size[i], c.size == value) << "size radio " << i;
        }
        EXPECT_TRUE(seen.shotOk) << seen.shot;
        EXPECT_EQ(bar.saves, 0);
        EXPECT_GE(bar.refreshes, 2) << "refreshed at opening and closing";
    }
}

// Enter sends OK to the dialog even before anything changed; with OK
// disabled it neither stores nor ends.
TEST_F(CustomizeDialogTest, OkBeforeAnyChangeDoesNothing) {
    FakeToolbar bar;
    bool stayed = false;
    const INT_PTR result = run(bar, [&](HWND dialog) {
        xdotool("key Return");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        Sleep(400);
        stayed = toolbarCustomizationWindow() == dialog;
        click(dialog, IDCANCEL);
    });
    EXPECT_TRUE(stayed);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(bar.saves, 0);
    EXPECT_EQ(bar.layouts, 0);
}

TEST_F(CustomizeDialogTest, AnEmptyButtonSetIsRefusedAndTheDialogStays) {
    FakeToolbar bar;
    bar.mask = 55;  // every box but binding (disabled with the default settings)
    struct Seen {
        bool okEnabledAfterChange = false;
        bool refusalShown = false;
        std::wstring refusalText;
        bool dialogStayed = false;
        bool boxesKept = false;
        int savesWhileOpen = -1;
        bool shotOk = false;
        std::string shot;
    } seen;
    const INT_PTR result = run(bar, [&](HWND dialog) {
        for (const ToolbarButtonBox& box : kToolbarButtonBoxes)
            if (checked(dialog, box.controlId)) click(dialog, box.controlId);
        seen.okEnabledAfterChange = enabled(dialog, IDOK);
        click(dialog, IDOK);
        HWND refusal = nullptr;
        seen.refusalShown = waitFor([&] { return (refusal = findRefusal()) != nullptr; }, 5000);
        if (!refusal) return;
        Sleep(300);
        seen.refusalText = staticTextOf(refusal);
        screenshot::Result shot = shoot(refusal, "customize_no_button");
        seen.shotOk = shot.ok;
        seen.shot = shot.message;
        // The user acknowledges with the box's own button.
        HWND ok = FindWindowExW(refusal, nullptr, L"Button", nullptr);
        RECT r = {};
        GetWindowRect(ok, &r);
        xdotool("mousemove " + std::to_string((r.left + r.right) / 2) + " " +
                std::to_string((r.top + r.bottom) / 2) + " click 1 mousemove 5 5");
        waitFor([] { return findRefusal() == nullptr; }, 5000);
        seen.dialogStayed = IsWindow(dialog) && toolbarCustomizationWindow() == dialog;
        seen.boxesKept = true;
        for (const ToolbarButtonBox& box : kToolbarButtonBoxes)
            if (checked(dialog, box.controlId)) seen.boxesKept = false;
        seen.savesWhileOpen = bar.saves;
        click(dialog, IDCANCEL);
    });
    EXPECT_TRUE(seen.okEnabledAfterChange);
    ASSERT_TRUE(seen.refusalShown) << "no message box";
    EXPECT_EQ(seen.refusalText, L"At least one button should be selected");
    EXPECT_TRUE(seen.shotOk) << seen.shot;
    EXPECT_TRUE(seen.dialogStayed);
    EXPECT_TRUE(seen.boxesKept) << "the user's input is kept";
    EXPECT_EQ(seen.savesWhileOpen, 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(bar.mask, 55u) << "nothing stored";
    EXPECT_EQ(bar.saves, 0);
    EXPECT_EQ(bar.layouts, 0);
}

TEST_F(CustomizeDialogTest, ApplyThenCancelKeepsTheAppliedChoice) {
    FakeToolbar bar;
    bar.mask = 55;
    struct Seen {
        bool applyEnabled = false;
        bool commitAfterApply = true;
        bool openAfterApply = false;
        DWORD maskAfterApply = 0;
        int savesAfterApply = 0;
    } seen;
    const INT_PTR result = run(bar, [&](HWND dialog) {
        click(dialog, IDC_CUSTOMIZE_CORRECTION);  // 32 off
        click(dialog, IDC_CUSTOMIZE_HORIZONTAL);  // layout 1
        click(dialog, IDC_CUSTOMIZE_AUTO_HIDE);   // on
        seen.applyEnabled = enabled(dialog, IDC_CUSTOMIZE_APPLY);
        click(dialog, IDC_CUSTOMIZE_APPLY);
        waitFor([&] { return bar.saves > 0; }, 3000);
        seen.commitAfterApply = enabled(dialog, IDOK) || enabled(dialog, IDC_CUSTOMIZE_APPLY);
        seen.openAfterApply = IsWindow(dialog) != FALSE;
        seen.maskAfterApply = bar.mask;
        seen.savesAfterApply = bar.saves;
        click(dialog, IDC_CUSTOMIZE_MARKUP);  // a change that Cancel drops
        click(dialog, IDCANCEL);
    });
    EXPECT_TRUE(seen.applyEnabled);
    EXPECT_FALSE(seen.commitAfterApply) << "OK and Apply stay enabled after Apply";
    EXPECT_TRUE(seen.openAfterApply);
    EXPECT_EQ(seen.maskAfterApply, 23u);
    EXPECT_EQ(seen.savesAfterApply, 1);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(bar.mask, 23u) << "Cancel undid the applied change";
    EXPECT_EQ(bar.layout, 1);
    EXPECT_TRUE(bar.hide);
    EXPECT_EQ(bar.saves, 1);
    ASSERT_EQ(bar.savedMasks.size(), 1u);
    EXPECT_EQ(bar.savedMasks[0], 23u);
}

TEST_F(CustomizeDialogTest, OkStoresTheChoiceAndEnds) {
    FakeToolbar bar;
    bar.mask = 1;
    const INT_PTR result = run(bar, [&](HWND dialog) {
        click(dialog, IDC_CUSTOMIZE_MENU);   // 4 on
        click(dialog, IDC_CUSTOMIZE_LARGE);  // size 2
        click(dialog, IDOK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(bar.mask, 5u);
    EXPECT_EQ(bar.size, 2);
    ASSERT_EQ(bar.savedMasks.size(), 1u);
    EXPECT_EQ(bar.savedMasks[0], 5u);
}

// The main menu's entry: without a main bar object, the dialog edits the
// bar's stored settings, and the store gets the new values.
TEST_F(CustomizeDialogTest, TheServiceEntryEditsTheStoredToolbarSettings) {
    const std::wstring key =
        L"Software\\Zorvane\\ScribixTest\\customize-" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    setSettingsRootKey(key.c_str());
    const int stored = 63, vertical = 2;
    WriteSetting(L"ToolBar", L"buttons", &stored, SETTING_NUMBER, 0);
    WriteSetting(L"ToolBar", L"layoutMode", &vertical, SETTING_NUMBER, 0);

    bool sawStored = false;
    drive(
        [] {
            showCustomizeDialog(255, nullptr);
            return INT_PTR(0);
        },
        [&](HWND dialog) {
            sawStored =
                checked(dialog, IDC_CUSTOMIZE_PEN) && checked(dialog, IDC_CUSTOMIZE_VERTICAL);
            click(dialog, IDC_CUSTOMIZE_PEN);        // 1 off
            click(dialog, IDC_CUSTOMIZE_SIZE_AUTO);  // a click on what is checked is a change too
            click(dialog, IDOK);
        });

    int buttons = 0, layout = 0, size = 0;
    EXPECT_TRUE(ReadSetting(L"ToolBar", L"buttons", &buttons, SETTING_NUMBER, 0));
    ReadSetting(L"ToolBar", L"layoutMode", &layout, SETTING_NUMBER, 0);
    ReadSetting(L"ToolBar", L"sizeMode", &size, SETTING_NUMBER, 0);
    setSettingsRootKey(nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    EXPECT_TRUE(sawStored);
    // Binding is unavailable with the default settings: its box stays clear.
    EXPECT_EQ(buttons, 63 & ~1 & ~8);
    EXPECT_EQ(layout, 2);
    EXPECT_EQ(size, 3);
}

// ---- the dialogs belong to the thread that runs them ----

// A customization dialog as the service's entry opens it, and the name the
// checks give it.
struct OwnedDialog {
    const char* name;
    int resourceId;
    HWND (*window)();
    DLGPROC procedure;
    const char* owner;
};

const OwnedDialog kOwnedDialogs[] = {
    {"Toolbar", 255, &toolbarCustomizationWindow, ToolbarCustomizationDlgProc,
     "toolbar customization dialog"},
    {"MarkupBar", 256, &markupCustomizationWindow, MarkupCustomizationDlgProc,
     "markup bar customization dialog"},
};

void PrintTo(const OwnedDialog& d, std::ostream* out) { *out << d.name; }

// Handles this thread's messages until `done`, at most `ms`.
bool pumpUntil(const std::function<bool()>& done, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= ms) return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

// The shown windows of this process with the caption of `dialog`.
int windowsCaptioned(HWND dialog) {
    struct Search {
        wchar_t caption[64];
        int count;
    } search = {};
    GetWindowTextW(dialog, search.caption, 64);
    EnumWindows(
        [](HWND window, LPARAM parameter) CALLBACK -> BOOL {
            Search& s = *reinterpret_cast<Search*>(parameter);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            wchar_t text[64] = {};
            GetWindowTextW(window, text, 64);
            if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
                lstrcmpW(text, s.caption) == 0)
                ++s.count;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.count;
}

class CustomizeOwnerTest : public CustomizeDialogTest,
                           public ::testing::WithParamInterface<OwnedDialog> {
  protected:
    // Runs the dialog on a thread of its own, as the service's thread would,
    // while `driver` works it from this one.
    static void runOwned(const OwnedDialog& d, const std::function<void(HWND)>& driver) {
        const int resourceId = d.resourceId;
        driveDialog(
            d.window,
            [resourceId] {
                showCustomizeDialog(resourceId, nullptr);
                return INT_PTR(0);
            },
            driver);
    }
};

// Its dialog procedure is the system's to call on the dialog's thread: called
// from another, it would work the dialog and the bar off their owner.
TEST_P(CustomizeOwnerTest, ItsProcedureCalledFromAnotherThreadEndsTheRun) {
    const OwnedDialog& d = GetParam();
    ASSERT_TRUE(win::checkedRun());
    runOwned(d, [&](HWND dialog) {
        EXPECT_EXIT(
            std::thread([&] { d.procedure(dialog, WM_COMMAND, IDC_CUSTOMIZE_APPLY, 0); }).join(),
            testing::ExitedWithCode(static_cast<int>(0xC000A0C1)),
            std::string("thread check: ") + d.owner + ": ");
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

// A second request from a thread that is not the dialog's is handed to the
// dialog's thread, which brings the open dialog forward; none other opens.
TEST_P(CustomizeOwnerTest, ASecondRequestFromAnotherThreadBringsTheOpenDialogForward) {
    const OwnedDialog& d = GetParam();
    struct Seen {
        bool frontFirst = false, forward = false, sameSlot = false;
        int dialogs = -1;
    } seen;
    runOwned(d, [&](HWND dialog) {
        HWND front = CreateWindowExW(0, L"STATIC", L"in front", WS_POPUP | WS_VISIBLE, 500, 400,
                                     160, 60, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetForegroundWindow(front);
        seen.frontFirst = pumpUntil([&] { return GetForegroundWindow() == front; }, 3000);
        // The display's own focus change follows: a late one would take the
        // foreground back from the dialog.
        pumpUntil([] { return false; }, 500);
        showCustomizeDialog(d.resourceId, nullptr);
        seen.forward = pumpUntil([&] { return GetForegroundWindow() == dialog; }, 3000);
        pumpUntil([] { return false; }, 300);
        seen.dialogs = windowsCaptioned(dialog);
        seen.sameSlot = d.window() == dialog;
        DestroyWindow(front);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(seen.frontFirst) << "another window did not take the foreground";
    EXPECT_TRUE(seen.forward) << "the open dialog did not come forward";
    EXPECT_EQ(seen.dialogs, 1) << "a second dialog opened";
    EXPECT_TRUE(seen.sameSlot);
    EXPECT_EQ(d.window(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, CustomizeOwnerTest, ::testing::ValuesIn(kOwnedDialogs),
                         [](const ::testing::TestParamInfo<OwnedDialog>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
