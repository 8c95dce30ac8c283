// The strokes a client collects until it recognizes them, in arrival order,
// guarded by the trace's own lock (the UI thread adds, the recognition thread
// reads).
#pragma once

#include <mutex>

#include "ink/InkStroke.h"
#include "core/VexaSuper.h"

class InkTrace : public VexaSuper {
    VEXA_CLASS(InkTrace, VexaSuper)

  public:
    // `owner` is the creating client, kept for it.
    explicit InkTrace(void* owner);
    ~InkTrace() override;

    InkTrace(const InkTrace&) = delete;
    InkTrace& operator=(const InkTrace&) = delete;

    // Appends `stroke`, which the trace owns from now on, and returns the new
    // count. Null changes nothing and returns the count. When the array cannot
    // grow the stroke is deleted (its ink is lost, with the allocator's trace)
    // and -1 is returned; the strokes already held stay.
    int AddStroke(InkStroke* stroke);

    // The stroke at `index`, null outside 0..count-1. Takes no lock: the
    // caller holds its own client's lock.
    InkStroke* getStroke(int index) const;

    // The stroke after `stroke` (the first for null); null after the last or
    // for a stroke that is not here.
    InkStroke* getNextStroke(const InkStroke* stroke);

    // Moves the strokes after `stroke` to the end of `to`, in order; the number
    // moved (none for null or a stroke that is not here).
    int moveStrokesAfter(const InkStroke* stroke, InkTrace& to);

    // Position of `stroke`, -1 for null or a stroke that is not here.
    int indexOf(const InkStroke* stroke);

    // Recomputes the bounds of the strokes from `fromStroke` (the first when
    // null; none when it is not here) up to and including `toStroke` (the last
    // when null or not met) and unites them. False when no stroke had bounds.
    // Takes no lock, like getStroke.
    bool GetBounds(const InkStroke* fromStroke, const InkStroke* toStroke, InkRect* rect);

    // Hands the bounds of the whole trace, inflated by (dx, dy), to the screen
    // restore of the live ink; nothing when there are no bounds.
    void redrawArea(int dx, int dy);

    int count() const { return count_; }
    void* owner() const { return owner_; }

    // The live ink's screen restore (it hides the guard window and redraws
    // that screen area); installed once by the live ink at start-up.
    using ScreenRestore = void (*)(const InkRect& area);
    static void setScreenRestore(ScreenRestore restore);

  private:
    int find(const InkStroke* stroke) const;

    std::recursive_mutex lock_;
    void* owner_;
    InkStroke** strokes_ = nullptr;
    int count_ = 0;
};
