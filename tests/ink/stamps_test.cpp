// The pens' coverage stamps, checked against an independent floating-point
// model of the nibs (nib_reference.h): the ramp on the exact distance, the
// share of the nib in the square around each pixel, and the nib's area.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "ink/aadraw/Brush.h"
#include "ink/aadraw/FixedPoint.h"
#include "nib_reference.h"

namespace {

using aadraw::MonoBrush;
using aadraw::RoundPen;
using aadraw::SlantPen;
using inktest::Nib;

struct PenCase {
    std::string name;
    bool slanted;
    float a, b, c;  // round: width a; slanted: radius a, segment (b, c)

    std::unique_ptr<MonoBrush> make() const {
        if (slanted) return std::make_unique<SlantPen>(a, b, c, 0, 255);
        return std::make_unique<RoundPen>(a, 0, 255);
    }
    Nib nib() const { return slanted ? Nib{a, b, c} : Nib::round(a); }
};

std::ostream& operator<<(std::ostream& os, const PenCase& c) { return os << c.name; }

PenCase round(const char* name, float width) { return {name, false, width, 0, 0}; }
// The slanted pen as the drawing context makes it for a width.
PenCase slantedWidth(const char* name, float w) { return {name, true, w / 2, w / 2, -w / 2}; }
PenCase capsule(const char* name, float a, float b, float c) { return {name, true, a, b, c}; }

// Offset of stamp pixel (col, row) from the nib's centre, in pixels.
double offset(int index, int size, int phase) { return index - size / 2 - phase / 8.0; }

class StampTest : public testing::TestWithParam<PenCase> {
  protected:
    // Coverage of stamp pixel (col, row); 0 outside the stamp.
    static int at(const uint8_t* stamp, int size, int col, int row) {
        if (col < 0 || row < 0 || col >= size || row >= size) return 0;
        return stamp[row * size + col];
    }
};

// Every pixel of every phase, and a border of pixels around the stamp that
// must need no coverage at all: a stamp too small would cut the nib off.
TEST_P(StampTest, FollowsTheRampOnTheExactDistanceAndHoldsTheWholeNib) {
    auto pen = GetParam().make();
    const Nib nib = GetParam().nib();
    const int size = pen->stampSize();
    ASSERT_EQ(size % 2, 1);
    for (int py = 0; py < 8; ++py) {
        for (int px = 0; px < 8; ++px) {
            const uint8_t* stamp = pen->stamp(px, py);
            ASSERT_NE(stamp, nullptr);
            for (int row = -3; row < size + 3; ++row) {
                for (int col = -3; col < size + 3; ++col) {
                    const int expected = inktest::rampCoverage(
                        nib.distance(offset(col, size, px), offset(row, size, py)));
                    const bool inside = col >= 0 && row >= 0 && col < size && row < size;
                    if (inside) {
                        ASSERT_NEAR(at(stamp, size, col, row), expected, 1)
                            << "phase " << px << "," << py << " pixel " << col << "," << row;
                    } else {
                        ASSERT_EQ(expected, 0) << "cut off: phase " << px << "," << py << " pixel "
                                               << col << "," << row;
                    }
                }
            }
        }
    }
}

// The ramp stands for the share of the nib in the 2 x 2 pixel square around
// each pixel: exact for a straight edge along a pixel axis. A slanted edge
// against the square differs by up to 14 (of 255), and the nib's curvature
// adds a part that falls with its radius.
TEST_P(StampTest, AgreesWithTheNibsShareOfTheSquareAroundEachPixel) {
    const Nib nib = GetParam().nib();
    if (nib.r < 1.5) GTEST_SKIP() << "nib thinner than the square: the ramp is no area here";
    auto pen = GetParam().make();
    const int size = pen->stampSize();
    const std::pair<int, int> phases[] = {{0, 0}, {3, 5}, {7, 7}, {4, 1}, {6, 2}};
    for (auto [px, py] : phases) {
        const uint8_t* stamp = pen->stamp(px, py);
        for (int row = 0; row < size; ++row) {
            for (int col = 0; col < size; ++col) {
                const double share =
                    inktest::squareShare(nib, offset(col, size, px), offset(row, size, py), 16);
                ASSERT_NEAR(at(stamp, size, col, row), share, 14 + 21 / nib.r)
                    << "phase " << px << "," << py << " pixel " << col << "," << row;
            }
        }
    }
}

// Summed over the plane, the ramp gives back what it takes inside the edge
// apart from the curvature: for a convex nib whose ends have a radius of at
// least one pixel the total is the nib's area plus pi/3 pixel squared. The
// ramp truncates to whole levels, half a level on average over the band of
// two pixels along the edge: the perimeter / 255 less. Summing on the pixel
// grid rather than over the plane leaves an error that grows with the nib.
TEST_P(StampTest, TotalsTheNibsAreaPlusAThirdOfPi) {
    const Nib nib = GetParam().nib();
    if (nib.r < 1) GTEST_SKIP() << "end radius below one pixel";
    auto pen = GetParam().make();
    const int size = pen->stampSize();
    const double expected =
        inktest::sampledArea(nib, 32) + inktest::kPi / 3 - nib.perimeter() / 255;
    for (int phase = 0; phase < 64; ++phase) {
        const uint8_t* stamp = pen->stamp(phase % 8, phase / 8);
        double total = 0;
        for (int i = 0; i < size * size; ++i) total += stamp[i];
        ASSERT_NEAR(total / 255, expected, 0.5 + expected / 1000)
            << "phase " << phase % 8 << "," << phase / 8;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pens, StampTest,
    testing::Values(round("Round0_5", 0.5f), round("Round1", 1), round("Round1_5", 1.5f),
                    round("Round2", 2), round("Round2_5", 2.5f), round("Round3", 3),
                    round("Round4_25", 4.25f), round("Round7", 7), round("Round10", 10),
                    round("Round16_5", 16.5f), round("Round40", 40), slantedWidth("Slanted1", 1),
                    slantedWidth("Slanted2", 2), slantedWidth("Slanted3", 3),
                    slantedWidth("Slanted5", 5), slantedWidth("Slanted10", 10),
                    slantedWidth("Slanted40", 40), capsule("CapsuleHorizontal", 1.5f, 6, 0),
                    capsule("CapsuleVertical", 2, 0, 5), capsule("CapsuleSteep", 1.25f, -2, -7),
                    capsule("CapsuleThin", 0.5f, 4, 1), capsule("CapsuleWithoutSegment", 3, 0, 0)),
    [](const auto& info) { return info.param.name; });

// The worked example in the pen's description says 5; its own formula gives
// ((12288 >> 1) + 8191) >> 12 = 3, so 3 x 2 + 1 = 7, and only 7 holds the nib:
// at phase 7 the edge ramp reaches two pixels right of the middle pixel's
// neighbour, outside a 5-pixel stamp.
TEST(RoundPenTest, Width3GivesTheFormulasSevenPixelStamp) {
    RoundPen pen(3, 0, 255);
    EXPECT_EQ(pen.stampSize(), 7);
    const uint8_t* stamp = pen.stamp(7, 0);
    EXPECT_GT(stamp[3 * 7 + 6], 0);  // column 6: beyond what 5 pixels would hold
}

TEST(RoundPenTest, StampSizesFollowTheFormula) {
    struct Case {
        float width;
        int size;
    };
    for (const Case& c : {Case{0.5f, 5}, Case{1, 5}, Case{2, 5}, Case{2.5f, 7}, Case{3, 7},
                          Case{4, 7}, Case{4.5f, 9}, Case{10, 13}, Case{40, 43}}) {
        EXPECT_EQ(RoundPen::stampSizeFor(c.width), c.size) << c.width;
    }
}

TEST(RoundPenTest, EdgeOfTheNibGetsHalfCoverage) {
    EXPECT_EQ(aadraw::coverageRamp(0), 128);   // on the edge
    EXPECT_EQ(aadraw::coverageRamp(-1), 128);  // 1/4096 inside: (4096 + 1) >> 5
    EXPECT_EQ(aadraw::coverageRamp(4096), 0);  // a pixel outside
    EXPECT_EQ(aadraw::coverageRamp(4095), 0);
    EXPECT_EQ(aadraw::coverageRamp(-4095), 255);
    EXPECT_EQ(aadraw::coverageRamp(-100000), 255);
    // Width 2 at phase 0: the neighbours' centres lie on the edge, the next ones a pixel out.
    RoundPen pen(2, 0, 255);
    const uint8_t* stamp = pen.stamp(0, 0);
    const int size = pen.stampSize(), mid = size / 2;
    EXPECT_EQ(stamp[mid * size + mid + 1], 128);
    EXPECT_EQ(stamp[(mid + 1) * size + mid], 128);
    EXPECT_EQ(stamp[mid * size + mid + 2], 0);
}

TEST(SlantPenTest, StampReachesHalfTheSegmentPlusTheRadius) {
    // Width 10 as the drawing context makes it: reach 2.5 + 5 on each axis.
    EXPECT_EQ(SlantPen::stampSizeFor(5, 5, -5), 19);
    EXPECT_EQ(SlantPen::stampSizeFor(3, 0, 0), RoundPen::stampSizeFor(6));
    EXPECT_EQ(SlantPen::stampSizeFor(1, 0, -8), 13);
}

TEST(StampSetTest, PensOfOneSizeShareTheirStamps) {
    RoundPen a(3, 0xFF0000, 255), b(3, 0x00FF00, 128), c(3.25f, 0, 255);
    EXPECT_EQ(a.getStampSet(), b.getStampSet());
    EXPECT_NE(a.getStampSet(), c.getStampSet());
    EXPECT_EQ(a.stamp(2, 5), b.stamp(2, 5));

    SlantPen s(1.5f, 1.5f, -1.5f, 0, 255), t(1.5f, 1.5f, -1.5f, 0xFF, 255),
        u(1.5f, -1.5f, 1.5f, 0, 255);
    EXPECT_EQ(s.getStampSet(), t.getStampSet());
    EXPECT_NE(s.getStampSet(), u.getStampSet());  // same hash, other nib
    SlantPen disc(1.5f, 0, 0, 0, 255);
    EXPECT_NE(static_cast<void*>(disc.getStampSet()), static_cast<void*>(a.getStampSet()));
}

TEST(PenTest, UnusableSizesGiveSaneStamps) {
    struct Case {
        const char* name;
        std::unique_ptr<MonoBrush> pen;
    };
    Case cases[] = {
        {"nan width", std::make_unique<RoundPen>(std::nanf(""), 0, 255)},
        {"negative width", std::make_unique<RoundPen>(-4, 0, 255)},
        {"huge width", std::make_unique<RoundPen>(1e9f, 0, 255)},
        {"huge slant", std::make_unique<SlantPen>(1e9f, -1e9f, 1e9f, 0, 255)},
        {"infinite slant", std::make_unique<SlantPen>(INFINITY, 0, 0, 0, 255)},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int size = c.pen->stampSize();
        EXPECT_GE(size, 1);
        EXPECT_LE(size, 2 * int(aadraw::kMaxPenWidth) + 5);
        EXPECT_NE(c.pen->stamp(7, 7), nullptr);
    }
}

TEST(FixedPointTest, ArithmeticIn4096ths) {
    using aadraw::fxDiv;
    using aadraw::fxMul;
    using aadraw::fxSqrt;
    EXPECT_EQ(fxMul(3 * 4096, 2 * 4096), 6 * 4096);
    EXPECT_EQ(fxMul(-4096, 4096), -4096);
    EXPECT_EQ(fxMul(2048, 2048), 1024);  // 0.5 * 0.5
    EXPECT_EQ(fxDiv(4096, 2 * 4096), 2048);
    EXPECT_EQ(fxDiv(-3 * 4096, 4096), -3 * 4096);
    EXPECT_EQ(fxSqrt(0), 0);
    EXPECT_EQ(fxSqrt(-5), 0);
    EXPECT_EQ(fxSqrt(1), 64);
    EXPECT_EQ(fxSqrt(2), 96);  // 64 + (1 * 4096) / 128
    EXPECT_EQ(fxSqrt(4096), 4096);
    EXPECT_EQ(fxSqrt(25 * 4096), 5 * 4096);
    // Away from tiny inputs the root is within a unit of 64 sqrt(n).
    for (int64_t n = 100; n < 100000000; n = n * 3 + 7)
        EXPECT_NEAR(double(fxSqrt(n)), 64 * std::sqrt(double(n)), 1.0) << n;
}

}  // namespace
