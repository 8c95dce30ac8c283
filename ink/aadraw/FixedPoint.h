// Fixed-point arithmetic of the pens: 12 fractional bits (1/4096 pixel).
// After a pen is set up no floating point is used per pixel.
#pragma once

#include <cstdint>

namespace aadraw {

constexpr int kFixedShift = 12;
constexpr int32_t kFixedOne = 1 << kFixedShift;

// (a * b) >> 12, split so the low bits of `a` keep their precision. 64-bit
// intermediates: pens up to the widest allowed stay in range.
inline int64_t fxMul(int64_t a, int64_t b) {
    return (((a & 0xFFF) * b) >> kFixedShift) + (a >> kFixedShift) * b;
}

// (a << 12) / b; b must not be 0.
inline int64_t fxDiv(int64_t a, int64_t b) { return (a * kFixedOne) / b; }

// Square root of an integer with 6 fractional bits, so the root of a squared
// 12-bit fixed-point length is that length in 12-bit fixed point. The integer
// root comes from the digit-pair method, the fraction from the remainder.
inline int64_t fxSqrt(int64_t n) {
    if (n < 1) return 0;
    uint64_t value = static_cast<uint64_t>(n);
    uint64_t root = 0, remainder = 0;
    for (int shift = 62; shift >= 0; shift -= 2) {
        remainder = (remainder << 2) | ((value >> shift) & 3);
        const uint64_t trial = (root << 2) | 1;
        root <<= 1;
        if (remainder >= trial) {
            remainder -= trial;
            root |= 1;
        }
    }
    return static_cast<int64_t>(64 * root + (remainder * 4096) / (128 * root));
}

}  // namespace aadraw
