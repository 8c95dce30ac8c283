#include "ink/TransparentLayer.h"

#include <climits>

#include "ink/LiveInk.h"
#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "ink/LocalInkManager.h"
#include "core/PendingServices.h"
#include "ink/InkCollectorBridge.h"
#include "core/ServiceMessages.h"
#include "core/ServiceState.h"
#include "core/Settings.h"
#include "core/ShellLink.h"
#include "core/SystemHooks.h"
#include "core/Trace.h"

namespace {

#ifndef WM_TABLET_FLICK
#define WM_TABLET_FLICK 0x02CB
#endif
#ifndef WM_TABLET_QUERYSYSTEMGESTURESTATUS
#define WM_TABLET_QUERYSYSTEMGESTURESTATUS 0x02CC
#endif

constexpr UINT kLayerTimerMs = 3000;
// The layer's own moves carry this flag; every other move is refused.
constexpr UINT kOwnMove = SWP_NOREDRAW | SWP_NOACTIVATE;

// Where the cursor stood when the layer was shown: a window that appears under
// the cursor is sent a mouse move of its own, which is not the user moving.
POINT g_cursorAtShow = {LONG_MIN, LONG_MIN};

bool cursorMovedSinceShow(HWND layer, LPARAM lParam) {
    POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(layer, &at);
    return at.x != g_cursorAtShow.x || at.y != g_cursorAtShow.y;
}

RECT virtualScreen() {
    const AppGlobals& g = appGlobals();
    return RECT{g.xVirtualScreen, g.yVirtualScreen, g.xVirtualScreen + g.cxVirtualScreen,
                g.yVirtualScreen + g.cyVirtualScreen};
}

// Off-screen, 10 x 10, hidden, `offset` pixels left of and above the virtual screen.
void park(HWND window, int offset) {
    if (!window) return;
    const RECT screen = virtualScreen();
    SetWindowPos(window, nullptr, screen.left - offset, screen.top - offset, 10, 10,
                 kOwnMove | SWP_NOZORDER | SWP_HIDEWINDOW);
}

// The layer's window rectangle for a placement. A popup that covers a whole
// monitor is taken for a full-screen application by X11 window managers, and
// Wine then waits for the manager on every show and hide (two seconds without
// one): the UI thread, which reads the pointer events of the layer, would
// stall under the pen and the moves of the next strokes would be merged into
// one. One pixel row short of the bottom, the layer stays an ordinary popup.
RECT layerWindowRect(RECT place) {
    if (place.bottom - place.top > 1) --place.bottom;
    return place;
}

LRESULT onShow(HWND layer) {
    const AppGlobals& g = appGlobals();
    g.layerOwner.check("layer shown");
    if (g.guardWindow) ShowWindow(g.guardWindow, SW_HIDE);
    emptyInkLayerDirtyRect();
    const RECT place = layerWindowRect(inkLayerPlacement());
    SetWindowPos(layer, HWND_TOPMOST, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, kOwnMove | SWP_SHOWWINDOW);
    SetTimer(layer, kInkLayerTimer, kLayerTimerMs, nullptr);
    if (!GetCursorPos(&g_cursorAtShow)) g_cursorAtShow = POINT{LONG_MIN, LONG_MIN};
    if (serviceState().markupMode && shellLink().markupBarExists()) {
        HWND bar = shellLink().markupBarWindow();
        shellLink().setMarkupBarAboveLayer(true);
        SetWindowPos(bar, HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
        RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    return 0;
}

LRESULT onHide(HWND layer, UINT message, WPARAM wParam) {
    appGlobals().layerOwner.check("layer hidden");
    ReleaseCapture();
    park(appGlobals().guardWindow, 110);
    emptyInkLayerDirtyRect();
    park(layer, 100);
    KillTimer(layer, kInkLayerTimer);
    if (shellLink().markupBarExists()) shellLink().setMarkupBarAboveLayer(false);
    if (LocalInkManager* manager = getLocalInkManager()) manager->reselectActiveClient();
    if (serviceState().markupMode) {
        if (!(message == WM_INK_LAYER_HIDE && wParam == 1)) clearLiveInk(nullptr);
        shellLink().switchMarkupMode(false);
    }
    return 0;
}

LRESULT onCollectorReset() {
    int priority = 102;
    ReadSetting(L"InnerSystemClient", L"priorityMouseCollector", &priority, SETTING_NUMBER, 0);
    SetThreadPriority(GetCurrentThread(), threadPriorityOf(priority - 100));
    if (!tabletCollectorSwitchesOn()) return 0;
    closeTabletCollector();
    debugTrace(L"-----COLLECTOR_RESET!!!!!!!!!!!!!!!!!!!!!");
    if (!createTabletCollector(appGlobals().inkLayerWindow)) {
        generalSettings().useTabletCollector = 0;
        applyHookTabletMode();
        debugTrace(L"-----COLLECTOR_RESET-ERROR!!!!!!!!!!!!!!!!!!!!!");
    }
    return 0;
}

void onTimer(HWND layer) {
    KillTimer(layer, kInkLayerTimer);
    BOOL running = FALSE;  // Wine answers without writing it
    if (SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0) && running) {
        hookLibrary().setNoForegroundToRestore();
        PostMessageW(layer, WM_INK_LAYER_HIDE, 1, 0);
        return;
    }
    SetTimer(layer, kInkLayerTimer, kLayerTimerMs, nullptr);
}

void traceMarkupMouse(UINT message) {
    const wchar_t* name = message == WM_LBUTTONDOWN ? L"WM_LBUTTONDOWN"
                          : message == WM_LBUTTONUP ? L"WM_LBUTTONUP"
                                                    : L"WM_MOUSEMOVE";
    debugTrace(L"TransparentWnd:-------------TransparentLayerWndProc: %s\n", name);
}

}  // namespace

HWND createInkLayerWindow(HINSTANCE instance) {
    const RECT screen = virtualScreen();
    appGlobals().layerOwner.adopt();
    return CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TRANSPARENT | WS_EX_TOPMOST,
                           INK_LAYER_WINDOW_CLASS, L"ScribixTrWin", WS_POPUP, screen.left - 110,
                           screen.top - 110, 10, 10, nullptr, nullptr, instance, nullptr);
}

