#include "xml/XMLString.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {
const xchar kEmpty[1] = {0};
}

const xchar* CXMLString::text() const {
    return m_buf.size() ? reinterpret_cast<const xchar*>(m_buf.data()) : kEmpty;
}

void CXMLString::appendCharSlow(xchar c) {
    if (!m_buf.reserve(2 * sizeof(xchar))) return;
    xchar* p = reinterpret_cast<xchar*>(m_buf.end());
    p[0] = c;
    p[1] = 0;
    m_buf.setSize(m_buf.size() + sizeof(xchar));
}

bool CXMLString::append(const xchar* s, size_t count) {
    if (!count) return terminate();
    if (count > (SIZE_MAX / sizeof(xchar)) - 1) return false;
    if (!m_buf.reserve((count + 1) * sizeof(xchar))) return false;
    xchar* p = reinterpret_cast<xchar*>(m_buf.end());
    std::memcpy(p, s, count * sizeof(xchar));
    p[count] = 0;
    m_buf.setSize(m_buf.size() + count * sizeof(xchar));
    return true;
}

bool CXMLString::terminate() {
    if (!m_buf.reserve(sizeof(xchar))) return false;
    *reinterpret_cast<xchar*>(m_buf.end()) = 0;
    return true;
}

size_t CXMLString::appendFormat(const xchar* format, ...) {
    va_list args;
    va_start(args, format);
    size_t n = appendFormatV(format, args);
    va_end(args);
    return n;
}

size_t CXMLString::appendFormatV(const xchar* format, va_list args) {
    if (!format) return 0;
    // Room for twice the format's length first; while the result does not fit
    // (two characters are always left spare), grow and format again.
    if (!m_buf.reserve((2 * xstrlen(format) + 2) * sizeof(xchar))) return 0;
    for (;;) {
        const size_t freeChars = m_buf.freeBytes() / sizeof(xchar);
        va_list copy;
        va_copy(copy, args);
        const int n = freeChars > 2 ? xmlFormatV(reinterpret_cast<xchar*>(m_buf.end()),
                                                 freeChars - 1, format, copy)
                                    : -1;
        va_end(copy);
        if (n >= 0) {
            m_buf.setSize(m_buf.size() + static_cast<size_t>(n) * sizeof(xchar));
            terminate();
            return static_cast<size_t>(n);
        }
        const size_t cap = m_buf.capacity();
        size_t more = 2 * cap;
        if (m_buf.growthStep() > more) more = m_buf.growthStep();
        if (cap > SIZE_MAX / 4 || !m_buf.growTo(m_buf.size() + more)) {
            terminate();
            return 0;
        }
    }
}

size_t CXMLString::replaceAll(const xchar* find, const xchar* replacement) {
    const size_t findLen = xstrlen(find);
    const size_t len = length();
    if (!findLen || findLen > len) return 0;
    const size_t replLen = xstrlen(replacement);
    const xchar* s = text();
    XString out;
    size_t count = 0, i = 0, copied = 0;
    while (i + findLen <= len) {
        if (s[i] == find[0] && std::memcmp(s + i, find, findLen * sizeof(xchar)) == 0) {
            out.append(s + copied, i - copied);
            out.append(replacement ? replacement : XS(""), replLen);
            i += findLen;
            copied = i;
            ++count;
        } else {
            ++i;
        }
    }
    if (!count) return 0;
    out.append(s + copied, len - copied);
    clear();
    append(out);
    return count;
}

bool CXMLString::assign(const xchar* s) { return assign(s, xstrlen(s)); }

bool CXMLString::assign(const xchar* s, size_t count) {
    m_buf.clear();
    if (!s) return terminate();
    return append(s, count);
}

void CXMLString::clear() {
    m_buf.clear();
    if (m_buf.capacity()) terminate();
}

void CXMLString::removeLast(size_t n) {
    const size_t len = length();
    truncate(n >= len ? 0 : len - n);
}

void CXMLString::truncate(size_t n) {
    if (n >= length()) return;
    m_buf.setSize(n * sizeof(xchar));
    terminate();
}

void CXMLString::trimTrailingNuls() {
    size_t len = length();
    const xchar* s = text();
    while (len && s[len - 1] == 0) --len;
    truncate(len);
    terminate();
}

// ---------------------------------------------------------------- formatting

