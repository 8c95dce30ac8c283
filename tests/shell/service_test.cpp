// The program's spine in this process, with a fake hook library: start-up,
// the service window's messages and commands, the hook thread, the splash and
// the stickers, and the shut-down.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "LoopbackHttp.h"
#include "ServiceFixture.h"
#include "TestSupport.h"
#include "core/AppGlobals.h"
#include "ink/AppsFilter.h"
#include "ink/IconsManager.h"
#include "ink/LocalInkManager.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "ui/settings/SettingsHost.h"
#include "shell/ServiceWindow.h"
#include "shell/UpdateCheck.h"
#include "core/Settings.h"
#include "shell/Splash.h"
#include "shell/Startup.h"
#include "shell/Stickers.h"
#include "core/SystemHooks.h"
#include "recognition/Binding.h"
#include "recognition/Macro.h"
#include "shell/BindShow.h"
#include "ui/binding/BindPanel.h"
#include "ui/menus/PureTextMenu.h"
#include "ui/tips/Tips.h"
#include "win/Checks.h"

// The main bar's slot (ui/mainbar), whose header cannot meet the splash's here.
bool createMainBar();
void destroyMainBar();

namespace {

using sxtest::dropQuit;
using sxtest::MessageBoxWatcher;
using sxtest::pumpUntil;
using sxtest::runUntilQuit;
using sxtest::threadsOfThisProcess;
using sxtest::waitUntil;

// Runs this thread's messages until WM_QUIT; false when it does not come in time.
BOOL CALLBACK countWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<size_t*>(count);
    return TRUE;
}

size_t windowsOfThisThread() {
    size_t n = 0;
    EnumThreadWindows(GetCurrentThreadId(), countWindow, reinterpret_cast<LPARAM>(&n));
    return n;
}

std::atomic<DWORD> g_fakeTicks{100000};
DWORD fakeTicks() { return g_fakeTicks; }

// What the notification area was asked, in order (UI thread).
struct IconCall {
    DWORD action;
    HWND window;
    UINT id;
};
std::vector<IconCall> g_iconCalls;
BOOL WINAPI recordIconCall(DWORD action, PNOTIFYICONDATAW data) {
    g_iconCalls.push_back({action, data->hWnd, data->uID});
    return TRUE;
}

