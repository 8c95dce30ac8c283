// Building ink point lists for the tests: points in quarter pixels, strokes
// closed by separators.
#pragma once

#include <cmath>
#include <vector>

#include "ink/InkPointList.h"

namespace inktest {

// A whole turn in radians.
constexpr double kTurn = 6.283185307179586;

using Points = std::vector<InkPoint>;

inline Points quarterPoints(std::initializer_list<std::pair<int, int>> xy) {
    Points out;
    for (auto [x, y] : xy) out.push_back(makeInkPoint(x, y));
    return out;
}

inline Points withSeparator(Points points) {
    points.push_back(kInkSeparator);
    return points;
}

// A circle of `n` points around (cx, cy), radius r, drawn once (quarter pixels).
inline Points circle(int cx, int cy, int r, int n) {
    Points out;
    for (int i = 0; i < n; ++i) {
        const double t = kTurn * i / n;
        out.push_back(makeInkPoint(cx + int(std::lround(r * std::cos(t))),
                                   cy + int(std::lround(r * std::sin(t)))));
    }
    return out;
}

}  // namespace inktest