namespace {

struct Sink {
    xchar* out;
    size_t capacity;  // characters available for text (the terminator excluded)
    size_t length = 0;
    bool overflow = false;
    void put(xchar c) {
        if (length < capacity)
            out[length++] = c;
        else
            overflow = true;
    }
    void repeat(xchar c, int n) {
        for (int i = 0; i < n; ++i) put(c);
    }
};

struct Spec {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = 0;
    int precision = -1;
};

void putPadded(Sink& sink, const Spec& spec, const xchar* prefix, size_t prefixLen,
               const xchar* body, size_t bodyLen, bool numeric) {
    size_t zeros = 0;
    if (numeric && spec.precision >= 0 && static_cast<size_t>(spec.precision) > bodyLen)
        zeros = static_cast<size_t>(spec.precision) - bodyLen;
    const size_t total = prefixLen + zeros + bodyLen;
    const int pad = spec.width > static_cast<int>(total) ? spec.width - static_cast<int>(total) : 0;
    const bool zeroPad = spec.zero && !spec.left && (!numeric || spec.precision < 0);
    if (!spec.left && !zeroPad) sink.repeat(' ', pad);
    for (size_t i = 0; i < prefixLen; ++i) sink.put(prefix[i]);
    if (zeroPad) sink.repeat('0', pad);
    for (size_t i = 0; i < zeros; ++i) sink.put('0');
    for (size_t i = 0; i < bodyLen; ++i) sink.put(body[i]);
    if (spec.left) sink.repeat(' ', pad);
}

void putInteger(Sink& sink, const Spec& spec, unsigned long long magnitude, bool negative,
                unsigned base, bool upper, bool isSigned) {
    xchar digits[72];
    size_t n = 0;
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    if (magnitude == 0 && spec.precision != 0) digits[n++] = '0';
    while (magnitude) {
        digits[n++] = static_cast<xchar>(set[magnitude % base]);
        magnitude /= base;
    }
    for (size_t i = 0; i < n / 2; ++i) {
        xchar t = digits[i];
        digits[i] = digits[n - 1 - i];
        digits[n - 1 - i] = t;
    }
    xchar prefix[3];
    size_t prefixLen = 0;
    if (isSigned) {
        if (negative)
            prefix[prefixLen++] = '-';
        else if (spec.plus)
            prefix[prefixLen++] = '+';
        else if (spec.space)
            prefix[prefixLen++] = ' ';
    }
    if (spec.alt && base == 16 && n && !(n == 1 && digits[0] == '0')) {
        prefix[prefixLen++] = '0';
        prefix[prefixLen++] = upper ? 'X' : 'x';
    }
    if (spec.alt && base == 8 && (n == 0 || digits[0] != '0')) prefix[prefixLen++] = '0';
    putPadded(sink, spec, prefix, prefixLen, digits, n, true);
}

}  // namespace

