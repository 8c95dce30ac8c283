// A recognized word: the recognizer's alternatives with their weights and
// strokes, the block's confidence, the word's writing line, its style and the
// summary geometry the line grouping reads.
#ifndef OMBRA_TEXTUNIT_H
#define OMBRA_TEXTUNIT_H

#include <cstdint>
#include <vector>

#include "PageTree.h"

namespace ombra {

constexpr int kMaxAlternatives = 16;
constexpr int kMaxAltStrokes = 128;
constexpr int kMaxParts = 10;
constexpr int kAltTextUnits = 80;

enum WordStyle { kStyleUnderlined = 1, kStyleStruck = 2, kStyleBold = 4 };

struct TextAlternative {
    uint16_t text[kAltTextUnits] = {};
    int32_t weight = 0;
    int32_t strokeCount = 0;
    int32_t strokes[kMaxAltStrokes] = {};  // page stroke indices
    int32_t values[2] = {0, 0};            // source and shape score, when given
    int length() const;
};

// The first eight fields of a word's trapezoid.
struct WordSummary {
    int32_t xLeft = 0, xRight = 0;
    int32_t topLeft = 0, bottomLeft = 0, topRight = 0, bottomRight = 0;
    int32_t height = 0;
    int32_t meanStroke = 0;
};

struct Point32 {
    int32_t x = 0, y = 0;
};

class CTextUnit : public COmbraUnit {
  public:
    explicit CTextUnit(COmbraSession* session) : COmbraUnit(session, kUnitWord) {}

    COmbraUnit* clone() const override;
    void reset() override;
    int writeXml(CCharArray& out, int position) override;

    // The word of answer block `block` of the recognizer's last session.
    // `given` maps the session's stroke numbers to page stroke indices; the
    // baseline is brought back to page units from `origin`. Null when the
    // block gives no word; then *error holds the reason (116, 118, 119, 120,
    // 121 or 2).
    static CTextUnit* fromBlock(COmbraSession* session, int block, const std::vector<int>& given,
                                int32_t originX, int32_t originY, int* error);
    // The summary values from the word's strokes and its baseline box.
    void computeSummary();
    // The rounded mean of the width values of the word's strokes.
    int32_t meanWidth() const;

    int32_t confidence = 0;
    int altCount = 0;
    TextAlternative alts[kMaxAlternatives];
    Point32 baseline[4];  // top line left, baseline left, top line right, baseline right
    int32_t style = 0;
    int partCount = 0;
    std::vector<int> parts[kMaxParts];
    WordSummary summary;
};

}  // namespace ombra

#endif
