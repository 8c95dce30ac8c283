// Segments drawn by stamping into coverage buffers, the blend with the pen
// colour, and the drawing context over a plain bitmap.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "ink/aadraw/Brush.h"
#include "ink/aadraw/DrawContext.h"
#include "ink/aadraw/StrokeManager.h"
#include "nib_reference.h"

namespace {

using namespace aadraw;

// A coverage buffer over `region` with memory of its own.
struct Coverage {
    explicit Coverage(const Rect& r, const MonoBrush* pen = nullptr)
        : bytes(size_t(r.width()) * r.height()), buffer(pen, r, bytes.data()) {}
    std::vector<uint8_t> bytes;
    MonoStrokeBuffer buffer;
};

// Bounds of a segment (eighths) as the drawing context grows them.
Rect segmentBox(const MonoBrush& pen, int x0, int y0, int x1, int y1) {
    Rect box{std::min(x0, x1) >> 3, std::min(y0, y1) >> 3, std::max(x0, x1) >> 3,
             std::max(y0, y1) >> 3};
    pen.growRect(box);
    return box;
}

TEST(DrawLineTest, ZeroLengthStampsOnceAtItsEnd) {
    RoundPen pen(5, 0, 255);
    const int x = 8 * 20 + 3, y = 8 * 30 + 6;
    Coverage c(Rect{0, 0, 64, 64});
    ASSERT_TRUE(pen.drawLine(c.buffer, x, y, 255, x, y, 255));
    const int size = pen.stampSize(), half = size / 2;
    const uint8_t* stamp = pen.stamp(3, 6);
    for (int row = 0; row < 64; ++row) {
        for (int col = 0; col < 64; ++col) {
            const int sx = col - (20 - half), sy = row - (30 - half);
            const int expected =
                sx >= 0 && sy >= 0 && sx < size && sy < size ? stamp[sy * size + sx] : 0;
            ASSERT_EQ(c.buffer.coverageAt(col, row), expected) << col << "," << row;
        }
    }
}

// Away from its start (which the walk leaves to the segment before), a
// segment drawn with a round pen is the capsule around the true segment, up
// to the walk's limits: the minor axis is rounded to 1/16 pixel (8 levels of
// the ramp), and stamps fall a whole pixel apart along the major axis (up to
// sqrt(2) on a diagonal), so between two of them a pixel h from the line may
// be sqrt(h^2 + 1/2) from the nearer stamp.
TEST(DrawLineTest, RoundPenSweepsTheCapsuleAroundTheSegment) {
    std::mt19937 random(20240611);
    for (float width : {1.0f, 2.0f, 3.0f, 5.0f, 8.0f, 15.0f, 40.0f}) {
        SCOPED_TRACE(width);
        RoundPen pen(width, 0, 255);
        const double r = width / 2, h = std::max(r - 1, 0.0);
        const double under = 8 + 128 * (std::sqrt(h * h + 0.5) - h);
        for (int i = 0; i < 40; ++i) {
            const int x0 = 200 + int(random() % 400), y0 = 200 + int(random() % 400);
            const int x1 = 200 + int(random() % 400), y1 = 200 + int(random() % 400);
            const Rect box = segmentBox(pen, x0, y0, x1, y1);
            Coverage c(box, &pen);
            ASSERT_TRUE(pen.drawLine(c.buffer, x0, y0, 255, x1, y1, 255));
            const inktest::Nib swept{r, (x1 - x0) / 8.0, (y1 - y0) / 8.0};
            const double cx = (x0 + x1) / 16.0, cy = (y0 + y1) / 16.0;
            for (int y = box.top; y < box.bottom; ++y) {
                for (int x = box.left; x < box.right; ++x) {
                    if (std::hypot(x - x0 / 8.0, y - y0 / 8.0) < r + 2) continue;
                    const int expected = inktest::rampCoverage(swept.distance(x - cx, y - cy));
                    const int got = c.buffer.coverageAt(x, y);
                    ASSERT_LE(got, expected + 8) << x << "," << y;
                    ASSERT_GE(got, expected - under) << x << "," << y;
                }
            }
        }
    }
}

// Coverage only grows: drawing A and then B leaves the larger of the two at
// every pixel, whichever pen.
TEST(DrawLineTest, OverlappingSegmentsKeepTheLargerCoverage) {
    RoundPen round(6, 0, 255);
    SlantPen slanted(3, 3, -3, 0, 255);
    const Rect region{0, 0, 48, 48};
    struct Segment {
        MonoBrush* pen;
        int x0, y0, x1, y1;
    };
    const Segment a{&round, 8 * 5, 8 * 5 + 3, 8 * 40 + 5, 8 * 30},
        b{&slanted, 8 * 40, 8 * 4, 8 * 6 + 7, 8 * 42 + 1};
    Coverage both(region), onlyA(region), onlyB(region);
    for (const Segment& s : {a, b}) s.pen->drawLine(both.buffer, s.x0, s.y0, 255, s.x1, s.y1, 255);
    a.pen->drawLine(onlyA.buffer, a.x0, a.y0, 255, a.x1, a.y1, 255);
    b.pen->drawLine(onlyB.buffer, b.x0, b.y0, 255, b.x1, b.y1, 255);
    for (size_t i = 0; i < both.bytes.size(); ++i)
        ASSERT_EQ(both.bytes[i], std::max(onlyA.bytes[i], onlyB.bytes[i])) << i;
}

// A region that holds only part of the segment gets exactly that part; one
// that holds none of it stays empty.
TEST(DrawLineTest, RegionsClipTheSegment) {
    SlantPen pen(2, 2, -2, 0, 255);
    const int x0 = -8 * 10 + 3, y0 = 8 * 7, x1 = 8 * 70 + 4, y1 = 8 * 33 + 5;
    Coverage whole(segmentBox(pen, x0, y0, x1, y1));
    pen.drawLine(whole.buffer, x0, y0, 255, x1, y1, 255);
    const Rect parts[] = {{0, 0, 20, 20}, {30, 10, 90, 40}, {-20, -20, 5, 5}, {200, 200, 230, 210}};
    for (const Rect& part : parts) {
        Coverage c(part);
        pen.drawLine(c.buffer, x0, y0, 255, x1, y1, 255);
        for (int y = part.top; y < part.bottom; ++y)
            for (int x = part.left; x < part.right; ++x)
                ASSERT_EQ(c.buffer.coverageAt(x, y), whole.buffer.coverageAt(x, y))
                    << x << "," << y;
    }
}

// Phases and pixels of negative positions come from floor division: moving a
// segment by whole pixels moves its ink and nothing else.
TEST(DrawLineTest, WholePixelShiftsMoveTheInkUnchanged) {
    RoundPen pen(4.5f, 0, 255);
    const int shiftX = -60, shiftY = -45;  // pixels
    const int x0 = 8 * 10 + 5, y0 = 8 * 12 + 1, x1 = 8 * 40 + 2, y1 = 8 * 20 + 7;
    const Rect region{0, 0, 56, 40};
    const Rect moved{region.left + shiftX, region.top + shiftY, region.right + shiftX,
                     region.bottom + shiftY};
    Coverage here(region), there(moved);
    pen.drawLine(here.buffer, x0, y0, 255, x1, y1, 255);
    pen.drawLine(there.buffer, x0 + 8 * shiftX, y0 + 8 * shiftY, 255, x1 + 8 * shiftX,
                 y1 + 8 * shiftY, 255);
    EXPECT_EQ(here.bytes, there.bytes);
}

TEST(DrawLineTest, LevelsScaleTheStampsAlongTheSegment) {
    RoundPen pen(3, 0, 255);
    const Rect region{0, 0, 80, 16};
    Coverage none(region), rising(region);
    pen.drawLine(none.buffer, 8 * 4, 8 * 8, 0, 8 * 70, 8 * 8, 0);
    for (uint8_t v : none.bytes) ASSERT_EQ(v, 0);
    pen.drawLine(rising.buffer, 8 * 4, 8 * 8, 0, 8 * 70, 8 * 8, 255);
    int previous = 0;
    for (int x = 5; x <= 70; ++x) {
        const int v = rising.buffer.coverageAt(x, 8);
        EXPECT_GE(v, previous) << x;
        previous = v;
    }
    EXPECT_LT(rising.buffer.coverageAt(10, 8), 64);
    EXPECT_EQ(rising.buffer.coverageAt(70, 8), 255);
}

TEST(BlendTest, PixelsMixChannelByChannel) {
    struct Case {
        uint32_t pixel, colour;
        int coverage, opacity;
    };
    const Case cases[] = {
        {0x00FFFFFF, 0x00FF0000, 0, 255},   {0x00FFFFFF, 0x00FF0000, 255, 255},
        {0xAB102030, 0x00405060, 255, 255}, {0x00FFFFFF, 0x00000000, 128, 255},
        {0x00102030, 0x00F0E0D0, 77, 255},  {0x00F0E0D0, 0x00102030, 200, 255},
        {0x00FFFFFF, 0x00FF0000, 255, 128}, {0x00808080, 0x00000000, 255, 0},
        {0x12345678, 0x00ABCDEF, 1, 255},   {0x00000000, 0x00FFFFFF, 254, 254},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.pixel << " " << c.colour << std::dec
                                        << " a=" << c.coverage << " op=" << c.opacity);
        const int a = c.opacity < 255 ? ((c.opacity + 1) * c.coverage) / 256 : c.coverage;
        uint32_t expected = c.pixel & 0xFF000000;
        for (int shift : {0, 8, 16}) {
            const int p = (c.pixel >> shift) & 0xFF, q = (c.colour >> shift) & 0xFF;
            const int mixed = a == 255 ? q : p + int(std::floor((q - p) * a / 256.0));
            expected |= uint32_t(mixed) << shift;
        }
        EXPECT_EQ(blendPixel(c.pixel, c.colour, c.coverage, c.opacity), expected);
    }
    // Full coverage at full opacity writes the pen colour exactly.
    EXPECT_EQ(blendPixel(0x00123456, 0x00FEDCBA, 255, 255), 0x00FEDCBAu);
}

