// Polyline approximation of a stroke and the measures taken on it.
//
// A stroke's point list is approximated by vertices that sit on its points:
// recursive splitting, then a refine pass (vertices move to better corners,
// weak ones go), a merge pass (short segments go) and the deviation measure
// that tells a polyline (low) from a curve (high). The end-hook pass runs
// after the approximation. Lengths are 1/1024 internal units.
#ifndef VEXASHAPE_POLYLINE_H
#define VEXASHAPE_POLYLINE_H

#include <stdint.h>

#include "ShapeRecords.h"

namespace vexa {

// Mean distance (1/1024 units) of the points a..b from the chord between the
// points a and b, or between the given end positions; largest and chord get
// the largest distance and the chord length. 0 for an empty range or a chord
// of length 0.
int32_t chordStats(const PointList* list, int a, int b, const Point16* endA, const Point16* endB,
                   int32_t* largest, int32_t* chord);
// Largest distance of the points a..b from their chord in whole units; -1 for
// fewer than 2 points, 0 for two, 100 when the ends coincide.
int32_t chordDeviation(const PointList* list, int a, int b, int32_t* chord);
// 1024 x cosine of the angle at point m between the points a and b.
int32_t cosineAtPoint(const PointList* list, int a, int m, int b);

struct SplitPoint {
    int point;       // strictly between a and b (the middle index when no better one)
    int32_t own;     // the point's own deviation
    int32_t d1, d2;  // chord deviations of a -> point and point -> b
    int32_t c1, c2;  // their chord lengths
    int32_t cosine;  // 1024 x cosine at the point
};
SplitPoint bestSplitPoint(const PointList* list, int a, int b);

// Approximates the shape's points by its vertex list; false (error 100) when
// memory is short or there are no points.
bool approximatePolyline(Shape* shape);
// A segment of this length (1/1024 units) is short for the merge pass: shorter
// than about 15 units and than 180/1024 of the shape's size (of 32 or more);
// a segment of length 0 always is.
bool isShortSegment(const Shape* shape, int64_t length);
void trimEndHooks(Shape* shape);
void measureDeviation(Shape* shape);
int16_t straightnessMeasure(const PointList* list, int a, int b);
int16_t cornerContribution(const PointList* list, int i, int j, int k, int16_t* second);
int16_t bendMeasure(const PointList* list, int i, int j, int k);
// Largest mean chord deviation (1/1024 units) of consecutive vertices against
// their adjusted positions; largestMax (may be null) gets the largest distance.
int32_t largestChordDeviation(const Shape* shape, int32_t* largestMax);
void computeAreaAndOrientation(Shape* shape);
// The polyline test of a ready point list: fewer than 3 points, or a mean
// cosine at the inner points below 901.
bool isSmoothPointList(const Point16* points, int n);

}  // namespace vexa

#endif
