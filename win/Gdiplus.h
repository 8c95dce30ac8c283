// GDI+ for the program: started once, stopped at exit.
#pragma once

#include <windows.h>

#include <cstddef>

namespace win {

// GdiplusStartup with default input; the token, or 0 when GDI+ is missing.
ULONG_PTR startGdiplus();
void stopGdiplus(ULONG_PTR token);

}  // namespace win

namespace win {

// A decoded image as a top-down 32-bit DIB section with premultiplied alpha
// (what AlphaBlend wants), or null when GDI+ cannot read `data` (GDI+ must be
// started). `hasAlpha` tells whether any pixel is less than opaque.
HBITMAP decodeImageToDib(const void* data, size_t size, int* width, int* height, bool* hasAlpha);

}  // namespace win
