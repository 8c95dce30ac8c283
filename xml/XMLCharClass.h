// Character classes of the XML reader and writer.
//
// ASCII comes from one 128-entry table; above 0x7F the classes follow XML 1.0
// (second edition) Appendix B: a name starts with a letter (BaseChar or
// Ideographic) and continues with letters, combining characters, digits and
// extenders, found by binary search in sorted range tables.
#pragma once

#include <cstdint>

#include "xml/XMLChar.h"

namespace xmlclass {

enum : uint8_t {
    kSpace = 0x01,      // TAB, LF, CR, space
    kNameStart = 0x02,  // letters, ':' and '_'
    kName = 0x04,       // name-start plus '-', '.', digits
    kChar = 0x08,       // TAB, LF, CR, 0x20 to 0x7F
    kDigit = 0x10,
    kHexDigit = 0x20,
};

extern const uint8_t kAscii[128];

bool isNameStartWide(unsigned c);
bool isNameCharWide(unsigned c);

inline bool isSpace(unsigned c) { return c < 128 && (kAscii[c] & kSpace); }
inline bool isNameStart(unsigned c) {
    return c < 128 ? (kAscii[c] & kNameStart) != 0 : isNameStartWide(c);
}
inline bool isNameChar(unsigned c) {
    return c < 128 ? (kAscii[c] & kName) != 0 : isNameCharWide(c);
}
inline bool isDigit(unsigned c) { return c < 128 && (kAscii[c] & kDigit); }
inline bool isHexDigit(unsigned c) { return c < 128 && (kAscii[c] & kHexDigit); }
// A valid XML character: TAB, LF, CR, 0x20 to 0xD7FF, 0xE000 to 0xFFFD.
inline bool isValidChar(unsigned c) {
    return c < 128 ? (kAscii[c] & kChar) != 0 : (c < 0xD800 || (c >= 0xE000 && c <= 0xFFFD));
}
// What the reader accepts as a character of text: a valid character or one
// half of a surrogate pair (the reader checks that the halves pair up).
inline bool isTextUnit(unsigned c) { return isValidChar(c) || (c >= 0xD800 && c < 0xE000); }

}  // namespace xmlclass

// A valid XML name: a name-start character followed by name characters.
bool xmlIsValidName(const xchar* name);
