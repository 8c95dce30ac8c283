// Strokes per second for a 64-point stroke, beside one plain pass over the
// same points (the reference: what reading the stroke alone costs).
#include <cstdint>
#include <vector>

#include "../../tests/gestures/strokes.h"
#include "gestures.h"
#include "harness.h"

int main(int argc, char** argv) {
    bench::Harness h(argc, argv);
    using strokes::polyline;
    // About 64 points each: an L-shape (found late in the tests), a line, and
    // a crooked stroke that goes through both passes and finds nothing.
    const auto lshape = polyline({{100, 100}, {100, 200}, {250, 200}}, 4);
    const auto line = polyline({{352, 100}, {100, 100}}, 4);
    const auto crooked = polyline({{100, 100}, {160, 180}, {200, 120}, {260, 190}}, 5);

    h.add("reference: one pass over 64 points", [&] {
        int64_t sum = 0;
        for (int32_t v : lshape) sum += (v & 0xFFFF) + (v >> 16);
        bench::keep(sum);
    }, "stroke");
    auto classify = [&](const std::vector<int32_t>& pts) {
        return [&pts] {
            bench::keep(GestureCheck(static_cast<int32_t>(GESTURE_MASK_SYSTEM_CLIENT), pts.data(),
                                     static_cast<int32_t>(pts.size()), 1));
        };
    };
    h.add("GestureCheck: L-shape, " + std::to_string(lshape.size()) + " points", classify(lshape),
          "stroke");
    h.add("GestureCheck: line, " + std::to_string(line.size()) + " points", classify(line), "stroke");
    h.add("GestureCheck: no gesture, " + std::to_string(crooked.size()) + " points",
          classify(crooked), "stroke");
    return h.run();
}
