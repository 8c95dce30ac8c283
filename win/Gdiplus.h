// GDI+ for the program: started once, stopped at exit.
#pragma once

#include <windows.h>

namespace win {

// GdiplusStartup with default input; the token, or 0 when GDI+ is missing.
ULONG_PTR startGdiplus();
void stopGdiplus(ULONG_PTR token);

}  // namespace win
