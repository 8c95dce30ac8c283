// Shape templates (triangle, square, circle) and the steps that prepare a
// closed polygon for matching and fit a template to it.
#ifndef VEXASHAPE_TEMPLATES_H
#define VEXASHAPE_TEMPLATES_H

#include <stdint.h>

#include "PtrList.h"
#include "ShapeRecords.h"

namespace vexa {

struct ShapeTemplate {
    int16_t kind;  // 1 triangle, 2 square (parallelograms), 3 circle (ellipses)
    PointList* points;
};

// The three templates in list order; null when the list cannot be allocated
// (a template that cannot be made is left out).
PtrList* createShapeTemplates();
void destroyShapeTemplates(PtrList* list);
int16_t templateCount(const PtrList* list);
const ShapeTemplate* templateAt(const PtrList* list, int16_t index);

// 1 when the stroke's two ends met closely enough to close it.
int closeNearlyClosedStroke(Shape* shape);
// 1 when the first vertex was dropped because the ends overlap in one direction.
int mergeEndOverlap(Shape* shape, int32_t* cosine);
int hasSelfCrossing(const Shape* shape);
// 1 when the polygon is rejected for a sharp concave spike; else 0 (the
// concave vertices removed).
int removeConcaveVertices(Shape* shape);
int32_t spikeMeasure(const Shape* shape, int a, int b, int c);
// The cost of the vertices removed to leave m.
int16_t reduceToVertexCount(Shape* shape, int16_t m);
int resampleClosedStroke(Shape* shape, int16_t m);
void normalizeShape(Shape* shape);
void denormalizeShape(Shape* shape);
// Residual (1/1024 of a normalised unit) of the least-squares linear fit of
// the template to the polygon; -1 for a wrong vertex count or degenerate
// moments. areaMismatch (may be null) gets |1024 - fitted area / stroke area|.
int32_t matchTemplateDistance(const ShapeTemplate* tmpl, Shape* shape, int32_t* areaMismatch);
// After matchTemplateDistance with the circle: fits the ellipse again with each
// vertex matched to its own angle on the circle instead of its place in the
// sequence, so that the fitted positions keep the stroke's axes.
void refineEllipseFit(const ShapeTemplate* circle, Shape* shape);

}  // namespace vexa

#endif
