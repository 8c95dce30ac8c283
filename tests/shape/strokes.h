// Synthetic pen strokes for the shape recognizer's tests: polylines sampled
// the way a digitizer reports them, ellipses, and seeded hand-like jitter.
#pragma once

#include <stdint.h>

#include <cmath>
#include <random>
#include <vector>

namespace strokes {

struct P {
    double x, y;
};

using Path = std::vector<P>;
using Points = std::vector<int16_t>;  // x, y pairs

constexpr double kPi = 3.14159265358979323846;

// Points along the corners every `step` units (corners included).
inline Path sample(const Path& corners, double step = 3.0) {
    Path out;
    for (size_t i = 0; i + 1 < corners.size(); ++i) {
        const P a = corners[i], b = corners[i + 1];
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        const int n = len > step ? static_cast<int>(len / step) : 1;
        for (int k = 0; k < n; ++k)
            out.push_back({a.x + (b.x - a.x) * k / n, a.y + (b.y - a.y) * k / n});
    }
    if (!corners.empty()) out.push_back(corners.back());
    return out;
}

// An ellipse of semi-axes a, b turned by `angle`, from `start` (radians) through
// `sweep` radians, n points.
inline Path ellipse(double cx, double cy, double a, double b, double angle, int n,
                    double start = 0.0, double sweep = 2 * kPi) {
    Path out;
    const double c = std::cos(angle), s = std::sin(angle);
    for (int k = 0; k <= n; ++k) {
        const double t = start + sweep * k / n;
        const double x = a * std::cos(t), y = b * std::sin(t);
        out.push_back({cx + x * c - y * s, cy + x * s + y * c});
    }
    return out;
}

// Smooth low-frequency wobble plus a little sensor noise, both seeded.
inline Path jitter(const Path& path, double amplitude, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    Path out;
    double wx = 0, wy = 0;
    for (const P& p : path) {
        wx = 0.85 * wx + 0.15 * amplitude * unit(rng);
        wy = 0.85 * wy + 0.15 * amplitude * unit(rng);
        out.push_back({p.x + wx + 0.3 * unit(rng), p.y + wy + 0.3 * unit(rng)});
    }
    return out;
}

inline Points toPoints(const Path& path) {
    Points out;
    for (const P& p : path) {
        out.push_back(static_cast<int16_t>(std::lround(p.x)));
        out.push_back(static_cast<int16_t>(std::lround(p.y)));
    }
    return out;
}

inline Points polyline(const Path& corners, double step = 3.0) {
    return toPoints(sample(corners, step));
}

inline Path rotated(const Path& path, double cx, double cy, double angle) {
    Path out;
    const double c = std::cos(angle), s = std::sin(angle);
    for (const P& p : path)
        out.push_back({cx + (p.x - cx) * c - (p.y - cy) * s, cy + (p.x - cx) * s + (p.y - cy) * c});
    return out;
}

}  // namespace strokes
