// The touch gestures the floating bars share: a pan flicks the bar to the
// desktop's edge, a zoom has its points noted, a rotate flips the orientation.
#pragma once

#include <windows.h>

class CVexaBar;

// Gesture identifiers and flags of the system's gesture messages.
enum BarGestureId : DWORD { BAR_GESTURE_ZOOM = 3, BAR_GESTURE_PAN = 4, BAR_GESTURE_ROTATE = 5 };
constexpr DWORD kBarGestureBegin = 1, kBarGestureEnd = 4;

// What a bar keeps of the gestures under way.
struct BarGestureTrack {
    POINT panStart = {};  // screen coordinates: the finger's, wherever the bar went
    POINT zoomFirst = {};
    POINT zoomLast = {};
};

// The point where the line from `from` through `to` (screen coordinates),
// extended in the direction of motion, meets the edge of `desktop`: the left
// or right edge when the line meets it inside the desktop, else the top or
// bottom edge. False when there was no motion or a level one that misses
// the desktop.
bool flickEdgePoint(const RECT& desktop, POINT from, POINT to, POINT* edge);

// Handles pan, zoom and rotate for `bar` (point in screen coordinates); true
// when handled. Other gestures (press-and-tap, two-finger tap) are not.
bool handleBarGesture(CVexaBar& bar, BarGestureTrack& track, DWORD id, DWORD flags, POINT point);
