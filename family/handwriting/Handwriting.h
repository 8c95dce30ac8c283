// Test and demo handwriting: text in, pen strokes out, drawn from the
// recognizer's own character forms with seeded variation of slant, size,
// spacing, jitter, stroke order and stroke direction. The same seed and
// options give the same strokes on every platform (own random generator, no
// library distributions).
#ifndef SCRIBIX_HANDWRITING_H
#define SCRIBIX_HANDWRITING_H

#include <cstdint>
#include <string>
#include <vector>

#include "Geometry.h"
#include "VexaScript.h"

namespace handwriting {

// How much a hand varies. Ranges are drawn once per writing, deviations
// (standard deviations) per letter; lengths are in x-heights.
struct Variation {
    double slantRangeDeg = 0;   // slant of the writing, uniform in +-range
    double slantJitterDeg = 0;  // per letter
    double sizeJitter = 0;      // relative, per letter
    double widthJitter = 0;     // relative, per letter
    double letterGap = 0.32;    // between letters
    double letterGapJitter = 0;
    double wordGap = 1.35;  // between words
    double wordGapJitter = 0;
    double baselineJitter = 0;  // per letter
    double tiltRangeDeg = 0;    // the line's tilt, uniform in +-range
    double pointJitter = 0;     // noise of every pen position
    double wobble = 0;          // smooth bending of each letter
    double reverseStroke = 0;   // chance that a stroke is drawn the other way
    double shuffleStrokes = 0;  // chance that a letter's strokes come in another order
    double delayedMarks = 0;    // chance that an i or j dot, or a t or f bar, is added
                                // after the rest of the word

    static Variation none();
    static Variation moderate();
    static Variation careless();
};

// Which letter forms the generator writes. `Own`: the recognizer's forms,
// as it was given them. `Other`: forms people write that the recognizer was
// not given (other shapes, stroke orders, strokes lifted at a corner or
// run together); a character that has none is written in an own form with
// its strokes varied where it has a corner or a pen jump to vary.
enum class FormChoice { Own, Other };

struct Options {
    uint32_t seed = 1;
    double xHeight = 56;   // ink units (quarter pixels: 14 pixels)
    double originX = 400;  // left end of the first line's baseline
    double originY = 400;
    double lineSpacing = 3.4;      // baseline to baseline, x-heights
    double step = 0.07;            // pen positions about this far apart, x-heights
    bool separateLetters = false;  // letters written apart (wider, steadier gaps)
    FormChoice forms = FormChoice::Own;
    // Share of neighbouring small letters written joined (cursive): the pen
    // runs on from one letter into the next; the marks of the joined letters
    // (dots, bars, second strokes) come after the word. 1 writes every word
    // of small letters in one stroke.
    double joined = 0;
    Variation variation = Variation::moderate();
};

struct WrittenChar {
    unsigned char ch = 0;
    int line = 0;
    std::vector<int> strokes;  // indices into Writing::strokes
    bool ownForm = true;       // written in a form the recognizer was given, unchanged
    bool joinedToNext = false;
    vexa::Box box;
};

struct Writing {
    std::vector<vexa::Polyline> strokes;  // in writing order, ink units
    std::vector<WrittenChar> chars;       // every written character, in text order
    size_t skipped = 0;                   // characters without a form (not written)

    // The ink point list: integer pen positions, each stroke closed by the
    // separator (30000, 0xFFFF) when `separators` is set.
    std::vector<PSO_POINT> pointList(bool separators = true) const;
    // One stroke as points with its closing separator.
    std::vector<PSO_POINT> strokePoints(size_t stroke) const;
};

// Writes 8-bit text (code page 1252); "\n" starts a new line, a blank is a
// word gap.
Writing write(const std::string& text, const Options& options);

// Whether every character of the text has a form.
bool canWrite(const std::string& text);

}  // namespace handwriting

#endif
