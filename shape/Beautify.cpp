#include "Beautify.h"

#include <string.h>

#include "FixedMath.h"
#include "Memory.h"
#include "ShapeAnswer.h"

namespace vexa {

namespace {

Point16 vertexOf(const VSANSWER* a, int i) { return {a->vertices[2 * i], a->vertices[2 * i + 1]}; }

void setVertex(VSANSWER* a, int i, Point16 p) {
    a->vertices[2 * i] = p.x;
    a->vertices[2 * i + 1] = p.y;
}

// The suffix follows the kind name, in place of an earlier one: PARA_r, then PARA_s.
void setSuffix(VSANSWER* a, const char* suffix) {
    size_t base = 0;
    while (base < sizeof(a->name) && a->name[base] && a->name[base] != '_') ++base;
    const size_t add = strlen(suffix);
    if (base + add > sizeof(a->name)) return;
    memset(a->name + base, 0, sizeof(a->name) - base);
    memcpy(a->name + base, suffix, add);
}

// 1024 x the sine (or cosine) of a vector component over its length (1/1024 units).
int32_t unitPart(int64_t component, int32_t length) { return ratio1024(component * 1024, length); }

// The ellipse parameters as int16 values; null unless there are six.
int16_t* ellipseParams(VSANSWER* a) {
    return a->params && a->paramLength >= 12 ? reinterpret_cast<int16_t*>(a->params) : nullptr;
}

}  // namespace

void beautifyShape(VSANSWER* answer, const ShapeTemplate* tmpl, bool beautify) {
    if (!answer || !tmpl) return;
    switch (tmpl->kind) {
        case kKindTriangle:
            beautifyTriangle(answer, beautify);
            break;
        case kKindParallelogram:
            beautifyQuadrilateral(answer, beautify);
            break;
        case kKindEllipse:
            beautifyEllipse(answer, tmpl, beautify);
            break;
        default:
            break;
    }
}

void makeEquilateral(int16_t* v, int32_t orientation) {
    const int64_t k = isqrtLarge(3072);  // 55: sqrt(3) / 2 as 55 / 64
    const int64_t s = orientation == 1 ? 1 : -1;
    int64_t out[6];
    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3, l = (i + 2) % 3;
        const int64_t mx = (static_cast<int64_t>(v[2 * j]) + v[2 * l]) >> 1;
        const int64_t my = (static_cast<int64_t>(v[2 * j + 1]) + v[2 * l + 1]) >> 1;
        const int64_t dx = static_cast<int64_t>(v[2 * l]) - v[2 * j];
        const int64_t dy = static_cast<int64_t>(v[2 * l + 1]) - v[2 * j + 1];
        // R(d) = (-dy, dx): the apex lies to the left of j -> l on a counter-clockwise triangle.
        const int64_t ix = mx + ((s * k * -dy) >> 6);
        const int64_t iy = my + ((s * k * dx) >> 6);
        out[2 * i] = (2 * v[2 * i] + ix) / 3;
        out[2 * i + 1] = (2 * v[2 * i + 1] + iy) / 3;
    }
    for (int i = 0; i < 6; ++i) v[i] = clamp16(out[i]);
}

