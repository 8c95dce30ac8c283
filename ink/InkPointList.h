// The ink point list: every piece of ink travels as a flat array of 32-bit
// entries, (x, y) in quarter pixels of the virtual screen, strokes joined by
// separators. The hook library's event ring uses the same layout.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#endif

struct InkPoint {
    int16_t x;  // quarter pixels; pixel = x >> 2 (arithmetic)
    int16_t y;
};
static_assert(sizeof(InkPoint) == 4, "an ink point entry is one 32-bit value");

// Rectangles (exclusive right and bottom) and points in whole pixels. In the
// program they are the system's RECT and POINT, so they pass to the API as is.
#ifdef _WIN32
using InkRect = RECT;
using InkPixel = POINT;
#else
struct InkRect {
    int32_t left, top, right, bottom;
};
struct InkPixel {
    int32_t x, y;
};
#endif

// Control entries have x = kInkControlX; only the separator is ever written by
// the program, the two markers come from the hook library alone.
constexpr int16_t kInkControlX = 30000;
constexpr uint16_t kInkSeparatorY = 0xFFFF;  // closes a stroke
constexpr uint16_t kInkFinishY = 0xFFFE;     // the inking period is over
constexpr uint16_t kInkLiveInkY = 0xFFFD;    // show the points from here on as live ink

constexpr InkPoint makeInkPoint(int x, int y) {
    return InkPoint{static_cast<int16_t>(x), static_cast<int16_t>(static_cast<uint16_t>(y))};
}
constexpr InkPoint kInkSeparator = makeInkPoint(kInkControlX, kInkSeparatorY);
constexpr InkPoint kInkFinishMarker = makeInkPoint(kInkControlX, kInkFinishY);
constexpr InkPoint kInkLiveInkMarker = makeInkPoint(kInkControlX, kInkLiveInkY);

// The entry as the one 32-bit value the producers write (x in the low half).
uint32_t inkPointValue(InkPoint point);

// True for the separator (30000, 0xFFFF) only; the two markers are not separators.
bool isSeparator(InkPoint point);
bool isFinishMarker(InkPoint point);
bool isLiveInkMarker(InkPoint point);

// Bounds in pixels of a list without markers: false for a null or empty list
// and for one whose first entry is a separator (even when points follow).
// Otherwise the box of the first entry and every later non-separator entry,
// right and bottom exclusive, inflated by (marginX, marginY).
bool pointListBounds(const InkPoint* points, int count, int marginX, int marginY, InkRect* rect);

// The loop test of the system client: the stroke up to its first separator
// travels more than 1.8 times each side of its box (both sides at least 5
// quarter pixels) and encloses more than a third of the box.
bool isClosedLoop(const InkPoint* points, int count);
