// Strokes classified per second: 64-point strokes of each kind through the
// exports, one shaper per stroke as the page analysis uses it per pass; the
// plain path (point, polyline, curve) and the template path (triangles,
// parallelograms, ellipses, arrows). Then a finishing pass: 32 shapes taken as
// drawn, finished without and with alignment, and a frame with four rulings
// each way finished with its 5 x 5 table and the table's HTML.
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

// Adds the shapes as drawn and finishes them with the given flags.
unsigned finish(const std::vector<Points>& shapes, int flags, bool html) {
    Shaper* s = InitShaper();
    for (const Points& p : shapes)
        AddStroke2Shaper(s, static_cast<int16_t>(p.size() / 2), p.data(), 0x2E);
    unsigned r = FinalizeShapesEx(s, flags);
    if (html) {
        GenerateTablesXML(s);
        uint16_t count = 0;
        const VSTABLE* t = GetTable(s, &count);
        r += count && t->html ? t->htmlLength : 0;
    }
    DestroyShaper(s);
    return r;
}

Points box(int l, int t, int r, int b) {
    return {int16_t(l), int16_t(t), int16_t(r), int16_t(t), int16_t(r),
            int16_t(b), int16_t(l), int16_t(b), int16_t(l), int16_t(t)};
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
    // 32 shapes on an 8 x 4 grid, edges a unit or two apart: rectangles,
    // lines between them and triangles.
    std::vector<Points> page;
    for (int i = 0; i < 32; ++i) {
        const int x = (i % 8) * 120 + i % 3, y = (i / 8) * 120 + i % 2;
        if (i % 4 == 3)
            page.push_back({int16_t(x), int16_t(y + 50), int16_t(x + 100), int16_t(y + 50)});
        else if (i % 4 == 2)
            page.push_back({int16_t(x), int16_t(y + 100), int16_t(x + 100), int16_t(y + 100),
                            int16_t(x + 50), int16_t(y), int16_t(x), int16_t(y + 100)});
        else
            page.push_back(box(x, y, x + 100, y + 90 + i % 5));
    }
    std::vector<Points> table = {box(0, 0, 500, 500)};
    for (int k = 1; k < 5; ++k) {
        table.push_back({0, int16_t(100 * k), 500, int16_t(100 * k)});
        table.push_back({int16_t(100 * k), 0, int16_t(100 * k), 500});
    }
    h.add(
        "32 shapes as drawn, finished", [&] { bench::keep(finish(page, 0, false)); }, "page");
    h.add(
        "32 shapes as drawn, finished and aligned", [&] { bench::keep(finish(page, 0x10, false)); },
        "page");
    h.add(
        "frame and 8 rulings, aligned", [&] { bench::keep(finish(table, 0x10, false)); }, "page");
    h.add(
        "frame and 8 rulings, 5 x 5 table and HTML",
        [&] { bench::keep(finish(table, 0x210, true)); }, "page");
    return h.run();
}
