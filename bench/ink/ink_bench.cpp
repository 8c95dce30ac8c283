// The cost of one new live-ink segment: the drawing context's segment (box,
// stamps into coverage, blend into 32-bit bits of the box) beside AGG drawing
// the same segment, round-capped at the same width, into a buffer of the same
// box size. Device-context transfers are left out on both sides.
//
// Segments follow a handwriting-like curve in the sizes live ink produces
// (its smoother emits points a pixel or two apart); every operation draws the
// next segment of the curve.
#include <agg_conv_stroke.h>
#include <agg_path_storage.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_scanline_u.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "harness.h"
#include "ink/aadraw/DrawContext.h"

namespace {

struct Point {
    float x, y;  // pixels
};

// A loopy cursive-like curve, sampled every `step` pixels (with fractions).
std::vector<Point> handwriting(float step) {
    std::vector<Point> out;
    float x = 40, y = 300;
    for (float t = 0; out.size() < 4096; t += 0.01f) {
        const float nx = 40 + 60 * t + 30 * std::sin(3.1f * t) + 200 * std::fmod(t / 10, 1.0f);
        const float ny = 300 + 80 * std::sin(1.7f * t) + 25 * std::cos(5.3f * t);
        if (std::hypot(nx - x, ny - y) >= step) {
            x = nx;
            y = ny;
            out.push_back({x, y});
        }
    }
    return out;
}

// The drawing context's target: a scratch bitmap of the segment's box, the
// way the program's DIB section holds it between the two transfers.
class ScratchSurface : public aadraw::TargetSurface {
  public:
    aadraw::Rect bounds() const override { return {-100000, -100000, 100000, 100000}; }
    bool read(const aadraw::Rect& area, aadraw::Bitmap32* bits) override {
        const size_t need = size_t(area.width()) * area.height();
        if (pixels_.size() < need) pixels_.resize(need, 0x00FFFFFF);
        *bits = {pixels_.data(), area.width(), area.height(), area.width()};
        lastArea = area;
        return true;
    }
    bool write(const aadraw::Rect&) override { return true; }

    aadraw::Rect lastArea;

  private:
    std::vector<uint32_t> pixels_;
};

// AGG drawing one segment into a box-sized BGRA buffer (0x00RRGGBB in memory
// order), with its objects kept between segments as a live renderer would.
class AggSegment {
  public:
    explicit AggSegment(double width) : stroke_(path_) {
        stroke_.width(width);
        stroke_.line_cap(agg::round_cap);
        stroke_.line_join(agg::round_join);
    }

    void draw(const Point& a, const Point& b, const aadraw::Rect& box) {
        const size_t need = size_t(box.width()) * box.height() * 4;
        if (pixels_.size() < need) pixels_.resize(need, 0xFF);
        agg::rendering_buffer buffer(pixels_.data(), box.width(), box.height(), box.width() * 4);
        agg::pixfmt_bgra32 format(buffer);
        agg::renderer_base<agg::pixfmt_bgra32> base(format);
        agg::renderer_scanline_aa_solid<agg::renderer_base<agg::pixfmt_bgra32>> solid(base);
        solid.color(agg::rgba8(200, 20, 30, 255));
        // Pixel centres: the pens put pixel x's centre at x, AGG at x + 0.5.
        path_.remove_all();
        path_.move_to(a.x - box.left + 0.5, a.y - box.top + 0.5);
        path_.line_to(b.x - box.left + 0.5, b.y - box.top + 0.5);
        rasterizer_.reset();
        rasterizer_.add_path(stroke_);
        agg::render_scanlines(rasterizer_, scanline_, solid);
    }

  private:
    agg::path_storage path_;
    agg::conv_stroke<agg::path_storage> stroke_;
    agg::rasterizer_scanline_aa<> rasterizer_;
    agg::scanline_u8 scanline_;
    std::vector<uint8_t> pixels_;
};

// The box the drawing context gives a segment (so both draw into the same size).
aadraw::Rect segmentBox(aadraw::DrawContext& context, const Point& a, const Point& b) {
    auto eighths = [](float v) { return int(std::lround(v * 8)); };
    aadraw::Rect box{
        std::min(eighths(a.x), eighths(b.x)) >> 3, std::min(eighths(a.y), eighths(b.y)) >> 3,
        std::max(eighths(a.x), eighths(b.x)) >> 3, std::max(eighths(a.y), eighths(b.y)) >> 3};
    context.pen()->growRect(box);
    return box;
}

void compare(int argc, char** argv, int penType, float width, float step) {
    const std::vector<Point> curve = handwriting(step);
    const size_t n = curve.size();

    auto surface = std::make_unique<ScratchSurface>();
    aadraw::DrawContext context(std::move(surface));
    context.setPenType(penType);
    context.setWidth(width);
    context.setColour(0x001E14C8);
    std::vector<aadraw::Rect> boxes;
    for (size_t i = 0; i + 1 < n; ++i) boxes.push_back(segmentBox(context, curve[i], curve[i + 1]));
    context.moveTo(curve[0].x, curve[0].y);

    AggSegment agg(width);
    size_t aggAt = 0, ourAt = 0;
    double pixels = 0;
    for (const aadraw::Rect& box : boxes) pixels += double(box.width()) * box.height();

    std::printf("\n== %s pen, width %g, segments of %g px (box %.0f pixels on average)\n",
                penType == aadraw::kPenSlanted ? "slanted" : "round", width, step,
                pixels / boxes.size());
    bench::Harness h(argc, argv);
    h.add(
        "AGG: round-capped stroke of the segment",
        [&] {
            const size_t i = aggAt++ % boxes.size();
            agg.draw(curve[i], curve[i + 1], boxes[i]);
        },
        "segment");
    h.add(
        "aadraw: lineTo (stamps, coverage, blend)",
        [&] {
            const size_t i = ourAt++ % boxes.size();
            if (i == 0) context.moveTo(curve[0].x, curve[0].y);
            context.lineTo(curve[i + 1].x, curve[i + 1].y);
        },
        "segment");
    h.run();
}

}  // namespace

int main(int argc, char** argv) {
    struct Scenario {
        int penType;
        float width, step;
    };
    const Scenario scenarios[] = {
        {aadraw::kPenRound, 1, 1.5f},   {aadraw::kPenRound, 3, 1.5f},
        {aadraw::kPenRound, 3, 4},      {aadraw::kPenRound, 3, 12},
        {aadraw::kPenRound, 8, 1.5f},   {aadraw::kPenRound, 20, 1.5f},
        {aadraw::kPenRound, 40, 1.5f},  {aadraw::kPenSlanted, 3, 1.5f},
        {aadraw::kPenSlanted, 8, 1.5f},
    };
    for (const Scenario& s : scenarios) compare(argc, argv, s.penType, s.width, s.step);
    return 0;
}
