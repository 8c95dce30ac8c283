// The coverage a segment is drawn into (one byte per pixel of its region,
// grown only by maximum), and its blend with the pen colour into 32-bit bits.
#pragma once

#include <cstdint>

#include "ink/aadraw/Geometry.h"

namespace aadraw {

class MonoBrush;

class StrokeBuffer {
  public:
    virtual ~StrokeBuffer() = default;

    virtual const Rect& region() const = 0;
    virtual void clear() = 0;

    // Combines a size x size stamp whose top-left pixel lies at (left, top)
    // into the coverage by maximum, clipped to the region. Below level 255 the
    // stamp counts for (level + 1) / 256 of itself.
    virtual void applyStamp(const uint8_t* stamp, int size, int left, int top, int level) = 0;

    // Blends the coverage into `bitmap`, whose pixel (0, 0) lies at (x, y) of
    // the region's coordinates, within `clip` when given.
    virtual void blendInPlace(const Bitmap32& bitmap, int x, int y, const Rect* clip) = 0;

    // Writes `source` blended with the coverage into `destination` (pixels
    // without coverage are copied); each bitmap's pixel (0, 0) lies at the
    // given point of the region's coordinates.
    virtual void blendCopy(const Bitmap32& source, int sx, int sy, const Bitmap32& destination,
                           int dx, int dy) = 0;
};

// One colour at one opacity; the coverage memory is lent by the stroke manager.
class MonoStrokeBuffer : public StrokeBuffer {
  public:
    // Takes the colour and opacity of `owner` (opaque without one); the
    // coverage (region width x height bytes) is zeroed.
    MonoStrokeBuffer(const MonoBrush* owner, const Rect& region, uint8_t* coverage);

    const Rect& region() const override { return region_; }
    void clear() override;
    void applyStamp(const uint8_t* stamp, int size, int left, int top, int level) override;
    void blendInPlace(const Bitmap32& bitmap, int x, int y, const Rect* clip) override;
    void blendCopy(const Bitmap32& source, int sx, int sy, const Bitmap32& destination, int dx,
                   int dy) override;

    const MonoBrush* owner() const { return owner_; }
    uint32_t colour() const { return colour_; }
    void setColour(uint32_t colour) { colour_ = colour & 0xFFFFFF; }
    int opacity() const { return opacity_; }
    void setOpacity(int opacity);
    uint8_t coverageAt(int x, int y) const;  // 0 outside the region
    const uint8_t* coverage() const { return coverage_; }

  private:
    const MonoBrush* owner_;
    Rect region_;
    uint32_t colour_;
    int opacity_ = 255;
    uint8_t* coverage_;
};

// One pixel `p` (0x00RRGGBB, top byte kept) blended with `colour` at coverage
// `a` (0-255) and `opacity` (0-255).
uint32_t blendPixel(uint32_t p, uint32_t colour, int a, int opacity);

}  // namespace aadraw
