// Arrows and strokes joined into one shape: a new polyline offered to a
// pending shape may become the head of an arrow whose shaft is pending (or
// the shaft of a pending head), a second head of a pending arrow, or the
// continuation of a pending polyline. Also the one-stroke arrow and the test
// that a stroke's ends meet. On success the joined shape is the new one (the
// pending shape's points first) and the caller frees the pending shape.
#ifndef VEXASHAPE_ARROWS_H
#define VEXASHAPE_ARROWS_H

#include <stdint.h>

#include "ShapeRecords.h"

namespace vexa {

int joinWithPendingShape(Shape* fresh, Shape* pending, int32_t arrowsAllowed);
// Makes the polyline a one-headed arrow (kind 4) when its end is a head.
void arrowFromOneStroke(Shape* shape);
int headToShaft(Shape* pending, Shape* fresh);
int shaftToHead(Shape* pending, Shape* fresh);
int closedHeadArrow(Shape* pending, Shape* fresh);
int secondOpenHead(Shape* arrow, Shape* fresh);
int secondClosedHead(Shape* arrow, Shape* fresh);
// 1 when the first and last edges meet and the stroke was closed.
int endsMeet(Shape* shape);

}  // namespace vexa

#endif
