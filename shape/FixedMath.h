// Integer fixed-point arithmetic of the shape recognizer.
//
// Coordinates are 16-bit internal units; lengths, cosines, sines and ratios
// carry 10 fractional bits (1024 = 1.0); angles are radians x 1024, so a full
// turn is 6434. Ramps interpolate with weights in 1/128. No operation divides
// by zero: a zero divisor gives the operation's empty result.
//
// Intermediate products are taken in 64 bits wherever 16-bit coordinates at the
// ends of their range could overflow 32 bits; for coordinates of ordinary
// strokes the results equal the 32-bit definitions bit for bit.
#ifndef VEXASHAPE_FIXEDMATH_H
#define VEXASHAPE_FIXEDMATH_H

#include <stdint.h>

namespace vexa {

struct Point16 {
    int16_t x, y;
};

inline bool operator==(Point16 a, Point16 b) { return a.x == b.x && a.y == b.y; }
inline bool operator!=(Point16 a, Point16 b) { return !(a == b); }

// Box: min x, max x, min y, max y; all four 0 means empty.
struct Box {
    int32_t minX, maxX, minY, maxY;
};

inline int64_t absValue(int64_t v) { return v < 0 ? -v : v; }
inline int32_t clamp32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v));
}
inline int16_t clamp16(int64_t v) {
    return v > 32767 ? 32767 : (v < -32768 ? -32768 : static_cast<int16_t>(v));
}
// Adds a step to a running length without wrapping past the 32-bit range.
inline int32_t addSaturated(int32_t a, int64_t b) { return clamp32(static_cast<int64_t>(a) + b); }
// Arithmetic shift of a signed value (the compilers used shift arithmetically).
inline int64_t shiftRight(int64_t v, int n) { return v >> n; }

// Ratios --------------------------------------------------------------------

// x * 1024 / m, truncating, the sign of x * m applied to the magnitude. The
// three ranges keep the 32-bit formula's rounding; when the reduced divisor of
// a large numerator becomes 0 the quotient is taken exactly instead. m = 0
// gives 0. The result saturates at the 32-bit range.
int32_t ratio1024(int64_t x, int64_t m);

// Roots and logarithms --------------------------------------------------------

// sqrt(v) rounded to nearest for v up to 32767 (larger values: isqrtLarge).
uint32_t isqrt(uint32_t v);
// While v > 32767 quarter it, counting k; isqrt(v) << k.
uint32_t isqrtLarge(uint64_t v);
// Logarithm of v rounded by its second-highest bit; -1 for v < 1.
int32_t log2Round(int64_t v);

// Distances and angles (results x 1024) --------------------------------------

int64_t squaredDistance(const int16_t* a, const int16_t* b, int d);
int32_t distance(const int16_t* a, const int16_t* b, int d);
int32_t distance(Point16 a, Point16 b);
// (p3.y - p2.y)(p1.x - p0.x) - (p1.y - p0.y)(p3.x - p2.x)
int64_t cross(Point16 p0, Point16 p1, Point16 p2, Point16 p3);
// 1 when p2 and p3 lie strictly on the same side of the line p0 p1.
int sameSide(Point16 p0, Point16 p1, Point16 p2, Point16 p3);
// The cosine of two vectors x 1024 from their dot product and lengths (1/1024
// units): the dot x 1024 over (lenA >> 5)(lenB >> 5); 0 when that product is 0.
int32_t cosineFromDot(int64_t dot, int32_t lenA, int32_t lenB);
// Lengths of a - p and b - p into lenA, lenB; cos and sin of the angle at p
// from a to b. 0 (cos and sin unset) when a length is too short.
int angleCosSin(int32_t* cos, int32_t* sin, int32_t* lenA, int32_t* lenB, Point16 p, Point16 a,
                Point16 b);
// Cosine x 1024 of the angle at p between a and b, over the given arm lengths
// (1/1024 units); sign (may be null) gets +1 for a left turn a -> p -> b, -1 for
// a right turn, 0 when straight. 0 when the length product is 0.
int32_t angleCos(Point16 a, Point16 p, Point16 b, int32_t lenA, int32_t lenB, int* sign);
int32_t segmentCos(Point16 a0, Point16 a1, int32_t lenA, Point16 b0, Point16 b1, int32_t lenB);
// (b - a) x 1024 / len per axis (len in whole units); 0 and nothing written when len is 0.
int direction(int32_t* dx, int32_t* dy, Point16 a, Point16 b, int32_t len);
int nearlyParallel(Point16 a0, Point16 a1, int32_t lenA, Point16 b0, Point16 b1, int32_t lenB,
                   int32_t tol);
int pointsClose(Point16 a, Point16 b, int32_t d);
// Rotates p about centre (or about the origin when centre is null).
void rotate(const Point16* centre, Point16* p, int32_t cos, int32_t sin);

// Trigonometry ------------------------------------------------------------

int32_t cosFixed(int32_t a);
int32_t sinFixed(int32_t a);
// n points, the last repeating the first, on the circle (cx, cy, r).
void circlePoints(int n, int16_t* out, int32_t cx, int32_t cy, int32_t r, int shift);
// n points on the ellipse {cx, cy, a, b, c, s}, closed like the circle.
void ellipsePoints(int n, int16_t* out, const int32_t params[6], int shift);

// Interpolation (weights in 1/128) -----------------------------------------

int32_t lerpClamped(int32_t x0, int32_t x1, int32_t y0, int32_t y1, int32_t x);
int32_t lerp4(const int32_t xs[4], const int32_t ys[4], int32_t x);

// Points and boxes ------------------------------------------------------------

void reversePoints(int16_t* points, int n, int d);
// Fits a closed point list (last point repeating the first). Result 1 for a
// circle (radii[0] the radius), else 0 (radii and direction written when R > 0).
int fitEllipse(const int16_t* points, int n, int32_t centre[2], int32_t radii[2],
               int32_t direction[2], int d);

void boxClear(Box* b);
void boxCopy(Box* to, const Box* from);
int32_t boxWidth(const Box* b);
int32_t boxHeight(const Box* b);
void boxCentre(const Box* b, int32_t* cx, int32_t* cy);
bool boxIsEmpty(const Box* b);
void boxExtend(Box* b, int32_t x, int32_t y);
void boxUnion(Box* to, const Box* other);

int32_t intervalGap(int32_t a0, int32_t a1, int32_t b0, int32_t b1);
int32_t boxMeanSize(int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t endBoxMeanSize(int n, const int16_t* vertices);
int32_t boxSimilarity(const Box* a, const Box* b, int mode, int32_t* out);

}  // namespace vexa

#endif
