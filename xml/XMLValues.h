// Text forms of the typed values that elements and attributes carry: integers
// ("%d", "%u"), booleans ("true"/"false", read as true for "true" or "yes" in
// any case), colours ("#rrggbb"), doubles, GUIDs and date-times
// ("yyyy/mm/dd hh:mm:ss", held as a floating-point date: days since
// 1899-12-30, the time of day as the fraction).
#pragma once

#include <cstdint>

#include "xml/XMLChar.h"

#ifdef _WIN32
#include <guiddef.h>
using XMLGuid = GUID;
#else
struct XMLGuid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
#endif

struct XMLColor {
    uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const XMLColor& o) const {
        return red == o.red && green == o.green && blue == o.blue;
    }
};

struct XMLDateTime {
    double value = 0;  // days since 1899-12-30; the fraction is the time of day
    bool operator==(const XMLDateTime& o) const { return value == o.value; }
};

// "%d" from the start of the text (leading white space skipped, optional sign);
// false when no digit follows. Values beyond the int range saturate.
bool xmlParseInt(const xchar* text, int& out);
bool xmlParseUInt(const xchar* text, unsigned& out);
// true for "true" or "yes" in any letter case.
bool xmlIsTrueText(const xchar* text);
// A double from the text; leading spaces and tabs are skipped.
bool xmlParseDouble(const xchar* text, double& out);
bool xmlParseColor(const xchar* text, XMLColor& out);
XString xmlFormatColor(const XMLColor& c);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" or "[XXXXXXXX-XXXX-XXXX-XXXXXXXXXXXXXXXX]".
bool xmlParseGuid(const xchar* text, XMLGuid& out);
XString xmlFormatGuid(const XMLGuid& g);
// Exactly 10 characters "y/m/d" or exactly 19 "y/m/d h:m:s".
bool xmlParseDateTime(const xchar* text, XMLDateTime& out);
// "%04d/%02u/%02u %02u:%02u:%02u".
XString xmlFormatDateTime(const XMLDateTime& t);
// The same after converting UTC to local time, and the reader for such a text.
XString xmlFormatDateTimeAsLocal(const XMLDateTime& utc);
bool xmlParseLocalDateTimeAsUtc(const xchar* text, XMLDateTime& utc);

// Calendar conversions of the date value (exposed for the platform seam).
bool xmlDateFromParts(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                      unsigned second, double& out);
bool xmlDateToParts(double value, unsigned& year, unsigned& month, unsigned& day, unsigned& hour,
                    unsigned& minute, unsigned& second);
// Local time <-> UTC for a date value (the platform's time-zone rules).
bool xmlUtcToLocal(double utc, double& local);
bool xmlLocalToUtc(double local, double& utc);

// Text conversions per type, used by the typed accessors of elements.
template <class T>
struct XMLValueTraits;

template <>
struct XMLValueTraits<XString> {
    static bool parse(const xchar* t, XString& v) {
        v = xstr(t);
        return true;
    }
    static XString format(const XString& v) { return v; }
};
template <>
struct XMLValueTraits<int> {
    static bool parse(const xchar* t, int& v) { return xmlParseInt(t, v); }
    static XString format(int v);
};
template <>
struct XMLValueTraits<unsigned> {
    static bool parse(const xchar* t, unsigned& v) { return xmlParseUInt(t, v); }
    static XString format(unsigned v);
};
template <>
struct XMLValueTraits<bool> {
    static bool parse(const xchar* t, bool& v) {
        v = xmlIsTrueText(t);
        return true;
    }
    static XString format(bool v) { return v ? XS("true") : XS("false"); }
};
template <>
struct XMLValueTraits<XMLColor> {
    static bool parse(const xchar* t, XMLColor& v) { return xmlParseColor(t, v); }
    static XString format(const XMLColor& v) { return xmlFormatColor(v); }
};
template <>
struct XMLValueTraits<double> {
    static bool parse(const xchar* t, double& v) { return xmlParseDouble(t, v); }
    static XString format(double v);
};
template <>
struct XMLValueTraits<XMLGuid> {
    static bool parse(const xchar* t, XMLGuid& v) { return xmlParseGuid(t, v); }
    static XString format(const XMLGuid& v) { return xmlFormatGuid(v); }
};
template <>
struct XMLValueTraits<XMLDateTime> {
    static bool parse(const xchar* t, XMLDateTime& v) { return xmlParseDateTime(t, v); }
    static XString format(const XMLDateTime& v) { return xmlFormatDateTime(v); }
};