TEST_F(ServiceTest, StartCallsTheHookLibraryInOrderAndStopsCleanly) {
    const size_t threadsBefore = threadsOfThisProcess();
    ASSERT_TRUE(startAndWait());
    const DWORD mainThread = GetCurrentThreadId();

    auto calls = fake_.calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0].name, "SetInitValues");
    EXPECT_EQ(calls[0].thread, mainThread);
    EXPECT_EQ(calls[1].name, "InsertHooks");
    EXPECT_NE(calls[1].thread, mainThread) << "the hooks are set from the hook thread";
    EXPECT_EQ(calls[1].window, service_);

    // The pen: on while the manager loads it, off while the services start,
    // then on again as the settings say.
    auto params = fake_.calls("setInkDriverParams");
    ASSERT_EQ(params.size(), 3u);
    EXPECT_EQ(params[0].values, (std::vector<int>{1, 0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(params[1].values, (std::vector<int>{0, 0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(params[2].values, (std::vector<int>{1, 0, 1, 0, 0, 0, 0, 0}));
    auto tablet = fake_.calls("setHookTabletMode");
    ASSERT_EQ(tablet.size(), 1u);
    EXPECT_EQ(tablet[0].values, (std::vector<int>{0, 15, 0, 6, 0, 0, 100, 100}));
    EXPECT_EQ(fake_.count("setMouseTransparent"), fake_.count("unsetMouseTransparent"));
    EXPECT_TRUE(boxes_.texts().empty()) << "a missing 64-bit helper shows no box";

    PostMessageW(service_, WM_CLOSE, 0, 0);
    ASSERT_TRUE(runUntilQuit(2000));
    EXPECT_FALSE(IsWindow(service_));
    EXPECT_EQ(fake_.count("RemoveAllHooks"), 1u);
    EXPECT_EQ(getLocalInkManager(), nullptr);
    EXPECT_EQ(windowsOfThisThread(), 0u) << "every window of the program is gone";
    EXPECT_EQ(threadsOfThisProcess(), threadsBefore) << "the hook thread has ended";

    stopInkService();  // the end of the guarded block calls it again
    EXPECT_EQ(fake_.count("RemoveAllHooks"), 1u) << "its work runs once";
}

// Wine has no Tablet PC collector: the one the start-up asks for cannot be
// made, so the path is switched off and the hooks get tablet input back.
TEST_F(ServiceTest, StartMakesTheCollectorWhenItsSwitchesAreOn) {
    const int on = 1;
    WriteSetting(nullptr, L"useTabletCollector", &on, SETTING_NUMBER, 0);
    ASSERT_TRUE(start());
    appGlobals().tabletPC = 1;  // read when the classes are registered
    ASSERT_TRUE(sxtest::pumpUntil([] { return appGlobals().servicesStarted.load(); }, 15000));
    EXPECT_TRUE(sxtest::pumpUntil([&] { return fake_.calls("setHookTabletMode").size() >= 2; },
                                  3000));
    auto tablet = fake_.calls("setHookTabletMode");
    ASSERT_EQ(tablet.size(), 2u);
    EXPECT_EQ(tablet[0].values[0], 1) << "the collector path was on at the start";
    EXPECT_EQ(tablet[1].values[0], 0) << "and handed back when no collector could be made";
    EXPECT_EQ(generalSettings().useTabletCollector, 0);
    appGlobals().tabletPC = 0;
}

TEST_F(ServiceTest, TrayIconLeavesWithAShutDownThroughTheWindow) {
    g_iconCalls.clear();
    InkIcon::setNotifySink(recordIconCall);
    ASSERT_TRUE(startAndWait());
    // A normal shut-down: the window closes and its end stops the services.
    PostMessageW(service_, WM_CLOSE, 0, 0);
    ASSERT_TRUE(runUntilQuit(2000));
    InkIcon::setNotifySink(nullptr);

    std::vector<IconCall> added, removed;
    for (const IconCall& call : g_iconCalls) {
        if (call.action == NIM_ADD) added.push_back(call);
        if (call.action == NIM_DELETE) removed.push_back(call);
    }
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].window, service_);
    ASSERT_EQ(removed.size(), 1u) << "the icon is taken away";
    EXPECT_EQ(removed[0].window, added[0].window) << "known by the window it was added with";
    EXPECT_EQ(removed[0].id, added[0].id);
}

TEST_F(ServiceTest, StartMessageFromAnotherWindowStartsNothingAgain) {
    ASSERT_TRUE(startAndWait());
    LocalInkManager* manager = getLocalInkManager();
    const size_t windows = windowsOfThisThread();
    const size_t params = fake_.count("setInkDriverParams");
    // Any window on the desktop can post the message.
    PostMessageW(service_, WM_INK_START_SERVICES, 0, 0);
    pumpUntil([] { return false; }, 100);
    EXPECT_EQ(getLocalInkManager(), manager) << "the first manager stays, no second one";
    EXPECT_EQ(windowsOfThisThread(), windows);
    EXPECT_EQ(fake_.count("setInkDriverParams"), params);
}

TEST_F(ServiceTest, WindowsLieOutsideTheScreenAndStayHidden) {
    ASSERT_TRUE(startAndWait());
    const AppGlobals& g = appGlobals();
    struct {
        HWND window;
        int offset, size;
    } windows[] = {{service_, 200, 100},
                   {g.guardWindow, 110, 10},
                   {g.inkLayerWindow, 110, 10},
                   {g.markupCtrlWindow, 110, 10}};
    for (const auto& w : windows) {
        RECT r = {};
        ASSERT_TRUE(GetWindowRect(w.window, &r));
        EXPECT_EQ(r.left, g.xVirtualScreen - w.offset);
        EXPECT_EQ(r.top, g.yVirtualScreen - w.offset);
        if (w.window == service_) {
            // Asked for 100 x 100; the system keeps a framed window at its smallest
            // tracking size, still wholly left of and above the screen.
            EXPECT_GE(r.right - r.left, w.size);
            EXPECT_LT(r.right, g.xVirtualScreen);
            EXPECT_LT(r.bottom, g.yVirtualScreen);
        } else {
            EXPECT_EQ(r.right - r.left, w.size);
            EXPECT_EQ(r.bottom - r.top, w.size);
        }
        EXPECT_FALSE(IsWindowVisible(w.window));
    }
    EXPECT_EQ(GetWindow(g.markupCtrlWindow, GW_OWNER), service_);
}

TEST_F(ServiceTest, DestroyBeforeTheServicesStartedStillEndsTheLoop) {
    ASSERT_TRUE(start());
    SendMessageW(service_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(runUntilQuit(2000));
    EXPECT_FALSE(IsWindow(service_));
    EXPECT_FALSE(appGlobals().servicesStarted);
    EXPECT_EQ(fake_.count("RemoveAllHooks"), 1u);
}

TEST_F(ServiceTest, InsertHooksFailingTwiceShowsOneMessageAndTheProgramRunsOn) {
    fake_.insertFailures = 2;
    ASSERT_TRUE(startAndWait());
    EXPECT_EQ(fake_.count("InsertHooks"), 2u);
    ASSERT_TRUE(boxes_.waitForCount(1, 2000));
    EXPECT_EQ(boxes_.texts(), std::vector<std::wstring>{L"InkService hooks install error"});
    EXPECT_EQ(command(4, 0), 1) << "the program answers with its pen on";
}

TEST_F(ServiceTest, HookThreadThatNeverReportsStopsTheStartAndInstallsNothingLater) {
    setHookThreadTimeLimit(300);
    fake_.closeGate();
    EXPECT_EQ(start(), nullptr);
    EXPECT_EQ(boxes_.texts(),
              std::vector<std::wstring>{L"The system hooks set process is timed out."});
    EXPECT_EQ(fake_.count("setInkDriverParams"), 0u) << "no service started";
    EXPECT_EQ(fake_.count("RemoveAllHooks"), 1u);
    EXPECT_FALSE(IsWindow(service_));
    dropQuit();

    // The library answers late: what it installed is taken out again at once.
    fake_.openGate();
    EXPECT_TRUE(waitUntil([&] { return fake_.count("RemoveAllHooks") == 2; }, 5000));
    EXPECT_EQ(fake_.count("InsertHooks"), 1u) << "no second attempt after the time-out";
    EXPECT_EQ(boxes_.texts().size(), 1u);
}

struct CommandCase {
    const char* name;
    UINT code;  // low word: the command
    LPARAM argument;
    LRESULT expected;
    LRESULT stateAfter;  // command 4's answer afterwards
};

class ExternalCommand : public ServiceTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(ExternalCommand, AnswersAndActsAsDocumented) {
    const CommandCase& c = GetParam();
    ASSERT_TRUE(startAndWait());
    ASSERT_EQ(command(4, 0), 1);
    // The settings command opens the settings dialog from the queue: it is
    // cancelled as soon as it shows.
    static bool settingsShown;
    settingsShown = false;
    const UINT_PTR timer =
        c.code == 5 ? SetTimer(nullptr, 0, 20,
                               [](HWND, UINT, UINT_PTR, DWORD) CALLBACK {
                                   if (HWND dialog = settingsDialogWindow()) {
                                       settingsShown = true;
                                       PostMessageW(dialog, WM_COMMAND, kSettingsCancel, 0);
                                   }
                               })
                    : 0;
    EXPECT_EQ(command(c.code, c.argument), c.expected);
    EXPECT_EQ(command(4, 0), c.stateAfter);
    if (timer) {
        KillTimer(nullptr, timer);
        EXPECT_TRUE(settingsShown);
        EXPECT_FALSE(isSettingsDialogOpen());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ExternalCommand,
    ::testing::Values(CommandCase{"Code0IsRefused", 0, 0, 0, 1},
                      CommandCase{"Code11IsRefused", 11, 1, 0, 1},
                      CommandCase{"HighWordIsIgnored", 0x10004, 0, 1, 1},
                      CommandCase{"PenOff", 1, 0, 0, 0}, CommandCase{"PenOn", 1, 1, 0, 1},
                      CommandCase{"MarkupOn", 2, 1, 0, 3}, CommandCase{"MarkupOff", 2, 0, 0, 1},
                      CommandCase{"BindingLeavesMarkup", 3, 1, 0, 5},
                      CommandCase{"Settings", 5, 0, 0, 1}, CommandCase{"Nothing", 6, 0, 0, 1},
                      CommandCase{"Capture", 10, 0, 0, 1}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

TEST_F(ServiceTest, PenAttributeCommandsChangeThePenState) {
    ASSERT_TRUE(startAndWait());
    struct {
        UINT code;
        LPARAM argument;
        int type, width;
        COLORREF color;
    } steps[] = {
        {7, RGB(255, 0, 0), 2, 3, RGB(255, 0, 0)},
        {8, 7, 2, 7, RGB(255, 0, 0)},
        {9, 1, 1, 7, RGB(255, 0, 0)},
        {9, 2, 3, 7, RGB(255, 0, 0)},
        {9, 5, 2, 7, RGB(255, 0, 0)},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(command(s.code, s.argument), 0);
        const PenState pen = getLocalInkManager()->getPenState();
        EXPECT_EQ(pen.type, s.type) << "code " << s.code << " argument " << s.argument;
        EXPECT_EQ(pen.width, s.width);
        EXPECT_EQ(pen.color, s.color);
    }
}

TEST_F(ServiceTest, SecondInstanceSwitchesSetThePen) {
    ASSERT_TRUE(startAndWait());
    struct {
        WPARAM penState;
        LPARAM toggle;
        int before, after;
    } cases[] = {
        {0, 0, 1, 0}, {0, 0, 0, 0}, {1, 0, 0, 1}, {1, 0, 1, 1}, {0, 1, 1, 0}, {0, 1, 0, 1},
    };
    for (const auto& c : cases) {
        getLocalInkManager()->setPenOn(c.before);
        const size_t calls = fake_.count("setInkDriverParams");
        SendMessageW(service_, WM_INK_SETPEN, c.penState, c.toggle);
        EXPECT_EQ(penOn(), c.after) << c.penState << "/" << c.toggle << " from " << c.before;
        EXPECT_EQ(fake_.count("setInkDriverParams"), calls + (c.before != c.after ? 1 : 0));
    }
    // In markup mode the switch only leaves markup mode.
    switchMarkupMode(true);
    SendMessageW(service_, WM_INK_SETPEN, 0, 1);
    pumpUntil([] { return !serviceState().markupMode; }, 1000);
    EXPECT_FALSE(serviceState().markupMode);
    EXPECT_EQ(penOn(), 1);
}

TEST_F(ServiceTest, TwoPenOffRequestsWithinTwoSecondsEndTheProgram) {
    setServiceClock(fakeTicks);
    ASSERT_TRUE(startAndWait());
    g_fakeTicks = 200000;
    SendMessageW(service_, WM_INK_PEN_OFF_REQUEST, 1, 0);
    pumpUntil([] { return false; }, 30);
    EXPECT_EQ(penOn(), 0);
    EXPECT_EQ(lastInkDriverParams(), (std::vector<int>{0, 0, 1, 0, 0, 0, 0, 0}));

    getLocalInkManager()->setPenOn(1);
    g_fakeTicks = 202500;  // 2.5 s later: the pen goes off again, nothing ends
    SendMessageW(service_, WM_INK_PEN_OFF_REQUEST, 1, 0);
    EXPECT_FALSE(runUntilQuit(200));
    EXPECT_EQ(penOn(), 0);

    g_fakeTicks = 203900;  // 1.4 s after the last one
    PostMessageW(service_, WM_INK_PEN_OFF_REQUEST, 1, 0);
    ASSERT_TRUE(runUntilQuit(2000));
    EXPECT_FALSE(IsWindow(service_));
    EXPECT_EQ(fake_.count("RemoveAllHooks"), 1u);
}

// Any program can post 3053: a shake as long as it asks would keep a thread
// sleeping for days, and every message started one more.
TEST_F(ServiceTest, MouseShakesFromOutsideAreBoundedInTimeAndOneAtATime) {
    ASSERT_TRUE(startAndWait());
    pumpUntil([] { return false; }, 300);
    const size_t before = threadsOfThisProcess();
    for (int i = 0; i < 20; ++i) PostMessageW(service_, WM_INK_MOUSE_SHAKE, 0x7FFFFFFF, 0);
    pumpUntil([] { return false; }, 300);
    EXPECT_LE(threadsOfThisProcess(), before + 1) << "one shake at a time";
    EXPECT_TRUE(pumpUntil([&] { return threadsOfThisProcess() <= before; }, 5000))
        << "the shake ends within its longest time";
}

TEST_F(ServiceTest, MouseTransparentModeNests) {
    ASSERT_TRUE(startAndWait());
    LocalInkManager* manager = getLocalInkManager();
    const size_t set = fake_.count("setMouseTransparent");
    const size_t unset = fake_.count("unsetMouseTransparent");
    manager->beginMouseTransparent();
    manager->beginMouseTransparent();
    manager->endMouseTransparent();
    EXPECT_TRUE(manager->isMouseTransparent());
    EXPECT_EQ(fake_.count("setMouseTransparent"), set + 1);
    EXPECT_EQ(fake_.count("unsetMouseTransparent"), unset) << "still inside the outer level";
    manager->endMouseTransparent();
    manager->endMouseTransparent();  // one end too many changes nothing
    EXPECT_FALSE(manager->isMouseTransparent());
    EXPECT_EQ(fake_.count("unsetMouseTransparent"), unset + 1);
}

TEST_F(ServiceTest, BurstOfEscapesActsOnce) {
    ASSERT_TRUE(startAndWait());
    serviceState().snapshot = false;
    switchMarkupMode(true);
    for (int i = 0; i < 3; ++i) PostMessageW(service_, WM_INK_ESCAPE, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, service_, WM_INK_ESCAPE, WM_INK_ESCAPE, PM_REMOVE));
    DispatchMessageW(&msg);
    EXPECT_FALSE(serviceState().markupMode);
    EXPECT_FALSE(PeekMessageW(&msg, service_, WM_INK_ESCAPE, WM_INK_ESCAPE, PM_NOREMOVE))
        << "the waiting escapes were removed";
}

TEST_F(ServiceTest, EscapeBeforeTheServicesStartedDoesNothing) {
    ASSERT_TRUE(start());
    // Before the start there is no markup bar to switch: the flag is set as
    // markup mode would leave it.
    serviceState().markupMode = true;
    serviceState().snapshot = false;
    // 3024 is still waiting in the queue: handle only the escape.
    SendMessageW(service_, WM_INK_ESCAPE, 0, 0);
    EXPECT_TRUE(serviceState().markupMode);
    EXPECT_EQ(SendMessageW(service_, WM_INK_PEN_DOWN, 0, 0), 0) << "no ink before the start";
}

TEST_F(ServiceTest, MessageForClientIsShownOrTraced) {
    ASSERT_TRUE(startAndWait());
    lstrcpyW(fake_.messageForClient, L"From the hook library");
    EXPECT_EQ(SendMessageW(service_, WM_INK_MESSAGE_FOR_CLIENT, 1, 0), 1);
    EXPECT_TRUE(boxes_.texts().empty());
    EXPECT_EQ(SendMessageW(service_, WM_INK_MESSAGE_FOR_CLIENT, 0, 0), 1);
    EXPECT_EQ(boxes_.texts(), std::vector<std::wstring>{L"From the hook library"});
}

TEST_F(ServiceTest, CloseFromTheMainMenuEndsTheProgram) {
    ASSERT_TRUE(startAndWait());
    std::thread picker([] { EXPECT_TRUE(sxtest::pickLastMenuItem(5000)); });
    PostMessageW(service_, WM_INK_MAIN_MENU, 0, 1);
    const bool ended = runUntilQuit(5000);
    picker.join();
    EXPECT_TRUE(ended);
    EXPECT_FALSE(IsWindow(service_));
    EXPECT_EQ(fake_.count("RemoveAllHooks"), 1u);
}

TEST_F(ServiceTest, CloseCommandEndsTheProgram) {
    ASSERT_TRUE(startAndWait());
    runMenuCommand(1);
    ASSERT_TRUE(runUntilQuit(2000));
    EXPECT_FALSE(IsWindow(service_));
    EXPECT_EQ(fake_.count("RemoveAllHooks"), 1u);
}

TEST_F(ServiceTest, SplashShowsUntilTheStartHasFinished) {
    setIntroScreen(1);
    ASSERT_TRUE(start());
    HWND splash = nullptr;
    RECT r = {};
    EXPECT_TRUE(waitUntil(
        [&] {
            splash = FindWindowW(L"sxSplashWndClass", nullptr);
            return splash && IsWindowVisible(splash) && GetWindowRect(splash, &r) &&
                   r.right - r.left == 400 && r.bottom - r.top == 240;
        },
        2000))
        << "grown to its bitmap";
    ASSERT_TRUE(pumpUntil([] { return appGlobals().servicesStarted.load(); }, 15000));
    EXPECT_TRUE(splashEnded()) << "the deferred start waits for the splash";
    EXPECT_TRUE(
        waitUntil([] { return FindWindowW(L"sxSplashWndClass", nullptr) == nullptr; }, 2000));
}

TEST_F(ServiceTest, SplashEndsAfterItsLifeWhenTheStartNeverFinishes) {
    ASSERT_TRUE(startAndWait());
    appGlobals().startupFinished = false;
    const POINT centre = {300, 300};
    CSplashWnd splash(service_, centre.x, centre.y, 170, 1, 50, 600);
    HWND window = nullptr;
    EXPECT_TRUE(
        waitUntil([&] { return (window = FindWindowW(L"sxSplashWndClass", nullptr)); }, 2000));
    EXPECT_FALSE(splash.ended());
    EXPECT_TRUE(waitUntil([&] { return splash.ended(); }, 5000)) << "its life time is used up";
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(window); }, 2000));
    appGlobals().startupFinished = true;
}

// Macros run on the recognition thread, which owns no window. Their
// {Toolbar} reaches the service window, and the main bar is made, shown and
// hidden on the main thread, whose loop paints it; no other thread makes it.
TEST_F(ServiceTest, TheMainBarAMacroAsksForBelongsToTheMainThread) {
    ASSERT_TRUE(startAndWait());
    win::setMainThread(GetCurrentThreadId());
    // The main bar's window carries its client's name.
    auto barWindow = [] { return FindWindowW(nullptr, L"sxMainBar"); };
    destroyMainBar();
    pumpUntil([&] { return barWindow() == nullptr; }, 1000);
    bool madeElsewhere = true;
    std::thread([&] { madeElsewhere = createMainBar(); }).join();
    EXPECT_FALSE(madeElsewhere) << "another thread cannot make the bar";
    EXPECT_EQ(barWindow(), nullptr);

    std::thread([] { macroLink().showMainBar(true); }).join();
    EXPECT_EQ(barWindow(), nullptr) << "nothing is made on the asking thread";
    ASSERT_TRUE(pumpUntil([&] { return barWindow() && IsWindowVisible(barWindow()); }, 3000));
    EXPECT_EQ(GetWindowThreadProcessId(barWindow(), nullptr), GetCurrentThreadId());

    std::thread([] { macroLink().showMainBar(false); }).join();
    EXPECT_TRUE(pumpUntil([&] { return !IsWindowVisible(barWindow()); }, 3000));
    EXPECT_NE(barWindow(), nullptr);
    win::setMainThread(0);
}

// Binding mode ends while one of the binding panel's menus is open: the
// menu's loop dispatches the thread's messages, among them a second
// instance's switch and the command message. The menu closes, the panel is
// gone once the menu has returned to it, and the ink manager's mode is back.
TEST_F(ServiceTest, BindingModeEndsWhileEachPanelMenuIsOpen) {
    ASSERT_TRUE(startAndWait());
    wcscpy(fake_.targetModule, L"C:\\Apps\\Notes.exe");
    struct Menu {
        const char* name;
        std::function<void(CBindPanel*)> open;
    };
    const Menu menus[] = {
        {"field menu",
         [](CBindPanel* panel) { panel->postMsgToMaster(BAR_UNIT_PICKED, BIND_UNIT_FIELD, 0); }},
        {"application menu",
         [](CBindPanel* panel) {
             panel->postMsgToMaster(BAR_UNIT_PICKED, BIND_UNIT_APPLICATION, 0);
         }},
        {"profile choice of a sticker",
         [](CBindPanel* panel) {
             CBindElem field;
             field.name = L"Subject";
             field.role = 42;
             stickers().addSticker(300, 200, 11, 0, L"<default>",
                                   new CBindingInfo(L"notes.exe", 1, L"", field));
             stickers().showAll();
             HWND tip = nullptr;
             stickers().forEach([&](CSticker& s) { tip = s.tip() ? s.tip()->window() : tip; });
             panel->postMsgToMaster(BIND_PANEL_STICKER_CLICK, reinterpret_cast<LPARAM>(tip), 0);
         }},
    };
    struct Ender {
        const char* name;
        std::function<void(HWND)> end;
    };
    const Ender enders[] = {
        {"a second instance with /0",
         [](HWND) {
             sxtest::ScribixProcess second(L"/0");
             EXPECT_TRUE(second.waitForExit(10000));
         }},
        {"command 3 (binding off)",
         [](HWND service) { EXPECT_EQ(sxtest::sendCommand(service, 3, 0), 0); }},
    };
    for (const Menu& menu : menus) {
        for (const Ender& ender : enders) {
            SCOPED_TRACE(std::string(menu.name) + ", ended by " + ender.name);
            ASSERT_EQ(command(3, 1), 0);
            ASSERT_TRUE(pumpUntil([] { return bindPanel() != nullptr; }, 3000));
            // The binding thread's marks would come and go under the test.
            stopBindShow(3000);
            ASSERT_EQ(getLocalInkManager()->mode(), INK_MODE_BINDING);
            std::atomic<bool> ended{false}, menuSeen{false};
            std::thread user([&] {
                const DWORD start = GetTickCount();
                HWND shown = nullptr;
                while (!shown && GetTickCount() - start < 5000) {
                    HWND m = FindWindowW(BAR_WINDOW_CLASS, L"PureTextMenu");
                    if (m && IsWindowVisible(m)) shown = m;
                    Sleep(20);
                }
                menuSeen = shown != nullptr;
                if (shown) ender.end(service_);
                ended = true;
            });
            menu.open(bindPanel());
            pumpUntil([&] { return ended.load() && bindPanel() == nullptr; }, 15000);
            user.join();
            EXPECT_TRUE(menuSeen);
            EXPECT_EQ(bindPanel(), nullptr) << "the panel is gone";
            EXPECT_FALSE(isBarMasterRegistered());
            EXPECT_EQ(getLocalInkManager()->mode(), INK_MODE_WRITING) << "the mode is back";
            EXPECT_EQ(FindWindowW(BAR_WINDOW_CLASS, L"PureTextMenu"), nullptr) << "no menu left";
            stickers().clear();
        }
    }
}

// The main menu's markup entry asks for the switch as every other way does
// (3050 from the queue, 1 to enter, 0 to leave), instead of switching in
// the middle of the menu's own command.
TEST_F(ServiceTest, TheMainMenusMarkupEntryPostsTheSwitch) {
    ASSERT_TRUE(startAndWait());
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on ? "entering" : "leaving");
        const bool before = serviceState().markupMode;
        runMenuCommand(14);
        EXPECT_EQ(serviceState().markupMode.load(), before) << "not switched in place";
        MSG posted = {};
        ASSERT_TRUE(PeekMessageW(&posted, service_, WM_INK_MARKUP_SWITCH, WM_INK_MARKUP_SWITCH,
                                 PM_NOREMOVE));
        EXPECT_EQ(posted.wParam, on ? 1u : 0u);
        EXPECT_TRUE(pumpUntil([&] { return serviceState().markupMode == on; }, 3000));
    }
}

// The profile choice that a macro's {UseProfile:?} asks for is titled with
// the first two letters of the language's name; the main menu's entry with
// the two-letter code of the language.
std::wstring g_menuTitle;
void CALLBACK readMenuTitle(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND window = FindWindowW(BAR_WINDOW_CLASS, L"PureTextMenu");
    auto* menu = window ? dynamic_cast<PureTextMenu*>(BarMaster::fromWindow(window)) : nullptr;
    if (!menu || menu->items().empty()) return;
    g_menuTitle = menu->items()[0].text;
    KillTimer(nullptr, timer);
    PostMessageW(window, WM_CLOSE, 0, 0);
}

TEST_F(ServiceTest, TheProfileChoiceIsTitledByWhoAsksForIt) {
    ASSERT_TRUE(startAndWait());
    // The focus window writes English.
    fake_.focusLayout = reinterpret_cast<HKL>(static_cast<UINT_PTR>(0x04090409));
    const struct {
        const char* who;
        std::function<void()> ask;
        const wchar_t* title;
    } cases[] = {
        {"a macro",
         [] {
             std::thread([] {
                 macroLink().chooseProfile(L"", generalSettings().useProfileScope);
             }).join();
         },
         L"Choose profile (En):"},
        {"the main menu", [] { runMenuCommand(22); }, L"Choose profile (en):"},
    };
    for (const auto& c : cases) {
        g_menuTitle.clear();
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, readMenuTitle);
        c.ask();
        pumpUntil([] { return !g_menuTitle.empty(); }, 5000);
        KillTimer(nullptr, timer);
        EXPECT_EQ(g_menuTitle, c.title) << c.who;
        pumpUntil([] { return FindWindowW(BAR_WINDOW_CLASS, L"PureTextMenu") == nullptr; }, 2000);
    }
    fake_.focusLayout = nullptr;
}

