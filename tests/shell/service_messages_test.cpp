// The service window's messages, timers and main menu that the other tests do
// not reach, each driven through the real window procedure of a started
// service (fake hook library): a table per kind of check.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ServiceFixture.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "ink/LiveInk.h"
#include "ink/RecResult.h"
#include "ink/SystemClient.h"
#include "recognition/ProfileChooser.h"
#include "recognition/RecMgr.h"
#include "shell/Stickers.h"
#include "tests/support/TraceCapture.h"
#include "ui/bars/BarFramework.h"
#include "ui/mainbar/MainBar.h"
#include "ui/menus/PureTextMenu.h"

namespace {

using sxtest::pumpUntil;

// A client of the ink manager that keeps the events broadcast to the clients.
class EventRecorder : public LocalMonitoringClient {
  public:
    EventRecorder() : LocalMonitoringClient(L"SxEventRecorder") { registerSelf(); }
    ~EventRecorder() override { unregisterSelf(false); }
    int onNotify(int code, LPARAM argument) override {
        {
            std::lock_guard<std::mutex> guard(lock_);
            events_.push_back({code, argument});
        }
        return LocalMonitoringClient::onNotify(code, argument);
    }
    std::vector<std::pair<int, LPARAM>> events() {
        std::lock_guard<std::mutex> guard(lock_);
        return events_;
    }
    int count(int code) {
        int n = 0;
        for (const auto& e : events()) n += e.first == code;
        return n;
    }
    void clear() {
        std::lock_guard<std::mutex> guard(lock_);
        events_.clear();
    }

  private:
    std::mutex lock_;
    std::vector<std::pair<int, LPARAM>> events_;
};

bool traced(const TraceCapture& trace, const std::string& text) {
    return trace.text().find(text) != std::string::npos;
}

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
        MenuCase{"NeitherBindingNorFilters", 5, [] { generalSettings().useContextReco = 0; },
                 nullptr,
                 lines({"+Pen On*", "+Markup", "-Binding...", "-Correct last/selected",
                        "-Add punctuation sign", "+Show Toolbar"})},
        MenuCase{"BindingPanelOpen", 5, [] { openBindingPanel(getServiceWindow()); },
                 [] { closeBindingPanel(); },
                 lines({"-Pen On*", "+Markup", "+Binding...*", "-Correct last/selected",
                        "-Add punctuation sign", "+Show Toolbar"})},
        MenuCase{"ACurrentResultToCorrect", 7,
                 [] {
                     setCurrentRecResult(
                         adoptRecResult(new RecResult(nullptr, nullptr, nullptr, nullptr)), true,
                         false);
                 },
                 [] { setCurrentRecResult(nullptr, false, false); },
                 lines({"+Pen On*", "+Markup", "+Binding...", "+Use profile ...",
                        "+Correct last/selected", "+Add punctuation sign", "+Show Toolbar",
                        "+Customize Toolbar..."})},
        MenuCase{"ToolbarShown", 2, [] { generalSettings().showToolbar = 1; }, nullptr,
                 lines({"+Pen On*", "+Markup", "+Binding...", "-Correct last/selected",
                        "-Add punctuation sign", "+Hide Toolbar"})},
        MenuCase{"MarkupModeFromTheMarkupBar",
                 2,
                 [] {
                     serviceState().snapshot = false;
                     switchMarkupMode(true);
                     generalSettings().clearInkOnExit = 1;
                 },
                 [] { switchMarkupMode(false); },
                 {"+Markup*", "+Customize Toolbar...", "+Clear ink on exit*", "+Close Scribix"}},
        MenuCase{"MarkupModeFromThePen",
                 5,
                 [] {
                     serviceState().snapshot = false;
                     switchMarkupMode(true);
                 },
                 [] { switchMarkupMode(false); },
                 {"+Markup*", "+Clear ink on exit", "+Close Scribix"}}),
    [](const ::testing::TestParamInfo<MenuCase>& info) { return std::string(info.param.name); });

// ---- system changes and timers ----

