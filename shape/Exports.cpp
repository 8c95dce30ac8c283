// The 42 exported functions. Every handle and pointer is checked, so that a
// null shaper, shape or answer is answered with the failure value instead of
// a fault.
#include <math.h>
#include <string.h>

#include "Align.h"
#include "AlignContext.h"
#include "Classify.h"
#include "Memory.h"
#include "ShapeAnswer.h"
#include "ShapeRecords.h"
#include "Shaper.h"
#include "Tables.h"
#include "VexaShape2.h"

using namespace vexa;

namespace {

constexpr uint16_t kFailed = 0xFFFF;

// "vexaShape" (R) " shape recognition engine v.2.5.38", the sign in Windows-1252.
const char kVersion[] = "vexaShape\xAE shape recognition engine v.2.5.38";

uint16_t addShape(Shaper* shaper, int n, const int16_t* points, int32_t scale, int16_t callerId,
                  uint16_t alignGroup, int flags) {
    Shape* shape = makeShapeFromPoints(n, points, scale);
    if (!shape) return kFailed;
    shape->alignGroup = alignGroup;
    shape->callerIds[0] = callerId;
    shape->internalNumbers[0] = static_cast<int16_t>(shaper->strokeCounter);
    shape->strokeCount = 1;
    ++shaper->strokeCounter;
    return classifyStroke(shaper, shape, flags);
}

// The output points of the shape under the list's cursor.
const double* outputAt(PtrList* list, void* item, uint32_t* count) {
    Shape* shape = static_cast<Shape*>(item);
    if (!shape) {
        *count = 0;
        return nullptr;
    }
    *count = static_cast<uint32_t>(shape->outputCount);
    return shape->output;
}

const double* firstOutput(PtrList* list, uint32_t* count) {
    return outputAt(list, ptrListFirst(list), count);
}

const double* nextOutput(PtrList* list, uint32_t* count) {
    return outputAt(list, ptrListNext(list), count);
}

const int16_t* currentIndexes(PtrList* list, uint32_t* count) {
    Shape* shape = static_cast<Shape*>(ptrListCurrent(list));
    if (!shape) {
        *count = 0;
        return nullptr;
    }
    *count = static_cast<uint32_t>(shape->strokeCount);
    return shape->strokeIndexes;
}

}  // namespace

