#include "ink/aadraw/GdiSurface.h"

#include <new>

#include "ink/aadraw/AaDraw.h"

namespace aadraw {

GdiSurface::GdiSurface(HDC target) : target_(target) {
    description_ = {};
    description_.header.biSize = sizeof(BITMAPINFOHEADER);
    description_.header.biPlanes = 1;
    description_.header.biBitCount = 32;
    description_.header.biCompression = BI_BITFIELDS;
    description_.masks[0] = 0xFF0000;
    description_.masks[1] = 0xFF00;
    description_.masks[2] = 0xFF;
}

GdiSurface::~GdiSurface() { dropCache(); }

Rect GdiSurface::bounds() const {
    RECT clip;
    if (!target_ || GetClipBox(target_, &clip) == ERROR) return Rect{};
    return Rect{clip.left, clip.top, clip.right, clip.bottom};
}

void GdiSurface::dropCache() {
    if (memoryDC_) {
        SelectObject(memoryDC_, previousBitmap_);
        DeleteDC(memoryDC_);
    }
    if (bitmap_) DeleteObject(bitmap_);
    memoryDC_ = nullptr;
    bitmap_ = nullptr;
    previousBitmap_ = nullptr;
    bits_ = nullptr;
    bitmapWidth_ = bitmapHeight_ = 0;
}

bool GdiSurface::ensureBitmap(int width, int height) {
    if (bitmap_ && width <= bitmapWidth_ && height <= bitmapHeight_) return true;
    dropCache();
    description_.header.biWidth = width;
    description_.header.biHeight = -height;  // top-down rows
    memoryDC_ = CreateCompatibleDC(target_);
    if (!memoryDC_) return false;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(target_, reinterpret_cast<BITMAPINFO*>(&description_),
                               DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap_ || !bits) {
        dropCache();
        return false;
    }
    previousBitmap_ = SelectObject(memoryDC_, bitmap_);
    bits_ = static_cast<uint32_t*>(bits);
    bitmapWidth_ = width;
    bitmapHeight_ = height;
    return true;
}

bool GdiSurface::read(const Rect& area, Bitmap32* bits) {
    if (area.empty() || !ensureBitmap(area.width(), area.height())) return false;
    GdiFlush();
    if (!BitBlt(memoryDC_, 0, 0, area.width(), area.height(), target_, area.left, area.top,
                SRCCOPY))
        return false;
    GdiFlush();
    bits->pixels = bits_;
    bits->width = area.width();
    bits->height = area.height();
    bits->stride = bitmapWidth_;
    return true;
}

bool GdiSurface::write(const Rect& area) {
    if (!memoryDC_) return false;
    GdiFlush();
    const bool copied = BitBlt(target_, area.left, area.top, area.width(), area.height(), memoryDC_,
                               0, 0, SRCCOPY) != FALSE;
    GdiFlush();
    return copied;
}

DrawContext* create(HDC dc) {
    std::unique_ptr<GdiSurface> surface(new (std::nothrow) GdiSurface(dc));
    if (!surface) return nullptr;
    return new (std::nothrow) DrawContext(std::move(surface));
}

void destroy(DrawContext* context) { delete context; }

bool setPenType(DrawContext* context, int type) { return context && context->setPenType(type); }

bool setColour(DrawContext* context, COLORREF colour) {
    return context && context->setColour(colour);
}

bool setWidth(DrawContext* context, float width) { return context && context->setWidth(width); }

void moveTo(DrawContext* context, float x, float y) {
    if (context) context->moveTo(x, y);
}

bool lineTo(DrawContext* context, float x, float y) { return context && context->lineTo(x, y); }

}  // namespace aadraw
