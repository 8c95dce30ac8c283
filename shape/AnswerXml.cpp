// Answers from ready vertex lists, and the answer XML with its compact
// coordinate code.
#include <stdio.h>
#include <string.h>

#include "Memory.h"
#include "Polyline.h"
#include "ShapeAnswer.h"
#include "Shaper.h"

namespace vexa {

namespace {

constexpr char kCoordAlphabet[] =
    "9876543210ZYXWVUTSRQPONMLKJIHGFEDCBA-abcdefghijklmnopqrstuvwxyz()[]{}*+^~";

// Two points of a vertex list coincide within 2 (sum of the coordinate differences).
bool coincide(Point16 a, Point16 b) { return pointsClose(a, b, 2) != 0; }

int polylineTestKind(const Point16* p, int n) {
    return isSmoothPointList(p, n) ? kKindPolyline : kKindCurve;
}

// The two-headed patterns in the order of their names ARR2_11, _12, _21, _22.
int doubleArrowPattern(const Point16* p) {
    if (coincide(p[1], p[3]) && coincide(p[4], p[6])) return 0;
    if (coincide(p[1], p[3]) && coincide(p[4], p[7])) return 1;
    if (coincide(p[0], p[3]) && coincide(p[4], p[6])) return 2;
    if (coincide(p[0], p[3]) && coincide(p[4], p[7])) return 3;
    return -1;
}

int inferKind(const Point16* p, int n, bool closed) {
    switch (n) {
        case 1:
            return kKindPoint;
        case 4:
            // Four open points are a polyline only when they pass the polyline test.
            return closed ? kKindTriangle : polylineTestKind(p, n);
        case 5:
            if (absValue(cross(p[0], p[1], p[2], p[3])) < 8 &&
                absValue(cross(p[1], p[2], p[3], p[4])) < 8)
                return kKindParallelogram;
            if (coincide(p[1], p[3]) || coincide(p[1], p[4])) return kKindArrow;
            return polylineTestKind(p, n);
        case 8:
            return doubleArrowPattern(p) >= 0 ? kKindDoubleArrow : polylineTestKind(p, n);
        case 33:
            return closed ? kKindEllipse : kKindCurve;
        default:
            return n >= 34 ? kKindCurve : polylineTestKind(p, n);
    }
}

// Appends text to a buffer of known room; the length was counted beforehand.
struct Writer {
    char* at;
    void put(const char* text) {
        size_t n = strlen(text);
        memcpy(at, text, n);
        at += n;
    }
    void putf(const char* format, long value) { at += sprintf(at, format, value); }
};

int coordCode(char* out, const VSANSWER* a, int axis, int32_t offset) {
    int length = 0;
    const int n = a->vertices ? a->vertexCount : 0;
    for (int i = 0; i < n; ++i) {
        const int32_t value = a->vertices[2 * i + axis] + offset;
        const int32_t previous = i ? a->vertices[2 * (i - 1) + axis] + offset : 0;
        char scratch[16];
        length += encodeShapeCoords(out ? out + length : scratch, previous, value, i == 0);
    }
    return length;
}

}  // namespace

int answerFromVertexList(const Point16* p, int n, VSANSWER* a, int16_t kind) {
    if (n < 1 || !p) {
        clearShapeAnswerArrays(a);
        return 0;
    }
    const bool closed = coincide(p[0], p[n - 1]);
    int k = kind > 0 ? kind : inferKind(p, n, closed);
    char name[32] = {0};
    int16_t params[6];
    int paramCount = 0;
    switch (k) {
        case kKindTriangle:
            strcpy(name, "TRIG");
            break;
        case kKindParallelogram:
            strcpy(name, "PARA");
            break;
        case kKindEllipse: {
            // Point16 pairs are laid out as x, y int16 values.
            int32_t centre[2] = {0, 0}, radii[2] = {0, 0}, dir[2] = {1024, 0};
            const int circle =
                fitEllipse(reinterpret_cast<const int16_t*>(p), n, centre, radii, dir, 2);
            const bool degenerate = !circle && (radii[1] == 0 || radii[0] / radii[1] > 20);
            if (degenerate) {
                // More than 20 times longer than wide: a curve.
                k = kKindCurve;
                strcpy(name, "CURV");
                break;
            }
            strcpy(name, circle ? "ELLI_c" : "ELLI");
            const int32_t values[6] = {centre[0], centre[1], radii[0], radii[1], dir[0], dir[1]};
            paramCount = circle ? 3 : 6;
            for (int i = 0; i < paramCount; ++i) params[i] = clamp16(values[i]);
            break;
        }
        case kKindArrow:
            strcpy(name, n > 3 && coincide(p[1], p[3]) ? "ARR1_1" : "ARR1_2");
            break;
        case kKindDoubleArrow: {
            static const char* const kNames[4] = {"ARR2_11", "ARR2_12", "ARR2_21", "ARR2_22"};
            const int pattern = n >= 8 ? doubleArrowPattern(p) : -1;
            if (pattern >= 0) strcpy(name, kNames[pattern]);
            break;
        }
        case kKindPolyline:
            snprintf(name, sizeof(name), "POLY_%i", n - 1);
            break;
        case kKindCurve:
            strcpy(name, "CURV");
            break;
        case kKindPoint:
            strcpy(name, "PONT");
            break;
        default:
            clearShapeAnswerArrays(a);
            return 0;
    }
    if (!setAnswerPoints(a, p, n) || (paramCount && !setAnswerParams(a, params, paramCount))) {
        clearShapeAnswerArrays(a);
        return 0;
    }
    a->kind = static_cast<int16_t>(k);
    a->score = 0;
    a->closed = closed ? 1 : 0;
    setAnswerName(a, name);
    return 1;
}

int strokeToShapeAnswer(VSANSWER* a, const VSVertexList* list) {
    if (!a) return 0;
    resetShapeAnswer(a);
    if (!list) return 0;
    a->strokes = static_cast<uint16_t*>(allocBlock(sizeof(uint16_t)));
    a->aliases = static_cast<uint16_t*>(allocBlock(sizeof(uint16_t)));
    if (!a->strokes || !a->aliases) {
        clearShapeAnswerArrays(a);
        return 0;
    }
    a->strokes[0] = static_cast<uint16_t>(list->id);
    a->aliases[0] = static_cast<uint16_t>(list->id);
    a->strokeCount = 1;
    PointList* points = makePointList(list->count, list->points, 0);
    if (!points) {
        clearShapeAnswerArrays(a);
        return 0;
    }
    const int made = answerFromVertexList(points->points, points->count, a, 0);
    freePointList(points);
    if (!made) return 0;
    a->fresh = 1;
    return 1;
}

int encodeShapeCoords(char* out, int32_t previous, int32_t value, int32_t absolute) {
    const int64_t delta = static_cast<int64_t>(value) - previous;
    if (!absolute && delta >= -36 && delta <= 36) {
        out[0] = kCoordAlphabet[36 + delta];
        out[1] = '\0';
        return 1;
    }
    if (value >= 0) return sprintf(out, "@%x:", static_cast<unsigned>(value));
    if (value == INT32_MIN) return sprintf(out, "@%x:", 0x80000000u);
    return sprintf(out, "@-%x:", static_cast<unsigned>(-value));
}

int decimalWidth(int32_t value) {
    if (value == 0) return 1;
    int width = value < 0 ? 1 : 0;
    int64_t v = absValue(value);
    while (v) {
        ++width;
        v /= 10;
    }
    return width;
}

void setXmlForShapeAnswer(const Shaper* shaper, VSANSWER* a, int32_t id) {
    if (!shaper || !a || a->kind == kKindNone) return;
    const int32_t dx = shaper->outputOffsetX, dy = shaper->outputOffsetY;
    // Answers without strokes write an empty alias list.
    const int aliases = a->aliases ? a->strokeCount : 0;
    const bool coords = a->kind != kKindCurve;
    int64_t length = decimalWidth(id) + decimalWidth(a->alignId) + 33 +
                     static_cast<int64_t>(strnlen(a->name, sizeof(a->name))) + 32;
    for (int i = 0; i < aliases; ++i) length += decimalWidth(a->aliases[i]) + (i ? 1 : 0);
    if (coords) length += 14 + coordCode(nullptr, a, 0, dx) + coordCode(nullptr, a, 1, dy);
    if (length > 0xFFFF) {
        // The capacity is 16 bits: a text this long cannot be kept.
        freeBlock(a->xmlText);
        a->xmlText = nullptr;
        a->xmlCapacity = 0;
        return;
    }
    if (length > a->xmlCapacity) {
        freeBlock(a->xmlText);
        a->xmlCapacity = 0;
        a->xmlText = static_cast<char*>(allocBlock(static_cast<size_t>(length)));
        if (!a->xmlText) return;
        a->xmlCapacity = static_cast<uint16_t>(length);
    }
    memset(a->xmlText, 0, a->xmlCapacity);
    char name[33] = {0};
    memcpy(name, a->name, sizeof(a->name));
    Writer w{a->xmlText};
    w.putf("<Shape id='%ld'", id);
    w.putf(" align='%ld'>", a->alignId);
    w.put("<Name>");
    w.put(name);
    w.put("</Name><Aliases>");
    for (int i = 0; i < aliases; ++i) w.putf(i ? " %ld" : "%ld", a->aliases[i]);
    w.put("</Aliases>");
    if (coords) {
        w.put("<X>");
        w.at += coordCode(w.at, a, 0, dx);
        w.put("</X><Y>");
        w.at += coordCode(w.at, a, 1, dy);
        w.put("</Y>");
    }
    w.put("</Shape>");
}

}  // namespace vexa
