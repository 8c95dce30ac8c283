#include "ink/LiveInk.h"

#include <cstring>

#include "ink/InkSmoother.h"
#include "ink/aadraw/AaDraw.h"
#include "core/AppGlobals.h"
#include "ink/LocalInkManager.h"
#include "core/PendingServices.h"
#include "core/ServiceState.h"
#include "core/ShellLink.h"
#include "core/Settings.h"

namespace {

// A pen width the pens can draw.
constexpr int kWidestPen = 40;

struct LiveInkState {
    LiveInkState() { InitializeCriticalSection(&rectLock); }

    // Both threads: the dirty rectangle.
    CRITICAL_SECTION rectLock;
    RECT dirty = {0, 0, 0, 0};

    // The pen-event thread (and the shut-down after it stopped).
    HDC layerDC = nullptr;
    HWND dcWindow = nullptr;
    POINT layerOffset = {0, 0};
    int32_t livePen[4] = {0, 0, 0, 0};
    int margin = 0;
    aadraw::DrawContext* drawer = nullptr;
    InkSmoother smoother;
};

LiveInkState& live() {
    static LiveInkState state;
    return state;
}

class RectLock {
  public:
    RectLock() { EnterCriticalSection(&live().rectLock); }
    ~RectLock() { LeaveCriticalSection(&live().rectLock); }
};

void releaseLayerDC() {
    LiveInkState& s = live();
    if (s.layerDC) ReleaseDC(s.dcWindow, s.layerDC);
    s.layerDC = nullptr;
    s.dcWindow = nullptr;
}

// Drawer type of a client's pen type: 1 is slanted, 3 round, any other round.
int drawerPenType(int32_t clientType) {
    if (clientType == 1) return aadraw::kPenSlanted;
    if (clientType == 3) return aadraw::kPenRoundAlt;
    return aadraw::kPenRound;
}

int drawableWidth(int32_t width) {
    return width < 1 ? 1 : width > kWidestPen ? kWidestPen : static_cast<int>(width);
}

void applyPen(const int32_t pen[4]) {
    LiveInkState& s = live();
    std::memcpy(s.livePen, pen, sizeof s.livePen);
    s.margin = drawableWidth(pen[1]);
    aadraw::setWidth(s.drawer, static_cast<float>(s.margin));
    aadraw::setColour(s.drawer, static_cast<COLORREF>(pen[2]));
    aadraw::setPenType(s.drawer, drawerPenType(pen[0]));
}

// A stroke starts: the layer's device context is taken again with a new drawer.
bool beginStroke(const int32_t pen[4]) {
    LiveInkState& s = live();
    releaseLayerDC();
    HWND layer = appGlobals().inkLayerWindow;
    RECT placed;
    if (!layer || !IsWindowVisible(layer) || !GetWindowRect(layer, &placed)) return false;
    HDC dc = GetDC(layer);
    if (!dc) return false;
    s.layerDC = dc;
    s.dcWindow = layer;
    s.layerOffset = POINT{-placed.left, -placed.top};
    SetBkMode(dc, TRANSPARENT);
    aadraw::destroy(s.drawer);
    s.drawer = aadraw::create(dc);
    if (!s.drawer) {
        releaseLayerDC();
        return false;
    }
    applyPen(pen);
    return true;
}

bool pointInWindow(InkPoint point, HWND window) {
    RECT r;
    return window && GetWindowRect(window, &r) && PtInRect(&r, POINT{point.x >> 2, point.y >> 2});
}

// Pushes the dirty rectangle out over points first..last (copying the screen
// under what is new into the layer) and moves the guard window over it.
void prepareScreen(const InkPoint* points, int first, int last) {
    LiveInkState& s = live();
    const bool markup = serviceState().markupMode;
    HWND guard = appGlobals().guardWindow;
    const int m = s.margin;
    RECT before, after;
    {
        RectLock lock;
        before = s.dirty;
        RECT& d = s.dirty;
        for (int i = first; i <= last; ++i) {
            if (isSeparator(points[i])) continue;
            const int x = points[i].x >> 2, y = points[i].y >> 2;
            if (IsRectEmpty(&d)) {
                d = RECT{x - m - 20, y - m - 20, x + m + 20, y + m + 20};
                if (!markup && guard && !IsWindowVisible(guard))
                    ShowWindowAsync(guard, SW_SHOWNOACTIVATE);
            }
            if (x - m < d.left) d.left = x - m - 40;
            if (x + m > d.right) d.right = x + m + 40;
            if (y - m < d.top) d.top = y - m - 40;
            if (y + m > d.bottom) d.bottom = y + m + 40;
        }
        after = s.dirty;
    }
    if (EqualRect(&before, &after)) return;
    if (!markup && guard)
        SetWindowPos(guard, nullptr, after.left, after.top, after.right - after.left + 1,
                     after.bottom - after.top + 1,
                     SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOREDRAW | SWP_ASYNCWINDOWPOS);
    if (!generalSettings().copyBitsFromScreen) return;
    RECT fresh = after;
    if (!IsRectEmpty(&before) && !SubtractRect(&fresh, &after, &before)) fresh = after;
    HDC screen = GetDC(nullptr);
    if (!screen) return;
    BitBlt(s.layerDC, fresh.left + s.layerOffset.x, fresh.top + s.layerOffset.y,
           fresh.right - fresh.left, fresh.bottom - fresh.top, screen, fresh.left, fresh.top,
           SRCCOPY);
    ReleaseDC(nullptr, screen);
}

struct Segments {
    bool ok = true;
};

void drawTo(void* context, InkSmoother::Point p) {
    LiveInkState& s = live();
    if (!aadraw::lineTo(s.drawer, p.x * 0.0625f + s.layerOffset.x, p.y * 0.0625f + s.layerOffset.y))
        static_cast<Segments*>(context)->ok = false;
}

void ignorePoint(void*, InkSmoother::Point) {}

}  // namespace

