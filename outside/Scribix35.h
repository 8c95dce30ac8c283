// Scribix35: the product family's 32-bit hook library, as the program sees it.
//
// It hooks input and accessibility events system-wide, tracks the focused and
// foreground windows of other applications, queues pen input in a ring the
// program drains, and posts its reports to the program's service window.
// The 26 functions are exported by their plain names (__cdecl) and imported by
// name through the import library.
//
// The library creates the shared block "sxMapFile_4_0_42" (hook64/SharedData.h)
// in SetInitValues and the manual-reset event "InkDriverQueueEvent" that it
// signals whenever it adds entries to the pen-event ring.
#pragma once

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include "hook64/SharedData.h"

#define SCRIBIX35_CALL __cdecl

// The pen-event ring: the library writes entries at the write index, the
// program reads them at the read index; each side changes only its own index.
// An entry is an ink point: x in the low 16 bits, y in the high 16 bits, both
// signed, in quarter pixels of the virtual screen; (30000, -1) separates
// strokes, (30000, -2) ends a collection, (30000, -3) marks live ink.
#define PEN_EVENT_RING_SIZE 500

struct PenEventRing {
    volatile LONG readIndex;   // next entry the program reads (0..499)
    volatile LONG writeIndex;  // next entry the library writes (0..499)
    int32_t entries[PEN_EVENT_RING_SIZE];
};

#ifdef __cplusplus
// The ring lies in the shared block: the same bytes in every process.
static_assert(offsetof(PenEventRing, readIndex) == 0 && offsetof(PenEventRing, writeIndex) == 4 &&
                  offsetof(PenEventRing, entries) == 8 &&
                  sizeof(PenEventRing) == 8 + 4 * PEN_EVENT_RING_SIZE,
              "pen-event ring layout");
#endif

// Control entries of the ring: x = SX_RING_CONTROL_X and y, as 16 unsigned
// bits, one of these. Only the separator is ever written by the program.
#define SX_RING_CONTROL_X 30000
#define SX_RING_SEPARATOR_Y 0xFFFF  // closes a stroke
#define SX_RING_FINISH_Y 0xFFFE     // the inking period is over
#define SX_RING_LIVE_INK_Y 0xFFFD   // show the points from here on as live ink

// Extra information the program puts on the input it emulates: input that
// carries one of these is the program's own and never taken for the pen.
#define SX_PROGRAM_INPUT_DOWN 0x6F855
#define SX_PROGRAM_INPUT_UP 0x6F854
#define SX_PROGRAM_INPUT_OTHER 0x5464E
#define SX_PROGRAM_INPUT_SHAKE_RELEASE 0xFF515780

// Messages the library posts (or, for the pen-down query, sends) to the
// program's service window.
#define SX_MSG_FOREGROUND_CHANGED 3025  // wParam: the window now in front
#define SX_MSG_PEN_DOWN 3026            // may the pen ink here? wParam window, lParam point
#define SX_MSG_MESSAGE_FOR_CLIENT 3031  // a text waits at getMessageToClientAddress
#define SX_MSG_ESCAPE 3033              // Escape pressed in another application
#define SX_MSG_LAYER_SHOW 3064          // show the ink layer
#define SX_MSG_LAYER_HIDE 3065          // hide the ink layer

// Bits of getLastInputType.
#define SX_INPUT_MOUSE 0x1
#define SX_INPUT_PEN 0x2
#define SX_INPUT_TOUCH 0x4

#ifdef __cplusplus
extern "C" {
#endif

// Makes the shared block, the ring and the queue event; non-zero when ready.
int SCRIBIX35_CALL SetInitValues(void);
// Installs the hooks from the calling thread, which must keep a message loop
// for as long as they live; reports go to `serviceWindow`. Non-zero on success.
int SCRIBIX35_CALL InsertHooks(HINSTANCE module, HWND serviceWindow);
// Removes every hook (from any thread) and clears the service window in the block.
int SCRIBIX35_CALL RemoveAllHooks(void);
// Pen on, inking mode, then six pen and ink values; (0, 0, 1, 0, 0, 0, 0, 0) stops ink.
int SCRIBIX35_CALL setInkDriverParams(int penOn, int mode, int value3, int value4, int value5,
                                      int value6, int value7, int value8);
void SCRIBIX35_CALL resetInkDriverSystemParams(void);
void SCRIBIX35_CALL setHookTabletMode(int tabletMode, int allowedInputType, int superGesture,
                                      int superGestureId, const RECT* superGestureArea);
struct PenEventRing* SCRIBIX35_CALL getEventStack(int reserved);
int SCRIBIX35_CALL checkHoldState(void);
// Adds one point in quarter pixels; (30000, -1) ends the stroke. Non-zero when queued.
int SCRIBIX35_CALL putPointToClientExternal(int x, int y);
void SCRIBIX35_CALL lockInking(int lock);
int SCRIBIX35_CALL isTabletInputMissing(void);
int SCRIBIX35_CALL getLastInputType(void);
HWND SCRIBIX35_CALL getLastFocusWindow(void);
HWND SCRIBIX35_CALL getLastForegroundWindow(void);
HWND SCRIBIX35_CALL getTargetFgrWindow(void);
// Full path of the target application's executable, or null when unknown.
const WCHAR* SCRIBIX35_CALL getTargetModuleName(void);
// The last focused accessible element and its screen rectangle; non-zero when known.
int SCRIBIX35_CALL getLastFocusedElemInfo(struct UI_ELEM_INFO* element, RECT* location);
HKL SCRIBIX35_CALL askLastFocusKeyboardLayout(void);
int SCRIBIX35_CALL isEditTextInFocus(void);
// The text the library left for the program with message 3031.
const WCHAR* SCRIBIX35_CALL getMessageToClientAddress(void);
void SCRIBIX35_CALL setMouseTransparent(void);
void SCRIBIX35_CALL unsetMouseTransparent(void);
void SCRIBIX35_CALL setNoForegroundToRestore(void);
void SCRIBIX35_CALL showCurrentCursor(int reserved);
void SCRIBIX35_CALL getTouchParams(int* maxCx, int* maxCy, int* maxClickMs, int* maxSureClickMs,
                                   int* sureExpandPercent);
void SCRIBIX35_CALL setTouchParams(int maxCx, int maxCy, int maxClickMs, int maxSureClickMs,
                                   int sureExpandPercent);

#ifdef __cplusplus
}
#endif