// A 3 x 2 coverage block at (10, 20) over bitmaps placed at various points.
class BufferBlendTest : public testing::Test {
  protected:
    BufferBlendTest() : pen_(1, 0x00FF0000, 255), coverage_(Rect{10, 20, 13, 22}, &pen_) {
        const uint8_t values[] = {0, 255, 128, 64, 0, 255};
        std::memcpy(coverage_.bytes.data(), values, sizeof values);
    }

    static std::vector<uint32_t> filled(int w, int h, uint32_t colour) {
        return std::vector<uint32_t>(size_t(w) * h, colour);
    }

    RoundPen pen_;
    Coverage coverage_;
};

TEST_F(BufferBlendTest, BlendInPlaceTouchesOnlyCoveredPixelsInsideBothAndTheClip) {
    const uint32_t white = 0x00FFFFFF;
    std::vector<uint32_t> pixels = filled(4, 3, white);
    const Bitmap32 bitmap{pixels.data(), 4, 3, 4};
    // The bitmap starts at (11, 19): coverage columns 11 and 12 of rows 20 and 21 land in it.
    coverage_.buffer.blendInPlace(bitmap, 11, 19, nullptr);
    const uint32_t expected[] = {
        white,      white,
        white,      white,  // row 19: no coverage
        0x00FF0000, blendPixel(white, 0xFF0000, 128, 255),
        white,      white,  // row 20
        white,      0x00FF0000,
        white,      white,  // row 21
    };
    for (int i = 0; i < 12; ++i) EXPECT_EQ(pixels[i], expected[i]) << i;

    std::vector<uint32_t> clipped = filled(4, 3, white);
    const Rect clip{12, 0, 100, 21};
    coverage_.buffer.blendInPlace(Bitmap32{clipped.data(), 4, 3, 4}, 11, 19, &clip);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(clipped[i], i == 5 ? expected[5] : white) << i;
}

