// The drawing work the bars, menus and the clipping tool share: layered
// bitmaps (a bar's face, its state pictures and its hit map in one bitmap),
// PNG images with alpha for the floating bars, cached memory contexts,
// transparent and alpha blits, window regions from bitmaps, the pen-dot cursor
// and the small geometry of the clipping tool's tips.
#pragma once

#include <windows.h>

#include "core/VexaSuper.h"

// State bits of a bar unit (see BarUnit), which pick its face layer.
enum BarUnitStateBit : unsigned {
    UNIT_SELECTED = 0x1,
    UNIT_HOVER = 0x2,
    UNIT_ENABLED = 0x4,
    UNIT_PRESSED = 0x8,
    UNIT_HIDDEN = 0x10,
    UNIT_APP_BIT = 0x20,
};

// Layers of a six-layer ("smart") bitmap.
enum FaceLayer : int {
    LAYER_NONE = -1,  // hidden: nothing is drawn
    LAYER_NORMAL = 0,
    LAYER_HOVER = 1,
    LAYER_SELECTED = 2,  // selected or pressed
    LAYER_HOVER_SELECTED = 3,
    LAYER_DISABLED = 4,
    LAYER_KEY = 5,  // each unit's area painted in a colour of its own
};

// A bitmap cut into `layers` images of equal height stacked vertically. The
// colour of pixel (0, 0) is the transparent colour. The face (the picture the
// bar shows) is composed from the layers unit by unit through one-bit masks.
class LayeredBitmap : public VexaSuper {
    VEXA_CLASS(LayeredBitmap, VexaSuper)

  public:
    // From the program's bitmap resource `resourceId`. stretchColumn <= 0: width / 6.
    LayeredBitmap(int resourceId, int layers, int stretchColumn);
    // From a bitmap the object takes over (tests and bars that draw their own).
    LayeredBitmap(HBITMAP bitmap, int layers, int stretchColumn);
    ~LayeredBitmap() override;
    LayeredBitmap(const LayeredBitmap&) = delete;
    LayeredBitmap& operator=(const LayeredBitmap&) = delete;

    bool valid() const { return sourceDC_ != nullptr; }

    // The key-layer pixel at (x, y), less the face's offset in the window when
    // `inWindow`; CLR_INVALID outside the bitmap.
    COLORREF keyAt(int x, int y, bool inWindow) const;
    // A one-bit mask (bit set = the key layer has `key` there); null when
    // nothing has that colour. `bounds` receives the set pixels' bounding box.
    HBITMAP unitMask(COLORREF key, RECT* bounds) const;
    // Copies `layer` through `mask` into `dc` (at the face's place) and into
    // the face: only the mask's pixels change.
    void paintUnitLayer(HDC dc, int layer, HBITMAP mask);
    // The same into the face only.
    void composeUnitLayer(int layer, HBITMAP mask);
    // A region of the layer-0 pixels that differ from the key colour, built
    // from runs; the caller owns it. Null on failure.
    HRGN windowRegion() const;
    // Widens (or narrows) the face to `newWidth`: the columns left of
    // stretchColumn stay, the column before it is stretched over the added
    // width, the rest follows. Nothing when the width is the same, unless forced.
    bool widen(int newWidth, bool force);
    // Copies the face into `dc` at the face's place, through the palette, if any.
    void faceBlit(HDC dc) const;
    // The layer that shows a unit in `state` (LAYER_NONE when hidden).
    static int layerForState(unsigned state);

    int width() const { return width_; }
    int layerHeight() const { return layerHeight_; }
    int layers() const { return layers_; }
    int resourceId() const { return resourceId_; }
    bool smart() const { return smart_; }
    int stretchColumn() const { return stretchColumn_; }
    COLORREF keyColour() const { return keyColour_; }
    HDC faceDC() const { return faceDC_; }
    HPALETTE palette() const { return palette_; }
    POINT faceOffset() const { return faceOffset_; }
    void setFaceOffset(int x, int y) { faceOffset_ = {x, y}; }

    // Two values the owner keeps with the bitmap.
    LPARAM userValue1 = 0;
    LPARAM userValue2 = 0;

  private:
    void build(HBITMAP bitmap, int layers, int stretchColumn);
    void rebuildFace();
    void throughMask(HDC target, int targetX, int targetY, int layer, HBITMAP mask);

    int width_ = 0;
    int layerHeight_ = 0;
    int layers_ = 0;
    int resourceId_ = 0;
    bool smart_ = false;
    int stretchColumn_ = 0;
    COLORREF keyColour_ = CLR_INVALID;
    POINT faceOffset_ = {0, 0};
    COLORREF maskTextColour_ = RGB(255, 255, 255);
    HPALETTE palette_ = nullptr;
    HDC sourceDC_ = nullptr;  // the layers as loaded
    HBITMAP sourceBitmap_ = nullptr;
    HGDIOBJ sourceOld_ = nullptr;
    HDC faceDC_ = nullptr;  // the composed face (layer 0 to start)
    HBITMAP faceBitmap_ = nullptr;
    HGDIOBJ faceOld_ = nullptr;
    HDC workDC_ = nullptr;
    HBITMAP workBitmap_ = nullptr;
    HGDIOBJ workOld_ = nullptr;
    HBITMAP widened_ = nullptr;  // the widened copy of the layers
    // The image the layers are read from: the widened copy once there is one.
    HBITMAP layerImage() const { return widened_ ? widened_ : sourceBitmap_; }
};