// A change of the screen or of the system settings, or 3056 (a delayed
// configuration change), renews the metrics, tells the clients (event 15,
// then 3) and leaves markup mode.
TEST_F(ServiceTest, ScreenAndSettingChangesRenewTheMetricsAndTellTheClients) {
    ASSERT_TRUE(startAndWait());
    EventRecorder recorder;
    TraceCapture trace;
    const struct {
        UINT message;
        const char* trace;
    } cases[] = {{WM_SETTINGCHANGE, "InkService: WM_SETTINGCHANGE"},
                 {WM_DISPLAYCHANGE, "InkService: WM_DISPLAYCHANGE"},
                 {WM_INK_DELAYED_CONFIG_CHG, "InkService: WM_INK_DELAYED_CONFIG_CHG"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.trace);
        serviceState().snapshot = false;
        switchMarkupMode(true);
        ASSERT_TRUE(serviceState().markupMode);
        recorder.clear();
        const size_t resets = fake_.count("resetInkDriverSystemParams");
        SendMessageW(service_, c.message, 0, 0);
        EXPECT_EQ(fake_.count("resetInkDriverSystemParams"), resets + 1);
        const auto events = recorder.events();
        ASSERT_GE(events.size(), 2u);
        EXPECT_EQ(events[0].first, INK_EVENT_DISPLAY_CHANGED);
        EXPECT_EQ(events[1].first, INK_EVENT_PEN_CHANGED);
        EXPECT_FALSE(serviceState().markupMode);
        EXPECT_TRUE(traced(trace, c.trace));
    }
}

// Timer 20 (automatic pen-off) marks the pen-off pending only while the mode
// is on; timer 22 (message 3098) shows the tips once. Both run once.
TEST_F(ServiceTest, PenOffAndTipsTimersActOnceOnExpiry) {
    ASSERT_TRUE(startAndWait());
    EventRecorder recorder;
    for (int mode : {1, 0}) {
        SCOPED_TRACE(mode);
        generalSettings().autoPenOffMode = mode;
        serviceState().autoPenOffPending = false;
        recorder.clear();
        SetTimer(service_, TIMER_AUTO_PEN_OFF, 1, nullptr);
        pump(200);
        EXPECT_EQ(serviceState().autoPenOffPending.load(), mode == 1);
        EXPECT_EQ(recorder.count(INK_EVENT_PEN_CHANGED) > 0, mode == 1);
        EXPECT_FALSE(KillTimer(service_, TIMER_AUTO_PEN_OFF)) << "it ran once";
    }
    generalSettings().autoPenOffMode = 0;
    serviceState().autoPenOffPending = false;

    recorder.clear();
    EXPECT_EQ(SendMessageW(service_, WM_INK_SHOW_TIPS, 7, 0x1234), 0);
    pump(200);
    EXPECT_EQ(recorder.count(INK_EVENT_TIPS), 1);
    for (const auto& e : recorder.events()) {
        if (e.first == INK_EVENT_TIPS) {
            EXPECT_EQ(e.second, 0x1234);
        }
    }
    EXPECT_FALSE(KillTimer(service_, TIMER_SHOW_TIPS)) << "it ran once";
}

// ---- messages ----

std::atomic<DWORD> g_ticks{0};
DWORD testTicks() { return g_ticks; }

// 3025: a window came to the front. Long enough after the last delivery (and
// not while a client inks or a dialog runs), the current result is finished.
TEST_F(ServiceTest, ForegroundChangeFinishesTheResultOnlyLongAfterADelivery) {
    ASSERT_TRUE(startAndWait());
    HWND front =
        sxtest::createTestWindow(L"SxFrontWindow", DefWindowProcW, 0, WS_POPUP, 0, 0, 10, 10);
    setServiceClock(testTicks);
    const struct {
        const char* name;
        DWORD sinceDelivery;
        bool inking, transparent, finished;
    } cases[] = {{"long after", 701, false, false, true},
                 {"just after", 700, false, false, false},
                 {"while a client inks", 5000, true, false, false},
                 {"while a dialog runs", 5000, false, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        noteResultDelivery();
        g_ticks = getLastResultDeliveryTick() + c.sinceDelivery;
        appGlobals().inkDriverMode = c.inking ? 1 : 0;
        if (c.transparent) getLocalInkManager()->beginMouseTransparent();
        setCurrentRecResult(adoptRecResult(new RecResult(nullptr, nullptr, nullptr, nullptr)), true,
                            false);
        EXPECT_EQ(
            SendMessageW(service_, WM_INK_FOREGROUND_CHANGED, reinterpret_cast<WPARAM>(front), 0),
            1);
        EXPECT_EQ(getCurrentRecResult() == nullptr, c.finished);
        if (c.transparent) getLocalInkManager()->endMouseTransparent();
        appGlobals().inkDriverMode = 0;
    }
    // Not a window: nothing is done.
    setCurrentRecResult(adoptRecResult(new RecResult(nullptr, nullptr, nullptr, nullptr)), true,
                        false);
    DestroyWindow(front);
    EXPECT_EQ(SendMessageW(service_, WM_INK_FOREGROUND_CHANGED, reinterpret_cast<WPARAM>(front), 0),
              0);
    EXPECT_NE(getCurrentRecResult(), nullptr);
    setCurrentRecResult(nullptr, false, false);
}

// 3049 is passed on, with its parameters, to the window that has the focus.
std::vector<std::pair<WPARAM, LPARAM>> g_forwarded;
LRESULT CALLBACK focusWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INK_FORWARD_TO_FOCUS) g_forwarded.push_back({wParam, lParam});
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(ServiceTest, ForwardedMessageReachesTheFocusWindow) {
    ASSERT_TRUE(startAndWait());
    HWND focus = sxtest::createTestWindow(L"SxFocusWindow", focusWindowProc, 0,
                                          WS_POPUP | WS_VISIBLE, 0, 0, 10, 10);
    SetForegroundWindow(focus);
    SetFocus(focus);
    ASSERT_EQ(GetFocus(), focus);
    g_forwarded.clear();
    SendMessageW(service_, WM_INK_FORWARD_TO_FOCUS, 11, 22);
    pump(100);
    ASSERT_EQ(g_forwarded.size(), 1u);
    EXPECT_EQ(g_forwarded[0], (std::pair<WPARAM, LPARAM>{11, 22}));
    DestroyWindow(focus);
}

