// The service window's messages, timers and main menu that the other tests do
// not reach, each driven through the real window procedure of a started
// service (fake hook library): a table per kind of check.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ServiceFixture.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "ink/RecResult.h"
#include "ui/bars/BarFramework.h"
#include "ui/menus/PureTextMenu.h"

namespace {

// ---- the main menu ----

// A line of the main menu as it shows: "+" enabled or "-" greyed, its text,
// and "*" when checked.
std::vector<std::string> g_lines;
bool g_menuSeen = false;
DWORD g_menuAskedAt = 0;

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

void CALLBACK readMainMenuAndClose(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND window = FindWindowW(BAR_WINDOW_CLASS, L"PureTextMenu");
    BarMaster* master = window && IsWindowVisible(window) ? BarMaster::fromWindow(window) : nullptr;
    if (!master || !master->isKindOf(L"PureTextMenu")) {
        // No text menu: whatever menu shows is ended, so that the test goes on.
        if (GetTickCount() - g_menuAskedAt > 3000) {
            KillTimer(nullptr, timer);
            EndMenu();
        }
        return;
    }
    KillTimer(nullptr, timer);
    g_menuSeen = true;
    for (const PureMenuItem& item : static_cast<PureTextMenu*>(master)->items()) {
        if (item.id == static_cast<UINT>(-2)) continue;  // a separator
        g_lines.push_back((item.textColour == 0x808080 ? "-" : "+") + narrow(item.text) +
                          (item.checked ? "*" : ""));
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
}

struct MenuCase {
    const char* name;
    int variant;
    std::function<void()> setUp, tearDown;
    std::vector<std::string> lines;
};

void PrintTo(const MenuCase& c, std::ostream* out) { *out << c.name; }

class MainMenu : public ServiceTest, public ::testing::WithParamInterface<MenuCase> {};

TEST_P(MainMenu, ShowsItsEntriesEnabledAndCheckedAsTheStateSays) {
    const MenuCase& c = GetParam();
    ASSERT_TRUE(startAndWait());
    GeneralSettings& settings = generalSettings();
    settings.showToolbar = 0;
    settings.useContextReco = 1;
    settings.useAppFilters = 0;
    settings.clearInkOnExit = 0;
    if (c.setUp) c.setUp();
    g_lines.clear();
    g_menuSeen = false;
    g_menuAskedAt = GetTickCount();
    SetTimer(nullptr, 0, 20, readMainMenuAndClose);
    // Sent: the menu runs and has closed when the message returns.
    SendMessageW(service_, WM_INK_MAIN_MENU, 0, c.variant);
    if (c.tearDown) c.tearDown();
    ASSERT_TRUE(g_menuSeen) << "the main menu is a text menu";
    EXPECT_EQ(g_lines, c.lines);
    EXPECT_FALSE(isMainMenuOpen());
}

const std::vector<std::string> kCommonTail = {"+Settings...", "+Help", "+About",
                                              "+Check for Upgrade", "+Close Scribix"};

std::vector<std::string> lines(std::vector<std::string> head,
                               const std::vector<std::string>& tail = kCommonTail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

INSTANTIATE_TEST_SUITE_P(
    States, MainMenu,
    ::testing::Values(
        MenuCase{"MainBarPenOn", 1, nullptr, nullptr,
                 lines({"+Pen On*", "+Markup", "+Binding...", "-Correct last/selected",
                        "-Add punctuation sign", "+Show Toolbar", "+Customize Toolbar..."})},
        MenuCase{"PenOff", 1, [] { getLocalInkManager()->setPenOn(0); },
                 [] { getLocalInkManager()->setPenOn(1); },
                 lines({"+Pen On", "+Markup", "+Binding...", "-Correct last/selected",
                        "-Add punctuation sign", "+Show Toolbar", "+Customize Toolbar..."})},
        MenuCase{"MouseTransparent", 5, [] { getLocalInkManager()->beginMouseTransparent(); },
                 [] { getLocalInkManager()->endMouseTransparent(); },
                 lines({"-Pen On*", "-Markup", "-Binding...", "-Correct last/selected",
                        "-Add punctuation sign", "+Show Toolbar"})},
        MenuCase{"AutomaticPenOffPending", 5, [] { serviceState().autoPenOffPending = true; },
                 [] { serviceState().autoPenOffPending = false; },
                 lines({"-Pen On*", "+Markup", "+Binding...", "-Correct last/selected",
                        "-Add punctuation sign", "+Show Toolbar"})},
        MenuCase{"NeitherBindingNorFilters", 5,
                 [] { generalSettings().useContextReco = 0; }, nullptr,
                 lines({"+Pen On*", "+Markup", "-Binding...", "-Correct last/selected",
                        "-Add punctuation sign", "+Show Toolbar"})},
        MenuCase{"BindingPanelOpen", 5, [] { openBindingPanel(getServiceWindow()); },
                 [] { closeBindingPanel(); },
                 lines({"-Pen On*", "+Markup", "+Binding...*", "-Correct last/selected",
                        "-Add punctuation sign", "+Show Toolbar"})},
        MenuCase{"ACurrentResultToCorrect", 7,
                 [] {
                     setCurrentRecResult(adoptRecResult(new RecResult(nullptr, nullptr, nullptr,
                                                                      nullptr)),
                                         true, false);
                 },
                 [] { setCurrentRecResult(nullptr, false, false); },
                 lines({"+Pen On*", "+Markup", "+Binding...", "+Use profile ...",
                        "+Correct last/selected", "+Add punctuation sign", "+Show Toolbar",
                        "+Customize Toolbar..."})},
        MenuCase{"ToolbarShown", 2, [] { generalSettings().showToolbar = 1; }, nullptr,
                 lines({"+Pen On*", "+Markup", "+Binding...", "-Correct last/selected",
                        "-Add punctuation sign", "+Hide Toolbar"})},
        MenuCase{"MarkupModeFromTheMarkupBar", 2,
                 [] {
                     serviceState().snapshot = false;
                     switchMarkupMode(true);
                     generalSettings().clearInkOnExit = 1;
                 },
                 [] { switchMarkupMode(false); },
                 {"+Markup*", "+Customize Toolbar...", "+Clear ink on exit*", "+Close Scribix"}},
        MenuCase{"MarkupModeFromThePen", 5,
                 [] {
                     serviceState().snapshot = false;
                     switchMarkupMode(true);
                 },
                 [] { switchMarkupMode(false); },
                 {"+Markup*", "+Clear ink on exit", "+Close Scribix"}}),
    [](const ::testing::TestParamInfo<MenuCase>& info) { return std::string(info.param.name); });

// A greyed entry is shown but does not act when tapped; an enabled one does.
UINT g_tapId = 0;
void CALLBACK tapEntry(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND window = FindWindowW(BAR_WINDOW_CLASS, L"PureTextMenu");
    BarMaster* master = window && IsWindowVisible(window) ? BarMaster::fromWindow(window) : nullptr;
    auto* unit = master ? static_cast<BarRectUnit*>(master->findUnitById(g_tapId)) : nullptr;
    if (!unit) {
        if (GetTickCount() - g_menuAskedAt > 3000) {
            KillTimer(nullptr, timer);
            EndMenu();
        }
        return;
    }
    KillTimer(nullptr, timer);
    const RECT& r = unit->rect();
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(window, WM_LBUTTONUP, 0, at);
}

TEST_F(ServiceTest, AGreyedMainMenuEntryDoesNotAct) {
    ASSERT_TRUE(startAndWait());
    struct {
        bool transparent;
        int penAfter;
    } cases[] = {{true, 1}, {false, 0}};
    for (const auto& c : cases) {
        getLocalInkManager()->setPenOn(1);
        if (c.transparent) getLocalInkManager()->beginMouseTransparent();
        g_tapId = 2;  // "Pen On": toggles the pen
        g_menuAskedAt = GetTickCount();
        SetTimer(nullptr, 0, 20, tapEntry);
        SendMessageW(service_, WM_INK_MAIN_MENU, 0, 5);
        if (c.transparent) getLocalInkManager()->endMouseTransparent();
        EXPECT_EQ(penOn(), c.penAfter) << (c.transparent ? "greyed" : "enabled");
    }
}

}  // namespace
