#include <algorithm>
#include <cmath>

#include "ink/aadraw/Brush.h"
#include "ink/aadraw/FixedPoint.h"

namespace aadraw {
namespace {

float usableWidth(float width) {
    return std::isfinite(width) ? std::clamp(width, 0.0f, kMaxPenWidth) : 0.0f;
}

int64_t toFixed(float value) { return std::llround(double(value) * kFixedOne); }

}  // namespace

int RoundPen::stampSizeFor(float width) {
    const int64_t half = ((toFixed(usableWidth(width)) >> 1) + 8191) >> kFixedShift;
    return int(half) * 2 + 1;
}

RoundPen::RoundPen(float width, uint32_t colour, int opacity)
    : MonoBrush(stampSizeFor(width), colour, opacity),
      width_(usableWidth(width)),
      radius_(toFixed(width_) >> 1) {}

StampSet* RoundPen::getStampSet() {
    static StampTable<float> table;
    return table.find(width_, uint32_t(toFixed(width_)), stampSize());
}

void RoundPen::renderStamp(uint8_t* stamp, int width, int height, int phaseX, int phaseY) const {
    for (int row = 0; row < height; ++row) {
        const int64_t dy = int64_t(row - height / 2) * kFixedOne - phaseY * (kFixedOne / 8);
        const int64_t dy2 = fxMul(dy, dy);
        for (int col = 0; col < width; ++col) {
            const int64_t dx = int64_t(col - width / 2) * kFixedOne - phaseX * (kFixedOne / 8);
            *stamp++ = coverageRamp(fxSqrt(fxMul(dx, dx) + dy2) - radius_);
        }
    }
}

}  // namespace aadraw
