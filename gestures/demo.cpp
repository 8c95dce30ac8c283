// Draws a few strokes in code, classifies each with GestureCheck through
// gestures.dll and prints what it found.
#include <cstdio>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "gestures.h"

namespace {

struct Corner {
    int x, y;
};

std::vector<int32_t> polyline(std::initializer_list<Corner> corners) {
    std::vector<int32_t> pts;
    auto put = [&](int x, int y) {
        pts.push_back(static_cast<int32_t>((static_cast<uint32_t>(y & 0xFFFF) << 16) | (x & 0xFFFF)));
    };
    const Corner* prev = nullptr;
    for (const Corner& c : corners) {
        if (!prev) {
            put(c.x, c.y);
        } else {
            int steps = std::max(std::abs(c.x - prev->x), std::abs(c.y - prev->y)) / 4;
            for (int i = 1; i <= steps; ++i)
                put(prev->x + (c.x - prev->x) * i / steps, prev->y + (c.y - prev->y) * i / steps);
        }
        prev = &c;
    }
    return pts;
}

const char* nameOf(uint32_t bit) {
    switch (bit) {
        case 0: return "no gesture";
        case 0x4: return "line, right to left";
        case 0x8: return "out-and-back, first leg left";
        case 0x40: return "out-and-back, first leg right";
        case 0x80: return "line, left to right";
        case 0x100: return "line, upwards";
        case 0x200: return "out-and-back, first leg up";
        case 0x400: return "L-shape, up then left";
        case 0x800: return "L-shape, up then right";
        case 0x1000: return "out-and-back, first leg down";
        case 0x2000: return "line, downwards";
        case 0x4000: return "L-shape, down then left";
        case 0x8000: return "L-shape, down then right";
        case 0x40000000: return "scratch-out";
        case 0x80000000: return "caret";
        default: return "?";
    }
}

}  // namespace

int main() {
    struct Demo {
        const char* drawn;
        std::vector<int32_t> points;
    } demos[] = {
        {"a stroke from right to left", polyline({{400, 200}, {100, 200}})},
        {"down, then right", polyline({{100, 100}, {100, 300}, {400, 300}})},
        {"up to a peak and down again", polyline({{100, 400}, {200, 150}, {300, 400}})},
        {"out to the right and back", polyline({{100, 200}, {400, 200}, {110, 200}})},
        {"a scribble", polyline({{100, 100}, {200, 112}, {100, 124}, {200, 136}, {100, 148},
                               {200, 160}, {100, 172}})},
        {"a tiny dot", polyline({{100, 100}, {103, 102}})},
    };
    const uint32_t mask = GESTURE_MASK_SYSTEM_CLIENT | GESTURE_SCRATCH_OUT;
    std::printf("GestureCheck with mask 0x%08X:\n", mask);
    for (const Demo& d : demos) {
        uint32_t r = static_cast<uint32_t>(GestureCheck(static_cast<int32_t>(mask), d.points.data(),
                                                        static_cast<int32_t>(d.points.size()), 1));
        std::printf("  %-30s -> 0x%08X %s\n", d.drawn, r, nameOf(r));
    }
    return 0;
}
