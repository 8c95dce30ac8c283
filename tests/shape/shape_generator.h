// A seeded generator of hand-like one-stroke shapes for accuracy runs:
// triangles, parallelograms, ellipses, one-stroke arrows, open polylines and
// open curves, at varied sizes and rotations, with corner imprecision, a
// smooth hand wobble, sensor noise, an uneven pen speed, and (for closed
// shapes) an overshoot or a gap at the closure.
//
// The random numbers are our own (a 32-bit xorshift), so a seed gives the same
// strokes on every compiler and library.
#pragma once

#include <stdint.h>

#include <cmath>
#include <string>
#include <vector>

#include "strokes.h"

namespace shapegen {

// The answer kind a shape is meant to be read as.
enum Kind {
    kTriangle = 1,
    kParallelogram = 2,
    kEllipse = 3,
    kArrow = 4,
    kPolyline = 6,
    kCurve = 7
};

inline const char* kindName(int kind) {
    switch (kind) {
        case kTriangle:
            return "TRIG";
        case kParallelogram:
            return "PARA";
        case kEllipse:
            return "ELLI";
        case kArrow:
            return "ARR1";
        case 5:
            return "ARR2";
        case kPolyline:
            return "POLY";
        case kCurve:
            return "CURV";
        case 8:
            return "POINT";
        default:
            return "none";
    }
}

struct Sample {
    int kind;
    std::string label;
    strokes::Points points;
};

class Generator {
  public:
    explicit Generator(uint32_t seed) : state_(seed ? seed : 1) {}

    // Size: the larger half-extent, log-uniform in [minSize, maxSize] units.
    Sample next(double minSize = 40, double maxSize = 400) {
        const double size = minSize * std::pow(maxSize / minSize, unit());
        const double pick = unit();
        if (pick < 0.17) return triangle(size);
        if (pick < 0.34) return parallelogram(size);
        if (pick < 0.51) return ellipse(size);
        if (pick < 0.68) return arrow(size);
        if (pick < 0.84) return polyline(size);
        return curve(size);
    }

    Sample triangle(double size) {
        // Angles of at least about 35 degrees: three points around a circle.
        std::vector<double> a = {0, 2.1 + 0.4 * sym(), 4.2 + 0.4 * sym()};
        strokes::Path corners;
        for (double t : a) corners.push_back({size * std::cos(t), size * std::sin(t)});
        return closedPolygon(kTriangle, "triangle", corners, size);
    }

    Sample parallelogram(double size) {
        const double kindPick = unit();
        double w = size, h = size * (0.35 + 0.6 * unit()), slant = 0;
        const char* label = "rectangle";
        if (kindPick < 0.25) {
            h = size * (0.93 + 0.07 * unit());
            label = "square";
        } else if (kindPick > 0.75) {
            slant = 0.5 * h * sym();
            label = "slanted parallelogram";
        }
        strokes::Path corners = {{-w, -h}, {w, -h}, {w + slant, h}, {-w + slant, h}};
        return closedPolygon(kParallelogram, label, corners, size);
    }

    Sample ellipse(double size) {
        const bool circle = unit() < 0.5;
        const double a = size,
                     b = circle ? size * (0.95 + 0.05 * unit()) : size * (0.45 + 0.35 * unit());
        const double start = 2 * strokes::kPi * unit();
        const double dir = unit() < 0.5 ? 1 : -1;
        const double perimeter = strokes::kPi * (a + b);
        const double closure = closureFraction(perimeter) * 2 * strokes::kPi;
        strokes::Path path;
        const int n = 400;
        for (int k = 0; k <= n; ++k) {
            const double t = start + dir * (2 * strokes::kPi + closure) * k / n;
            path.push_back({a * std::cos(t), b * std::sin(t)});
        }
        return finish(kEllipse, circle ? "circle" : "ellipse", path, size, false);
    }

