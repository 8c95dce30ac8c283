// Conversions of the merging library's doubles to its 32-bit values.
#pragma once

#include <cstdint>

#include "Tessel.h"

namespace tessel {

// Truncation toward zero; a value outside the 32-bit range, or not a number,
// becomes the unset marker, which every later step treats as "no value".
inline int32_t truncToInt32(double v) {
    if (!(v >= -2147483648.0 && v < 2147483648.0)) return TSL_VALUE_UNSET;
    return static_cast<int32_t>(v);
}

}  // namespace tessel
