// VexaShape2: turns pen strokes into shapes (points, polylines, curves,
// triangles, parallelograms, ellipses, one- and two-headed arrows), all in
// integer fixed point, and writes them as XML.
//
// One state object, the shaper, is made by InitShaper and used by one thread
// at a time. The caller feeds strokes one at a time (AddStroke2Shaper,
// AddStroke2ShaperEx, Stroke2Shape); each becomes a shape that is classified at
// once and filed as finished or pending (a pending shape may still absorb later
// strokes). After FinalizeShapes the caller reads shapes, their answers and
// their output points.
//
// Calling order: InitShaper -> optional SetShaperProperty (id 2 before the first
// AddStroke2ShaperEx) -> strokes -> FinalizeShapes or FinalizeShapesEx ->
// reading -> ResetShaper or ClearShaperOutput for the next page -> DestroyShaper.
//
// Ownership: shapes and their output points belong to the shaper. Answers made
// by CreateShapeAnswerAt and CopyVSAnswer belong to the caller, who frees them
// with DestroyShapeAnswer (never with its own allocator: the library frees what
// it allocated). Failures are reported as 0, null, -1 or 0xFFFF.
//
// The library exports these 42 functions by undecorated name, __cdecl.
#ifndef VEXASHAPE2_H
#define VEXASHAPE2_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define VEXASHAPE_API __cdecl
#else
#define VEXASHAPE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct Shaper Shaper;
typedef struct Shape Shape;

// One interpretation of a shape. The record crosses to the caller unchanged;
// every array and the XML text are owned by the answer.
typedef struct tag_VSANSWER {
    int16_t kind;              // 1 TRIG, 2 PARA, 3 ELLI, 4 ARR1, 5 ARR2, 6 POLY, 7 CURV, 8 POINT
    int16_t score;             // cost: lower is better (-1 by default)
    char name[32];             // zero-terminated when shorter than 32
    uint16_t strokeCount;      // length of the two stroke arrays
    uint16_t* strokes;         // internal numbers of the strokes
    uint16_t* aliases;         // caller ids of the strokes
    int16_t vertexCount;       //
    int16_t* vertices;         // vertexCount pairs x, y
    int16_t* alignedVertices;  // vertexCount pairs, made by the alignment
    int16_t* vertexIndexes;    // per vertex its index in the stroke's point list
    int32_t size;              // larger side of the vertices' box
    uint16_t paramLength;      // bytes of params: 6 for a circle, 12 for an ellipse
    uint8_t* params;           // int16 values: circle cx, cy, r; ellipse cx, cy, a, b, cos, sin
    int32_t fresh;             // 1 until the shape's own answer has been copied out
    int32_t alignValue;        // set by the alignment for answer 0 (1 by default)
    int32_t closed;            // 1 for closed outlines
    int32_t orientation;       // 1 when the outline turns counter-clockwise (y up)
    int16_t alignId;           // align group of the shape
    int16_t tableValue;        // -1: none
    uint16_t xmlCapacity;      // size of the XML buffer
    char* xmlText;             // written by SetXMLforShapeAnswer
} VSANSWER;

// A stroke given to AddStroke2ShaperEx.
typedef struct ShaperStroke {
    int32_t id;             // caller id (low 16 bits, signed): comes back as an alias
    int32_t count;          // point count (low 16 bits, signed)
    const int16_t* points;  // count pairs x, y
    int32_t alignGroup;     // low 16 bits, signed
} ShaperStroke;

#ifdef __cplusplus
// Four 32-bit slots in the 32-bit build (the point pointer widens in a 64-bit one).
static_assert(offsetof(ShaperStroke, count) == 4 && offsetof(ShaperStroke, points) == 8 &&
                  offsetof(ShaperStroke, alignGroup) == (sizeof(void*) == 4 ? 12 : 16) &&
                  sizeof(ShaperStroke) == (sizeof(void*) == 4 ? 16 : 24),
              "ShaperStroke layout");
#endif

// One cell of a table: its corners (top-left, top-right, bottom-right,
// bottom-left, x then y, in caller units) and its HTML pieces: the opening
// text from byte 0, the closing text from byte 700 of a 1400-byte buffer.
typedef struct VSTABLECELL {
    int16_t corners[8];
    char* text;
} VSTABLECELL;

// One ruled table found by the alignment with flag 0x200 (GetTable).
typedef struct VSTABLE {
    uint32_t done;        // 1 once its cells are made
    VSTABLECELL* cells;   //
    int16_t cellCount;    //
    uint16_t htmlLength;  // made by GenerateTablesXML
    char* html;           // zero-terminated
    uint32_t* offsets;    // cellCount + 2: 0, where each cell's content goes, the length
} VSTABLE;

// A ready vertex list given to StrokeToShapeAnswer.
typedef struct VSVertexList {
    int16_t id;
    int16_t count;
    const int16_t* points;  // count pairs x, y
} VSVertexList;

// Stroke flags (the last argument of the AddStroke forms and of Stroke2Shape).
#define VS_STROKE_PLAIN 0x02          // point, polyline or curve
#define VS_STROKE_TEMPLATES 0x04      // adds triangles, parallelograms, ellipses, arrows, joining
#define VS_STROKE_BEAUTIFY 0x08       // regularise the answers
#define VS_STROKE_ALIGN 0x10          // align after a shape is finished
#define VS_STROKE_AS_DRAWN 0x20       // the points become the answer's vertices
#define VS_STROKE_FINISH_NOW 0x80     // new polylines are finished at once
#define VS_STROKE_KEEP_PENDING 0x100  // earlier pending shapes stay pending

