#include "Polyline.h"

#include "Shaper.h"

namespace vexa {

namespace {

int64_t sq(int64_t v) { return v * v; }

// Distance of p (offset r from the chord start) from the chord with unit
// direction (ux, uy) x 1024 and length len, all results in 1/1024 units.
int64_t chordPointDistance(int64_t rx, int64_t ry, int64_t ux, int64_t uy, int64_t len) {
    int64_t across = absValue(ry * ux - rx * uy);
    int64_t along = ry * uy + rx * ux;
    if (along >= 0 && along <= len) return across;
    if (along > len) along -= len;
    return static_cast<int64_t>(isqrtLarge(static_cast<uint64_t>(sq(along >> 5) + sq(across >> 5))))
           << 5;
}

// 1024 x (arc / chord)^2 of one half of a split.
uint64_t halfSplitMeasure(const PointList* list, int a, int b) {
    int64_t arcDiff = static_cast<int64_t>(list->arc[b]) - list->arc[a];
    int64_t dx = static_cast<int64_t>(list->points[b].x) - list->points[a].x;
    int64_t dy = static_cast<int64_t>(list->points[b].y) - list->points[a].y;
    int64_t chord2 = dx * dx + dy * dy;
    if (chord2 == 0) return arcDiff == 0 ? 1024u : 0x80000000u;
    return static_cast<uint64_t>(sq(arcDiff >> 5) / chord2);
}

uint64_t splitMeasure(const PointList* list, int a, int p, int b) {
    return halfSplitMeasure(list, a, p) + halfSplitMeasure(list, p, b);
}

int32_t polyThresholdOf(const Shape* shape) { return tuningOf(shape, kPolyThreshold); }

// Recursive split of the segment from vertex a to vertex b (b not yet in the
// list); vertices are appended in drawing order.
bool splitSegment(Shape* shape, Vertex* a, Vertex* b) {
    const PointList* list = shape->points;
    int32_t chord = 0;
    int32_t d = chordDeviation(list, a->pointIndex, b->pointIndex, &chord);
    if (d < 0) return false;
    int64_t arc = arcBetween(list, a->pointIndex, b->pointIndex);
    if (d < tuningOf(shape, kSplitThreshold) && arc / ((chord >> 10) + 1) < 1500) {
        linkVertices(a, b, d, chord);
        return true;
    }
    SplitPoint sp = bestSplitPoint(list, a->pointIndex, b->pointIndex);
    const bool inside = sp.point > a->pointIndex && sp.point < b->pointIndex;
    if (inside && static_cast<int64_t>(sp.d1) + sp.d2 + sp.own < polyThresholdOf(shape)) {
        Vertex* v = newVertex();
        if (!v) return false;
        placeVertex(v, list, sp.point);
        v->corner = clamp16(sp.own);
        v->turn = sp.cosine;
        linkVertices(a, v, sp.d1, sp.c1);
        linkVertices(v, b, sp.d2, sp.c2);
        if (!ptrListAppend(&shape->vertices, v)) {
            freeVertex(v);
            return false;
        }
        return true;
    }
    const int middle = (a->pointIndex + b->pointIndex) >> 1;
    if (middle <= a->pointIndex) return false;
    Vertex* v = newVertex();
    if (!v) return false;
    placeVertex(v, list, middle);
    v->corner = -1;
    if (!splitSegment(shape, a, v) || !ptrListAppend(&shape->vertices, v)) {
        freeVertex(v);
        return false;
    }
    if (!splitSegment(shape, v, b)) {
        ptrListRemove(&shape->vertices, v);
        freeVertex(v);
        return false;
    }
    return true;
}

void relink(const PointList* list, Vertex* a, Vertex* b) {
    int32_t chord = 0;
    int32_t mean =
        chordStats(list, a->pointIndex, b->pointIndex, nullptr, nullptr, nullptr, &chord);
    linkVertices(a, b, mean >> 10, chord);
}

// Largest distance of the range's points from its chord, -1 for an empty range.
int32_t rangeLargest(const PointList* list, int a, int b) {
    if (a >= b) return -1;
    int32_t largest = 0;
    chordStats(list, a, b, nullptr, nullptr, &largest, nullptr);
    return largest;
}

void refinePass(Shape* shape) {
    const PointList* list = shape->points;
    const int32_t keep = lerpClamped(5, 12, 6, 10, polyThresholdOf(shape));
restart:
    for (int j = 1; j + 1 < vertexCount(shape); ++j) {
        Vertex* prev = vertexAt(shape, j - 1);
        Vertex* v = vertexAt(shape, j);
        Vertex* next = vertexAt(shape, j + 1);
        SplitPoint sp = bestSplitPoint(list, prev->pointIndex, next->pointIndex);
        const bool inside = sp.point > prev->pointIndex && sp.point < next->pointIndex;
        if (inside) placeVertex(v, list, sp.point);
        int32_t chord = 0;
        int64_t d = chordDeviation(list, prev->pointIndex, next->pointIndex, &chord);
        if (chord > 1024 && d > 0) d = d * 256 / (chord >> 10);
        const int32_t h1 = rangeLargest(list, prev->pointIndex, v->pointIndex);
        const int32_t h2 = rangeLargest(list, v->pointIndex, next->pointIndex);
        const int32_t h3 = rangeLargest(list, prev->pointIndex, next->pointIndex);
        int64_t q = 5;
        if (h1 >= 0 && h2 >= 0 && h3 > 0) {
            q = 12 - (10 * static_cast<int64_t>(h1 > h2 ? h1 : h2)) / h3;
            if (q < 6) q = 5;
        }
        if (d < 0 || (d + q - 6) / 2 < keep) {
            removeVertex(shape, j);
            goto restart;
        }
        if (inside) {
            v->corner = clamp16(d);
            v->turn = sp.cosine;
            relink(list, prev, v);
            relink(list, v, next);
        }
    }
}

}  // namespace

bool isShortSegment(const Shape* shape, int64_t length) {
    if (length == 0) return true;
    const int32_t size = pointSize(shape->points);
    return size >= 32 && length < 15001 && length / size < tuningOf(shape, kShortSegment);
}

namespace {

void mergePass(Shape* shape) {
    const PointList* list = shape->points;
    const int32_t size = pointSize(list);
    if (size < 32) return;
    while (vertexCount(shape) >= 3) {
        const int n = vertexCount(shape);
        int found = -1;
        for (int j = 0; j + 1 < n; ++j) {
            Vertex* v = vertexAt(shape, j);
            int64_t l = v->outLength;
            if (l == 0) l = distance(v->pos, vertexAt(shape, j + 1)->pos);
            if (l > 0 && isShortSegment(shape, l)) {
                found = j;
                break;
            }
        }
        if (found < 0) return;
        if (found == n - 2) {
            removeVertex(shape, n - 1);
        } else if (found == 0) {
            removeVertex(shape, 0);
        } else {
            Vertex* before = vertexAt(shape, found - 1);
            Vertex* after = vertexAt(shape, found + 2);
            SplitPoint sp = bestSplitPoint(list, before->pointIndex, after->pointIndex);
            if (sp.point <= before->pointIndex || sp.point >= after->pointIndex) return;
            removeVertex(shape, found);
            Vertex* moved = vertexAt(shape, found);
            placeVertex(moved, list, sp.point);
            moved->corner = clamp16(sp.own);
            moved->turn = sp.cosine;
            linkVertices(before, moved, sp.d1, sp.c1);
            linkVertices(moved, after, sp.d2, sp.c2);
        }
    }
}

int32_t arcUnits(const PointList* list, int a, int b) { return arcBetween(list, a, b) >> 10; }

}  // namespace

int32_t chordStats(const PointList* list, int a, int b, const Point16* endA, const Point16* endB,
                   int32_t* largest, int32_t* chord) {
    if (largest) *largest = 0;
    if (chord) *chord = 0;
    if (a < 0 || b >= list->count || a > b) return 0;
    const Point16 pa = endA ? *endA : list->points[a];
    const Point16 pb = endB ? *endB : list->points[b];
    const int64_t len = stepLength(pa, pb);
    if (len == 0) return 0;
    const int64_t ux = (static_cast<int64_t>(pb.x) - pa.x) * (1 << 20) / len;
    const int64_t uy = (static_cast<int64_t>(pb.y) - pa.y) * (1 << 20) / len;
    int64_t sum = 0, most = 0;
    for (int i = a; i <= b; ++i) {
        int64_t dist =
            chordPointDistance(static_cast<int64_t>(list->points[i].x) - pa.x,
                               static_cast<int64_t>(list->points[i].y) - pa.y, ux, uy, len);
        sum += dist;
        if (dist > most) most = dist;
    }
    if (largest) *largest = clamp32(most);
    if (chord) *chord = clamp32(len);
    return clamp32(sum / (b - a + 1));
}

int32_t chordDeviation(const PointList* list, int a, int b, int32_t* chord) {
    if (chord) *chord = 0;
    if (a < 0 || b >= list->count || b - a + 1 < 2) return -1;
    if (b - a + 1 == 2) {
        if (chord) *chord = pointDistance(list, a, b);
        return 0;
    }
    if (list->points[a] == list->points[b]) return 100;
    int32_t largest = 0;
    chordStats(list, a, b, nullptr, nullptr, &largest, chord);
    return largest >> 10;
}

int32_t cosineAtPoint(const PointList* list, int a, int m, int b) {
    const Point16 pa = list->points[a], pm = list->points[m], pb = list->points[b];
    return angleCos(pa, pm, pb, distance(pa, pm), distance(pb, pm), nullptr);
}

SplitPoint bestSplitPoint(const PointList* list, int a, int b) {
    SplitPoint sp = {};
    uint64_t bestScore = UINT64_MAX;
    int best = a;
    for (int p = a; p <= b; p += 2) {
        uint64_t s = splitMeasure(list, a, p, b);
        if (s < bestScore) {
            bestScore = s;
            best = p;
        }
    }
    const int found = best;
    if (found - 1 > a + 1) {
        uint64_t s = splitMeasure(list, a, found - 1, b);
        if (s < bestScore) {
            bestScore = s;
            best = found - 1;
        }
    }
    if (found + 1 < b - 1) {
        uint64_t s = splitMeasure(list, a, found + 1, b);
        if (s < bestScore) {
            bestScore = s;
            best = found + 1;
        }
    }
    sp.own = bestScore > 2048 ? clamp32(static_cast<int64_t>((bestScore - 2048) >> 5)) : 0;
    if (best <= a || best >= b) best = (a + b) / 2;
    sp.point = best;
    sp.d1 = chordDeviation(list, a, best, &sp.c1);
    sp.d2 = chordDeviation(list, best, b, &sp.c2);
    sp.cosine = (best > a && best < b) ? cosineAtPoint(list, a, best, b) : 0;
    return sp;
}

bool approximatePolyline(Shape* shape) {
    freeShapeVertices(shape);
    const PointList* list = shape->points;
    const int n = list ? list->count : 0;
    if (n < 1) {
        shape->error = 100;
        return false;
    }
    Vertex* first = newVertex();
    if (!first || !ptrListAppend(&shape->vertices, first)) {
        freeVertex(first);
        shape->error = 100;
        return false;
    }
    placeVertex(first, list, 0);
    if (n == 1) return true;
    Vertex* last = newVertex();
    if (!last) {
        shape->error = 100;
        return false;
    }
    placeVertex(last, list, n - 1);
    if (n < 3) {
        linkVertices(first, last, 0, list->arc[1]);
    } else if (!splitSegment(shape, first, last)) {
        freeVertex(last);
        shape->error = 100;
        return false;
    }
    if (!ptrListAppend(&shape->vertices, last)) {
        freeVertex(last);
        shape->error = 100;
        return false;
    }
    if (vertexCount(shape) >= 3) {
        refinePass(shape);
        mergePass(shape);
    }
    measureDeviation(shape);
    return true;
}

void trimEndHooks(Shape* shape) {
    if (vertexCount(shape) < 3) return;
    {
        const Vertex* v = vertexAt(shape, 1);
        const int64_t in = v->inLength, out = v->outLength;
        if (in == 0) {
            removeVertex(shape, 0);
        } else {
            const int64_t r = out * 1024 / in;
            // The incoming length is read in whole units: a hook shorter than
            // 128 units (and a third of the run after it) at a hairpin or on a
            // straight run.
            if ((in >> 10) < 128 && absValue(v->turn) > 1000 && r > 3072) removeVertex(shape, 0);
        }
    }
    const int n = vertexCount(shape);
    if (n < 3) return;
    const Vertex* v = vertexAt(shape, n - 2);
    const int64_t in = v->inLength, out = v->outLength;
    if (out == 0) {
        removeVertex(shape, n - 1);
        return;
    }
    const int32_t a = lerpClamped(13500, 30000, 0, 100, clamp32(out));
    const int32_t b = lerpClamped(3, 13, 100, 0, clamp32(in / out));
    if (absValue(v->turn) > 1000 && a + b <= 108) removeVertex(shape, n - 1);
}

int16_t straightnessMeasure(const PointList* list, int a, int b) {
    if (a < 0 || b >= list->count || a >= b) return 0;
    const int64_t n = b - a + 1;
    const Point16 pa = list->points[a];
    const int64_t dx = static_cast<int64_t>(list->points[b].x) - pa.x;
    const int64_t dy = static_cast<int64_t>(list->points[b].y) - pa.y;
    const int64_t len = isqrtLarge(static_cast<uint64_t>(dx * dx + dy * dy));
    if (len == 0) return 0;
    const int64_t cx = clamp16(1024 * dx / len), cy = clamp16(1024 * dy / len);
    int64_t h = 3072 / len;
    if (h < 4) h = 3;
    int64_t su = 0, suu = 0, sv = 0, suv = 0, svv = 0;
    int64_t lastKept = 0, counted = 0, zigzags = 0;
    for (int i = a + 1; i <= b; ++i) {
        const int64_t rx = static_cast<int64_t>(list->points[i].x) - pa.x;
        const int64_t ry = static_cast<int64_t>(list->points[i].y) - pa.y;
        const int64_t u = (cx * rx + cy * ry) / len;
        const int64_t v = (cx * ry - rx * cy) / len;
        su += u;
        suu += u * u;
        sv += v;
        suv += u * v;
        svv += v * v;
        const int64_t dir = v >= lastKept ? 1 : -1;
        if (dir != counted && absValue(v - lastKept) >= h) {
            ++zigzags;
            lastKept = v;
            counted = dir;
        } else if (dir == counted) {
            lastKept = v;
        }
    }
    const int64_t varU = suu - (su / n) * su;
    if (varU == 0) return -1;
    const int64_t cov = suv - (sv / n) * su;
    const int64_t k = 1024 * cov / varU;
    const int64_t residual = svv / n - (((cov / n) * k) >> 10) - sq(sv / n);
    if (residual < 0) return -1;
    const int64_t result =
        static_cast<int64_t>(isqrtLarge(static_cast<uint64_t>(residual))) * 3 / 7 +
        2 * (zigzags > 3 ? zigzags - 3 : 0);
    return clamp16(result);
}

int16_t cornerContribution(const PointList* list, int i, int j, int k, int16_t* second) {
    *second = 0;
    int w = j - i < k - j ? j - i : k - j;
    if (w > 3) w = 3;
    if (w > j) w = j;
    if (j + w > list->count - 1) w = list->count - 1 - j;
    if (w <= 0) return -1;
    int64_t sum = 0;
    for (int s = w; s >= 1; --s)
        sum += angleCos(list->points[j - s], list->points[j], list->points[j + s],
                        arcBetween(list, j - s, j), arcBetween(list, j, j + s), nullptr);
    const int64_t A = -sum / w;
    if (A <= 600) {
        *second = clamp16((600 - A) >> 2);
        return 0;
    }
    return clamp16((A - 600) >> 3);
}

int16_t bendMeasure(const PointList* list, int i, int j, int k) {
    int mainSide = 0;
    angleCos(list->points[i], list->points[j], list->points[k], arcBetween(list, i, j),
             arcBetween(list, j, k), &mainSide);
    if (mainSide == 1 || mainSide == -1) mainSide *= 2;
    const int half = j - i < k - j ? j - i : k - j;
    if (half <= 0) return -1;
    const int step = half > 9 ? 2 : 1;
    const int64_t mainLeft = arcBetween(list, i, j), mainRight = arcBetween(list, j, k);
    int64_t ring[3] = {2000, 2000, 2000};
    int done = 0, reversal = 0;
    for (int r = 0; r < 3; ++r) {
        const int s = 1 + r * step;
        if (j - s < 0 || j + s >= list->count) break;
        const int64_t left = arcBetween(list, j - s, j), right = arcBetween(list, j, j + s);
        if (r == 2 && (left > mainLeft / 4 || right > mainRight / 4)) break;
        int side = 0;
        const int64_t a = angleCos(list->points[j - s], list->points[j], list->points[j + s],
                                   clamp32(left), clamp32(right), &side);
        const int64_t value = (12 - (a >> 3)) / 10;
        ring[r] = value > 0 ? value : 0;
        // The ring turns against the vertex's own turn: an S-bend, not a corner.
        reversal = (side != 0 && side == -mainSide) ? 1 : 0;
        done = r + 1;
        if (half / 2 < (r + 1) * step + 1) break;
    }
    if (done <= 1) return clamp16(ring[0]);
    const int64_t m2 = ring[1] < ring[2] ? ring[1] : ring[2];
    const int64_t mean = (ring[0] + 1 + m2) / 2;
    return clamp16((m2 < mean ? m2 : mean) + 14 * reversal);
}

void measureDeviation(Shape* shape) {
    const PointList* list = shape->points;
    const int n = vertexCount(shape);
    if (n < 2) {
        shape->deviation = 0;
        shape->straightness = 0;
        return;
    }
    if (n < 3) {
        shape->deviation = straightnessMeasure(list, vertexAt(shape, 0)->pointIndex,
                                               vertexAt(shape, 1)->pointIndex);
        shape->straightness = 0;
        return;
    }
    int64_t sum = 0;
    int64_t S = 0;
    int64_t previousRight = 0;
    for (int j = 1; j + 1 < n; ++j) {
        Vertex* vi = vertexAt(shape, j - 1);
        Vertex* vj = vertexAt(shape, j);
        Vertex* vk = vertexAt(shape, j + 1);
        vj->turn = angleCos(vi->pos, vj->pos, vk->pos, vj->inLength, vj->outLength, nullptr);
        int16_t second = 0;
        vj->corner = clamp16(
            static_cast<int64_t>(vj->corner) +
            cornerContribution(list, vi->pointIndex, vj->pointIndex, vk->pointIndex, &second));
        S += second;
        const int64_t aR = straightnessMeasure(list, vj->pointIndex, vk->pointIndex);
        const int64_t aL =
            j == 1 ? straightnessMeasure(list, vi->pointIndex, vj->pointIndex) : previousRight;
        const int64_t wL =
            lerpClamped(25, 50, 66, 100, arcUnits(list, vi->pointIndex, vj->pointIndex));
        const int64_t wR =
            lerpClamped(25, 50, 66, 100, arcUnits(list, vj->pointIndex, vk->pointIndex));
        const int64_t L = static_cast<int16_t>(wL * aL / 100);
        const int64_t R = static_cast<int16_t>(wR * aR / 100);
        previousRight = R;
        const int64_t M = L > R ? L : R;
        const int64_t c = bendMeasure(list, vi->pointIndex, vj->pointIndex, vk->pointIndex);
        int64_t m;
        if (M <= 4) {
            m = M > c / 2 ? M : c / 2;
        } else {
            m = c < M ? c : M;
            if (c - 2 > m) m = c - 2;
            if ((3 * M - 1) / 4 > m) m = (3 * M - 1) / 4;
        }
        int64_t term = (5 + m) * (5 + m);
        if (term <= 140) term = 140;
        // The sum is held in 16 bits; it saturates rather than wrapping to a
        // small value that would make a curve look straight.
        sum += term;
        if (sum > 32767) sum = 32767;
    }
    shape->deviation = static_cast<int16_t>(isqrt(static_cast<uint32_t>(sum / (n - 2))));
    shape->straightness = clamp16(S);
}

int32_t largestChordDeviation(const Shape* shape, int32_t* largestMax) {
    int32_t result = 0, most = 0;
    for (int j = 0; j + 1 < vertexCount(shape); ++j) {
        const Vertex* a = vertexAt(shape, j);
        const Vertex* b = vertexAt(shape, j + 1);
        int32_t largest = 0;
        int32_t mean = chordStats(shape->points, a->pointIndex, b->pointIndex, &a->adjusted,
                                  &b->adjusted, &largest, nullptr);
        if (mean > result) result = mean;
        if (largest > most) most = largest;
    }
    if (largestMax) *largestMax = most;
    return result;
}

void computeAreaAndOrientation(Shape* shape) {
    const int n = vertexCount(shape);
    if (n < 3) return;
    int32_t cx, cy;
    boxCentre(&shape->points->box, &cx, &cy);
    int64_t s = 0;
    const Vertex* prev = vertexAt(shape, n - 1);
    for (int j = 0; j < n; ++j) {
        const Vertex* cur = vertexAt(shape, j);
        const int64_t ax = prev->pos.x - static_cast<int64_t>(cx),
                      ay = prev->pos.y - static_cast<int64_t>(cy);
        const int64_t bx = cur->pos.x - static_cast<int64_t>(cx),
                      by = cur->pos.y - static_cast<int64_t>(cy);
        s += ax * by - ay * bx;
        prev = cur;
    }
    shape->area = clamp32(absValue(s) / 2);
    shape->orientation = s > 0 ? 1 : 0;
    recomputeSweptArea(shape->points);
}

bool isSmoothPointList(const Point16* points, int n) {
    if (n < 3) return true;
    int64_t sum = 0;
    for (int i = 1; i + 1 < n; ++i)
        sum += angleCos(points[i - 1], points[i], points[i + 1], distance(points[i - 1], points[i]),
                        distance(points[i + 1], points[i]), nullptr);
    return sum / (n - 2) < 901;
}

}  // namespace vexa
