// The built-in written forms of every character the recognizer reads: several
// hand-printed forms each of a-z, A-Z, 0-9 and common punctuation. The
// recognizer matches ink against them, and the handwriting generator draws
// its test writing from the same forms.
//
// Forms live on a grid whose y grows downwards: the capital (and ascender)
// line is y = 0, the x-height line y = 4, the baseline y = 10 and the
// descender line y = 14; a small letter is about 4 units wide.
#ifndef SCRIBIX_VEXASCRIPT_CHARFORMS_H
#define SCRIBIX_VEXASCRIPT_CHARFORMS_H

#include <string>
#include <vector>

#include "Geometry.h"

namespace vexa {

constexpr float kGridCapLine = 0;
constexpr float kGridXLine = 4;
constexpr float kGridBaseline = 10;
constexpr float kGridXHeight = kGridBaseline - kGridXLine;      // 6
constexpr float kGridCapHeight = kGridBaseline - kGridCapLine;  // 10

struct CharForm {
    unsigned char ch = 0;           // the character (8-bit text of the recognizer)
    float genWeight = 1;            // how often the generator writes this form (0: never)
    float penalty = 0;              // added to every match against it: a rarely meant form
    std::vector<Polyline> strokes;  // in writing order, densely sampled, grid units
    Box box;                        // of all strokes
};

// Every form, grouped by character in the order of recognizableCharacters().
const std::vector<CharForm>& charForms();

// The characters that have forms, each once, in a fixed order.
const std::string& recognizableCharacters();

// Parses one form description (see CharForms.cpp): strokes separated by "|",
// each a run of knots "x,y", arcs "a:cx,cy,rx,ry,from,to" (degrees, counter-
// clockwise as seen, a decreasing range runs clockwise) and corner marks "!"
// after a knot. Returns no strokes for a malformed description.
std::vector<Polyline> parseFormStrokes(const char* description);

}  // namespace vexa

#endif
