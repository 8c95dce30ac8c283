// A box (top, bottom, left, right) in page units, y growing downwards. All
// four 0 means empty.
#ifndef OMBRA_FRECT_H
#define OMBRA_FRECT_H

#include <cstdint>

namespace ombra {

class FRect {
  public:
    int32_t top = 0, bottom = 0, left = 0, right = 0;

    FRect() = default;
    FRect(int32_t t, int32_t b, int32_t l, int32_t r) : top(t), bottom(b), left(l), right(r) {}
    virtual ~FRect() = default;
    FRect(const FRect&) = default;
    FRect& operator=(const FRect&) = default;

    bool empty() const { return !top && !bottom && !left && !right; }
    void clear() { top = bottom = left = right = 0; }
    void grow(int32_t x, int32_t y) {
        if (empty()) {
            top = bottom = y;
            left = right = x;
            return;
        }
        if (y < top) top = y;
        if (y > bottom) bottom = y;
        if (x < left) left = x;
        if (x > right) right = x;
    }
    void grow(const FRect& other) {
        if (other.empty()) return;
        if (empty()) {
            *this = other;
            return;
        }
        if (other.top < top) top = other.top;
        if (other.bottom > bottom) bottom = other.bottom;
        if (other.left < left) left = other.left;
        if (other.right > right) right = other.right;
    }
    bool contains(const FRect& o) const {
        return o.top >= top && o.bottom <= bottom && o.left >= left && o.right <= right;
    }
    // 64-bit sums: boxes may span the whole 32-bit range.
    int32_t centreX() const { return static_cast<int32_t>((int64_t(left) + right) >> 1); }
    int32_t centreY() const { return static_cast<int32_t>((int64_t(top) + bottom) >> 1); }
    int64_t width() const { return int64_t(right) - left; }
    int64_t height() const { return int64_t(bottom) - top; }
};

}  // namespace ombra

#endif
