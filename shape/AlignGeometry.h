// Geometry operations of shape alignment, on 32-bit coordinate pairs: regular
// parallelograms and equilateral triangles, rays into ellipses, segment
// intersections, arrow heads that follow a moved shaft, rectangle sides and
// the cost codes of the alignment link tables.
#ifndef VEXASHAPE_ALIGNGEOMETRY_H
#define VEXASHAPE_ALIGNGEOMETRY_H

#include <stdint.h>

namespace vexa {

// v: five corners (x, y), the fifth closing the figure.
void regularizeParallelogram(int32_t* v, bool strict);
// v: three corners (base p0 p1, apex p2). 1 or 2 for the two orientations of
// a near-equilateral triangle, else 0.
int equilateralOrientation(const int32_t* v);
// v: four corners, the fourth closing the triangle.
void snapEquilateral(int32_t* v, int orientation, bool strict);
// The ray from (x, y) (relative to the centre of an axis-parallel ellipse with
// semi-axes a, b) in direction (dx, dy) meets the ellipse at (outX, outY): 1, or 0.
int rayEllipse(int32_t x, int32_t y, int32_t a, int32_t b, int32_t dx, int32_t dy, int32_t* outX,
               int32_t* outY);
// The point of segment p1 -> p0 where the line q0 q1 crosses it: 1, or 0.
int segmentIntersection(const int32_t* p0, const int32_t* p1, const int32_t* q0, const int32_t* q1,
                        int32_t* out);
// Carries an arrow's head vertices (in the open order: ..., E, T, S1, T, S2)
// from the input shaft to the output shaft; a two-headed arrow (S1, T, S2, T,
// ...) also its first head.
void rebuildArrowHead(const int32_t* in, int32_t* out, int n, bool twoHeaded);
// The side (0..3) of a rectangle whose corners have the given roles joins the
// roles a and b; 0xFFFF when no side does.
uint16_t sideOfCorners(const int32_t roles[4], int32_t a, int32_t b);

// Cost factors of a shape's vertices in one row of the alignment link tables;
// the shape owns row[start] .. row[end - 1].
void setArrowCodes(int32_t* row, int start, int end, bool twoHeaded, bool strong);
void setTriangleCodes(int32_t* row, int start);
void setParallelogramCodes(int32_t* row, int start);

}  // namespace vexa

#endif
