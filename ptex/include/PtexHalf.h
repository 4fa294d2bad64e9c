#ifndef PtexHalf_h
#define PtexHalf_h
// PtexHalf: an IEEE-754 binary16 value stored in 16 bits.
//
// Contract:
//  - toFloat is the exact conversion, subnormals, infinities and NaNs included
//    (a NaN keeps its payload in the top mantissa bits).
//  - fromFloat rounds to nearest with ties to even (IEEE 754), subnormal results
//    included; -0 keeps its sign; values too large give infinity; a NaN stays a
//    NaN (quiet, top 10 payload bits kept).
//  - fromFloatTiesAway rounds ties away from zero; the library's reductions and
//    averages use it so the files it writes keep their bytes.
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

    // Round to nearest, ties to even, as IEEE 754 converts.
    static uint16_t fromFloat(float f) { return convert<true>(f); }

    // The float-to-half step of the file format's reductions and averages: round to
    // nearest with ties away from zero. Stored reductions keep it so files stay the same.
    static uint16_t fromFloatTiesAway(float f) { return convert<false>(f); }

private:
    template <bool TiesToEven>
    static uint16_t convert(float f) {
        if (!TiesToEven && f == 0.0f) return 0;
        const uint32_t b = std::bit_cast<uint32_t>(f);
        const uint32_t sign = (b >> 16) & 0x8000u;
        const int32_t E = int32_t((b >> 23) & 0xffu);
        const uint32_t m = b & 0x7fffffu;
        const int32_t e = E - 112;
        if (e >= 1 && e <= 30) {  // normal; the rounding carry may run into the exponent
            const uint32_t round = TiesToEven ? 0xfffu + ((m >> 13) & 1u) : 0x1000u;
            return uint16_t(sign | ((uint32_t(e) << 10) + ((m + round) >> 13)));
        }
        // A subnormal half, or the smallest normal by rounding up.
        if (e <= 0) {
            if constexpr (TiesToEven) {
                const int32_t shift = 126 - E;  // 14 .. 126; float subnormals give 0
                if (E == 0 || shift > 24) return uint16_t(sign);
                const uint32_t M = m | 0x800000u;
                const uint32_t half = 1u << (shift - 1), rest = M & ((half << 1) - 1u);
                uint32_t q = M >> shift;
                q += rest > half || (rest == half && (q & 1u));
                return uint16_t(sign | q);
            } else {
                const float a = std::bit_cast<float>(b & 0x7fffffffu);
                return uint16_t(sign | uint32_t(a * 16777216.0f + 0.5f));
            }
        }
        if (E == 255 && m != 0) return uint16_t(sign | 0x7e00u | (m >> 13));  // NaN stays NaN
        return uint16_t(sign | 0x7c00u);  // infinity or overflow
    }
};

#endif
