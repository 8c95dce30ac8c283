// Entering and leaving markup mode: the canvas over a still snapshot of the
// desktop (or, without the snapshot, ink straight over the applications), the
// markup bar in place of the main bar, and the hook library told the mode.
#include <windows.h>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/ServiceState.h"
#include "core/Settings.h"
#include "core/SystemHooks.h"
#include "ink/LocalInkManager.h"
#include "ui/mainbar/MainBar.h"
#include "ui/markup/MarkupBar.h"
#include "ui/markup/MarkupCanvas.h"

namespace {

int tabletCollectorFlag() {
    return GetSystemMetrics(SM_TABLETPC) && generalSettings().useTabletCollector ? 1 : 0;
}

void normalTabletMode() {
    const GeneralSettings& g = generalSettings();
    const bool multiTouch = (GetSystemMetrics(SM_DIGITIZER) & 0x40) != 0;
    const int superGesture =
        g.superGestureAllowed && (multiTouch || g.superGestureID != 101) ? 1 : 0;
    hookLibrary().setHookTabletMode(tabletCollectorFlag(), g.allowedInputType, superGesture,
                                    g.superGestureID, &g.superGestureScreenArea);
}

void releaseMarkupClient() {
    LocalInkManager* manager = getLocalInkManager();
    CMarkupBar* bar = markupBar();
    if (manager && bar && manager->getActiveClient() == bar->client())
        manager->releaseActiveClient(bar->client(), false);
}

void broadcastPenChanged() {
    if (LocalInkManager* manager = getLocalInkManager())
        manager->broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
}

bool leave(CMarkupBar* bar) {
    ServiceState& state = serviceState();
    if (state.snapshot) {
        markup_canvas::closeCaptureWindow();
        markup_canvas::hideCanvas();
    }
    normalTabletMode();
    RECT r;
    if (mainBar() && bar->hwnd() && GetWindowRect(bar->hwnd(), &r)) mainBar()->placeAt(r, false);
    bar->slideIn(300);
    if (bar->hwnd()) ShowWindow(bar->hwnd(), SW_HIDE);
    if (bar->pensBar()) bar->pensBar()->hideBar();
    if (bar->widthsBar()) bar->widthsBar()->hideBar();
    if (bar->hidesMainBar()) {
        showMainBar(true);
        bar->setHidesMainBar(false);
    }
    if (generalSettings().clearInkOnExit) markup_canvas::clearInk();
    releaseMarkupClient();
    state.markupMode = false;
    LocalInkManager* manager = getLocalInkManager();
    applyInkDriverParams(manager ? manager->getPenState().penOn : 1, 0, 1, 0, 0, 0, 0, 0);
    broadcastPenChanged();
    return true;
}

bool enter(CMarkupBar* bar) {
    ServiceState& state = serviceState();
    const bool snapshot = state.snapshot;
    if (snapshot) applyInkDriverParams(0, 0, 1, 0, 0, 0, 0, 0);
    hookLibrary().setHookTabletMode(tabletCollectorFlag(), generalSettings().allowedInputType, 0, 0,
                                    nullptr);
    RECT r;
    if (mainBarWindowRect(&r)) bar->placeAt(r, false);
    if (generalSettings().showToolbar) {
        bar->setHidesMainBar(true);
        showMainBar(false);
    } else {
        bar->setHidesMainBar(false);
    }
    releaseMarkupClient();
    state.markupMode = true;
    if (!snapshot) {
        const int tool = markup_canvas::currentTool();
        if (tool != TOOL_PEN && tool != TOOL_PENCIL) bar->selectTool(TOOL_PENCIL);
    }
    bar->refreshButtons();
    if (!snapshot) {
        applyInkDriverParams(1, 0, 1, 0, 0, 0, 0, 0);
    } else {
        // The screen as the user left it, once the menu or bar that asked is gone.
        Sleep(200);
        markup_canvas::showCanvas(markup_canvas::takeDesktopSnapshot());
    }
    if (bar->hwnd()) {
        ShowWindow(bar->hwnd(), SW_SHOWNOACTIVATE);
        bar->slideIn(300);
    }
    bar->keepOnTop();
    broadcastPenChanged();
    if (snapshot) {
        if (HWND service = getServiceWindow()) {
            MSG m;
            while (PeekMessageW(&m, service, WM_INK_FOREGROUND_CHANGED, WM_INK_FOREGROUND_CHANGED,
                                PM_REMOVE)) {
            }
        }
    }
    return true;
}

}  // namespace

bool setMarkupMode(bool on) {
    CMarkupBar* bar = markupBar();
    if (serviceState().markupMode == on) return false;
    if (!bar) {
        // Without a bar there is nothing to show; leaving still leaves, so the
        // flag never stays on with nothing on the screen to end it.
        if (!on) serviceState().markupMode = false;
        return false;
    }
    return on ? enter(bar) : leave(bar);
}

void switchMarkupMode(bool on) { setMarkupMode(on); }
