// The link tables of an alignment run, built once before the solver's
// passes: tolerances, cost factors, connector links, closeness and limits.
// A pair's link value is closeness * limit / 246 (Relax.h).
#ifndef VEXASHAPE_ALIGNLINKS_H
#define VEXASHAPE_ALIGNLINKS_H

#include <stdint.h>

namespace vexa {

struct SolverState;

// The tolerance curve: 29/20 of v below 20, flattening to 110 at 200.
int32_t sizeTolerance(int32_t v);

// The limit ramps: how far apart across the aligned axis two variables may
// lie and still link (30 = never).
int32_t boxCentreLimit(int32_t d);
int32_t generalLimit(int32_t d);
int32_t vertexLimit(int32_t d);
int32_t ellipseLimit(int32_t d);
int32_t looseVertexLimit(int32_t d);

// Integer square root of the squared length of segment k -> k + 1 (x, y pairs).
int32_t segmentLength(const int32_t* vertices, int32_t k);

// Whether a point lies on the outline band of a box: mode 0 a circle (only a
// box of equal half sizes), mode 1 a rectangle.
bool onOutlineBand(int32_t px, int32_t py, const int32_t* box, int mode);

// The cross distance of value c toward every variable (values v of the row's
// axis, w of the other); line: the row's shape is a two-point line lying
// along the row's axis; slack: ellipse centres are approached with slack.
// marks gets 1 for vertices on a near-straight run that spans c.
void crossDistanceRow(const SolverState& s, int32_t c, const int32_t* v, const int32_t* w,
                      int32_t t, const int32_t* tolerances, bool line, bool slack, int32_t* row,
                      int32_t* marks);

// Closeness measured along outlines from reference point p (an index into the
// run's connector distances): vx, vy get, per variable, the scaled distance to
// every rectangle side and every vertex, or -1 where there is none.
void outlineVariantRows(const SolverState& s, int64_t p, int32_t xCap, int32_t yCap, int32_t* vx,
                        int32_t* vy);

// Fills the tolerances, connector links and the four link tables.
void buildTolerances(SolverState& s);
void buildConnectorLinks(SolverState& s);
void buildLinkTables(SolverState& s);

}  // namespace vexa

#endif