TEST_F(BufferBlendTest, BlendCopyCopiesUncoveredPixels) {
    std::vector<uint32_t> source(6), target = filled(3, 2, 0x00ABCDEF);
    for (int i = 0; i < 6; ++i) source[i] = 0x00010101u * uint32_t(i * 40);
    coverage_.buffer.setOpacity(255);
    coverage_.buffer.blendCopy(Bitmap32{source.data(), 3, 2, 3}, 10, 20,
                               Bitmap32{target.data(), 3, 2, 3}, 10, 20);
    const uint8_t values[] = {0, 255, 128, 64, 0, 255};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(target[i], blendPixel(source[i], 0x00FF0000, values[i], 255)) << i;
    EXPECT_EQ(target[0], source[0]);
    EXPECT_EQ(target[4], source[4]);
}

TEST(StrokeManagerTest, ReusesOneBlockAndHandsItOutZeroed) {
    RoundPen pen(2, 0x123456, 200);
    SingleStrokeManager manager;
    StrokeBuffer* first = manager.getBuffer(&pen, Rect{0, 0, 10, 10});
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(manager.capacity(), 100u);
    pen.drawLine(*first, 40, 40, 255, 40, 40, 255);
    auto* mono = static_cast<MonoStrokeBuffer*>(first);
    EXPECT_EQ(mono->colour(), 0x123456u);
    EXPECT_EQ(mono->opacity(), 200);
    const uint8_t* memory = mono->coverage();
    manager.releaseBuffer(first);

    StrokeBuffer* smaller = manager.getBuffer(&pen, Rect{5, 5, 12, 12});
    EXPECT_EQ(static_cast<MonoStrokeBuffer*>(smaller)->coverage(), memory);
    EXPECT_EQ(manager.capacity(), 100u);
    for (int y = 5; y < 12; ++y)
        for (int x = 5; x < 12; ++x)
            EXPECT_EQ(static_cast<MonoStrokeBuffer*>(smaller)->coverageAt(x, y), 0);
    manager.releaseBuffer(smaller);

    StrokeBuffer* larger = manager.getBuffer(&pen, Rect{0, 0, 30, 20});
    EXPECT_EQ(manager.capacity(), 600u);
    manager.releaseBuffer(larger);
    StrokeBuffer* empty = manager.getBuffer(&pen, Rect{3, 3, 1, 1});
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->region().empty());
    manager.releaseBuffer(empty);
}

