// Joined writing: a stroke that runs on over several letters is cut at the
// points where one letter may end and the next begin (cusps and sharp
// corners: a ligature meets a letter there), so that the word decoder can
// group the pieces into letters as it groups the strokes of print. Marks
// written after the word (dots, bars, second strokes) go back beside the
// piece they stand over.
#ifndef SCRIBIX_VEXASCRIPT_STROKECUTTER_H
#define SCRIBIX_VEXASCRIPT_STROKECUTTER_H

#include <vector>

#include "Geometry.h"

namespace vexa {

struct StrokePiece {
    Polyline pts;
    int origin = 0;    // index of the stroke it was cut from
    bool cut = false;  // a part of a longer stroke (not the whole stroke)
    // Runs on from the piece before it (the next part of the same stroke).
    bool continues = false;
};

// The low points of a stroke (indices, ascending): each the lowest point of a
// stretch that rises at least `dip` on both sides before going lower again,
// where a letter of joined writing meets the line.
std::vector<size_t> lowPoints(const Polyline& p, float dip);

// The pieces of the strokes of one word (writing order): strokes wide enough
// to hold several letters even at the largest x-height the writing may have
// (`hxMax`) are cut, at the scale of the smallest (`hx`); the others stay whole.
std::vector<StrokePiece> cutJoinedStrokes(const std::vector<const Polyline*>& strokes, float hx,
                                          float hxMax);

}  // namespace vexa

#endif
