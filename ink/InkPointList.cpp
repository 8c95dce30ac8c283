#include "ink/InkPointList.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

uint32_t inkPointValue(InkPoint point) {
    uint32_t value;
    std::memcpy(&value, &point, sizeof value);
    return value;
}

bool isSeparator(InkPoint point) { return inkPointValue(point) == inkPointValue(kInkSeparator); }

bool isFinishMarker(InkPoint point) {
    return inkPointValue(point) == inkPointValue(kInkFinishMarker);
}

bool isLiveInkMarker(InkPoint point) {
    return inkPointValue(point) == inkPointValue(kInkLiveInkMarker);
}

bool pointListBounds(const InkPoint* points, int count, int marginX, int marginY, InkRect* rect) {
    if (!points || count < 1 || !rect || isSeparator(points[0])) return false;
    int left = points[0].x >> 2, right = left;
    int top = points[0].y >> 2, bottom = top;
    for (int i = 1; i < count; ++i) {
        if (isSeparator(points[i])) continue;
        const int x = points[i].x >> 2, y = points[i].y >> 2;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    rect->left = left - marginX;
    rect->top = top - marginY;
    rect->right = right + 1 + marginX;
    rect->bottom = bottom + 1 + marginY;
    return true;
}

bool isClosedLoop(const InkPoint* points, int count) {
    if (!points || count < 1 || static_cast<uint16_t>(points[0].y) > 65534) return false;
    int last = 0;  // index of the last point before the first separator
    while (last + 1 < count && points[last + 1].y != -1) ++last;
    if (last + 1 < 3) return false;

    int64_t travelX = 0, travelY = 0, area2 = 0;
    int minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
    for (int i = 1; i <= last; ++i) {
        const int64_t x0 = points[i - 1].x, y0 = points[i - 1].y;
        const int64_t x1 = points[i].x, y1 = points[i].y;
        travelX += std::llabs(x1 - x0);
        travelY += std::llabs(y1 - y0);
        area2 -= (x1 - x0) * (y0 + y1);
        minX = std::min<int>(minX, points[i].x);
        maxX = std::max<int>(maxX, points[i].x);
        minY = std::min<int>(minY, points[i].y);
        maxY = std::max<int>(maxY, points[i].y);
    }
    area2 += (int64_t(points[last].y) + points[0].y) * (int64_t(points[last].x) - points[0].x);

    const int64_t width = maxX - minX, height = maxY - minY;
    if (width < 5 || height < 5) return false;
    return 9 * width < 5 * travelX && 9 * height < 5 * travelY &&
           width * height < 3 * (std::llabs(area2) / 2);
}
