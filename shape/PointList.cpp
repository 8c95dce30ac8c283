// Point lists: a stroke's points with their running arc length and box.
#include <string.h>

#include "Memory.h"
#include "ShapeRecords.h"

namespace vexa {

int16_t toInternal(int32_t c, int32_t shift) {
    if (shift <= 0) return static_cast<int16_t>(c);
    // A signed shift: negative coordinates round down like positive ones, so
    // that a shape keeps its size wherever it lies.
    return clamp16(shiftRight(static_cast<int64_t>(c) * (int64_t{1} << shift), 10));
}

int16_t toCaller(int32_t c, int32_t shift) {
    // Scales that take points unchanged give them back unchanged.
    if (shift <= 0) return static_cast<int16_t>(c);
    return clamp16((static_cast<int64_t>(c) * 1024) >> shift);
}

int32_t stepLength(Point16 a, Point16 b) {
    int64_t dx = static_cast<int64_t>(a.x) - b.x, dy = static_cast<int64_t>(a.y) - b.y;
    uint64_t q = static_cast<uint64_t>(dx * dx + dy * dy);
    if (q < 16384) return static_cast<int32_t>(isqrtLarge(q * 1024) << 5);
    return static_cast<int32_t>(isqrtLarge(q) << 10);
}

namespace {

// The point and arc arrays for `count` points: both or neither.
bool allocArrays(int count, Point16** points, int32_t** arc) {
    *points = static_cast<Point16*>(allocBlock(sizeof(Point16) * static_cast<size_t>(count)));
    *arc = static_cast<int32_t*>(allocBlock(sizeof(int32_t) * static_cast<size_t>(count)));
    if (*points && *arc) return true;
    freeBlock(*points);
    freeBlock(*arc);
    *points = nullptr;
    *arc = nullptr;
    return false;
}

PointList* allocPointList(int count) {
    PointList* list = static_cast<PointList*>(allocZeroed(sizeof(PointList)));
    if (!list) return nullptr;
    if (!allocArrays(count, &list->points, &list->arc)) {
        freePointList(list);
        return nullptr;
    }
    return list;
}

// Grows the two arrays to hold `count` points.
bool growPointList(PointList* list, int count) {
    Point16* points;
    int32_t* arc;
    if (!allocArrays(count, &points, &arc)) return false;
    memcpy(points, list->points, sizeof(Point16) * list->count);
    memcpy(arc, list->arc, sizeof(int32_t) * list->count);
    freeBlock(list->points);
    freeBlock(list->arc);
    list->points = points;
    list->arc = arc;
    return true;
}

}  // namespace

PointList* makePointList(int n, const int16_t* xy, int32_t shift) {
    if (n < 1 || !xy) return nullptr;
    if (n > kMaxPoints) n = kMaxPoints;
    PointList* list = allocPointList(n);
    if (!list) return nullptr;
    int count = 0;
    for (int i = 0; i < n; ++i) {
        Point16 p = {toInternal(xy[2 * i], shift), toInternal(xy[2 * i + 1], shift)};
        if (count && list->points[count - 1] == p) continue;
        list->points[count] = p;
        list->arc[count] =
            count ? addSaturated(list->arc[count - 1], stepLength(list->points[count - 1], p)) : 0;
        ++count;
    }
    list->count = static_cast<uint16_t>(count);
    recomputeBox(list);
    recomputeSweptArea(list);
    return list;
}

PointList* copyPointList(const PointList* from) {
    PointList* list = allocPointList(from->count ? from->count : 1);
    if (!list) return nullptr;
    list->count = from->count;
    memcpy(list->points, from->points, sizeof(Point16) * from->count);
    memcpy(list->arc, from->arc, sizeof(int32_t) * from->count);
    list->box = from->box;
    list->sweptArea = from->sweptArea;
    return list;
}

void freePointList(PointList* list) {
    if (!list) return;
    freeBlock(list->points);
    freeBlock(list->arc);
    freeBlock(list);
}

bool pointListAppend(PointList* list, Point16 p) {
    if (list->count >= kMaxPoints || !growPointList(list, list->count + 1)) return false;
    int i = list->count;
    list->points[i] = p;
    list->arc[i] = i ? addSaturated(list->arc[i - 1], stepLength(list->points[i - 1], p)) : 0;
    list->count = static_cast<uint16_t>(i + 1);
    if (i == 0) {
        list->box = {p.x, p.x, p.y, p.y};
    } else {
        if (p.x < list->box.minX) list->box.minX = p.x;
        if (p.x > list->box.maxX) list->box.maxX = p.x;
        if (p.y < list->box.minY) list->box.minY = p.y;
        if (p.y > list->box.maxY) list->box.maxY = p.y;
    }
    return true;
}

bool joinPointLists(PointList* a, const PointList* b, bool bFirst) {
    const int total = a->count + b->count;
    Point16* points;
    int32_t* arc;
    if (total > kMaxPoints || !allocArrays(total, &points, &arc)) return false;
    const PointList* first = bFirst ? b : a;
    const PointList* second = bFirst ? a : b;
    memcpy(points, first->points, sizeof(Point16) * first->count);
    memcpy(arc, first->arc, sizeof(int32_t) * first->count);
    int32_t base = 0;
    if (first->count && second->count)
        base = addSaturated(first->arc[first->count - 1],
                            stepLength(first->points[first->count - 1], second->points[0]));
    for (int i = 0; i < second->count; ++i) {
        points[first->count + i] = second->points[i];
        arc[first->count + i] = addSaturated(base, second->arc[i]);
    }
    freeBlock(a->points);
    freeBlock(a->arc);
    a->points = points;
    a->arc = arc;
    a->count = static_cast<uint16_t>(total);
    recomputeBox(a);
    return true;
}

void reversePointList(PointList* list) {
    const int n = list->count;
    if (n < 1) return;
    const int32_t total = list->arc[n - 1];
    for (int i = 0, j = n - 1; i < j; ++i, --j) {
        Point16 t = list->points[i];
        list->points[i] = list->points[j];
        list->points[j] = t;
        int32_t a = list->arc[i];
        list->arc[i] = list->arc[j];
        list->arc[j] = a;
    }
    for (int i = 0; i < n; ++i) list->arc[i] = total - list->arc[i];
}

void recomputeBox(PointList* list) {
    if (!list->count) {
        boxClear(&list->box);
        return;
    }
    Box b = {list->points[0].x, list->points[0].x, list->points[0].y, list->points[0].y};
    for (int i = 1; i < list->count; ++i) {
        const Point16 p = list->points[i];
        if (p.x < b.minX) b.minX = p.x;
        if (p.x > b.maxX) b.maxX = p.x;
        if (p.y < b.minY) b.minY = p.y;
        if (p.y > b.maxY) b.maxY = p.y;
    }
    list->box = b;
}

void recomputeSweptArea(PointList* list) {
    int32_t cx, cy;
    boxCentre(&list->box, &cx, &cy);
    int64_t sum = 0;
    for (int i = 1; i < list->count; ++i) {
        int64_t ax = list->points[i - 1].x - static_cast<int64_t>(cx);
        int64_t ay = list->points[i - 1].y - static_cast<int64_t>(cy);
        int64_t bx = list->points[i].x - static_cast<int64_t>(cx);
        int64_t by = list->points[i].y - static_cast<int64_t>(cy);
        sum += absValue(ax * by - ay * bx);
    }
    list->sweptArea = clamp32(sum / 2);
}

int32_t pointSize(const PointList* list) {
    int32_t w = boxWidth(&list->box), h = boxHeight(&list->box);
    return w > h ? w : h;
}

int32_t pointDistance(const PointList* list, int i, int j) {
    return stepLength(list->points[i], list->points[j]);
}

int32_t quickDistance(const PointList* list, int i, int j) {
    int64_t dx = absValue(static_cast<int64_t>(list->points[i].x) - list->points[j].x);
    int64_t dy = absValue(static_cast<int64_t>(list->points[i].y) - list->points[j].y);
    int64_t q = (dx + dy) * 683 / 1024;
    int64_t m = dx > dy ? dx : dy;
    return clamp32(m > q ? m : q);
}

void normalisePointList(PointList* list, int32_t divisor, int32_t offsetX, int32_t offsetY) {
    if (divisor == 0) return;
    const int64_t oldSwept = list->sweptArea;
    for (int i = 0; i < list->count; ++i) {
        Point16& p = list->points[i];
        p.x = clamp16((static_cast<int64_t>(p.x) * 1024 - offsetX) / divisor);
        p.y = clamp16((static_cast<int64_t>(p.y) * 1024 - offsetY) / divisor);
    }
    recomputeBox(list);
    const int64_t d = divisor;
    int64_t swept = oldSwept * 1024 * 1024 / (d * d);
    list->sweptArea = clamp32(swept < 1 ? 1 : swept);
}

bool lineIntersection(Point16 p1, Point16 p2, Point16 q1, Point16 q2, int32_t* t, int32_t* u) {
    const int64_t rx = static_cast<int64_t>(p2.x) - p1.x, ry = static_cast<int64_t>(p2.y) - p1.y;
    const int64_t sx = static_cast<int64_t>(q2.x) - q1.x, sy = static_cast<int64_t>(q2.y) - q1.y;
    const int64_t det = rx * sy - ry * sx;
    if (det == 0) return false;
    const int64_t wx = static_cast<int64_t>(q1.x) - p1.x, wy = static_cast<int64_t>(q1.y) - p1.y;
    if (t) *t = clamp32((wx * sy - wy * sx) * 1024 / det);
    if (u) *u = clamp32((wx * ry - wy * rx) * 1024 / det);
    return true;
}

}  // namespace vexa
