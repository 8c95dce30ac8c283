// The shaper: the one state object of the library, with its settings, tuning
// values, the pending and finished shape lists, the templates and the
// alignment context.
#ifndef VEXASHAPE_SHAPER_H
#define VEXASHAPE_SHAPER_H

#include <stdint.h>

#include "PtrList.h"
#include "VexaShape2.h"

namespace vexa {

struct AlignContext;

// Indexes of the tuning values that recognition reads.
enum Tuning {
    kSplitThreshold = 1,       // largest chord deviation a segment keeps without a split
    kPolyThreshold = 2,        // polyline approximation and the CURV score
    kShortSegment = 3,         // short-segment limit of the merge pass (1/1024 of the size)
    kCurveDeviationLimit = 4,  // a stroke whose deviation exceeds it is a curve
    kJoinEndProximity = 5,     // end distance below which strokes may join
    kCloseDistance = 7,        // closing a polyline: largest end gap / 4
    kTuningCount = 14,
};

extern const uint16_t kDefaultTuning[kTuningCount];

constexpr int32_t kPlainScale = 1024;
constexpr int32_t kDefaultExScale = 546;
constexpr int32_t kDefaultResolution = 60;
// The resolutions that give a valid scale (16384 / r from 16384 down to 1).
constexpr int32_t kMinResolution = 1;
constexpr int32_t kMaxResolution = 16384;

}  // namespace vexa

struct Shaper {
    uint32_t plainScale;
    uint32_t beautify;
    uint32_t alignOnFinish;
    uint32_t finishAtOnce;
    uint16_t tuning[vexa::kTuningCount];
    uint16_t strokeCounter;
    vexa::PtrList pendingShapes;   // oldest first
    vexa::PtrList finishedShapes;  // in the order they were finished
    vexa::PtrList* templates;
    int32_t outputOffsetX, outputOffsetY;
    vexa::AlignContext* alignContext;
    int32_t resolution;
    int32_t exScale;
    uint16_t alignMode;
    uint32_t* disposition;
};

namespace vexa {

// A tuning value of the shape's shaper, or its default for a shape without one.
int32_t tuningOf(const Shape* shape, Tuning index);

Shaper* createShaper();
void destroyShaper(Shaper* shaper);
void resetShaper(Shaper* shaper);
void clearShaperOutput(Shaper* shaper);
bool setShaperProperty(Shaper* shaper, const void* value, uint16_t id);

}  // namespace vexa

#endif
