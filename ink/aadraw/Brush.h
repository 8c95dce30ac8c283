// Pens of the anti-aliased drawing. A pen is a set of precomputed coverage
// stamps, one per 1/8-pixel phase; a segment is drawn by stamping along it
// into a coverage buffer. Two nibs: round (RoundPen) and slanted (SlantPen).
#pragma once

#include <cstdint>

#include "ink/aadraw/Geometry.h"
#include "ink/aadraw/StampSet.h"

namespace aadraw {

class StrokeBuffer;

// Pens wider than this are drawn at this width: it keeps every stamp and its
// fixed-point geometry in range. The drawing context allows 40.
constexpr float kMaxPenWidth = 256.0f;

// Coverage of a pixel whose centre lies `d` (1/4096 pixel, negative inside)
// from the nib's edge: a linear ramp two pixels wide centred on the edge.
inline uint8_t coverageRamp(int64_t d) {
    if (d < -4095) return 255;
    if (d >= 4096) return 0;
    return static_cast<uint8_t>((4096 - d) >> 5);
}

class Brush {
  public:
    virtual ~Brush() = default;
    virtual const wchar_t* className() const = 0;

    // Grows a box of pixel positions (right and bottom inclusive) to the
    // pixels a stamp at any of them touches (right and bottom exclusive).
    virtual void growRect(Rect& rect) const = 0;

    // Draws the segment (x0, y0)-(x1, y1), in eighths of a pixel, into
    // `buffer`, its level going from level0 to level1 (255 = full). False when
    // the pen's stamps cannot be had (memory).
    virtual bool drawLine(StrokeBuffer& buffer, int x0, int y0, int level0, int x1, int y1,
                          int level1) = 0;

    // The pen's shared stamp set; null when memory runs out.
    virtual StampSet* getStampSet() = 0;

    // Computes the coverage of one stamp: width x height bytes, the pen centred
    // on the middle pixel shifted by (phaseX, phaseY) eighths right and down.
    virtual void renderStamp(uint8_t* stamp, int width, int height, int phaseX,
                             int phaseY) const = 0;
};

// A single-colour pen. Stamps are placed so that position X (eighths) puts the
// nib's centre X / 8 pixels from the centre of pixel 0.
class MonoBrush : public Brush {
  public:
    void growRect(Rect& rect) const override;
    bool drawLine(StrokeBuffer& buffer, int x0, int y0, int level0, int x1, int y1,
                  int level1) override;

    int stampSize() const { return size_; }
    uint32_t colour() const { return colour_; }  // 0x00RRGGBB
    int opacity() const { return opacity_; }

    // The stamp of a phase, made on first use; null when memory runs out.
    const uint8_t* stamp(int phaseX, int phaseY);

  protected:
    MonoBrush(int stampSize, uint32_t colour, int opacity);

  private:
    void stampAt(StrokeBuffer& buffer, int x, int y, int level);

    int size_;
    uint32_t colour_;
    int opacity_;
    StampSet* set_ = nullptr;
};

class RoundPen : public MonoBrush {
  public:
    RoundPen(float width, uint32_t colour, int opacity);

    const wchar_t* className() const override { return L"RoundPen"; }
    StampSet* getStampSet() override;
    void renderStamp(uint8_t* stamp, int width, int height, int phaseX, int phaseY) const override;

    float width() const { return width_; }

    // Odd stamp size for a width: ((round(width * 4096) >> 1) + 8191) >> 12,
    // times 2, plus 1.
    static int stampSizeFor(float width);

  private:
    float width_;
    int64_t radius_;  // 1/4096 pixel
};

// A calligraphic nib: a capsule, the segment (b, c) centred on the pen position
// with round ends of radius a (all in pixels).
class SlantPen : public MonoBrush {
  public:
    SlantPen(float a, float b, float c, uint32_t colour, int opacity);

    const wchar_t* className() const override { return L"SlantPen"; }
    StampSet* getStampSet() override;
    void renderStamp(uint8_t* stamp, int width, int height, int phaseX, int phaseY) const override;

    float radius() const { return a_; }
    float segmentX() const { return b_; }
    float segmentY() const { return c_; }

    // Odd stamp size holding the whole capsule and its edge ramp at every phase.
    static int stampSizeFor(float a, float b, float c);

  private:
    float a_, b_, c_;
    int64_t radius_, segX_, segY_, length_;  // 1/4096 pixel
};

}  // namespace aadraw
