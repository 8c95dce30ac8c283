#include "Ink.h"

#include <cstdlib>
#include <cstring>

namespace ombra {

int64_t octagonalDistance(int64_t dx, int64_t dy) {
    dx = std::llabs(dx);
    dy = std::llabs(dy);
    int64_t d = dx > dy ? dx : dy;
    const int64_t o = ((dx + dy) * 683) >> 10;
    return o > d ? o : d;
}

COmbraStroke* COmbraStroke::make(const Ombra_STROKE& r) {
    COmbraStroke* s = new (std::nothrow) COmbraStroke;
    if (!s) return nullptr;
    s->id = r.id;
    s->count = r.count > 0 && r.points ? r.count : 0;
    s->strokeWidth = r.width;
    s->attribute = r.attribute;
    s->kind = r.kind;
    s->flags = r.flags;
    s->lineId = r.lineId;
    if (s->count) {
        s->points = new (std::nothrow) int32_t[2 * static_cast<size_t>(s->count)];
        if (!s->points) {
            delete s;
            return nullptr;
        }
        std::memcpy(s->points, r.points, sizeof(int32_t) * 2 * static_cast<size_t>(s->count));
    }
    // Sums in 64 bits: coordinates may lie anywhere in the 32-bit range.
    int64_t sx = 0, sy = 0, length = 0;
    for (int i = 0; i < s->count; ++i) {
        sx += s->x(i);
        sy += s->y(i);
        s->box.grow(s->x(i), s->y(i));
        if (i)
            length +=
                octagonalDistance(int64_t(s->x(i)) - s->x(i - 1), int64_t(s->y(i)) - s->y(i - 1));
    }
    if (s->count) {
        s->meanX = static_cast<int32_t>(sx / s->count);
        s->meanY = static_cast<int32_t>(sy / s->count);
    }
    s->pathLength = static_cast<int32_t>(length > INT32_MAX ? INT32_MAX : length);
    return s;
}

COmbraInk::~COmbraInk() {
    for (int i = 0; i < strokes_.count(); ++i) delete strokes_.get(i);
}

bool COmbraInk::append(COmbraStroke* s) {
    if (!strokes_.append(s)) return false;
    totalPoints += s->count;
    if (s->count > mostPoints) mostPoints = s->count;
    box.grow(s->box);
    sumX_ += int64_t(s->meanX) * s->count;
    sumY_ += int64_t(s->meanY) * s->count;
    if (totalPoints) {
        meanX = static_cast<int32_t>(sumX_ / totalPoints);
        meanY = static_cast<int32_t>(sumY_ / totalPoints);
    }
    return true;
}

void COmbraInk::computeMeanWidth() {
    const int n = strokes_.count();
    if (!n) {
        meanWidth = 0;
        return;
    }
    int64_t sum = 0;
    for (int i = 0; i < n; ++i) sum += strokes_.get(i)->strokeWidth;
    meanWidth = static_cast<int32_t>((sum + n / 2) / n);
}

}  // namespace ombra
