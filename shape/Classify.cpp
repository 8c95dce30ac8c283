#include "Classify.h"

#include <stdio.h>

#include "Polyline.h"
#include "ShapeAnswer.h"
#include "Templates.h"

namespace vexa {

namespace {

int16_t finishedCount(const Shaper* s) { return static_cast<int16_t>(s->finishedShapes.count); }

// Files the shape once it has output points; a shape whose output cannot be
// made is dropped (the path still succeeds).
void fileShape(Shaper* s, Shape* shape, bool fromAnswer, bool finished) {
    if (!finishShape(shape, fromAnswer)) {
        ptrListRemove(&s->pendingShapes, shape);
        ptrListRemove(&s->finishedShapes, shape);
        freeShape(shape);
        return;
    }
    PtrList* list = finished ? &s->finishedShapes : &s->pendingShapes;
    if (ptrListAppendUnique(list, shape) < 0) freeShape(shape);
}

void adaptThresholds(Shaper* s, const Shape* shape) {
    const int32_t size = pointSize(shape->points);
    int32_t poly = 12, split = 10;
    if (size < 32) {
        poly = split = 5;
    } else if (size <= 128) {
        poly = 5 + (size - 32) * 7 / 96;
        split = 5 + (size - 32) * 5 / 96;
    }
    s->tuning[kPolyThreshold] = static_cast<uint16_t>(poly);
    s->tuning[kSplitThreshold] = static_cast<uint16_t>(split);
}

VSANSWER* newAnswerFor(const Shape* shape, int16_t kind, const char* name) {
    VSANSWER* a = newShapeAnswer();
    if (!a) return nullptr;
    a->kind = kind;
    a->alignId = static_cast<int16_t>(shape->alignGroup);
    setAnswerName(a, name);
    return a;
}

bool addOrFree(Shape* shape, VSANSWER* a) {
    if (addAnswerSorted(shape, a)) return true;
    freeShapeAnswer(a);
    return false;
}

// A shape smaller than 7 units is a point: one vertex at the centre of its box.
bool pointTest(Shaper* s, Shape* shape, bool* isPoint) {
    *isPoint = pointSize(shape->points) < 7;
    if (!*isPoint) return true;
    const Box& b = shape->points->box;
    const Point16 centre = {static_cast<int16_t>((b.minX + b.maxX) >> 1),
                            static_cast<int16_t>((b.minY + b.maxY) >> 1)};
    VSANSWER* a = newAnswerFor(shape, kKindPoint, "POINT");
    if (!a) return false;
    if (!setAnswerPoints(a, &centre, 1)) {
        freeShapeAnswer(a);
        return false;
    }
    if (!addOrFree(shape, a)) return false;
    shape->kind = kKindPoint;
    fileShape(s, shape, true, true);
    return true;
}

bool addCurveAnswer(Shaper* s, Shape* shape) {
    VSANSWER* a = newAnswerFor(shape, kKindCurve, "CURV");
    if (!a) return false;
    const int32_t limit = 2 * s->tuning[kPolyThreshold];
    a->score = static_cast<int16_t>(shape->error <= limit ? 8 * (limit - shape->error) : 0);
    if (!setAnswerPoints(a, shape->points->points, shape->points->count)) {
        freeShapeAnswer(a);
        return false;
    }
    return addOrFree(shape, a);
}

bool addPolylineAnswer(Shaper* s, Shape* shape, bool adjusted) {
    char name[32];
    snprintf(name, sizeof(name), "POLY_%i", vertexCount(shape) - 1);
    VSANSWER* a = newAnswerFor(shape, kKindPolyline, name);
    if (!a) return false;
    a->score = static_cast<int16_t>(8 * shape->error);
    a->closed = shape->closed ? 1 : 0;
    if (!setAnswerVertices(a, shape, adjusted)) {
        freeShapeAnswer(a);
        return false;
    }
    return addOrFree(shape, a);
}

// While four or more shapes are pending the oldest are finished; they go in
// front of the shapes finished earlier, in their own order.
void limitPending(Shaper* s) {
    int front = 0;
    while (s->pendingShapes.count >= 4) {
        Shape* oldest = static_cast<Shape*>(ptrListRemoveAt(&s->pendingShapes, 0));
        if (!finishShape(oldest, true) || !ptrListInsertAt(&s->finishedShapes, front, oldest)) {
            freeShape(oldest);
            continue;
        }
        ++front;
    }
}

bool plainPath(Shaper* s, Shape* shape, bool keepPending) {
    adaptThresholds(s, shape);
    bool isPoint = false;
    if (!pointTest(s, shape, &isPoint)) return false;
    if (isPoint) return true;
    approximatePolyline(shape);
    trimEndHooks(shape);
    if (shape->deviation > s->tuning[kCurveDeviationLimit]) {
        shape->kind = kKindCurve;
        if (!addCurveAnswer(s, shape)) return false;
        if (!keepPending) finalizeAllPending(s);
        fileShape(s, shape, true, true);
        return true;
    }
    shape->kind = kKindPolyline;
    const bool closed = closeNearlyClosedStroke(shape) != 0;
    if (!addPolylineAnswer(s, shape, false)) return false;
    if (closed) {
        if (!keepPending) finalizeAllPending(s);
        fileShape(s, shape, false, true);
    } else {
        if (!keepPending) limitPending(s);
        fileShape(s, shape, false, s->finishAtOnce && !keepPending);
    }
    return true;
}

bool longStroke(Shaper* s, Shape* shape) {
    shape->kind = kKindCurve;
    if (!addCurveAnswer(s, shape)) return false;
    fileShape(s, shape, true, true);
    return true;
}

bool asDrawn(Shaper* s, Shape* shape) {
    VSANSWER* a = newShapeAnswer();
    if (!a) return false;
    if (!answerFromVertexList(shape->points->points, shape->points->count, a, 0)) {
        freeShapeAnswer(a);
        return false;
    }
    a->alignId = static_cast<int16_t>(shape->alignGroup);
    if (!addOrFree(shape, a)) return false;
    fileShape(s, shape, true, true);
    if (s->alignOnFinish) applyVexaAlign(s, 0);
    return true;
}

}  // namespace

uint16_t classifyStroke(Shaper* s, Shape* shape, int flags) {
    s->beautify = (flags & kFlagBeautify) ? 1 : 0;
    s->alignOnFinish = (flags & kFlagAlign) ? 1 : 0;
    s->finishAtOnce = (flags & kFlagFinishNow) ? 1 : 0;
    shape->owner = s;
    const bool keepPending = (flags & kFlagKeepPending) != 0;
    bool ok;
    if (shape->points->count > kLongStroke) {
        ok = longStroke(s, shape);
    } else if (flags & kFlagAsDrawn) {
        ok = asDrawn(s, shape);
    } else if (flags & (kFlagTemplates | kFlagPlain)) {
        ok = plainPath(s, shape, keepPending);
    } else {
        freeShape(shape);
        ok = true;
    }
    if (!ok) {
        freeShape(shape);
        return 0xFFFF;
    }
    return static_cast<uint16_t>(finishedCount(s));
}

int16_t finalizeAllPending(Shaper* s) {
    for (int i = 0; i < s->pendingShapes.count; ++i) {
        Shape* shape = ptrAt<Shape>(&s->pendingShapes, i);
        if (ptrListIndexOf(&s->finishedShapes, shape) >= 0) continue;
        if (!finishShape(shape, true) || !ptrListAppend(&s->finishedShapes, shape))
            freeShape(shape);
    }
    ptrListReset(&s->pendingShapes);
    return finishedCount(s);
}

int16_t applyVexaAlign(Shaper* s, int flags) { return finishedCount(s); }

}  // namespace vexa