TEST_F(ServiceTest, StickersShowAndExpire) {
    ASSERT_TRUE(startAndWait());
    POINT at = {200, 150};
    ASSERT_TRUE(showSingleSticker(L"Writing Ok", 400, &at));
    HWND tip = nullptr;
    stickers().forEach([&](CSticker& s) { tip = s.tip() ? s.tip()->window() : nullptr; });
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(IsWindowVisible(tip));
    RECT r;
    GetWindowRect(tip, &r);
    EXPECT_EQ(r.left, 200);
    EXPECT_GT(r.top, 150) << "below the point in the upper half of the screen";
    EXPECT_TRUE(pumpUntil([&] { return !IsWindowVisible(tip); }, 5000)) << "expired";

    // 3042 clears them; the tip window goes on its own thread.
    SendMessageW(service_, WM_INK_CLEAR_STICKERS, 0, 0);
    EXPECT_FALSE(stickers().hasStickers());
    EXPECT_TRUE(pumpUntil([&] { return !IsWindow(tip); }, 1000));
}

TEST_F(ServiceTest, AListedApplicationGetsNoInk) {
    ASSERT_TRUE(startAndWait());
    HWND target = CreateWindowExW(0, L"STATIC", L"target", WS_POPUP | WS_VISIBLE, 100, 100, 300,
                                  200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    fake_.focusWindow = target;
    lstrcpyW(fake_.targetModule, L"C:\\Apps\\Listed.exe");
    const GeneralSettings saved = generalSettings();
    generalSettings().useAppFilters = 1;
    appsFilter().setApp(L"c:\\apps\\listed.exe", false);
    const LPARAM point = MAKELPARAM(150, 150);
    EXPECT_EQ(SendMessageW(service_, WM_INK_PEN_DOWN, reinterpret_cast<WPARAM>(target), point), 0)
        << "the pen is a plain pointer over a listed application";

    appsFilter().removeApp(L"c:\\apps\\listed.exe");
    const LRESULT accepted =
        SendMessageW(service_, WM_INK_PEN_DOWN, reinterpret_cast<WPARAM>(target), point);
    EXPECT_NE(accepted, 0) << "the same application, no longer listed, takes ink";
    generalSettings() = saved;
    fake_.focusWindow = nullptr;
    fake_.targetModule[0] = L'\0';
    DestroyWindow(target);
}

TEST_F(ServiceTest, StickersClearedFromAnotherThreadCloseOnTheirOwnThread) {
    ASSERT_TRUE(startAndWait());
    POINT at = {100, 100};
    ASSERT_TRUE(showSingleSticker(L"No Writing", 0, &at));
    HWND tip = nullptr;
    stickers().forEach([&](CSticker& s) { tip = s.tip()->window(); });
    ASSERT_TRUE(IsWindowVisible(tip));
    std::thread([] { stickers().clear(); }).join();
    EXPECT_TRUE(IsWindow(tip)) << "not destroyed from the wrong thread";
    EXPECT_TRUE(pumpUntil([&] { return !IsWindow(tip); }, 1000));
}

// A sticker belongs to the thread that showed it (made its tip window): one
// cleared from another thread (the recognition or the binding thread) is freed
// on its own thread, after its window, not in place.
struct StickerWitness : CDeletableByPtr {
    static DWORD freedOn;
    static bool windowAlive;
    static HWND window;
    ~StickerWitness() override {
        freedOn = GetCurrentThreadId();
        windowAlive = window && IsWindow(window);
    }
};
DWORD StickerWitness::freedOn = 0;
bool StickerWitness::windowAlive = false;
HWND StickerWitness::window = nullptr;

TEST_F(ServiceTest, AStickerClearedFromAnotherThreadIsFreedOnItsOwnAfterItsWindow) {
    ASSERT_TRUE(startAndWait());
    StickerWitness::freedOn = 0;
    stickers().clear();
    stickers().addSticker(120, 120, 5, 0, L"witness", new StickerWitness);
    SendMessageW(service_, WM_INK_SHOW_STICKERS, 0, 0);
    stickers().forEach([&](CSticker& s) { StickerWitness::window = s.tip()->window(); });
    ASSERT_TRUE(IsWindow(StickerWitness::window));
    DWORD clearer = 0;
    std::thread([&] {
        clearer = GetCurrentThreadId();
        stickers().clear();
    }).join();
    EXPECT_FALSE(stickers().hasStickers());
    ASSERT_TRUE(pumpUntil([] { return StickerWitness::freedOn != 0; }, 2000));
    EXPECT_NE(StickerWitness::freedOn, clearer) << "freed in place by the other thread";
    EXPECT_EQ(StickerWitness::freedOn, GetCurrentThreadId()) << "freed on its own thread";
    EXPECT_FALSE(StickerWitness::windowAlive) << "freed while its window was still there";
}

TEST_F(ServiceTest, UpdateAnswerWithoutDataChangesNothing) {
    ASSERT_TRUE(startAndWait());
    armUpdateTimer(service_, 30ull * 86400000ull);
    const uint64_t left = serviceState().updateWaitLeftMs;
    SendMessageW(service_, WM_INK_UPDATE_ANSWER, 0, 0);
    EXPECT_EQ(serviceState().updateWaitLeftMs, left);
    KillTimer(service_, TIMER_UPDATE_CHECK);
}

std::atomic<DWORD> g_quietTicks{0};
DWORD quietTicks() { return g_quietTicks; }

TEST_F(ServiceTest, UpdateCheckThatCannotStartWaitsForTheNextPeriod) {
    ASSERT_TRUE(startAndWait());
    generalSettings().runAutoUpdate = 1;
    generalSettings().autoUpdatePeriodDays = 30;
    // An hour without input: the check is due (and cannot start here).
    g_quietTicks = GetTickCount() + 3600000;
    setServiceClock(quietTicks);
    setUpdateThreadAllowed(false);
    armUpdateTimer(service_, 1);
    pumpUntil([] { return false; }, 300);
    setUpdateThreadAllowed(true);
    EXPECT_TRUE(KillTimer(service_, TIMER_UPDATE_CHECK)) << "the timer is armed again";
    EXPECT_EQ(serviceState().updateWaitLeftMs, 30ull * 86400000ull - 0x7FFFFFFFull)
        << "for a whole period";
    generalSettings().runAutoUpdate = 0;
}

TEST_F(ServiceTest, UpdateTimerHoldsPeriodsLongerThanTheSystemTimer) {
    ASSERT_TRUE(startAndWait());
    struct {
        int days;
        uint64_t period;
    } cases[] = {{0, 259200000ull},     {-4, 259200000ull},
                 {3, 259200000ull},     {25, 2160000000ull},
                 {400, 34560000000ull}, {0x7FFFFFFF, 0x7FFFFFFFull * 86400000ull}};
    for (const auto& c : cases) {
        generalSettings().autoUpdatePeriodDays = c.days;
        EXPECT_EQ(updatePeriodMs(), c.period) << c.days << " days";
        armUpdateTimer(service_, updatePeriodMs());
        EXPECT_EQ(serviceState().updateWaitLeftMs,
                  c.period > 0x7FFFFFFF ? c.period - 0x7FFFFFFF : 0)
            << "the rest waits for the next step";
    }
    KillTimer(service_, TIMER_UPDATE_CHECK);
}

// The program ends promptly while its automatic update check, started by the
// service window's timer, waits on a site that gives no answer: between the
// retries after an error page, or inside a fetch the site never answers. The
// check's thread has ended by then.
TEST_F(ServiceTest, ShutDownEndsPromptlyWhileTheUpdateCheckWaitsOnTheSite) {
    struct Case {
        const char* name;
        int status;
        DWORD delayMs;
    };
    const Case cases[] = {
        {"waiting to retry after an error page", 500, 0},
        {"inside a fetch the site does not answer", 200, 8000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHttp site;
        LoopbackHttp::Response response;
        response.status = c.status;
        response.body = "<update action=\"Latest\"/>";
        response.delayMs = c.delayMs;
        site.respond(response);
        WriteSetting(nullptr, L"UpgURL", site.url(L"/upgrades").c_str(), SETTING_STRING, 0);
        setUpdateRetryDelays(300000, 60000);

        ASSERT_TRUE(startAndWait());
        generalSettings().runAutoUpdate = 1;
        g_quietTicks = GetTickCount() + 3600000;
        setServiceClock(quietTicks);
        armUpdateTimer(service_, 1);
        ASSERT_TRUE(pumpUntil([&] { return !site.requests().empty(); }, 10000))
            << "the timer started the check";
        pumpUntil([] { return false; }, 300);

        const DWORD start = GetTickCount();
        shutDown();
        EXPECT_LT(GetTickCount() - start, 2500u) << "the shut-down ends promptly";
        EXPECT_TRUE(stopUpdateThread(0)) << "the check's thread has ended";
        generalSettings().runAutoUpdate = 0;
        setServiceClock(nullptr);
    }
}

}  // namespace
