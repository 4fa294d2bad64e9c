#ifndef PtexHalf_h
#define PtexHalf_h
// PtexHalf: an IEEE-754 binary16 value stored in 16 bits.
//
// Contract:
//  - toFloat is the exact conversion, subnormals, infinities and NaNs included
//    (a NaN keeps its payload in the top mantissa bits).
//  - fromFloat rounds to nearest with ties away from zero (not ties to even);
//    +0 and -0 both give 0x0000; values too large give infinity; subnormal
//    results round half up; inf/NaN keep the top 10 mantissa bits.
//  - Arithmetic on halves goes through float (implicit conversion).
#include <bit>
#include <cstdint>

struct PtexHalf {
    uint16_t bits;

    PtexHalf() = default;  // trivial, so arrays of halves stay cheap
    PtexHalf(float val) : bits(fromFloat(val)) {}
    PtexHalf(double val) : bits(fromFloat(float(val))) {}
    operator float() const { return toFloat(bits); }
    PtexHalf& operator=(float val) {
        bits = fromFloat(val);
        return *this;
    }

    static float toFloat(uint16_t h) {
        uint32_t sign = uint32_t(h & 0x8000u) << 16;
        uint32_t exp = (h >> 10) & 0x1fu;
        uint32_t mant = h & 0x3ffu;
        if (exp == 0) {
            // zero or subnormal: mant * 2^-24 is exact in float
            float f = float(mant) * 5.9604644775390625e-8f;
            return sign ? -f : f;
        }
        if (exp == 31) return std::bit_cast<float>(sign | 0x7f800000u | (mant << 13));
        return std::bit_cast<float>(sign | ((exp + 112u) << 23) | (mant << 13));
    }

    static uint16_t fromFloat(float f) {
        if (f == 0.0f) return 0;
        uint32_t b = std::bit_cast<uint32_t>(f);
        uint32_t sign = (b >> 16) & 0x8000u;
        int32_t E = int32_t((b >> 23) & 0xffu);
        uint32_t m = b & 0x7fffffu;
        int32_t e = E - 112;
        if (e >= 1 && e <= 30)  // normal; the rounding carry may run into the exponent
            return uint16_t(sign | ((uint32_t(e) << 10) + ((m + 0x1000u) >> 13)));
        if (e <= 0) {  // subnormal half (or rounds up to the smallest normal)
            float a = std::bit_cast<float>(b & 0x7fffffffu);
            return uint16_t(sign | uint32_t(a * 16777216.0f + 0.5f));
        }
        if (E == 255) return uint16_t(sign | 0x7c00u | (m >> 13));
        return uint16_t(sign | 0x7c00u);  // overflow
    }
};

#endif
