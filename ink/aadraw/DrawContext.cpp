#include "ink/aadraw/DrawContext.h"

#include <algorithm>
#include <cmath>

namespace aadraw {
namespace {

// Pixels to eighths, kept well inside int so that segment arithmetic cannot overflow.
int toEighths(float value) {
    constexpr double kLimit = 1 << 27;
    if (!std::isfinite(value)) return 0;
    return int(std::lround(std::clamp(double(value) * 8, -kLimit, kLimit)));
}

// COLORREF (0x00BBGGRR) to 0x00RRGGBB.
uint32_t fromColorref(uint32_t c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

}  // namespace

bool BitmapSurface::read(const Rect& area, Bitmap32* bits) {
    const Rect inside = intersect(area, bounds());
    if (inside.left != area.left || inside.top != area.top || inside.right != area.right ||
        inside.bottom != area.bottom)
        return false;
    bits->pixels = bitmap_.row(area.top) + area.left;
    bits->width = area.width();
    bits->height = area.height();
    bits->stride = bitmap_.stride;
    return true;
}

DrawContext::DrawContext(std::unique_ptr<TargetSurface> surface) : surface_(std::move(surface)) {}

void DrawContext::makePen() {
    surface_->dropCache();
    const uint32_t colour = fromColorref(colorref_);
    if (penType_ == kPenSlanted)
        pen_.reset(new (std::nothrow)
                       SlantPen(0.5f * width_, 0.5f * width_, -0.5f * width_, colour, 255));
    else
        pen_.reset(new (std::nothrow) RoundPen(width_, colour, 255));
}

MonoBrush* DrawContext::pen() {
    if (!pen_) makePen();
    return pen_.get();
}

bool DrawContext::setPenType(int type) {
    if (type != kPenRound && type != kPenSlanted && type != kPenRoundAlt) return false;
    penType_ = type;
    pen_.reset();  // made anew for the next segment
    return true;
}

bool DrawContext::setColour(uint32_t colorref) {
    colorref_ = colorref & 0xFFFFFF;
    pen_.reset();  // made anew for the next segment
    return true;
}

bool DrawContext::setWidth(float width) {
    if (!(width > 0.0f && width <= 40.0f)) return false;
    width_ = width;
    pen_.reset();  // made anew for the next segment
    return true;
}

void DrawContext::moveTo(float x, float y) {
    currentX_ = toEighths(x);
    currentY_ = toEighths(y);
    previousX_ = currentX_;
    previousY_ = currentY_;
    surface_->dropCache();
}

bool DrawContext::lineTo(float x, float y) {
    previousX_ = currentX_;
    previousY_ = currentY_;
    currentX_ = toEighths(x);
    currentY_ = toEighths(y);

    MonoBrush* brush = pen();
    if (!brush) return false;
    Rect box{std::min(previousX_, currentX_) >> 3, std::min(previousY_, currentY_) >> 3,
             std::max(previousX_, currentX_) >> 3, std::max(previousY_, currentY_) >> 3};
    brush->growRect(box);
    const Rect area = intersect(box, surface_->bounds());
    if (area.empty()) return true;  // nothing of it can be seen

    Bitmap32 bits;
    if (!surface_->read(area, &bits)) return false;
    StrokeBuffer* buffer = strokes_.getBuffer(brush, area);
    if (!buffer) return false;
    const bool drawn =
        brush->drawLine(*buffer, previousX_, previousY_, 255, currentX_, currentY_, 255);
    if (drawn) buffer->blendInPlace(bits, area.left, area.top, nullptr);
    strokes_.releaseBuffer(buffer);
    return drawn && surface_->write(area);
}

}  // namespace aadraw
