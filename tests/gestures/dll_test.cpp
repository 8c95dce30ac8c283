// gestures.dll exports GestureCheck as ordinal 1 under its name; the program
// (and this test) import it by the ordinal alone.
#include <gtest/gtest.h>
#include <windows.h>

#include "gestures.h"
#include "strokes.h"

TEST(GesturesDll, OrdinalOneIsGestureCheckByName) {
    HMODULE dll = LoadLibraryW(L"gestures.dll");
    ASSERT_NE(dll, nullptr);
    auto byOrdinal = reinterpret_cast<decltype(&GestureCheck)>(
        reinterpret_cast<void*>(GetProcAddress(dll, MAKEINTRESOURCEA(1))));
    auto byName = reinterpret_cast<decltype(&GestureCheck)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "GestureCheck")));
    ASSERT_NE(byOrdinal, nullptr);
    EXPECT_EQ(byName, byOrdinal);
    EXPECT_EQ(GetProcAddress(dll, MAKEINTRESOURCEA(2)), nullptr);
    const auto line = strokes::polyline({{300, 100}, {100, 100}});
    const int32_t n = static_cast<int32_t>(line.size());
    EXPECT_EQ(byOrdinal(0x4, line.data(), n, 1), 0x4);
    EXPECT_EQ(byOrdinal(0x4, line.data(), n, 1), GestureCheck(0x4, line.data(), n, 1))
        << "the import library must bind the same ordinal";
    FreeLibrary(dll);
}
