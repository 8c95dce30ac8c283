// Shapes built directly for tests of single steps: the points of a polygon's
// edges, with one vertex on each corner (no approximation in between).
#pragma once

#include <memory>
#include <vector>

#include "ShapeRecords.h"
#include "Shaper.h"
#include "strokes.h"

namespace shapetest {

struct ShapeFree {
    void operator()(Shape* s) const { vexa::freeShape(s); }
};
using OwnedShape = std::unique_ptr<Shape, ShapeFree>;

struct ShaperFree {
    void operator()(Shaper* s) const { vexa::destroyShaper(s); }
};
using OwnedShaper = std::unique_ptr<Shaper, ShaperFree>;

// The corners' edges sampled every `step` units; a vertex on every corner.
inline OwnedShape polygonShape(const std::vector<strokes::P>& corners, double step = 2.0,
                               Shaper* owner = nullptr) {
    strokes::Points xy;
    std::vector<int> cornerIndex;
    for (size_t i = 0; i + 1 < corners.size(); ++i) {
        cornerIndex.push_back(static_cast<int>(xy.size() / 2));
        const strokes::Points edge = strokes::polyline({corners[i], corners[i + 1]}, step);
        xy.insert(xy.end(), edge.begin(), edge.end() - 2);  // the next corner starts the next edge
    }
    cornerIndex.push_back(static_cast<int>(xy.size() / 2));
    xy.push_back(static_cast<int16_t>(std::lround(corners.back().x)));
    xy.push_back(static_cast<int16_t>(std::lround(corners.back().y)));
    OwnedShape s(vexa::makeShapeFromPoints(static_cast<int>(xy.size() / 2), xy.data(), 1024));
    s->owner = owner;
    s->strokeCount = 1;
    vexa::Vertex* prev = nullptr;
    for (int index : cornerIndex) {
        vexa::Vertex* v = vexa::newVertex();
        vexa::placeVertex(v, s->points, index);
        if (prev) vexa::linkVertices(prev, v, 0, vexa::distance(prev->pos, v->pos));
        vexa::ptrListAppend(&s->vertices, v);
        prev = v;
    }
    return s;
}

inline std::vector<vexa::Point16> positionsOf(const Shape* s) {
    std::vector<vexa::Point16> out;
    for (int i = 0; i < vexa::vertexCount(s); ++i) out.push_back(vexa::vertexAt(s, i)->pos);
    return out;
}

}  // namespace shapetest