// Memory device contexts from small lock-free caches (four per pool), so that
// repeated painting does not create and delete contexts. A context returned
// to a full pool is deleted.
enum MemoryDCPool { DC_POOL_IMAGES = 0, DC_POOL_PAINT = 1, DC_POOL_COUNT = 2 };
HDC takeMemoryDC(int pool = DC_POOL_IMAGES);
void giveMemoryDC(HDC dc, int pool = DC_POOL_IMAGES);

// A decoded image: a 32-bit top-down section with premultiplied alpha, or a
// plain bitmap with a transparent colour.
class PngImage {
  public:
    PngImage() = default;
    ~PngImage();
    PngImage(const PngImage&) = delete;
    PngImage& operator=(const PngImage&) = delete;

    // Looks `name` ("pen_button64.png") up as a file in the program's folder
    // when `allowFile`, then as the program's PNG resource of the same name
    // upper-cased without its extension ("PEN_BUTTON64"). False when neither
    // exists or decodes.
    bool load(const wchar_t* name, bool allowFile);
    bool loadFromMemory(const void* data, size_t size);
    // Takes over `bitmap` (any depth), drawn with `transparentColour` (-1: none);
    // `hasAlpha` for a 32-bit section whose pixels carry premultiplied alpha.
    void adopt(HBITMAP bitmap, COLORREF transparentColour, bool hasAlpha = false);
    void clear();

    bool loaded() const { return bitmap_ != nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool hasAlpha() const { return hasAlpha_; }
    COLORREF transparentColour() const { return transparent_; }
    void setTransparentColour(COLORREF colour) { transparent_ = colour; }
    HBITMAP bitmap() const { return bitmap_; }

    // Draws the `source` part of the image into `destination` of `dc`:
    // TransparentBlt with the transparent colour, else AlphaBlend with the
    // pixels' alpha, else a plain stretched copy. Nested draws of one image
    // share one selected context.
    bool drawImage(HDC dc, const RECT& destination, const RECT& source) const;
    // 32-bit images mixed per channel by hand (destination x (255 - alpha) +
    // source x alpha); others as drawImage.
    bool drawImageBlended(HDC dc, const RECT& destination, const RECT& source) const;

  private:
    HDC select() const;
    void release() const;

    HBITMAP bitmap_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    bool hasAlpha_ = false;
    COLORREF transparent_ = static_cast<COLORREF>(-1);
    mutable HDC selectedDC_ = nullptr;
    mutable HGDIOBJ selectedOld_ = nullptr;
    mutable int nesting_ = 0;
};

// AlphaBlend of `source` (its top-left at the rectangle's) with the constant
// alpha `opacity` and no per-pixel alpha.
bool blendWithOpacity(HDC dc, const RECT& rectangle, HDC source, BYTE opacity);

// BitBlt copies of a rectangle: to the same place, from a given source point,
// and to the destination's origin.
bool copyRect(HDC destination, HDC source, const RECT& rectangle);
bool copyRectFrom(HDC destination, HDC source, const RECT& rectangle, POINT sourcePoint);
bool copyRectToOrigin(HDC destination, HDC source, const RECT& rectangle);

// Double-buffered painting of a rectangle: draw into dc(); the destructor
// copies the rectangle back and frees the objects.
class BufferedPaint {
  public:
    // rectangle null: the clip box of `target`.
    BufferedPaint(HDC target, const RECT* rectangle);
    ~BufferedPaint();
    BufferedPaint(const BufferedPaint&) = delete;
    BufferedPaint& operator=(const BufferedPaint&) = delete;
    HDC dc() const { return memory_ ? memory_ : target_; }
    const RECT& rect() const { return rect_; }

  private:
    HDC target_;
    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    RECT rect_ = {};
};

// A square cursor of (max(width, 3) + 1) * 2 + 1 pixels, hot spot in the
// centre: a round dot of diameter max(width, 3) + 1 in `colour` (white is
// drawn as 0xFEFEFE so that it is not the mask's inverting colour).
HCURSOR penDotCursor(int width, COLORREF colour);
// The size such a cursor has.
int penDotCursorSize(int width);

// The work area of the primary monitor.
bool primaryWorkArea(RECT* rect);

// The clipping tool's tips and picks.
// A rectangle of `tipSize` placed `offset.x` right of and `offset.y` above
// `point`, flipped to the left of the point when it would pass the capture
// area's right edge and below it when it would pass its top. True when not empty.
bool placeTipNearCursor(SIZE tipSize, POINT point, POINT offset, const RECT& captureArea,
                        RECT* tip);
// x outside the area goes to its right edge; then y is clamped to top and bottom.
POINT clampToCaptureArea(POINT point, const RECT& captureArea);
// Within half the system double-click size around `lastClick`.
bool isNearLastClick(POINT point, POINT lastClick);
// The topmost visible top-level window other than `own` whose rectangle holds
// the point; with `deepest`, its deepest child at the point.
HWND windowUnderPoint(POINT point, HWND own, bool deepest);
