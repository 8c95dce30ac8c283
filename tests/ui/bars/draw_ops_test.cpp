// The layered bitmap (layers, key map, unit masks, composing through masks,
// regions, widening), the pen-dot cursor and the clipping tool's tip geometry.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "ui/draw/DrawOps.h"

namespace {

constexpr COLORREF kKey = RGB(100, 101, 102);
constexpr COLORREF kUnitA = RGB(255, 0, 0);
constexpr COLORREF kUnitB = RGB(0, 0, 255);
// Each layer's fill, so a test can tell which layer a pixel came from.
const COLORREF kLayerFill[6] = {RGB(10, 10, 10), RGB(20, 20, 20), RGB(30, 30, 30),
                                RGB(40, 40, 40), RGB(50, 50, 50), RGB(0, 0, 0)};

// A 40 x 10 six-layer bitmap: column 0 of every layer is the transparent
// colour; in the key layer unit A is x 5..14 and unit B x 20..29.
HBITMAP makeSixLayers() {
    const int w = 40, h = 10;
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h * 6);
    ReleaseDC(nullptr, screen);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (int layer = 0; layer < 6; ++layer) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                COLORREF c = kLayerFill[layer];
                if (x == 0) c = kKey;
                if (layer == 5 && x >= 5 && x < 15) c = kUnitA;
                if (layer == 5 && x >= 20 && x < 30) c = kUnitB;
                SetPixel(dc, x, layer * h + y, c);
            }
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
}

TEST(LayeredBitmap, CutsLayersAndReadsTheKeyMap) {
    LayeredBitmap face(makeSixLayers(), 6, 0);
    ASSERT_TRUE(face.valid());
    EXPECT_EQ(face.width(), 40);
    EXPECT_EQ(face.layerHeight(), 10);
    EXPECT_TRUE(face.smart());
    EXPECT_EQ(face.stretchColumn(), 40 / 6);
    EXPECT_EQ(face.keyColour(), kKey);
    struct Case {
        int x, y;
        bool inWindow;
        COLORREF expected;
    } cases[] = {
        {6, 3, false, kUnitA},
        {25, 9, false, kUnitB},
        {17, 0, false, RGB(0, 0, 0)},
        {40, 0, false, CLR_INVALID},
        {-1, 0, false, CLR_INVALID},
        // With the face 10 pixels right in its window, window x 16 is face x 6.
        {16, 3, true, kUnitA},
    };
    face.setFaceOffset(0, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        if (c.inWindow) face.setFaceOffset(10, 0);
        EXPECT_EQ(face.keyAt(c.x, c.y, c.inWindow), c.expected);
        face.setFaceOffset(0, 0);
    }
}

