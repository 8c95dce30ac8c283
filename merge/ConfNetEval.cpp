#include "ConfNetEval.h"

#include <cmath>

namespace tessel {

namespace {

// Activations whose exponent passes this are computed with the prior folded
// into the exponent, so a tiny prior does not underflow first.
constexpr double kFoldThreshold = 60.0;

}  // namespace

bool prepareConfNetWork(const ConfNet& net, ConfNetWork& work) {
    if (net.outputs < 0 || net.dim < 0) return false;
    return work.sums.setCount(static_cast<size_t>(net.outputs)) &&
           work.diff.setCount(static_cast<size_t>(net.dim));
}

// One plain pass for every dimension the reader accepts: the rows are summed
// from column 0 upward and their squares from row 0, the order the nets were
// trained with.
double confNetDistance(const ConfNet& net, const ConfNetUnit& unit, const double* x,
                       ConfNetWork& work) {
    const size_t n = static_cast<size_t>(net.dim);
    if (work.diff.count() < n || unit.centre.count() < n || unit.matrix.count() < n * n) return 0.0;
    double* diff = work.diff.data();
    const double* c = unit.centre.data();
    for (size_t j = 0; j < n; ++j) diff[j] = x[j] - c[j];
    double d = 0.0;
    const double* row = unit.matrix.data();
    for (size_t i = 0; i < n; ++i, row += n) {
        double t = 0.0;
        for (size_t j = 0; j < n; ++j) t += row[j] * diff[j];
        d += t * t;
    }
    return d;
}

double confNetActivation(const ConfNetUnit& unit, double d) {
    if (unit.power == 1.0) {
        if (d > kFoldThreshold) return std::exp(-0.5 * d + unit.logPrior);
        return std::exp(-0.5 * d) * unit.prior;
    }
    const double f = std::pow(d * unit.scale, unit.power);
    if (-f > kFoldThreshold) return std::exp(unit.logPrior - f);
    return std::exp(-f) * unit.prior;
}

void evalConfNetUnits(const ConfNet& net, const double* x, ConfNetWork& work, const double** out) {
    for (double& s : work.sums) s = 0.0;
    const size_t outputs = work.sums.count();
    for (const ConfNetUnit& unit : net.units) {
        // The reader refuses units feeding no output; a workspace too small
        // for the net leaves such a unit out rather than writing past it.
        if (unit.output < 0 || static_cast<size_t>(unit.output) >= outputs) continue;
        const double a = confNetActivation(unit, confNetDistance(net, unit, x, work));
        work.sums[static_cast<size_t>(unit.output)] =
            a * unit.weight + work.sums[static_cast<size_t>(unit.output)];
    }
    if (out) *out = work.sums.data();
}

const double* evalConfNet(const ConfNet& net, const double* x, ConfNetWork& work,
                          const double** out) {
    evalConfNetUnits(net, x, work, nullptr);
    double total = 0.0;
    for (double s : work.sums) total += s;
    // All units far away: 0/0, spelled out so no division by zero is made.
    const double nan = std::nan("");
    for (double& s : work.sums) s = total != 0.0 ? s / total : nan;
    if (out) *out = work.sums.data();
    return work.sums.data();
}

}  // namespace tessel
