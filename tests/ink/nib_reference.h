// An independent model of the nibs in floating point, for checking the pens'
// stamps: the exact distance from a point to a nib, the two-pixel coverage
// ramp on it, and the nib's area by supersampling.
#pragma once

#include <algorithm>
#include <cmath>

namespace inktest {

constexpr double kPi = 3.14159265358979323846;

// A capsule: the segment from -(sx, sy)/2 to +(sx, sy)/2 with round ends of
// radius r (a disc when the segment is empty). Pixels.
struct Nib {
    double r, sx, sy;

    static Nib round(double width) { return {width / 2, 0, 0}; }

    bool contains(double x, double y) const { return distance(x, y) <= 0; }

    // Signed distance from (x, y) to the nib's edge, negative inside.
    double distance(double x, double y) const {
        const double len2 = sx * sx + sy * sy;
        double t = len2 > 0 ? (x * sx + y * sy) / len2 : 0;
        t = std::clamp(t, -0.5, 0.5);
        return std::hypot(x - t * sx, y - t * sy) - r;
    }

    double perimeter() const { return 2 * kPi * r + 2 * std::hypot(sx, sy); }

    // Farthest reach of the nib from its centre along x and y.
    double reachX() const { return std::fabs(sx) / 2 + r; }
    double reachY() const { return std::fabs(sy) / 2 + r; }
};

// The pens' coverage for a pixel centre `d` pixels from the edge: 255 well
// inside, 0 from one pixel outside, a straight ramp between (128 on the edge).
inline int rampCoverage(double d) {
    const double units = d * 4096;
    if (units < -4095) return 255;
    if (units >= 4096) return 0;
    return int(std::floor((4096 - units) / 32));
}

// Share (0-255) of the 2 x 2 pixel square centred on (x, y) that the nib
// covers, from n x n samples. For a straight edge the share falls off exactly
// like the ramp when the edge runs along a pixel axis; a slanted edge and the
// nib's curvature make the two differ a little.
inline double squareShare(const Nib& nib, double x, double y, int n) {
    int inside = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            inside += nib.contains(x - 1 + (i + 0.5) * 2 / n, y - 1 + (j + 0.5) * 2 / n);
    return 255.0 * inside / (n * n);
}

// The nib's area by counting samples on a grid of 1/n pixel.
inline double sampledArea(const Nib& nib, int n) {
    const double ex = nib.reachX() + 1, ey = nib.reachY() + 1;
    long inside = 0;
    const double step = 1.0 / n;
    for (double x = -ex + step / 2; x < ex; x += step)
        for (double y = -ey + step / 2; y < ey; y += step) inside += nib.contains(x, y);
    return inside * step * step;
}

}  // namespace inktest
