// Pages of ink for the tests: handwriting from the generator, drawn lines and
// outlines, each as an Ombra_STROKE whose points the page keeps alive.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "Ombra.h"

class PageInk {
  public:
    // Adds a stroke of x, y pairs; its id is the next number from `firstId`.
    Ombra_STROKE& add(std::vector<int32_t> xy, int32_t width = 2, int32_t flags = 0);
    // The text in the generator's hand with the given x-height, its first
    // baseline at (x, y). Returns the number of strokes added.
    int write(const std::string& text, int32_t x, int32_t y, int32_t xHeight = 20,
              uint32_t seed = 1, bool careless = false);
    // A straight polyline through the corners, a point every `step` units.
    Ombra_STROKE& draw(const std::vector<std::pair<int32_t, int32_t>>& corners, int step = 4);
    // An ellipse around the centre.
    Ombra_STROKE& ellipse(int32_t cx, int32_t cy, int32_t rx, int32_t ry);

    // Adds every stroke to the session; the first failing code, or 0.
    using AddStroke = int(OMBRA_API*)(OMBRA_SESSION, const Ombra_STROKE*);
    int addTo(OMBRA_SESSION session, AddStroke addStroke) const;

    const std::vector<Ombra_STROKE>& strokes() const { return strokes_; }
    size_t size() const { return strokes_.size(); }
    int32_t firstId = 100;

  private:
    std::deque<std::vector<int32_t>> points_;
    std::vector<Ombra_STROKE> strokes_;
};
