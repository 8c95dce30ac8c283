// The UTF-8 codec of the XML library: files are UTF-8, text in memory is UTF-16.
//
// Lengths are counts of bytes for UTF-8 and of UTF-16 code units ("characters")
// for UTF-16. Every operation reports failure as 0 and writes nothing after the
// failing character. Characters outside the Basic Multilingual Plane travel as
// surrogate pairs in UTF-16 and as four-byte sequences in UTF-8; a lone
// surrogate, U+FFFE and U+FFFF are invalid. Overlong and over-long-form
// sequences (beyond U+10FFFF) are broken.
#pragma once

#include <cstddef>
#include <cstdint>

#include "xml/XMLChar.h"

class CXMLString;
class GrowBuffer;

namespace utf8 {

// U+FFFE, U+FFFF and every surrogate code unit.
inline bool isInvalidChar(unsigned c) { return c >= 0xFFFE || (c >= 0xD800 && c < 0xE000); }
// A decoded code point that cannot be stored: a surrogate, U+FFFE, U+FFFF, or past U+10FFFF.
inline bool isInvalidCodePoint(char32_t c) {
    return (c >= 0xD800 && c < 0xE000) || c == 0xFFFE || c == 0xFFFF || c > 0x10FFFF;
}
inline bool isContinuationByte(uint8_t b) { return (b & 0xC0) == 0x80; }
inline bool isHighSurrogate(unsigned c) { return c >= 0xD800 && c < 0xDC00; }
inline bool isLowSurrogate(unsigned c) { return c >= 0xDC00 && c < 0xE000; }
// Writes one code point as UTF-16 (one unit or a surrogate pair); returns the
// number of units.
inline size_t putUtf16(char32_t c, xchar* out) {
    if (c < 0x10000) {
        out[0] = static_cast<xchar>(c);
        return 1;
    }
    c -= 0x10000;
    out[0] = static_cast<xchar>(0xD800 + (c >> 10));
    out[1] = static_cast<xchar>(0xDC00 + (c & 0x3FF));
    return 2;
}

// One UTF-16 unit: 1 to 3 bytes, 0 for an invalid character (also a surrogate:
// pairs go through encodeCodePoint).
size_t encodeChar(xchar c, uint8_t* out);
size_t encodedLength(xchar c);
// One code point, 1 to 4 bytes; 0 when it is invalid.
size_t encodeCodePoint(char32_t c, uint8_t* out);

// Reads one sequence; returns its length and the code point, 0 when it is
// broken (stray continuation byte, lead byte F8 to FF, a missing continuation
// byte, a sequence cut by the end of the input, an overlong form, or a value
// past U+10FFFF).
size_t decodeChar(const uint8_t* bytes, size_t available, char32_t* out);
// The length decodeChar would return.
size_t sequenceLength(const uint8_t* bytes, size_t available);
// The number of bytes a lead byte announces (1 for ASCII, 0 for a byte that
// cannot start a sequence).
size_t leadLength(uint8_t lead);

// Converts count characters into a fixed buffer. 0 at an invalid character.
// When the next character does not fit: the bytes written so far when
// `converted` is given (it then tells how many characters went in), else 0.
size_t utf16ToUtf8(const xchar* text, size_t count, uint8_t* out, size_t capacity,
                   size_t* converted = nullptr);
// The UTF-8 length of count characters, 0 when one of them is invalid.
size_t utf8Length(const xchar* text, size_t count);

// Decodes into a string through a block of 8192 characters; returns the number
// of characters decoded, 0 at a broken sequence or an invalid character (what
// was appended before stays).
size_t utf8ToUtf16(const uint8_t* bytes, size_t count, CXMLString& out);
// The same, then trailing NULs are dropped (used when a whole input was decoded).
size_t utf8ToUtf16Trimmed(const uint8_t* bytes, size_t count, CXMLString& out);
// Into a wide string; a decoded NUL ends the conversion (it is counted) and
// keeps what came before it.
size_t utf8ToUtf16(const uint8_t* bytes, size_t count, XString& out);
// Into a fixed array (capacity in characters, room for a terminator included);
// 0 when broken or when it does not fit.
size_t utf8ToUtf16(const uint8_t* bytes, size_t count, xchar* out, size_t capacity);
// The number of characters the bytes decode to, 0 at a broken sequence.
size_t utf8CharCount(const uint8_t* bytes, size_t count);

}  // namespace utf8

// Appends the UTF-8 form of count characters to a byte buffer; returns the
// bytes appended, 0 at an invalid character (what was appended stays).
size_t appendUtf16AsUtf8(const xchar* text, size_t count, GrowBuffer& out);
