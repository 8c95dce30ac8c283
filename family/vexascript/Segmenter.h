// The geometry of a writing before any letter is read: lines, the slant of
// each line (taken out), strokes added late (an i dot, a t bar) put back
// beside their letter, the writing line (baseline and x-height) and the word
// pieces with the gaps between them. Every measure is relative to the
// writing's own letter height, so the unit of the ink does not matter.
#ifndef SCRIBIX_VEXASCRIPT_SEGMENTER_H
#define SCRIBIX_VEXASCRIPT_SEGMENTER_H

#include <cstdint>
#include <vector>

#include "CharClassifier.h"
#include "Geometry.h"

namespace vexa {

// A stroke of a line in the line's work coordinates (slant removed).
struct WorkStroke {
    Polyline pts;
    Box box;
    int input = 0;  // index of the stroke in the recognizer's input
};

// A gap between two neighbouring word pieces of a line.
struct PieceGap {
    float size = 0;         // in x-heights
    bool doubtful = false;  // false: a clear word break
    float doubt = 0;        // 0 (surely a break) .. 1 (surely no break), for doubtful gaps
};

struct Line {
    std::vector<WorkStroke> strokes;       // writing order, late marks moved beside their letter
    float shear = 0, shearY0 = 0;          // work x = x - shear * (y - shearY0)
    std::vector<Frame> frames;             // the writing line; a second one when doubtful
    float letterHeight = 1;                // typical stroke height, ink units
    std::vector<std::vector<int>> pieces;  // word pieces, left to right: indices into strokes
    std::vector<PieceGap> gaps;            // gaps[i] lies between pieces[i] and pieces[i + 1]
    std::vector<int> clusterOf;            // per stroke: its cluster of overlapping strokes

    Pt toInk(Pt work) const { return {work.x + shear * (work.y - shearY0), work.y}; }
};

struct GuideBox {
    float left = 0, top = 0, width = 0, height = 0, sixth = 0;
};

struct SegmentOptions {
    bool oneLine = false;  // the ink is one line
    bool wordSegmentation = true;
    bool separateLetters = false;
    bool softBreaksOnly = false;
    const GuideBox* guide = nullptr;  // a boxed session's writing line
    size_t maxPieceStrokes = 60;
};

// Lines of the strokes (each stroke a polyline in ink units, writing order).
std::vector<Line> segmentWriting(const std::vector<Polyline>& strokes,
                                 const SegmentOptions& options);

// The cap (and ascender) height of the forms in x-heights.
constexpr float kCapRatio = kGridCapHeight / kGridXHeight;

}  // namespace vexa

#endif
