// The library's own state inside the shared block's creator area
// (hook64/SharedData.h), so that its hooks running in other processes read the
// same values. Tests read it too, and set the kind of input the library saw
// last, as input from a touch screen would.
#pragma once

#include <windows.h>

#include <cstdint>

#include "Scribix35.h"

struct Scribix35Area {
    PenEventRing ring;
    int32_t inkDriverParams[8];
    int32_t tabletMode;
    int32_t allowedInputType;
    int32_t superGesture;
    int32_t superGestureId;
    RECT superGestureArea;
    int32_t touchParams[5];
    int32_t mouseTransparent;
    int32_t inkingLocked;
    int32_t noForegroundToRestore;
    int32_t lastInputType;  // SX_INPUT_MOUSE, SX_INPUT_PEN or SX_INPUT_TOUCH
    int32_t tabletInputSeen;
    int32_t holdState;
    RECT virtualScreen;
};
static_assert(sizeof(Scribix35Area) <= SHARED_DATA_CREATOR_AREA_SIZE, "creator area too small");