bool drawLiveInk(const InkPoint* points, int from, int to, bool final) {
    LocalInkManager* manager = getLocalInkManager();
    int32_t pen[4];
    if (!manager || !manager->activeClientPen(pen)) return false;
    if (pen[1] < 1 || pen[0] == 0) return true;
    if (!points || from < 0 || from > to) return false;
    LiveInkState& s = live();

    const bool startsStroke = from == 0;
    if (startsStroke) {
        if (!beginStroke(pen)) return false;
    } else {
        if (!s.layerDC || !s.drawer) return false;
        if (std::memcmp(pen, s.livePen, sizeof s.livePen) != 0) applyPen(pen);
    }
    while (from <= to && isSeparator(points[from])) ++from;
    while (to >= from && isSeparator(points[to])) --to;
    if (from > to) return true;

    const ServiceState& service = serviceState();
    if (service.markupMode && !service.snapshot && pointInWindow(points[0], shellLink().markupBarWindow()))
        return false;

    prepareScreen(points, from, to);
    Segments segments;
    for (int i = from; i <= to; ++i) {
        const InkPoint q = points[i];
        if (isSeparator(q)) continue;
        const InkSmoother::Point p = {q.x * 4, q.y * 4};  // sixteenths of a pixel
        if (startsStroke && i == from) {
            s.smoother.start(p, ignorePoint, nullptr);
            aadraw::moveTo(s.drawer, static_cast<float>((q.x >> 2) + s.layerOffset.x),
                           static_cast<float>((q.y >> 2) + s.layerOffset.y));
        } else if (final && i == to) {
            s.smoother.flush(p, drawTo, &segments);
        } else {
            s.smoother.step(p, drawTo, &segments);
        }
    }
    GdiFlush();
    return segments.ok;
}

void clearLiveInk(const RECT* rect) {
    const AppGlobals& g = appGlobals();
    if (g.guardWindow) ShowWindowAsync(g.guardWindow, SW_HIDE);
    emptyInkLayerDirtyRect();
    RECT area;
    if (rect) {
        area = *rect;
    } else {
        area = RECT{g.xVirtualScreen, g.yVirtualScreen, g.xVirtualScreen + g.cxVirtualScreen,
                    g.yVirtualScreen + g.cyVirtualScreen};
    }
    UINT flags = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN;
    // Painting now means waiting for every window's thread: only the UI
    // thread does that; from the pen-event thread the windows repaint as
    // soon as their threads come to it.
    if (g.inkLayerWindow &&
        GetWindowThreadProcessId(g.inkLayerWindow, nullptr) == GetCurrentThreadId())
        flags |= RDW_UPDATENOW;
    RedrawWindow(nullptr, &area, nullptr, flags);
}

void restoreScreenArea(const RECT& area) { clearLiveInk(&area); }

RECT inkLayerDirtyRect() {
    RectLock lock;
    return live().dirty;
}

void emptyInkLayerDirtyRect() {
    RectLock lock;
    SetRectEmpty(&live().dirty);
}

bool liveInkHoldsLayerContext() { return live().layerDC != nullptr; }

void releaseLiveInk() {
    LiveInkState& s = live();
    releaseLayerDC();
    aadraw::destroy(s.drawer);
    s.drawer = nullptr;
}

bool tabletCollectorSwitchesOn() {
    return appGlobals().tabletPC != 0 && generalSettings().useTabletCollector != 0;
}
