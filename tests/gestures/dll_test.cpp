// gestures.dll is reached by ordinal only: the loader finds ordinal 1 and no name.
#include <gtest/gtest.h>
#include <windows.h>

#include "gestures.h"
#include "strokes.h"

TEST(GesturesDll, ExportsOrdinalOneAndNoName) {
    HMODULE dll = LoadLibraryW(L"gestures.dll");
    ASSERT_NE(dll, nullptr);
    EXPECT_EQ(GetProcAddress(dll, "GestureCheck"), nullptr);
    auto byOrdinal = reinterpret_cast<decltype(&GestureCheck)>(
        reinterpret_cast<void*>(GetProcAddress(dll, MAKEINTRESOURCEA(1))));
    ASSERT_NE(byOrdinal, nullptr);
    const auto line = strokes::polyline({{300, 100}, {100, 100}});
    const int32_t n = static_cast<int32_t>(line.size());
    EXPECT_EQ(byOrdinal(0x4, line.data(), n, 1), 0x4);
    EXPECT_EQ(byOrdinal(0x4, line.data(), n, 1), GestureCheck(0x4, line.data(), n, 1))
        << "the import library must bind the same ordinal";
    FreeLibrary(dll);
}
