// Alignment ages: after each run the ids of its shapes are updated. An id of
// 0 or more is an age (runs gone through since the shape was finished); a
// negative id freezes the shape for later runs, so that the newest shapes move
// and older or much larger ones hold still. Also the distance of a point to a
// polyline, which the connector measures use.
#ifndef VEXASHAPE_ALIGNAGES_H
#define VEXASHAPE_ALIGNAGES_H

#include <stdint.h>

namespace vexa {

struct AlignRun;

// Updates run.boxIds and run.shapeIds in place (from run.boxesIn, the
// vertex arrays, the kinds and the connector links).
void updateAlignmentAges(const AlignRun& run);

// The shortest distance from (x, y) to the polyline of n vertices (x, y
// pairs); 65535 for fewer than two vertices.
int32_t pointToPolylineDistance(int32_t n, const int32_t* vertices, int32_t x, int32_t y);

struct ConnectorDistances;
struct DrawnRun;

// Fills the distance tables for the given objects; false when memory is short
// (the tables are then null). freeConnectorDistances releases them.
bool buildConnectorDistances(const DrawnRun* objects, int32_t count, ConnectorDistances* out);
void freeConnectorDistances(ConnectorDistances* distances);

}  // namespace vexa

#endif
