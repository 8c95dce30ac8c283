#include "AlignGeometry.h"

#include "FixedMath.h"

namespace vexa {

namespace {

// Nudges toward the equilateral shape in 1/2702 (2 x 1351; 15 and 26 stand for
// 1 and the square root of 3), rounded half the two ways.
int64_t up(int64_t a) { return -((1351 - a) / 2702); }
int64_t down(int64_t a) { return (a + 1351) / 2702; }

void regularizeAxis(int32_t* v, bool strict) {
    // v points at the first corner's coordinate on this axis; corners are 2 apart.
    int64_t c0 = v[0], c1 = v[2], c2 = v[4], c3 = v[6];
    int64_t e = c0 - c1 + c2 - c3;
    int64_t q = (absValue(e) + 2) / 4;
    if (e < 0) q = -q;
    if (absValue(q) < 2 && strict) {
        // Small errors move only corners that are not level with a neighbour.
        if (c0 != c1 && c0 != c3) c0 -= q;
        if (c1 != c0 && c1 != c2) c1 += q;
        if (c2 != c3 && c2 != c1) c2 -= q;
        if (c3 != c2 && c3 != c0) c3 += q;
    } else {
        c0 -= q;
        c1 += q;
        c2 -= q;
        c3 += q;
    }
    v[0] = clamp32(c0);
    v[2] = clamp32(c1);
    v[4] = clamp32(c2);
    v[6] = clamp32(c3);
}

}  // namespace

void regularizeParallelogram(int32_t* v, bool strict) {
    regularizeAxis(v, strict);
    regularizeAxis(v + 1, strict);
    v[8] = v[0];
    v[9] = v[1];
}

int equilateralOrientation(const int32_t* v) {
    int64_t x0 = v[0], y0 = v[1], x1 = v[2], y1 = v[3], x2 = v[4], y2 = v[5];
    int64_t e1 = 15 * (2 * x2 - x0 - x1) + 26 * (y0 - y1);
    int64_t e2 = 15 * (2 * y2 - y0 - y1) + 26 * (x1 - x0);
    if (absValue(e1) < 60 && absValue(e2) < 60) return 1;
    e1 = 15 * (2 * x2 - x0 - x1) + 26 * (y1 - y0);
    e2 = 15 * (2 * y2 - y0 - y1) + 26 * (x0 - x1);
    if (absValue(e1) < 60 && absValue(e2) < 60) return 2;
    return 0;
}

void snapEquilateral(int32_t* v, int orientation, bool strict) {
    int64_t x0 = v[0], y0 = v[1], x1 = v[2], y1 = v[3], x2 = v[4], y2 = v[5];
    if (orientation == 1) {
        int64_t e1 = 15 * (2 * x2 - x0 - x1) + 26 * (y0 - y1);
        if (strict && absValue(e1) < 150) e1 = 0;
        x0 += up(15 * e1);
        x1 += up(15 * e1);
        x2 -= down(30 * e1);
        y0 -= down(26 * e1);
        y1 += up(26 * e1);
        int64_t e2 = 15 * (2 * y2 - y0 - y1) + 26 * (x1 - x0);
        if (strict && absValue(e2) < 180) e2 = 0;
        x0 += up(26 * e2);
        x1 -= down(26 * e2);
        y0 += up(15 * e2);
        y1 += up(15 * e2);
        y2 -= down(30 * e2);
    } else if (orientation == 2) {
        int64_t e1 = 15 * (2 * x2 - x0 - x1) + 26 * (y1 - y0);
        if (strict && absValue(e1) < 180) e1 = 0;
        x0 += up(15 * e1);
        x1 += up(15 * e1);
        x2 -= down(30 * e1);
        y0 += up(26 * e1);
        y1 -= down(26 * e1);
        int64_t e2 = 15 * (2 * y2 - y0 - y1) + 26 * (x0 - x1);
        if (strict && absValue(e2) < 150) e2 = 0;
        x0 -= down(26 * e2);
        x1 += up(26 * e2);
        y0 += up(15 * e2);
        y1 += up(15 * e2);
        y2 -= down(30 * e2);
    }
    v[0] = clamp32(x0);
    v[1] = clamp32(y0);
    v[2] = clamp32(x1);
    v[3] = clamp32(y1);
    v[4] = clamp32(x2);
    v[5] = clamp32(y2);
    v[6] = v[0];
    v[7] = v[1];
}

int rayEllipse(int32_t x, int32_t y, int32_t a, int32_t b, int32_t dx, int32_t dy, int32_t* outX,
               int32_t* outY) {
    int64_t aa = static_cast<int64_t>(a) * a, bb = static_cast<int64_t>(b) * b;
    int64_t sum = aa + bb;
    if (sum < 1) sum = 1;
    int64_t wx = bb * 1024 / sum, wy = aa * 1024 / sum;
    // wx X^2 + wy Y^2 = K on the outline, with X = x + t dx, Y = y + t dy.
    int64_t k = aa * bb / sum * 1024 + (aa * bb % sum) * 1024 / sum;
    int64_t A = wx * dx * dx + wy * dy * dy;
    int64_t B = 2 * (wx * x * dx + wy * y * dy);
    int64_t C = wx * x * x + wy * y * y - k;
    while (absValue(A) + absValue(B) + absValue(C) > 10000) {
        A /= 2;
        B /= 2;
        C /= 2;
    }
    if (A == 0) return 0;
    int64_t disc = B * B - 4 * A * C;
    if (disc < 0) return 0;
    int64_t root = isqrtLarge(static_cast<uint64_t>(disc));
    int64_t r1 = -B + root, r2 = -B - root;
    int64_t r = absValue(r1) <= absValue(r2) ? r1 : r2;
    *outX = clamp32(((2 * static_cast<int64_t>(x) + 1) * A + r * dx) / (2 * A));
    *outY = clamp32(((2 * static_cast<int64_t>(y) + 1) * A + r * dy) / (2 * A));
    return 1;
}

int segmentIntersection(const int32_t* p0, const int32_t* p1, const int32_t* q0, const int32_t* q1,
                        int32_t* out) {
    int64_t ux = static_cast<int64_t>(p0[0]) - p1[0], uy = static_cast<int64_t>(p0[1]) - p1[1];
    int64_t vx = static_cast<int64_t>(q1[0]) - q0[0], vy = static_cast<int64_t>(q1[1]) - q0[1];
    int64_t det = ux * vy - uy * vx;
    if (absValue(det) < 4) return 0;
    int64_t wx = static_cast<int64_t>(q0[0]) - p1[0], wy = static_cast<int64_t>(q0[1]) - p1[1];
    int64_t t = ratio1024(wx * vy - wy * vx, det);
    if (t < 0 || t > 1024) return 0;
    out[0] = clamp32(((1024 - t) * p1[0] + t * p0[0] + 512) >> 10);
    out[1] = clamp32(((1024 - t) * p1[1] + t * p0[1] + 512) >> 10);
    return 1;
}

namespace {

// Moves the points `head` (count of them) from the frame of the input segment
// (from inFrom to inTo, origin inTo) into the frame of the output segment.
void carryHead(const int32_t* inFrom, const int32_t* inTo, const int32_t* outFrom,
               const int32_t* outTo, const int32_t* inHead, int32_t* outHead, int count) {
    int64_t dx = static_cast<int64_t>(inTo[0]) - inFrom[0];
    int64_t dy = static_cast<int64_t>(inTo[1]) - inFrom[1];
    int64_t len2 = dx * dx + dy * dy;
    if (len2 < 1) len2 = 1;
    int64_t ex = static_cast<int64_t>(outTo[0]) - outFrom[0];
    int64_t ey = static_cast<int64_t>(outTo[1]) - outFrom[1];
    for (int i = 0; i < count; ++i) {
        int64_t hx = static_cast<int64_t>(inHead[2 * i]) - inTo[0];
        int64_t hy = static_cast<int64_t>(inHead[2 * i + 1]) - inTo[1];
        int64_t along = ratio1024(hx * dx + hy * dy, len2);
        int64_t across = ratio1024(dx * hy - dy * hx, len2);
        outHead[2 * i] = clamp32(outTo[0] + ((along * ex - across * ey + 512) >> 10));
        outHead[2 * i + 1] = clamp32(outTo[1] + ((along * ey + across * ex + 512) >> 10));
    }
}

bool samePoint(const int32_t* a, const int32_t* b) { return a[0] == b[0] && a[1] == b[1]; }

}  // namespace

void rebuildArrowHead(const int32_t* in, int32_t* out, int n, bool twoHeaded) {
    if (n < 5) return;
    const int32_t* inE = in + 2 * (n - 5);
    const int32_t* inT = in + 2 * (n - 4);
    const int32_t* outE = out + 2 * (n - 5);
    const int32_t* outT = out + 2 * (n - 4);
    if (samePoint(inE, outE) && samePoint(inT, outT)) {
        for (int i = 2 * (n - 3); i < 2 * n; ++i) out[i] = in[i];
    } else {
        carryHead(inE, inT, outE, outT, in + 2 * (n - 3), out + 2 * (n - 3), 3);
    }
    if (!twoHeaded || n < 8) return;
    out[6] = out[2];
    out[7] = out[3];
    // The first head hangs on the first shaft segment, vertex 4 -> vertex 3.
    const int32_t* inFrom = in + 8;
    const int32_t* outFrom = out + 8;
    if (samePoint(inFrom, outFrom) && samePoint(in + 6, out + 6)) {
        for (int i = 0; i < 6; ++i) out[i] = in[i];
    } else {
        int32_t head[6];
        carryHead(inFrom, in + 6, outFrom, out + 6, in, head, 3);
        for (int i = 0; i < 6; ++i) out[i] = head[i];
    }
}

uint16_t sideOfCorners(const int32_t roles[4], int32_t a, int32_t b) {
    for (int i = 0; i < 4; ++i) {
        int32_t r0 = roles[i], r1 = roles[(i + 1) % 4];
        if ((r0 == a && r1 == b) || (r0 == b && r1 == a)) return static_cast<uint16_t>(i);
    }
    return 0xFFFF;
}

void setArrowCodes(int32_t* row, int start, int end, bool twoHeaded, bool strong) {
    const int32_t shaftEnd = strong ? 16 : 10;
    if (end - start >= 4) {
        row[end - 4] = shaftEnd;
        row[end - 3] = 100;
        row[end - 2] = 100;
        row[end - 1] = 100;
    }
    if (twoHeaded && end - start >= 8) {
        row[start] = 100;
        row[start + 1] = shaftEnd;
        row[start + 2] = 100;
        row[start + 3] = 100;
    } else if (end > start) {
        row[start] = shaftEnd;
    }
}

void setTriangleCodes(int32_t* row, int start) {
    for (int i = 0; i < 3; ++i) row[start + i] = 13;
}

void setParallelogramCodes(int32_t* row, int start) {
    for (int i = 0; i < 4; ++i) row[start + i] = 14;
}

}  // namespace vexa
