#include "ink/aadraw/StrokeBuffer.h"

#include <algorithm>
#include <cstring>

#include "ink/aadraw/Brush.h"

namespace aadraw {

uint32_t blendPixel(uint32_t p, uint32_t colour, int a, int opacity) {
    if (opacity < 255) a = ((opacity + 1) * a) >> 8;
    if (a <= 0) return p;
    if (a >= 255) return (p & 0xFF000000u) | (colour & 0xFFFFFFu);
    uint32_t out = p & 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int pc = (p >> shift) & 0xFF, cc = (colour >> shift) & 0xFF;
        out |= static_cast<uint32_t>(pc + (((cc - pc) * a) >> 8)) << shift;
    }
    return out;
}

MonoStrokeBuffer::MonoStrokeBuffer(const MonoBrush* owner, const Rect& region, uint8_t* coverage)
    : owner_(owner),
      region_(region),
      colour_(owner ? owner->colour() : 0),
      opacity_(owner ? owner->opacity() : 255),
      coverage_(coverage) {
    clear();
}

void MonoStrokeBuffer::clear() {
    if (!region_.empty()) std::memset(coverage_, 0, size_t(region_.width()) * region_.height());
}

void MonoStrokeBuffer::setOpacity(int opacity) { opacity_ = std::clamp(opacity, 0, 255); }

uint8_t MonoStrokeBuffer::coverageAt(int x, int y) const {
    if (x < region_.left || x >= region_.right || y < region_.top || y >= region_.bottom) return 0;
    return coverage_[size_t(y - region_.top) * region_.width() + (x - region_.left)];
}

void MonoStrokeBuffer::applyStamp(const uint8_t* stamp, int size, int left, int top, int level) {
    const Rect area = intersect(region_, Rect{left, top, left + size, top + size});
    if (area.empty() || level <= 0) return;
    const int width = region_.width(), n = area.width();
    for (int y = area.top; y < area.bottom; ++y) {
        uint8_t* dst = coverage_ + size_t(y - region_.top) * width + (area.left - region_.left);
        const uint8_t* src = stamp + size_t(y - top) * size + (area.left - left);
        if (level >= 255) {
            for (int i = 0; i < n; ++i) dst[i] = std::max(dst[i], src[i]);
        } else {
            for (int i = 0; i < n; ++i)
                dst[i] = std::max(dst[i], static_cast<uint8_t>((src[i] * (level + 1)) >> 8));
        }
    }
}

void MonoStrokeBuffer::blendInPlace(const Bitmap32& bitmap, int x, int y, const Rect* clip) {
    Rect area = intersect(region_, Rect{x, y, x + bitmap.width, y + bitmap.height});
    if (clip) area = intersect(area, *clip);
    if (area.empty()) return;
    const int width = region_.width();
    for (int row = area.top; row < area.bottom; ++row) {
        const uint8_t* cov =
            coverage_ + size_t(row - region_.top) * width + (area.left - region_.left);
        uint32_t* px = bitmap.row(row - y) + (area.left - x);
        for (int i = 0, n = area.width(); i < n; ++i)
            if (cov[i]) px[i] = blendPixel(px[i], colour_, cov[i], opacity_);
    }
}

void MonoStrokeBuffer::blendCopy(const Bitmap32& source, int sx, int sy,
                                 const Bitmap32& destination, int dx, int dy) {
    const Rect area =
        intersect(intersect(region_, Rect{sx, sy, sx + source.width, sy + source.height}),
                  Rect{dx, dy, dx + destination.width, dy + destination.height});
    if (area.empty()) return;
    const int width = region_.width();
    for (int row = area.top; row < area.bottom; ++row) {
        const uint8_t* cov =
            coverage_ + size_t(row - region_.top) * width + (area.left - region_.left);
        const uint32_t* in = source.row(row - sy) + (area.left - sx);
        uint32_t* out = destination.row(row - dy) + (area.left - dx);
        for (int i = 0, n = area.width(); i < n; ++i)
            out[i] = blendPixel(in[i], colour_, cov[i], opacity_);
    }
}

}  // namespace aadraw