// 3064 shows the ink layer over everything (the guard window behind it) with
// its dirty rectangle emptied and answers the layer; not under Windows 4.x.
TEST_F(ServiceTest, LayerShowPutsTheInkLayerOnTopUnlessTheSystemIsTooOld) {
    ASSERT_TRUE(startAndWait());
    HWND layer = appGlobals().inkLayerWindow;
    ASSERT_NE(layer, nullptr);
    for (int generation : {1, 3}) {
        SCOPED_TRACE(generation);
        appGlobals().windowsGeneration = generation;
        const LRESULT answer = SendMessageW(service_, WM_INK_LAYER_SHOW, 0, 0);
        pump(50);
        EXPECT_EQ(answer, generation == 3 ? 0 : reinterpret_cast<LRESULT>(layer));
        EXPECT_EQ(IsWindowVisible(layer) != FALSE, generation != 3);
        const RECT dirty = inkLayerDirtyRect();
        EXPECT_TRUE(IsRectEmpty(&dirty));
        SendMessageW(service_, WM_INK_LAYER_HIDE, 0, 0);
        EXPECT_FALSE(IsWindowVisible(layer));
    }
    appGlobals().windowsGeneration = 1;
}

// 3052 in markup mode raises the markup bar over a window that covers its
// centre: always for the markup control (wParam 0), for the hook library
// (wParam 2) at most once in 2 s.
TEST_F(ServiceTest, PenOffRequestRaisesACoveredMarkupBar) {
    ASSERT_TRUE(startAndWait());
    setServiceClock(testTicks);
    g_ticks = 500000;
    serviceState().snapshot = false;
    switchMarkupMode(true);
    ASSERT_TRUE(markupBarExists());
    HWND bar = markupBarWindow();
    ASSERT_TRUE(pumpUntil([&] { return IsWindowVisible(bar) != FALSE; }, 2000));
    RECT r;
    GetWindowRect(bar, &r);
    const POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    HWND cover = sxtest::createTestWindow(L"SxCoverWindow", DefWindowProcW, WS_EX_TOPMOST,
                                          WS_POPUP | WS_VISIBLE, r.left, r.top, r.right - r.left,
                                          r.bottom - r.top);
    auto covered = [&] {
        SetWindowPos(cover, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        pump(50);
        return GetAncestor(WindowFromPoint(centre), GA_ROOT) == cover;
    };
    auto barOnTop = [&] { return GetAncestor(WindowFromPoint(centre), GA_ROOT) == bar; };
    const struct {
        const char* name;
        WPARAM wParam;
        DWORD later;
        bool raised;
    } steps[] = {{"markup control", 0, 0, true},
                 {"hook library", 2, 10, true},
                 {"hook library again within 2 s", 2, 1000, false},
                 {"markup control within 2 s", 0, 10, true},
                 {"hook library after 2 s", 2, 2500, true}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        ASSERT_TRUE(covered());
        g_ticks += s.later;
        SendMessageW(service_, WM_INK_PEN_OFF_REQUEST, s.wParam, 0);
        pump(100);
        EXPECT_EQ(barOnTop(), s.raised);
    }
    DestroyWindow(cover);
    switchMarkupMode(false);
}

// 3097 (the main menu's "Use profile ...") shows the profile choice with a
// prompt naming the focus window's language.
void CALLBACK readProfileMenuAndClose(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND window = FindWindowW(BAR_WINDOW_CLASS, L"PureTextMenu");
    BarMaster* master = window && IsWindowVisible(window) ? BarMaster::fromWindow(window) : nullptr;
    if (!master || !master->isKindOf(L"PureTextMenu")) {
        if (GetTickCount() - g_menuAskedAt > 3000) KillTimer(nullptr, timer);
        return;
    }
    KillTimer(nullptr, timer);
    g_menuSeen = true;
    for (const PureMenuItem& item : static_cast<PureTextMenu*>(master)->items())
        if (item.id != static_cast<UINT>(-2)) g_lines.push_back(narrow(item.text));
    PostMessageW(window, WM_CLOSE, 0, 0);
}

TEST_F(ServiceTest, ProfileChoiceAsksWithTheFocusWindowsLanguage) {
    ASSERT_TRUE(startAndWait());
    ASSERT_NE(getRecMgr().getCurrentModule(), nullptr) << "no engine beside the test";
    fake_.focusLayout = reinterpret_cast<HKL>(static_cast<UINT_PTR>(0x04090409));
    g_lines.clear();
    g_menuSeen = false;
    g_menuAskedAt = GetTickCount();
    SetTimer(nullptr, 0, 20, readProfileMenuAndClose);
    EXPECT_EQ(SendMessageW(service_, WM_INK_CHOOSE_PROFILE, 0, 0), 0);
    fake_.focusLayout = nullptr;
    ASSERT_TRUE(g_menuSeen);
    ASSERT_FALSE(g_lines.empty());
    EXPECT_EQ(g_lines[0], "Choose profile (en):");
    EXPECT_EQ(g_lines.back(), "Close menu");
    EXPECT_FALSE(getRecMgr().profileChooser().isSet()) << "closed without a choice";
}

// 3046 (a command record of this process) runs the colour bar modally and
// answers its pick; while one is open another answers 0 at once.
LRESULT g_nestedAnswer = -1;
void CALLBACK askAgainAndCloseColours(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND window = FindWindowW(BAR_WINDOW_CLASS, L"Scribix");
    if (!window || !IsWindowVisible(window) || openModalBarCount() == 0) {
        if (GetTickCount() - g_menuAskedAt > 3000) KillTimer(nullptr, timer);
        return;
    }
    KillTimer(nullptr, timer);
    g_nestedAnswer = sendCommandRecord(getServiceWindow(), CommandRecord{0, 0, 0});
    PostMessageW(window, WM_CLOSE, 0, 0);
}

TEST_F(ServiceTest, ColourRecordRunsOneColourBarAtATime) {
    ASSERT_TRUE(startAndWait());
    g_nestedAnswer = -1;
    g_menuAskedAt = GetTickCount();
    SetTimer(nullptr, 0, 20, askAgainAndCloseColours);
    EXPECT_EQ(sendCommandRecord(service_, CommandRecord{0, 0, 0}), 0) << "closed without a pick";
    EXPECT_EQ(g_nestedAnswer, 0) << "a second colour bar while one is open";
    EXPECT_EQ(openModalBarCount(), 0);
}

// 3101, which threads that own no window post: wParam 2 hands the event in
// lParam to the live main bar, which refreshes its buttons for the language
// change (7) and not for an event it takes no notice of; 0 hides the bar and
// any other value shows it. The pen button shows the pen ready: a pending
// automatic pen-off, set behind the bar's back, turns it off only once the
// buttons are refreshed.
TEST_F(ServiceTest, MainBarMessageRefreshesTheLiveBarOrShowsIt) {
    ASSERT_TRUE(startAndWait());
    generalSettings().autoUpdateCorrectionBtn = 0;  // no refresh on the bar's own timer
    CMainBar* bar = mainBar();
    ASSERT_NE(bar, nullptr) << "the service makes the bar, hidden, at start";
    ASSERT_NE(bar->findButton(MAIN_BAR_PEN), nullptr);
    auto penShownOn = [bar] {
        return (bar->findButton(MAIN_BAR_PEN)->flags & BarButton::TOGGLED_ON) != 0;
    };
    const struct {
        const char* name;
        WPARAM wParam;
        LPARAM lParam;
        bool refreshed, visible;
    } cases[] = {{"show", 1, 0, false, true},
                 {"language changed", 2, kMainBarLanguageChanged, true, true},
                 {"an event the bar ignores", 2, 8, false, true},
                 {"hide", 0, kMainBarLanguageChanged, false, false},
                 {"language changed, hidden", 2, kMainBarLanguageChanged, true, false},
                 {"any other value shows", 3, kMainBarLanguageChanged, false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        serviceState().autoPenOffPending = false;
        bar->refreshButtons();
        ASSERT_TRUE(penShownOn());
        serviceState().autoPenOffPending = true;
        EXPECT_EQ(SendMessageW(service_, WM_INK_MAIN_BAR, c.wParam, c.lParam), 0);
        EXPECT_EQ(penShownOn(), !c.refreshed);
        EXPECT_EQ(mainBar(), bar) << "the same bar";
        EXPECT_EQ(IsWindowVisible(bar->hwnd()) != FALSE, c.visible);
        EXPECT_EQ(bar->meantVisible(), c.visible);
    }
    serviceState().autoPenOffPending = false;
}

// ---- Escape (3033) and the pen switch (3074) ----

// While a bar runs modally, Escape posts 3048, which closes it.
void CALLBACK escapeOnceTheBarShows(HWND, UINT, UINT_PTR timer, DWORD) {
    if (openModalBarCount() == 0) {
        if (GetTickCount() - g_menuAskedAt > 3000) KillTimer(nullptr, timer);
        return;
    }
    KillTimer(nullptr, timer);
    PostMessageW(getServiceWindow(), WM_INK_ESCAPE, 0, 0);
}

TEST_F(ServiceTest, EscapeClosesABarThatRunsModally) {
    ASSERT_TRUE(startAndWait());
    g_menuAskedAt = GetTickCount();
    SetTimer(nullptr, 0, 20, escapeOnceTheBarShows);
    const DWORD start = GetTickCount();
    // The punctuation bar for a record that types nothing.
    sendOutputRecord(service_, OutputRecord{nullptr, nullptr, {200, 200}, 0, 0});
    EXPECT_LT(GetTickCount() - start, 3000u) << "the bar closed on Escape";
    EXPECT_EQ(openModalBarCount(), 0);
}

// With the binding panel open, Escape and the pen switch close it and do
// nothing else.
TEST_F(ServiceTest, EscapeOrThePenSwitchClosesTheBindingPanel) {
    ASSERT_TRUE(startAndWait());
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } cases[] = {{"Escape", WM_INK_ESCAPE, 0, 0}, {"pen switch", WM_INK_SETPEN, 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(command(3, 1), 0);
        ASSERT_EQ(command(4, 0), 5) << "pen on, binding panel open";
        SendMessageW(service_, c.message, c.wParam, c.lParam);
        pump(50);
        EXPECT_EQ(command(4, 0), 1) << "the panel closed, the pen as it was";
    }
}

// In markup mode over a snapshot, Escape with the screen-capture control open
// sends it WM_CLOSE (its thread is its own) and keeps markup mode; without
// one it leaves markup mode.
std::atomic<int> g_closesSent{0}, g_closesPosted{0};
LRESULT CALLBACK captureControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        ++(InSendMessage() ? g_closesSent : g_closesPosted);
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(ServiceTest, EscapeOverASnapshotClosesTheCaptureControlFirst) {
    ASSERT_TRUE(startAndWait());
    serviceState().snapshot = true;
    switchMarkupMode(true);
    ASSERT_TRUE(serviceState().markupMode);
    g_closesSent = g_closesPosted = 0;
    std::atomic<HWND> capture{nullptr};
    std::thread owner([&] {
        capture = sxtest::createTestWindow(L"sxScreenCaptureCtrl", captureControlProc, 0, WS_POPUP,
                                           0, 0, 10, 10);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    });
    ASSERT_TRUE(pumpUntil([&] { return capture.load() != nullptr; }, 2000));
    // The focus is not on the markup control (the user works elsewhere).
    HWND elsewhere = sxtest::createTestWindow(L"SxElsewhere", DefWindowProcW, 0,
                                              WS_POPUP | WS_VISIBLE, 0, 0, 10, 10);
    SetFocus(elsewhere);
    SendMessageW(service_, WM_INK_ESCAPE, 0, 0);
    const bool closed = pumpUntil([&] { return g_closesSent + g_closesPosted > 0; }, 2000);
    if (!closed) PostMessageW(capture, WM_CLOSE, 0, 0);
    owner.join();
    ASSERT_TRUE(closed) << "the capture control was not told to close";
    EXPECT_EQ(g_closesSent, 1) << "sent, not posted";
    EXPECT_TRUE(serviceState().markupMode) << "markup mode stays";
    EXPECT_EQ(GetFocus(), appGlobals().markupCtrlWindow) << "the markup control takes the focus";
    SetFocus(elsewhere);
    SendMessageW(service_, WM_INK_ESCAPE, 0, 0);
    EXPECT_FALSE(serviceState().markupMode) << "no capture control: markup mode ends";
    DestroyWindow(elsewhere);
}

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
