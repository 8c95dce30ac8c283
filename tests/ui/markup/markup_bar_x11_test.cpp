// The markup bar on the test's X display over a markup canvas driven by the
// ink control stand-in (which writes every message it receives to a log):
// the buttons a user clicks send the control's tool and width codes, the
// compact bar opens its pickers, the pen table keeps each tool's width and
// colour, the button states follow the mode, and a clip is handed on and its
// tool closed.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <functional>
#include <thread>
#include <sstream>
#include <string>
#include <vector>

#include "core/AppGlobals.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/ServiceState.h"
#include "core/Settings.h"
#include "ink/LiveInk.h"
#include "ink/LocalClient.h"
#include "ink/LocalInkManager.h"
#include "outside/ZVFatInk.h"
#include "tests/shell/FakeHookLibrary.h"
#include "tests/shell/TestSupport.h"
#include "tests/support/HostShell.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TempDir.h"
#include "tests/ui/clip/RefusingCaptureClass.h"
#include "ui/bars/BarFramework.h"
#include "ui/bars/BarGestures.h"
#include "ui/clip/ClipOutput.h"
#include "ui/customize/MarkupCustomization.h"
#include "ui/markup/MarkupBar.h"
#include "resources/resource.h"
#include "win/Gdiplus.h"

namespace {

const std::string kReferences = SCRIBIX_MARKUP_REFERENCES;

struct Posted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Posted> g_service;

LRESULT CALLBACK serviceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_INK_START_SERVICES && message <= WM_INK_SHOW_CURSOR) {
        g_service.push_back({message, wParam, lParam});
        if (message == WM_INK_COMMAND_RECORD) win::takeRecord<CommandRecord>(lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool xdotool(const std::string& arguments) {
    std::string output;
    const bool ok = hostshell::run("xdotool " + arguments, 10000, &output);
    if (!ok) ADD_FAILURE() << "xdotool " << arguments << ": " << output;
    sxtest::pumpUntil([] { return false; }, 200);
    return ok;
}

std::string readFile(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

int clipboardChoice(HWND, POINT) { return 1; }

class MarkupBarX11 : public testing::Test {
  protected:
    void SetUp() override {
        appGlobals().instance = GetModuleHandleW(nullptr);
        gdiplus_ = win::startGdiplus();
        appGlobals().gdiplusToken = gdiplus_;
        previous_ = setHookLibrary(&hooks_);
        updateScreenMetrics();
        resetSettingsToDefaults();
        log_ = dir_.file(L"fatink.log");
        SetEnvironmentVariableW(L"ZVFATINK_LOG", log_.c_str());
        service_ =
            sxtest::createTestWindow(L"MarkupTestService", serviceProc, 0, WS_POPUP, 0, 0, 1, 1);
        appGlobals().serviceWindow = service_;
        canvas_ = sxtest::createTestWindow(L"ScribixMarkupCtrlWndClass", MarkupCtrlWndProc,
                                           WS_EX_TOOLWINDOW, WS_POPUP, 0, 0, 10, 10);
        appGlobals().markupCtrlWindow = canvas_;
        manager_ = new LocalInkManager;
        appGlobals().inkManager = manager_;
        g_service.clear();
        serviceState().markupMode = true;
        serviceState().snapshot = true;
        xdotool("mousemove 1200 1000");
    }
    void TearDown() override {
        delete markupBar();
        serviceState().markupMode = false;
        serviceState().snapshot = true;
        appGlobals().inkManager = nullptr;
        delete manager_;
        DestroyWindow(canvas_);
        appGlobals().markupCtrlWindow = nullptr;
        appGlobals().serviceWindow = nullptr;
        DestroyWindow(service_);
        setHookLibrary(previous_ == &hooks_ ? nullptr : previous_);
        appGlobals().gdiplusToken = 0;
        win::stopGdiplus(gdiplus_);
        SetEnvironmentVariableW(L"ZVFATINK_LOG", nullptr);
        setClipMenuChooser(nullptr);
        sxtest::pumpUntil([] { return false; }, 50);
    }

    // The bar made as start-up makes it, then shown as markup mode shows it.
    CMarkupBar* showBar(int showMode = APPEARANCE_AUTO, int sizeMode = SIZE_SMALL) {
        WriteSetting(L"MarkupBar", L"showMode", &showMode, SETTING_NUMBER, 0);
        WriteSetting(L"MarkupBar", L"sizeMode", &sizeMode, SETTING_NUMBER, 0);
        POINT place = {100, 120};
        WriteSetting(L"MarkupBar", L"position", &place, SETTING_POINT, 0);
        createMarkupBar();
        CMarkupBar* bar = markupBar();
        EXPECT_NE(bar, nullptr);
        if (!bar) return nullptr;
        EXPECT_FALSE(IsWindowVisible(bar->hwnd())) << "the bar starts hidden";
        ShowWindow(bar->hwnd(), SW_SHOWNOACTIVATE);
        bar->refreshButtons();
        sxtest::pumpUntil([] { return false; }, 400);
        return bar;
    }
    POINT centreOf(CVexaBar* bar, UINT id) {
        BarButton* b = bar->findButton(id);
        EXPECT_NE(b, nullptr) << id;
        POINT p = {b ? (b->rect.left + b->rect.right) / 2 : 0,
                   b ? (b->rect.top + b->rect.bottom) / 2 : 0};
        ClientToScreen(bar->hwnd(), &p);
        return p;
    }
    bool click(CVexaBar* bar, UINT id) {
        const POINT p = centreOf(bar, id);
        return xdotool("mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) +
                       " sleep 0.1 click 1");
    }
    bool logHas(const std::string& line) {
        return readFile(log_).find(line + "\n") != std::string::npos;
    }
    void expectLooksLike(HWND window, const char* name) {
        const screenshot::Result shot = screenshot::checkWindow(window, kReferences, name);
        EXPECT_TRUE(shot.ok) << shot.message;
    }

    sxtest::TestSettingsKey key_{L"markupbar"};
    TempDir dir_;
    std::wstring log_;
    FakeHookLibrary hooks_;
    HookLibrary* previous_ = nullptr;
    LocalInkManager* manager_ = nullptr;
    HWND service_ = nullptr;
    HWND canvas_ = nullptr;
    ULONG_PTR gdiplus_ = 0;
};

TEST_F(MarkupBarX11, CreationSetsThePencilAndTheRecognizerFolder) {
    showBar();
    EXPECT_TRUE(logHas("1281 1 0")) << readFile(log_);
    EXPECT_TRUE(logHas("1285 255 0")) << "the pencil's red";
    EXPECT_NE(readFile(log_).find("folder = "), std::string::npos);
    EXPECT_NE(readFile(log_).find("\\English\n"), std::string::npos);
    EXPECT_EQ(markup_canvas::currentTool(), TOOL_PENCIL);
}

TEST_F(MarkupBarX11, ExtendedButtonsSendTheControlsCodes) {
    CMarkupBar* bar = showBar();
    ASSERT_FALSE(bar->compact()) << "small and automatic: extended";
    expectLooksLike(bar->hwnd(), "markup_bar_extended");
    struct Case {
        UINT button;
        const char* logged;
        int tool;
        int width;
    };
    const Case cases[] = {
        {MB_PEN, "1281 0 0", TOOL_PEN, 0},
        {MB_MARKER, "1281 5 0", TOOL_MARKER, 0},
        {MB_WIDTH1 << 3, "1283 1016 0", TOOL_MARKER, 16},
        {MB_SELECTOR, "1281 4 0", TOOL_SELECTOR, 16},
        {MB_WIDTH1, "1283 1001 0", TOOL_SELECTOR, 1},
        {MB_CUTTER, "1281 3 0", TOOL_CUTTER, 1},
        {MB_PENCIL, "1281 1 0", TOOL_PENCIL, 0},
    };
    for (const Case& c : cases) {
        DeleteFileW(log_.c_str());
        ASSERT_TRUE(click(bar, c.button));
        EXPECT_TRUE(logHas(c.logged)) << c.button << ":\n" << readFile(log_);
        EXPECT_EQ(markup_canvas::currentTool(), c.tool) << c.button;
        if (c.width) {
            EXPECT_EQ(markup_canvas::currentWidth(), c.width) << c.button;
        }
    }
    // The tool's button is on, the others off.
    EXPECT_TRUE(bar->findButton(MB_PENCIL)->flags & BarButton::TOGGLED_ON);
    EXPECT_FALSE(bar->findButton(MB_MARKER)->flags & BarButton::TOGGLED_ON);
}

TEST_F(MarkupBarX11, TheCompactBarOpensItsPickers) {
    CMarkupBar* bar = showBar(APPEARANCE_AUTO, SIZE_LARGE);
    ASSERT_TRUE(bar->compact()) << "large and automatic: compact";
    EXPECT_EQ(bar->buttonCount(), 10);
    expectLooksLike(bar->hwnd(), "markup_bar_compact");

    ASSERT_TRUE(click(bar, MB_TOOL));
    ASSERT_TRUE(IsWindowVisible(bar->pensBar()->hwnd())) << "no pens bar";
    expectLooksLike(bar->pensBar()->hwnd(), "pens_bar");
    DeleteFileW(log_.c_str());
    ASSERT_TRUE(click(bar->pensBar(), TOOL_MARKER));
    EXPECT_TRUE(logHas("1281 5 0")) << readFile(log_);
    EXPECT_FALSE(IsWindowVisible(bar->pensBar()->hwnd())) << "the picker hides after a pick";

    ASSERT_TRUE(click(bar, MB_WIDTH));
    ASSERT_TRUE(IsWindowVisible(bar->widthsBar()->hwnd())) << "no widths bar";
    DeleteFileW(log_.c_str());
    ASSERT_TRUE(click(bar->widthsBar(), 5));
    EXPECT_TRUE(logHas("1283 1024 0")) << readFile(log_);
    EXPECT_FALSE(IsWindowVisible(bar->widthsBar()->hwnd()));
    EXPECT_EQ(bar->penTable().lastMarkerWidth, 24);
}

TEST_F(MarkupBarX11, ThePenTableKeepsEachToolsWidthAndColour) {
    CMarkupBar* bar = showBar();
    // "penWidths" missing: 1, 4, 8, 16, 24; an index beyond the five is the last.
    bar->setPenWidthIndex(7);
    EXPECT_EQ(markup_canvas::currentWidth(), 24);
    bar->setPenWidthIndex(-3);
    EXPECT_EQ(markup_canvas::currentWidth(), 1);

    bar->selectTool(TOOL_PEN);
    bar->setPenWidth(8);
    bar->setPenColour(RGB(0, 128, 0));
    bar->selectTool(TOOL_MARKER);
    bar->setPenWidth(16);
    EXPECT_EQ(markup_canvas::currentColour(), RGB(255, 255, 0)) << "the marker's own colour";
    bar->selectTool(TOOL_PEN);
    EXPECT_EQ(markup_canvas::currentWidth(), 8);
    EXPECT_EQ(markup_canvas::currentColour(), RGB(0, 128, 0));
    // A tool that never kept a colour keeps the control's.
    bar->selectTool(TOOL_SELECTOR);
    EXPECT_EQ(markup_canvas::currentColour(), RGB(0, 128, 0));

    // Kept in the settings for the next start.
    delete bar;
    MarkupPenTable table = readMarkupPenTable();
    EXPECT_EQ(table.lastStyloWidth, 8);
    EXPECT_EQ(table.lastStyloColor, RGB(0, 128, 0));
    EXPECT_EQ(table.lastMarkerWidth, 16);
}

TEST(MarkupWidths, TheNearestWidthIndex) {
    const int widths[5] = {1, 4, 8, 16, 24};
    const struct {
        int width, index;
    } cases[] = {{0, 0},  {1, 0},  {2, 1},  {4, 1},  {5, 1},  {6, 2},
                 {11, 2}, {12, 3}, {19, 3}, {20, 4}, {24, 4}, {99, 4}};
    for (const auto& c : cases) EXPECT_EQ(nearestWidthIndex(widths, c.width), c.index) << c.width;
}

TEST_F(MarkupBarX11, TheCutterOverASelectionCutsItAndKeepsTheTool) {
    CMarkupBar* bar = showBar();
    // A stroke, then a selector drag over it, by the control's own mouse messages.
    SetWindowPos(canvas_, nullptr, 0, 0, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    bar->selectTool(TOOL_PENCIL);
    SendMessageW(canvas_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    SendMessageW(canvas_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 40));
    SendMessageW(canvas_, WM_LBUTTONUP, 0, MAKELPARAM(80, 60));
    bar->selectTool(TOOL_SELECTOR);
    SendMessageW(canvas_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(canvas_, WM_LBUTTONUP, 0, MAKELPARAM(100, 100));
    ASSERT_TRUE(markup_canvas::hasSelection());
    DeleteFileW(log_.c_str());
    bar->selectTool(TOOL_CUTTER);
    EXPECT_TRUE(logHas(std::to_string(WM_CUT) + " 0 0")) << readFile(log_);
    EXPECT_EQ(markup_canvas::currentTool(), TOOL_SELECTOR);
    EXPECT_FALSE(markup_canvas::hasSelection());
}

TEST_F(MarkupBarX11, ButtonStatesFollowTheSnapshotFlagAndTheCutter) {
    CMarkupBar* bar = showBar();
    const UINT needSnapshot[] = {MB_UNDO,     MB_REDO,   MB_SNAPSHOT, MB_MARKER,
                                 MB_SELECTOR, MB_CUTTER, MB_SHAPES,   MB_MENU};
    serviceState().snapshot = false;
    bar->refreshButtons();
    for (UINT id : needSnapshot)
        EXPECT_TRUE(bar->findButton(id)->flags & BarButton::DISABLED) << id;
    EXPECT_FALSE(bar->findButton(MB_PENCIL)->flags & BarButton::DISABLED);
    EXPECT_FALSE(bar->findButton(MB_CLEAR)->flags & BarButton::DISABLED);
    serviceState().snapshot = true;
    bar->selectTool(TOOL_CUTTER);
    for (UINT id : {UINT(MB_COLOURS), UINT(MB_SHAPES), UINT(MB_WIDTH1), UINT(MB_WIDTH1) << 4})
        EXPECT_TRUE(bar->findButton(id)->flags & BarButton::DISABLED) << id;
    EXPECT_FALSE(bar->findButton(MB_UNDO)->flags & BarButton::DISABLED);
    EXPECT_TRUE(bar->findButton(MB_CUTTER)->flags & BarButton::TOGGLED_ON);
}

TEST_F(MarkupBarX11, ButtonsAskTheServiceForTheirCommands) {
    CMarkupBar* bar = showBar();
    struct Case {
        UINT button;
        UINT message;
        WPARAM wParam;
    };
    const Case cases[] = {
        {MB_EXIT, WM_INK_MARKUP_SWITCH, 0},  // in markup mode: leave it
        {MB_MENU, WM_INK_MAIN_MENU, 0},
        {MB_COLOURS, WM_INK_COMMAND_RECORD, 0},
    };
    for (const Case& c : cases) {
        g_service.clear();
        ASSERT_TRUE(click(bar, c.button));
        ASSERT_FALSE(g_service.empty()) << c.button;
        EXPECT_EQ(g_service.back().message, c.message) << c.button;
        EXPECT_EQ(g_service.back().wParam, c.wParam) << c.button;
    }
}

TEST_F(MarkupBarX11, AClipIsHandedOnAndItsToolClosedSoAnotherCanStart) {
    CMarkupBar* bar = showBar();
    setClipMenuChooser(clipboardChoice);
    for (int round = 1; round <= 2; ++round) {
        g_service.clear();
        bar->startScreenCapture();
        ASSERT_TRUE(sxtest::pumpUntil([&] { return bar->captureWindow() != nullptr; }, 5000))
            << "round " << round;
        sxtest::pumpUntil([] { return false; }, 300);
        ASSERT_TRUE(
            xdotool("mousemove 400 400 mousedown 1 mousemove 450 430 mousemove 500 460 "
                    "mouseup 1"));
        ASSERT_TRUE(sxtest::pumpUntil(
            [&] {
                for (const Posted& p : g_service)
                    if (p.message == WM_INK_CLIP_READY) return true;
                return false;
            },
            5000))
            << "round " << round;
        EXPECT_STREQ(bar->lastClipCaption(), L"100 x 60");
        handMarkupClip(0);
        EXPECT_EQ(bar->captureWindow(), nullptr);
        ASSERT_TRUE(
            sxtest::pumpUntil([] { return !FindWindowW(SCREEN_CAPTURE_CLASS, nullptr); }, 5000))
            << "the tool stayed open";
        ASSERT_TRUE(OpenClipboard(nullptr));
        EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
        CloseClipboard();
        // Its thread lets the mutex go as it ends.
        sxtest::pumpUntil(
            [] {
                HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, SCREEN_CAPTURE_MUTEX);
                if (m) CloseHandle(m);
                return m == nullptr;
            },
            5000);
    }
}

bool captureMutexExists() {
    HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, SCREEN_CAPTURE_MUTEX);
    if (m) CloseHandle(m);
    return m != nullptr;
}

// A clipping tool that gives up (here its window cannot be made) is let go
// by the bar as it hears of it, so the next clip starts.
TEST_F(MarkupBarX11, AClipStartsAfterTheToolGaveUp) {
    CMarkupBar* bar = showBar();
    ASSERT_TRUE(refusingcapture::registerRefusingClass());
    bar->startScreenCapture();
    EXPECT_TRUE(captureMutexExists()) << "the tool did not start";
    // The tool goes once the bar closes it: its mutex goes with it.
    EXPECT_TRUE(sxtest::pumpUntil([] { return !captureMutexExists(); }, 5000))
        << "the bar kept the tool that gave up";
    ASSERT_TRUE(refusingcapture::unregisterRefusingClass());
    bar->startScreenCapture();
    EXPECT_TRUE(sxtest::pumpUntil([&] { return bar->captureWindow() != nullptr; }, 5000))
        << "no clip starts after the tool gave up";
}

// The bar's client is named after its settings key and, on loading them,
// inks with the markup pencil: type 2, its last width and its colour.
TEST_F(MarkupBarX11, LoadingGivesTheBarsClientTheMarkupPencil) {
    int width = 8;
    COLORREF colour = RGB(0, 128, 0);
    WriteSetting(L"MarkupBar", L"lastPencilWidth", &width, SETTING_NUMBER, 0);
    WriteSetting(L"MarkupBar", L"lastPencilColor", &colour, SETTING_COLOR, 0);
    CMarkupBar* bar = showBar();
    ASSERT_NE(bar->client(), nullptr);
    const LocalClientRecord& record = bar->client()->record();
    EXPECT_STREQ(record.name, L"MarkupBar");
    EXPECT_EQ(record.penType, 2);
    EXPECT_EQ(record.penWidth, 8);
    EXPECT_EQ(record.penColor, RGB(0, 128, 0));

    // Loaded again (event 5) after the stored pencil changed.
    width = 16;
    colour = RGB(1, 2, 3);
    WriteSetting(L"MarkupBar", L"lastPencilWidth", &width, SETTING_NUMBER, 0);
    WriteSetting(L"MarkupBar", L"lastPencilColor", &colour, SETTING_COLOR, 0);
    bar->client()->onNotify(INK_EVENT_READ_ICON_SETTINGS, 0);
    EXPECT_EQ(record.penWidth, 16);
    EXPECT_EQ(record.penColor, RGB(1, 2, 3));
    // A pen change of the manager does not take the bar's client's pen.
    bar->client()->onNotify(INK_EVENT_PEN_CHANGED, 0);
    EXPECT_EQ(record.penType, 2);
    EXPECT_EQ(record.penWidth, 16);
}

// The customization dialog's choice relays the bar at once and is stored.
TEST_F(MarkupBarX11, TheCustomizeChoiceRelaysTheBarAndIsStored) {
    CMarkupBar* bar = showBar(APPEARANCE_AUTO, SIZE_SMALL);
    const struct Case {
        int size, show;
        bool compact;
        int buttons;
    } cases[] = {
        {SIZE_SMALL, APPEARANCE_COMPACT, true, 10},
        {SIZE_LARGE, APPEARANCE_EXTENDED, false, 18},
        {SIZE_LARGE, APPEARANCE_AUTO, true, 10},
        {SIZE_SMALL, APPEARANCE_AUTO, false, 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + "/" + std::to_string(c.show));
        bar->applyAppearance(c.size == SIZE_LARGE, c.size, c.show);
        EXPECT_EQ(bar->compact(), c.compact);
        EXPECT_EQ(bar->buttonCount(), c.buttons);
        EXPECT_EQ(bar->sizeMode(), c.size == SIZE_LARGE ? 1 : 0);
        EXPECT_EQ(bar->autoHide(), c.size == SIZE_LARGE);
        const MarkupPenTable stored = readMarkupPenTable();
        EXPECT_EQ(stored.showMode, c.show);
        EXPECT_EQ(stored.sizeMode, c.size);
        EXPECT_EQ(stored.autoHide, c.size == SIZE_LARGE ? 1 : 0);
    }
    // Out of markup mode the bar is hidden, and a new choice leaves it so.
    ShowWindow(bar->hwnd(), SW_HIDE);
    bar->applyAppearance(false, SIZE_LARGE, APPEARANCE_COMPACT);
    sxtest::pumpUntil([] { return false; }, 200);
    EXPECT_FALSE(IsWindowVisible(bar->hwnd()));
    EXPECT_TRUE(bar->compact());
}

// The service's entry over the live bar, worked by a user: Compact and OK.
TEST_F(MarkupBarX11, TheServiceEntryCustomizesTheLiveBar) {
    CMarkupBar* bar = showBar(APPEARANCE_AUTO, SIZE_SMALL);
    ASSERT_FALSE(bar->compact());
    std::thread user([] {
        const DWORD start = GetTickCount();
        while (!markupCustomizationWindow() && GetTickCount() - start < 10000) Sleep(20);
        HWND dialog = markupCustomizationWindow();
        if (!dialog) return;
        Sleep(300);
        for (int id : {IDC_CUSTOMIZE_COMPACT, IDOK}) {
            RECT r = {};
            GetWindowRect(GetDlgItem(dialog, id), &r);
            const int x = id == IDOK ? (r.left + r.right) / 2 : r.left + 6;
            hostshell::run("xdotool mousemove " + std::to_string(x) + " " +
                               std::to_string((r.top + r.bottom) / 2) + " click 1 mousemove 5 5",
                           10000);
            Sleep(200);
        }
        if (HWND still = markupCustomizationWindow()) PostMessageW(still, WM_COMMAND, IDCANCEL, 0);
    });
    showMarkupCustomizeDialog(service_);
    user.join();
    EXPECT_TRUE(bar->compact());
    EXPECT_EQ(bar->buttonCount(), 10);
    EXPECT_EQ(readMarkupPenTable().showMode, APPEARANCE_COMPACT);
}

// Clear without the canvas (markup over the applications): the ink window
// is hidden and shown again, so that the ink drawn into it goes, and the
// screen prepared for the live ink is no longer waiting to be restored.
struct InkWindowLog {
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_SHOWWINDOW) shows.push_back(wp != 0);
        return DefWindowProcW(w, m, wp, lp);
    }
    static std::vector<bool> shows;
};
std::vector<bool> InkWindowLog::shows;

TEST_F(MarkupBarX11, ClearWithoutTheCanvasShowsTheInkWindowAfresh) {
    CMarkupBar* bar = showBar();
    ASSERT_FALSE(IsWindowVisible(canvas_));
    HWND ink = sxtest::createTestWindow(L"MarkupTestInkLayer", InkWindowLog::proc,
                                        WS_EX_NOACTIVATE | WS_EX_TOPMOST, WS_POPUP, 0, 0, 50, 50);
    ShowWindow(ink, SW_SHOWNOACTIVATE);
    appGlobals().inkLayerWindow = ink;
    // A stroke in live ink: the rectangle around it is pending.
    LocalClientRecord record = {};
    lstrcpynW(record.name, L"writer", 60);
    record.enabled = 1;
    record.penType = 2;
    record.penWidth = 3;
    record.penColor = RGB(255, 0, 0);
    LocalClient writer(&record);
    ASSERT_EQ(manager_->activateClient(&writer, nullptr, 0, 0), &writer);
    const InkPoint stroke[] = {makeInkPoint(4 * 20, 4 * 20), makeInkPoint(4 * 30, 4 * 25)};
    EXPECT_TRUE(drawLiveInk(stroke, 0, 1, false));
    RECT pending = inkLayerDirtyRect();
    ASSERT_FALSE(IsRectEmpty(&pending));
    InkWindowLog::shows.clear();
    bar->runCommand(MB_CLEAR);
    EXPECT_EQ(InkWindowLog::shows, (std::vector<bool>{false, true}));
    EXPECT_TRUE(IsWindowVisible(ink));
    pending = inkLayerDirtyRect();
    EXPECT_TRUE(IsRectEmpty(&pending)) << "the live ink's rectangle is still pending";
    releaseLiveInk();
    manager_->releaseActiveClient(&writer, false);
    // A hidden ink window stays hidden.
    ShowWindow(ink, SW_HIDE);
    InkWindowLog::shows.clear();
    bar->runCommand(MB_CLEAR);
    EXPECT_TRUE(InkWindowLog::shows.empty());
    appGlobals().inkLayerWindow = nullptr;
    DestroyWindow(ink);
}

// A button with the centring flag sits in the middle of its cell, and its
// tip's area goes with it.
TEST_F(MarkupBarX11, ACentredButtonAndItsTipSitInTheMiddleOfItsCell) {
    CMarkupBar* bar = showBar(APPEARANCE_EXTENDED, SIZE_LARGE);
    ASSERT_FALSE(bar->compact());
    BarButton* clear = bar->findButton(MB_CLEAR);
    BarButton* undo = bar->findButton(MB_UNDO);
    ASSERT_TRUE(clear && undo);
    const RECT cell = undo->rect;  // a large picture fills its cell
    ASSERT_TRUE(undo->image.load(L"undo_button_small.png", true));
    undo->flags |= BarButton::CENTRED;
    bar->relayout();
    const int offset = ((cell.bottom - cell.top) - undo->height()) / 2;
    ASSERT_GT(offset, 0);
    EXPECT_EQ(undo->rect.left, cell.left);
    EXPECT_EQ(undo->rect.top, cell.top + offset) << "not centred across its cell";
    EXPECT_EQ(clear->rect.top, cell.top) << "a button without the flag moved";
    wchar_t text[80] = {};
    TTTOOLINFOW info = {};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = bar->hwnd();
    info.uId = MB_UNDO;
    info.lpszText = text;
    ASSERT_TRUE(SendMessageW(bar->tooltip(), TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_TRUE(EqualRect(&info.rect, &undo->rect)) << info.rect.left << "," << info.rect.top << ","
                                                    << info.rect.right << "," << info.rect.bottom;
}

// A place left of the primary monitor (a monitor on its left) is read and
// kept like any other.
TEST_F(MarkupBarX11, APlaceLeftOfThePrimaryMonitorIsReadAndKept) {
    POINT place = {-300, 50};
    WriteSetting(L"MarkupBar", L"position", &place, SETTING_POINT, 0);
    createMarkupBar();
    CMarkupBar* bar = markupBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->position().x, -300);
    EXPECT_EQ(bar->position().y, 50);
    bar->setPosition(POINT{-200, 60});
    delete bar;
    POINT stored = {};
    ReadSetting(L"MarkupBar", L"position", &stored, SETTING_POINT, 0);
    EXPECT_EQ(stored.x, -200);
    EXPECT_EQ(stored.y, 60);
}

// The shut-down order detaches the pickers from the markup bar before it goes:
// a pick, a show or a refresh that comes after finds no bar and does nothing.
TEST_F(MarkupBarX11, DetachedPickersDropWhatComesAfter) {
    CMarkupBar* bar = showBar(APPEARANCE_AUTO, SIZE_LARGE);
    bar->pensBar()->showAt(POINT{500, 400});
    auto afterDetaching = [](auto* picker) {
        picker->detachMarkup();
        picker->onButton(picker->button(2));
        picker->refreshButtons();
        picker->showAt(POINT{400, 300});
        picker->onClientNotify(INK_EVENT_RESULT_CHANGED, 0);
    };
    afterDetaching(bar->pensBar());
    afterDetaching(bar->widthsBar());
    EXPECT_FALSE(IsWindowVisible(bar->pensBar()->hwnd())) << "the pick still hides the picker";
    EXPECT_EQ(markup_canvas::currentTool(), TOOL_PENCIL) << "a detached picker changed the tool";
}

TEST(BarFlick, TheEdgePointOnTheLineOfMotion) {
    const RECT desktop = {0, 0, 1000, 800};
    const struct Case {
        const char* name;
        POINT from, to;
        bool moved;
        POINT edge;
    } cases[] = {
        {"left", {500, 400}, {400, 400}, true, {0, 400}},
        {"right and down", {500, 400}, {600, 450}, true, {999, 649}},
        {"straight up", {500, 400}, {500, 300}, true, {500, 0}},
        {"steep up: the top edge", {500, 400}, {510, 300}, true, {540, 0}},
        {"no motion", {500, 400}, {500, 400}, false, {}},
        {"level below the desktop", {500, 900}, {400, 900}, false, {}},
    };
    for (const Case& c : cases) {
        POINT edge = {-7, -7};
        EXPECT_EQ(flickEdgePoint(desktop, c.from, c.to, &edge), c.moved) << c.name;
        if (c.moved) {
            EXPECT_EQ(edge.x, c.edge.x) << c.name;
            EXPECT_EQ(edge.y, c.edge.y) << c.name;
        }
    }
}

// Both pickers: rotate flips the orientation at its end, zoom notes its
// points, a pan flicks the picker to the desktop's edge, press-and-tap is
// left to the system.
TEST_F(MarkupBarX11, PickersFollowRotateZoomAndPanGestures) {
    CMarkupBar* bar = showBar(APPEARANCE_AUTO, SIZE_LARGE);
    ASSERT_TRUE(bar->compact());
    struct Picker {
        const char* name;
        CVexaBar* bar;
        std::function<void(POINT)> show;
        std::function<const BarGestureTrack&()> track;
    } pickers[] = {
        {"pens", bar->pensBar(), [&](POINT p) { bar->pensBar()->showAt(p); },
         [&]() -> const BarGestureTrack& { return bar->pensBar()->gestures(); }},
        {"widths", bar->widthsBar(), [&](POINT p) { bar->widthsBar()->showAt(p); },
         [&]() -> const BarGestureTrack& { return bar->widthsBar()->gestures(); }},
    };
    for (Picker& picker : pickers) {
        SCOPED_TRACE(picker.name);
        picker.show(POINT{500, 400});
        sxtest::pumpUntil([] { return false; }, 300);
        ASSERT_TRUE(IsWindowVisible(picker.bar->hwnd()));
        RECT r;
        GetWindowRect(picker.bar->hwnd(), &r);
        const POINT mid = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};

        const bool vertical = picker.bar->vertical();
        EXPECT_TRUE(picker.bar->onGesture(BAR_GESTURE_ROTATE, kBarGestureBegin, mid, 0));
        sxtest::pumpUntil([] { return false; }, 200);
        EXPECT_EQ(picker.bar->vertical(), vertical) << "not before the rotation ends";
        EXPECT_TRUE(picker.bar->onGesture(BAR_GESTURE_ROTATE, kBarGestureEnd, mid, 0));
        sxtest::pumpUntil([&] { return picker.bar->vertical() != vertical; }, 2000);
        EXPECT_NE(picker.bar->vertical(), vertical);

        EXPECT_TRUE(picker.bar->onGesture(BAR_GESTURE_ZOOM, kBarGestureBegin, POINT{10, 20}, 0));
        EXPECT_TRUE(picker.bar->onGesture(BAR_GESTURE_ZOOM, 0, POINT{30, 40}, 0));
        EXPECT_EQ(picker.track().zoomFirst.x, 10);
        EXPECT_EQ(picker.track().zoomLast.y, 40);
        EXPECT_FALSE(picker.bar->onGesture(7, kBarGestureBegin, mid, 0)) << "press-and-tap";

        GetWindowRect(picker.bar->hwnd(), &r);
        const POINT start = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        // The pan ends where its last step was: the bar moved under the
        // finger, and the flick still goes the way the finger went.
        picker.bar->onGesture(BAR_GESTURE_PAN, kBarGestureBegin, start, 0);
        picker.bar->onGesture(BAR_GESTURE_PAN, 0, POINT{start.x - 20, start.y}, 0);
        picker.bar->onGesture(BAR_GESTURE_PAN, 0, POINT{start.x - 40, start.y}, 0);
        picker.bar->onGesture(BAR_GESTURE_PAN, kBarGestureEnd, POINT{start.x - 40, start.y}, 0);
        sxtest::pumpUntil(
            [&] {
                GetWindowRect(picker.bar->hwnd(), &r);
                return r.left <= picker.bar->desktop().left;
            },
            3000);
        GetWindowRect(picker.bar->hwnd(), &r);
        EXPECT_EQ(r.left, picker.bar->desktop().left) << "flicked to the left edge";
        picker.bar->hideBar();
    }
}

}  // namespace
