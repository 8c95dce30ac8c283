// A text band, table cell or chart label: its strokes become text lines of
// recognized words, grouped into paragraphs and lists, with underlined, struck
// and bold words marked.
#ifndef OMBRA_TEXTGROUP_H
#define OMBRA_TEXTGROUP_H

#include <cstdint>
#include <vector>

#include "PageTree.h"

namespace ombra {

class CTextUnit;

// A word of a line: its summary geometry and the word itself.
struct _LSTRAPEZ {
    int32_t xLeft, xRight;
    int32_t topLeft, bottomLeft, topRight, bottomRight;
    int32_t height;  // for a word: its tolerance
    int32_t meanStroke;
    CTextUnit* word;
};

enum ListType {
    kListNumbers = 0,
    kListSmallLetters = 1,
    kListCapitals = 2,
    kListBullets = 3,
    kListDashes = 4
};
enum MarkerStyle { kMarkerBlank = 1, kMarkerParen = 2, kMarkerDot = 3 };

// One text line, top to bottom in its group.
struct _LSLINE {
    int32_t top = 0, bottom = 0;
    int32_t height = 0;
    bool paragraphEnd = false;
    bool styleChange = false;
    bool indent = false;
    bool underlined = false;
    int32_t dominantAttribute = -1;
    int32_t dominantWidth = -1;
    CDataArr<_LSTRAPEZ*> words;
    bool itemStart = false;
    bool reserved = false;
    bool listStart = false;
    bool listEnd = false;
    int32_t startValue = 0;
    int32_t listType = 0;
    int32_t markerStyle = 0;
    bool content = true;
    bool noWords = false;
    int32_t contentScore = 0;

    bool startsParagraph() const { return styleChange || indent; }
};

class CTextGroup : public COmbraGroup {
  public:
    explicit CTextGroup(COmbraSession* session) : COmbraGroup(session, kGroupText) {}
    ~CTextGroup() override;

    // A text group copied from the band, which is deleted; null without memory.
    static CTextGroup* replacing(COmbraGroup* band);

    void clear() override;
    void deleteContents() override;
    COmbraGroup* cloneGroup() const override;
    int recognize() override;
    int writeXml(CCharArray& out, int position) override;

    // Grouping words into lines (after recognition). Exposed for tests.
    void buildWordList();
    int32_t groupTolerance() const;
    int groupWordsIntoLines();
    // The fit score of word n following word p on a line of the given height
    // and slope (1/1024); -1 for no fit.
    int fitScore(const _LSTRAPEZ& p, const _LSTRAPEZ& n, int64_t height, int64_t slope) const;
    // The passes over the sorted lines.
    void markParagraphs();
    void markLists();
    void markNoWords();
    // Which lines look like text and are written at all.
    void markContent();
    void markNeighbourhood();
    // The passes below answer false (or non-zero) when the line list they
    // work on is broken: a missing line or word, or a word not in the group.
    bool markUnderlines();
    bool removeUnderlineWords();
    // Words of low confidence read again without a long flat stroke through
    // or under them: the stroke becomes the word's underline or strike mark.
    // 0, 2 without memory, 1 for a broken line list.
    int reRecognizeMarkedWords();
    // Words the recognizer made of several parts become one word per part.
    int splitParts();
    bool sortLines();
    // Reads the kept strokes line by line. Exposed for tests: recognize's
    // stroke filter drops a stroke the session does not hold, so a missing
    // one (106) is only met here. 0; -107 or -109 when a line or block gave
    // no word and the others were read; a positive code when reading stopped.
    int recognizeLines(const std::vector<int>& kept);

    bool paragraphPass = true;
    bool recognized = false;
    CDataArr<_LSLINE*> lines;
    CDataArr<_LSTRAPEZ*> wordList;
    int32_t tolerance = 0;
    // Long flat strokes left out of recognition, kept for the underline pass.
    std::vector<int> lineShapes;

  private:
    // One recognizer session over the strokes from its own origin; the words
    // of its answer blocks (none when the recognizer fails).
    int recognizeStrokes(const std::vector<int>& given, int mode, int32_t originX, int32_t originY,
                         std::vector<CTextUnit*>& words);
    void filterStrokes(std::vector<int>& kept);
    void freeLines();
    int64_t lineSlopeAt(const _LSLINE& line, int i) const;
    int lineHeightOf(const _LSLINE& line) const;
    void refreshLine(_LSLINE& line) const;
};

// The mean and the least vertical gap between an upper and a lower line of
// words, measured between the upper line's lower boundary and the lower
// line's upper boundary.
struct LineGap {
    int64_t mean = 0, least = 0;
};
LineGap lineGap(const _LSLINE& upper, const _LSLINE& lower);

struct EnvelopePoint {
    int64_t x, y;
};
// Replaces the points by their envelope: side +1 follows the lower boundary,
// -1 the upper one. Returns the number of points kept.
int envelope(std::vector<EnvelopePoint>& points, int side);

// Whether the horizontal line (xa, ya)-(xb, yb), xa <= xb, underlines (1) or
// strikes through (2) the word, or neither (0). T: the group tolerance.
int underlineTest(const _LSTRAPEZ& word, int64_t xa, int64_t ya, int64_t xb, int64_t yb, int64_t T);

}  // namespace ombra

#endif
