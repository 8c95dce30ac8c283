#include "ink/InkStroke.h"

#include <cstring>

#include "core/MemoryBlocks.h"

InkStroke::InkStroke(InkPoint* points, int count, const int32_t* penInfo)
    : points_(points), count_(count) {
    if (penInfo) {
        penInfo_ = static_cast<int32_t*>(allocMemory(kPenWords * sizeof(int32_t)));
        if (penInfo_) std::memcpy(penInfo_, penInfo, kPenWords * sizeof(int32_t));
    }
}

InkStroke::~InkStroke() {
    freeMemory(points_);
    freeMemory(penInfo_);
    freeMemory(bounds_);
}

bool InkStroke::computeBounds(bool compact) {
    const int margin = penInfo_ ? penInfo_[kPenWidth] / 2 + 5 : 2;
    freeMemory(bounds_);
    bounds_ = nullptr;
    InkRect rect;
    if (!pointListBounds(points_, count_, margin, margin, &rect)) return false;
    bounds_ = static_cast<InkRect*>(allocMemory(sizeof(InkRect)));
    if (!bounds_) return false;
    *bounds_ = rect;
    if (compact) {
        freeMemory(points_);
        freeMemory(penInfo_);
        points_ = nullptr;
        count_ = 0;
        penInfo_ = nullptr;
    }
    return true;
}

// The entry at `from`, or the nearest one in direction `step`, that is not a separator.
static bool realPoint(const InkPoint* points, int count, int from, int step, InkPixel* point) {
    if (!points || count < 1 || !point) return false;
    for (int i = from; i >= 0 && i < count; i += step) {
        if (isSeparator(points[i])) continue;
        point->x = points[i].x >> 2;
        point->y = points[i].y >> 2;
        return true;
    }
    return false;
}

bool InkStroke::getFirstPoint(InkPixel* point) const {
    return realPoint(points_, count_, 0, +1, point);
}

bool InkStroke::getLastPoint(InkPixel* point) const {
    return realPoint(points_, count_, count_ - 1, -1, point);
}
