// The text of a word list as typing gets it (joinText), for comparisons in
// tests: "<null>" when the list yields none. The block goes back with
// freeMemory, as every caller of joinText must.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/MemoryBlocks.h"
#include "recognition/RecWordList.h"

inline std::wstring joinedText(const RecWordList& list, bool dropTrailingBlank = false) {
    wchar_t* text = list.joinText(dropTrailingBlank);
    const std::wstring out = text ? text : L"<null>";
    EXPECT_TRUE(freeMemory(text)) << "the caller frees the text with freeMemory";
    return out;
}
