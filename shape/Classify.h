// Stroke input: routes a new shape by its stroke flags, classifies it as a
// point, polyline, curve, arrow, triangle, parallelogram or ellipse, joins it
// with pending shapes and files it as pending or finished.
#ifndef VEXASHAPE_CLASSIFY_H
#define VEXASHAPE_CLASSIFY_H

#include <stdint.h>

#include "ShapeRecords.h"
#include "Shaper.h"

namespace vexa {

enum StrokeFlags {
    kFlagPlain = 0x02,
    kFlagTemplates = 0x04,
    kFlagBeautify = 0x08,
    kFlagAlign = 0x10,
    kFlagAsDrawn = 0x20,
    kFlagFinishNow = 0x80,
    kFlagKeepPending = 0x100,
};

// Point lists longer than this become curves without approximation.
constexpr int kLongStroke = 1024;

// Classifies and files the shape (which the shaper then owns, or which is
// freed). The number of finished shapes, or 0xFFFF when a step failed.
uint16_t classifyStroke(Shaper* shaper, Shape* shape, int flags);
// Moves every pending shape to the finished list; the finished count.
int16_t finalizeAllPending(Shaper* shaper);

}  // namespace vexa

#endif
