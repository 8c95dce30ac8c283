#include "Gdiplus.h"

// WIN32_LEAN_AND_MEAN leaves out the COM types GDI+ needs.
#include <objidl.h>
#include <gdiplus.h>

#include <cstring>

namespace win {

ULONG_PTR startGdiplus() {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok ? token : 0;
}

void stopGdiplus(ULONG_PTR token) {
    if (token) Gdiplus::GdiplusShutdown(token);
}

}  // namespace win

namespace win {

HBITMAP decodeImageToDib(const void* data, size_t size, int* width, int* height, bool* hasAlpha) {
    if (!data || size == 0) return nullptr;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return nullptr;
    void* copy = GlobalLock(memory);
    memcpy(copy, data, size);
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(memory, TRUE, &stream) != S_OK) {
        GlobalFree(memory);
        return nullptr;
    }
    Gdiplus::GpBitmap* bitmap = nullptr;
    HBITMAP result = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromStream(stream, &bitmap) == Gdiplus::Ok && bitmap) {
        UINT w = 0, h = 0;
        Gdiplus::DllExports::GdipGetImageWidth(bitmap, &w);
        Gdiplus::DllExports::GdipGetImageHeight(bitmap, &h);
        Gdiplus::Rect all(0, 0, static_cast<INT>(w), static_cast<INT>(h));
        Gdiplus::BitmapData locked = {};
        if (w > 0 && h > 0 &&
            Gdiplus::DllExports::GdipBitmapLockBits(bitmap, &all, Gdiplus::ImageLockModeRead,
                                                    PixelFormat32bppARGB, &locked) == Gdiplus::Ok) {
            BITMAPINFO info = {};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = static_cast<LONG>(w);
            info.bmiHeader.biHeight = -static_cast<LONG>(h);
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            void* bits = nullptr;
            result = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
            bool translucent = false;
            if (result) {
                for (UINT y = 0; y < h; ++y) {
                    const BYTE* from = static_cast<const BYTE*>(locked.Scan0) + y * locked.Stride;
                    BYTE* to = static_cast<BYTE*>(bits) + y * w * 4;
                    for (UINT x = 0; x < w; ++x, from += 4, to += 4) {
                        const BYTE a = from[3];
                        if (a != 255) translucent = true;
                        to[0] = static_cast<BYTE>(from[0] * a / 255);
                        to[1] = static_cast<BYTE>(from[1] * a / 255);
                        to[2] = static_cast<BYTE>(from[2] * a / 255);
                        to[3] = a;
                    }
                }
                if (width) *width = static_cast<int>(w);
                if (height) *height = static_cast<int>(h);
                if (hasAlpha) *hasAlpha = translucent;
            }
            Gdiplus::DllExports::GdipBitmapUnlockBits(bitmap, &locked);
        }
        Gdiplus::DllExports::GdipDisposeImage(bitmap);
    }
    stream->Release();
    return result;
}

}  // namespace win
