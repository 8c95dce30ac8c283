// The records of the shape recognizer: a stroke's point list, the vertices of
// the polyline that approximates it, and the shape that owns both together
// with its answers and output points.
//
// Coordinates inside shapes are internal units: a stroke point p given at
// scale s becomes (p << shift(s)) >> 10, so scale 1024 keeps it as it is.
// Arc lengths and segment lengths are in 1/1024 internal units.
#ifndef VEXASHAPE_SHAPERECORDS_H
#define VEXASHAPE_SHAPERECORDS_H

#include <stdint.h>

#include "FixedMath.h"
#include "PtrList.h"
#include "VexaShape2.h"

namespace vexa {

// The most strokes one shape keeps, and the most points one point list holds.
constexpr int kMaxShapeStrokes = 32;
constexpr int kMaxPoints = 32767;

struct PointList {
    uint16_t count;
    Point16* points;
    int32_t* arc;  // arc length from the first point, 1/1024 units; arc[0] = 0
    Box box;
    int32_t sweptArea;
};

struct Vertex {
    Point16 pos;       // the point of the point list at pointIndex
    Point16 adjusted;  // the fitted position (template matching)
    int32_t arcPos;
    int32_t inLength, outLength;
    int16_t pointIndex;
    int16_t corner;  // corner measure
    uint16_t inDeviation, outDeviation;
    int32_t turn;   // 1024 x cosine of the angle at the vertex; 2048 = none yet
    int32_t turn2;  // 2048 = none
    Vertex* prev;
    Vertex* next;
};

}  // namespace vexa

struct Shape {
    Shaper* owner;
    uint16_t kind;
    char name[32];
    int16_t error;
    int16_t deviation;
    int16_t straightness;
    uint32_t finishedMark;
    int16_t callerIds[vexa::kMaxShapeStrokes];
    int16_t internalNumbers[vexa::kMaxShapeStrokes];
    int16_t strokeCount;
    vexa::PtrList vertices;  // of Vertex, in drawing order
    uint32_t closed;
    vexa::PtrList answers;  // of VSANSWER, ascending score
    int32_t scale;
    int16_t matchX, matchY;  // centre of the template normalisation
    uint32_t orientation;
    int32_t area;
    uint16_t alignGroup;
    vexa::PointList* points;
    uint32_t reversed;
    int16_t strokeIndexes[vexa::kMaxShapeStrokes];  // handed out as they are; no step fills them
    int32_t fit[4];                                 // the last template fit matrix, 1/1024
    int32_t outputCount;
    double* output;
};

namespace vexa {

// shift(s) of the scales: -1 for s < 1, else the logarithm rounded by the
// second-highest bit (1024 -> 10, 546 -> 9, 273 -> 8).
inline int32_t scaleShift(int64_t scale) { return log2Round(scale); }
// A caller coordinate at the given shift to internal units (rounded down, cut
// to the 16-bit range).
int16_t toInternal(int32_t c, int32_t shift);
// An internal coordinate back to caller units.
int16_t toCaller(int32_t c, int32_t shift);

// Point lists --------------------------------------------------------------

// From n caller points at the shift; consecutive points that convert to the
// same internal point are dropped. Null when memory is short or n < 1.
PointList* makePointList(int n, const int16_t* xy, int32_t shift);
PointList* copyPointList(const PointList* list);
void freePointList(PointList* list);
bool pointListAppend(PointList* list, Point16 p);
// The points of b behind a's (or a's behind b's when bFirst); the result is a.
bool joinPointLists(PointList* a, const PointList* b, bool bFirst);
void reversePointList(PointList* list);
void recomputeBox(PointList* list);
void recomputeSweptArea(PointList* list);
int32_t pointSize(const PointList* list);
// Exact distance between points i and j, 1/1024 units.
int32_t pointDistance(const PointList* list, int i, int j);
// Cheap distance in internal units.
int32_t quickDistance(const PointList* list, int i, int j);
inline int32_t arcBetween(const PointList* list, int i, int j) {
    return list->arc[j] - list->arc[i];
}
// Brings the points into the template frame: c -> ((c * 1024) - offset) / divisor.
// The swept area is carried into the same units (area x 1024^2 / divisor^2), so
// that it compares with areas measured in the template frame at any size.
void normalisePointList(PointList* list, int32_t divisor, int32_t offsetX, int32_t offsetY);
// The lines p1 -> p2 and q1 -> q2 meet at p1 + t (p2 - p1); t and u (the
// parameter along q1 -> q2) in 1/1024. False for parallel lines.
bool lineIntersection(Point16 p1, Point16 p2, Point16 q1, Point16 q2, int32_t* t, int32_t* u);
// Distance (1/1024 units) between two positions, as the point list measures it.
int32_t stepLength(Point16 a, Point16 b);

// Vertices -------------------------------------------------------------------

Vertex* newVertex();
void freeVertex(Vertex* v);
// The vertex sits on point `index` of the list.
void placeVertex(Vertex* v, const PointList* list, int index);
void linkVertices(Vertex* a, Vertex* b, int32_t deviation, int32_t length);
inline Vertex* vertexAt(const Shape* shape, int i) { return ptrAt<Vertex>(&shape->vertices, i); }
inline int vertexCount(const Shape* shape) { return shape->vertices.count; }

// Shapes ---------------------------------------------------------------------

Shape* newShape();
Shape* makeShapeFromPoints(int n, const int16_t* xy, int32_t scale);
void freeShape(Shape* shape);
// Everything but the answers; null when memory is short.
Shape* copyShape(const Shape* shape);
void freeShapeVertices(Shape* shape);
bool addAnswerSorted(Shape* shape, VSANSWER* answer);
VSANSWER* takeAnswerOfKind(Shape* shape, int16_t kind);
inline VSANSWER* answerAt(const Shape* shape, int i) { return ptrAt<VSANSWER>(&shape->answers, i); }
// Output points from answer 0 (fromAnswer) or from the vertex positions.
bool finishShape(Shape* shape, bool fromAnswer);

// Shape editing (vertex lists stay in drawing order) ---------------------------

int findSegment(const Shape* shape, int p);
// The new vertex's index, or -1 (an existing vertex at p is returned as it is).
int splitAtPoint(Shape* shape, int p);
void removeVertex(Shape* shape, int j);
void cutAtVertex(Shape* shape, int j, bool head);
bool cutAtPoint(Shape* shape, int p, bool head);
bool appendPointToShape(Shape* shape, Point16 p);
// b's points and vertices joined to a's (b first: in front); false when memory
// is short or the joined list would be too long. b is left as it was.
bool joinShapes(Shape* a, const Shape* b, bool bFirst);
void reverseShape(Shape* shape);

}  // namespace vexa

#endif
