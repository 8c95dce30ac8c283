#include "ui/bars/BarGestures.h"

#include "ui/bars/BarGeometry.h"
#include "ui/bars/FloatingBar.h"

bool flickEdgePoint(const RECT& d, POINT from, POINT to, POINT* edge) {
    const double dx = to.x - from.x, dy = to.y - from.y;
    if (dx == 0 && dy == 0) return false;
    POINT e = to;
    bool onSide = false;
    if (dx != 0) {
        e.x = dx < 0 ? d.left : d.right - 1;
        e.y = static_cast<LONG>(to.y + dy * (e.x - to.x) / dx);
        onSide = e.y >= d.top && e.y < d.bottom;
    }
    if (!onSide) {
        if (dy == 0) return false;  // level motion past the desktop's side
        e.y = dy < 0 ? d.top : d.bottom - 1;
        e.x = static_cast<LONG>(to.x + (dx != 0 ? dx * (e.y - to.y) / dy : 0));
    }
    *edge = e;
    return true;
}

bool handleBarGesture(CVexaBar& bar, BarGestureTrack& track, DWORD id, DWORD flags, POINT point) {
    POINT client = point;
    if (bar.hwnd()) ScreenToClient(bar.hwnd(), &client);
    switch (id) {
        case BAR_GESTURE_PAN: {
            if (flags & kBarGestureBegin) {
                track.panStart = point;
                bar.beginDrag(client.x, client.y);
            } else if (!(flags & kBarGestureEnd)) {
                bar.dragStep(client.x, client.y);
            } else {
                bar.endDrag();
                RECT r;
                if (!bar.hwnd() || !GetWindowRect(bar.hwnd(), &r)) return true;
                // The direction is the finger's, from the gesture's start to
                // its end on the screen: the bar moved under the finger, so
                // client points would only hold the last step.
                POINT edge;
                if (!flickEdgePoint(bar.desktop(), track.panStart, point, &edge)) return true;
                OffsetRect(&r, edge.x - point.x, edge.y - point.y);
                keepRectInDesktop(&r);
                bar.morphTo(&r, 1000);
            }
            return true;
        }
        case BAR_GESTURE_ZOOM:
            if (flags & kBarGestureBegin)
                track.zoomFirst = point;
            else
                track.zoomLast = point;
            return true;
        case BAR_GESTURE_ROTATE:
            if ((flags & kBarGestureEnd) && bar.hwnd())
                PostMessageW(bar.hwnd(), WM_COMMAND,
                             bar.vertical() ? BAR_CMD_MAKE_HORIZONTAL : BAR_CMD_MAKE_VERTICAL, 0);
            return true;
        default:
            return false;
    }
}