TEST(LayeredBitmap, LayerFollowsTheUnitState) {
    struct Case {
        unsigned state;
        int layer;
    } cases[] = {
        {UNIT_HIDDEN | UNIT_ENABLED, LAYER_NONE},
        {0, LAYER_DISABLED},
        {UNIT_SELECTED, LAYER_DISABLED},
        {UNIT_ENABLED, LAYER_NORMAL},
        {UNIT_ENABLED | UNIT_HOVER, LAYER_HOVER},
        {UNIT_ENABLED | UNIT_SELECTED, LAYER_SELECTED},
        {UNIT_ENABLED | UNIT_PRESSED, LAYER_SELECTED},
        {UNIT_ENABLED | UNIT_HOVER | UNIT_PRESSED, LAYER_HOVER_SELECTED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        EXPECT_EQ(LayeredBitmap::layerForState(c.state), c.layer);
    }
}

// Composing a unit's layer through its mask changes only the unit's pixels.
TEST(LayeredBitmap, ComposingAUnitLayerChangesOnlyItsPixels) {
    LayeredBitmap face(makeSixLayers(), 6, 0);
    RECT bounds;
    HBITMAP mask = face.unitMask(kUnitA, &bounds);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(bounds.left, 5);
    EXPECT_EQ(bounds.right, 15);
    EXPECT_EQ(bounds.top, 0);
    EXPECT_EQ(bounds.bottom, 10);
    face.composeUnitLayer(LAYER_HOVER, mask);
    struct Case {
        int x;
        COLORREF expected;
    } cases[] = {{0, kKey},           {4, kLayerFill[0]},  {5, kLayerFill[1]},
                 {14, kLayerFill[1]}, {15, kLayerFill[0]}, {25, kLayerFill[0]}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(GetPixel(face.faceDC(), c.x, 5), c.expected);
    }
    DeleteObject(mask);
    EXPECT_EQ(face.unitMask(RGB(1, 2, 3), nullptr), nullptr);
}

TEST(LayeredBitmap, WindowRegionLeavesOutTheTransparentColour) {
    LayeredBitmap face(makeSixLayers(), 6, 0);
    HRGN region = face.windowRegion();
    ASSERT_NE(region, nullptr);
    EXPECT_FALSE(PtInRegion(region, 0, 5));
    EXPECT_TRUE(PtInRegion(region, 1, 5));
    EXPECT_TRUE(PtInRegion(region, 39, 9));
    EXPECT_FALSE(PtInRegion(region, 1, 10));
    DeleteObject(region);
}

TEST(LayeredBitmap, WideningStretchesTheColumnBeforeTheStretchColumn) {
    LayeredBitmap face(makeSixLayers(), 6, 3);
    EXPECT_FALSE(face.widen(40, false));  // same width, not forced
    ASSERT_TRUE(face.widen(60, false));
    EXPECT_EQ(face.width(), 60);
    HDC dc = face.faceDC();
    EXPECT_EQ(GetPixel(dc, 0, 0), kKey);
    EXPECT_EQ(GetPixel(dc, 2, 0), kLayerFill[0]);
    EXPECT_EQ(GetPixel(dc, 59, 0), kLayerFill[0]);
    // The key map moved with the rest: unit A now starts 20 pixels further right.
    EXPECT_EQ(face.keyAt(24, 0, false), kLayerFill[5]);
    EXPECT_EQ(face.keyAt(25, 0, false), kUnitA);
    // So do the unit masks and the window region, which read the widened image.
    RECT bounds = {};
    HBITMAP mask = face.unitMask(kUnitA, &bounds);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(bounds.left, 25);
    EXPECT_EQ(bounds.right, 35);
    DeleteObject(mask);
    HRGN region = face.windowRegion();
    ASSERT_NE(region, nullptr);
    EXPECT_FALSE(PtInRegion(region, 0, 5));
    EXPECT_TRUE(PtInRegion(region, 59, 5)) << "the region ends at the old width";
    DeleteObject(region);
    // Narrowed again, from the widened image: its right end is cut.
    ASSERT_TRUE(face.widen(50, false));
    EXPECT_EQ(face.keyAt(25, 0, false), kUnitA);
    mask = face.unitMask(kUnitA, &bounds);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(bounds.left, 25);
    EXPECT_EQ(bounds.right, 35);
    DeleteObject(mask);
}

TEST(MemoryDCCache, GivesBackWhatItWasGiven) {
    HDC a = takeMemoryDC(DC_POOL_PAINT);
    ASSERT_NE(a, nullptr);
    giveMemoryDC(a, DC_POOL_PAINT);
    EXPECT_EQ(takeMemoryDC(DC_POOL_PAINT), a);
    // Five returned to a pool of four: one is deleted, four come back.
    HDC dcs[5];
    for (HDC& dc : dcs) dc = CreateCompatibleDC(nullptr);
    giveMemoryDC(a, DC_POOL_PAINT);
    for (HDC dc : dcs) giveMemoryDC(dc, DC_POOL_PAINT);
    int back = 0;
    for (int i = 0; i < 4; ++i) {
        HDC dc = takeMemoryDC(DC_POOL_PAINT);
        back += dc != nullptr;
        DeleteDC(dc);
    }
    EXPECT_EQ(back, 4);
}

// A 32-bit top-down section of `pixels` (0xAARRGGBB, premultiplied).
HBITMAP section(const std::vector<DWORD>& pixels, int w, int h) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP b = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::memcpy(bits, pixels.data(), pixels.size() * 4);
    return b;
}

