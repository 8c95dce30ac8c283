// Small plane geometry shared by the recognizer core and the handwriting
// generator: points, boxes, polylines and their resampling.
#ifndef SCRIBIX_VEXASCRIPT_GEOMETRY_H
#define SCRIBIX_VEXASCRIPT_GEOMETRY_H

#include <algorithm>
#include <cmath>
#include <vector>

namespace vexa {

struct Pt {
    float x = 0, y = 0;
};

inline Pt operator+(Pt a, Pt b) { return {a.x + b.x, a.y + b.y}; }
inline Pt operator-(Pt a, Pt b) { return {a.x - b.x, a.y - b.y}; }
inline Pt operator*(Pt a, float s) { return {a.x * s, a.y * s}; }
// Plain square root: hypot's care for overflow costs much and our values are small.
inline float dist(Pt a, Pt b) {
    const float dx = a.x - b.x, dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

using Polyline = std::vector<Pt>;

// Axis-aligned box; y grows downwards as on the screen.
struct Box {
    float l = 0, t = 0, r = -1, b = -1;

    bool empty() const { return r < l; }
    float width() const { return empty() ? 0 : r - l; }
    float height() const { return empty() ? 0 : b - t; }
    float size() const { return std::max(width(), height()); }
    float cx() const { return (l + r) / 2; }
    float cy() const { return (t + b) / 2; }
    void add(Pt p) {
        if (empty()) {
            l = r = p.x;
            t = b = p.y;
            return;
        }
        l = std::min(l, p.x);
        r = std::max(r, p.x);
        t = std::min(t, p.y);
        b = std::max(b, p.y);
    }
    void add(const Box& o) {
        if (o.empty()) return;
        add(Pt{o.l, o.t});
        add(Pt{o.r, o.b});
    }
};

inline Box boxOf(const Polyline& line) {
    Box box;
    for (Pt p : line) box.add(p);
    return box;
}

inline float lengthOf(const Polyline& line) {
    float len = 0;
    for (size_t i = 1; i < line.size(); ++i) len += dist(line[i - 1], line[i]);
    return len;
}

// `count` points evenly spaced along the polyline, both ends included. A
// polyline without length gives `count` copies of its first point.
inline Polyline resample(const Polyline& line, int count) {
    Polyline out;
    if (line.empty() || count < 1) return out;
    out.reserve(count);
    const float total = lengthOf(line);
    if (count == 1 || total <= 0) {
        out.assign(count, line.front());
        if (count > 1 && total <= 0) out.back() = line.back();
        return out;
    }
    const float step = total / (count - 1);
    out.push_back(line.front());
    float carried = 0;  // distance walked since the last emitted point
    for (size_t i = 1; i < line.size() && static_cast<int>(out.size()) < count - 1; ++i) {
        Pt a = line[i - 1];
        const Pt b = line[i];
        float seg = dist(a, b);
        while (carried + seg >= step && static_cast<int>(out.size()) < count - 1) {
            const float need = step - carried;
            const float f = seg > 0 ? need / seg : 0;
            a = a + (b - a) * f;
            out.push_back(a);
            seg -= need;
            carried = 0;
        }
        carried += seg;
    }
    while (static_cast<int>(out.size()) < count) out.push_back(line.back());
    return out;
}

// Points spaced about `spacing` apart along the polyline (at least two for a
// polyline with length).
inline Polyline resampleBySpacing(const Polyline& line, float spacing) {
    const float total = lengthOf(line);
    if (line.empty()) return {};
    if (total <= 0 || spacing <= 0) return {line.front()};
    const int n = std::max(2, static_cast<int>(std::ceil(total / spacing)) + 1);
    return resample(line, n);
}

}  // namespace vexa

#endif
