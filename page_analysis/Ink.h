// The strokes of a session: each an owned copy of the caller's record and
// points with the measures the passes read (box, mean point, path length).
#ifndef OMBRA_INK_H
#define OMBRA_INK_H

#include <cstdint>

#include "DataArr.h"
#include "FRect.h"
#include "Ombra.h"

namespace ombra {

class COmbraStroke {
  public:
    // Null when memory runs out; the points are copied.
    static COmbraStroke* make(const Ombra_STROKE& record);
    virtual ~COmbraStroke() { delete[] points; }
    COmbraStroke(const COmbraStroke&) = delete;
    COmbraStroke& operator=(const COmbraStroke&) = delete;

    int32_t x(int i) const { return points[2 * i]; }
    int32_t y(int i) const { return points[2 * i + 1]; }
    int64_t width() const { return box.width(); }
    int64_t height() const { return box.height(); }

    int32_t id = 0, count = 0, strokeWidth = 0, attribute = 0, kind = 0, flags = 0, lineId = 0;
    int32_t* points = nullptr;  // count pairs x, y
    int32_t meanX = 0, meanY = 0;
    FRect box;
    int32_t pathLength = 0;
    int32_t chartLabel = -1;
    int32_t features[3] = {0, 0, 0};  // the three text features of the band text test
    int32_t flagWord = 0;
    int32_t textFlag = 1;
    int32_t boxedMark = 0;  // 15 for a stroke boxed by a closed loop

  private:
    COmbraStroke() = default;
};

// The octagonal distance max(|dx|, |dy|, (|dx| + |dy|) * 683 / 1024): the
// Euclidean distance in integers, within a few percent.
int64_t octagonalDistance(int64_t dx, int64_t dy);

class COmbraInk {
  public:
    COmbraInk() = default;
    virtual ~COmbraInk();
    COmbraInk(const COmbraInk&) = delete;
    COmbraInk& operator=(const COmbraInk&) = delete;

    // The ink takes the stroke; false (stroke not taken) without memory.
    bool append(COmbraStroke* stroke);
    COmbraStroke* stroke(int i) const { return strokes_.get(i); }
    int count() const { return strokes_.count(); }
    // The rounded mean of the strokes' width values.
    void computeMeanWidth();

    int32_t reserved = 0;
    int32_t scale = 32;
    int64_t totalPoints = 0;
    int32_t mostPoints = 0;
    int32_t meanWidth = 0;
    FRect box;
    int32_t meanX = 0, meanY = 0;

  private:
    CDataArr<COmbraStroke*> strokes_;
    int64_t sumX_ = 0, sumY_ = 0;
};

}  // namespace ombra

#endif
