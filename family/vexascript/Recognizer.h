// From the strokes of a session to its answer blocks: the writing is cut
// into lines and word pieces (Segmenter), doubtful gaps are settled by which
// cut reads better, each word is read (WordDecoder), and the readings become
// blocks with ranked, weighted alternatives, stroke numbers, parts, character
// boxes and the writing line.
#ifndef SCRIBIX_VEXASCRIPT_RECOGNIZER_H
#define SCRIBIX_VEXASCRIPT_RECOGNIZER_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Geometry.h"
#include "Lexicon.h"
#include "Segmenter.h"

namespace vexa {

struct RecSettings {
    uint32_t flags = 0;  // PSO_SF_*
    bool hasGuide = false;
    GuideBox guide;
    std::shared_ptr<const LexiconData> lexicon;
    std::vector<const UserDict*> userDicts;
    size_t maxAlternatives = 10;
    // Called between words with (strokes done, strokes in all); false cancels.
    std::function<bool(int, int)> progress;
};

struct Alternative {
    std::string text;  // code page 1252
    float cost = 0;
    int weight = 1;      // 1..100
    int source = 0;      // PSO_SOURCE_*
    int shapeScore = 0;  // 0..100
};

struct CharInfo {
    unsigned char ch = 0;
    int score = 0;
    std::vector<int> strokes;  // input stroke numbers
    Box box;                   // ink coordinates
};

struct AnswerBlock {
    std::vector<Alternative> alts;
    std::vector<int> strokes;             // input stroke numbers, ascending
    std::vector<std::vector<int>> parts;  // of the first alternative: stroke numbers each
    std::vector<CharInfo> chars;          // of the first alternative
    Pt line[4];                           // top left, base left, top right, base right
    int lineIndex = 0, wordInLine = 0;
    int confidence = 0;
};

// Recognizes strokes (ink units, writing order). `cancelled` is set when the
// progress callback stopped it (the blocks are then empty).
std::vector<AnswerBlock> recognize(const std::vector<Polyline>& strokes,
                                   const RecSettings& settings, bool& cancelled);

}  // namespace vexa

#endif