// The drawing context over a white 64 x 48 bitmap.
class DrawContextTest : public testing::Test {
  protected:
    DrawContextTest()
        : pixels_(64 * 48, kWhite),
          context_(std::make_unique<BitmapSurface>(Bitmap32{pixels_.data(), 64, 48, 64})) {}

    uint32_t at(int x, int y) const { return pixels_[size_t(y) * 64 + x]; }

    static constexpr uint32_t kWhite = 0x00FFFFFF;
    std::vector<uint32_t> pixels_;
    DrawContext context_;
};

TEST_F(DrawContextTest, AcceptsOnlyWidthsAbove0UpTo40) {
    struct Case {
        float width;
        bool accepted;
    };
    for (const Case& c :
         {Case{40, true}, Case{40.5f, false}, Case{0, false}, Case{-1, false}, Case{0.01f, true},
          Case{3, true}, Case{std::nanf(""), false}, Case{INFINITY, false}}) {
        EXPECT_EQ(context_.setWidth(c.width), c.accepted) << c.width;
    }
    EXPECT_EQ(context_.width(), 3.0f);  // the last accepted
}

TEST_F(DrawContextTest, PenTypesMakeTheirPens) {
    ASSERT_TRUE(context_.setWidth(6));
    for (int type : {0, 4, -1}) EXPECT_FALSE(context_.setPenType(type)) << type;

    ASSERT_TRUE(context_.setPenType(2));
    auto* slanted = dynamic_cast<SlantPen*>(context_.pen());
    ASSERT_NE(slanted, nullptr);
    EXPECT_EQ(slanted->radius(), 3.0f);
    EXPECT_EQ(slanted->segmentX(), 3.0f);
    EXPECT_EQ(slanted->segmentY(), -3.0f);

    for (int type : {1, 3}) {
        ASSERT_TRUE(context_.setPenType(type));
        auto* round = dynamic_cast<RoundPen*>(context_.pen());
        ASSERT_NE(round, nullptr) << type;
        EXPECT_EQ(round->width(), 6.0f);
    }
    MonoBrush* kept = context_.pen();
    EXPECT_FALSE(context_.setPenType(7));
    EXPECT_FALSE(context_.setWidth(0));
    EXPECT_EQ(context_.pen(), kept);  // a refused setting leaves the pen alone
}

