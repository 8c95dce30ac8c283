// One stroke of ink: its point list with the pen it was written with, and its
// bounds once asked for.
#pragma once

#include <cstdint>

#include "ink/InkPointList.h"
#include "core/VexaSuper.h"

// The four pen words that travel with a stroke, in the order of the pen record.
enum InkPenWord { kPenType = 0, kPenWidth = 1, kPenColour = 2, kPenExtra = 3, kPenWords = 4 };

class InkStroke : public VexaSuper {
    VEXA_CLASS(InkStroke, VexaSuper)

  public:
    // Takes `points` (an allocMemory block, may be null) and copies the four
    // words of `penInfo` when given. When that copy cannot be made the stroke
    // has no pen info (it still draws and bounds with the defaults).
    InkStroke(InkPoint* points, int count, const int32_t* penInfo);
    ~InkStroke() override;

    InkStroke(const InkStroke&) = delete;
    InkStroke& operator=(const InkStroke&) = delete;

    // Recomputes the bounds (pixels, margin half the pen width plus 5, or 2
    // without pen info). With `compact`, found bounds let the points and the
    // pen info go. False when the list has no bounds (the points then stay)
    // or the bounds cannot be stored. Compacting leaves points() null and count() 0.
    bool computeBounds(bool compact);

    // First / last entry that is not a separator, in pixels.
    bool getFirstPoint(InkPixel* point) const;
    bool getLastPoint(InkPixel* point) const;

    InkPoint* points() const { return points_; }
    int count() const { return count_; }
    const InkRect* bounds() const { return bounds_; }
    const int32_t* penInfo() const { return penInfo_; }

  private:
    InkPoint* points_;
    int count_;
    InkRect* bounds_ = nullptr;
    int32_t* penInfo_ = nullptr;
};
