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
    Vertex* last = vertexAt(shape, vertexCount(shape) - 1);
    last->pos = vertexAt(shape, 0)->pos;
    shape->closed = 1;
    return 1;
}

}  // namespace vexa
