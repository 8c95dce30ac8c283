// The flat interface of the anti-aliased drawing, bound to a device context:
// what the live ink calls from the pen-event thread.
#pragma once

#include <windows.h>

#include "ink/aadraw/DrawContext.h"

namespace aadraw {

// A context drawing into `dc` with a round pen 1 pixel wide in black; null
// when memory runs out.
DrawContext* create(HDC dc);
void destroy(DrawContext* context);

bool setPenType(DrawContext* context, int type);
bool setColour(DrawContext* context, COLORREF colour);
bool setWidth(DrawContext* context, float width);
void moveTo(DrawContext* context, float x, float y);
bool lineTo(DrawContext* context, float x, float y);

}  // namespace aadraw
