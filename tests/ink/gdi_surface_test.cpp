// The drawing context on a real device context: each segment's area goes
// through a DIB section and back. It must leave exactly the pixels that the
// same drawing leaves in a plain bitmap.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>
#include <vector>

#include "ink/aadraw/AaDraw.h"

namespace {

constexpr int kWidth = 96, kHeight = 64;
constexpr uint32_t kWhite = 0x00FFFFFF;

// A memory DC over a top-down 32-bit DIB section, filled white.
class DibTarget {
  public:
    DibTarget() {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t*>(bits);
        if (bits_) {
            previous_ = SelectObject(dc_, bitmap_);
            for (int i = 0; i < kWidth * kHeight; ++i) bits_[i] = kWhite;
        }
    }
    ~DibTarget() {
        if (previous_) SelectObject(dc_, previous_);
        if (bitmap_) DeleteObject(bitmap_);
        if (dc_) DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    bool ready() const { return dc_ && bits_; }
    uint32_t at(int x, int y) const {
        GdiFlush();
        return bits_[y * kWidth + x] & 0xFFFFFF;
    }

  private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    uint32_t* bits_ = nullptr;
};

struct Stroke {
    int penType;
    float width;
    COLORREF colour;
    std::vector<std::pair<float, float>> points;
};

const Stroke kStrokes[] = {
    {1, 3, RGB(255, 0, 0), {{10, 10}, {40.5f, 12.25f}, {42, 13}, {42.125f, 13.5f}, {70, 50}}},
    {2, 7, RGB(0, 0, 255), {{80, 5}, {60, 40}, {20, 58.75f}}},
    {3, 1.5f, RGB(0, 160, 40), {{5, 60}, {5, 60}}},
    {1, 12, RGB(40, 40, 40), {{-10, 30}, {30, 70}, {100, 30}}},  // leaves the target
};

void draw(aadraw::DrawContext* context, const Stroke& s) {
    ASSERT_TRUE(aadraw::setPenType(context, s.penType));
    ASSERT_TRUE(aadraw::setWidth(context, s.width));
    ASSERT_TRUE(aadraw::setColour(context, s.colour));
    aadraw::moveTo(context, s.points[0].first, s.points[0].second);
    for (size_t i = 1; i < s.points.size(); ++i)
        ASSERT_TRUE(aadraw::lineTo(context, s.points[i].first, s.points[i].second)) << i;
}

TEST(GdiSurfaceTest, DrawsWhatAPlainBitmapGets) {
    DibTarget target;
    ASSERT_TRUE(target.ready());
    std::vector<uint32_t> plain(kWidth * kHeight, kWhite);
    aadraw::DrawContext reference(std::make_unique<aadraw::BitmapSurface>(
        aadraw::Bitmap32{plain.data(), kWidth, kHeight, kWidth}));

    aadraw::DrawContext* context = aadraw::create(target.dc());
    ASSERT_NE(context, nullptr);
    for (const Stroke& s : kStrokes) {
        draw(context, s);
        draw(&reference, s);
    }
    aadraw::destroy(context);

    int inked = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            ASSERT_EQ(target.at(x, y), plain[y * kWidth + x] & 0xFFFFFF) << x << "," << y;
            inked += target.at(x, y) != kWhite;
        }
    }
    EXPECT_GT(inked, 500);
    EXPECT_EQ(target.at(25, 11), 0x00FF0000u);  // on the red line, fully covered
}

TEST(GdiSurfaceTest, FlatCallsWithoutAContextDoNothing) {
    EXPECT_FALSE(aadraw::setPenType(nullptr, 1));
    EXPECT_FALSE(aadraw::setWidth(nullptr, 3));
    EXPECT_FALSE(aadraw::setColour(nullptr, 0));
    aadraw::moveTo(nullptr, 1, 1);
    EXPECT_FALSE(aadraw::lineTo(nullptr, 2, 2));
    aadraw::destroy(nullptr);
}

TEST(GdiSurfaceTest, NoTargetDrawsNothing) {
    aadraw::DrawContext* context = aadraw::create(nullptr);
    ASSERT_NE(context, nullptr);
    aadraw::moveTo(context, 1, 1);
    EXPECT_TRUE(aadraw::lineTo(context, 20, 20));  // nothing of it can be seen
    aadraw::destroy(context);
}

}  // namespace
