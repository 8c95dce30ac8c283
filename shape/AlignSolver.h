// The alignment solver: a fixed schedule of ten relaxation passes over every
// free coordinate of a run's boxes and vertex shapes. Each pass replaces each
// variable, in place and in order, by a rounded weighted mean of the variables
// linked to it; sizes are equalised, boxes reconciled from their relaxed edges
// and centres, and figures repaired (arrow heads, closing vertices, regular
// parallelograms, equilateral triangles). All integer arithmetic.
#ifndef VEXASHAPE_ALIGNSOLVER_H
#define VEXASHAPE_ALIGNSOLVER_H

#include <stdint.h>

#include "AlignRun.h"

namespace vexa {

// The most variables one run may have: the four link tables are n x n. A
// larger run is left as it came.
constexpr int32_t kMaxAlignVariables = 1024;

// Writes run.boxesOut and run.vertsOut and overwrites run.vertsIn and the
// edges of run.boxesIn with the aligned values. When memory is short the
// outputs are copies of the inputs.
void solveAlignment(AlignRun& run);

}  // namespace vexa

#endif