int xmlFormatV(xchar* out, size_t capacity, const xchar* format, va_list args) {
    if (!out || capacity == 0) return -1;
    Sink sink{out, capacity - 1};
    for (const xchar* f = format; f && *f; ++f) {
        if (*f != '%') {
            sink.put(*f);
            continue;
        }
        ++f;
        if (*f == '%') {
            sink.put('%');
            continue;
        }
        Spec spec;
        for (;; ++f) {
            if (*f == '-')
                spec.left = true;
            else if (*f == '+')
                spec.plus = true;
            else if (*f == ' ')
                spec.space = true;
            else if (*f == '#')
                spec.alt = true;
            else if (*f == '0')
                spec.zero = true;
            else
                break;
        }
        if (*f == '*') {
            spec.width = va_arg(args, int);
            if (spec.width < 0) {
                spec.left = true;
                spec.width = -spec.width;
            }
            ++f;
        } else {
            while (*f >= '0' && *f <= '9') spec.width = spec.width * 10 + (*f++ - '0');
        }
        if (*f == '.') {
            ++f;
            spec.precision = 0;
            if (*f == '*') {
                spec.precision = va_arg(args, int);
                ++f;
            } else {
                while (*f >= '0' && *f <= '9') spec.precision = spec.precision * 10 + (*f++ - '0');
            }
        }
        // Length: 0 int, 1 long, 2 long long, 3 size_t, -1 short / narrow.
        int size = 0;
        bool narrow = false;
        if (*f == 'h') {
            narrow = true;
            ++f;
            if (*f == 'h') ++f;
        } else if (*f == 'l') {
            size = 1;
            ++f;
            if (*f == 'l') {
                size = 2;
                ++f;
            }
        } else if (*f == 'I' && f[1] == '6' && f[2] == '4') {
            size = 2;
            f += 3;
        } else if (*f == 'I' && f[1] == '3' && f[2] == '2') {
            f += 3;
        } else if (*f == 'z' || *f == 'j' || *f == 't') {
            size = *f == 'z' ? 3 : 2;
            ++f;
        } else if (*f == 'L') {
            ++f;
        }
        const xchar conv = *f;
        if (!conv) break;
        switch (conv) {
            case 'd':
            case 'i': {
                long long v = size == 2   ? va_arg(args, long long)
                              : size == 1 ? va_arg(args, long)
                              : size == 3 ? static_cast<long long>(va_arg(args, ptrdiff_t))
                                          : va_arg(args, int);
                if (narrow) v = static_cast<short>(v);
                const bool neg = v < 0;
                const unsigned long long mag = neg ? 0ULL - static_cast<unsigned long long>(v)
                                                   : static_cast<unsigned long long>(v);
                putInteger(sink, spec, mag, neg, 10, false, true);
                break;
            }
            case 'u':
            case 'x':
            case 'X':
            case 'o': {
                unsigned long long v = size == 2   ? va_arg(args, unsigned long long)
                                       : size == 1 ? va_arg(args, unsigned long)
                                       : size == 3 ? va_arg(args, size_t)
                                                   : va_arg(args, unsigned);
                if (narrow) v = static_cast<unsigned short>(v);
                const unsigned base = conv == 'u' ? 10 : conv == 'o' ? 8 : 16;
                putInteger(sink, spec, v, false, base, conv == 'X', false);
                break;
            }
            case 'p': {
                Spec p = spec;
                p.alt = true;
                putInteger(sink, p, reinterpret_cast<uintptr_t>(va_arg(args, void*)), false, 16,
                           false, false);
                break;
            }
            case 'c': {
                const xchar c = static_cast<xchar>(va_arg(args, int));
                putPadded(sink, spec, nullptr, 0, &c, 1, false);
                break;
            }
            case 's':
            case 'S': {
                if (narrow || conv == 'S') {
                    const char* s = va_arg(args, const char*);
                    if (!s) s = "(null)";
                    XString w;
                    size_t n = std::strlen(s);
                    if (spec.precision >= 0 && static_cast<size_t>(spec.precision) < n)
                        n = static_cast<size_t>(spec.precision);
                    for (size_t i = 0; i < n; ++i) w.push_back(static_cast<unsigned char>(s[i]));
                    putPadded(sink, spec, nullptr, 0, w.data(), w.size(), false);
                } else {
                    const xchar* s = va_arg(args, const xchar*);
                    if (!s) s = XS("(null)");
                    size_t n = xstrlen(s);
                    if (spec.precision >= 0 && static_cast<size_t>(spec.precision) < n)
                        n = static_cast<size_t>(spec.precision);
                    putPadded(sink, spec, nullptr, 0, s, n, false);
                }
                break;
            }
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G':
            case 'a':
            case 'A': {
                const double v = va_arg(args, double);
                char fmt[32];
                std::snprintf(fmt, sizeof fmt, "%%%s%s%s%s%s*.*%c", spec.left ? "-" : "",
                              spec.plus ? "+" : "", spec.space ? " " : "", spec.alt ? "#" : "",
                              spec.zero ? "0" : "", static_cast<char>(conv));
                char text[512];
                const int n = std::snprintf(text, sizeof text, fmt, spec.width,
                                            spec.precision < 0 ? 6 : spec.precision, v);
                for (int i = 0; i < n && i < static_cast<int>(sizeof text) - 1; ++i)
                    sink.put(static_cast<unsigned char>(text[i]));
                break;
            }
            default:
                // An unknown conversion is written as it stands.
                sink.put('%');
                sink.put(conv);
                break;
        }
    }
    if (sink.overflow) return -1;
    out[sink.length] = 0;
    return static_cast<int>(sink.length);
}

void xmlDebugTrace(const xchar* format, ...) {
    if (!format || !*format) return;
    CXMLString text;
    va_list args;
    va_start(args, format);
    text.appendFormatV(format, args);
    va_end(args);
    if (text.length()) xmlDebugOutput(text.text());
}
