// The character type of the XML library: one UTF-16 code unit.
//
// On Windows that is wchar_t, so the program passes L"..." texts and wide
// strings straight through. The host build (sanitizer tests, fuzzing) has a
// 32-bit wchar_t, so there the same code runs on char16_t; XS("...") makes a
// literal of the right type for code that builds in both.
#pragma once

#include <cstddef>
#include <string>

#ifdef _WIN32
using xchar = wchar_t;
#define XS(s) L##s
#else
using xchar = char16_t;
#define XS(s) u##s
#endif

using XString = std::basic_string<xchar>;

// Length of a NUL-terminated text (0 for null).
inline size_t xstrlen(const xchar* s) {
    if (!s) return 0;
    const xchar* p = s;
    while (*p) ++p;
    return static_cast<size_t>(p - s);
}

// A possibly null text as a string (null gives an empty string).
inline XString xstr(const xchar* s) { return s ? XString(s) : XString(); }

// The four white-space characters of XML: TAB, LF, CR and space.
inline bool xmlIsWhite(unsigned c) { return c == 0x20 || c == 0x09 || c == 0x0A || c == 0x0D; }

// The text without white space at either end.
XString xmlTrim(const XString& text);

// A narrow text converted to wide characters by the thread's code page (UTF-8
// on the host build). Null gives an empty string.
XString xmlNarrowToWide(const char* text);

// A wide text converted to the thread's code page (UTF-8 on the host build).
std::string xmlWideToNarrow(const XString& text);
