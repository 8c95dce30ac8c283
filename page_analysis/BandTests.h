// Stroke measures shared by the band tests and the text line finder: how
// simple a stroke is, how much it looks like handwriting, how two strokes in
// writing order sit to each other.
#ifndef OMBRA_BANDTESTS_H
#define OMBRA_BANDTESTS_H

#include <cstdint>

#include "FRect.h"

namespace ombra {

class COmbraStroke;
class COmbraSession;
class COmbraUnit;

// 2: a straight-ish flat stroke, 3: a straight-ish upright one, 0: anything
// with real back-and-forth travel (for the line height h).
int simpleStrokeValue(const COmbraStroke& stroke, int64_t lineHeight);
// Spread, regularity and backward travel of the stroke's up-and-down writing
// motion: all 0 for a regular line of letters.
void textFeatures(const COmbraStroke& stroke, int32_t out[3]);
// How stroke q follows stroke p in writing (a: the height scale): negative
// for the next letter on the same line, larger for less likely neighbours.
int pairScore(const FRect& p, const FRect& q, int64_t a);
// The mean height of the strokes whose height lies between half and twice the
// mean of all; -1 for no strokes.
int64_t typicalStrokeHeight(const COmbraSession& session, const COmbraUnit& group);

}  // namespace ombra

#endif