    Sample arrow(double size) {
        // The shaft, then the head drawn without lifting the pen: out along one
        // barb and back to the tip, then the other barb (open); or the head as
        // a triangle (closed).
        const double shaft = 2 * size;
        // Heads from a tenth to a fifth of the shaft, and not below about a
        // letter's height (16 units is a line of writing at the caller's scale).
        const double side = std::fmax(18.0, shaft * (0.1 + 0.1 * unit()));
        const double half = (25 + 15 * unit()) * strokes::kPi / 180;
        const bool closed = unit() < 0.3;
        const strokes::P tip = {shaft / 2, 0};
        const strokes::P s1 = {tip.x - side * std::cos(half), side * std::sin(half)};
        const strokes::P s2 = {tip.x - side * std::cos(half), -side * std::sin(half)};
        strokes::Path corners = {{-shaft / 2, 0}, tip, s1};
        if (closed) {
            corners.push_back(s2);
            corners.push_back(tip);
        } else {
            corners.push_back(tip);
            corners.push_back(s2);
        }
        jitterCorners(&corners, 0.06 * side, 0);
        return finish(kArrow, closed ? "arrow, closed head" : "arrow, open head",
                      strokes::sample(corners, 1.0), size, true);
    }

    Sample polyline(double size) {
        const int segments = 1 + static_cast<int>(unit() * 3.999);
        strokes::Path corners = {{0, 0}};
        double heading = 0;
        for (int i = 0; i < segments; ++i) {
            if (i) heading += (unit() < 0.5 ? 1 : -1) * (0.9 + 1.1 * unit());
            const double len = size * (0.8 + 0.6 * unit());
            corners.push_back({corners.back().x + len * std::cos(heading),
                               corners.back().y + len * std::sin(heading)});
        }
        jitterCorners(&corners, 0.03 * size, 0);
        static const char* const kLabels[4] = {"line", "two segments", "three segments",
                                               "four segments"};
        return finish(kPolyline, kLabels[segments - 1], strokes::sample(corners, 1.0), size, true);
    }

    Sample curve(double size) {
        strokes::Path path;
        const bool wave = unit() < 0.35;
        const int n = 300;
        if (wave) {
            // An S: two arcs turning opposite ways.
            const double r = size * 0.55;
            for (int k = 0; k <= n; ++k) {
                const double t = strokes::kPi * k / n;
                path.push_back(
                    {-r + r * std::cos(strokes::kPi - t), r * std::sin(strokes::kPi - t)});
            }
            for (int k = 1; k <= n; ++k) {
                const double t = strokes::kPi * k / n;
                path.push_back({r - r * std::cos(t), -r * std::sin(t)});
            }
        } else {
            const double sweep = (110 + 150 * unit()) * strokes::kPi / 180;
            for (int k = 0; k <= n; ++k) {
                const double t = sweep * k / n;
                path.push_back({size * std::cos(t), size * std::sin(t)});
            }
        }
        return finish(kCurve, wave ? "wave" : "arc", path, size, true);
    }

  private:
    uint32_t state_;

    uint32_t bits() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    double unit() { return bits() / 4294967296.0; }
    double sym() { return 2 * unit() - 1; }

    // Overshoot (positive) or gap (negative) at the closure, as a fraction of
    // the way around: up to 6% (5% short), and not more than 50 units of path.
    double closureFraction(double perimeter) {
        const double c = unit() < 0.5 ? 0.06 * unit() : -0.05 * unit();
        const double cap = 50.0 / perimeter;
        return c > cap ? cap : (c < -cap ? -cap : c);
    }

    void jitterCorners(strokes::Path* corners, double amount, size_t from) {
        for (size_t i = from; i < corners->size(); ++i) {
            (*corners)[i].x += amount * sym();
            (*corners)[i].y += amount * sym();
        }
    }

