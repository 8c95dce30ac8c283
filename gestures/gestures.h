// gestures: classifies the first stroke of an ink point list as one simple pen
// gesture (lines, out-and-back strokes, L-shapes, a caret, a scratch-out).
//
// The library is stateless and allocation-free; it is safe to call from any
// thread. gestures.dll exports GestureCheck as ordinal 1 and by its name; the
// program imports it by the ordinal, through an import library that names no
// function (gestures_ordinal.def).
//
// Calling convention: __cdecl on Windows (the program is the only caller).
#ifndef SCRIBIX_GESTURES_H
#define SCRIBIX_GESTURES_H

#include <stdint.h>

#if defined(_WIN32)
#define GESTURES_CALL __cdecl
#else
#define GESTURES_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Gesture bits: each is both a bit of the caller's mask and a possible result.
enum GestureBits : uint32_t {
    GESTURE_LINE_RIGHT_TO_LEFT = 0x00000004u,
    GESTURE_BACK_FIRST_LEFT    = 0x00000008u,  // horizontal out-and-back, first leg left
    GESTURE_BACK_FIRST_RIGHT   = 0x00000040u,  // ... first leg right
    GESTURE_LINE_LEFT_TO_RIGHT = 0x00000080u,
    GESTURE_LINE_UP            = 0x00000100u,  // not horizontal, drawn upwards or level
    GESTURE_BACK_FIRST_UP      = 0x00000200u,  // vertical out-and-back, first leg up
    GESTURE_L_UP_LEFT          = 0x00000400u,
    GESTURE_L_UP_RIGHT         = 0x00000800u,
    GESTURE_BACK_FIRST_DOWN    = 0x00001000u,  // vertical out-and-back, first leg down
    GESTURE_LINE_DOWN          = 0x00002000u,
    GESTURE_L_DOWN_LEFT        = 0x00004000u,
    GESTURE_L_DOWN_RIGHT       = 0x00008000u,
    GESTURE_SCRATCH_OUT        = 0x40000000u,
    GESTURE_CARET              = 0x80000000u,
};

// Masks of the program's two callers.
#define GESTURE_MASK_SYSTEM_CLIENT 0x8000DE4Cu
#define GESTURE_MASK_WORD_MENU 0x00009304u

// A point is one 32-bit value: x in the low 16 bits, y in the high 16 bits,
// each signed; the same memory as an ink point list of (x, y) int16 pairs.
// A point whose y is -1 (0xFFFF) is a pen-up marker.
//
// mask:   the gesture bits the caller accepts (0 gives 0 at once)
// points: the point array (read only); count: its number of entries, markers included
// scale:  factor of the minimum size (a stroke smaller than 20 * scale on both sides is no gesture)
//
// Returns 0 when no gesture was found, else exactly one gesture bit. Lines are
// only reported when their bit is in the mask; for the other shapes a group is
// tested when the mask holds any of its bits and the shape found is reported
// even if its own bit is not in the mask.
int32_t GESTURES_CALL GestureCheck(int32_t mask, const int32_t* points, int32_t count,
                                   int32_t scale);

#ifdef __cplusplus
}
#endif

#endif
