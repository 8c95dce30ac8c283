#include "xml/Utf8.h"

#include "xml/GrowBuffer.h"
#include "xml/XMLString.h"

namespace utf8 {

size_t encodedLength(xchar c) {
    const unsigned u = static_cast<unsigned>(c);
    if (isInvalidChar(u)) return 0;
    return u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
}

size_t encodeChar(xchar c, uint8_t* out) {
    const unsigned u = static_cast<unsigned>(c);
    if (isInvalidChar(u)) return 0;
    return encodeCodePoint(u, out);
}

size_t encodeCodePoint(char32_t c, uint8_t* out) {
    if (isInvalidCodePoint(c)) return 0;
    if (c < 0x80) {
        out[0] = static_cast<uint8_t>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<uint8_t>(0xC0 | (c >> 6));
        out[1] = static_cast<uint8_t>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<uint8_t>(0xE0 | (c >> 12));
        out[1] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<uint8_t>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<uint8_t>(0xF0 | (c >> 18));
    out[1] = static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<uint8_t>(0x80 | (c & 0x3F));
    return 4;
}

size_t leadLength(uint8_t b) {
    if (b < 0x80) return 1;
    if ((b & 0xE0) == 0xC0) return 2;
    if ((b & 0xF0) == 0xE0) return 3;
    if ((b & 0xF8) == 0xF0) return 4;
    return 0;
}

size_t decodeChar(const uint8_t* bytes, size_t available, char32_t* out) {
    if (!available) return 0;
    const uint8_t b = bytes[0];
    if (b < 0x80) {
        *out = b;
        return 1;
    }
    const size_t n = leadLength(b);
    if (!n || n > available) return 0;
    static const char32_t kLeadMask[5] = {0, 0, 0x1F, 0x0F, 0x07};
    static const char32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    char32_t c = b & kLeadMask[n];
    for (size_t i = 1; i < n; ++i) {
        if (!isContinuationByte(bytes[i])) return 0;
        c = (c << 6) | (bytes[i] & 0x3F);
    }
    if (c < kMinimum[n] || c > 0x10FFFF) return 0;
    *out = c;
    return n;
}

size_t sequenceLength(const uint8_t* bytes, size_t available) {
    char32_t c;
    return decodeChar(bytes, available, &c);
}

namespace {

// Reads one character (a pair when it is one) at text[i]; 0 when invalid.
inline size_t codePointAt(const xchar* text, size_t count, size_t i, char32_t* cp) {
    const unsigned u = static_cast<unsigned>(text[i]);
    if (isHighSurrogate(u) && i + 1 < count && isLowSurrogate(static_cast<unsigned>(text[i + 1]))) {
        *cp = 0x10000 + ((u - 0xD800) << 10) + (static_cast<unsigned>(text[i + 1]) - 0xDC00);
        return 2;
    }
    if (isInvalidChar(u)) return 0;
    *cp = u;
    return 1;
}

}  // namespace

size_t utf16ToUtf8(const xchar* text, size_t count, uint8_t* out, size_t capacity,
                   size_t* converted) {
    size_t written = 0, i = 0;
    while (i < count) {
        char32_t cp;
        const size_t units = codePointAt(text, count, i, &cp);
        if (!units) return 0;
        uint8_t bytes[4];
        const size_t n = encodeCodePoint(cp, bytes);
        if (written + n > capacity) {
            if (!converted) return 0;
            *converted = i;
            return written;
        }
        for (size_t k = 0; k < n; ++k) out[written + k] = bytes[k];
        written += n;
        i += units;
    }
    if (converted) *converted = i;
    return written;
}

size_t utf8Length(const xchar* text, size_t count) {
    size_t total = 0, i = 0;
    while (i < count) {
        char32_t cp;
        const size_t units = codePointAt(text, count, i, &cp);
        if (!units) return 0;
        total += cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        i += units;
    }
    return total;
}

namespace {

// Decodes through a block on the stack that is appended to `out` each time it
// is full and at the end. With stopAtNul a decoded NUL ends the conversion
// (it is counted).
template <class Out, size_t kBlock>
size_t decodeThroughBlock(const uint8_t* bytes, size_t count, Out& out, bool stopAtNul) {
    xchar block[kBlock];
    size_t used = 0, total = 0, i = 0;
    while (i < count) {
        char32_t c;
        const size_t n = decodeChar(bytes + i, count - i, &c);
        if (!n || isInvalidCodePoint(c)) {
            out.append(block, used);
            return 0;
        }
        i += n;
        if (stopAtNul && c == 0) {
            ++total;
            break;
        }
        if (used + 2 > kBlock) {
            out.append(block, used);
            used = 0;
        }
        const size_t units = putUtf16(c, block + used);
        used += units;
        total += units;
    }
    out.append(block, used);
    return total;
}

}  // namespace

size_t utf8ToUtf16(const uint8_t* bytes, size_t count, CXMLString& out) {
    return decodeThroughBlock<CXMLString, 8192>(bytes, count, out, false);
}

size_t utf8ToUtf16Trimmed(const uint8_t* bytes, size_t count, CXMLString& out) {
    const size_t n = utf8ToUtf16(bytes, count, out);
    if (n) out.trimTrailingNuls();
    return n;
}

size_t utf8ToUtf16(const uint8_t* bytes, size_t count, XString& out) {
    return decodeThroughBlock<XString, 8191>(bytes, count, out, true);
}

size_t utf8ToUtf16(const uint8_t* bytes, size_t count, xchar* out, size_t capacity) {
    size_t used = 0, i = 0;
    while (i < count) {
        char32_t c;
        const size_t n = decodeChar(bytes + i, count - i, &c);
        if (!n || isInvalidCodePoint(c)) return 0;
        const size_t units = c < 0x10000 ? 1 : 2;
        if (used + units + 1 > capacity) return 0;
        putUtf16(c, out + used);
        used += units;
        i += n;
    }
    if (used < capacity) out[used] = 0;
    return used;
}

size_t utf8CharCount(const uint8_t* bytes, size_t count) {
    size_t total = 0, i = 0;
    while (i < count) {
        char32_t c;
        const size_t n = decodeChar(bytes + i, count - i, &c);
        if (!n) return 0;
        total += c < 0x10000 ? 1 : 2;
        i += n;
    }
    return total;
}

}  // namespace utf8

size_t appendUtf16AsUtf8(const xchar* text, size_t count, GrowBuffer& out) {
    size_t appended = 0, i = 0;
    while (i < count) {
        if (out.freeBytes() < 6) {
            const size_t left = count - i;
            if (!out.reserve(left > 32 ? left : 32)) return 0;
        }
        char32_t cp;
        const size_t units = utf8::codePointAt(text, count, i, &cp);
        if (!units) return 0;
        const size_t n = utf8::encodeCodePoint(cp, out.end());
        out.setSize(out.size() + n);
        appended += n;
        i += units;
    }
    return appended;
}
