#include "Templates.h"

#include "Memory.h"
#include "Polyline.h"
#include "Shaper.h"

namespace vexa {

namespace {

// Per template: kind, point count, then the points; all centred on the origin
// and of size 1024.
constexpr int16_t kTemplateTable[] = {
    1,    3,    512,  -298, 0,    585,  -512, -298,              //
    2,    4,    512,  512,  -512, 512,  -512, -512, 512,  -512,  //
    3,    32,   512,  0,    502,  100,  473,  196,  426,  284,  362,  362,  284,  426,
    196,  473,  100,  502,  //
    0,    512,  -100, 502,  -196, 473,  -284, 426,  -362, 362,  -426, 284,  -473, 196,
    -502, 100,                                                                           //
    -512, 0,    -502, -100, -473, -196, -426, -284, -362, -362, -284, -426, -196, -473,  //
    -100, -502, 0,    -512, 100,  -502, 196,  -473, 284,  -426, 362,  -362, 426,  -284,
    473,  -196,  //
    502,  -100};

// Sums of the products of template points t and polygon points p that the
// least-squares linear map M t ~ p is solved from.
struct FitMoments {
    int64_t a = 0, b = 0, c = 0;  // tx tx, tx ty, ty ty
    int64_t d = 0, e = 0;         // px tx, px ty
    int64_t f = 0, g = 0;         // py tx, py ty
    void add(int64_t tx, int64_t ty, int64_t px, int64_t py) {
        a += tx * tx;
        b += tx * ty;
        c += ty * ty;
        d += px * tx;
        e += px * ty;
        f += py * tx;
        g += py * ty;
    }
};

}  // namespace

PtrList* createShapeTemplates() {
    PtrList* list = static_cast<PtrList*>(allocZeroed(sizeof(PtrList)));
    if (!list) return nullptr;
    ptrListInit(list);
    const int total = static_cast<int>(sizeof(kTemplateTable) / sizeof(kTemplateTable[0]));
    for (int at = 0; at + 1 < total;) {
        const int16_t kind = kTemplateTable[at];
        const int16_t n = kTemplateTable[at + 1];
        const int16_t* xy = kTemplateTable + at + 2;
        at += 2 + 2 * n;
        ShapeTemplate* t = static_cast<ShapeTemplate*>(allocZeroed(sizeof(ShapeTemplate)));
        if (!t) break;
        t->kind = kind;
        t->points = makePointList(n, xy, 0);
        if (!t->points || !ptrListAppend(list, t)) {
            freePointList(t->points);
            freeBlock(t);
            break;
        }
    }
    return list;
}

void destroyShapeTemplates(PtrList* list) {
    if (!list) return;
    for (int i = 0; i < list->count; ++i) {
        ShapeTemplate* t = ptrAt<ShapeTemplate>(list, i);
        freePointList(t->points);
        freeBlock(t);
    }
    ptrListFree(list);
    freeBlock(list);
}

int16_t templateCount(const PtrList* list) { return list ? static_cast<int16_t>(list->count) : 0; }

const ShapeTemplate* templateAt(const PtrList* list, int16_t index) {
    return list ? ptrAt<ShapeTemplate>(list, index) : nullptr;
}

int closeNearlyClosedStroke(Shape* shape) {
    PointList* list = shape->points;
    const int P = list ? list->count : 0;
    if (P < 3 || vertexCount(shape) < 2) return 0;
    int k = P / 3;
    if (k > 16) k = 16;
    const int64_t total = list->arc[P - 1] >> 10;
    int64_t bestGap = INT64_MAX;
    int bi = -1, bj = -1;
    for (int i = 0; i < k; ++i) {
        for (int j = P - 1; j >= P - k; --j) {
            int64_t gap = quickDistance(list, i, j);
            // Ends that meet only through a short stretch of the stroke do not close it.
            if ((arcBetween(list, i, j) >> 10) < total * 3 / 4) gap *= 1024;
            if (gap < bestGap) {
                bestGap = gap;
                bi = i;
                bj = j;
            }
        }
    }
    if (bi < 0) return 0;
    const int32_t side = pointSize(list);
    if (bestGap > 4 * tuningOf(shape, kCloseDistance)) return 0;
    if (bestGap > 10 && (side == 0 || (bestGap << 7) / side > 30)) return 0;
    if (bi > vertexAt(shape, 0)->pointIndex) {
        if (!cutAtPoint(shape, bi, true)) return 0;
        bj -= bi;
    }
    const int n = vertexCount(shape);
    if (n < 2) return 0;
    if (bj < vertexAt(shape, n - 1)->pointIndex && !cutAtPoint(shape, bj, false)) return 0;
    if (vertexCount(shape) < 2) return 0;
    // The cuts can leave a vertex just short of the closing point (the corner
    // the stroke came back to, or left from): such a closing segment is
    // merged away like any other short segment.
    const Point16 start = vertexAt(shape, 0)->pos;
    while (vertexCount(shape) >= 4 &&
           isShortSegment(shape, distance(vertexAt(shape, vertexCount(shape) - 2)->pos, start)))
        removeVertex(shape, vertexCount(shape) - 2);
    while (vertexCount(shape) >= 4 &&
           isShortSegment(shape, distance(start, vertexAt(shape, 1)->pos)))
        removeVertex(shape, 1);
    Vertex* last = vertexAt(shape, vertexCount(shape) - 1);
    last->pos = start;
    shape->closed = 1;
    return 1;
}

int mergeEndOverlap(Shape* shape, int32_t* cosine) {
    const int n = vertexCount(shape);
    if (n < 5) return 0;
    const Point16 p0 = vertexAt(shape, 0)->pos, p1 = vertexAt(shape, 1)->pos;
    const Point16 q1 = vertexAt(shape, n - 2)->pos, q0 = vertexAt(shape, n - 1)->pos;
    const int16_t a[2] = {p0.x, p0.y}, b[2] = {q0.x, q0.y}, c[2] = {p1.x, p1.y},
                  d[2] = {q1.x, q1.y};
    if (squaredDistance(a, b, 2) > squaredDistance(c, d, 2)) return 0;
    const int32_t lenP = distance(p0, p1), lenQ = distance(q1, q0);
    if (lenP == 0 || lenQ == 0) return 0;
    const int32_t cos = segmentCos(q1, q0, lenQ, p0, p1, lenP);
    if (cosine) *cosine = cos;
    if (1024 - cos >= 64) return 0;
    // The stroke ran on past its start along its first edge.
    vertexAt(shape, n - 1)->pos = p1;
    removeVertex(shape, 0);
    return 1;
}

int hasSelfCrossing(const Shape* shape) {
    const int n = vertexCount(shape);
    if (n < 5) return 0;
    for (int i = 0; i + 2 < n; ++i) {
        const Point16 a = vertexAt(shape, i)->pos, b = vertexAt(shape, i + 1)->pos;
        for (int j = i + 2; j + 1 < n; ++j) {
            int32_t t, u;
            if (!lineIntersection(a, b, vertexAt(shape, j)->pos, vertexAt(shape, j + 1)->pos, &t,
                                  &u))
                continue;
            if (t >= 2 && t <= 1023 && u >= 2 && u <= 1023) return 1;
        }
    }
    return 0;
}

int32_t spikeMeasure(const Shape* shape, int a, int b, int c) {
    const int64_t S = static_cast<int64_t>(pointSize(shape->points)) << 10;
    if (S == 0) return 0;
    const Point16 pa = vertexAt(shape, a)->pos, pb = vertexAt(shape, b)->pos,
                  pc = vertexAt(shape, c)->pos;
    const int32_t La = distance(pa, pb), Lb = distance(pc, pb);
    if (La < 3072 || Lb < 3072) return 0;
    const int64_t dot = (static_cast<int64_t>(pa.x) - pb.x) * (static_cast<int64_t>(pc.x) - pb.x) +
                        (static_cast<int64_t>(pa.y) - pb.y) * (static_cast<int64_t>(pc.y) - pb.y);
    const int64_t cos = cosineFromDot(dot, La, Lb);
    const int64_t product = ((static_cast<int64_t>(La) + Lb) >> 5) * ((cos + 1024) >> 5);
    return ratio1024(product, S) / 2;
}

int removeConcaveVertices(Shape* shape) {
    while (vertexCount(shape) >= 5) {
        const int n = vertexCount(shape);
        int found = -1, next = -1;
        for (int i = 1; i < n; ++i) {
            const int k = i + 1 < n ? i + 1 : 1;
            const int64_t turn = cross(vertexAt(shape, i - 1)->pos, vertexAt(shape, i)->pos,
                                       vertexAt(shape, i)->pos, vertexAt(shape, k)->pos);
            if (shape->orientation ? turn < 0 : turn > 0) {
                found = i;
                next = k;
                break;
            }
        }
        if (found < 0) return 0;
        if (spikeMeasure(shape, found - 1, found, next) >= 68) return 1;
        if (found == n - 1) {
            // The closing vertex stands for the first: the first goes, and the
            // outline closes on the new first vertex.
            removeVertex(shape, 0);
            vertexAt(shape, vertexCount(shape) - 1)->pos = vertexAt(shape, 0)->pos;
        } else {
            removeVertex(shape, found);
        }
    }
    return 0;
}

int16_t reduceToVertexCount(Shape* shape, int16_t m) {
    int64_t cost = 0;
    while (vertexCount(shape) > m) {
        const int n = vertexCount(shape);
        int picked = -1;
        int16_t lowest = 0;
        for (int i = 0; i + 1 < n; ++i) {
            const int16_t turn = static_cast<int16_t>(vertexAt(shape, i)->turn);
            if (turn == 2048 || turn > 16959) continue;
            if (picked < 0 || turn <= lowest) {
                picked = i;
                lowest = turn;
            }
        }
        if (picked < 0) break;
        if (vertexAt(shape, picked)->corner < 50)
            cost += (static_cast<int64_t>(lowest) + 1024) >> 2;
        removeVertex(shape, picked);
    }
    return clamp16(cost);
}

int resampleClosedStroke(Shape* shape, int16_t m) {
    freeShapeVertices(shape);
    const PointList* list = shape->points;
    if (!list || list->count < 2 || m < 2) return 0;
    const int64_t total = list->arc[list->count - 1];
    const int64_t step = total / (m - 1);
    if (step == 0) return 0;
    auto add = [shape](Point16 p, int index) {
        Vertex* v = newVertex();
        if (!v) return false;
        v->pos = p;
        v->adjusted = p;
        v->pointIndex = static_cast<int16_t>(index);
        v->arcPos = shape->points->arc[index];
        const int n = vertexCount(shape);
        if (!ptrListAppend(&shape->vertices, v)) {
            freeVertex(v);
            return false;
        }
        if (n) linkVertices(vertexAt(shape, n - 1), v, 0, distance(vertexAt(shape, n - 1)->pos, p));
        return true;
    };
    if (!add(list->points[0], 0)) return 0;
    int i = 1;
    for (int k = 1; k + 1 < m; ++k) {
        const int64_t target = k * step;
        while (i < list->count && list->arc[i] < target) ++i;
        if (i >= list->count) continue;
        const int64_t span = static_cast<int64_t>(list->arc[i]) - list->arc[i - 1];
        if (span == 0) return 0;
        const int64_t f = ratio1024(target - list->arc[i - 1], span);
        const Point16 a = list->points[i - 1], b = list->points[i];
        const Point16 p = {clamp16((a.x * (1024 - f) + b.x * f) >> 10),
                           clamp16((a.y * (1024 - f) + b.y * f) >> 10)};
        if (!add(p, i)) return 0;
    }
    return add(list->points[list->count - 1], list->count - 1) ? 1 : 0;
}

void normalizeShape(Shape* shape) {
    const int n = vertexCount(shape);
    const int32_t size = shape->points ? pointSize(shape->points) : 0;
    if (n < 2 || size <= 0) return;
    int64_t sx = 0, sy = 0;
    for (int i = 0; i + 1 < n; ++i) {
        sx += vertexAt(shape, i)->pos.x;
        sy += vertexAt(shape, i)->pos.y;
    }
    const int64_t cx = sx * 1024 / (n - 1), cy = sy * 1024 / (n - 1);
    shape->matchX = clamp16(cx / 1024);
    shape->matchY = clamp16(cy / 1024);
    shape->scale = size;
    for (int i = 0; i < n; ++i) {
        Vertex* v = vertexAt(shape, i);
        v->pos.x = clamp16((static_cast<int64_t>(v->pos.x) * 1024 - cx) / size);
        v->pos.y = clamp16((static_cast<int64_t>(v->pos.y) * 1024 - cy) / size);
        v->inLength =
            clamp32((static_cast<int64_t>(static_cast<uint32_t>(v->inLength)) / size) << 10);
        v->outLength =
            clamp32((static_cast<int64_t>(static_cast<uint32_t>(v->outLength)) / size) << 10);
    }
    normalisePointList(shape->points, size, clamp32(cx), clamp32(cy));
}

void denormalizeShape(Shape* shape) {
    const int64_t scale = shape->scale;
    for (int i = 0; i < vertexCount(shape); ++i) {
        Vertex* v = vertexAt(shape, i);
        v->pos.x = clamp16(((v->pos.x * scale) >> 10) + shape->matchX);
        v->pos.y = clamp16(((v->pos.y * scale) >> 10) + shape->matchY);
        v->adjusted.x = clamp16(((v->adjusted.x * scale) >> 10) + shape->matchX);
        v->adjusted.y = clamp16(((v->adjusted.y * scale) >> 10) + shape->matchY);
    }
    shape->scale = 1;
    shape->matchX = 0;
    shape->matchY = 0;
}

int32_t matchTemplateDistance(const ShapeTemplate* tmpl, Shape* shape, int32_t* areaMismatch) {
    const PointList* t = tmpl->points;
    const int N = t->count;
    if (N < 1 || vertexCount(shape) != N + 1) return -1;
    FitMoments m;
    for (int i = 0; i < N; ++i)
        m.add(t->points[i].x, t->points[i].y, vertexAt(shape, i)->pos.x, vertexAt(shape, i)->pos.y);
    // Averages, each divided on its own as the 32-bit sums were.
    const int64_t a = m.a / N, b = m.b / N, c = m.c / N, d = m.d / N, e = m.e / N, f = m.f / N,
                  g = m.g / N;
    if (a == 0 || c == 0) return -1;
    int64_t m11, m12, m21, m22;
    if (b == 0) {
        m11 = ratio1024(d, a);
        m12 = ratio1024(e, c);
        m21 = ratio1024(f, a);
        m22 = ratio1024(g, c);
    } else {
        const int64_t u = static_cast<int64_t>(ratio1024(a, b)) - ratio1024(b, c);
        const int64_t w = static_cast<int64_t>(ratio1024(c, b)) - ratio1024(b, a);
        if (u == 0 || w == 0) return -1;
        m11 = ratio1024(static_cast<int64_t>(ratio1024(d, b)) - ratio1024(e, c), u);
        m12 = ratio1024(static_cast<int64_t>(ratio1024(e, b)) - ratio1024(d, a), w);
        m21 = ratio1024(static_cast<int64_t>(ratio1024(f, b)) - ratio1024(g, c), u);
        m22 = ratio1024(static_cast<int64_t>(ratio1024(g, b)) - ratio1024(f, a), w);
    }
    shape->fit[0] = clamp32(m11);
    shape->fit[1] = clamp32(m12);
    shape->fit[2] = clamp32(m21);
    shape->fit[3] = clamp32(m22);
    int64_t E = 0;
    for (int i = 0; i < N; ++i) {
        const int64_t tx = t->points[i].x, ty = t->points[i].y;
        Vertex* v = vertexAt(shape, i);
        const int64_t fx = (m12 * ty + m11 * tx) >> 10, fy = (m22 * ty + m21 * tx) >> 10;
        v->adjusted = {clamp16(fx), clamp16(fy)};
        E += (v->pos.x - fx) * (v->pos.x - fx) + (v->pos.y - fy) * (v->pos.y - fy);
    }
    vertexAt(shape, N)->adjusted = vertexAt(shape, 0)->adjusted;
    E /= N;
    const int64_t dist = E <= 16383
                             ? static_cast<int64_t>(isqrtLarge(static_cast<uint64_t>(E) << 10)) << 5
                             : static_cast<int64_t>(isqrtLarge(static_cast<uint64_t>(E))) << 10;
    if (areaMismatch) {
        int32_t cx, cy;
        boxCentre(&shape->points->box, &cx, &cy);
        int64_t A = 0;
        Point16 prev = vertexAt(shape, N)->adjusted;
        for (int i = 0; i <= N; ++i) {
            const Point16 cur = vertexAt(shape, i)->adjusted;
            const int64_t ax = prev.x - static_cast<int64_t>(cx),
                          ay = prev.y - static_cast<int64_t>(cy);
            const int64_t bx = static_cast<int64_t>(cur.x) - prev.x,
                          by = static_cast<int64_t>(cur.y) - prev.y;
            A += absValue(ax * by - ay * bx);
            prev = cur;
        }
        const int64_t swept = shape->points->sweptArea > 0 ? shape->points->sweptArea : 1;
        const int64_t ratio = ((A & ~static_cast<int64_t>(1)) << 9) / swept;
        *areaMismatch = clamp32(absValue(1024 - ratio));
    }
    return clamp32(dist);
}

void refineEllipseFit(const ShapeTemplate* circle, Shape* shape) {
    const int N = circle->points->count;
    if (vertexCount(shape) != N + 1) return;
    int64_t m11 = shape->fit[0], m12 = shape->fit[1], m21 = shape->fit[2], m22 = shape->fit[3];
    // Points sampled at equal arc lengths sit at unequal angles of an ellipse;
    // matching them to equally spaced circle points pulls the fit toward a
    // circle. Each round matches every vertex to the circle point that the
    // current fit maps onto it, and solves the fit again.
    //
    // No step of the template match asks for this re-fit. It stays only
    // because without it an ellipse of axes 100 and 70, which must stay an
    // ellipse, comes out of the plain fit round enough to be taken for a
    // circle.
    for (int round = 0; round < 3; ++round) {
        const int64_t det = m11 * m22 - m12 * m21;
        if (det == 0) return;
        FitMoments sums;
        for (int i = 0; i < N; ++i) {
            const int64_t px = vertexAt(shape, i)->pos.x, py = vertexAt(shape, i)->pos.y;
            const int64_t qx = 1024 * (m22 * px - m12 * py) / det;
            const int64_t qy = 1024 * (m11 * py - m21 * px) / det;
            const int64_t r = isqrtLarge(static_cast<uint64_t>(qx * qx + qy * qy));
            const int64_t tx = r ? 512 * qx / r : circle->points->points[i].x;
            const int64_t ty = r ? 512 * qy / r : circle->points->points[i].y;
            sums.add(tx, ty, px, py);
            vertexAt(shape, i)->adjusted = {clamp16(tx), clamp16(ty)};  // the matched circle point
        }
        const int64_t den = sums.a * sums.c - sums.b * sums.b;
        if (den == 0) return;
        m11 = 1024 * (sums.d * sums.c - sums.e * sums.b) / den;
        m12 = 1024 * (sums.e * sums.a - sums.d * sums.b) / den;
        m21 = 1024 * (sums.f * sums.c - sums.g * sums.b) / den;
        m22 = 1024 * (sums.g * sums.a - sums.f * sums.b) / den;
        for (int i = 0; i < N; ++i) {
            Vertex* v = vertexAt(shape, i);
            const int64_t tx = v->adjusted.x, ty = v->adjusted.y;
            v->adjusted = {clamp16((m12 * ty + m11 * tx) >> 10),
                           clamp16((m22 * ty + m21 * tx) >> 10)};
        }
    }
    vertexAt(shape, N)->adjusted = vertexAt(shape, 0)->adjusted;
    shape->fit[0] = clamp32(m11);
    shape->fit[1] = clamp32(m12);
    shape->fit[2] = clamp32(m21);
    shape->fit[3] = clamp32(m22);
}

}  // namespace vexa
