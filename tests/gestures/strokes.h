// Builds ink point lists for the gesture tests: polylines sampled every few
// units, markers, and concatenations.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <vector>

namespace strokes {

struct P {
    int x, y;
};

inline int32_t pack(int x, int y) {
    return static_cast<int32_t>((static_cast<uint32_t>(y & 0xFFFF) << 16) |
                                static_cast<uint32_t>(x & 0xFFFF));
}

inline const int32_t kPenUp = pack(30000, -1);

// The corners joined by straight segments, a point about every `step` units
// along the longer axis, corners included exactly and never repeated.
inline std::vector<int32_t> polyline(std::initializer_list<P> corners, int step = 4) {
    std::vector<int32_t> pts;
    const P* prev = nullptr;
    for (const P& c : corners) {
        if (!prev) {
            pts.push_back(pack(c.x, c.y));
        } else {
            int span = std::max(std::abs(c.x - prev->x), std::abs(c.y - prev->y));
            int steps = std::max(1, span / step);
            for (int i = 1; i <= steps; ++i)
                pts.push_back(pack(prev->x + (c.x - prev->x) * i / steps,
                                   prev->y + (c.y - prev->y) * i / steps));
        }
        prev = &c;
    }
    return pts;
}

inline std::vector<int32_t> repeat(P p, int times) {
    return std::vector<int32_t>(static_cast<size_t>(times), pack(p.x, p.y));
}

inline std::vector<int32_t> penUps(int times) {
    return std::vector<int32_t>(static_cast<size_t>(times), kPenUp);
}

inline std::vector<int32_t> join(std::initializer_list<std::vector<int32_t>> parts) {
    std::vector<int32_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace strokes
