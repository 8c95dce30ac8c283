// Shapes: make, copy, free, answers, output points and the editing
// operations on their vertex lists.
#include <string.h>

#include "Memory.h"
#include "Polyline.h"
#include "ShapeAnswer.h"
#include "ShapeRecords.h"

namespace vexa {

Vertex* newVertex() {
    Vertex* v = static_cast<Vertex*>(allocZeroed(sizeof(Vertex)));
    if (!v) return nullptr;
    v->pointIndex = -1;
    v->turn = 2048;
    v->turn2 = 2048;
    return v;
}

void freeVertex(Vertex* v) { freeBlock(v); }

void placeVertex(Vertex* v, const PointList* list, int index) {
    v->pointIndex = static_cast<int16_t>(index);
    v->pos = list->points[index];
    v->arcPos = list->arc[index];
}

void linkVertices(Vertex* a, Vertex* b, int32_t deviation, int32_t length) {
    const uint16_t dev =
        static_cast<uint16_t>(deviation < 0 ? 0 : (deviation > 65535 ? 65535 : deviation));
    a->next = b;
    a->outDeviation = dev;
    a->outLength = length;
    b->prev = a;
    b->inDeviation = dev;
    b->inLength = length;
}

Shape* newShape() {
    Shape* shape = static_cast<Shape*>(allocZeroed(sizeof(Shape)));
    if (!shape) return nullptr;
    ptrListInit(&shape->vertices);
    ptrListInit(&shape->answers);
    shape->scale = 1024;
    return shape;
}

Shape* makeShapeFromPoints(int n, const int16_t* xy, int32_t scale) {
    Shape* shape = newShape();
    if (!shape) return nullptr;
    shape->points = makePointList(n, xy, scaleShift(scale));
    if (!shape->points) {
        freeShape(shape);
        return nullptr;
    }
    shape->scale = scale;
    return shape;
}

void freeShapeVertices(Shape* shape) {
    for (int i = 0; i < shape->vertices.count; ++i) freeVertex(vertexAt(shape, i));
    ptrListReset(&shape->vertices);
}

void freeShape(Shape* shape) {
    if (!shape) return;
    freePointList(shape->points);
    freeShapeVertices(shape);
    ptrListFree(&shape->vertices);
    for (int i = 0; i < shape->answers.count; ++i) freeShapeAnswer(answerAt(shape, i));
    ptrListFree(&shape->answers);
    freeBlock(shape->output);
    freeBlock(shape);
}

Shape* copyShape(const Shape* from) {
    Shape* shape = newShape();
    if (!shape) return nullptr;
    shape->owner = from->owner;
    shape->kind = from->kind;
    memcpy(shape->name, from->name, sizeof(shape->name));
    shape->error = from->error;
    shape->deviation = from->deviation;
    shape->straightness = from->straightness;
    shape->closed = from->closed;
    shape->finishedMark = from->finishedMark;
    shape->orientation = from->orientation;
    shape->area = from->area;
    shape->alignGroup = from->alignGroup;
    shape->reversed = from->reversed;
    shape->scale = from->scale;
    shape->matchX = from->matchX;
    shape->matchY = from->matchY;
    shape->strokeCount = from->strokeCount;
    memcpy(shape->callerIds, from->callerIds, sizeof(shape->callerIds));
    memcpy(shape->internalNumbers, from->internalNumbers, sizeof(shape->internalNumbers));
    memcpy(shape->strokeIndexes, from->strokeIndexes, sizeof(shape->strokeIndexes));
    memcpy(shape->fit, from->fit, sizeof(shape->fit));
    if (from->points && !(shape->points = copyPointList(from->points))) {
        freeShape(shape);
        return nullptr;
    }
    if (from->output && from->outputCount > 0) {
        const size_t bytes = sizeof(double) * 2 * static_cast<size_t>(from->outputCount);
        shape->output = static_cast<double*>(allocBlock(bytes));
        if (!shape->output) {
            freeShape(shape);
            return nullptr;
        }
        memcpy(shape->output, from->output, bytes);
        shape->outputCount = from->outputCount;
    }
    if (!ptrListReserve(&shape->vertices, from->vertices.count)) {
        freeShape(shape);
        return nullptr;
    }
    Vertex* previous = nullptr;
    for (int i = 0; i < from->vertices.count; ++i) {
        Vertex* v = newVertex();
        if (!v) {
            freeShape(shape);
            return nullptr;
        }
        *v = *vertexAt(from, i);
        v->prev = previous;
        v->next = nullptr;
        if (previous) previous->next = v;
        ptrListAppend(&shape->vertices, v);
        previous = v;
    }
    return shape;
}

bool addAnswerSorted(Shape* shape, VSANSWER* answer) {
    int at = 0;
    while (at < shape->answers.count && answerAt(shape, at)->score <= answer->score) ++at;
    return ptrListInsertAt(&shape->answers, at, answer);
}

VSANSWER* takeAnswerOfKind(Shape* shape, int16_t kind) {
    for (int i = 0; i < shape->answers.count; ++i) {
        if (answerAt(shape, i)->kind == kind)
            return static_cast<VSANSWER*>(ptrListRemoveAt(&shape->answers, i));
    }
    return nullptr;
}

bool finishShape(Shape* shape, bool fromAnswer) {
    freeBlock(shape->output);
    shape->output = nullptr;
    shape->outputCount = 0;
    int count = 0;
    bool addFirst = false;
    const VSANSWER* answer = nullptr;
    if (fromAnswer) {
        answer = answerAt(shape, 0);
        if (!answer || answer->vertexCount < 1 || !answer->vertices) return false;
        count = answer->vertexCount;
    } else {
        count = vertexCount(shape);
        if (count < 1) return false;
        // A closed outline repeats its first vertex at the end.
        addFirst = shape->closed != 0;
    }
    const int total = count + (addFirst ? 1 : 0);
    double* out = static_cast<double*>(allocBlock(sizeof(double) * 2 * static_cast<size_t>(total)));
    if (!out) return false;
    for (int i = 0; i < count; ++i) {
        if (answer) {
            out[2 * i] = answer->vertices[2 * i];
            out[2 * i + 1] = answer->vertices[2 * i + 1];
        } else {
            out[2 * i] = vertexAt(shape, i)->pos.x;
            out[2 * i + 1] = vertexAt(shape, i)->pos.y;
        }
    }
    if (addFirst) {
        out[2 * count] = out[0];
        out[2 * count + 1] = out[1];
    }
    shape->output = out;
    shape->outputCount = total;
    return true;
}

int findSegment(const Shape* shape, int p) {
    const int n = vertexCount(shape);
    if (n < 2) return -1;
    for (int j = 0; j + 1 < n; ++j) {
        if (vertexAt(shape, j)->pointIndex <= p && p <= vertexAt(shape, j + 1)->pointIndex)
            return j;
    }
    return -1;
}

int splitAtPoint(Shape* shape, int p) {
    const int j = findSegment(shape, p);
    if (j < 0) return -1;
    Vertex* a = vertexAt(shape, j);
    Vertex* b = vertexAt(shape, j + 1);
    if (a->pointIndex == p) return j;
    if (b->pointIndex == p) return j + 1;
    Vertex* v = newVertex();
    if (!v) return -1;
    placeVertex(v, shape->points, p);
    if (!ptrListInsertAt(&shape->vertices, j + 1, v)) {
        freeVertex(v);
        return -1;
    }
    int32_t chord = 0;
    int32_t d = chordDeviation(shape->points, a->pointIndex, p, &chord);
    linkVertices(a, v, d, chord);
    d = chordDeviation(shape->points, p, b->pointIndex, &chord);
    linkVertices(v, b, d, chord);
    return j + 1;
}

void removeVertex(Shape* shape, int j) {
    Vertex* v = static_cast<Vertex*>(ptrListRemoveAt(&shape->vertices, j));
    if (!v) return;
    Vertex* prev = j > 0 ? vertexAt(shape, j - 1) : nullptr;
    Vertex* next = vertexAt(shape, j);
    if (prev && next) {
        int32_t chord = 0;
        int32_t d = chordDeviation(shape->points, prev->pointIndex, next->pointIndex, &chord);
        linkVertices(prev, next, d, chord);
    } else if (prev) {
        prev->next = nullptr;
        prev->outLength = 0;
        prev->outDeviation = 0;
    } else if (next) {
        next->prev = nullptr;
        next->inLength = 0;
        next->inDeviation = 0;
    }
    freeVertex(v);
}

void cutAtVertex(Shape* shape, int j, bool head) {
    Vertex* v = vertexAt(shape, j);
    if (!v) return;
    PointList* list = shape->points;
    const int k = v->pointIndex;
    if (k < 0 || k >= list->count) return;
    if (head) {
        const int32_t base = list->arc[k];
        memmove(list->points, list->points + k,
                sizeof(Point16) * static_cast<size_t>(list->count - k));
        for (int i = 0; i + k < list->count; ++i) list->arc[i] = list->arc[i + k] - base;
        list->count = static_cast<uint16_t>(list->count - k);
        for (int i = 0; i < j; ++i)
            freeVertex(static_cast<Vertex*>(ptrListRemoveAt(&shape->vertices, 0)));
        for (int i = 0; i < vertexCount(shape); ++i) {
            Vertex* w = vertexAt(shape, i);
            w->pointIndex = static_cast<int16_t>(w->pointIndex - k);
            w->arcPos -= base;
        }
        v->prev = nullptr;
        v->inLength = 0;
        v->inDeviation = 0;
    } else {
        list->count = static_cast<uint16_t>(k + 1);
        while (vertexCount(shape) > j + 1)
            freeVertex(static_cast<Vertex*>(ptrListRemoveAt(&shape->vertices, j + 1)));
        v->next = nullptr;
        v->outLength = 0;
        v->outDeviation = 0;
    }
    recomputeBox(list);
}

bool cutAtPoint(Shape* shape, int p, bool head) {
    const int j = splitAtPoint(shape, p);
    if (j < 0) return false;
    cutAtVertex(shape, j, head);
    return true;
}

bool appendPointToShape(Shape* shape, Point16 p) {
    PointList* list = shape->points;
    Vertex* v = newVertex();
    if (!v) return false;
    if (!pointListAppend(list, p)) {
        freeVertex(v);
        return false;
    }
    if (!ptrListAppend(&shape->vertices, v)) {
        list->count = static_cast<uint16_t>(list->count - 1);
        recomputeBox(list);
        freeVertex(v);
        return false;
    }
    placeVertex(v, list, list->count - 1);
    const int n = vertexCount(shape);
    if (n >= 2) {
        const int32_t step =
            list->count >= 2 ? arcBetween(list, list->count - 2, list->count - 1) : 0;
        linkVertices(vertexAt(shape, n - 2), v, 0, step);
    }
    return true;
}

bool joinShapes(Shape* a, const Shape* b, bool bFirst) {
    PointList* la = a->points;
    const PointList* lb = b->points;
    if (!la || !lb || la->count + lb->count > kMaxPoints) return false;
    const PointList* first = bFirst ? lb : la;
    const PointList* second = bFirst ? la : lb;
    const int firstCount = first->count;
    int32_t base = 0;
    if (first->count && second->count)
        base = addSaturated(first->arc[first->count - 1],
                            stepLength(first->points[first->count - 1], second->points[0]));
    const int nb = vertexCount(b);
    Vertex** copies =
        static_cast<Vertex**>(allocZeroed(sizeof(Vertex*) * static_cast<size_t>(nb ? nb : 1)));
    if (!copies) return false;
    bool ok = ptrListReserve(&a->vertices, a->vertices.count + nb);
    for (int i = 0; ok && i < nb; ++i) {
        copies[i] = newVertex();
        if (!copies[i])
            ok = false;
        else
            *copies[i] = *vertexAt(b, i);
    }
    if (ok) ok = joinPointLists(la, lb, bFirst);
    if (!ok) {
        for (int i = 0; i < nb; ++i) freeVertex(copies[i]);
        freeBlock(copies);
        return false;
    }
    // The vertices of the second part move behind the first part's points.
    const int na = vertexCount(a);
    if (bFirst) {
        for (int i = 0; i < na; ++i) {
            Vertex* v = vertexAt(a, i);
            v->pointIndex = static_cast<int16_t>(v->pointIndex + firstCount);
            v->arcPos = addSaturated(v->arcPos, base);
        }
    } else {
        for (int i = 0; i < nb; ++i) {
            copies[i]->pointIndex = static_cast<int16_t>(copies[i]->pointIndex + firstCount);
            copies[i]->arcPos = addSaturated(copies[i]->arcPos, base);
        }
    }
    for (int i = 0; i < nb; ++i) {
        copies[i]->prev = i ? copies[i - 1] : nullptr;
        copies[i]->next = i + 1 < nb ? copies[i + 1] : nullptr;
    }
    if (bFirst) {
        for (int i = nb - 1; i >= 0; --i) ptrListInsertAt(&a->vertices, 0, copies[i]);
        if (nb && na) {
            Vertex* last = copies[nb - 1];
            Vertex* next = vertexAt(a, nb);
            linkVertices(last, next, 0, distance(last->pos, next->pos));
        }
    } else {
        Vertex* last = na ? vertexAt(a, na - 1) : nullptr;
        for (int i = 0; i < nb; ++i) ptrListAppend(&a->vertices, copies[i]);
        if (last && nb) linkVertices(last, copies[0], 0, distance(last->pos, copies[0]->pos));
    }
    freeBlock(copies);
    return true;
}

void reverseShape(Shape* shape) {
    PointList* list = shape->points;
    const int n = list ? list->count : 0;
    const int32_t total = n ? list->arc[n - 1] : 0;
    const int count = vertexCount(shape);
    for (int i = 0, j = count - 1; i < j; ++i, --j) {
        void* t = shape->vertices.items[i];
        shape->vertices.items[i] = shape->vertices.items[j];
        shape->vertices.items[j] = t;
    }
    for (int i = 0; i < count; ++i) {
        Vertex* v = vertexAt(shape, i);
        v->pointIndex = static_cast<int16_t>(n - 1 - v->pointIndex);
        v->arcPos = total - v->arcPos;
        int32_t len = v->inLength;
        v->inLength = v->outLength;
        v->outLength = len;
        uint16_t dev = v->inDeviation;
        v->inDeviation = v->outDeviation;
        v->outDeviation = dev;
        Vertex* p = v->prev;
        v->prev = v->next;
        v->next = p;
    }
    for (int i = 0; i < shape->answers.count; ++i)
        reverseAnswerPoints(answerAt(shape, i), static_cast<uint16_t>(n));
    if (list) reversePointList(list);
    shape->reversed ^= 1u;
}

}  // namespace vexa