// An image drawn over white: see-through pixels leave the white, opaque ones
// cover it, half-transparent ones mix; a transparent colour is left out.
TEST(PngImage, DrawsWithAlphaOrTransparentColour) {
    struct Case {
        const char* name;
        bool blended;  // drawImageBlended instead of drawImage
        bool keyed;    // drawn with a transparent colour instead of alpha
        COLORREF expected[3];
        bool straight;  // alpha not premultiplied into the channels
    } cases[] = {
        {"alpha", false, false, {RGB(255, 255, 255), RGB(0, 0, 255), RGB(127, 127, 255)}, false},
        {"blended by hand",
         true,
         false,
         {RGB(255, 255, 255), RGB(0, 0, 255), RGB(127, 127, 255)},
         false},
        {"blended by hand, straight alpha",
         true,
         false,
         {RGB(255, 255, 255), RGB(0, 0, 255), RGB(127, 127, 255)},
         true},
        {"transparent colour",
         false,
         true,
         {RGB(255, 255, 255), RGB(0, 0, 255), RGB(0, 0, 128)},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PngImage image;
        if (c.keyed)  // the key colour, then opaque pixels
            image.adopt(section({0x00646566, 0x000000FF, 0x00000080}, 3, 1), RGB(0x64, 0x65, 0x66));
        else if (c.straight)  // clear white, opaque blue, half-transparent blue
            image.adopt(section({0x00FFFFFF, 0xFF0000FF, 0x800000FF}, 3, 1),
                        static_cast<COLORREF>(-1), false);
        else  // clear, opaque blue, half-transparent blue (premultiplied)
            image.adopt(section({0x00000000, 0xFF0000FF, 0x80000080}, 3, 1),
                        static_cast<COLORREF>(-1), true);
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP target = section({0xFFFFFF, 0xFFFFFF, 0xFFFFFF}, 3, 1);
        HGDIOBJ old = SelectObject(dc, target);
        const RECT r = {0, 0, 3, 1};
        EXPECT_TRUE(c.blended ? image.drawImageBlended(dc, r, r) : image.drawImage(dc, r, r));
        for (int x = 0; x < 3; ++x) {
            SCOPED_TRACE(x);
            const COLORREF got = GetPixel(dc, x, 0);
            EXPECT_NEAR(GetRValue(got), GetRValue(c.expected[x]), 2);
            EXPECT_NEAR(GetGValue(got), GetGValue(c.expected[x]), 2);
            EXPECT_NEAR(GetBValue(got), GetBValue(c.expected[x]), 2);
        }
        SelectObject(dc, old);
        DeleteObject(target);
        DeleteDC(dc);
    }
}

// A file beside the program is taken before the built-in image of that name;
// one far larger than any button image is no image and sizes no allocation.
TEST(PngImage, AHugeFileBesideTheProgramIsNoImage) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    std::wstring file(path);
    file = file.substr(0, file.find_last_of(L'\\') + 1) + L"huge_test_image.png";
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = 0xFFFFF000ll;  // nearly 4 GB of holes, written in no time
    const bool sized = SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
    CloseHandle(handle);
    ASSERT_TRUE(sized);
    PngImage image;
    EXPECT_FALSE(image.load(L"huge_test_image.png", true));
    DeleteFileW(file.c_str());
}

TEST(PenDotCursor, IsSquareWithItsHotSpotInTheMiddle) {
    struct Case {
        int width;
        int size;
    } cases[] = {{1, 9}, {3, 9}, {6, 15}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        EXPECT_EQ(penDotCursorSize(c.width), c.size);
        HCURSOR cursor = penDotCursor(c.width, RGB(255, 255, 255));
        ASSERT_NE(cursor, nullptr);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(cursor, &info));
        EXPECT_EQ(info.xHotspot, static_cast<DWORD>(c.size / 2));
        EXPECT_EQ(info.yHotspot, static_cast<DWORD>(c.size / 2));
        BITMAP b = {};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof b, &b);
        EXPECT_EQ(b.bmWidth, c.size);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
        DestroyCursor(cursor);
    }
}

TEST(ClipToolGeometry, TipFlipsAtTheRightAndTopEdges) {
    const RECT area = {0, 0, 1000, 800};
    const SIZE tip = {100, 20};
    const POINT offset = {16, 8};
    struct Case {
        const char* name;
        POINT point;
        RECT expected;
    } cases[] = {
        {"right and above", {500, 400}, {516, 372, 616, 392}},
        {"flipped left", {950, 400}, {834, 372, 934, 392}},
        {"flipped below", {500, 10}, {516, 18, 616, 38}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RECT r;
        EXPECT_TRUE(placeTipNearCursor(tip, c.point, offset, area, &r));
        EXPECT_TRUE(EqualRect(&r, &c.expected))
            << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

TEST(ClipToolGeometry, PointsOutsideTheAreaAreClamped) {
    const RECT area = {0, 0, 1000, 800};
    struct Case {
        POINT in, out;
    } cases[] = {{{500, 400}, {500, 400}},
                 {{1200, 400}, {1000, 400}},
                 {{-5, 900}, {1000, 800}},
                 {{10, -3}, {10, 0}}};
    for (const Case& c : cases) {
        const POINT p = clampToCaptureArea(c.in, area);
        EXPECT_EQ(p.x, c.out.x);
        EXPECT_EQ(p.y, c.out.y);
    }
}

}  // namespace
