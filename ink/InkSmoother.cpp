#include "ink/InkSmoother.h"

#include <cstdlib>

#include "core/MemoryBlocks.h"

namespace {

bool movedEnough(InkSmoother::Point from, InkSmoother::Point to) {
    return std::abs(to.x - from.x) + std::abs(to.y - from.y) > 1;
}

}  // namespace

int InkSmoother::stepAxis(Axis& axis, int value, int outputs[3]) {
    const int n = 9 * value;
    const int a = axis.a, b = axis.b;
    const int p1 = a + (b - a) / 3;
    const int m1 = b + (n - b) / 3;
    const int p2 = p1 + (m1 - p1) / 3;
    const int m2 = b + 2 * (n - b) / 3;
    const int p3 = p2 + (m2 - p2) / 3;
    axis.a = p3;
    axis.b = n;
    outputs[0] = (p1 + 4) / 9;
    outputs[1] = (p2 + 4) / 9;
    outputs[2] = (p3 + 4) / 9;
    return 3;
}

int InkSmoother::stepInto(Point p, Point* out) {
    int xs[3], ys[3];
    stepAxis(x_, p.x, xs);
    stepAxis(y_, p.y, ys);
    int n = 0;
    for (int i = 0; i < 3; ++i) {
        const Point candidate = {xs[i], ys[i]};
        if (!movedEnough(last_, candidate)) continue;
        out[n++] = candidate;
        last_ = candidate;
    }
    return n;
}

void InkSmoother::start(Point p, Emit emit, void* context) {
    x_.a = x_.b = 9 * p.x;
    y_.a = y_.b = 9 * p.y;
    last_ = p;
    emit(context, p);
}

void InkSmoother::step(Point p, Emit emit, void* context) {
    Point out[3];
    const int n = stepInto(p, out);
    for (int i = 0; i < n; ++i) emit(context, out[i]);
}

void InkSmoother::flush(Point p, Emit emit, void* context) {
    Point out[6];
    int n = stepInto(p, out);
    n += stepInto(p, out + n);
    // The stroke ends exactly where the pen left.
    if (n == 0) n = 1;
    out[n - 1] = p;
    last_ = p;
    for (int i = 0; i < n; ++i) emit(context, out[i]);
}

namespace {

struct ListOutput {
    InkPoint* points;
    int count;
    int capacity;
    int shift;
    bool keepPrecision;
    bool overflow;
};

void appendOutput(void* context, InkSmoother::Point p) {
    auto* out = static_cast<ListOutput*>(context);
    if (out->count >= out->capacity) {
        out->overflow = true;
        return;
    }
    if (out->shift >= 1 && !out->keepPrecision) {
        const int half = 1 << (out->shift - 1);
        p.x = (p.x + half) >> out->shift;
        p.y = (p.y + half) >> out->shift;
    }
    out->points[out->count++] = makeInkPoint(p.x, p.y);
}

}  // namespace

bool smoothInkPoints(const InkPoint* points, int n, InkPoint** out, int* outCount, int shift,
                     bool keepPrecision) {
    if (!points || n < 1 || !out || !outCount || shift < 0 || shift > 8) return false;
    if (n > INT32_MAX / 6 / static_cast<int>(sizeof(InkPoint))) return false;
    ListOutput list = {nullptr, 0, 6 * n, shift, keepPrecision, false};
    list.points =
        static_cast<InkPoint*>(allocMemory(list.capacity * static_cast<int>(sizeof(InkPoint))));
    if (!list.points) return false;
    InkSmoother smoother;
    bool restart = true;
    for (int i = 0; i < n && !list.overflow; ++i) {
        if (isSeparator(points[i])) {
            if (list.count < list.capacity)
                list.points[list.count++] = points[i];
            else
                list.overflow = true;
            restart = true;
            continue;
        }
        const InkSmoother::Point p = {points[i].x * (1 << shift), points[i].y * (1 << shift)};
        const bool last = i + 1 == n || isSeparator(points[i + 1]);
        if (restart)
            smoother.start(p, appendOutput, &list);
        else if (last)
            smoother.flush(p, appendOutput, &list);
        else
            smoother.step(p, appendOutput, &list);
        restart = false;
    }
    if (list.overflow || list.count == 0) {
        freeMemory(list.points);
        return false;
    }
    *out = list.points;
    *outCount = list.count;
    return true;
}
