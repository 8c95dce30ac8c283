// Splits the strokes of a text group into text lines in the order they were
// written: a window follows the right end of the line being written, strokes
// that overlap it join, small marks (dots, bars, accents) attach to the
// nearest line without moving it, anything else opens the next line; lines
// that turn out to be pieces of one another are merged at the end.
#ifndef OMBRA_LINEFINDER_H
#define OMBRA_LINEFINDER_H

#include <cstdint>
#include <vector>

#include "FRect.h"

namespace ombra {

class COmbraStroke;

// The first six fields of a trapezoid: a line of strokes.
struct LineTrapezoid {
    int64_t xLeft = 0, xRight = 0;
    int64_t topLeft = 0, bottomLeft = 0, topRight = 0, bottomRight = 0;
};

class LineFinder {
  public:
    // b: the tolerance (typical stroke height, at least 2/5 of the line height H).
    LineFinder(int64_t tolerance, int64_t lineHeight) : b_(tolerance), H_(lineHeight) {}

    // One line number per stroke; the result is the number of lines.
    int find(const std::vector<const COmbraStroke*>& strokes, std::vector<int>& lineOf);

    static int64_t tolerance(int64_t typicalHeight, int64_t lineHeight) {
        const int64_t fromLine = lineHeight * 2 / 5;
        return typicalHeight > fromLine ? typicalHeight : fromLine;
    }

  private:
    void open(int s);
    void close();
    void refit();
    void pullLeft(int s);
    bool overlaps(int s) const;
    // The line the stroke attaches to within a, or -1.
    int attach(int s, int64_t a, bool currentOnly) const;
    int sizeTest(int s, int v) const;
    int value(int s) const;
    const FRect& box(int s) const;

    int64_t b_, H_;
    const std::vector<const COmbraStroke*>* strokes_ = nullptr;
    std::vector<int> lineOf_;
    std::vector<int> lineStrokes_;
    std::vector<LineTrapezoid> lines_;
    int64_t top_ = 0, bottom_ = 0, leftLimit_ = 0, rightEdge_ = 0, leftLimit2_ = 0;
    FRect first_;
    int current_ = 0;
    bool extra_ = false;
};

// Merges lines that are pieces of one another; `merged` receives the merged
// line number of each line; the number of merged lines is returned.
int mergeLines(const std::vector<LineTrapezoid>& lines, int64_t b, std::vector<int>& merged);

}  // namespace ombra

#endif
