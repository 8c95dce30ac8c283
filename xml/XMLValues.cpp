#include "xml/XMLValues.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

#include "xml/XMLString.h"

namespace {

const xchar* skipWhite(const xchar* t) {
    while (t && xmlIsWhite(static_cast<unsigned>(*t))) ++t;
    return t;
}

// Reads decimal digits; false when there is none.
bool scanDigits(const xchar*& t, unsigned long long& value) {
    const xchar* start = t;
    value = 0;
    while (*t >= '0' && *t <= '9') {
        if (value < 10000000000ULL) value = value * 10 + static_cast<unsigned>(*t - '0');
        ++t;
    }
    return t != start;
}

int hexValue(xchar c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Exactly n hexadecimal digits at t.
bool scanHex(const xchar* t, int n, unsigned long long& value) {
    value = 0;
    for (int i = 0; i < n; ++i) {
        const int h = hexValue(t[i]);
        if (h < 0) return false;
        value = value * 16 + static_cast<unsigned>(h);
    }
    return true;
}

XString formatted(const xchar* format, ...) {
    CXMLString s;
    va_list args;
    va_start(args, format);
    s.appendFormatV(format, args);
    va_end(args);
    return s.str();
}

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

const long long kEpochDays = daysFromCivil(1899, 12, 30);

}  // namespace

bool xmlParseInt(const xchar* text, int& out) {
    const xchar* t = skipWhite(text);
    if (!t) return false;
    bool negative = false;
    if (*t == '-' || *t == '+') negative = *t++ == '-';
    unsigned long long v;
    if (!scanDigits(t, v)) return false;
    const long long s = negative ? -static_cast<long long>(v) : static_cast<long long>(v);
    out = s > INT_MAX ? INT_MAX : s < INT_MIN ? INT_MIN : static_cast<int>(s);
    return true;
}

bool xmlParseUInt(const xchar* text, unsigned& out) {
    const xchar* t = skipWhite(text);
    if (!t) return false;
    if (*t == '+') ++t;
    unsigned long long v;
    if (!scanDigits(t, v)) return false;
    out = v > UINT_MAX ? UINT_MAX : static_cast<unsigned>(v);
    return true;
}

bool xmlIsTrueText(const xchar* text) {
    if (!text) return false;
    auto equalsIgnoreCase = [text](const char* word) {
        size_t i = 0;
        for (; word[i]; ++i) {
            xchar c = text[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<xchar>(c + 32);
            if (c != static_cast<xchar>(word[i])) return false;
        }
        return text[i] == 0;
    };
    return equalsIgnoreCase("true") || equalsIgnoreCase("yes");
}

bool xmlParseDouble(const xchar* text, double& out) {
    if (!text) return false;
    const xchar* t = text;
    while (*t == ' ' || *t == '\t') ++t;
    std::string narrow;
    for (; *t && *t < 128; ++t) narrow.push_back(static_cast<char>(*t));
    if (narrow.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(narrow.c_str(), &end);
    if (end == narrow.c_str()) return false;
    out = v;
    return true;
}

bool xmlParseColor(const xchar* text, XMLColor& out) {
    if (!text || text[0] != '#' || xstrlen(text) != 7) return false;
    unsigned long long v;
    if (!scanHex(text + 1, 6, v)) return false;
    out.red = static_cast<uint8_t>(v >> 16);
    out.green = static_cast<uint8_t>(v >> 8);
    out.blue = static_cast<uint8_t>(v);
    return true;
}

XString xmlFormatColor(const XMLColor& c) {
    return formatted(XS("#%02x%02x%02x"), c.red, c.green, c.blue);
}

bool xmlParseGuid(const xchar* text, XMLGuid& out) {
    // "{8-4-4-4-12}" or "[8-4-4-16]": the same digits, with or without the
    // dash inside the last group.
    const size_t len = xstrlen(text);
    const bool braces = len == 38 && text[0] == '{' && text[37] == '}' && text[24] == '-';
    const bool brackets = len == 37 && text[0] == '[' && text[36] == ']';
    if ((!braces && !brackets) || text[9] != '-' || text[14] != '-' || text[19] != '-')
        return false;
    unsigned long long v;
    XMLGuid g{};
    if (!scanHex(text + 1, 8, v)) return false;
    g.Data1 = static_cast<uint32_t>(v);
    if (!scanHex(text + 10, 4, v)) return false;
    g.Data2 = static_cast<uint16_t>(v);
    if (!scanHex(text + 15, 4, v)) return false;
    g.Data3 = static_cast<uint16_t>(v);
    for (int i = 0; i < 8; ++i) {
        const int at = 20 + 2 * i + (braces && i >= 2 ? 1 : 0);
        if (!scanHex(text + at, 2, v)) return false;
        g.Data4[i] = static_cast<uint8_t>(v);
    }
    out = g;
    return true;
}

XString xmlFormatGuid(const XMLGuid& g) {
    return formatted(XS("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}"),
                     static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                     g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

bool xmlDateFromParts(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                      unsigned second, double& out) {
    static const unsigned kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1] ||
        hour > 23 || minute > 59 || second > 59)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return false;
    const long long days = daysFromCivil(year, month, day) - kEpochDays;
    const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    out = days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
    return true;
}

bool xmlDateToParts(double value, unsigned& year, unsigned& month, unsigned& day, unsigned& hour,
                    unsigned& minute, unsigned& second) {
    if (!(value > -657435.0 && value < 2958466.0)) return false;
    double whole = std::trunc(value);
    long long seconds = std::llround(std::fabs(value - whole) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += value < 0 ? -1 : 1;
    }
    long long y;
    civilFromDays(static_cast<long long>(whole) + kEpochDays, y, month, day);
    year = static_cast<unsigned>(y);
    hour = static_cast<unsigned>(seconds / 3600);
    minute = static_cast<unsigned>(seconds / 60 % 60);
    second = static_cast<unsigned>(seconds % 60);
    return true;
}

bool xmlParseDateTime(const xchar* text, XMLDateTime& out) {
    const size_t len = xstrlen(text);
    if (len != 10 && len != 19) return false;
    unsigned long long part[6] = {0, 0, 0, 0, 0, 0};
    const xchar* t = text;
    const xchar separators[5] = {'/', '/', ' ', ':', ':'};
    const int parts = len == 10 ? 3 : 6;
    for (int i = 0; i < parts; ++i) {
        if (!scanDigits(t, part[i])) return false;
        if (i + 1 < parts && *t++ != separators[i]) return false;
    }
    if (*t) return false;
    double v;
    if (part[0] > 9999 || part[1] > 12 || part[2] > 31 || part[3] > 23 || part[4] > 59 ||
        part[5] > 59)
        return false;
    if (!xmlDateFromParts(static_cast<unsigned>(part[0]), static_cast<unsigned>(part[1]),
                          static_cast<unsigned>(part[2]), static_cast<unsigned>(part[3]),
                          static_cast<unsigned>(part[4]), static_cast<unsigned>(part[5]), v))
        return false;
    out.value = v;
    return true;
}

XString xmlFormatDateTime(const XMLDateTime& t) {
    unsigned y, mo, d, h, mi, s;
    if (!xmlDateToParts(t.value, y, mo, d, h, mi, s)) return XString();
    return formatted(XS("%04d/%02u/%02u %02u:%02u:%02u"), static_cast<int>(y), mo, d, h, mi, s);
}

XString xmlFormatDateTimeAsLocal(const XMLDateTime& utc) {
    XMLDateTime local;
    if (!xmlUtcToLocal(utc.value, local.value)) return XString();
    return xmlFormatDateTime(local);
}

bool xmlParseLocalDateTimeAsUtc(const xchar* text, XMLDateTime& utc) {
    XMLDateTime local;
    return xmlParseDateTime(text, local) && xmlLocalToUtc(local.value, utc.value);
}

XString XMLValueTraits<int>::format(int v) { return formatted(XS("%d"), v); }
XString XMLValueTraits<unsigned>::format(unsigned v) { return formatted(XS("%u"), v); }
XString XMLValueTraits<double>::format(double v) { return formatted(XS("%.15g"), v); }