    Sample closedPolygon(int kind, const char* label, strokes::Path corners, double size) {
        jitterCorners(&corners, 0.04 * size, 0);
        // Start at a corner or part-way along the first side.
        const size_t n = corners.size();
        const size_t first = static_cast<size_t>(unit() * n) % n;
        const bool reverse = unit() < 0.5;
        strokes::Path ring;
        for (size_t i = 0; i < n; ++i) {
            const size_t k = reverse ? (first + n - i) % n : (first + i) % n;
            ring.push_back(corners[k]);
        }
        const double along = unit() < 0.6 ? 0 : 0.4 * unit();
        const strokes::P a = ring[0], b = ring[1];
        const strokes::P start = {a.x + (b.x - a.x) * along, a.y + (b.y - a.y) * along};
        strokes::Path path = {start};
        for (size_t i = 1; i < n; ++i) path.push_back(ring[i]);
        path.push_back(ring[0]);
        // Closure: on past the start along the first side, or short of it.
        double perimeter = 0;
        for (size_t i = 0; i < n; ++i)
            perimeter +=
                std::hypot(ring[(i + 1) % n].x - ring[i].x, ring[(i + 1) % n].y - ring[i].y);
        const double c = closureFraction(perimeter);
        if (c >= 0) {
            path.push_back(start);
            const double t = along + c * n;
            const strokes::P end = {a.x + (b.x - a.x) * std::fmin(t, 0.9),
                                    a.y + (b.y - a.y) * std::fmin(t, 0.9)};
            path.push_back(end);
        } else {
            const strokes::P last = ring[0];
            const double t = along + c * n;  // negative: stops before the start
            if (t >= 0) {
                path.push_back({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
            } else {
                const strokes::P prev = ring[n - 1];
                const double back = std::fmin(-t, 0.5);
                path.back() = {last.x + (prev.x - last.x) * back,
                               last.y + (prev.y - last.y) * back};
            }
        }
        return finish(kind, label, strokes::sample(path, 1.0), size, false);
    }

    // Rotates and places the path, then draws it with an uneven pen speed, a
    // smooth wobble and sensor noise.
    Sample finish(int kind, const char* label, const strokes::Path& path, double size, bool open) {
        const double angle = 2 * strokes::kPi * unit();
        const double cx = 500 + 200 * sym(), cy = 500 + 200 * sym();
        const double c = std::cos(angle), s = std::sin(angle);
        // Uneven speed: keep about one point per 1.5 to 4 units of path.
        strokes::Path drawn;
        double since = 1e9, step = 2.5;
        for (size_t i = 0; i < path.size(); ++i) {
            if (i) since += std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y);
            if (since >= step || i + 1 == path.size()) {
                drawn.push_back(
                    {cx + path[i].x * c - path[i].y * s, cy + path[i].x * s + path[i].y * c});
                since = 0;
                step = 1.5 + 2.5 * unit();
            }
        }
        // The hand: a slow bow (two waves longer than half the stroke, about 1%
        // of the size) and a little sensor noise.
        double length = 0;
        for (size_t i = 1; i < drawn.size(); ++i)
            length += std::hypot(drawn[i].x - drawn[i - 1].x, drawn[i].y - drawn[i - 1].y);
        const double amplitude = 0.3 + 0.01 * size;
        double wave[2][4];
        for (auto& w : wave) {
            w[0] = amplitude * (0.5 + 0.5 * unit());                        // size
            w[1] = 2 * strokes::kPi / ((0.5 + 1.5 * unit()) * length + 1);  // frequency
            w[2] = 2 * strokes::kPi * unit();                               // phase
            w[3] = 2 * strokes::kPi * unit();                               // direction
        }
        strokes::Path out;
        double at = 0;
        for (size_t i = 0; i < drawn.size(); ++i) {
            if (i) at += std::hypot(drawn[i].x - drawn[i - 1].x, drawn[i].y - drawn[i - 1].y);
            double wx = 0, wy = 0;
            for (const auto& w : wave) {
                const double v = w[0] * std::sin(w[1] * at + w[2]);
                wx += v * std::cos(w[3]);
                wy += v * std::sin(w[3]);
            }
            out.push_back({drawn[i].x + wx + 0.4 * sym(), drawn[i].y + wy + 0.4 * sym()});
        }
        (void)open;
        return {kind, label, strokes::toPoints(out)};
    }
};

}  // namespace shapegen
