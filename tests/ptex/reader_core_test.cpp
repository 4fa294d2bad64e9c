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

static_assert(sizeof(Ptex::FaceInfo) == 20 && sizeof(Ptex::Res) == 2, "in-memory layout is the file record");

// Reference float->half: exact rounding, ties away from zero.
uint16_t refFromFloat(float f)
{
    if (f == 0.0f) return 0;
    const uint16_t sign = uint16_t((std::bit_cast<uint32_t>(f) >> 16) & 0x8000);
    if (std::isnan(f)) return uint16_t(sign | 0x7c00 | ((std::bit_cast<uint32_t>(f) & 0x7fffff) >> 13));
    const double a = std::fabs(double(f));
    if (std::isinf(f) || a >= 65520.0) return uint16_t(sign | 0x7c00);
    if (a < 6.103515625e-05) return uint16_t(sign | uint16_t(std::floor(a * 16777216.0 + 0.5)));  // subnormal
    int e;
    const double m = std::frexp(a, &e);
    int he;
    const double hm = std::frexp(std::ldexp(std::floor(std::ldexp(m, 11) + 0.5), e - 11), &he);
    const uint32_t exp = uint32_t(he - 1 + 15);
    if (exp >= 31) return uint16_t(sign | 0x7c00);
    return uint16_t(sign | (exp << 10) | (uint32_t(std::ldexp(hm, 11)) & 0x3ff));
}

TEST(PtexHalfTest, ToFloatIsExactAndRoundTripsEveryValue)
{
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
        ASSERT_TRUE(exp == 31 || h == 0x8000 || h == PtexHalf::fromFloat(f)) << h;  // -0 becomes +0
    }
}

TEST(PtexHalfTest, FromFloatRoundsTiesAwayFromZero)
{
    const std::pair<float, uint16_t> cases[] = {{1.0f + std::ldexp(1.0f, -11), 0x3c01},
                                                {-(1.0f + std::ldexp(1.0f, -11)), 0xbc01},
                                                {1.0f + std::ldexp(1.0f, -12), 0x3c00},
                                                {65520.0f, 0x7c00},
                                                {65519.0f, 0x7bff},
                                                {-INFINITY, 0xfc00},
                                                {std::ldexp(1.0f, -25), 0x0001},
                                                {std::ldexp(1.0f, -26), 0x0000},
                                                {-0.0f, 0x0000},
                                                {std::ldexp(1.0f, -14) - std::ldexp(1.0f, -26), 0x0400}};
    for (const auto& [f, h] : cases) EXPECT_EQ(h, PtexHalf::fromFloat(f)) << std::hexfloat << f;
    uint32_t seed = 12345;
    for (int i = 0; i < 200000; i++) {  // normal, subnormal, overflow and exact-tie values
        seed = seed * 1664525u + 1013904223u;
        uint32_t bits = (seed & 0x807fffffu) | ((96 + (seed >> 27) % 48) << 23);
        if (i % 4 == 0) bits = (bits & 0xffffe000u) | 0x1000u;
        const float f = std::bit_cast<float>(bits);
        ASSERT_EQ(refFromFloat(f), PtexHalf::fromFloat(f)) << std::hexfloat << f;
    }
}

// Edge cases the golden files need not contain.
TEST(PtexUtilsTest, ConversionAndReductionEdgeCases)
{
    const float in[5] = {-0.5f, 0.5f, 1.5f, 0.0019607f, 0.0019608f};
    uint8_t o8[5];
    Ptex::ConvertFromFloat(o8, in, Ptex::dt_uint8, 5);  // rounds and clamps
    EXPECT_EQ(std::vector<uint8_t>(o8, o8 + 5), (std::vector<uint8_t>{0, 128, 255, 0, 1}));
    uint16_t s16[12] = {65535, 1, 65535, 2, 0, 0, 65535, 3, 65534, 4};  // 2x2, 2 channels, stride 12 bytes
    uint16_t o16[2];
    PtexUtils::reduce(s16, 12, 2, 2, o16, 4, Ptex::dt_uint16, 2);  // integer sums truncate, no overflow
    EXPECT_EQ((65535 * 3 + 65534) >> 2, o16[0]);
    EXPECT_EQ(2, o16[1]);
    const float sf[4] = {1e8f, 1.0f, -1e8f, 1.0f};  // ((a+b)+c)+d, then times 0.25
    float of;
    PtexUtils::reduce(sf, 8, 2, 2, &of, 4, Ptex::dt_float, 1);
    EXPECT_EQ(0.25f * (((1e8f + 1.0f) + -1e8f) + 1.0f), of);
    const PtexHalf sh[4] = {PtexHalf(1.0f), PtexHalf(1.0f), PtexHalf(1.0f), PtexHalf(1.0f + std::ldexp(1.0f, -9))};
    PtexHalf oh;
    PtexUtils::reduce(sh, 4, 2, 2, &oh, 2, Ptex::dt_half, 1);
    EXPECT_EQ(0x3c01, oh.bits);  // 1 + 2^-11 is a tie, rounded away from zero
    uint8_t big[4] = {200, 50, 10, 0};
    PtexUtils::divalpha(big, 2, Ptex::dt_uint8, 2, 1);
    EXPECT_EQ(255, big[0]) << "saturates instead of wrapping";
    EXPECT_EQ(10, big[2]) << "zero alpha left alone";
}

}  // namespace
