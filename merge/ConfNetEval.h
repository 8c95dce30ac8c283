// Evaluation of a confidence net: every unit measures the squared,
// matrix-weighted distance of the feature vector from its centre, turns it
// into an activation with its prior and kernel shape, and adds the weighted
// activation to its output's sum; the sums are then normalised to total 1.
// All scratch storage is in a workspace, so the net is never written and one
// net serves any number of evaluations.
#pragma once

#include "ConfNet.h"
#include "GrowArray.h"

namespace tessel {

struct ConfNetWork {
    GrowArray<double> sums;  // one per output: the sums, then the normalised outputs
    GrowArray<double> diff;  // one per dimension: feature vector minus a unit's centre
};

// Sizes the workspace to the net (entries already present remain); false
// without memory.
bool prepareConfNetWork(const ConfNet& net, ConfNetWork& work);
// The squared length of M (x - c) for the unit's matrix M and centre c; x
// holds the net's dim values. Writes work.diff.
double confNetDistance(const ConfNet& net, const ConfNetUnit& unit, const double* x,
                       ConfNetWork& work);
// The unit's activation at distance d.
double confNetActivation(const ConfNetUnit& unit, double d);
// The unnormalised sums of every entry work.sums holds (at least the net's
// outputs); *out points at them.
void evalConfNetUnits(const ConfNet& net, const double* x, ConfNetWork& work, const double** out);
// The sums normalised to total 1; returns work.sums' block and sets *out to it.
// When every activation is 0 the outputs are not numbers.
const double* evalConfNet(const ConfNet& net, const double* x, ConfNetWork& work,
                          const double** out);

}  // namespace tessel
