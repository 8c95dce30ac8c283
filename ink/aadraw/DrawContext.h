// The drawing context the live ink draws through: a pen made from a type, a
// width and a colour, and segments drawn from the current point, each read
// from the target as 32-bit bits, stamped, blended and written back.
#pragma once

#include <cstdint>
#include <memory>

#include "ink/aadraw/Brush.h"
#include "ink/aadraw/Geometry.h"
#include "ink/aadraw/StrokeManager.h"

namespace aadraw {

// Where the segments land: a device context in the program, a plain bitmap
// on the host.
class TargetSurface {
  public:
    virtual ~TargetSurface() = default;

    // The pixels that can be drawn (empty when none).
    virtual Rect bounds() const = 0;

    // Makes the target's pixels of `area` (inside bounds) available as `bits`
    // (area-relative: pixel (0, 0) is area's top-left) until write.
    virtual bool read(const Rect& area, Bitmap32* bits) = 0;

    // Puts the bits of the last read back into the target.
    virtual bool write(const Rect& area) = 0;

    // Lets go of anything kept between segments.
    virtual void dropCache() {}
};

// Draws into a caller's 32-bit bitmap, whose pixel (0, 0) is point (0, 0).
class BitmapSurface : public TargetSurface {
  public:
    explicit BitmapSurface(const Bitmap32& bitmap) : bitmap_(bitmap) {}

    Rect bounds() const override { return Rect{0, 0, bitmap_.width, bitmap_.height}; }
    bool read(const Rect& area, Bitmap32* bits) override;
    bool write(const Rect&) override { return true; }

  private:
    Bitmap32 bitmap_;
};

enum PenType { kPenRound = 1, kPenSlanted = 2, kPenRoundAlt = 3 };

class DrawContext {
  public:
    explicit DrawContext(std::unique_ptr<TargetSurface> surface);

    // Only 1, 2 and 3 are pen types.
    bool setPenType(int type);
    // A COLORREF (0x00BBGGRR).
    bool setColour(uint32_t colorref);
    // Above 0 and at most 40 pixels.
    bool setWidth(float width);

    // Coordinates are pixels (fractions kept to an eighth).
    void moveTo(float x, float y);
    // Draws from the current point to (x, y), which becomes current; false
    // when the segment could not be drawn (memory, or the target failed).
    bool lineTo(float x, float y);

    // The pen, made on first need; null when memory runs out.
    MonoBrush* pen();
    int penType() const { return penType_; }
    float width() const { return width_; }
    uint32_t colour() const { return colorref_; }
    TargetSurface& surface() { return *surface_; }

  private:
    void makePen();

    std::unique_ptr<TargetSurface> surface_;
    std::unique_ptr<MonoBrush> pen_;
    SingleStrokeManager strokes_;
    float width_ = 1.0f;
    int penType_ = kPenRound;
    uint32_t colorref_ = 0;
    int currentX_ = 0, currentY_ = 0;  // eighths of a pixel
    int previousX_ = 0, previousY_ = 0;
};

}  // namespace aadraw
