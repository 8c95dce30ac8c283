// Strokes classified per second: 64-point strokes of each kind through the
// exports, one shaper per stroke as the page analysis uses it per pass; the
// plain path (point, polyline, curve) and the template path (triangles,
// parallelograms, ellipses, arrows).
#include <vector>

#include "harness.h"
#include "VexaShape2.h"
#include "strokes.h"

using namespace strokes;

namespace {

// Resamples a path to exactly n points (the digitizer rate decides the count).
Points resampled(const Path& path, int n) {
    std::vector<double> cum(1, 0.0);
    for (size_t i = 1; i < path.size(); ++i)
        cum.push_back(cum.back() +
                      std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y));
    Path out;
    size_t j = 1;
    for (int k = 0; k < n; ++k) {
        const double t = cum.back() * k / (n - 1);
        while (j + 1 < path.size() && cum[j] < t) ++j;
        const double f = cum[j] > cum[j - 1] ? (t - cum[j - 1]) / (cum[j] - cum[j - 1]) : 0;
        out.push_back({path[j - 1].x + (path[j].x - path[j - 1].x) * f,
                       path[j - 1].y + (path[j].y - path[j - 1].y) * f});
    }
    return toPoints(out);
}

unsigned classify(const Points& pts, int flags) {
    Shaper* s = InitShaper();
    unsigned r = AddStroke2Shaper(s, static_cast<int16_t>(pts.size() / 2), pts.data(), flags);
    r += FinalizeShapes(s);
    DestroyShaper(s);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    bench::Harness h(argc, argv);
    const Points line = resampled(jitter(sample({{0, 0}, {300, 40}}, 1), 2, 1), 64);
    const Points rect =
        resampled(jitter(sample({{0, 0}, {200, 0}, {200, 120}, {0, 120}, {0, 0}}, 1), 2, 2), 64);
    const Points circle = resampled(jitter(ellipse(200, 200, 100, 100, 0, 200), 2, 3), 64);
    const Points triangle =
        resampled(jitter(sample({{0, 0}, {200, 0}, {100, 170}, {0, 0}}, 1), 2, 5), 64);
    const Points arrow =
        resampled(jitter(sample({{0, 0}, {300, 0}, {260, 25}, {300, 0}, {260, -25}}, 1), 2, 6), 64);
    const Points zigzag =
        resampled(jitter(sample({{0, 0}, {60, 90}, {120, 0}, {180, 90}, {240, 0}}, 1), 2, 4), 64);
    h.add(
        "shaper life cycle only",
        [] {
            Shaper* s = InitShaper();
            DestroyShaper(s);
        },
        "shaper");
    h.add(
        "64-point line, plain", [&] { bench::keep(classify(line, 0x02)); }, "stroke");
    h.add(
        "64-point rectangle, plain", [&] { bench::keep(classify(rect, 0x02)); }, "stroke");
    h.add(
        "64-point circle, plain", [&] { bench::keep(classify(circle, 0x02)); }, "stroke");
    h.add(
        "64-point zigzag, plain", [&] { bench::keep(classify(zigzag, 0x02)); }, "stroke");
    h.add(
        "64-point rectangle, templates", [&] { bench::keep(classify(rect, 0x0C)); }, "stroke");
    h.add(
        "64-point circle, templates", [&] { bench::keep(classify(circle, 0x0C)); }, "stroke");
    h.add(
        "64-point triangle, templates", [&] { bench::keep(classify(triangle, 0x0C)); }, "stroke");
    h.add(
        "64-point arrow, templates", [&] { bench::keep(classify(arrow, 0x0C)); }, "stroke");
    return h.run();
}
