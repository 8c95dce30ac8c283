#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ink/aadraw/Brush.h"
#include "ink/aadraw/FixedPoint.h"

namespace aadraw {
namespace {

float usable(float value, float limit) {
    return std::isfinite(value) ? std::clamp(value, -limit, limit) : 0.0f;
}

int64_t toFixed(float value) { return std::llround(double(value) * kFixedOne); }

struct SlantKey {
    float a, b, c;
    bool operator==(const SlantKey& o) const { return a == o.a && b == o.b && c == o.c; }
};

}  // namespace

int SlantPen::stampSizeFor(float a, float b, float c) {
    // The stamp must reach half the segment plus the end radius on each axis,
    // like the round pen's half width.
    const int64_t radius = toFixed(std::max(0.0f, usable(a, kMaxPenWidth / 2)));
    int64_t half = 0;
    for (float component : {b, c}) {
        const int64_t reach = (std::llabs(toFixed(usable(component, kMaxPenWidth))) >> 1) + radius;
        half = std::max(half, (reach + 8191) >> kFixedShift);
    }
    return int(half) * 2 + 1;
}

SlantPen::SlantPen(float a, float b, float c, uint32_t colour, int opacity)
    : MonoBrush(stampSizeFor(a, b, c), colour, opacity),
      a_(std::max(0.0f, usable(a, kMaxPenWidth / 2))),
      b_(usable(b, kMaxPenWidth)),
      c_(usable(c, kMaxPenWidth)),
      radius_(toFixed(a_)),
      segX_(toFixed(b_)),
      segY_(toFixed(c_)),
      length_(fxSqrt(fxMul(segX_, segX_) + fxMul(segY_, segY_))) {}

StampSet* SlantPen::getStampSet() {
    static StampTable<SlantKey> table;
    const uint32_t hash = uint32_t(toFixed(a_)) ^ uint32_t(toFixed(b_)) ^ uint32_t(toFixed(c_));
    return table.find(SlantKey{a_, b_, c_}, hash, stampSize());
}

void SlantPen::renderStamp(uint8_t* stamp, int width, int height, int phaseX, int phaseY) const {
    for (int row = 0; row < height; ++row) {
        const int64_t py = int64_t(row - height / 2) * kFixedOne - phaseY * (kFixedOne / 8);
        for (int col = 0; col < width; ++col) {
            const int64_t px = int64_t(col - width / 2) * kFixedOne - phaseX * (kFixedOne / 8);
            int64_t along, across;
            if (length_ == 0) {
                along = std::llabs(px);
                across = std::llabs(py);
            } else {
                along = std::llabs(fxDiv(fxMul(px, segX_) + fxMul(py, segY_), length_));
                across = std::llabs(fxDiv(fxMul(px, segY_) - fxMul(py, segX_), length_));
            }
            const int64_t beyond = along - length_ / 2;  // past the segment's end
            const int64_t distance =
                beyond > 0 ? fxSqrt(fxMul(beyond, beyond) + fxMul(across, across)) : across;
            *stamp++ = coverageRamp(distance - radius_);
        }
    }
}

}  // namespace aadraw
