#include "FixedMath.h"

namespace vexa {

namespace {

// round(1024 * cos(i * (pi / 2) / 255)): a quarter turn in 255 steps.
constexpr uint16_t kCosTable[256] = {
    1024, 1024, 1024, 1024, 1024, 1024, 1023, 1023, 1023, 1022, 1022, 1022, 1021, 1021, 1020, 1020,
    1019, 1018, 1018, 1017, 1016, 1015, 1015, 1014, 1013, 1012, 1011, 1010, 1009, 1008, 1007, 1005,
    1004, 1003, 1002, 1000, 999,  998,  996,  995,  993,  992,  990,  988,  987,  985,  983,  981,
    980,  978,  976,  974,  972,  970,  968,  966,  964,  962,  959,  957,  955,  953,  950,  948,
    945,  943,  941,  938,  935,  933,  930,  928,  925,  922,  919,  917,  914,  911,  908,  905,
    902,  899,  896,  893,  890,  887,  884,  880,  877,  874,  871,  867,  864,  861,  857,  854,
    850,  847,  843,  839,  836,  832,  828,  825,  821,  817,  813,  810,  806,  802,  798,  794,
    790,  786,  782,  778,  774,  769,  765,  761,  757,  752,  748,  744,  740,  735,  731,  726,
    722,  717,  713,  708,  704,  699,  695,  690,  685,  680,  676,  671,  666,  661,  657,  652,
    647,  642,  637,  632,  627,  622,  617,  612,  607,  602,  597,  592,  586,  581,  576,  571,
    566,  560,  555,  550,  544,  539,  534,  528,  523,  517,  512,  507,  501,  496,  490,  484,
    479,  473,  468,  462,  456,  451,  445,  439,  434,  428,  422,  416,  411,  405,  399,  393,
    387,  382,  376,  370,  364,  358,  352,  346,  340,  334,  328,  322,  316,  310,  304,  298,
    292,  286,  280,  274,  268,  262,  256,  250,  244,  238,  231,  225,  219,  213,  207,  201,
    194,  188,  182,  176,  170,  163,  157,  151,  145,  138,  132,  126,  120,  113,  107,  101,
    94,   88,   82,   76,   69,   63,   57,   50,   44,   38,   32,   25,   19,   13,   6,    0};

constexpr int32_t kFullTurn = 6434;
constexpr int32_t kHalfTurn = 3217;
constexpr int32_t kQuarterTurn = 1608;

// Largest k with k * k <= v.
uint32_t floorSqrt(uint32_t v) {
    uint32_t k = 0;
    for (uint32_t bit = 1u << 15; bit; bit >>= 1) {
        uint32_t t = k | bit;
        if (t * t <= v) k = t;
    }
    return k;
}

}  // namespace

int32_t ratio1024(int64_t x, int64_t m) {
    if (m == 0) return 0;
    bool negative = (x < 0) != (m < 0);
    uint64_t ax = static_cast<uint64_t>(absValue(x));
    uint64_t am = static_cast<uint64_t>(absValue(m));
    uint64_t q;
    if (ax < 0x400000u) {
        q = (ax << 10) / am;
    } else if (ax < 0x8000000u) {
        q = (am >> 5) ? (ax << 5) / (am >> 5) : (ax << 10) / am;
    } else {
        q = (am >> 10) ? ax / (am >> 10) : (ax << 10) / am;
    }
    int64_t r = q > static_cast<uint64_t>(INT32_MAX) ? INT32_MAX : static_cast<int64_t>(q);
    return static_cast<int32_t>(negative ? -r : r);
}

uint32_t isqrt(uint32_t v) {
    if (v > 32767) return isqrtLarge(v);
    // Nearest root; a tie cannot occur for integers (2v would be odd).
    uint32_t k = floorSqrt(v);
    return (v - k * k <= (k + 1) * (k + 1) - v) ? k : k + 1;
}

uint32_t isqrtLarge(uint64_t v) {
    int k = 0;
    while (v > 32767) {
        v >>= 2;
        ++k;
    }
    return isqrt(static_cast<uint32_t>(v)) << k;
}

int32_t log2Round(int64_t v) {
    if (v < 1) return -1;
    int32_t k = 0;
    while (v > 3) {
        v >>= 1;
        ++k;
    }
    return v == 1 ? k : (v == 2 ? k + 1 : k + 2);
}

int64_t squaredDistance(const int16_t* a, const int16_t* b, int d) {
    int64_t s = 0;
    for (int i = 0; i < d; ++i) {
        int64_t t = static_cast<int64_t>(a[i]) - b[i];
        s += t * t;
    }
    return s;
}

int32_t distance(const int16_t* a, const int16_t* b, int d) {
    return static_cast<int32_t>(static_cast<int64_t>(isqrtLarge(squaredDistance(a, b, d) << 10))
                                << 5);
}

int32_t distance(Point16 a, Point16 b) {
    const int16_t pa[2] = {a.x, a.y};
    const int16_t pb[2] = {b.x, b.y};
    return distance(pa, pb, 2);
}

int64_t cross(Point16 p0, Point16 p1, Point16 p2, Point16 p3) {
    return (static_cast<int64_t>(p3.y) - p2.y) * (static_cast<int64_t>(p1.x) - p0.x) -
           (static_cast<int64_t>(p1.y) - p0.y) * (static_cast<int64_t>(p3.x) - p2.x);
}

int sameSide(Point16 p0, Point16 p1, Point16 p2, Point16 p3) {
    int64_t c2 = cross(p0, p1, p0, p2);
    int64_t c3 = cross(p0, p1, p0, p3);
    return ((c2 > 0 && c3 > 0) || (c2 < 0 && c3 < 0)) ? 1 : 0;
}

int32_t cosineFromDot(int64_t dot, int32_t lenA, int32_t lenB) {
    int64_t den = static_cast<int64_t>(lenA >> 5) * (lenB >> 5);
    if (den == 0) return 0;
    return ratio1024(dot * 1024, den);
}

int angleCosSin(int32_t* cos, int32_t* sin, int32_t* lenA, int32_t* lenB, Point16 p, Point16 a,
                Point16 b) {
    int32_t la = distance(a, p);
    int32_t lb = distance(b, p);
    if (lenA) *lenA = la;
    if (lenB) *lenB = lb;
    int64_t den = static_cast<int64_t>(la >> 5) * (lb >> 5);
    if (den == 0) return 0;
    int64_t ax = static_cast<int64_t>(a.x) - p.x, ay = static_cast<int64_t>(a.y) - p.y;
    int64_t bx = static_cast<int64_t>(b.x) - p.x, by = static_cast<int64_t>(b.y) - p.y;
    if (cos) *cos = ratio1024((ax * bx + ay * by) * 1024, den);
    if (sin) *sin = ratio1024((ax * by - ay * bx) * 1024, den);
    return 1;
}

int32_t angleCos(Point16 a, Point16 p, Point16 b, int32_t lenA, int32_t lenB, int* sign) {
    int64_t ax = static_cast<int64_t>(a.x) - p.x, ay = static_cast<int64_t>(a.y) - p.y;
    int64_t bx = static_cast<int64_t>(b.x) - p.x, by = static_cast<int64_t>(b.y) - p.y;
    if (sign) {
        // Turn of the path a -> p -> b: the cross product of (p - a) and (b - p).
        int64_t t = (-ax) * by - (-ay) * bx;
        *sign = t > 0 ? 1 : (t < 0 ? -1 : 0);
    }
    return cosineFromDot(ax * bx + ay * by, lenA, lenB);
}

int32_t segmentCos(Point16 a0, Point16 a1, int32_t lenA, Point16 b0, Point16 b1, int32_t lenB) {
    int64_t ax = static_cast<int64_t>(a1.x) - a0.x, ay = static_cast<int64_t>(a1.y) - a0.y;
    int64_t bx = static_cast<int64_t>(b1.x) - b0.x, by = static_cast<int64_t>(b1.y) - b0.y;
    return cosineFromDot(ax * bx + ay * by, lenA, lenB);
}

int direction(int32_t* dx, int32_t* dy, Point16 a, Point16 b, int32_t len) {
    if (len == 0) return 0;
    *dx = clamp32((static_cast<int64_t>(b.x) - a.x) * 1024 / len);
    *dy = clamp32((static_cast<int64_t>(b.y) - a.y) * 1024 / len);
    return 1;
}

int nearlyParallel(Point16 a0, Point16 a1, int32_t lenA, Point16 b0, Point16 b1, int32_t lenB,
                   int32_t tol) {
    int32_t c = segmentCos(a0, a1, lenA, b0, b1, lenB);
    return (c >= 0 && 1024 - c < tol) ? 1 : 0;
}

int pointsClose(Point16 a, Point16 b, int32_t d) {
    return absValue(static_cast<int64_t>(a.x) - b.x) + absValue(static_cast<int64_t>(a.y) - b.y) <=
                   d
               ? 1
               : 0;
}

void rotate(const Point16* centre, Point16* p, int32_t cos, int32_t sin) {
    int64_t cx = centre ? centre->x : 0, cy = centre ? centre->y : 0;
    int64_t dx = p->x - cx, dy = p->y - cy;
    p->x = clamp16(cx + ((dx * cos - dy * sin) >> 10));
    p->y = clamp16(cy + ((dy * cos + dx * sin) >> 10));
}

int32_t cosFixed(int32_t a) {
    int32_t r = a % kFullTurn;
    if (r < 0) r += kFullTurn;
    bool negative = false;
    if (r > kHalfTurn) {
        r -= kHalfTurn;
        negative = !negative;
    }
    if (r > kQuarterTurn) {
        r = kHalfTurn - r;
        negative = !negative;
    }
    int32_t index = (r * 255 + kQuarterTurn / 2) / kQuarterTurn;
    if (index > 255) index = 255;
    int32_t v = kCosTable[index];
    return negative ? -v : v;
}

int32_t sinFixed(int32_t a) {
    // sin a = cos(quarter turn - a); the reduction of cosFixed carries the sign.
    return cosFixed(kQuarterTurn - (a % kFullTurn));
}

void circlePoints(int n, int16_t* out, int32_t cx, int32_t cy, int32_t r, int shift) {
    if (n < 1) return;
    for (int k = 0; k + 1 < n; ++k) {
        int32_t angle = static_cast<int32_t>(static_cast<int64_t>(k) * kFullTurn / (n - 1));
        int64_t x = static_cast<int64_t>(cx) * 1024 + static_cast<int64_t>(cosFixed(angle)) * r;
        int64_t y = static_cast<int64_t>(cy) * 1024 + static_cast<int64_t>(sinFixed(angle)) * r;
        out[2 * k] = clamp16(x >> shift);
        out[2 * k + 1] = clamp16(y >> shift);
    }
    if (n == 1) {
        out[0] =
            clamp16((static_cast<int64_t>(cx) * 1024 + static_cast<int64_t>(1024) * r) >> shift);
        out[1] = clamp16((static_cast<int64_t>(cy) * 1024) >> shift);
        return;
    }
    out[2 * (n - 1)] = out[0];
    out[2 * (n - 1) + 1] = out[1];
}

void ellipsePoints(int n, int16_t* out, const int32_t params[6], int shift) {
    if (n < 1) return;
    const int64_t cx = params[0], cy = params[1], a = params[2], b = params[3], c = params[4],
                  s = params[5];
    int last = n > 1 ? n - 1 : 1;
    for (int k = 0; k < last; ++k) {
        int32_t angle = static_cast<int32_t>(static_cast<int64_t>(k) * kFullTurn / last);
        int64_t co = cosFixed(angle), si = sinFixed(angle);
        int64_t x = ((co * a * c - si * b * s) >> 10) + cx * 1024;
        int64_t y = ((co * a * s + si * b * c) >> 10) + cy * 1024;
        out[2 * k] = clamp16(x >> shift);
        out[2 * k + 1] = clamp16(y >> shift);
    }
    if (n > 1) {
        out[2 * (n - 1)] = out[0];
        out[2 * (n - 1) + 1] = out[1];
    }
}

int32_t lerpClamped(int32_t x0, int32_t x1, int32_t y0, int32_t y1, int32_t x) {
    if (x <= x0) return y0;
    if (x >= x1) return y1;
    int64_t w = (static_cast<int64_t>(x1) - x) * 128 / (static_cast<int64_t>(x1) - x0);
    return static_cast<int32_t>(((128 - w) * y1 + w * y0) >> 7);
}

int32_t lerp4(const int32_t xs[4], const int32_t ys[4], int32_t x) {
    if (x <= xs[0]) return ys[0];
    if (x > xs[3]) return ys[3];
    if (x <= xs[1]) return lerpClamped(xs[0], xs[1], ys[0], ys[1], x);
    if (x <= xs[2]) return lerpClamped(xs[1], xs[2], ys[1], ys[2], x);
    return lerpClamped(xs[2], xs[3], ys[2], ys[3], x);
}

void reversePoints(int16_t* points, int n, int d) {
    for (int i = 0, j = n - 1; i < j; ++i, --j) {
        for (int k = 0; k < d; ++k) {
            int16_t t = points[i * d + k];
            points[i * d + k] = points[j * d + k];
            points[j * d + k] = t;
        }
    }
}

int fitEllipse(const int16_t* points, int n, int32_t centre[2], int32_t radii[2],
               int32_t direction[2], int d) {
    if (n < 2) return 0;
    const int m = n - 1;
    // The centre is the mean of the distinct points, rounded to nearest.
    int64_t sx = 0, sy = 0;
    for (int i = 0; i < m; ++i) {
        sx += points[i * d];
        sy += points[i * d + 1];
    }
    auto roundedMean = [m](int64_t s) {
        int64_t q = (absValue(s) * 2 + m) / (2 * m);
        return static_cast<int32_t>(s < 0 ? -q : q);
    };
    centre[0] = roundedMean(sx);
    centre[1] = roundedMean(sy);
    int64_t largest = 0, smallest = 999999999;
    for (int i = 0; i < m; ++i) {
        int64_t dx = points[i * d] - static_cast<int64_t>(centre[0]);
        int64_t dy = points[i * d + 1] - static_cast<int64_t>(centre[1]);
        int64_t q = dx * dx + dy * dy;
        if (q > largest) largest = q;
        if (q < smallest) smallest = q;
    }
    int32_t R = static_cast<int32_t>(isqrtLarge(largest));
    int32_t r = static_cast<int32_t>(isqrtLarge(smallest));
    if (R + r == 0) return 0;
    int32_t e = ratio1024(R - r, R + r);
    if (e < 150) {
        radii[0] = (R + r) / 2;
        return 1;
    }
    radii[0] = R;
    radii[1] = r;
    if (R == 0) return 0;
    int64_t ox = points[(n - 1) * d] - static_cast<int64_t>(centre[0]);
    int64_t oy = points[(n - 1) * d + 1] - static_cast<int64_t>(centre[1]);
    int32_t c = ratio1024(ox, R), s = ratio1024(oy, R);
    c = c > 1024 ? 1024 : (c < -1024 ? -1024 : c);
    s = s > 1024 ? 1024 : (s < -1024 ? -1024 : s);
    if (absValue(c) >= absValue(s)) {
        int32_t other = static_cast<int32_t>(isqrtLarge(1048576 - static_cast<int64_t>(c) * c));
        s = s >= 1 ? other : -other;
    } else {
        int32_t other = static_cast<int32_t>(isqrtLarge(1048576 - static_cast<int64_t>(s) * s));
        c = c >= 1 ? other : -other;
    }
    direction[0] = c;
    direction[1] = s;
    return 0;
}

void boxClear(Box* b) { b->minX = b->maxX = b->minY = b->maxY = 0; }
void boxCopy(Box* to, const Box* from) { *to = *from; }
int32_t boxWidth(const Box* b) { return b->maxX - b->minX; }
int32_t boxHeight(const Box* b) { return b->maxY - b->minY; }
void boxCentre(const Box* b, int32_t* cx, int32_t* cy) {
    *cx = static_cast<int32_t>((static_cast<int64_t>(b->minX) + b->maxX) >> 1);
    *cy = static_cast<int32_t>((static_cast<int64_t>(b->minY) + b->maxY) >> 1);
}
bool boxIsEmpty(const Box* b) { return !b->minX && !b->maxX && !b->minY && !b->maxY; }

void boxExtend(Box* b, int32_t x, int32_t y) {
    if (boxIsEmpty(b)) {
        b->minX = b->maxX = x;
        b->minY = b->maxY = y;
        return;
    }
    if (x < b->minX) b->minX = x;
    if (x > b->maxX) b->maxX = x;
    if (y < b->minY) b->minY = y;
    if (y > b->maxY) b->maxY = y;
}

void boxUnion(Box* to, const Box* other) {
    if (boxIsEmpty(other)) return;
    if (boxIsEmpty(to)) {
        *to = *other;
        return;
    }
    boxExtend(to, other->minX, other->minY);
    boxExtend(to, other->maxX, other->maxY);
}

int32_t intervalGap(int32_t a0, int32_t a1, int32_t b0, int32_t b1) {
    int64_t aLo = a0 < a1 ? a0 : a1, aHi = a0 < a1 ? a1 : a0;
    int64_t bLo = b0 < b1 ? b0 : b1, bHi = b0 < b1 ? b1 : b0;
    if (bLo > aHi) return clamp32(bLo - aHi);
    if (aLo > bHi) return clamp32(aLo - bHi);
    return 0;
}

int32_t boxMeanSize(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return clamp32(((static_cast<int64_t>(right) - left) + (static_cast<int64_t>(bottom) - top)) /
                   2);
}

int32_t endBoxMeanSize(int n, const int16_t* v) {
    if (n < 2) return 4;
    const int idx[4] = {0, 1, n - 2, n - 1};
    Box b;
    b.minX = b.maxX = v[0];
    b.minY = b.maxY = v[1];
    for (int i : idx) {
        int32_t x = v[2 * i], y = v[2 * i + 1];
        if (x < b.minX) b.minX = x;
        if (x > b.maxX) b.maxX = x;
        if (y < b.minY) b.minY = y;
        if (y > b.maxY) b.maxY = y;
    }
    return boxMeanSize(b.minX, b.minY, b.maxX, b.maxY);
}

int32_t boxSimilarity(const Box* a, const Box* b, int mode, int32_t* out) {
    if (out) *out = 0;
    int64_t wa = boxWidth(a), wb = boxWidth(b), ha = boxHeight(a), hb = boxHeight(b);
    if (!wa || !wb || !ha || !hb) return 0;
    int64_t wSmall = wa < wb ? wa : wb, wLarge = wa < wb ? wb : wa;
    int64_t hSmall = ha < hb ? ha : hb, hLarge = ha < hb ? hb : ha;
    int64_t gapX = intervalGap(a->minX, a->maxX, b->minX, b->maxX);
    int64_t gapY = intervalGap(a->minY, a->maxY, b->minY, b->maxY);
    int64_t limitX = wSmall / 6 < 15 ? wSmall / 6 : 15;
    int64_t limitY = hSmall / 6 < 15 ? hSmall / 6 : 15;
    if (gapX > limitX || gapY > limitY) return 0;
    auto overlap = [](int64_t lo0, int64_t hi0, int64_t lo1, int64_t hi1) {
        int64_t o = (hi0 < hi1 ? hi0 : hi1) - (lo0 > lo1 ? lo0 : lo1);
        return o < 0 ? 0 : o;
    };
    int64_t ox = overlap(a->minX, a->maxX, b->minX, b->maxX);
    int64_t oy = overlap(a->minY, a->maxY, b->minY, b->maxY);
    auto ratio = [](int64_t part, int64_t size) -> int64_t {
        return size < 2 ? 1024 : ratio1024(part, size);
    };
    int64_t rxSmall = ratio(ox, wSmall), rxLarge = ratio(ox, wLarge);
    int64_t rySmall = ratio(oy, hSmall), ryLarge = ratio(oy, hLarge);
    int64_t base;
    switch (mode) {
        case 1:
            base = rxSmall;
            break;
        case 0:
            base = rySmall;
            break;
        case 2:
            base = rxSmall * rySmall / 1024;
            break;
        default:
            base = mode;
            break;
    }
    int64_t shapeTerm = 0;
    if (mode == 0 || mode == 1)
        shapeTerm = lerpClamped(333, 1024, 0, 1775, clamp32((rxLarge * ryLarge) >> 10));
    int64_t edgeTerm = 0;
    if (rxSmall > 1000 && rySmall > 1000) {
        int64_t e = absValue(static_cast<int64_t>(a->minX) - b->minX);
        int64_t t = absValue(static_cast<int64_t>(a->maxX) - b->maxX);
        if (t < e) e = t;
        t = absValue(static_cast<int64_t>(a->minY) - b->minY);
        if (t < e) e = t;
        t = absValue(static_cast<int64_t>(a->maxY) - b->maxY);
        if (t < e) e = t;
        edgeTerm = lerpClamped(10, 15, 1024, 0, clamp32(e));
    }
    if (out) *out = clamp32(base * 50 / 100);
    return clamp32((base + shapeTerm + edgeTerm) * 50 / 100);
}

}  // namespace vexa