TEST_F(DrawContextTest, ColourrefBecomesRgbAndIsOpaque) {
    ASSERT_TRUE(context_.setColour(0x00332211));  // red 0x11, green 0x22, blue 0x33
    EXPECT_EQ(context_.pen()->colour(), 0x00112233u);
    EXPECT_EQ(context_.pen()->opacity(), 255);
}

TEST_F(DrawContextTest, LineToInksAlongTheSegmentOnly) {
    ASSERT_TRUE(context_.setWidth(3));
    ASSERT_TRUE(context_.setColour(0x000000FF));  // red
    context_.moveTo(10, 20);
    ASSERT_TRUE(context_.lineTo(40, 20));
    for (int x = 11; x <= 40; ++x) EXPECT_EQ(at(x, 20), 0x00FF0000u) << x;
    // A pixel beside the line is half-way between (centre 1 px out of 1.5).
    const uint32_t beside = at(25, 21);
    EXPECT_NE(beside, 0x00FF0000u);
    EXPECT_NE(beside, kWhite);
    EXPECT_EQ(beside, blendPixel(kWhite, 0x00FF0000, 192, 255));
    EXPECT_EQ(at(25, 23), kWhite);
    EXPECT_EQ(at(45, 20), kWhite);
    for (int y = 0; y < 48; ++y) {
        if (y >= 16 && y <= 24) continue;
        for (int x = 0; x < 64; ++x) ASSERT_EQ(at(x, y), kWhite) << x << "," << y;
    }
}

TEST_F(DrawContextTest, MoveToThenLineToTheSamePointLeavesADot) {
    ASSERT_TRUE(context_.setWidth(2));
    context_.moveTo(30.5f, 12.25f);
    ASSERT_TRUE(context_.lineTo(30.5f, 12.25f));
    EXPECT_NE(at(30, 12), kWhite);
    EXPECT_NE(at(31, 12), kWhite);
    EXPECT_EQ(at(34, 12), kWhite);
}

TEST_F(DrawContextTest, SegmentsLeavingTheTargetAreClipped) {
    ASSERT_TRUE(context_.setWidth(5));
    context_.moveTo(-30, -10);
    EXPECT_TRUE(context_.lineTo(20, 30));
    EXPECT_EQ(at(20, 30), 0u);  // black, the default colour
    context_.moveTo(100, 100);
    EXPECT_TRUE(context_.lineTo(300, 90));  // nothing of it visible
    context_.moveTo(NAN, 1e30f);
    EXPECT_TRUE(context_.lineTo(-1e30f, INFINITY));
}

}  // namespace
