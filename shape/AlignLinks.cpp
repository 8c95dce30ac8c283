#include "AlignLinks.h"

#include <initializer_list>

#include "AlignGeometry.h"
#include "AlignRun.h"
#include "FixedMath.h"

namespace vexa {

int32_t sizeTolerance(int32_t v) {
    if (v < 0) return 0;
    if (v < 20) return v * 29 / 20;
    if (v < 100) return lerpClamped(20, 100, 29, 78, v);
    if (v < 200) return lerpClamped(100, 200, 78, 110, v);
    return 110;
}

int32_t boxCentreLimit(int32_t d) { return lerpClamped(3072, 6144, 16, 30, d); }
int32_t generalLimit(int32_t d) { return lerpClamped(1331, 2560, 17, 30, d); }
int32_t vertexLimit(int32_t d) { return lerpClamped(1331, 1812, 17, 30, d); }
int32_t ellipseLimit(int32_t d) { return lerpClamped(110, 220, 18, 30, d); }
int32_t looseVertexLimit(int32_t d) { return lerpClamped(200, 350, 18, 30, d); }

int32_t segmentLength(const int32_t* vertices, int32_t k) {
    const int64_t dx = static_cast<int64_t>(vertices[2 * k + 2]) - vertices[2 * k];
    const int64_t dy = static_cast<int64_t>(vertices[2 * k + 3]) - vertices[2 * k + 1];
    return static_cast<int32_t>(isqrtLarge(static_cast<uint64_t>(dx * dx + dy * dy)));
}

bool isEndPoint(int32_t kind, int32_t v, int32_t count) {
    switch (kind) {
        case kSolverArrow:
            return v == 0 || v == count - 4;
        case kSolverDoubleArrow:
            return v == 1 || v == count - 4;
        case kSolverOpenPolyline:
            return v == 0 || v == count - 1;
        default:
            return false;
    }
}

bool isFixedVertex(int32_t kind, int32_t v, int32_t count) {
    switch (kind) {
        case kSolverArrow:
            return v >= count - 3;
        case kSolverDoubleArrow:
            return v == 0 || v == 2 || v == 3 || v >= count - 3;
        case kSolverTriangle:
        case kSolverParallelogram:
        case kSolverClosedPolyline:
            return count > 1 && v == count - 1;
        case kSolverRotatedEllipse:
            return v != 0;
        default:
            return false;
    }
}

bool onOutlineBand(int32_t px, int32_t py, const int32_t* box, int mode) {
    const int64_t l = box[kBoxLeft], t = box[kBoxTop], r = box[kBoxRight], b = box[kBoxBottom];
    const int64_t hw = (r - l + 1) / 2, hh = (b - t + 1) / 2;
    const int64_t dx = absValue(px - (l + r + 1) / 2), dy = absValue(py - (t + b + 1) / 2);
    auto grown = [](int64_t h) { return (h * 123 + 50) / 100; };
    auto shrunk = [](int64_t h) { return (h * 100 + 61) / 123; };
    if (mode == 0) {
        if (hw != hh) return false;
        const int64_t d2 = dx * dx + dy * dy;
        return shrunk(hw) * shrunk(hw) <= d2 && d2 <= grown(hw) * grown(hw);
    }
    const bool inGrown = dx <= grown(hw) && dy <= grown(hh);
    const bool inShrunk = dx < shrunk(hw) && dy < shrunk(hh);
    return inGrown && !inShrunk;
}

namespace {

int32_t minOf(int32_t a, int32_t b) { return a < b ? a : b; }
int32_t maxOf(int32_t a, int32_t b) { return a > b ? a : b; }
int32_t absDiff(int32_t a, int32_t b) { return clamp32(absValue(static_cast<int64_t>(a) - b)); }

// The distance in 1/1024 of a unit that is at least 1024 whole units: for
// the tolerances of a run this is the plain distance.
int32_t crossRatio(int32_t d, int32_t meanTolerance) {
    return ratio1024(d, maxOf(meanTolerance, 1024));
}

bool straightToPrevious(int32_t dW, int32_t dV) {
    return dW <= 3 || (dW == 4 && dV >= 50) || (dW >= 5 && dW <= 7 && dV >= 100);
}
bool straightToNext(int32_t dW, int32_t dV) {
    return dW <= 3 || (dW >= 4 && dW <= 5 && dV >= 50) || (dW >= 6 && dW <= 7 && dV >= 100);
}
bool between(int32_t c, int32_t a, int32_t b) { return (a <= c && c <= b) || (b <= c && c <= a); }

int32_t unpackRole(int32_t packed, int k) { return (packed >> (4 * k)) & 0xF; }

}  // namespace

void crossDistanceRow(const SolverState& s, int32_t c, const int32_t* v, const int32_t* w,
                      int32_t t, const int32_t* tol, bool line, bool slack, int32_t* row,
                      int32_t* marks) {
    const AlignRun& run = *s.run;
    for (int32_t b = 0; b < s.boxCount; ++b) {
        const int32_t lo = 3 * b, mid = lo + 1, hi = lo + 2;
        const int32_t unit = (maxOf(t, 10) + maxOf(tol[mid], 10)) / 2;
        const int32_t dc = absDiff(v[mid], c);
        const int32_t rLo = crossRatio(absDiff(v[lo], c), unit);
        const int32_t rHi = crossRatio(absDiff(v[hi], c), unit);
        if (b < run.ellipseCount) {
            int32_t dcs = dc;
            if (slack) dcs = maxOf(dc - lerpClamped(40, 100, 4, 10, tol[mid]), dc / 2);
            row[mid] = minOf(crossRatio(dcs, unit), minOf(rLo, rHi));
            row[lo] = row[hi] = crossRatio(dc, unit);
        } else {
            const int32_t e = minOf(crossRatio(dc, unit), minOf(2 * rLo, 2 * rHi));
            row[lo] = row[mid] = row[hi] = e;
            if (line && v[lo] <= c && c <= v[hi]) row[lo] = row[hi] = 0;
        }
    }
    for (int32_t k = 0; k < run.shapeCount; ++k) {
        const int32_t first = 3 * s.boxCount + run.offsets[k];
        const int32_t count = vertexCountOf(run, k);
        for (int32_t m = 0; m < count; ++m) {
            const int32_t j = first + m;
            bool onRun = false;
            if (m > 0 && straightToPrevious(absDiff(w[j], w[j - 1]), absDiff(v[j], v[j - 1])))
                onRun = between(c, v[j], v[j - 1]);
            if (!onRun && m + 1 < count &&
                straightToNext(absDiff(w[j], w[j + 1]), absDiff(v[j], v[j + 1])))
                onRun = between(c, v[j], v[j + 1]);
            row[j] = onRun ? 0 : crossRatio(absDiff(v[j], c), (tol[j] + t) / 2);
            marks[j] = onRun ? 1 : 0;
        }
        // A two-headed arrow's start sits on its shaft at vertex 4 as well.
        if (run.kinds[k] == kSolverDoubleArrow && count > 4)
            row[first + 1] = minOf(row[first + 1], row[first + 4]);
    }
}

void buildTolerances(SolverState& s) {
    const AlignRun& run = *s.run;
    for (int32_t b = 0; b < s.boxCount; ++b) {
        const int32_t* box = run.boxesIn + kBoxFields * b;
        const int32_t l = box[kBoxLeft], t = box[kBoxTop], r = box[kBoxRight], bo = box[kBoxBottom];
        const int32_t xs[3] = {l, clamp32((static_cast<int64_t>(l) + r + 1) / 2), r};
        const int32_t ys[3] = {t, clamp32((static_cast<int64_t>(t) + bo + 1) / 2), bo};
        const int32_t tx = clamp32((static_cast<int64_t>(r) - l + 1) / 2);
        const int32_t ty = clamp32((static_cast<int64_t>(bo) - t + 1) / 2);
        for (int e = 0; e < 3; ++e) {
            s.x[3 * b + e] = xs[e];
            s.y[3 * b + e] = ys[e];
            s.tolX[3 * b + e] = tx;
            s.tolY[3 * b + e] = ty;
            s.tolC[3 * b + e] = maxOf(tx, ty);
        }
        s.width[b] = r - l ? r - l : 4;
        s.height[b] = bo - t ? bo - t : 4;
    }
    for (int32_t k = 0; k < run.shapeCount; ++k) {
        const int32_t count = vertexCountOf(run, k);
        const int32_t* p = run.vertsIn[k];
        const int32_t kind = run.kinds[k];
        const int32_t first = 3 * s.boxCount + run.offsets[k];
        // The 27-unit rule on segment a -> a + 1.
        auto segmentRule = [&](int32_t j, int32_t a) {
            const int32_t len = segmentLength(p, a);
            const int32_t dx = absDiff(p[2 * a + 2], p[2 * a]);
            const int32_t dy = absDiff(p[2 * a + 3], p[2 * a + 1]);
            s.tolC[j] = len / 2;
            s.tolX[j] = minOf(len / 2, maxOf(27, dx));
            s.tolY[j] = minOf(len / 2, maxOf(27, dy));
        };
        for (int32_t m = 0; m < count; ++m) {
            const int32_t j = first + m;
            s.x[j] = p[2 * m];
            s.y[j] = p[2 * m + 1];
            s.tolX[j] = s.tolY[j] = s.tolC[j] = 0;
            if (count < 2) continue;
            if (m == 0) {
                if (kind == kSolverArrow || kind == kSolverDoubleArrow ||
                    kind == kSolverRotatedEllipse) {
                    segmentRule(j, 0);
                } else {
                    const int32_t a = segmentLength(p, 0), c = segmentLength(p, count - 2);
                    s.tolX[j] = s.tolY[j] = minOf(a, c) / 2;
                    s.tolC[j] = maxOf(a, c) / 2;
                }
            } else if (m == count - 1) {
                segmentRule(j, count - 2);
            } else {
                const int32_t a = segmentLength(p, m - 1), c = segmentLength(p, m);
                s.tolC[j] = maxOf(a, c) / 2;
                s.tolX[j] = s.tolY[j] = minOf(maxOf(a, c) / 2, 2 * minOf(a, c) / 3);
            }
        }
        if ((kind == kSolverArrow || kind == kSolverDoubleArrow) && count >= 5)
            segmentRule(first + count - 4, count - 5);
        if (kind == kSolverDoubleArrow && count >= 5) segmentRule(first + 1, 3);
    }
    for (int32_t j = 0; j < s.n; ++j) {
        if (s.tolX[j] == 0) s.tolX[j] = 2;
        if (s.tolY[j] == 0) s.tolY[j] = 2;
        s.tolX[j] = sizeTolerance(s.tolX[j]);
        s.tolY[j] = sizeTolerance(s.tolY[j]);
        s.tolC[j] = sizeTolerance(s.tolC[j]);
    }
    // Straight-run marks: a vertex that shares x (upright edge) or y (level
    // edge, which wins) within 2 units with a neighbour of its shape.
    for (int32_t k = 0; k < run.shapeCount; ++k) {
        const int32_t count = vertexCountOf(run, k);
        const int32_t first = 3 * s.boxCount + run.offsets[k];
        for (int32_t m = 0; m < count; ++m) {
            const int32_t j = first + m;
            int32_t mark = 0;
            for (int32_t o : {m - 1, m + 1}) {
                if (o < 0 || o >= count) continue;
                if (absDiff(s.x[first + o], s.x[j]) <= 2 && mark == 0) mark = 1;
                if (absDiff(s.y[first + o], s.y[j]) <= 2) mark = 2;
            }
            s.straightRun[j] = mark;
        }
    }
}

void buildConnectorLinks(SolverState& s) {
    const AlignRun& run = *s.run;
    if (!run.connectorLinks || !s.boxConnected) return;
    const int32_t B = s.boxCount;
    for (int32_t b = 0; b < B; ++b) s.boxConnected[b * B + b] = 1;
    for (int32_t k = 0; k < run.shapeCount; ++k) {
        const int32_t kind = run.kinds[k];
        const int32_t count = vertexCountOf(run, k);
        if (!isConnectorKind(kind) || count < 2) continue;
        const int32_t start = kind == kSolverDoubleArrow && count > 1 ? 1 : 0;
        int32_t end = count - 1;
        if (kind != kSolverOpenPolyline) end = count >= 4 ? count - 4 : 0;
        const int32_t* p = run.vertsIn[k];
        for (int32_t b = 0; b < B; ++b) {
            const int32_t* box = run.boxesIn + kBoxFields * b;
            const int mode = b < run.ellipseCount ? 0 : 1;
            uint16_t link = 0;
            if (onOutlineBand(p[2 * start], p[2 * start + 1], box, mode)) link |= 1;
            if (onOutlineBand(p[2 * end], p[2 * end + 1], box, mode)) link |= 2;
            run.connectorLinks[b * run.shapeCount + k] = link;
        }
        for (int32_t a = 0; a < B; ++a)
            for (int32_t b = 0; b < B; ++b)
                if (run.connectorLinks[a * run.shapeCount + k] &&
                    run.connectorLinks[b * run.shapeCount + k])
                    s.boxConnected[a * B + b] = 1;
    }
}

void outlineVariantRows(const SolverState& s, int64_t p, int32_t xCap, int32_t yCap, int32_t* vx,
                        int32_t* vy) {
    const AlignRun& run = *s.run;
    const ConnectorDistances& cd = *run.distances;
    static const int32_t f0x[4] = {10, 30, 100, 110}, f0y[4] = {70, 25, 10, 10};
    static const int32_t ftx[4] = {10, 30, 60, 100}, fty[4] = {70, 25, 12, 7};
    const bool tables = (run.flags & 0x200) != 0;
    auto F = [&](int32_t v) { return tables ? lerp4(ftx, fty, v) : lerp4(f0x, f0y, v); };
    // Distances are 16-bit: a missing one (65535) reads as -1, no entry.
    auto toSegment = [&](int64_t seg) {
        return static_cast<int32_t>(static_cast<int16_t>(cd.toSegment[p * cd.segmentCount + seg]));
    };
    auto toPoint = [&](int64_t ref) {
        return static_cast<int32_t>(static_cast<int16_t>(cd.toPoint[p * cd.refCount + ref]));
    };
    for (int32_t j = 0; j < s.n; ++j) vx[j] = vy[j] = -1;
    for (int32_t b = run.ellipseCount; b < s.boxCount; ++b) {
        if (cd.objectRef[b + 1] - cd.objectRef[b] != 5) continue;
        const int32_t packed = run.boxesIn[kBoxFields * b + kBoxRoles];
        const int32_t roles[4] = {unpackRole(packed, 0), unpackRole(packed, 1),
                                  unpackRole(packed, 2), unpackRole(packed, 3)};
        const int32_t firstRef = cd.objectRef[b], firstSeg = cd.objectSeg[b];
        const int32_t D = minOf(toPoint(firstRef), toPoint(firstRef + 4));
        int32_t side[4];  // left, right, top, bottom
        const int32_t pairs[4][2] = {{0, 3}, {1, 2}, {0, 1}, {2, 3}};
        for (int k = 0; k < 4; ++k) {
            const uint16_t at = sideOfCorners(roles, pairs[k][0], pairs[k][1]);
            side[k] = at == 0xFFFF ? -1 : toSegment(firstSeg + at);
            const bool atFirstCorner = roles[0] == pairs[k][0] || roles[0] == pairs[k][1];
            if (atFirstCorner && side[k] >= 0 && D >= 0 && D < side[k]) side[k] = D;
        }
        auto entry = [&](int32_t distance, int32_t tol, int32_t cap) {
            return distance < 0 ? -1 : clamp32(static_cast<int64_t>(F(minOf(tol, cap))) * distance);
        };
        vx[3 * b] = entry(side[0], s.tolX[3 * b], xCap);
        vx[3 * b + 2] = entry(side[1], s.tolX[3 * b + 2], xCap);
        vy[3 * b] = entry(side[2], s.tolY[3 * b], yCap);
        vy[3 * b + 2] = entry(side[3], s.tolY[3 * b + 2], yCap);
    }
    for (int32_t k = 0; k < run.shapeCount; ++k) {
        const int32_t object = s.boxCount + k, count = vertexCountOf(run, k);
        const bool rotated = run.kinds[k] == kSolverRotatedEllipse;
        if (!rotated && cd.objectRef[object + 1] - cd.objectRef[object] != count) continue;
        const bool closed = run.kinds[k] == kSolverTriangle ||
                            run.kinds[k] == kSolverParallelogram ||
                            run.kinds[k] == kSolverClosedPolyline;
        const int32_t first = 3 * s.boxCount + run.offsets[k];
        for (int32_t m = 0; m < count; ++m) {
            int32_t e = 1000;
            if (!rotated) {
                e = toPoint(cd.objectRef[object] + m);
                if (m == 0 && closed) {
                    const int32_t last = toPoint(cd.objectRef[object] + count - 1);
                    if (last >= 0 && (e < 0 || last < e)) e = last;
                }
            }
            if (e < 0) continue;
            const int32_t j = first + m;
            // Vertex entries keep the plain ramp whatever the call asks for.
            const int32_t f =
                lerp4(f0x, f0y, minOf((s.tolX[j] + s.tolY[j]) / 2, (xCap + yCap) / 2));
            vx[j] = vy[j] = clamp32(static_cast<int64_t>(f) * e);
        }
    }
}

namespace {

// Cost factors: a small factor makes a strong target, 100 no target at all.
void costFactors(const SolverState& s, bool centreRows, int32_t* f) {
    const AlignRun& run = *s.run;
    for (int32_t b = 0; b < s.boxCount; ++b) {
        f[3 * b] = centreRows ? 100 : 13;
        f[3 * b + 1] = centreRows ? 13 : 100;
        f[3 * b + 2] = centreRows ? 100 : 15;
    }
    for (int32_t k = 0; k < run.shapeCount; ++k) {
        const int32_t count = vertexCountOf(run, k);
        const int32_t first = 3 * s.boxCount + run.offsets[k];
        int32_t* row = f + first;
        for (int32_t m = 0; m < count; ++m) row[m] = 100;
        switch (run.kinds[k]) {
            case kSolverOpenPolyline:
                row[0] = row[count - 1] = centreRows ? 15 : 12;
                if (count == 3) row[1] = 15;
                break;
            case kSolverClosedPolyline:
                // A polyline's first vertex is a target, closed or open; the
                // closing vertex repeats it and is none (set below).
                row[0] = centreRows ? 15 : 12;
                break;
            case kSolverTriangle:
                if (!centreRows && count >= 4) setTriangleCodes(row, 0);
                break;
            case kSolverParallelogram:
                if (!centreRows && count >= 5) setParallelogramCodes(row, 0);
                break;
            case kSolverArrow:
            case kSolverDoubleArrow:
                setArrowCodes(row, 0, count, run.kinds[k] == kSolverDoubleArrow, centreRows);
                break;
            case kSolverRotatedEllipse:
                if (centreRows) row[0] = 13;
                break;
            default:
                break;
        }
        if (isFixedVertex(run.kinds[k], count - 1, count) && run.kinds[k] != kSolverArrow &&
            run.kinds[k] != kSolverDoubleArrow)
            row[count - 1] = 100;
    }
}

// One closeness row toward value c with tolerance t.
void closenessRow(const SolverState& s, int32_t i, int32_t c, int32_t t, const int32_t* values,
                  const int32_t* factors, bool vertexRow, bool ellipseCentreRow, int32_t* row) {
    const int32_t boxVars = 3 * s.boxCount;
    // Factors are few distinct small numbers: their roots are taken once a row.
    int32_t roots[128];
    for (int32_t& r : roots) r = -1;
    for (int32_t j = 0; j < s.n; ++j) {
        const int32_t f = factors[j];
        if (j == i || f == 100) {
            row[j] = -1;
            continue;
        }
        int32_t sc;
        if (f >= 0 && f < 128 && roots[f] >= 0) {
            sc = roots[f];
        } else {
            sc = static_cast<int32_t>(isqrtLarge(static_cast<uint64_t>(maxOf(f, 0)) * maxOf(t, 0)));
            if (f >= 0 && f < 128) roots[f] = sc;
        }
        sc = minOf(sc, vertexRow && j < boxVars ? 4 * t : (3 * t + 1) / 2);
        sc = minOf(sc, (3 * f + 1) / 2);
        sc = maxOf(sc, 10);
        int32_t d = absDiff(values[j], c);
        if (ellipseCentreRow && j < boxVars && j % 3 == 1) {
            const int32_t slack = minOf(minOf(sc / 6, lerpClamped(40, 100, 4, 10, f)), d / 2);
            d -= slack;
        }
        row[j] = ratio1024(d, sc);
    }
}

// Cost factors go onto a row of plain closeness.
void applyFactors(const SolverState& s, const int32_t* factors, int32_t* row) {
    for (int32_t j = 0; j < s.n; ++j)
        if (row[j] >= 0) row[j] = clamp32(static_cast<int64_t>(row[j]) * factors[j]);
}

// Tightens a rectangle's edge rows by the outline variants measured from the
// two ends of each side (and the closing point where the side meets the
// first corner).
void rectangleVariants(SolverState& s, int32_t b, int32_t* vx, int32_t* vy, int32_t* best) {
    const AlignRun& run = *s.run;
    const ConnectorDistances& cd = *run.distances;
    if (cd.objectRef[b + 1] - cd.objectRef[b] != 5) return;
    const int64_t n = s.n;
    const int32_t packed = run.boxesIn[kBoxFields * b + kBoxRoles];
    const int32_t roles[4] = {unpackRole(packed, 0), unpackRole(packed, 1), unpackRole(packed, 2),
                              unpackRole(packed, 3)};
    const struct {
        int32_t a, c;
        bool xAxis;
        int32_t variable;
    } edges[4] = {{0, 3, true, 3 * b},
                  {1, 2, true, 3 * b + 2},
                  {0, 1, false, 3 * b},
                  {2, 3, false, 3 * b + 2}};
    for (const auto& edge : edges) {
        const uint16_t side = sideOfCorners(roles, edge.a, edge.c);
        if (side == 0xFFFF) continue;
        for (int32_t j = 0; j < s.n; ++j) best[j] = -1;
        int refs[3] = {side, side + 1, -1};
        if (roles[0] == edge.a || roles[0] == edge.c) refs[2] = 4;
        for (int r : refs) {
            if (r < 0) continue;
            outlineVariantRows(s, cd.objectRef[b] + r, s.tolX[3 * b + 1], s.tolY[3 * b + 1], vx,
                               vy);
            const int32_t* v = edge.xAxis ? vx : vy;
            for (int32_t j = 0; j < s.n; ++j)
                if (v[j] >= 0 && (best[j] < 0 || v[j] < best[j])) best[j] = v[j];
        }
        int32_t* row = (edge.xAxis ? s.closeX : s.closeY) + edge.variable * n;
        for (int32_t j = 0; j < s.n; ++j)
            if (row[j] >= 0 && best[j] >= 0 && 2 * static_cast<int64_t>(best[j]) < row[j])
                row[j] = 2 * best[j];
    }
}

// A free vertex's rows take the variants measured from its own drawn point.
void vertexVariants(SolverState& s, int32_t j, int32_t* vx, int32_t* vy) {
    const AlignRun& run = *s.run;
    const ConnectorDistances& cd = *run.distances;
    const int32_t k = shapeOfVariable(s, j), object = s.boxCount + k;
    if (run.kinds[k] == kSolverRotatedEllipse ||
        cd.objectRef[object + 1] - cd.objectRef[object] != vertexCountOf(run, k))
        return;
    outlineVariantRows(s, cd.objectRef[object] + vertexIndexOf(s, j), s.tolX[j], s.tolY[j], vx, vy);
    const int64_t n = s.n;
    int32_t* rx = s.closeX + j * n;
    int32_t* ry = s.closeY + j * n;
    for (int32_t i = 0; i < s.n; ++i) {
        if (rx[i] >= 0 && vx[i] >= 0 && vx[i] < rx[i]) rx[i] = vx[i];
        if (ry[i] >= 0 && vy[i] >= 0 && vy[i] < ry[i]) ry[i] = vy[i];
    }
}

Box boxOf(const int32_t* record) {
    return Box{record[kBoxLeft], record[kBoxRight], record[kBoxTop], record[kBoxBottom]};
}

void boxLimitRows(SolverState& s, int32_t b, bool xAxis, int32_t* cross) {
    const AlignRun& run = *s.run;
    const int32_t n = s.n, B = s.boxCount;
    const int32_t* across = xAxis ? s.y : s.x;  // x rows measure their distance on y
    const int32_t* tol = xAxis ? s.tolY : s.tolX;
    int32_t* limits = xAxis ? s.limitX : s.limitY;
    const int32_t centre = 3 * b + 1;
    for (int32_t j = 0; j < n; ++j) {
        const int32_t other = j < 3 * B ? 3 * (j / 3) + 1 : j;
        const int32_t own = j < 3 * B ? maxOf(tol[other], 10) : tol[other];
        const int32_t unit = maxOf((maxOf(tol[centre], 10) + own) / 2, 1);
        cross[j] = ratio1024(absDiff(across[other], across[centre]), unit);
    }
    const bool ellipseRow = b < run.ellipseCount;
    const Box own = boxOf(run.boxesIn + kBoxFields * b);
    int32_t* edge = limits + static_cast<int64_t>(3 * b) * n;
    for (int32_t j = 0; j < n; ++j) {
        const bool ellipseVar = j < 3 * run.ellipseCount;
        const bool rectVar = j < 3 * B && !ellipseVar;
        if (ellipseRow && (ellipseVar || j >= 3 * B))
            edge[j] = ellipseLimit(cross[j]);
        else if (!ellipseRow && rectVar)
            edge[j] = boxCentreLimit(cross[j]);
        else
            edge[j] = generalLimit(cross[j]);
    }
    for (int32_t jb = 0; jb < B; ++jb) {
        const Box other = boxOf(run.boxesIn + kBoxFields * jb);
        const int32_t raise = boxSimilarity(&own, &other, xAxis ? 1 : 0, nullptr) / 100;
        for (int32_t e : {3 * jb, 3 * jb + 2}) {
            if (edge[e] >= kNeverLinked) continue;
            edge[e] = minOf(edge[e] + raise, kNeverLinked - 1);
        }
    }
    int32_t* middle = limits + static_cast<int64_t>(centre) * n;
    for (int32_t j = 0; j < n; ++j)
        middle[j] = (j < 3 * B && j % 3 == 1) ? boxCentreLimit(cross[j]) : generalLimit(cross[j]);
    if (s.boxConnected) {
        for (int32_t jb = 0; jb < B; ++jb) {
            if (!s.boxConnected[b * B + jb]) continue;
            for (int32_t e = 3 * jb; e < 3 * jb + 3; ++e) {
                edge[e] = minOf(edge[e], 20);
                middle[e] = minOf(middle[e], 20);
            }
        }
    }
    int32_t* high = limits + static_cast<int64_t>(3 * b + 2) * n;
    for (int32_t j = 0; j < n; ++j) high[j] = edge[j];
}

// Whether vertex variable j has a neighbour in its shape with exactly its
// input x (upright) or y.
bool exactRun(const SolverState& s, int32_t j, bool upright) {
    const AlignRun& run = *s.run;
    const int32_t k = shapeOfVariable(s, j), m = vertexIndexOf(s, j);
    const int32_t* p = run.vertsIn[k];
    const int d = upright ? 0 : 1;
    for (int32_t o : {m - 1, m + 1})
        if (o >= 0 && o < vertexCountOf(run, k) && p[2 * o + d] == p[2 * m + d]) return true;
    return false;
}

void vertexLimitRows(SolverState& s, int32_t i, int32_t* rowA, int32_t* rowB, int32_t* rowC,
                     int32_t* rowD, int32_t* marksA, int32_t* marksB) {
    const AlignRun& run = *s.run;
    const int32_t n = s.n, B = s.boxCount;
    const int32_t k = shapeOfVariable(s, i);
    const int32_t kind = run.kinds[k];
    const int32_t count = vertexCountOf(run, k);
    const int32_t m = vertexIndexOf(s, i);
    const int32_t first = i - m;
    bool levelLine = false, uprightLine = false;
    if (count == 2) {
        const int32_t o = first + (1 - m);
        levelLine = s.y[o] == s.y[i];
        uprightLine = s.x[o] == s.x[i];
    }
    crossDistanceRow(s, s.y[i], s.y, s.x, s.tolC[i], s.tolC, levelLine, true, rowA, marksA);
    crossDistanceRow(s, s.x[i], s.x, s.y, s.tolC[i], s.tolC, uprightLine, true, rowB, marksB);
    // The same from where the vertex was drawn, toward the drawn vertices of
    // the other figures: a vertex that alignment moved earlier does not lose
    // the runs it was drawn on.
    if (kind != kSolverRotatedEllipse) {
        crossDistanceRow(s, s.refY[i], s.refY, s.refX, s.tolC[i], s.tolC, levelLine, false, rowC,
                         marksA);
        crossDistanceRow(s, s.refX[i], s.refX, s.refY, s.tolC[i], s.tolC, uprightLine, false, rowD,
                         marksB);
        for (int32_t k2 = 0; k2 < run.shapeCount; ++k2) {
            if (run.kinds[k2] == kSolverRotatedEllipse) continue;
            for (int32_t v = run.offsets[k2]; v < run.offsets[k2 + 1]; ++v) {
                const int32_t j = 3 * B + v;
                rowA[j] = minOf(rowA[j], clamp32(3 * static_cast<int64_t>(rowC[j]) / 2));
                rowB[j] = minOf(rowB[j], clamp32(3 * static_cast<int64_t>(rowD[j]) / 2));
            }
        }
    }
    int32_t* limX = s.limitX + static_cast<int64_t>(i) * n;
    int32_t* limY = s.limitY + static_cast<int64_t>(i) * n;
    int32_t* closeX = s.closeX + static_cast<int64_t>(i) * n;
    int32_t* closeY = s.closeY + static_cast<int64_t>(i) * n;
    const bool end = isEndPoint(kind, m, count) || (count == 3 && m == 1);
    const bool rigid = isRigidKind(kind);
    for (int32_t j = 0; j < n; ++j) {
        if (j < 3 * run.ellipseCount) {
            const bool centre = j % 3 == 1;
            limX[j] = centre && end ? looseVertexLimit(rowA[j]) : ellipseLimit(rowA[j]);
            limY[j] = centre && end ? looseVertexLimit(rowB[j]) : ellipseLimit(rowB[j]);
            if (kind == kSolverRotatedEllipse && m == 0 && centre) {
                limX[j] = boxCentreLimit(rowA[j]);
                limY[j] = boxCentreLimit(rowB[j]);
            }
            continue;
        }
        if (j < 3 * B) {
            limX[j] = rigid ? generalLimit(rowA[j]) : vertexLimit(rowA[j]);
            limY[j] = rigid ? generalLimit(rowB[j]) : vertexLimit(rowB[j]);
            continue;
        }
        const bool sameShape = shapeOfVariable(s, j) == k;
        if (sameShape && rigid) {
            limX[j] = generalLimit((rowA[j] + 1) / 2);
            limY[j] = generalLimit((rowB[j] + 1) / 2);
            continue;
        }
        const bool loose = s.straightRun[i] * s.straightRun[j] == 0;
        auto ramp = [&](int32_t d) {
            return loose ? looseVertexLimit(d) : (rigid ? generalLimit(d) : vertexLimit(d));
        };
        limX[j] = ramp(rowA[j]);
        limY[j] = ramp(rowB[j]);
        if (sameShape || (rigid && s.straightRun[i] && s.straightRun[j])) continue;
        // Away from straight runs a vertex links only where it is close on both
        // axes. What is taken over is capped only between two vertices on exact
        // runs of one direction (each with a neighbour of exactly its x, or each
        // of exactly its y): the straight-run marks allow 2 units.
        const bool sameRun = (exactRun(s, i, true) && exactRun(s, j, true)) ||
                             (exactRun(s, i, false) && exactRun(s, j, false));
        auto taken = [&](int32_t v) { return sameRun && v > 1800 ? 1800 : v; };
        if (marksA[j] == 0) {
            limX[j] = maxOf(limX[j], limY[j]);
            closeX[j] = maxOf(closeX[j], taken(closeY[j]));
        }
        if (marksB[j] == 0) {
            limY[j] = maxOf(limX[j], limY[j]);
            closeY[j] = maxOf(closeY[j], taken(closeX[j]));
        }
    }
}

// A line that spans a frame from side to side is not pulled onto the frame's
// parallel side.
void keepSpanningLines(SolverState& s) {
    const AlignRun& run = *s.run;
    const int64_t n = s.n;
    auto product = [&](const int32_t* close, const int32_t* lim, int32_t i, int32_t j) -> int64_t {
        if (close[i * n + j] < 0 || lim[i * n + j] == kNeverLinked) return INT64_MAX;
        return static_cast<int64_t>(close[i * n + j]) * lim[i * n + j];
    };
    for (int32_t k = 0; k < run.shapeCount; ++k) {
        if (vertexCountOf(run, k) != 2) continue;
        const int32_t a = 3 * s.boxCount + run.offsets[k], b = a + 1;
        const bool upright = s.x[a] == s.x[b], level = s.y[a] == s.y[b];
        for (int32_t r = run.ellipseCount; r < s.boxCount; ++r) {
            const int32_t lo = 3 * r, hi = 3 * r + 2;
            for (int axis = 0; axis < 2; ++axis) {
                if (axis == 0 ? !upright : !level) continue;
                // Along the line's own axis: ends linked to the two opposite sides.
                const int32_t* cAlong = axis == 0 ? s.closeY : s.closeX;
                const int32_t* lAlong = axis == 0 ? s.limitY : s.limitX;
                if (product(cAlong, lAlong, a, lo) >= 51414 ||
                    product(cAlong, lAlong, b, hi) >= 51414)
                    continue;
                int32_t* cAcross = axis == 0 ? s.closeX : s.closeY;
                int32_t* lAcross = axis == 0 ? s.limitX : s.limitY;
                for (int32_t e : {lo, hi}) {
                    if (product(cAcross, lAcross, a, e) < 128535 &&
                        product(cAcross, lAcross, b, e) < 128535) {
                        lAcross[a * n + e] = kNeverLinked;
                        lAcross[b * n + e] = kNeverLinked;
                    }
                }
            }
        }
    }
}

}  // namespace

void buildLinkTables(SolverState& s) {
    const AlignRun& run = *s.run;
    const int32_t n = s.n, B = s.boxCount;
    // Scratch: two factor rows, four cross-distance rows, two mark rows.
    int32_t* work = s.scratch;
    int32_t* edgeF = work;
    int32_t* centreF = work + n;
    int32_t* rowA = work + 2 * n;
    int32_t* rowB = work + 3 * n;
    int32_t* marksA = work + 4 * n;
    int32_t* marksB = work + 5 * n;
    int32_t* variantX = work + 6 * n;
    int32_t* variantY = work + 7 * n;
    int32_t* best = work + 8 * n;
    costFactors(s, false, edgeF);
    costFactors(s, true, centreF);
    const bool variants = run.distances != nullptr;
    for (int32_t b = 0; b < B; ++b) {
        const bool ellipse = b < run.ellipseCount;
        for (int axis = 0; axis < 2; ++axis) {
            const int32_t* values = axis == 0 ? s.x : s.y;
            const int32_t* tol = axis == 0 ? s.tolX : s.tolY;
            int32_t* close = axis == 0 ? s.closeX : s.closeY;
            for (int e : {0, 2}) {
                const int32_t i = 3 * b + e;
                closenessRow(s, i, values[i], tol[i], values, edgeF, false, false,
                             close + static_cast<int64_t>(i) * n);
            }
        }
        if (variants && !ellipse) rectangleVariants(s, b, variantX, variantY, best);
        for (int axis = 0; axis < 2; ++axis) {
            const int32_t* values = axis == 0 ? s.x : s.y;
            const int32_t* tol = axis == 0 ? s.tolX : s.tolY;
            int32_t* close = axis == 0 ? s.closeX : s.closeY;
            // A box whose low edge lies on this box's low edge pulls its centre less.
            const int32_t* lowRow = close + static_cast<int64_t>(3 * b) * n;
            for (int32_t j = 0; j < B; ++j) {
                rowA[3 * j + 1] = centreF[3 * j + 1];
                if (j != b && lowRow[3 * j] >= 0 && lowRow[3 * j] < 100) centreF[3 * j + 1] += 9;
            }
            const int32_t i = 3 * b + 1;
            closenessRow(s, i, values[i], tol[i], values, centreF, false, ellipse,
                         close + static_cast<int64_t>(i) * n);
            applyFactors(s, centreF, close + static_cast<int64_t>(i) * n);
            for (int32_t j = 0; j < B; ++j) centreF[3 * j + 1] = rowA[3 * j + 1];
            for (int e : {0, 2})
                applyFactors(s, edgeF, close + static_cast<int64_t>(3 * b + e) * n);
        }
    }
    for (int32_t j = 3 * B; j < n; ++j) {
        closenessRow(s, j, s.x[j], s.tolX[j], s.x, edgeF, true, false,
                     s.closeX + static_cast<int64_t>(j) * n);
        closenessRow(s, j, s.y[j], s.tolY[j], s.y, edgeF, true, false,
                     s.closeY + static_cast<int64_t>(j) * n);
        const int32_t k = shapeOfVariable(s, j);
        if (variants && !isFixedVertex(run.kinds[k], vertexIndexOf(s, j), vertexCountOf(run, k)))
            vertexVariants(s, j, variantX, variantY);
        applyFactors(s, edgeF, s.closeX + static_cast<int64_t>(j) * n);
        applyFactors(s, edgeF, s.closeY + static_cast<int64_t>(j) * n);
    }
    for (int32_t b = 0; b < B; ++b) {
        boxLimitRows(s, b, true, rowA);
        boxLimitRows(s, b, false, rowA);
    }
    for (int32_t j = 3 * B; j < n; ++j)
        vertexLimitRows(s, j, rowA, rowB, variantX, variantY, marksA, marksB);
    keepSpanningLines(s);
}

}  // namespace vexa
