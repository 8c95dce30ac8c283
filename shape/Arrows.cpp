#include "Arrows.h"

#include <string.h>

#include "Memory.h"
#include "ShapeAnswer.h"
#include "Shaper.h"
#include "Templates.h"

namespace vexa {

namespace {

constexpr int32_t kMaxHeadDistance = 46000;  // 1/1024 units: about 45 units

// A vertex of a rebuilt vertex list: its position and the point it stands for.
struct Spec {
    Point16 pos;
    int16_t pointIndex;
};

Spec specOf(const Vertex* v, int shift = 0) {
    return {v->pos, static_cast<int16_t>(v->pointIndex + shift)};
}

// The mean side length and half-angle of an accepted head.
struct HeadFit {
    int32_t side;
    int32_t cos, sin;
};

// The distance from the shaft's end to the tip, absolutely and against the shaft.
bool nearTip(int32_t d, int32_t shaftLength, int32_t limit) {
    return shaftLength > 0 && d <= kMaxHeadDistance && ratio1024(d, shaftLength) <= limit;
}

// At the tip T, toward the shaft: each side within about 83 degrees of the
// shaft, the two on opposite sides of it, and (full) alike in length and angle.
bool headAngles(Point16 T, Point16 toward, Point16 s1, Point16 s2, bool full, HeadFit* fit) {
    int32_t c1, n1, c2, n2, lenA, L1, L2;
    if (!angleCosSin(&c1, &n1, &lenA, &L1, T, toward, s1)) return false;
    if (!angleCosSin(&c2, &n2, &lenA, &L2, T, toward, s2)) return false;
    if (c1 < 128 || c2 < 128 || static_cast<int64_t>(n1) * n2 > 0) return false;
    if (full && (absValue(static_cast<int64_t>(L1) - L2) > 32000 || absValue(c1 - c2) > 512))
        return false;
    fit->side = static_cast<int32_t>((static_cast<int64_t>(L1) + L2) / 2);
    fit->cos = (c1 + c2) / 2;
    fit->sin = static_cast<int32_t>(
        isqrtLarge(static_cast<uint64_t>(1048576 - static_cast<int64_t>(fit->cos) * fit->cos)));
    return true;
}

// The two side ends of a rebuilt head: the point at the side length from the
// tip toward F, turned about the tip both ways.
void headSides(Point16 T, Point16 F, const HeadFit& fit, Point16* s1, Point16* s2) {
    const int64_t len = distance(F, T);
    Point16 b = T;
    if (len > 0) {
        b.x = clamp16(T.x + (static_cast<int64_t>(F.x) - T.x) * fit.side / len);
        b.y = clamp16(T.y + (static_cast<int64_t>(F.y) - T.y) * fit.side / len);
    }
    *s1 = b;
    *s2 = b;
    rotate(&T, s1, fit.cos, fit.sin);
    rotate(&T, s2, fit.cos, -fit.sin);
}

// Frees a built vertex list (its vertices and its array).
void discardVertices(PtrList* list) {
    for (int k = 0; k < list->count; ++k) freeVertex(ptrAt<Vertex>(list, k));
    ptrListFree(list);
}

// A vertex list made from the specs, linked by their distances; false (and
// nothing made) when memory is short.
bool buildVertices(const Spec* specs, int n, PtrList* list) {
    ptrListInit(list);
    if (!ptrListReserve(list, n)) return false;
    for (int i = 0; i < n; ++i) {
        Vertex* v = newVertex();
        if (!v) {
            discardVertices(list);
            return false;
        }
        v->pos = specs[i].pos;
        v->adjusted = specs[i].pos;
        v->pointIndex = specs[i].pointIndex;
        if (i) {
            Vertex* prev = ptrAt<Vertex>(list, i - 1);
            linkVertices(prev, v, 0, distance(prev->pos, v->pos));
        }
        ptrListAppend(list, v);
    }
    return true;
}

// Puts the built vertices in place of the shape's own.
void replaceVertices(Shape* shape, PtrList* list) {
    for (int i = 0; i < list->count; ++i) {
        Vertex* v = ptrAt<Vertex>(list, i);
        if (v->pointIndex >= 0 && v->pointIndex < shape->points->count)
            v->arcPos = shape->points->arc[v->pointIndex];
    }
    freeShapeVertices(shape);
    ptrListFree(&shape->vertices);
    shape->vertices = *list;
}

struct SpecList {
    Spec* items;
    int count;
    bool ok;
    explicit SpecList(int capacity)
        : items(static_cast<Spec*>(allocBlock(sizeof(Spec) * static_cast<size_t>(capacity)))),
          count(0),
          ok(items != nullptr) {}
    ~SpecList() { freeBlock(items); }
    void add(Spec s) { items[count++] = s; }
};

// The arrow joined from a pending shape and the new stroke: the joined point
// list (pending first) and the rebuilt vertices go to the new shape.
bool takeArrow(Shape* fresh, Shape* pending, const SpecList& specs, bool reversePending,
               int16_t kind, const char* name) {
    if (!specs.ok) return false;
    if (pending->points->count + fresh->points->count > kMaxPoints) return false;
    PtrList vertices;
    if (!buildVertices(specs.items, specs.count, &vertices)) return false;
    if (reversePending) reverseShape(pending);
    if (!joinPointLists(fresh->points, pending->points, true)) {
        discardVertices(&vertices);
        return false;
    }
    replaceVertices(fresh, &vertices);
    fresh->kind = static_cast<uint16_t>(kind);
    memset(fresh->name, 0, sizeof(fresh->name));
    memcpy(fresh->name, name, strnlen(name, sizeof(fresh->name)));
    fresh->closed = 0;
    return true;
}

// The pending polyline's vertex i as seen when it is turned around.
const Vertex* oriented(const Shape* s, int i, bool reversed) {
    const int n = vertexCount(s);
    return vertexAt(s, reversed ? n - 1 - i : i);
}

// Its point index after the turn.
int16_t orientedIndex(const Shape* s, const Vertex* v, bool reversed) {
    return reversed ? static_cast<int16_t>(s->points->count - 1 - v->pointIndex) : v->pointIndex;
}

// Copies of the shaft's vertices but its last, in the orientation chosen.
void addShaft(SpecList* specs, const Shape* shaft, bool reversed, int upTo) {
    for (int i = 0; i < upTo; ++i) {
        const Vertex* v = oriented(shaft, i, reversed);
        specs->add({v->pos, orientedIndex(shaft, v, reversed)});
    }
}

char headType(const Shape* arrow) {
    const size_t len = strnlen(arrow->name, sizeof(arrow->name));
    return len && arrow->name[len - 1] == '2' ? '2' : '1';
}

// The name of a two-headed arrow made by joining: the arrow's first head,
// then the one just drawn. A vertex list of the same arrow is named by the
// head at its start, which is the new one, so the two names of a mixed pair
// differ ("ARR2_12" here, "ARR2_21" from the list); the joining is where these
// arrows are made, so its order is the one kept.
void twoHeadedName(char* out, char newType, char oldType) {
    strcpy(out, "ARR2_xy");
    out[5] = oldType;
    out[6] = newType;
}

bool tooManyStrokes(const Shape* s) { return s->strokeCount >= kMaxShapeStrokes; }

// A head at the end of a vertex list: T, S1, T, S2 (open) or T, S1, S2, T
// (closed), so that it is drawn as one path.
void addHead(SpecList* specs, Spec tip, Spec side1, Spec side2, bool closed) {
    specs->add(tip);
    specs->add(side1);
    specs->add(closed ? side2 : tip);
    specs->add(closed ? tip : side2);
}

// The point index of the new stroke's vertex i in the joined point list.
int16_t joinedIndex(const Shape* pending, const Shape* fresh, int i) {
    return static_cast<int16_t>(vertexAt(fresh, i)->pointIndex + pending->points->count);
}

// Makes the new shape the one-headed arrow of the pending shaft (turned when
// `reversed`, its first `keep` vertices kept) and a head rebuilt from the fit
// toward F.
int oneHeadedArrow(Shape* fresh, Shape* pending, bool reversed, int keep, Point16 F,
                   const HeadFit& fit, Spec tip, int16_t side1Index, int16_t side2Index,
                   bool closed) {
    Point16 s1, s2;
    headSides(tip.pos, F, fit, &s1, &s2);
    SpecList specs(keep + 4);
    if (!specs.ok) return 0;
    addShaft(&specs, pending, reversed, keep);
    addHead(&specs, tip, {s1, side1Index}, {s2, side2Index}, closed);
    return takeArrow(fresh, pending, specs, reversed, kKindArrow, closed ? "ARR1_2" : "ARR1_1") ? 1
                                                                                                : 0;
}

}  // namespace

void arrowFromOneStroke(Shape* shape) {
    const int n = vertexCount(shape);
    if (n < 5) return;
    const Vertex* v[5];
    for (int i = 0; i < 5; ++i) v[i] = vertexAt(shape, n - 5 + i);
    const Point16 A = v[0]->pos, B = v[1]->pos;
    const int32_t shaftLength = distance(A, B);
    struct Reading {
        int tip, side1, side2;
        bool closed;
        const char* name;
    } readings[2] = {{3, 2, 4, false, "ARR1_1"}, {4, 2, 3, true, "ARR1_2"}};
    for (const Reading& r : readings) {
        const Point16 T = v[r.tip]->pos, S1 = v[r.side1]->pos, S2 = v[r.side2]->pos;
        if (sameSide(A, B, S1, S2)) continue;
        if (!nearTip(distance(B, T), shaftLength, 200)) continue;
        HeadFit fit;
        if (!headAngles(T, A, S1, S2, true, &fit)) continue;
        Point16 s1, s2;
        headSides(T, A, fit, &s1, &s2);
        SpecList specs(n);
        if (!specs.ok) return;
        for (int i = 0; i < n - 4; ++i) specs.add(specOf(vertexAt(shape, i)));
        addHead(&specs, {T, v[r.tip]->pointIndex}, {s1, v[r.side1]->pointIndex},
                {s2, v[r.side2]->pointIndex}, r.closed);
        PtrList vertices;
        if (!buildVertices(specs.items, specs.count, &vertices)) return;
        replaceVertices(shape, &vertices);
        shape->kind = kKindArrow;
        memset(shape->name, 0, sizeof(shape->name));
        strcpy(shape->name, r.name);
        return;
    }
}

int shaftToHead(Shape* pending, Shape* fresh) {
    const int np = vertexCount(pending);
    if (vertexCount(fresh) != 3 || np < 2) return 0;
    const Point16 T = vertexAt(fresh, 1)->pos, S1 = vertexAt(fresh, 0)->pos,
                  S2 = vertexAt(fresh, 2)->pos;
    const Point16 first = vertexAt(pending, 0)->pos, last = vertexAt(pending, np - 1)->pos;
    const int32_t shaftLength = distance(first, last);
    const int32_t dFirst = distance(first, T), dLast = distance(last, T);
    if (!nearTip(dFirst, shaftLength, 200) && !nearTip(dLast, shaftLength, 200)) return 0;
    const bool reversed = dFirst < dLast;
    const Point16 E = oriented(pending, np - 1, reversed)->pos;
    const Point16 F = oriented(pending, np - 2, reversed)->pos;
    if (sameSide(F, E, S1, S2)) return 0;
    HeadFit fit;
    if (!headAngles(T, F, S1, S2, true, &fit)) return 0;
    return oneHeadedArrow(fresh, pending, reversed, np - 1, F, fit,
                          {T, joinedIndex(pending, fresh, 1)}, joinedIndex(pending, fresh, 0),
                          joinedIndex(pending, fresh, 2), false);
}

int closedHeadArrow(Shape* pending, Shape* fresh) {
    const int np = vertexCount(pending);
    if (vertexCount(fresh) != 4 || np < 2) return 0;
    bool decided = false, reversed = false;
    for (int corner = 0; corner < 3; ++corner) {
        const Vertex* tv = vertexAt(fresh, corner);
        const Point16 T = tv->pos;
        const Point16 S1 = vertexAt(fresh, (corner + 1) % 3)->pos;
        const Point16 S2 = vertexAt(fresh, (corner + 2) % 3)->pos;
        // Once a corner was near the shaft, the shaft's last edge stands for the shaft.
        const Point16 first =
            decided ? oriented(pending, np - 2, reversed)->pos : vertexAt(pending, 0)->pos;
        const Point16 last =
            decided ? oriented(pending, np - 1, reversed)->pos : vertexAt(pending, np - 1)->pos;
        if (sameSide(first, last, S1, S2)) return 0;
        const int32_t shaftLength = distance(first, last);
        const int32_t dFirst = distance(first, T), dLast = distance(last, T);
        if (!nearTip(dFirst, shaftLength, 220) && !nearTip(dLast, shaftLength, 220)) continue;
        if (!decided) {
            reversed = dFirst < dLast;
            decided = true;
        }
        const Point16 F = oriented(pending, np - 2, reversed)->pos;
        HeadFit fit;
        if (!headAngles(T, F, S1, S2, true, &fit)) continue;
        return oneHeadedArrow(fresh, pending, reversed, np - 1, F, fit,
                              {T, joinedIndex(pending, fresh, corner)},
                              joinedIndex(pending, fresh, (corner + 1) % 3),
                              joinedIndex(pending, fresh, (corner + 2) % 3), true);
    }
    return 0;
}

int headToShaft(Shape* pending, Shape* fresh) {
    const int np = vertexCount(pending);
    if (np < 3 || vertexCount(fresh) != 2) return 0;
    const int32_t firstEdge = distance(vertexAt(pending, 0)->pos, vertexAt(pending, 1)->pos);
    const int32_t lastEdge =
        distance(vertexAt(pending, np - 2)->pos, vertexAt(pending, np - 1)->pos);
    const bool reversed = firstEdge < lastEdge;  // the barb is the first edge
    const Vertex* barbEnd = oriented(pending, np - 1, reversed);
    const Vertex* tipVertex = oriented(pending, np - 2, reversed);
    const Point16 T = tipVertex->pos, F = oriented(pending, np - 3, reversed)->pos;
    const Point16 n0 = vertexAt(fresh, 0)->pos, n1 = vertexAt(fresh, 1)->pos;
    const int64_t b = distance(T, barbEnd->pos), e = distance(F, T), n = distance(n0, n1);
    if (b + n == 0 || ratio1024(absValue(b - n), b + n) > 256) return 0;
    if (ratio1024(b, e) > 600 || ratio1024(n, e) > 600) return 0;
    const int32_t d0 = distance(n0, T), d1 = distance(n1, T);
    if (!nearTip(d0, static_cast<int32_t>(e), 220) && !nearTip(d1, static_cast<int32_t>(e), 220))
        return 0;
    const int far = d0 > d1 ? 0 : 1;
    const Point16 S1 = barbEnd->pos, S2 = vertexAt(fresh, far)->pos;
    HeadFit fit;
    if (!headAngles(T, F, S1, S2, false, &fit)) return 0;
    fit.side = static_cast<int32_t>((b + n) / 2);
    return oneHeadedArrow(
        fresh, pending, reversed, np - 2, F, fit, {T, orientedIndex(pending, tipVertex, reversed)},
        orientedIndex(pending, barbEnd, reversed), joinedIndex(pending, fresh, far), false);
}

namespace {

// A second head on the far end of a pending one-headed arrow; corners lists
// the candidate tips of the new head (one for an open head, three for a closed one).
int secondHead(Shape* arrow, Shape* fresh, bool closedHead) {
    const int na = vertexCount(arrow);
    if (na < 5) return 0;
    const Point16 A0 = vertexAt(arrow, 0)->pos, A1 = vertexAt(arrow, 1)->pos;
    const int32_t shaftLength = distance(A0, A1);
    const int corners = closedHead ? 3 : 1;
    for (int c = 0; c < corners; ++c) {
        const int tipIndex = closedHead ? c : 1;
        const int i1 = closedHead ? (c + 1) % 3 : 0;
        const int i2 = closedHead ? (c + 2) % 3 : 2;
        const Vertex* tv = vertexAt(fresh, tipIndex);
        const Point16 T = tv->pos, S1 = vertexAt(fresh, i1)->pos, S2 = vertexAt(fresh, i2)->pos;
        if (sameSide(A1, A0, S1, S2)) return 0;
        if (shaftLength == 0 || !nearTip(distance(A0, T), shaftLength, 220)) {
            if (closedHead) continue;
            return 0;
        }
        HeadFit fit;
        if (!headAngles(T, A1, S1, S2, true, &fit)) {
            if (closedHead) continue;
            return 0;
        }
        Point16 s1, s2;
        headSides(T, A1, fit, &s1, &s2);
        SpecList specs(na + 3);
        if (!specs.ok) return 0;
        const Spec tip = {T, joinedIndex(arrow, fresh, tipIndex)};
        const Spec side1 = {s1, joinedIndex(arrow, fresh, i1)};
        const Spec side2 = {s2, joinedIndex(arrow, fresh, i2)};
        if (closedHead) {
            specs.add(tip);
            specs.add(side1);
            specs.add(side2);
            specs.add(tip);
        } else {
            specs.add(side1);
            specs.add(tip);
            specs.add(side2);
            specs.add(tip);
        }
        for (int i = 1; i < na; ++i) specs.add(specOf(vertexAt(arrow, i)));
        char name[8];
        twoHeadedName(name, closedHead ? '2' : '1', headType(arrow));
        return takeArrow(fresh, arrow, specs, false, kKindDoubleArrow, name) ? 1 : 0;
    }
    return 0;
}

// The point a + t (b - a), t in 1/1024 (as lineIntersection gives it).
Point16 pointAlong(Point16 a, Point16 b, int32_t t) {
    return {clamp16(a.x + ((static_cast<int64_t>(b.x) - a.x) * t >> 10)),
            clamp16(a.y + ((static_cast<int64_t>(b.y) - a.y) * t >> 10))};
}

// Joins two polylines whose ends meet: the pending one's end to the new one's start.
int joinPolylines(Shape* fresh, Shape* pending, int32_t nearLimit) {
    if (vertexCount(fresh) < 2 || vertexCount(pending) < 2) return 0;
    const Point16 ns = vertexAt(fresh, 0)->pos, ne = vertexAt(fresh, vertexCount(fresh) - 1)->pos;
    const Point16 ps = vertexAt(pending, 0)->pos,
                  pe = vertexAt(pending, vertexCount(pending) - 1)->pos;
    const Point16 pairs[4][2] = {{ns, ps}, {ne, ps}, {ns, pe}, {ne, pe}};
    int which = 0;
    int64_t best = nearLimit;
    for (int i = 0; i < 4; ++i) {
        const int64_t d = absValue(static_cast<int64_t>(pairs[i][0].x) - pairs[i][1].x) +
                          absValue(static_cast<int64_t>(pairs[i][0].y) - pairs[i][1].y);
        if (d < best) {
            best = d;
            which = i + 1;
        }
    }
    if (!which) return 0;
    if (fresh->points->count + pending->points->count + 1 > kMaxPoints) return 0;
    if (which == 1 || which == 2) reverseShape(pending);
    if (which == 2 || which == 4) reverseShape(fresh);
    const int np = vertexCount(pending);
    const Point16 a = vertexAt(pending, np - 2)->pos, b = vertexAt(pending, np - 1)->pos;
    const Point16 c = vertexAt(fresh, 0)->pos, d = vertexAt(fresh, 1)->pos;
    auto joinAndDropCorner = [&]() {
        const int n = vertexCount(pending);
        if (!joinShapes(fresh, pending, true)) return 0;
        removeVertex(fresh, n);      // the new polyline's first vertex
        removeVertex(fresh, n - 1);  // the pending shape's last vertex
        return 1;
    };
    if (nearlyParallel(a, b, distance(a, b), c, d, distance(c, d), 16)) return joinAndDropCorner();
    int32_t t = 0, u = 0;
    if (!lineIntersection(a, b, c, d, &t, &u)) return 0;
    if (absValue(1024 - static_cast<int64_t>(t)) > 350 || absValue(u) > 350) return 0;
    const Point16 I = pointAlong(a, b, t);
    const PointList* pl = pending->points;
    const PointList* nl = fresh->points;
    auto crossing = [](Point16 p0, Point16 p1, Point16 q0, Point16 q1, bool both, Point16* x) {
        int32_t s = 0, r = 0;
        if (!lineIntersection(p0, p1, q0, q1, &s, &r)) return false;
        if (s < 0 || s > 1024 || (both && (r < 0 || r > 1024))) return false;
        *x = pointAlong(p0, p1, s);
        return true;
    };
    Point16 X = I;
    int cutPending = -1, cutFresh = -1;
    if (t < 1024 && u > 0) {
        // Both strokes run past the corner: where they cross.
        for (int i = pl->count - 2; i >= pl->count / 2 && cutPending < 0; --i) {
            for (int j = 0; j + 1 < nl->count && j <= nl->count / 2; ++j) {
                if (crossing(pl->points[i], pl->points[i + 1], nl->points[j], nl->points[j + 1],
                             true, &X)) {
                    cutPending = i;
                    cutFresh = j;
                    break;
                }
            }
        }
    } else if (t < 1024) {
        for (int i = pl->count - 2; i >= 0; --i) {
            if (crossing(pl->points[i], pl->points[i + 1], c, d, false, &X)) {
                cutPending = i;
                break;
            }
        }
    } else if (u > 0) {
        for (int j = 0; j + 2 < nl->count; ++j) {
            if (crossing(nl->points[j], nl->points[j + 1], a, b, false, &X)) {
                cutFresh = j;
                break;
            }
        }
    }
    if (cutPending < 0 && cutFresh < 0) X = I;
    if (cutPending >= 0 && !cutAtPoint(pending, cutPending, false)) return 0;
    if (cutFresh >= 0 && !cutAtPoint(fresh, cutFresh, true)) return 0;
    if (vertexCount(fresh) < 2 && cutFresh >= 0) return 0;
    if (!appendPointToShape(pending, X)) return 0;
    const int n = vertexCount(pending);
    if (!joinShapes(fresh, pending, true)) return 0;
    removeVertex(fresh, n);      // the new polyline's first vertex
    removeVertex(fresh, n - 2);  // the pending shape's former last vertex
    return 1;
}

}  // namespace

int secondOpenHead(Shape* arrow, Shape* fresh) {
    return vertexCount(fresh) == 3 ? secondHead(arrow, fresh, false) : 0;
}

int secondClosedHead(Shape* arrow, Shape* fresh) {
    return vertexCount(fresh) == 4 ? secondHead(arrow, fresh, true) : 0;
}

int joinWithPendingShape(Shape* fresh, Shape* pending, int32_t arrowsAllowed) {
    if (!fresh || !pending || !fresh->points || !pending->points) return 0;
    if (tooManyStrokes(pending) || pending->kind == kKindCurve) return 0;
    if (arrowsAllowed) {
        if (pending->kind == kKindArrow &&
            (secondOpenHead(pending, fresh) || secondClosedHead(pending, fresh)))
            return 1;
        if (headToShaft(pending, fresh) || shaftToHead(pending, fresh) ||
            closedHeadArrow(pending, fresh))
            return 1;
    }
    if (fresh->kind == kKindArrow || pending->kind == kKindArrow) return 0;
    return joinPolylines(fresh, pending, tuningOf(fresh, kJoinEndProximity));
}

int endsMeet(Shape* shape) {
    const int n = vertexCount(shape);
    if (shape->strokeCount >= kMaxShapeStrokes || n < 4) return 0;
    const Point16 v0 = vertexAt(shape, 0)->pos, v1 = vertexAt(shape, 1)->pos;
    const Point16 w1 = vertexAt(shape, n - 2)->pos, w0 = vertexAt(shape, n - 1)->pos;
    // Closing edges that run against each other meet, also when they lie on
    // one line (no intersection to measure).
    const int32_t a = segmentCos(v1, v0, distance(v1, v0), w1, w0, distance(w1, w0));
    int32_t t = 0, u = 0;
    const bool crossing = lineIntersection(v1, v0, w1, w0, &t, &u);
    bool meet = a <= -990;
    if (!meet && crossing && t >= 0 && u >= 0) {
        if (a >= -255 && a < 256) {
            const int16_t p[2] = {v0.x, v0.y}, q[2] = {w0.x, w0.y};
            const int64_t side = pointSize(shape->points);
            meet = side > 0 && ratio1024(squaredDistance(p, q, 2), side * side) <= 256;
        } else {
            meet = t >= 600 && t <= 1374 && u >= 600 && u <= 1374;
        }
    }
    return meet ? closeNearlyClosedStroke(shape) : 0;
}

}  // namespace vexa
