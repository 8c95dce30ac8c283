#include "Classify.h"

#include <stdio.h>

#include <string.h>

#include "Align.h"
#include "Arrows.h"
#include "Beautify.h"
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
    int32_t cx, cy;
    boxCentre(&shape->points->box, &cx, &cy);
    const Point16 centre = {static_cast<int16_t>(cx), static_cast<int16_t>(cy)};
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
    if (s->beautify) {
        snapAxisEdges(a);
        symmetrizePolyline(a);
        // The regular outline becomes the shape's own.
        for (int i = 0; i < a->vertexCount && i < vertexCount(shape); ++i)
            vertexAt(shape, i)->pos = {a->vertices[2 * i], a->vertices[2 * i + 1]};
    }
    return addOrFree(shape, a);
}

bool addArrowAnswer(Shape* shape) {
    VSANSWER* a = newAnswerFor(shape, static_cast<int16_t>(shape->kind), shape->name);
    if (!a) return false;
    a->score = shape->error;
    if (!setAnswerVertices(a, shape, false)) {
        freeShapeAnswer(a);
        return false;
    }
    return addOrFree(shape, a);
}

// An answer of a template fitted to the copy: the copy's fitted outline,
// regularised when the shaper beautifies.
bool addTemplateAnswer(Shaper* s, Shape* shape, Shape* copy, const ShapeTemplate* t, int32_t cost,
                       bool closed) {
    static const char* const kNames[4] = {"", "TRIG", "PARA", "ELLI"};
    VSANSWER* a = newAnswerFor(shape, t->kind, kNames[t->kind]);
    if (!a) return false;
    a->score = clamp16(cost);
    a->closed = closed ? 1 : 0;
    const int16_t mx = copy->matchX, my = copy->matchY;
    if (t->kind == kKindEllipse) refineEllipseFit(t, copy);
    denormalizeShape(copy);
    if (!setAnswerVertices(a, copy, true)) {
        freeShapeAnswer(a);
        return false;
    }
    a->orientation = static_cast<int32_t>(shape->orientation);
    setEllipseParameters(a, mx, my);
    if (t->kind == kKindEllipse && !a->params) {
        freeShapeAnswer(a);
        return false;
    }
    beautifyShape(a, t, s->beautify != 0);
    return addOrFree(shape, a);
}

void dropAnswerOfKind(Shape* shape, int16_t kind) {
    freeShapeAnswer(takeAnswerOfKind(shape, kind));
}

constexpr int32_t kFitLimit[3] = {100, 156, 188};

// Fits the three templates to the closed shape; every template that fits
// well enough adds an answer. -1 on failure, else the kind of the best (0: none).
int templateClassify(Shaper* s, Shape* shape) {
    if (!s->templates) return -1;
    if (shape->strokeCount > 4 || hasSelfCrossing(shape)) return 0;
    mergeEndOverlap(shape, nullptr);
    if (vertexCount(shape) < 3) return 0;
    const int32_t curveLimit = s->tuning[kCurveDeviationLimit];
    int32_t bestCost = 1000;
    int best = 0;
    for (int16_t ti = 0; ti < templateCount(s->templates); ++ti) {
        const ShapeTemplate* t = templateAt(s->templates, ti);
        Shape* copy = copyShape(shape);
        if (!copy) return -1;
        if (removeConcaveVertices(copy)) {
            freeShape(copy);
            return 0;
        }
        int64_t base;
        int target;
        if (t->kind == kKindTriangle && copy->strokeCount < 4) {
            target = 4;
            base = 2 * (static_cast<int64_t>(copy->deviation) - curveLimit) +
                   reduceToVertexCount(copy, 4);
        } else if (t->kind == kKindParallelogram && copy->strokeCount < 5) {
            target = 5;
            base =
                (static_cast<int64_t>(copy->deviation) - curveLimit) + reduceToVertexCount(copy, 5);
        } else if (t->kind == kKindEllipse && copy->strokeCount == 1 && vertexCount(copy) >= 4) {
            target = 33;
            resampleClosedStroke(copy, 33);
            base = 8 * (static_cast<int64_t>(curveLimit) - copy->deviation);
            for (int i = 1; i + 1 < vertexCount(shape); ++i) {
                const int16_t c = vertexAt(shape, i)->corner;
                if (c < 16) base += 16 - c;
            }
        } else {
            freeShape(copy);
            continue;
        }
        if (base < 0) base = 0;
        if (vertexCount(copy) != target) {
            freeShape(copy);
            continue;
        }
        normalizeShape(copy);
        int32_t mismatch = 0;
        int64_t d = matchTemplateDistance(t, copy, &mismatch) >> 10;
        if (d < 0) d = 9999;
        if (mismatch > 300) d += mismatch - 128;
        int64_t cost = d + base;
        if (cost >= 100) {
            freeShape(copy);
            continue;
        }
        const int64_t f = (largestChordDeviation(copy, nullptr) >> 10) / 2;
        cost += f;
        if (cost >= 230 || f >= kFitLimit[ti < 3 ? ti : 2]) {
            freeShape(copy);
            continue;
        }
        const bool added = addTemplateAnswer(s, shape, copy, t, static_cast<int32_t>(cost), true);
        freeShape(copy);
        if (!added) return -1;
        if (cost < bestCost) {
            bestCost = static_cast<int32_t>(cost);
            best = t->kind;
        }
    }
    if (best) {
        dropAnswerOfKind(shape, kKindPolyline);
        dropAnswerOfKind(shape, kKindCurve);
    }
    return best;
}