void beautifyTriangle(VSANSWER* a, bool beautify) {
    if (!beautify || !a->vertices || a->vertexCount < 4) return;
    Point16 p[3] = {vertexOf(a, 0), vertexOf(a, 1), vertexOf(a, 2)};
    const int64_t L0 = distance(p[0], p[1]), L1 = distance(p[1], p[2]), L2 = distance(p[2], p[0]);
    if (!L0 || !L1 || !L2) return;
    const int64_t m = (L0 + L1 + L2) / 3;
    if (!m) return;
    const int64_t d0 = ratio1024(L0 - L1, m), d1 = ratio1024(L1 - L2, m),
                  d2 = ratio1024(L0 - L2, m);
    if ((((d0 * d0 + d1 * d1 + d2 * d2) / 3) & ~static_cast<int64_t>(1023)) < 81920) {
        int16_t v[6] = {p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y};
        makeEquilateral(v, a->orientation);
        for (int i = 0; i < 3; ++i) p[i] = {v[2 * i], v[2 * i + 1]};
    }
    const Point16 c = {clamp16((static_cast<int64_t>(p[0].x) + p[1].x + p[2].x) / 3),
                       clamp16((static_cast<int64_t>(p[0].y) + p[1].y + p[2].y) / 3)};
    auto finish = [&]() {
        for (int i = 0; i < 3; ++i) setVertex(a, i, p[i]);
        setVertex(a, 3, p[0]);
    };
    // The flattest side is made horizontal when it is within about 11 degrees.
    int chosen = -1;
    int64_t flattest = 0;
    for (int i = 0; i < 3; ++i) {
        const int64_t dx = static_cast<int64_t>(p[(i + 1) % 3].x) - p[i].x;
        const int64_t dy = static_cast<int64_t>(p[(i + 1) % 3].y) - p[i].y;
        if (dx == 0) {
            finish();
            return;
        }
        const int64_t slope = ratio1024(absValue(dy), absValue(dx));
        if (chosen < 0 || slope < flattest) {
            chosen = i;
            flattest = slope;
        }
    }
    const Point16 s0 = p[chosen], s1 = p[(chosen + 1) % 3];
    const int64_t dx = static_cast<int64_t>(s1.x) - s0.x, dy = static_cast<int64_t>(s1.y) - s0.y;
    const int32_t L = distance(s0, s1);
    int32_t sin = unitPart(dy, L);
    const int32_t cos = unitPart(absValue(dx), L);
    if (absValue(sin) >= 200) {
        finish();
        return;
    }
    if (dx > 0) sin = -sin;
    for (int i = 0; i < 3; ++i) rotate(&c, &p[i], cos, sin);
    if (absValue(static_cast<int64_t>(p[1].y) - p[0].y) < 4) p[1].y = p[0].y;
    if (absValue(static_cast<int64_t>(p[2].y) - p[1].y) < 4) p[2].y = p[1].y;
    if (absValue(static_cast<int64_t>(p[0].y) - p[2].y) < 4) p[0].y = p[2].y;
    finish();
}

void beautifyQuadrilateral(VSANSWER* a, bool beautify) {
    if (!beautify || !a->vertices || a->vertexCount < 5) return;
    int64_t x[4], y[4];
    for (int i = 0; i < 4; ++i) {
        x[i] = a->vertices[2 * i];
        y[i] = a->vertices[2 * i + 1];
    }
    auto length = [](int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
        return static_cast<int64_t>(
            distance({clamp16(x0), clamp16(y0)}, {clamp16(x1), clamp16(y1)}));
    };
    const int64_t D1 = length(x[0], y[0], x[2], y[2]), D2 = length(x[1], y[1], x[3], y[3]);
    if (D1 + D2 < 2 || !D1 || !D2) return;
    if (absValue(ratio1024(D1 - D2, (D1 + D2) >> 1)) >= 200) return;
    // Both diagonals take the mean length about the first one's midpoint: a rectangle.
    const int64_t cx = (x[0] + x[2]) >> 1, cy = (y[0] + y[2]) >> 1;
    const int64_t f1 = 512 - ratio1024((D1 - D2) >> 2, D1);
    const int64_t f2 = 512 + ratio1024((D1 - D2) >> 2, D2);
    const int64_t ax = x[2] - x[0], ay = y[2] - y[0], bx = x[3] - x[1], by = y[3] - y[1];
    x[0] = cx - ((ax * f1) >> 10);
    y[0] = cy - ((ay * f1) >> 10);
    x[2] = cx + ((ax * f1) >> 10);
    y[2] = cy + ((ay * f1) >> 10);
    x[1] = cx - ((bx * f2) >> 10);
    y[1] = cy - ((by * f2) >> 10);
    x[3] = cx + ((bx * f2) >> 10);
    y[3] = cy + ((by * f2) >> 10);
    setSuffix(a, "_r");
    const int64_t e0x = x[1] - x[0], e0y = y[1] - y[0], e1x = x[2] - x[1], e1y = y[2] - y[1];
    const int64_t s0 = length(x[0], y[0], x[1], y[1]), s1 = length(x[1], y[1], x[2], y[2]);
    const int64_t d = s0 - s1;
    if (s0 && s1 && ratio1024(absValue(d), (s0 + s1) >> 1) < 320) {
        // Every side is brought to the mean length about its own midpoint: a square.
        auto rescale = [](int64_t* xa, int64_t* ya, int64_t* xb, int64_t* yb, int64_t f) {
            const int64_t mx = (*xa + *xb) >> 1, my = (*ya + *yb) >> 1;
            const int64_t vx = *xb - *xa, vy = *yb - *ya;
            *xa = mx - ((vx * f) >> 10);
            *ya = my - ((vy * f) >> 10);
            *xb = mx + ((vx * f) >> 10);
            *yb = my + ((vy * f) >> 10);
        };
        const int64_t f = 512 - ratio1024(d >> 2, s0);
        rescale(&x[0], &y[0], &x[1], &y[1], f);
        rescale(&x[2], &y[2], &x[3], &y[3], f);
        const int64_t g = 512 + ratio1024(d >> 2, s1);
        rescale(&x[1], &y[1], &x[2], &y[2], g);
        rescale(&x[3], &y[3], &x[0], &y[0], g);
        setSuffix(a, "_s");
    }
    // Levelling: the rectangle turns so that an edge within about 11 degrees
    // of the horizontal becomes horizontal, then every edge is made exact.
    const bool useE1 = absValue(e0x) <= absValue(e0y);
    const int64_t ex = useE1 ? e1x : e0x, ey = useE1 ? e1y : e0y;
    const int32_t len = static_cast<int32_t>(useE1 ? s1 : s0);
    int32_t sin = unitPart(ey, len), cos = unitPart(ex, len);
    if (cos < 0) {
        sin = -sin;
        cos = -cos;
    }
    if (absValue(sin) < 200) {
        const Point16 c = {clamp16((x[0] + x[2]) >> 1), clamp16((y[0] + y[2]) >> 1)};
        for (int i = 0; i < 4; ++i) {
            Point16 p = {clamp16(x[i]), clamp16(y[i])};
            rotate(&c, &p, cos, -sin);
            x[i] = p.x;
            y[i] = p.y;
        }
    }
    if (absValue(x[1] - x[0]) >= absValue(y[1] - y[0]))
        y[1] = y[0];
    else
        x[1] = x[0];
    if (absValue(x[2] - x[1]) < absValue(y[2] - y[1]))
        x[2] = x[1];
    else
        y[2] = y[1];
    if (absValue(x[3] - x[2]) >= absValue(y[3] - y[2]))
        y[3] = y[2];
    else
        x[3] = x[2];
    if (absValue(x[0] - x[3]) >= absValue(y[0] - y[3]))
        y[0] = y[3];
    else
        x[0] = x[3];
    for (int i = 0; i < 4; ++i) setVertex(a, i, {clamp16(x[i]), clamp16(y[i])});
    setVertex(a, 4, vertexOf(a, 0));
}

