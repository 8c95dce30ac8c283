// The live-ink smoother: one step against an independent evaluation of its
// curve, the flush that ends exactly at the pen's last point, and whole point
// lists with separators, shifts and rounding.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "ink/InkSmoother.h"
#include "core/MemoryBlocks.h"
#include "ink_points.h"

namespace {

using Point = InkSmoother::Point;

void collect(void* context, Point p) { static_cast<std::vector<Point>*>(context)->push_back(p); }

// The same curve evaluated apart: the three points between the previous
// control points A, B and the new input, scaled by 9, truncated like C.
struct Reference {
    long a, b;
    void start(long v) { a = b = 9 * v; }
    std::vector<long> step(long v) {
        const long n = 9 * v;
        const long p1 = a + (b - a) / 3, m1 = b + (n - b) / 3, p2 = p1 + (m1 - p1) / 3;
        const long m2 = b + 2 * (n - b) / 3, p3 = p2 + (m2 - p2) / 3;
        a = p3;
        b = n;
        return {(p1 + 4) / 9, (p2 + 4) / 9, (p3 + 4) / 9};
    }
};

TEST(InkSmoother, StepsFollowTheCurveAndSkipOutputsThatBarelyMove) {
    const std::vector<Point> inputs = {{100, 100}, {180, 100}, {260, 140}, {261, 141},
                                       {200, 260}, {-40, -8},  {-41, -8}};
    InkSmoother smoother;
    Reference rx, ry;
    std::vector<Point> got, expected;
    smoother.start(inputs[0], collect, &got);
    rx.start(inputs[0].x);
    ry.start(inputs[0].y);
    expected.push_back(inputs[0]);
    Point last = inputs[0];
    for (size_t i = 1; i < inputs.size(); ++i) {
        smoother.step(inputs[i], collect, &got);
        const auto xs = rx.step(inputs[i].x), ys = ry.step(inputs[i].y);
        for (int k = 0; k < 3; ++k) {
            const Point p = {int(xs[k]), int(ys[k])};
            if (std::abs(p.x - last.x) + std::abs(p.y - last.y) > 1) {
                expected.push_back(p);
                last = p;
            }
        }
    }
    EXPECT_EQ(got, expected);
    EXPECT_GT(got.size(), inputs.size()) << "the curve adds points between the inputs";
}

TEST(InkSmoother, FlushEndsExactlyAtTheLastPoint) {
    struct {
        std::vector<Point> inputs;  // the last one is flushed
    } cases[] = {
        {{{50, 50}, {50, 50}}},
        {{{50, 50}, {51, 50}}},
        {{{0, 0}, {160, 0}, {320, 80}}},
        {{{10, 10}, {400, -300}}},
    };
    for (const auto& c : cases) {
        InkSmoother smoother;
        std::vector<Point> got;
        smoother.start(c.inputs[0], collect, &got);
        for (size_t i = 1; i + 1 < c.inputs.size(); ++i) smoother.step(c.inputs[i], collect, &got);
        const size_t before = got.size();
        smoother.flush(c.inputs.back(), collect, &got);
        ASSERT_GT(got.size(), before) << "a flush always emits";
        EXPECT_EQ(got.back(), c.inputs.back());
        EXPECT_EQ(smoother.lastEmitted(), c.inputs.back());
    }
    InkSmoother single;
    std::vector<Point> got;
    single.start({7, 9}, collect, &got);
    got.clear();
    single.flush({7, 9}, collect, &got);
    EXPECT_EQ(got, (std::vector<Point>{{7, 9}})) << "a flush of a single point is that point";
}

std::vector<InkPoint> smoothed(const std::vector<InkPoint>& in, int shift, bool keep) {
    InkPoint* out = nullptr;
    int n = 0;
    if (!smoothInkPoints(in.data(), int(in.size()), &out, &n, shift, keep)) return {};
    std::vector<InkPoint> result(out, out + n);
    freeMemory(out);
    return result;
}

TEST(InkSmoother, ListsRestartAfterEachSeparatorAndEndOnTheirPoints) {
    using namespace inktest;
    Points in = quarterPoints({{100, 100}, {140, 120}, {200, 100}});
    in.push_back(kInkSeparator);
    Points second = quarterPoints({{300, 300}, {300, 380}});
    in.insert(in.end(), second.begin(), second.end());
    in.push_back(kInkSeparator);
    const std::vector<InkPoint> out = smoothed(in, 0, false);
    ASSERT_FALSE(out.empty());
    int separators = 0;
    for (const InkPoint& p : out) separators += isSeparator(p);
    EXPECT_EQ(separators, 2) << "separators are copied";
    EXPECT_EQ(inkPointValue(out.front()), inkPointValue(makeInkPoint(100, 100)))
        << "a stroke starts with its own first point";
    size_t sep = 0;
    while (!isSeparator(out[sep])) ++sep;
    EXPECT_EQ(inkPointValue(out[sep - 1]), inkPointValue(makeInkPoint(200, 100)))
        << "the point before a separator is flushed onto itself";
    EXPECT_EQ(inkPointValue(out[sep + 1]), inkPointValue(makeInkPoint(300, 300)));
    EXPECT_EQ(inkPointValue(out[out.size() - 2]), inkPointValue(makeInkPoint(300, 380)));
    EXPECT_LE(out.size(), 6 * in.size());
}

TEST(InkSmoother, ShiftKeepsPrecisionOrRoundsBack) {
    const std::vector<InkPoint> in = {makeInkPoint(10, 10), makeInkPoint(13, 30),
                                      makeInkPoint(40, 31)};
    const auto precise = smoothed(in, 2, true);
    const auto rounded = smoothed(in, 2, false);
    ASSERT_EQ(precise.size(), rounded.size());
    EXPECT_EQ(precise.front().x, 40) << "shifted left by two";
    EXPECT_EQ(precise.back().x, 160);
    for (size_t i = 0; i < precise.size(); ++i) {
        EXPECT_EQ(rounded[i].x, (precise[i].x + 2) >> 2);
        EXPECT_EQ(rounded[i].y, (precise[i].y + 2) >> 2);
    }
    EXPECT_EQ(rounded.back().x, 40) << "back where the list ends";
}

TEST(InkSmoother, EmptyOrBadListsGiveNothing) {
    InkPoint* out = reinterpret_cast<InkPoint*>(0x1);
    int n = -5;
    const InkPoint only[] = {kInkSeparator};
    EXPECT_FALSE(smoothInkPoints(nullptr, 3, &out, &n, 0, false));
    EXPECT_FALSE(smoothInkPoints(only, 0, &out, &n, 0, false));
    const InkPoint one[] = {makeInkPoint(5, 5)};
    EXPECT_FALSE(smoothInkPoints(one, 1, nullptr, &n, 0, false));
    EXPECT_EQ(out, reinterpret_cast<InkPoint*>(0x1)) << "nothing handed out";
    const auto single = smoothed({makeInkPoint(5, 6)}, 0, false);
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(inkPointValue(single[0]), inkPointValue(makeInkPoint(5, 6)));
}

}  // namespace