extern "C" {

const char* VEXASHAPE_API GetShaperVerNumber(void) { return kVersion; }

Shaper* VEXASHAPE_API InitShaper(void) { return createShaper(); }

void VEXASHAPE_API DestroyShaper(Shaper* shaper) { destroyShaper(shaper); }

int VEXASHAPE_API SetShaperProperty(Shaper* shaper, const void* value, uint16_t id) {
    return setShaperProperty(shaper, value, id) ? 1 : 0;
}

void VEXASHAPE_API ResetShaper(Shaper* shaper) {
    if (shaper) resetShaper(shaper);
}

void VEXASHAPE_API ClearShaperOutput(Shaper* shaper) {
    if (shaper) clearShaperOutput(shaper);
}

void VEXASHAPE_API SetPolyThreshold(Shaper* shaper, double value) {
    if (!shaper || isnan(value)) return;
    const double r = floor(value + 0.5);
    shaper->tuning[kPolyThreshold] = r <= 0 ? 0 : (r >= 65535 ? 65535 : static_cast<uint16_t>(r));
}

double VEXASHAPE_API GetPolyThreshold(Shaper* shaper) {
    return shaper ? shaper->tuning[kPolyThreshold] : 0.0;
}

uint16_t VEXASHAPE_API AddStroke2ShaperEx(Shaper* shaper, const ShaperStroke* stroke, int flags) {
    if (!shaper || !stroke) return kFailed;
    const int16_t n = static_cast<int16_t>(stroke->count);
    if (n < 1 || !stroke->points) return kFailed;
    return addShape(shaper, n, stroke->points, shaper->exScale, static_cast<int16_t>(stroke->id),
                    static_cast<uint16_t>(stroke->alignGroup), flags);
}

uint16_t VEXASHAPE_API AddStroke2Shaper(Shaper* shaper, int16_t n, const int16_t* points,
                                        int flags) {
    if (!shaper || !points || n < 1) return kFailed;
    return addShape(shaper, n, points, static_cast<int32_t>(shaper->plainScale), -1, 0, flags);
}

int VEXASHAPE_API Stroke2Shape(Shaper* shaper, int n, const double* points, int flags) {
    if (!shaper || !points || n < 2 || n > 512) return -1;
    int16_t* xy = static_cast<int16_t*>(allocBlock(sizeof(int16_t) * 2 * static_cast<size_t>(n)));
    if (!xy) return -1;
    for (int i = 0; i < 2 * n; ++i) {
        const double v = points[i];
        xy[i] = isnan(v) ? 0
                         : static_cast<int16_t>(
                               v >= 32767 ? 32767 : (v <= -32768 ? -32768 : floor(v + 0.5)));
    }
    const uint16_t result = AddStroke2Shaper(shaper, static_cast<int16_t>(n), xy, flags);
    freeBlock(xy);
    return result == kFailed ? -1 : static_cast<int16_t>(result);
}

int16_t VEXASHAPE_API FinalizeShapes(Shaper* shaper) {
    if (!shaper) return 0;
    finalizeAllPending(shaper);
    return applyVexaAlign(shaper, 0);
}

int16_t VEXASHAPE_API FinalizeShapesEx(Shaper* shaper, int flags) {
    if (!shaper) return 0;
    const int16_t count = finalizeAllPending(shaper);
    if (flags & kFlagAlign) applyVexaAlign(shaper, flags);
    return count;
}

uint16_t VEXASHAPE_API GetShapedStrokesNum(Shaper* shaper) {
    return shaper ? shaper->strokeCounter : 0;
}

int16_t VEXASHAPE_API GetShapeNum(Shaper* shaper) {
    return shaper ? static_cast<int16_t>(shaper->finishedShapes.count + shaper->pendingShapes.count)
                  : 0;
}

Shape* VEXASHAPE_API GetShapeAt(Shaper* shaper, uint16_t index) {
    if (!shaper) return nullptr;
    const int finished = shaper->finishedShapes.count;
    if (index < finished) {
        Shape* shape = ptrAt<Shape>(&shaper->finishedShapes, index);
        shape->finishedMark = 1;
        return shape;
    }
    Shape* shape = ptrAt<Shape>(&shaper->pendingShapes, index - finished);
    if (shape) shape->finishedMark = 0;
    return shape;
}

int16_t VEXASHAPE_API GetFinishedShapeNum(Shaper* shaper) {
    return shaper ? static_cast<int16_t>(shaper->finishedShapes.count) : 0;
}

Shape* VEXASHAPE_API GetFinishedShapeAt(Shaper* shaper, int16_t index) {
    if (!shaper) return nullptr;
    Shape* shape = ptrAt<Shape>(&shaper->finishedShapes, index);
    if (shape) shape->finishedMark = 1;
    return shape;
}

uint32_t VEXASHAPE_API isShapeFinished(Shape* shape) { return shape ? shape->finishedMark : 0; }

int16_t VEXASHAPE_API GetShapeAnswerNum(Shape* shape) {
    return shape ? static_cast<int16_t>(shape->answers.count) : 0;
}

int VEXASHAPE_API GetShapeAnswerAt(Shape* shape, int16_t index, VSANSWER* out) {
    return shape ? getShapeAnswerAt(shape, index, out) : 0;
}

VSANSWER* VEXASHAPE_API CreateShapeAnswerAt(Shape* shape, int16_t index) {
    if (!shape || !answerAt(shape, index)) return nullptr;
    VSANSWER* answer = newShapeAnswer();
    if (!answer) return nullptr;
    if (!getShapeAnswerAt(shape, index, answer)) {
        freeShapeAnswer(answer);
        return nullptr;
    }
    return answer;
}

VSANSWER* VEXASHAPE_API CopyVSAnswer(const VSANSWER* answer) { return copyVSAnswer(answer); }

void VEXASHAPE_API ClearShapeAnswer(VSANSWER* answer) { clearShapeAnswerArrays(answer); }

void VEXASHAPE_API DestroyShapeAnswer(VSANSWER* answer) { freeShapeAnswer(answer); }

int VEXASHAPE_API StrokeToShapeAnswer(VSANSWER* answer, const VSVertexList* list) {
    return strokeToShapeAnswer(answer, list);
}

void VEXASHAPE_API SetXMLforShapeAnswer(Shaper* shaper, VSANSWER* answer, int32_t id) {
    setXmlForShapeAnswer(shaper, answer, id);
}

int VEXASHAPE_API SetTableInfo(Shaper* shaper, int16_t shapeIndex, int32_t answerIndex,
                               uint16_t value) {
    if (!shaper) return 0;
    Shape* shape = ptrAt<Shape>(&shaper->finishedShapes, shapeIndex);
    VSANSWER* answer = shape ? answerAt(shape, answerIndex) : nullptr;
    if (!answer) return 0;
    answer->tableValue = static_cast<int16_t>(value);
    return 1;
}

int16_t VEXASHAPE_API isFromTable(const VSANSWER* answer) {
    return answer ? answer->tableValue : -1;
}

const double* VEXASHAPE_API GetFirstStrokeFromOut(Shaper* shaper, uint32_t* count) {
    if (!shaper || !count) return nullptr;
    return firstOutput(&shaper->finishedShapes, count);
}

const double* VEXASHAPE_API GetNextStrokeFromOut(Shaper* shaper, uint32_t* count) {
    if (!shaper || !count) return nullptr;
    return nextOutput(&shaper->finishedShapes, count);
}

const int16_t* VEXASHAPE_API GetCurrIndexesFromOut(Shaper* shaper, uint32_t* count) {
    if (!shaper || !count) return nullptr;
    return currentIndexes(&shaper->finishedShapes, count);
}

const double* VEXASHAPE_API GetFirstStrokeFromBuf(Shaper* shaper, uint32_t* count) {
    if (!shaper || !count) return nullptr;
    return firstOutput(&shaper->pendingShapes, count);
}

const double* VEXASHAPE_API GetNextStrokeFromBuf(Shaper* shaper, uint32_t* count) {
    if (!shaper || !count) return nullptr;
    return nextOutput(&shaper->pendingShapes, count);
}

const int16_t* VEXASHAPE_API GetCurrIndexesFromBuf(Shaper* shaper, uint32_t* count) {
    if (!shaper || !count) return nullptr;
    return currentIndexes(&shaper->pendingShapes, count);
}

int16_t VEXASHAPE_API ApplyVexaAlign(Shaper* shaper) { return ApplyVexaAlignEx(shaper, 0); }

int16_t VEXASHAPE_API ApplyVexaAlignEx(Shaper* shaper, int flags) {
    return shaper ? applyVexaAlign(shaper, flags) : 0;
}

uint32_t* VEXASHAPE_API GetpDisposition(Shaper* shaper) {
    return shaper ? shaper->disposition : nullptr;
}

VSTABLE* VEXASHAPE_API GetTable(Shaper* shaper, uint16_t* count) {
    AlignContext* context = shaper ? shaper->alignContext : nullptr;
    const int16_t tables = context ? context->tableCount : 0;
    if (count) *count = static_cast<uint16_t>(tables);
    return tables > 0 ? context->tables : nullptr;
}

int16_t VEXASHAPE_API GetStrokeTable(Shaper* shaper, int16_t index) {
    AlignContext* context = shaper ? shaper->alignContext : nullptr;
    if (!context || index < 0 || index >= context->shapeCount) return -1;
    return static_cast<int16_t>(context->slots[index].tableMark);
}

void VEXASHAPE_API GenerateTablesXML(Shaper* shaper) {
    if (shaper && shaper->alignContext) generateTablesHtml(shaper->alignContext);
}

int VEXASHAPE_API SetTableCellXML(void* any) { return 1; }

}  // extern "C"
