// Cases that every object-model target must answer alike, for the rich edit's
// Text Object Model and the word processor's Selection.
#pragma once

#include <windows.h>

namespace targets {

// Replacing the selection of "hello world" (set from anchor to active) with
// `with`: the new text is selected afterwards, from start to end.
struct Replacement {
    LONG anchor, active;
    const wchar_t* with;
    const wchar_t* text;
    LONG start, end;
};

constexpr Replacement kReplacements[] = {
    {6, 11, L"there", L"hello there", 6, 11},  {11, 6, L"there", L"hello there", 6, 11},
    {5, 5, L" big", L"hello big world", 5, 9}, {0, 11, L"", L"", 0, 0},
    {11, 11, L"!", L"hello world!", 11, 12},
};

// The character before an insertion point, which decides a leading space.
struct CharacterBefore {
    const wchar_t* text;
    LONG caret;
    const wchar_t* before;  // empty: nothing before
};

constexpr CharacterBefore kCharactersBefore[] = {
    {L"", 0, L""}, {L"hello ", 6, L" "}, {L"hello", 5, L"o"}, {L"ab\rc", 3, L"\r"}};

}  // namespace targets