void beautifyEllipse(VSANSWER* a, const ShapeTemplate* tmpl, bool beautify) {
    int16_t* p = ellipseParams(a);
    if (!beautify || !p || !a->vertices || !tmpl || !tmpl->points) return;
    const int n = a->vertexCount;
    if (n < 2 || n - 1 > tmpl->points->count) return;
    const Point16* t = tmpl->points->points;
    const int64_t cx = p[0], cy = p[1], A = p[2], B = p[3];
    const int64_t r = A + B ? ratio1024(absValue(A - B), A + B) : absValue(A - B);
    int64_t xhalf, yhalf;
    if (r < 150) {
        const int64_t R = (A + B) >> 1;
        for (int i = 0; i + 1 < n; ++i)
            setVertex(a, i, {clamp16(((t[i].x * R) >> 9) + cx), clamp16(((t[i].y * R) >> 9) + cy)});
        setVertex(a, n - 1, vertexOf(a, 0));
        setSuffix(a, "_c");
        a->paramLength = 6;
        p[2] = clamp16(R);
        return;
    }
    if (absValue(p[4]) < 200) {
        p[4] = 0;
        p[5] = 1024;
        setSuffix(a, "_v");
        xhalf = B;
        yhalf = A;
    } else if (absValue(p[5]) < 200) {
        p[4] = 1024;
        p[5] = 0;
        setSuffix(a, "_h");
        xhalf = A;
        yhalf = B;
    } else {
        return;
    }
    for (int i = 0; i + 1 < n; ++i)
        setVertex(a, i,
                  {clamp16(((t[i].x * xhalf) >> 9) + cx), clamp16(((t[i].y * yhalf) >> 9) + cy)});
    setVertex(a, n - 1, vertexOf(a, 0));
}

