// The smoother of live ink and of the system client's strokes: each new pen
// point is followed by a curve through up to three intermediate points, all
// in integers (the live ink works in sixteenths of a pixel, scaled by 9
// inside). An output is emitted only when it moved more than one unit from
// the last one emitted.
#pragma once

#include <cstdint>

#include "ink/InkPointList.h"

class InkSmoother {
  public:
    struct Point {
        int x, y;
        friend bool operator==(Point a, Point b) { return a.x == b.x && a.y == b.y; }
    };
    // Receives every emitted point, in order.
    using Emit = void (*)(void* context, Point point);

    // A new stroke at `p`: the start point itself is the first output.
    void start(Point p, Emit emit, void* context);
    // One new input point.
    void step(Point p, Emit emit, void* context);
    // Ends the stroke at `p`: two steps towards it, the last output replaced
    // by `p` itself (or `p` alone when nothing moved enough).
    void flush(Point p, Emit emit, void* context);

    Point lastEmitted() const { return last_; }

  private:
    struct Axis {
        int a = 0, b = 0;  // scaled by 9
    };
    // Appends up to three outputs of one step to `out`; returns how many.
    int stepInto(Point p, Point* out);
    static int stepAxis(Axis& axis, int value, int outputs[3]);

    Axis x_, y_;
    Point last_ = {0, 0};
};

// Smooths a whole point list: coordinates are shifted left by `shift` first;
// a separator is copied and restarts the smoother at the next point; the last
// point and a point before a separator are flushed. Without `keepPrecision`
// (and shift >= 1) every output is shifted back with rounding. The result is
// a new allocMemory block (at most 6 entries per input entry) in `*out`;
// false, and nothing handed out, for an empty result or a bad argument.
bool smoothInkPoints(const InkPoint* points, int n, InkPoint** out, int* outCount, int shift,
                     bool keepPrecision);
