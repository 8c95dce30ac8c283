#include "ink/aadraw/Brush.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "ink/aadraw/StrokeBuffer.h"

namespace aadraw {

MonoBrush::MonoBrush(int stampSize, uint32_t colour, int opacity)
    : size_(stampSize), colour_(colour & 0xFFFFFF), opacity_(std::clamp(opacity, 0, 255)) {}

void MonoBrush::growRect(Rect& rect) const {
    const int half = size_ / 2;
    rect.left -= half;
    rect.top -= half;
    rect.right += half + 1;
    rect.bottom += half + 1;
}

const uint8_t* MonoBrush::stamp(int phaseX, int phaseY) {
    if (!set_) set_ = getStampSet();
    if (!set_) return nullptr;
    if (const uint8_t* made = set_->stamp(phaseX, phaseY)) return made;
    uint8_t* made = new (std::nothrow) uint8_t[size_t(size_) * size_];
    if (!made) return nullptr;
    renderStamp(made, size_, size_, phaseX, phaseY);
    return set_->publish(phaseX, phaseY, made);
}

void MonoBrush::stampAt(StrokeBuffer& buffer, int x, int y, int level) {
    if (const uint8_t* s = stamp(x & 7, y & 7))
        buffer.applyStamp(s, size_, (x >> 3) - size_ / 2, (y >> 3) - size_ / 2, level);
}

bool MonoBrush::drawLine(StrokeBuffer& buffer, int x0, int y0, int level0, int x1, int y1,
                         int level1) {
    if (!stamp(x1 & 7, y1 & 7)) return false;
    level0 = std::clamp(level0, 0, 255);
    level1 = std::clamp(level1, 0, 255);
    const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
    const int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
    if (steps > 0) {
        // A Bresenham walk in eighths along the major axis; the minor axis
        // moves when the error term turns positive. Only the steps that land
        // on a whole pixel of the major axis are stamped, so they are reached
        // directly: after k steps the minor axis has moved (2mk + n - 1) / 2n
        // times, exactly as the walk would have it.
        const bool xMajor = std::llabs(dx) >= std::llabs(dy);
        const int64_t major0 = xMajor ? x0 : y0, minor0 = xMajor ? y0 : x0;
        const int64_t majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
        const int64_t minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
        const int64_t minorSpan = xMajor ? std::llabs(dy) : std::llabs(dx);
        const int64_t levelStep = (int64_t(level1 - level0) * 256) / steps;

        // Steps whose stamp can reach the buffer along the major axis.
        const Rect& region = buffer.region();
        const int half = size_ / 2;
        const int64_t lo = ((xMajor ? region.left : region.top) - half) * int64_t(8);
        const int64_t hi = ((xMajor ? region.right : region.bottom) + half) * int64_t(8);
        int64_t kFirst = 1, kLast = steps - 1;
        if (majorStep > 0) {
            kFirst = std::max(kFirst, lo - major0);
            kLast = std::min(kLast, hi - major0);
        } else {
            kFirst = std::max(kFirst, major0 - hi);
            kLast = std::min(kLast, major0 - lo);
        }
        // First step at or after kFirst that lands on a multiple of 8.
        const int64_t landing = ((majorStep > 0 ? -major0 : major0) % 8 + 8) % 8;
        int64_t k = kFirst <= landing ? landing : landing + (kFirst - landing + 7) / 8 * 8;
        for (; k <= kLast; k += 8) {
            const int64_t major = major0 + majorStep * k;
            const int64_t minor =
                minor0 + minorStep * ((2 * minorSpan * k + steps - 1) / (2 * steps));
            const int level = int((int64_t(level0) * 256 + levelStep * k) >> 8);
            stampAt(buffer, int(xMajor ? major : minor), int(xMajor ? minor : major), level);
        }
    }
    stampAt(buffer, x1, y1, level1);
    return true;
}

}  // namespace aadraw
