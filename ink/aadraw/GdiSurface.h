// A device context as the target of the drawing: each segment's area is
// copied into a 32-bit DIB section, drawn there and copied back.
#pragma once

#include <windows.h>

#include "ink/aadraw/DrawContext.h"

namespace aadraw {

class GdiSurface : public TargetSurface {
  public:
    explicit GdiSurface(HDC target);
    ~GdiSurface() override;

    GdiSurface(const GdiSurface&) = delete;
    GdiSurface& operator=(const GdiSurface&) = delete;

    // The clip box of the target.
    Rect bounds() const override;
    bool read(const Rect& area, Bitmap32* bits) override;
    bool write(const Rect& area) override;
    // Frees the DIB section kept between segments.
    void dropCache() override;

  private:
    bool ensureBitmap(int width, int height);

    HDC target_;
    HDC memoryDC_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previousBitmap_ = nullptr;
    uint32_t* bits_ = nullptr;
    int bitmapWidth_ = 0, bitmapHeight_ = 0;

    // 32 bits per pixel, bit fields red 0xFF0000, green 0xFF00, blue 0xFF.
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } description_;
};

}  // namespace aadraw
