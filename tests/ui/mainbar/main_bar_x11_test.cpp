// The main bar on the test's X display, driven as a user drives it: xdotool
// clicks and drags its buttons; what it asks of the service window is read
// from a stand-in service window; its look is compared with reference shots.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/AppGlobals.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/ServiceState.h"
#include "core/Settings.h"
#include "ink/LocalInkManager.h"
#include "tests/shell/FakeHookLibrary.h"
#include "tests/shell/TestSupport.h"
#include "tests/support/HostShell.h"
#include "tests/support/Screenshot.h"
#include "ui/bars/BarFramework.h"
#include "ui/mainbar/MainBar.h"
#include "ui/markup/PickerBars.h"
#include "ui/tips/Tips.h"
#include "win/Gdiplus.h"

namespace {

// The hook library as the bar sees it: a last input type and a focus window.
class BarHookLibrary : public FakeHookLibrary {
  public:
    int getLastInputType() override { return inputType; }
    HWND getLastFocusWindow() override { return focus; }
    int inputType = 0;
    HWND focus = nullptr;
};

struct Posted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Posted> g_service;

LRESULT CALLBACK serviceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_INK_START_SERVICES && message <= WM_INK_SHOW_CURSOR) {
        g_service.push_back({message, wParam, lParam});
        // The service frees the records it is handed.
        if (message == WM_INK_OUTPUT_RECORD) {
            std::unique_ptr<OutputRecord> record = win::takeRecord<OutputRecord>(lParam);
            g_service.back().lParam = reinterpret_cast<LPARAM>(record ? record->target : nullptr);
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::string xdo(const std::string& arguments) {
    return "xdotool " + arguments + "; rc=$?; echo \"rc=$rc\"; exit $rc";
}

bool runXdotool(const std::string& arguments) {
    std::string output;
    SetLastError(0);
    const DWORD start = GetTickCount();
    const bool ok = hostshell::run(xdo(arguments), 10000, &output);
    if (!ok)
        ADD_FAILURE() << "xdotool " << arguments << ": " << output << " error " << GetLastError()
                      << " after " << GetTickCount() - start << " ms";
    sxtest::pumpUntil([] { return false; }, 150);
    return ok;
}

std::string at(int x, int y) { return std::to_string(x) + " " + std::to_string(y); }

class MainBarX11 : public testing::Test {
  protected:
    void SetUp() override {
        appGlobals().instance = GetModuleHandleW(nullptr);
        gdiplus_ = win::startGdiplus();
        previous_ = setHookLibrary(&hooks_);
        hooks_.SetInitValues();
        updateScreenMetrics();
        resetSettingsToDefaults();
        service_ =
            sxtest::createTestWindow(L"MainBarTestService", serviceProc, 0, WS_POPUP, 0, 0, 1, 1);
        appGlobals().serviceWindow = service_;
        manager_ = new LocalInkManager;
        appGlobals().inkManager = manager_;
        g_service.clear();
        desktop_ = desktopRect();
    }
    void TearDown() override {
        destroyMainBar();
        appGlobals().inkManager = nullptr;
        delete manager_;
        appGlobals().serviceWindow = nullptr;
        DestroyWindow(service_);
        setHookLibrary(previous_ == &hooks_ ? nullptr : previous_);
        win::stopGdiplus(gdiplus_);
        sxtest::pumpUntil([] { return false; }, 50);
    }

    CMainBar* show() {
        showMainBar(true);
        sxtest::pumpUntil([] { return false; }, 400);
        CMainBar* bar = mainBar();
        EXPECT_NE(bar, nullptr);
        return bar;
    }
    RECT barRect() {
        RECT r = {};
        mainBarWindowRect(&r);
        return r;
    }
    // The screen centre of a button.
    POINT centreOf(UINT id) {
        BarButton* b = mainBar()->findButton(id);
        EXPECT_NE(b, nullptr);
        POINT p = {b ? (b->rect.left + b->rect.right) / 2 : 0,
                   b ? (b->rect.top + b->rect.bottom) / 2 : 0};
        ClientToScreen(mainBar()->hwnd(), &p);
        return p;
    }
    std::vector<UINT> buttonIds() {
        std::vector<UINT> ids;
        for (int i = 0; i < mainBar()->buttonCount(); ++i) ids.push_back(mainBar()->button(i)->id);
        return ids;
    }
    int serviceCount(UINT message) {
        int n = 0;
        for (const Posted& p : g_service) n += p.message == message;
        return n;
    }
    const Posted* lastService(UINT message) {
        for (auto it = g_service.rbegin(); it != g_service.rend(); ++it)
            if (it->message == message) return &*it;
        return nullptr;
    }
    void expectLooksLike(const char* name) {
        const screenshot::Result shot =
            screenshot::checkWindow(mainBar()->hwnd(), MAIN_BAR_REFERENCES, name);
        EXPECT_TRUE(shot.ok) << shot.message;
    }

    sxtest::TestSettingsKey key_{L"mainbar"};
    BarHookLibrary hooks_;
    HookLibrary* previous_ = nullptr;
    LocalInkManager* manager_ = nullptr;
    HWND service_ = nullptr;
    ULONG_PTR gdiplus_ = 0;
    RECT desktop_ = {};
};

TEST_F(MainBarX11, FreshSettingsShowTheDefaultButtonsAtTheDefaultPlace) {
    CMainBar* bar = show();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(IsWindowVisible(bar->hwnd()));
    const RECT r = barRect();
    EXPECT_EQ(r.left, desktop_.right - 260);
    EXPECT_EQ(r.top, desktop_.top + 64);
    EXPECT_EQ(buttonIds(), (std::vector<UINT>{MAIN_BAR_PEN, MAIN_BAR_MARKUP, MAIN_BAR_PUNCTUATION,
                                              MAIN_BAR_CORRECTION, MAIN_BAR_MENU}));
    EXPECT_FALSE(bar->vertical());
    EXPECT_EQ(bar->button(0)->width(), 32);
    // Layered, never activated, topmost tool window.
    EXPECT_EQ(GetWindowLongW(bar->hwnd(), GWL_EXSTYLE) & 0x08080088, 0x08080088);
    EXPECT_NE(GetForegroundWindow(), bar->hwnd());
    expectLooksLike("main_bar_horizontal_small");
}

TEST_F(MainBarX11, DraggedToTheLeftEdgeItTurnsVertical) {
    CMainBar* bar = show();
    ASSERT_NE(bar, nullptr);
    // Grip the frame between two buttons, drag to the left edge and on past it.
    const RECT r = barRect();
    const POINT grip = {r.left + 3, (r.top + r.bottom) / 2};
    ASSERT_TRUE(runXdotool("mousemove --sync " + at(grip.x, grip.y) + " sleep 0.1 mousedown 1 " +
                           "sleep 0.1 mousemove --sync " + at(grip.x - 200, grip.y + 40) +
                           " sleep 0.1 mousemove --sync " + at(desktop_.left + 40, grip.y + 80) +
                           " sleep 0.1 mousemove --sync " + at(desktop_.left, grip.y + 80) +
                           " sleep 0.3 mouseup 1"));
    sxtest::pumpUntil([] { return false; }, 600);
    EXPECT_TRUE(bar->vertical());
    const RECT v = barRect();
    EXPECT_EQ(v.left, desktop_.left);
    EXPECT_GT(v.bottom - v.top, v.right - v.left);
    expectLooksLike("main_bar_vertical_small");
    // The place is kept for the next start.
    manager_->broadcastEvent(INK_EVENT_WRITE_ICON_SETTINGS, 0);
    MainBarSettings saved = readMainBarSettings();
    EXPECT_EQ(saved.position.x, v.left);
    EXPECT_EQ(saved.lastVertical, 1);
}

// Positions of 20000 and more are parked windows: never the bar's position,
// never saved; 19999 is an ordinary place.
TEST_F(MainBarX11, ParkedPositionsAreNeverStoredOrSaved) {
    CMainBar* bar = show();
    ASSERT_NE(bar, nullptr);
    struct Case {
        int x, y;
        bool stored;
    } cases[] = {
        {19999, 100, true}, {20000, 100, false}, {100, 20000, false}, {20001, 20001, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        SetWindowPos(bar->hwnd(), nullptr, 300, 200, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        sxtest::pumpUntil([] { return false; }, 50);
        ASSERT_EQ(bar->position().x, 300);
        SetWindowPos(bar->hwnd(), nullptr, c.x, c.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        sxtest::pumpUntil([] { return false; }, 50);
        manager_->broadcastEvent(INK_EVENT_WRITE_ICON_SETTINGS, 0);
        const POINT saved = readMainBarSettings().position;
        if (c.stored) {
            EXPECT_EQ(bar->position().x, c.x);
            EXPECT_EQ(saved.x, c.x);
        } else {
            EXPECT_EQ(bar->position().x, 300);
            EXPECT_EQ(bar->position().y, 200);
            EXPECT_EQ(saved.x, 300);
            EXPECT_EQ(saved.y, 200);
        }
    }
}

// Each button asks the service window (or the ink manager) for its command.
TEST_F(MainBarX11, EachButtonSendsItsCommand) {
    generalSettings().useContextReco = 1;
    WriteSetting(L"ToolBar", L"buttons", std::vector<int>{63}.data(), SETTING_NUMBER, 0);
    hooks_.focus = service_;
    CMainBar* bar = show();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->buttonCount(), 6);
    struct Case {
        UINT button;
        UINT message;  // 0: the pen, read from the ink manager
        WPARAM wParam;
        LPARAM lParam;
        bool checkLParam;
        bool inMarkup = false;
    } cases[] = {
        {MAIN_BAR_MARKUP, WM_INK_MARKUP_SWITCH, 1, 0, true},
        {MAIN_BAR_MARKUP, WM_INK_MARKUP_SWITCH, 0, 0, true, true},  // the button toggles
        {MAIN_BAR_PUNCTUATION, WM_INK_OUTPUT_RECORD, 0, 0, false},
        {MAIN_BAR_CORRECTION, WM_INK_WORDLIST_FOR_SELECTION, 0, 0, true},
        {MAIN_BAR_BINDING, WM_INK_BINDING_PANEL, 1, 0, true},
        {MAIN_BAR_MENU, WM_INK_MAIN_MENU, 0, 1, true},
        {MAIN_BAR_PEN, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        g_service.clear();
        serviceState().markupMode = c.inMarkup;
        const int penBefore = manager_->getPenState().penOn;
        const POINT p = centreOf(c.button);
        ASSERT_TRUE(runXdotool("mousemove " + at(p.x, p.y) + " sleep 0.2 click 1"));
        sxtest::pumpUntil([&] { return c.message ? serviceCount(c.message) > 0 : false; }, 1500);
        serviceState().markupMode = false;
        if (c.message == 0) {
            EXPECT_EQ(manager_->getPenState().penOn, penBefore ? 0 : 1);
            continue;
        }
        const Posted* got = lastService(c.message);
        ASSERT_NE(got, nullptr) << "messages: " << g_service.size() << " button flags "
                                << bar->findButton(c.button)->flags;
        if (c.message != WM_INK_WORDLIST_FOR_SELECTION) {
            EXPECT_EQ(got->wParam, c.wParam);
        }
        if (c.checkLParam) {
            EXPECT_EQ(got->lParam, c.lParam);
        }
        if (c.message == WM_INK_OUTPUT_RECORD) {
            EXPECT_EQ(got->lParam, reinterpret_cast<LPARAM>(service_));  // the last focus window
        }
    }
}

TEST_F(MainBarX11, RightClickAsksForThePenMenuOnlyOverThePenButtonWithThePenOn) {
    CMainBar* bar = show();
    ASSERT_NE(bar, nullptr);
    struct Case {
        const char* name;
        UINT button;
        int penOn;
        LPARAM variant;
    } cases[] = {
        {"pen button, pen on", MAIN_BAR_PEN, 1, 7},
        {"pen button, pen off", MAIN_BAR_PEN, 0, 1},
        {"markup button, pen on", MAIN_BAR_MARKUP, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        manager_->setPenOn(c.penOn);
        g_service.clear();
        const POINT p = centreOf(c.button);
        ASSERT_TRUE(runXdotool("mousemove " + at(p.x, p.y) + " sleep 0.2 click 3"));
        sxtest::pumpUntil([&] { return serviceCount(WM_INK_MAIN_MENU) > 0; }, 1500);
        const Posted* got = lastService(WM_INK_MAIN_MENU);
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(got->lParam, c.variant);
    }
}

// A dummy master standing for the binding panel.
class DummyMaster : public BarBitmapMaster {
  public:
    DummyMaster() : BarBitmapMaster(nullptr, 0, nullptr, nullptr, nullptr, L"") { setKept(true); }
    void buildUnits() override {}
};

// A framework bar with one unit and its tip.
class TipMaster : public BarBitmapMaster {
  public:
    TipMaster() : BarBitmapMaster(nullptr, 0, nullptr, nullptr, nullptr, L"") { setKept(true); }
    void buildUnits() override {
        unit = static_cast<BarRectUnit*>(
            addUnit(new BarRectUnit(this, 1, 0xFF, L"Unit tip", RECT{0, 0, 200, 50})));
    }
    void paint(HDC dc) override {
        RECT r = {0, 0, 200, 50};
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    }
    BarRectUnit* unit = nullptr;
};

// Resting on a unit of a framework bar shows its tip; leaving the bar hides
// it and clears every unit's hover.
TEST_F(MainBarX11, FrameworkBarShowsAUnitsTipAfterARestAndClearsHoverOnLeaving) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MenuBarWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = BAR_WINDOW_CLASS;
    RegisterClassW(&wc);
    registerTipsWindowClass(GetModuleHandleW(nullptr));
    TipMaster* bar = new TipMaster;
    SetWindowPos(bar->window(), HWND_TOPMOST, 300, 300, 200, 50, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    sxtest::pumpUntil([&] { return bar->unit != nullptr; }, 1000);
    ASSERT_NE(bar->unit, nullptr);
    ASSERT_TRUE(runXdotool("mousemove 340 320 sleep 0.1 mousemove 350 322"));
    EXPECT_TRUE(sxtest::pumpUntil(
        [&] { return bar->tips() && IsWindowVisible(bar->tips()->window()); }, 3000));
    EXPECT_TRUE(bar->unit->state() & UNIT_HOVER);
    ASSERT_TRUE(runXdotool("mousemove 5 900"));
    EXPECT_TRUE(sxtest::pumpUntil([&] { return !(bar->unit->state() & UNIT_HOVER); }, 3000));
    EXPECT_TRUE(!bar->tips() || !IsWindowVisible(bar->tips()->window()));
    HWND w = bar->window();
    delete bar;
    if (IsWindow(w)) DestroyWindow(w);
    sxtest::pumpUntil([] { return false; }, 100);
}

TEST_F(MainBarX11, ThePenStaysAsItIsWhileBindingModeIsActive) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MenuBarWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = BAR_WINDOW_CLASS;
    RegisterClassW(&wc);
    CMainBar* bar = show();
    ASSERT_NE(bar, nullptr);
    DummyMaster* binding = new DummyMaster;
    registerBarMaster(binding);
    bar->refreshButtons();
    EXPECT_TRUE(bar->findButton(MAIN_BAR_PEN)->flags & BarButton::DISABLED);
    const int before = manager_->getPenState().penOn;
    const POINT p = centreOf(MAIN_BAR_PEN);
    ASSERT_TRUE(runXdotool("mousemove " + at(p.x, p.y) + " sleep 0.2 click 1"));
    EXPECT_EQ(manager_->getPenState().penOn, before);
    unregisterBarMaster(binding);
    HWND w = binding->window();
    delete binding;
    if (IsWindow(w)) DestroyWindow(w);
}

TEST_F(MainBarX11, BindingButtonNeedsContextRecognitionOrApplicationFilters) {
    WriteSetting(L"ToolBar", L"buttons", std::vector<int>{63}.data(), SETTING_NUMBER, 0);
    struct Case {
        int contextReco, appFilters;
        bool shown;
    } cases[] = {{0, 0, false}, {1, 0, true}, {0, 1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.contextReco << c.appFilters);
        generalSettings().useContextReco = c.contextReco;
        generalSettings().useAppFilters = c.appFilters;
        CMainBar* bar = show();
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->findButton(MAIN_BAR_BINDING) != nullptr, c.shown);
        destroyMainBar();
    }
}

TEST_F(MainBarX11, FollowingTheInputTouchMakesLargeButtonsAndThePenSmallOnes) {
    CMainBar* bar = show();
    ASSERT_NE(bar, nullptr);
    struct Step {
        int inputType;
        int width;
    } steps[] = {{4, 64}, {0, 32}, {4 | 1, 64}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.inputType);
        hooks_.inputType = s.inputType;
        manager_->broadcastEvent(INK_EVENT_TIPS, 0);
        sxtest::pumpUntil([] { return false; }, 100);
        EXPECT_EQ(bar->button(0)->width(), s.width);
    }
}

// The manager raises events on whichever thread it is on: the recognition
// thread announces every result while the bar's own thread relays the bar (a
// switch between touch and pen sizes, the customization's new button set).
// The bar's buttons are only ever used on its own thread, and after the last
// event they show the state of the end.
TEST_F(MainBarX11, ResultsFromAnotherThreadWhileTheBarIsRelaidOut) {
    CMainBar* bar = show();
    ASSERT_NE(bar, nullptr);
    manager_->setPenOn(1);
    generalSettings().autoUpdateCorrectionBtn = 1;
    HWND field = CreateWindowExW(0, L"EDIT", L"some text", WS_POPUP | WS_VISIBLE, 10, 400, 200, 30,
                                 nullptr, nullptr, nullptr, nullptr);
    SendMessageW(field, EM_SETSEL, 0, 4);
    hooks_.focus = field;
    std::atomic<bool> stop{false};
    std::atomic<int> announced{0};
    std::thread recognition([&] {
        while (!stop) {
            manager_->broadcastEvent(INK_EVENT_RESULT_CHANGED, 0);
            manager_->broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
            ++announced;
            Sleep(1);
        }
    });
    const int masks[] = {55, 55 & ~4, 63, 55 & ~16};
    for (int round = 0; round < 60; ++round) {
        hooks_.inputType = round % 2 ? 1 : 4;  // touch, then the mouse
        bar->onInputType();
        MainBarSettings s = bar->settings();
        s.buttons = masks[round % 4];
        bar->applySettings(s);
        bar->layoutButtons(0);
        sxtest::pumpUntil([] { return false; }, 5);
    }
    stop = true;
    recognition.join();
    EXPECT_GT(announced.load(), 20) << "the other thread hardly ran";
    sxtest::pumpUntil([] { return false; }, 300);
    // The end: the mask of the last round, small buttons, and the correction
    // button enabled by the field's selection.
    EXPECT_EQ(buttonIds(), (std::vector<UINT>{MAIN_BAR_PEN, MAIN_BAR_MARKUP, MAIN_BAR_CORRECTION,
                                              MAIN_BAR_MENU}));
    EXPECT_EQ(bar->button(0)->width(), 32);
    EXPECT_FALSE(bar->findButton(MAIN_BAR_CORRECTION)->flags & BarButton::DISABLED);
    generalSettings().autoUpdateCorrectionBtn = 0;
    hooks_.focus = nullptr;
    DestroyWindow(field);
}

// The punctuation button is on while the punctuation bar is open (and
// disabled then, as the bar runs modally), off again when it closes.
TEST_F(MainBarX11, ThePunctuationButtonIsOnWhileThePunctuationBarIsOpen) {
    CMainBar* bar = show();
    ASSERT_NE(bar, nullptr);
    BarButton* punctuation = bar->findButton(MAIN_BAR_PUNCTUATION);
    ASSERT_NE(punctuation, nullptr);
    EXPECT_FALSE(punctuation->flags & BarButton::TOGGLED_ON);
    int answer = 0;
    const POINT at = {300, 300};
    DelimBarMaster* delim = new DelimBarMaster(&at, nullptr, &answer, false);
    sxtest::pumpUntil([] { return false; }, 200);
    bar->refreshButtons();
    EXPECT_TRUE(punctuation->flags & BarButton::TOGGLED_ON);
    EXPECT_TRUE(punctuation->flags & BarButton::DISABLED);
    delim->close(true);  // its end refreshes the main bar
    sxtest::pumpUntil([] { return false; }, 200);
    punctuation = bar->findButton(MAIN_BAR_PUNCTUATION);
    EXPECT_FALSE(punctuation->flags & BarButton::TOGGLED_ON);
    EXPECT_FALSE(punctuation->flags & BarButton::DISABLED);
}

// A pan flicks the bar the way the finger went from the gesture's start to
// its end on the screen, also when it ends where its last step was.
TEST_F(MainBarX11, APanFlicksTheBarToTheEdgeTheFingerWentTo) {
    CMainBar* bar = show();
    ASSERT_NE(bar, nullptr);
    struct Case {
        const char* name;
        int dx, dy;
        bool toLeft, toTop;
    } cases[] = {{"left", -40, 0, true, false}, {"up", 0, -30, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bar->placeAt(RECT{400, 300, 400, 300}, false);
        sxtest::pumpUntil([] { return false; }, 100);
        RECT r = barRect();
        const POINT start = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        EXPECT_TRUE(bar->onGesture(4, 1, start, 0));
        bar->onGesture(4, 0, POINT{start.x + c.dx / 2, start.y + c.dy / 2}, 0);
        bar->onGesture(4, 0, POINT{start.x + c.dx, start.y + c.dy}, 0);
        bar->onGesture(4, 4, POINT{start.x + c.dx, start.y + c.dy}, 0);
        sxtest::pumpUntil([] { return false; }, 1500);
        r = barRect();
        if (c.toLeft) {
            EXPECT_EQ(r.left, desktop_.left);
        }
        if (c.toTop) {
            EXPECT_EQ(r.top, desktop_.top);
        }
    }
}

// Sliding out to an edge leaves the strip of the last input: the touch strip
// after touch also when the bar's size does not follow the input.
TEST_F(MainBarX11, SlidOutTheStripFollowsTheLastInput) {
    MainBarSettings fixed = readMainBarSettings();
    fixed.sizeMode = SIZE_SMALL;
    writeMainBarSettings(fixed);
    CMainBar* bar = show();
    ASSERT_NE(bar, nullptr);
    struct Case {
        int inputType;
        SIZE strip;
    } cases[] = {{4, bar->touchStrip()}, {1, bar->penStrip()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inputType);
        hooks_.inputType = c.inputType;
        bar->placeAt(RECT{desktop_.left, 300, desktop_.left, 300}, false);
        sxtest::pumpUntil([] { return false; }, 100);
        const RECT before = barRect();
        bar->slideOut(50);
        const RECT out = barRect();
        EXPECT_EQ(out.right - desktop_.left, c.strip.cx) << "the strip left on the screen";
        bar->slideIn(50);
        EXPECT_EQ(barRect().left, before.left);
    }
}

// Each layout, looked at once and kept as a reference.
TEST_F(MainBarX11, LayoutsLookAsReviewed) {
    struct Case {
        const char* name;
        int sizeMode;
        int layoutMode;
    } cases[] = {
        {"main_bar_horizontal_large", SIZE_LARGE, LAYOUT_HORIZONTAL},
        {"main_bar_vertical_large", SIZE_LARGE, LAYOUT_VERTICAL},
        {"main_bar_vertical_small_fixed", SIZE_SMALL, LAYOUT_VERTICAL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSetting(L"ToolBar", L"sizeMode", &c.sizeMode, SETTING_NUMBER, 0);
        WriteSetting(L"ToolBar", L"layoutMode", &c.layoutMode, SETTING_NUMBER, 0);
        const POINT place = {400, 300};
        WriteSetting(L"ToolBar", L"position", &place, SETTING_POINT, 0);
        CMainBar* bar = show();
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->vertical(), c.layoutMode == LAYOUT_VERTICAL);
        EXPECT_EQ(bar->button(0)->width(), c.sizeMode == SIZE_LARGE ? 64 : 32);
        const RECT r = barRect();
        EXPECT_EQ(r.left, 400);
        EXPECT_EQ(r.top, 300);
        expectLooksLike(c.name);
        destroyMainBar();
    }
}

// Resting on a button shows its tip from the string table.
TEST_F(MainBarX11, RestingOnAButtonShowsItsTip) {
    CMainBar* bar = show();
    ASSERT_NE(bar, nullptr);
    struct Case {
        UINT button;
        const wchar_t* tip;
    } cases[] = {{MAIN_BAR_PEN, L"Pen On/Off"}, {MAIN_BAR_CORRECTION, L"Correct Last/Select"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        const POINT p = centreOf(c.button);
        ASSERT_TRUE(
            runXdotool("mousemove " + at(p.x, p.y - 3) + " sleep 0.1 mousemove " + at(p.x, p.y)));
        std::wstring shown;
        EXPECT_TRUE(sxtest::pumpUntil(
            [&] {
                if (!IsWindowVisible(bar->tooltip())) return false;
                wchar_t text[80] = L"";
                GetWindowTextW(bar->tooltip(), text, 80);
                shown = text;
                return shown == c.tip;
            },
            4000))
            << "shown: " << std::string(shown.begin(), shown.end());
        ASSERT_TRUE(runXdotool("mousemove 5 900"));
        sxtest::pumpUntil([&] { return !IsWindowVisible(bar->tooltip()); }, 2000);
    }
}

// The bar's own tip (its second tooltip object) under a button, as reviewed;
// pressing the bar with the mouse takes it away.
TEST_F(MainBarX11, OwnTipUnderAButtonLooksAsReviewedAndAPressTakesItAway) {
    registerTipsWindowClass(GetModuleHandleW(nullptr));
    CMainBar* bar = show();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(bar->showButtonTip(bar->findButton(MAIN_BAR_PEN)));
    ASSERT_NE(bar->tips(), nullptr);
    const HWND tip = bar->tips()->window();
    EXPECT_TRUE(sxtest::pumpUntil([&] { return IsWindowVisible(tip) != FALSE; }, 1000));
    EXPECT_EQ(bar->tips()->text(), L"Pen On/Off");
    sxtest::pumpUntil([] { return false; }, 200);
    const screenshot::Result shot = screenshot::checkWindow(tip, MAIN_BAR_REFERENCES, "own_tip");
    EXPECT_TRUE(shot.ok) << shot.message;

    const POINT p = centreOf(MAIN_BAR_CORRECTION);
    ASSERT_TRUE(runXdotool("mousemove " + at(p.x, p.y) + " sleep 0.1 mousedown 1"));
    EXPECT_TRUE(sxtest::pumpUntil([&] { return !IsWindowVisible(tip); }, 2000));
    ASSERT_TRUE(runXdotool("mouseup 1 sleep 0.1 mousemove 5 900"));
    sxtest::pumpUntil([] { return false; }, 200);
}

TEST_F(MainBarX11, HiddenBarStaysMadeAndShowsAgain) {
    showMainBar(false);
    sxtest::pumpUntil([] { return false; }, 200);
    ASSERT_NE(mainBar(), nullptr);
    EXPECT_FALSE(IsWindowVisible(mainBar()->hwnd()));
    EXPECT_FALSE(mainBar()->meantVisible());
    restoreMainBar();  // only a bar meant to be visible comes back
    EXPECT_FALSE(IsWindowVisible(mainBar()->hwnd()));
    showMainBar(true);
    EXPECT_TRUE(IsWindowVisible(mainBar()->hwnd()));
}

}  // namespace
