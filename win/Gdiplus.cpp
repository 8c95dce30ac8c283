#include "Gdiplus.h"

// WIN32_LEAN_AND_MEAN leaves out the COM types GDI+ needs.
#include <objidl.h>
#include <gdiplus.h>

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