void setEllipseParameters(VSANSWER* a, int16_t cx, int16_t cy) {
    if (a->kind != kKindEllipse || !a->vertices) return;
    const int half = (a->vertexCount - 1) / 2;
    int64_t largest = -1, smallest = -1;
    int far = 0;
    for (int i = 0; i < half; ++i) {
        const int64_t dx = a->vertices[2 * i] - static_cast<int64_t>(cx);
        const int64_t dy = a->vertices[2 * i + 1] - static_cast<int64_t>(cy);
        const int64_t q = dx * dx + dy * dy;
        if (q > largest) {
            largest = q;
            far = i;
        }
        if (smallest < 0 || q < smallest) smallest = q;
    }
    int64_t A = largest > 0 ? isqrtLarge(static_cast<uint64_t>(largest)) : 0;
    int64_t B = smallest > 0 ? isqrtLarge(static_cast<uint64_t>(smallest)) : 0;
    if (A == 0) A = 1;
    if (B == 0) B = 1;
    int64_t cos = ratio1024(a->vertices[2 * far] - static_cast<int64_t>(cx), A);
    int64_t sin = ratio1024(a->vertices[2 * far + 1] - static_cast<int64_t>(cy), A);
    cos = cos > 1024 ? 1024 : (cos < -1024 ? -1024 : cos);
    sin = sin > 1024 ? 1024 : (sin < -1024 ? -1024 : sin);
    if (absValue(cos) <= absValue(sin)) {
        const int64_t other = isqrtLarge(static_cast<uint64_t>(1048576 - sin * sin));
        cos = cos > 0 ? other : -other;
    } else {
        const int64_t other = isqrtLarge(static_cast<uint64_t>(1048576 - cos * cos));
        sin = sin > 0 ? other : -other;
    }
    const int16_t values[6] = {cx, cy, clamp16(A), clamp16(B), clamp16(cos), clamp16(sin)};
    setAnswerParams(a, values, 6);
}

void snapAxisEdges(VSANSWER* a) {
    const int n = a->vertexCount;
    if (!a->vertices || n < 2) return;
    bool previousHorizontal = false, firstHorizontal = false, firstVertical = false;
    for (int i = 0; i + 1 < n; ++i) {
        Point16 p = vertexOf(a, i), q = vertexOf(a, i + 1);
        const int32_t len = distance(p, q);
        if (len == 0) break;
        const int64_t s = absValue(unitPart(static_cast<int64_t>(q.y) - p.y, len));
        const int64_t t = absValue(unitPart(static_cast<int64_t>(q.x) - p.x, len));
        bool horizontal = false;
        if (s < 180 && !previousHorizontal) {
            p.y = q.y = clamp16((static_cast<int64_t>(p.y) + q.y) >> 1);
            horizontal = true;
        }
        const bool vertical = t < 180;
        if (vertical) p.x = q.x = clamp16((static_cast<int64_t>(p.x) + q.x) >> 1);
        previousHorizontal = horizontal;
        if (i == 0) {
            firstHorizontal = horizontal;
            firstVertical = vertical;
        }
        setVertex(a, i, p);
        setVertex(a, i + 1, q);
        if (i + 2 == n && a->closed) {
            const Point16 last = vertexOf(a, n - 1);
            if (firstHorizontal) {
                a->vertices[1] = a->vertices[3] = last.y;
            } else if (firstVertical) {
                a->vertices[0] = a->vertices[2] = last.x;
            } else {
                setVertex(a, 0, last);
            }
        }
    }
}

int32_t mirrorMismatch(const VSANSWER* a, int n, const int32_t centre[2], int k, MirrorPair* pairs,
                       int* count, bool edge, int32_t* cosOut, int32_t* sinOut) {
    Point16 through = vertexOf(a, k % n);
    if (edge) {
        const Point16 b = vertexOf(a, (k + 1) % n);
        through = {clamp16((static_cast<int64_t>(through.x) + b.x) >> 1),
                   clamp16((static_cast<int64_t>(through.y) + b.y) >> 1)};
    }
    const Point16 c = {clamp16(centre[0]), clamp16(centre[1])};
    const int64_t dx = static_cast<int64_t>(through.x) - c.x,
                  dy = static_cast<int64_t>(through.y) - c.y;
    const int32_t len = static_cast<int32_t>(isqrtLarge(static_cast<uint64_t>(dx * dx + dy * dy)));
    int32_t cos = 0, sin = 0;
    if (!direction(&cos, &sin, c, through, len)) return -1;
    if (cosOut) *cosOut = cos;
    if (sinOut) *sinOut = sin;
    int32_t worst = 0;
    int made = 0;
    for (int j = 0; j <= n / 2; ++j) {
        const int ia = (((k - j) % n) + n) % n;
        const int ib = (k + j + (edge ? 1 : 0)) % n;
        if (pairs) pairs[made] = {ia, ib};
        ++made;
        Point16 pa = vertexOf(a, ia), pb = vertexOf(a, ib);
        pa = {clamp16(pa.x - static_cast<int64_t>(c.x)), clamp16(pa.y - static_cast<int64_t>(c.y))};
        pb = {clamp16(pb.x - static_cast<int64_t>(c.x)), clamp16(pb.y - static_cast<int64_t>(c.y))};
        rotate(nullptr, &pa, cos, -sin);
        rotate(nullptr, &pb, cos, -sin);
        const int64_t m = absValue(static_cast<int64_t>(pa.x) - pb.x) +
                          absValue(static_cast<int64_t>(pa.y) + pb.y);
        if (m > worst) worst = clamp32(m);
    }
    if (count) *count = made;
    return worst;
}

