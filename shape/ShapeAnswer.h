// Answer records: make, reset, fill, reverse, copy and free; answers from
// ready vertex lists; the answer XML with its coordinate code.
#ifndef VEXASHAPE_SHAPEANSWER_H
#define VEXASHAPE_SHAPEANSWER_H

#include <stdint.h>

#include "ShapeRecords.h"
#include "VexaShape2.h"

namespace vexa {

enum AnswerKind : int16_t {
    kKindTriangle = 1,
    kKindParallelogram = 2,
    kKindEllipse = 3,
    kKindArrow = 4,
    kKindDoubleArrow = 5,
    kKindPolyline = 6,
    kKindCurve = 7,
    kKindPoint = 8,
    kKindNone = -1,  // 0xFFFF: no answer
};

VSANSWER* newShapeAnswer();
// The defaults; nothing is freed; orientation and align id stay.
void resetShapeAnswer(VSANSWER* answer);
void clearShapeAnswerArrays(VSANSWER* answer);
void freeShapeAnswer(VSANSWER* answer);
void setAnswerName(VSANSWER* answer, const char* name);
// Vertices from the shape's vertex list (adjusted positions when useAdjusted).
bool setAnswerVertices(VSANSWER* answer, const Shape* shape, bool useAdjusted);
// Vertices from a point array.
bool setAnswerPoints(VSANSWER* answer, const Point16* points, int n);
bool setAnswerParams(VSANSWER* answer, const int16_t* values, int count);
void reverseAnswerPoints(VSANSWER* answer, uint16_t pointCount);
// The copy handed to the caller, in caller units at the given scale.
bool copyAnswerForOutput(VSANSWER* source, VSANSWER* target, int32_t scale);
VSANSWER* copyVSAnswer(const VSANSWER* answer);
int getShapeAnswerAt(Shape* shape, int index, VSANSWER* out);

// The kind inferred from a ready vertex list when kind <= 0; 0 for an unknown
// kind or when memory is short (the answer is then cleared).
int answerFromVertexList(const Point16* points, int n, VSANSWER* answer, int16_t kind);
int strokeToShapeAnswer(VSANSWER* answer, const VSVertexList* list);

int encodeShapeCoords(char* out, int32_t previous, int32_t value, int32_t absolute);
int decimalWidth(int32_t value);
void setXmlForShapeAnswer(const Shaper* shaper, VSANSWER* answer, int32_t id);

}  // namespace vexa

#endif
