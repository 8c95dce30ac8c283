// CXMLString: the growable UTF-16 buffer into which the writer serialises a
// document and the parser collects its tokens, and the library's trace.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "xml/GrowBuffer.h"
#include "xml/XMLChar.h"

class CXMLString {
  public:
    CXMLString() = default;
    ~CXMLString() = default;
    CXMLString(const CXMLString&) = delete;
    CXMLString& operator=(const CXMLString&) = delete;

    // The text, or a static empty text when the length is 0; always NUL-terminated.
    const xchar* text() const;
    // The length in characters (the terminator is not counted).
    size_t length() const { return m_buf.size() / sizeof(xchar); }
    size_t capacityBytes() const { return m_buf.capacity(); }
    XString str() const { return XString(text(), length()); }
    xchar* data() { return reinterpret_cast<xchar*>(m_buf.data()); }
    xchar last() const { return length() ? text()[length() - 1] : 0; }

    // Releases the block; the three fields become zero.
    void free() { m_buf.free(); }

    // Appends one character (nothing for NUL). A failed reallocation leaves the
    // buffer as it was.
    void appendChar(xchar c) {
        if (!c) return;
        if (m_buf.freeBytes() >= 2 * sizeof(xchar)) {
            xchar* p = reinterpret_cast<xchar*>(m_buf.end());
            p[0] = c;
            p[1] = 0;
            m_buf.setSize(m_buf.size() + sizeof(xchar));
            return;
        }
        appendCharSlow(c);
    }
    // Appends count characters as they are.
    bool append(const xchar* s, size_t count);
    bool append(const xchar* s) { return append(s, xstrlen(s)); }
    bool append(const XString& s) { return append(s.data(), s.size()); }
    // Appends count characters below 128 given as bytes or wide units.
    template <class Unit>
    bool appendAscii(const Unit* s, size_t count) {
        if (!m_buf.reserve((count + 1) * sizeof(xchar))) return false;
        xchar* p = reinterpret_cast<xchar*>(m_buf.end());
        for (size_t i = 0; i < count; ++i) p[i] = static_cast<xchar>(s[i]);
        p[count] = 0;
        m_buf.setSize(m_buf.size() + count * sizeof(xchar));
        return true;
    }

    // Makes sure a NUL follows the text without changing the length.
    bool terminate();

    // printf-style append; %s takes a wide text, %hs a narrow one. Returns the
    // number of characters appended (0 when it could not be formatted).
    size_t appendFormat(const xchar* format, ...);
    size_t appendFormatV(const xchar* format, va_list args);

    // Replaces every occurrence of find, left to right, never rescanning the
    // inserted text; returns the number of replacements.
    size_t replaceAll(const xchar* find, const xchar* replacement);

    // Sets the content to a copy of the text (null clears).
    bool assign(const xchar* text);
    bool assign(const xchar* text, size_t count);
    void clear();
    // Drops the last n characters (all of them when there are fewer).
    void removeLast(size_t n);
    // Cuts the text to n characters (no effect when it is shorter).
    void truncate(size_t n);
    // Drops NULs at the end of the counted text; keeps the terminator.
    void trimTrailingNuls();

  private:
    void appendCharSlow(xchar c);
    GrowBuffer m_buf;
};

// Formats into out (capacity in characters, including the terminator). Returns
// the number of characters written without the terminator, or -1 when the text
// does not fit. Conversions: d i u x X o c s (wide) hs/S (narrow) p f e g %,
// with flags - + space # 0, width, precision, and the length modifiers h l ll I64 z.
int xmlFormatV(xchar* out, size_t capacity, const xchar* format, va_list args);

// printf-style trace to the debugger output; a null or empty format, or an
// empty result, sends nothing.
void xmlDebugTrace(const xchar* format, ...);

// Sends a finished text to the debugger output (the platform seam of the trace).
void xmlDebugOutput(const xchar* text);
