// Answer records and the copies handed to the caller.
#include "ShapeAnswer.h"

#include <string.h>

#include "Memory.h"

namespace vexa {

namespace {

template <class T>
T* allocArray(int n) {
    return static_cast<T*>(allocBlock(sizeof(T) * static_cast<size_t>(n > 0 ? n : 1)));
}

template <class T>
T* duplicateArray(const T* from, int n) {
    T* to = allocArray<T>(n);
    if (to && n > 0) memcpy(to, from, sizeof(T) * static_cast<size_t>(n));
    return to;
}

void copyName(char* to, const char* from) {
    memset(to, 0, 32);
    for (int i = 0; i < 32 && from[i]; ++i) to[i] = from[i];
}

int32_t verticesSize(const int16_t* v, int n) {
    int32_t maxX = -9999, minX = 9999, maxY = -9999, minY = 9999;
    for (int i = 0; i < n; ++i) {
        if (v[2 * i] > maxX) maxX = v[2 * i];
        if (v[2 * i] < minX) minX = v[2 * i];
        if (v[2 * i + 1] > maxY) maxY = v[2 * i + 1];
        if (v[2 * i + 1] < minY) minY = v[2 * i + 1];
    }
    if (n < 1) return 0;
    return maxX - minX > maxY - minY ? maxX - minX : maxY - minY;
}

}  // namespace

VSANSWER* newShapeAnswer() {
    VSANSWER* answer = static_cast<VSANSWER*>(allocZeroed(sizeof(VSANSWER)));
    if (answer) resetShapeAnswer(answer);
    return answer;
}

void resetShapeAnswer(VSANSWER* a) {
    a->kind = 0;
    a->score = -1;
    memset(a->name, 0, sizeof(a->name));
    a->strokeCount = 0;
    a->strokes = nullptr;
    a->aliases = nullptr;
    a->vertexCount = 0;
    a->vertices = nullptr;
    a->alignedVertices = nullptr;
    a->vertexIndexes = nullptr;
    a->size = 0;
    a->paramLength = 0;
    a->params = nullptr;
    a->fresh = 1;
    a->alignValue = 1;
    a->closed = 0;
    a->tableValue = -1;
    a->xmlCapacity = 0;
    a->xmlText = nullptr;
}

void clearShapeAnswerArrays(VSANSWER* a) {
    if (!a) return;
    freeBlock(a->strokes);
    freeBlock(a->aliases);
    freeBlock(a->params);
    freeBlock(a->vertices);
    freeBlock(a->alignedVertices);
    freeBlock(a->vertexIndexes);
    freeBlock(a->xmlText);
    resetShapeAnswer(a);
}

void freeShapeAnswer(VSANSWER* a) {
    if (!a) return;
    clearShapeAnswerArrays(a);
    freeBlock(a);
}

void setAnswerName(VSANSWER* answer, const char* name) { copyName(answer->name, name); }

bool setAnswerVertices(VSANSWER* a, const Shape* shape, bool useAdjusted) {
    const int n = vertexCount(shape);
    int16_t* vertices = allocArray<int16_t>(2 * n);
    int16_t* aligned = allocArray<int16_t>(2 * n);
    int16_t* indexes = allocArray<int16_t>(n);
    if (!vertices || !aligned || !indexes) {
        freeBlock(vertices);
        freeBlock(aligned);
        freeBlock(indexes);
        freeBlock(a->vertices);
        freeBlock(a->alignedVertices);
        freeBlock(a->vertexIndexes);
        a->vertices = a->alignedVertices = a->vertexIndexes = nullptr;
        a->vertexCount = 0;
        return false;
    }
    for (int i = 0; i < n; ++i) {
        const Vertex* v = vertexAt(shape, i);
        const Point16 p = useAdjusted ? v->adjusted : v->pos;
        vertices[2 * i] = p.x;
        vertices[2 * i + 1] = p.y;
        aligned[2 * i] = v->pos.x;
        aligned[2 * i + 1] = v->pos.y;
        indexes[i] = v->pointIndex;
    }
    freeBlock(a->vertices);
    freeBlock(a->alignedVertices);
    freeBlock(a->vertexIndexes);
    a->vertices = vertices;
    a->alignedVertices = aligned;
    a->vertexIndexes = indexes;
    a->vertexCount = static_cast<int16_t>(n);
    a->size = verticesSize(vertices, n);
    return true;
}

bool setAnswerPoints(VSANSWER* a, const Point16* points, int n) {
    int16_t* vertices = allocArray<int16_t>(2 * n);
    if (!vertices) return false;
    for (int i = 0; i < n; ++i) {
        vertices[2 * i] = points[i].x;
        vertices[2 * i + 1] = points[i].y;
    }
    freeBlock(a->vertices);
    a->vertices = vertices;
    a->vertexCount = static_cast<int16_t>(n);
    a->size = verticesSize(vertices, n);
    return true;
}

bool setAnswerParams(VSANSWER* a, const int16_t* values, int count) {
    uint8_t* params =
        static_cast<uint8_t*>(allocBlock(sizeof(int16_t) * static_cast<size_t>(count)));
    if (!params) return false;
    memcpy(params, values, sizeof(int16_t) * static_cast<size_t>(count));
    freeBlock(a->params);
    a->params = params;
    a->paramLength = static_cast<uint16_t>(sizeof(int16_t) * count);
    return true;
}

void reverseAnswerPoints(VSANSWER* a, uint16_t pointCount) {
    if (!a) return;
    const int n = a->vertexCount;
    if (a->vertices) reversePoints(a->vertices, n, 2);
    if (a->alignedVertices) reversePoints(a->alignedVertices, n, 2);
    if (a->vertexIndexes) {
        for (int i = 0; i < n; ++i)
            a->vertexIndexes[i] = static_cast<int16_t>(pointCount - 1 - a->vertexIndexes[i]);
        reversePoints(a->vertexIndexes, n, 1);
    }
}

bool copyAnswerForOutput(VSANSWER* src, VSANSWER* dst, int32_t scale) {
    // A scale whose shift is 0 or less took the points unchanged (as 1024 does).
    const int32_t shift = scaleShift(scale ? scale : 1024);
    const int32_t s = shift <= 0 ? 10 : shift;
    dst->kind = src->kind;
    dst->score = src->score;
    copyName(dst->name, src->name);
    dst->vertexCount = 0;
    dst->vertices = nullptr;
    const int n = src->vertexCount > 0 ? src->vertexCount : 0;
    if (n) {
        dst->vertices = allocArray<int16_t>(2 * n);
        if (!dst->vertices) {
            clearShapeAnswerArrays(dst);
            return false;
        }
        const int16_t* p = reinterpret_cast<const int16_t*>(src->params);
        const bool circle = src->name[5] == 'c' || src->name[5] == 'C';
        if (src->kind == kKindEllipse && p && circle && src->paramLength >= 6) {
            circlePoints(n, dst->vertices, p[0], p[1], p[2], s);
        } else if (src->kind == kKindEllipse && p && !circle && src->paramLength >= 12) {
            const int32_t params[6] = {p[0], p[1], p[2], p[3], p[4], p[5]};
            ellipsePoints(n, dst->vertices, params, s);
        } else {
            for (int i = 0; i < 2 * n; ++i) dst->vertices[i] = toCaller(src->vertices[i], s);
        }
        dst->vertexCount = static_cast<int16_t>(n);
    }
    dst->size = clamp32((static_cast<int64_t>(src->size) * 1024) >> s);
    if (src->params && src->paramLength) {
        dst->params = duplicateArray(src->params, src->paramLength);
        if (!dst->params) {
            clearShapeAnswerArrays(dst);
            return false;
        }
        dst->paramLength = src->paramLength;
    }
    if (src->vertexIndexes && n) {
        dst->vertexIndexes = duplicateArray(src->vertexIndexes, n);
        if (!dst->vertexIndexes) {
            clearShapeAnswerArrays(dst);
            return false;
        }
    }
    dst->fresh = src->fresh;
    dst->alignValue = src->alignValue;
    dst->closed = src->closed;
    dst->alignId = src->alignId;
    dst->tableValue = src->tableValue;
    src->fresh = 0;
    return true;
}

VSANSWER* copyVSAnswer(const VSANSWER* a) {
    if (!a) return nullptr;
    VSANSWER* c = newShapeAnswer();
    if (!c) return nullptr;
    c->kind = a->kind;
    c->score = a->score;
    copyName(c->name, a->name);
    c->strokeCount = a->strokeCount;
    c->vertexCount = a->vertexCount;
    c->size = a->size;
    c->paramLength = a->paramLength;
    c->fresh = a->fresh;
    c->alignValue = a->alignValue;
    c->closed = a->closed;
    c->orientation = a->orientation;
    c->alignId = a->alignId;
    c->tableValue = a->tableValue;
    const int strokes = a->strokeCount;
    const int n = a->vertexCount > 0 ? a->vertexCount : 0;
    bool ok = true;
    if (a->strokes) ok = ok && (c->strokes = duplicateArray(a->strokes, strokes));
    if (a->aliases) ok = ok && (c->aliases = duplicateArray(a->aliases, strokes));
    if (a->vertices) ok = ok && (c->vertices = duplicateArray(a->vertices, 2 * n));
    if (a->alignedVertices)
        ok = ok && (c->alignedVertices = duplicateArray(a->alignedVertices, 2 * n));
    if (a->vertexIndexes) ok = ok && (c->vertexIndexes = duplicateArray(a->vertexIndexes, n));
    if (a->params) ok = ok && (c->params = duplicateArray(a->params, a->paramLength));
    if (!ok) {
        freeShapeAnswer(c);
        return nullptr;
    }
    return c;
}

int getShapeAnswerAt(Shape* shape, int index, VSANSWER* out) {
    VSANSWER* src = answerAt(shape, index);
    if (!src || !out) return 0;
    memset(out->name, 0, sizeof(out->name));
    out->strokeCount = 0;
    out->strokes = nullptr;
    out->aliases = nullptr;
    const int strokes = shape->strokeCount;
    out->strokes = allocArray<uint16_t>(strokes);
    out->aliases = allocArray<uint16_t>(strokes);
    if (!out->strokes || !out->aliases) {
        clearShapeAnswerArrays(out);
        return 0;
    }
    for (int k = 0; k < strokes; ++k) {
        out->strokes[k] = static_cast<uint16_t>(shape->internalNumbers[k]);
        out->aliases[k] = static_cast<uint16_t>(shape->callerIds[k]);
    }
    out->strokeCount = static_cast<uint16_t>(strokes);
    return copyAnswerForOutput(src, out, shape->scale) ? 1 : 0;
}

}  // namespace vexa