int32_t symmetrizePolyline(VSANSWER* a) {
    if (!a->vertices || a->size == 0 || a->vertexCount < 3) return 0;
    const bool closed = a->closed != 0;
    const int n = closed ? a->vertexCount - 1 : a->vertexCount;
    if (n < 2) return 0;
    int64_t sx = 0, sy = 0;
    for (int i = 0; i < n; ++i) {
        sx += a->vertices[2 * i];
        sy += a->vertices[2 * i + 1];
    }
    const int32_t centre[2] = {static_cast<int32_t>(sx / n), static_cast<int32_t>(sy / n)};
    int bestK = -1;
    bool bestEdge = false;
    int32_t best = 0;
    auto tryAxis = [&](int k, bool edge) {
        const int32_t m = mirrorMismatch(a, n, centre, k, nullptr, nullptr, edge, nullptr, nullptr);
        if (m >= 0 && (bestK < 0 || m < best)) {
            best = m;
            bestK = k;
            bestEdge = edge;
        }
    };
    if (closed) {
        for (int k = 0; k < n; ++k) {
            tryAxis(k, false);
            tryAxis(k, true);
        }
    } else if (n % 2) {
        tryAxis(n / 2, false);
    } else {
        tryAxis(n / 2 - 1, true);
    }
    if (bestK < 0 || ratio1024(best, a->size) >= 256) return 0;
    MirrorPair* pairs =
        static_cast<MirrorPair*>(allocBlock(sizeof(MirrorPair) * static_cast<size_t>(n / 2 + 1)));
    if (!pairs) return 0;
    int count = 0;
    int32_t cos = 0, sin = 0;
    mirrorMismatch(a, n, centre, bestK, pairs, &count, bestEdge, &cos, &sin);
    // The axis snaps to the nearer coordinate axis when close to it.
    if (absValue(cos) < 256) {
        cos = 0;
        sin = sin < 0 ? -1024 : 1024;
    } else if (absValue(sin) < 256) {
        sin = 0;
        cos = cos < 0 ? -1024 : 1024;
    }
    const Point16 c = {clamp16(centre[0]), clamp16(centre[1])};
    for (int i = 0; i < count; ++i) {
        Point16 pa = vertexOf(a, pairs[i].a), pb = vertexOf(a, pairs[i].b);
        pa = {clamp16(pa.x - static_cast<int64_t>(c.x)), clamp16(pa.y - static_cast<int64_t>(c.y))};
        pb = {clamp16(pb.x - static_cast<int64_t>(c.x)), clamp16(pb.y - static_cast<int64_t>(c.y))};
        rotate(nullptr, &pa, cos, -sin);
        rotate(nullptr, &pb, cos, -sin);
        const int64_t x = (static_cast<int64_t>(pa.x) + pb.x) >> 1;
        const int64_t y = (static_cast<int64_t>(pa.y) - pb.y) >> 1;
        Point16 na = {clamp16(x), clamp16(y)}, nb = {clamp16(x), clamp16(-y)};
        rotate(nullptr, &na, cos, sin);
        rotate(nullptr, &nb, cos, sin);
        setVertex(
            a, pairs[i].a,
            {clamp16(na.x + static_cast<int64_t>(c.x)), clamp16(na.y + static_cast<int64_t>(c.y))});
        setVertex(
            a, pairs[i].b,
            {clamp16(nb.x + static_cast<int64_t>(c.x)), clamp16(nb.y + static_cast<int64_t>(c.y))});
    }
    freeBlock(pairs);
    if (closed) setVertex(a, a->vertexCount - 1, vertexOf(a, 0));
    return 1;
}

}  // namespace vexa
