// Live ink: the stroke being written is drawn into the transparent layer's
// device context while the pen moves. Around the growing ink the screen's
// own pixels are first copied into the layer (the dirty rectangle), the guard
// window is moved under it, and the smoothed stroke is drawn on top with the
// anti-aliased pens. Runs on the pen-event thread; the layer's show and hide
// run on the UI thread.
#pragma once

#include <windows.h>

#include "ink/InkPointList.h"

// Draws entries from..to of `points` (the pen-event thread's buffer) with the
// active client's pen; from = 0 starts a stroke, `final` ends it at `to`.
// True when drawn, or when the client's pen draws no live ink (type or width
// 0); false when nothing could be drawn (no active client, a hidden layer).
bool drawLiveInk(const InkPoint* points, int from, int to, bool final);

// Hides the guard window, empties the dirty rectangle and redraws `rect` of
// the screen (the whole virtual screen for null).
void clearLiveInk(const RECT* rect);
// The screen restore of ink traces and strokes: clearLiveInk of `area`.
void restoreScreenArea(const RECT& area);

// The screen rectangle prepared for live ink (empty between inking periods).
RECT inkLayerDirtyRect();
void emptyInkLayerDirtyRect();

// Lets go of the layer's device context and the drawer: on the thread that
// took them (the pen-event thread as it ends), while the layer still exists.
void releaseLiveInk();
// Live ink holds a device context of the layer now.
bool liveInkHoldsLayerContext();

// The Tablet PC collector path is switched on ("useTabletCollector" on a Tablet PC).
bool tabletCollectorSwitchesOn();