RECT inkLayerPlacement() {
    if (generalSettings().multiMonitorInking || serviceState().markupMode) return virtualScreen();
    POINT cursor;
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (!GetCursorPos(&cursor)) return virtualScreen();
    HMONITOR monitor = MonitorFromPoint(cursor, MONITOR_DEFAULTTONULL);
    if (!monitor || !GetMonitorInfoW(monitor, &info)) return virtualScreen();
    return info.rcMonitor;
}

LRESULT CALLBACK TransparentLayerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool markup = serviceState().markupMode;
    switch (message) {
        case WM_INK_LAYER_SHOW:
            return onShow(window);
        case WM_INK_LAYER_HIDE:
            return onHide(window, message, wParam);
        case WM_MOUSEMOVE:
            if (!markup) {
                if (!cursorMovedSinceShow(window, lParam)) return 0;
                return onHide(window, message, wParam);
            }
            traceMarkupMouse(message);
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            if (markup) traceMarkupMouse(message);
            break;
        case WM_INK_LAYER_COLLECTOR:
            return onCollectorReset();
        case 3067:
            return 0;
        case WM_INK_SHOW_CURSOR:
            hookLibrary().showCurrentCursor(0);
            break;
        case WM_INK_MENU_TRACK: {
            // Only a record this process holds while it sends the message.
            const MenuTrackRecord* record = win::peekRecord<MenuTrackRecord>(lParam);
            if (!record) return 0;
            return TrackPopupMenuEx(record->menu, record->flags, record->x, record->y, window,
                                    nullptr);
        }
        case WM_INK_MENU_FOREGROUND:
            SetForegroundWindow(reinterpret_cast<HWND>(wParam));
            return reinterpret_cast<LRESULT>(GetForegroundWindow());
        case WM_INK_MAIN_MENU: {
            MouseTransparentScope transparent(wParam != 0);
            shellLink().showMainMenu(static_cast<int>(lParam));
            break;
        }
        case WM_TIMER:
            if (wParam == kInkLayerTimer) {
                onTimer(window);
                return 0;
            }
            break;
        case WM_WINDOWPOSCHANGING: {
            auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
            if (!(pos->flags & SWP_NOREDRAW)) pos->flags |= SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW;
            break;
        }
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_MEASUREITEM:
            shellLink().measureMenuPicture(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return 1;
        case WM_DRAWITEM:
            shellLink().drawMenuPicture(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return 1;
        case WM_DESTROY:
            if (tabletCollectorSwitchesOn()) closeTabletCollector();
            break;
        case WM_TABLET_FLICK:
            return 1;
        case WM_TABLET_QUERYSYSTEMGESTURESTATUS:
            return 0x0019FFFF;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void hideTransparentLayers(DWORD timeoutMs) {
    if (HWND own = appGlobals().inkLayerWindow) {
        // Another thread asks the layer's own thread and does not wait for it.
        if (appGlobals().layerOwner.isCurrent())
            SendMessageW(own, WM_INK_LAYER_HIDE, 0, 0);
        else
            PostMessageW(own, WM_INK_LAYER_HIDE, 0, 0);
        return;
    }
    const DWORD start = GetTickCount();
    for (;;) {
        bool found = false;
        HWND layer = nullptr;
        // Hidden layers need nothing; a layer of a hung instance may stay shown,
        // so the time limit ends the search.
        while ((layer = FindWindowExW(nullptr, layer, INK_LAYER_WINDOW_CLASS, nullptr))) {
            if (!IsWindowVisible(layer)) continue;
            found = true;
            DWORD_PTR ignored;
            SendMessageTimeoutW(layer, WM_INK_LAYER_HIDE, 0, 0, SMTO_ABORTIFHUNG, 200, &ignored);
        }
        if (!found || GetTickCount() - start >= timeoutMs) return;
        Sleep(10);
    }
}
