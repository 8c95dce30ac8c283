// Plain rectangles and 32-bit pixel surfaces shared by the drawing classes.
#pragma once

#include <cstdint>

namespace aadraw {

// Pixels; right and bottom exclusive.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
};

// The common part of two rectangles (empty when they do not meet).
inline Rect intersect(const Rect& a, const Rect& b) {
    Rect r;
    r.left = a.left > b.left ? a.left : b.left;
    r.top = a.top > b.top ? a.top : b.top;
    r.right = a.right < b.right ? a.right : b.right;
    r.bottom = a.bottom < b.bottom ? a.bottom : b.bottom;
    return r;
}

// 32-bit pixels 0x00RRGGBB (the top byte is left as found), rows top-down,
// `stride` pixels from one row to the next.
struct Bitmap32 {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;

    uint32_t* row(int y) const { return pixels + static_cast<intptr_t>(y) * stride; }
};

}  // namespace aadraw
