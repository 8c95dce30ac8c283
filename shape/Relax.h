// The per-variable rules of the alignment solver's passes: one variable's new
// value from the variables linked to it and from the grid, the candidate marks
// that decide which shapes are large enough to pull a box, and the size
// equalisation of box widths and heights.
//
// Variables: B boxes own 3 each (low edge, centre, high edge), then the
// vertices of the vertex shapes. A link of j to i has the value
// r = closeness * limit / 246; r below 209 links, and the smaller r the
// stronger the link. A limit of 30 or a negative closeness never links.
#ifndef VEXASHAPE_RELAX_H
#define VEXASHAPE_RELAX_H

#include <stdint.h>

namespace vexa {

constexpr int32_t kLinkDivisor = 246;
constexpr int32_t kLinkCutoff = 209;
constexpr int32_t kNeverLinked = 30;

// Solver kinds of vertex shapes.
enum SolverKind : int32_t {
    kSolverTriangle = 1,
    kSolverParallelogram = 2,
    kSolverRotatedEllipse = 3,
    kSolverArrow = 4,
    kSolverDoubleArrow = 5,
    kSolverClosedPolyline = 6,
    kSolverOpenPolyline = 7,
};

inline bool isConnectorKind(int32_t kind) {
    return kind == kSolverArrow || kind == kSolverDoubleArrow || kind == kSolverOpenPolyline;
}
inline bool isRigidKind(int32_t kind) {
    return kind == kSolverTriangle || kind == kSolverParallelogram;
}

// What the variables of one run look like, shared by the rules below.
struct VariableLayout {
    int32_t n;                // all variables
    int32_t boxCount;         // B: variables 0 .. 3B - 1 belong to boxes
    const int32_t* owner;     // per variable: its box b (< B) or B + its vertex shape
    const int32_t* kinds;     // per vertex shape
    const int32_t* offsets;   // vertex shape k owns vertices offsets[k] .. offsets[k + 1] - 1
    const int16_t* boxIds;    // negative: frozen
    const int16_t* shapeIds;  // negative: frozen
};

bool variableFrozen(const VariableLayout& layout, int32_t j);

struct RelaxRow {
    const int32_t* values;     // the axis's variables
    const int32_t* closeness;  // row i of the axis's closeness table
    const int32_t* limits;     // row i of the axis's limit table
    const uint16_t* marks;     // candidate marks: 0 none, 1 weak, 2 full
    bool late;                 // single-unit steps allowed
    bool stepMode;             // acceptance limit from the strongest link
    int32_t gridOrigin, gridStep;
    bool mode;
    int32_t passesLeft;  // 10 minus the pass number
    bool forbidDown;     // the run holds no frozen shape
};

// The new value of variable i; strength gets 209 - r of the strongest link
// used (at least 1 when a grid line was used, 0 when nothing was), linkKind
// 2 when the last box variable used was an edge, 1 a centre or a vertex of
// another triangle or parallelogram, else 0.
int32_t relaxCoordinate(const VariableLayout& layout, const RelaxRow& row, int32_t i,
                        int32_t* strength, int32_t* linkKind);

// Candidate marks of all variables before box variable i is relaxed.
void markCandidates(const VariableLayout& layout, const int32_t* tolX, const int32_t* tolY,
                    const int32_t* x, const int32_t* y, int32_t i, bool late, uint16_t* marks);

// Candidate marks before a vertex of a shape of the given kind is relaxed.
void markVertexCandidates(const VariableLayout& layout, int32_t kind, int32_t pass,
                          uint16_t* marks);

// The rounded mean of the 2B sizes that agree with s (own index `self`, the
// same box's other dimension `other` never taking part); *agreed is set when
// at least two sizes agreed and one of them is not s itself.
int32_t clusterSize(int32_t s, const int32_t* sizes, const int32_t* weights, int32_t boxCount,
                    const int32_t* centreLimitsX, const int32_t* centreLimitsY, int32_t limit,
                    int32_t self, int32_t other, int32_t* agreed);

}  // namespace vexa

#endif