// A one-stroke shape read as an ellipse without the closing and area tests.
int singleStrokeEllipse(Shaper* s, Shape* shape) {
    if (!s->templates) return -1;
    if (shape->strokeCount > 1) return 0;
    int result = 0;
    for (int16_t ti = 0; ti < templateCount(s->templates); ++ti) {
        const ShapeTemplate* t = templateAt(s->templates, ti);
        if (t->kind != kKindEllipse) continue;
        Shape* copy = copyShape(shape);
        if (!copy) return -1;
        resampleClosedStroke(copy, static_cast<int16_t>(t->points->count + 1));
        if (vertexCount(copy) == t->points->count + 1) {
            normalizeShape(copy);
            const int64_t d = matchTemplateDistance(t, copy, nullptr) >> 10;
            if (d >= 0 && d < 64) {
                const int64_t cost =
                    d + copy->straightness / 2 + (largestChordDeviation(copy, nullptr) >> 10);
                if (cost < 175) {
                    if (!addTemplateAnswer(s, shape, copy, t, static_cast<int32_t>(cost), false)) {
                        freeShape(copy);
                        return -1;
                    }
                    result = kKindEllipse;
                    dropAnswerOfKind(shape, kKindCurve);
                }
            }
        }
        freeShape(copy);
    }
    return result;
}

// The new polyline is offered to each pending shape, newest first. A shape
// that it absorbs hands over its strokes behind the new one's, from its last
// stroke to its first; beyond 32 strokes the rest are dropped.
void mergeWithPending(Shaper* s, Shape* shape, int32_t mode) {
    for (int i = s->pendingShapes.count - 1; i >= 0; --i) {
        Shape* pending = ptrAt<Shape>(&s->pendingShapes, i);
        if (pending->kind == kKindCurve) continue;
        if (!joinWithPendingShape(shape, pending, mode == 4)) continue;
        for (int k = pending->strokeCount - 1; k >= 0; --k) {
            if (shape->strokeCount >= kMaxShapeStrokes) break;
            shape->callerIds[shape->strokeCount] = pending->callerIds[k];
            shape->internalNumbers[shape->strokeCount] = pending->internalNumbers[k];
            ++shape->strokeCount;
        }
        ptrListRemoveAt(&s->pendingShapes, i);
        freeShape(pending);
    }
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
    if (!s->finishAtOnce) mergeWithPending(s, shape, 2);
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

bool templatePath(Shaper* s, Shape* shape, bool keepPending) {
    adaptThresholds(s, shape);
    bool isPoint = false;
    if (!pointTest(s, shape, &isPoint)) return false;
    if (isPoint) return true;
    if (!approximatePolyline(shape)) return false;
    trimEndHooks(shape);
    const bool isPoly = shape->deviation <= s->tuning[kCurveDeviationLimit];
    bool closedCurve = false, templated = false;
    if (isPoly) {
        shape->kind = kKindPolyline;
        arrowFromOneStroke(shape);
    } else {
        shape->kind = kKindCurve;
        if (!addCurveAnswer(s, shape)) return false;
        if (closeNearlyClosedStroke(shape)) {
            closedCurve = true;
            computeAreaAndOrientation(shape);
            const int r = templateClassify(s, shape);
            if (r < 0) return false;
            templated = r > 0;
        }
    }
    if (isPoly || (closedCurve && !templated)) {
        if (shape->kind != kKindCurve && shape->kind != kKindArrow && !s->finishAtOnce)
            mergeWithPending(s, shape, 4);
        if (shape->kind == kKindArrow || shape->kind == kKindDoubleArrow) {
            if (!keepPending) finalizeAllPending(s);
            if (!addArrowAnswer(shape)) return false;
            const bool finished = shape->kind == kKindDoubleArrow || s->finishAtOnce;
            fileShape(s, shape, false, finished);
            return true;
        }
        if (endsMeet(shape)) {
            computeAreaAndOrientation(shape);
            const int r = templateClassify(s, shape);
            if (r < 0) return false;
            if (r == 0 && isPoly && !addPolylineAnswer(s, shape, false)) return false;
        } else {
            computeAreaAndOrientation(shape);
            const int r = singleStrokeEllipse(s, shape);
            if (r < 0) return false;
            if (r == 0) {
                if (!keepPending) limitPending(s);
                if (isPoly && !addPolylineAnswer(s, shape, false)) return false;
                fileShape(s, shape, true, s->finishAtOnce && !keepPending);
                return true;
            }
        }
    }
    if (!keepPending) finalizeAllPending(s);
    fileShape(s, shape, true, true);
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
    } else if (flags & kFlagTemplates) {
        const int16_t before = finishedCount(s);
        ok = templatePath(s, shape, keepPending);
        if (ok && s->alignOnFinish && finishedCount(s) != before) applyVexaAlign(s, 0);
    } else if (flags & kFlagPlain) {
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

}  // namespace vexa