// Finalize flags (FinalizeShapesEx, ApplyVexaAlignEx).
#define VS_FINALIZE_ALIGN 0x10
#define VS_FINALIZE_TABLES 0x200

// SetShaperProperty ids.
#define VS_PROPERTY_CLEAR_OFFSETS 0  // value may be null
#define VS_PROPERTY_OUTPUT_OFFSET 1  // two int32: added to X and Y of the shape XML
#define VS_PROPERTY_RESOLUTION 2     // int32 r in 1..16384: AddStroke2ShaperEx scale 16384 / r
#define VS_PROPERTY_ALIGN_MODE 3     // uint16

// Life cycle and settings.
const char* VEXASHAPE_API GetShaperVerNumber(void);
Shaper* VEXASHAPE_API InitShaper(void);
void VEXASHAPE_API DestroyShaper(Shaper* shaper);
int VEXASHAPE_API SetShaperProperty(Shaper* shaper, const void* value, uint16_t id);
void VEXASHAPE_API ResetShaper(Shaper* shaper);
void VEXASHAPE_API ClearShaperOutput(Shaper* shaper);
void VEXASHAPE_API SetPolyThreshold(Shaper* shaper, double value);
double VEXASHAPE_API GetPolyThreshold(Shaper* shaper);

// Stroke input: the number of finished shapes after the stroke, or 0xFFFF.
uint16_t VEXASHAPE_API AddStroke2ShaperEx(Shaper* shaper, const ShaperStroke* stroke, int flags);
uint16_t VEXASHAPE_API AddStroke2Shaper(Shaper* shaper, int16_t n, const int16_t* points,
                                        int flags);
// n in 2..512 points as doubles; the number of finished shapes, -1 on refusal or failure.
int VEXASHAPE_API Stroke2Shape(Shaper* shaper, int n, const double* points, int flags);
int16_t VEXASHAPE_API FinalizeShapes(Shaper* shaper);
int16_t VEXASHAPE_API FinalizeShapesEx(Shaper* shaper, int flags);

// Shapes and answers.
uint16_t VEXASHAPE_API GetShapedStrokesNum(Shaper* shaper);
int16_t VEXASHAPE_API GetShapeNum(Shaper* shaper);
Shape* VEXASHAPE_API GetShapeAt(Shaper* shaper, uint16_t index);
int16_t VEXASHAPE_API GetFinishedShapeNum(Shaper* shaper);
Shape* VEXASHAPE_API GetFinishedShapeAt(Shaper* shaper, int16_t index);
uint32_t VEXASHAPE_API isShapeFinished(Shape* shape);
int16_t VEXASHAPE_API GetShapeAnswerNum(Shape* shape);
// out must be empty (zeroed or cleared by ClearShapeAnswer): it is filled, not freed.
int VEXASHAPE_API GetShapeAnswerAt(Shape* shape, int16_t index, VSANSWER* out);
VSANSWER* VEXASHAPE_API CreateShapeAnswerAt(Shape* shape, int16_t index);
VSANSWER* VEXASHAPE_API CopyVSAnswer(const VSANSWER* answer);
void VEXASHAPE_API ClearShapeAnswer(VSANSWER* answer);
void VEXASHAPE_API DestroyShapeAnswer(VSANSWER* answer);
// Fills an empty answer from a ready vertex list, the kind told by the point
// count; 1 when an answer was made.
int VEXASHAPE_API StrokeToShapeAnswer(VSANSWER* answer, const VSVertexList* list);
void VEXASHAPE_API SetXMLforShapeAnswer(Shaper* shaper, VSANSWER* answer, int32_t id);
int VEXASHAPE_API SetTableInfo(Shaper* shaper, int16_t shapeIndex, int32_t answerIndex,
                               uint16_t value);
int16_t VEXASHAPE_API isFromTable(const VSANSWER* answer);

// Output points (x, y doubles in internal units, which are the caller's at
// scale 1024) of the finished (Out) and the pending (Buf) shapes.
const double* VEXASHAPE_API GetFirstStrokeFromOut(Shaper* shaper, uint32_t* count);
const double* VEXASHAPE_API GetNextStrokeFromOut(Shaper* shaper, uint32_t* count);
const int16_t* VEXASHAPE_API GetCurrIndexesFromOut(Shaper* shaper, uint32_t* count);
const double* VEXASHAPE_API GetFirstStrokeFromBuf(Shaper* shaper, uint32_t* count);
const double* VEXASHAPE_API GetNextStrokeFromBuf(Shaper* shaper, uint32_t* count);
const int16_t* VEXASHAPE_API GetCurrIndexesFromBuf(Shaper* shaper, uint32_t* count);

// Alignment and tables.
int16_t VEXASHAPE_API ApplyVexaAlign(Shaper* shaper);
int16_t VEXASHAPE_API ApplyVexaAlignEx(Shaper* shaper, int flags);
uint32_t* VEXASHAPE_API GetpDisposition(Shaper* shaper);
VSTABLE* VEXASHAPE_API GetTable(Shaper* shaper, uint16_t* count);
int16_t VEXASHAPE_API GetStrokeTable(Shaper* shaper, int16_t index);
void VEXASHAPE_API GenerateTablesXML(Shaper* shaper);
int VEXASHAPE_API SetTableCellXML(void* any);

#ifdef __cplusplus
}
#endif

#endif
