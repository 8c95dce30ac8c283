// Regularisation of recognised shapes, so that the output looks drawn with
// instruments: equilateral triangles, rectangles and squares, circles and
// axis-parallel ellipses, exact horizontal and vertical polyline edges,
// mirror-symmetric polylines. Only the answer changes (vertices, name suffix,
// ellipse parameters), never its cost.
#ifndef VEXASHAPE_BEAUTIFY_H
#define VEXASHAPE_BEAUTIFY_H

#include <stdint.h>

#include "Templates.h"
#include "VexaShape2.h"

namespace vexa {

void beautifyShape(VSANSWER* answer, const ShapeTemplate* tmpl, bool beautify);
// Moves each of three vertices a third of the way toward the apex of the
// equilateral triangle over its opposite side.
void makeEquilateral(int16_t* v, int32_t orientation);
void beautifyTriangle(VSANSWER* answer, bool beautify);
void beautifyQuadrilateral(VSANSWER* answer, bool beautify);
void beautifyEllipse(VSANSWER* answer, const ShapeTemplate* tmpl, bool beautify);
// Kind 3 only: centre, semi-axes and the first axis's direction from the
// vertices, around the given centre.
void setEllipseParameters(VSANSWER* answer, int16_t cx, int16_t cy);
void snapAxisEdges(VSANSWER* answer);
int32_t symmetrizePolyline(VSANSWER* answer);

struct MirrorPair {
    int a, b;
};
// Largest mismatch of the vertex pairs mirrored about the axis from centre
// through vertex k (or the midpoint of edge k); -1 when the axis has no
// direction. pairs (may be null) receives up to n / 2 + 1 pairs, count their number.
int32_t mirrorMismatch(const VSANSWER* answer, int n, const int32_t centre[2], int k,
                       MirrorPair* pairs, int* count, bool edge, int32_t* cos, int32_t* sin);

}  // namespace vexa

#endif
