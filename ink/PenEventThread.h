// The pen-event thread: it drains the hook library's ring of pen points
// (signalled by the event "InkDriverQueueEvent"), collects the points of the
// stroke being written, hands finished strokes to the active ink client
// through the ink manager, draws them as live ink while they are written,
// turns pen contacts over the program's own windows into mouse clicks in
// markup mode, and runs the hold test and the wait for the next stroke.
//
// The state is shared with the UI thread through plain (atomic) variables:
// the UI thread resets it at each accepted pen-down and when the markup bar
// takes the pen.
#pragma once

#include <windows.h>

#include "ink/InkPointList.h"

struct PenEventRing;

// The point buffer of the stroke being collected holds this many entries.
constexpr int kPenPointBufferSize = 10000;

// Mouse input the thread emulates carries this extra information, so that the
// hook library knows it for the program's own.
constexpr ULONG_PTR kPenMouseMarker = 456789;

// Opens the queue event, takes the ring from the hook library, allocates the
// point buffer and starts the thread; false (and nothing left behind) when
// any of that fails.
bool startPenEventThread();
// The hook library's queue event, "InkDriverQueueEvent", which the start
// opens; tests name one that no process holds (null: the real one again).
constexpr const wchar_t kPenQueueEventName[] = L"InkDriverQueueEvent";
void setPenQueueEventName(const wchar_t* name);
// Stops the thread and waits for it, then frees the point buffer. Safe when
// the thread never started. False when it did not end in time: it is then
// still running (stuck in a client), and its buffer, the manager and the
// clients it reaches must stay; a later call waits again.
bool stopPenEventThread();
bool isPenEventThreadRunning();

// Drops every unread entry of the ring and the stroke being collected, and the
// mouse messages waiting for the ink layer window (the markup bar takes the pen).
void resetPenInputQueue();
// At an accepted pen-down: a new inking period with the active client's two
// hold time-outs (the smaller non-zero one is the hold test's interval).
void resetPenEventState(int startHold, int endHold);
// When the thread last went to wait after pen input (tick count): a wake for
// its own time-out with nothing in the ring does not count.
DWORD getLastPenWakeTick();
// True while a stroke is collected or the pen drives the mouse.
bool getPenMouseMode();

// Adds one entry to the stroke being collected: a repeated point is dropped
// (unless it follows a separator); when the buffer is full every point is
// dropped and a separator takes the last place, closing the stroke. True
// when the entry was stored.
bool appendPenPoint(int x, int y);

// The ring and the point buffer without the thread (tests drive the passes
// themselves); false when the buffer cannot be had. closePenEventRing lets go.
bool openPenEventRing(PenEventRing* ring);
void closePenEventRing();

// Processes one batch of ring entries (the thread does this for every pass
// over the ring).
void processPenPoints(const InkPoint* entries, int count);
// One pass of the thread over the ring: every unread entry is processed and
// the read index moved. The number of entries processed. Tests call it with
// the thread stopped.
int drainPenEventRing();

// The thread's view of the state, for tests and traces.
struct PenEventSnapshot {
    int pointCount;
    int drawnCount;
    bool ignoreUntilSeparator;
    bool liveInkOn;
    bool strokeInProgress;
    bool holdCheckActive;
    bool penMouseMode;
    int waitTimeout;   // ms, -1 infinite
    int holdInterval;  // ms, -1 infinite
};
PenEventSnapshot penEventSnapshot();
// The entries of the stroke being collected (0..pointCount-1).
const InkPoint* penPointBuffer();

// "waitNextStrokeTimeout" above this many milliseconds runs as 2500, and so
// does a negative one, which as a wait would never end.
constexpr int kMaxWaitNextStrokeTimeout = 10000;
constexpr int clampedWaitNextStroke(int milliseconds) {
    return milliseconds > kMaxWaitNextStrokeTimeout || milliseconds < 0 ? 2500 : milliseconds;
}

// The system client's values the thread reads ("waitNextStrokeTimeout",
// "priorityInkCollector", "priorityRecFinal" under "InnerSystemClient"); the
// system client changes them through these when its settings change.
void setWaitNextStrokeTimeout(int milliseconds);
int waitNextStrokeTimeout();
void setPenThreadPriorities(int priorityInkCollector, int priorityRecFinal);
