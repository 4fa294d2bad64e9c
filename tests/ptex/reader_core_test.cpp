// Core helpers: every PtexHalf conversion, and edge cases of the sample
// conversions, reductions and alpha division (the golden files prove the rest).
#include "PtexHalf.h"
#include "PtexUtils.h"
#include "Ptexture.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

namespace {

static_assert(sizeof(Ptex::FaceInfo) == 20 && sizeof(Ptex::Res) == 2,
              "in-memory layout is the file record");

TEST(PtexHalfTest, ToFloatIsExactAndRoundTripsEveryValue) {
    for (uint32_t h = 0; h < 65536; h++) {
        const float f = PtexHalf::toFloat(uint16_t(h));
        const uint32_t exp = (h >> 10) & 0x1f, mant = h & 0x3ff;
        double expect = exp == 0    ? std::ldexp(double(mant), -24)
                        : exp == 31 ? (mant ? std::numeric_limits<double>::quiet_NaN() : INFINITY)
                                    : std::ldexp(double(mant | 0x400), int(exp) - 25);
        if (h & 0x8000) expect = -expect;
        if (std::isnan(expect)) {
            ASSERT_TRUE(std::isnan(f)) << h;
            EXPECT_EQ(mant, (std::bit_cast<uint32_t>(f) >> 13) & 0x3ff) << "payload kept " << h;
        } else {
            ASSERT_EQ(float(expect), f) << h;
        }
        ASSERT_TRUE(exp == 31 || h == PtexHalf::fromFloat(f)) << h;
    }
}

// fromFloat rounds ties to even like IEEE 754; the reductions' conversion keeps
// ties away from zero so stored files keep their bytes.
TEST(PtexHalfTest, FromFloatRounding) {
    const float nan = std::bit_cast<float>(0x7f800001u);  // payload below half precision
    struct Case {
        float f;
        uint16_t even, away;
    } const cases[] = {{1.0f + std::ldexp(1.0f, -11), 0x3c00, 0x3c01},
                       {-(1.0f + std::ldexp(1.0f, -11)), 0xbc00, 0xbc01},
                       {1.0f + 3 * std::ldexp(1.0f, -11), 0x3c02, 0x3c02},
                       {1.0f + std::ldexp(1.0f, -11) + std::ldexp(1.0f, -20), 0x3c01, 0x3c01},
                       {1.0f + std::ldexp(1.0f, -12), 0x3c00, 0x3c00},
                       {65520.0f, 0x7c00, 0x7c00},
                       {65519.0f, 0x7bff, 0x7bff},
                       {-INFINITY, 0xfc00, 0xfc00},
                       {std::ldexp(1.0f, -25), 0x0000, 0x0001},
                       {-std::ldexp(1.0f, -25), 0x8000, 0x8001},
                       {3 * std::ldexp(1.0f, -25), 0x0002, 0x0002},
                       {std::ldexp(1.0f, -25) + std::ldexp(1.0f, -40), 0x0001, 0x0001},
                       {std::ldexp(1.0f, -26), 0x0000, 0x0000},
                       {std::ldexp(1.0f, -140), 0x0000, 0x0000},
                       {-0.0f, 0x8000, 0x0000},
                       {std::ldexp(1.0f, -14) - std::ldexp(1.0f, -26), 0x0400, 0x0400},
                       {nan, 0x7e00, 0x7e00}};
    for (const auto& [f, even, away] : cases) {
        EXPECT_EQ(even, PtexHalf::fromFloat(f)) << std::hexfloat << f;
        EXPECT_EQ(away, PtexHalf::fromFloatTiesAway(f)) << std::hexfloat << f;
    }
    // Exhaustive against the FPU's own conversion (round to nearest even).
    for (uint32_t b = 0; b < 0x80000000u; b += 0x1fffu) {
        const float f = std::bit_cast<float>(b);
        if (std::isnan(f)) continue;
        ASSERT_EQ(std::bit_cast<uint16_t>(static_cast<_Float16>(f)), PtexHalf::fromFloat(f))
            << std::hexfloat << f;
    }
}

// Edge cases the golden files need not contain.
TEST(PtexUtilsTest, ConversionAndReductionEdgeCases) {
    const float in[5] = {-0.5f, 0.5f, 1.5f, 0.0019607f, 0.0019608f};
    uint8_t o8[5];
    Ptex::ConvertFromFloat(o8, in, Ptex::dt_uint8, 5);  // rounds and clamps
    EXPECT_EQ(std::vector<uint8_t>(o8, o8 + 5), (std::vector<uint8_t>{0, 128, 255, 0, 1}));
    uint16_t s16[12] = {65535, 1,     65535, 2,     0,
                        0,     65535, 3,     65534, 4};  // 2x2, 2 channels, stride 12 bytes
    uint16_t o16[2];
    PtexUtils::reduce(s16, 12, 2, 2, o16, 4, Ptex::dt_uint16,
                      2);  // integer sums truncate, no overflow
    EXPECT_EQ((65535 * 3 + 65534) >> 2, o16[0]);
    EXPECT_EQ(2, o16[1]);
    const float sf[4] = {1e8f, 1.0f, -1e8f, 1.0f};  // ((a+b)+c)+d, then times 0.25
    float of;
    PtexUtils::reduce(sf, 8, 2, 2, &of, 4, Ptex::dt_float, 1);
    EXPECT_EQ(0.25f * (((1e8f + 1.0f) + -1e8f) + 1.0f), of);
    const PtexHalf sh[4] = {PtexHalf(1.0f), PtexHalf(1.0f), PtexHalf(1.0f),
                            PtexHalf(1.0f + std::ldexp(1.0f, -9))};
    PtexHalf oh;
    PtexUtils::reduce(sh, 4, 2, 2, &oh, 2, Ptex::dt_half, 1);
    EXPECT_EQ(0x3c01, oh.bits);  // 1 + 2^-11 is a tie, rounded away from zero
    uint8_t big[4] = {200, 50, 10, 0};
    PtexUtils::divalpha(big, 2, Ptex::dt_uint8, 2, 1);
    EXPECT_EQ(255, big[0]) << "saturates instead of wrapping";
    EXPECT_EQ(10, big[2]) << "zero alpha left alone";
}

}  // namespace
