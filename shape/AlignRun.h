// One alignment run as the alignment core hands it to the solver, and the
// solver's working state that the link tables, the relaxation and the age
// update read.
#ifndef VEXASHAPE_ALIGNRUN_H
#define VEXASHAPE_ALIGNRUN_H

#include <stdint.h>

#include "Relax.h"

namespace vexa {

// Fields of a box record (seven signed 32-bit values).
enum BoxField { kBoxLeft, kBoxTop, kBoxRight, kBoxBottom, kBoxRoles, kBoxSlot, kBoxExtra };
constexpr int kBoxFields = 7;

// The drawn form of one object of a run (boxes first, then vertex shapes):
// its drawn points and, for each reference point, its index among them.
struct DrawnRun {
    const int32_t* points;  // x, y pairs
    int32_t count;
    const int32_t* refs;  // indexes into points, non-decreasing
    int32_t refCount;
};

// Distances from every reference point of the run to every drawn segment and
// to every reference point (65535: no such distance).
struct ConnectorDistances {
    int32_t refCount, segmentCount;
    int32_t* objectRef;   // objects + 1: the first reference point of each object
    int32_t* objectSeg;   // objects + 1: the first segment of each object
    uint16_t* toSegment;  // refCount x segmentCount
    uint16_t* toPoint;    // refCount x refCount
};

struct AlignRun {
    int32_t ellipseCount;  // the first boxes are axis-parallel ellipses
    int32_t boxCount;      // all boxes: ellipses, then rectangles
    int32_t shapeCount;    // vertex shapes
    int32_t* boxesIn;      // kBoxFields per box
    int32_t* boxesOut;
    int32_t* offsets;  // shapeCount + 1
    int32_t** vertsIn;
    int32_t** vertsOut;
    int32_t* kinds;  // SolverKind per vertex shape
    int16_t* boxIds;
    int16_t* shapeIds;
    uint16_t* connectorLinks;    // boxCount x shapeCount, or null
    int16_t gridX[2], gridY[2];  // origin, step; a step of 6 or less means no grid
    int32_t mode;
    int32_t snap;
    int32_t flags;
    const int32_t* reference;             // per vertex its drawn position (x, y), or null
    const ConnectorDistances* distances;  // or null
};

struct SolverState {
    AlignRun* run;
    int32_t boxCount, vertexCount, n;
    VariableLayout layout;
    int32_t* owner;
    int32_t* x;
    int32_t* y;
    int32_t* tolX;
    int32_t* tolY;
    int32_t* tolC;
    int32_t* refX;
    int32_t* refY;
    uint16_t* marks;
    int32_t* width;
    int32_t* height;
    int32_t* closeX;  // n x n
    int32_t* closeY;
    int32_t* limitX;
    int32_t* limitY;
    uint16_t* boxConnected;  // boxCount x boxCount, or null
    int32_t* straightRun;    // per variable: 0, 1 upright edge, 2 level edge
    int32_t* scratch;        // 9 n values for building the tables
};

inline int32_t shapeOfVariable(const SolverState& s, int32_t j) { return s.owner[j] - s.boxCount; }
inline int32_t vertexIndexOf(const SolverState& s, int32_t j) {
    return j - 3 * s.boxCount - s.run->offsets[shapeOfVariable(s, j)];
}
inline int32_t vertexCountOf(const AlignRun& run, int32_t k) {
    return run.offsets[k + 1] - run.offsets[k];
}

// End points of connectors: the first vertex of a one-headed arrow or open
// polyline, vertex 1 of a two-headed arrow, the vertex four from the end of
// an arrow, the last vertex of an open polyline.
bool isEndPoint(int32_t kind, int32_t v, int32_t count);
// Vertices the solver never moves on their own: arrow heads, the closing
// vertex of closed figures, every point of a rotated ellipse but its centre.
bool isFixedVertex(int32_t kind, int32_t v, int32_t count);

}  // namespace vexa

#endif
