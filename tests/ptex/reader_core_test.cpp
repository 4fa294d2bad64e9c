// Core types and helpers: PtexHalf, Res, FaceInfo, names, sample conversions and
// the PtexUtils image helpers (reductions, averages, alpha, planar, deltas).
#include "PtexHalf.h"
#include "PtexUtils.h"
#include "Ptexture.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// Reference float->half: exact rational rounding, ties away from zero.
uint16_t refFromFloat(float f)
{
    if (f == 0.0f) return 0;
    uint32_t b = std::bit_cast<uint32_t>(f);
    uint16_t sign = uint16_t((b >> 16) & 0x8000);
    if (std::isnan(f)) return uint16_t(sign | 0x7c00 | ((b & 0x7fffff) >> 13));
    double a = std::fabs(double(f));
    if (std::isinf(f) || a >= 65520.0) return uint16_t(sign | 0x7c00);
    if (a < 6.103515625e-05) {  // subnormal half: units of 2^-24, round half up
        double units = a * 16777216.0;
        return uint16_t(sign | uint16_t(std::floor(units + 0.5)));
    }
    int e;
    double m = std::frexp(a, &e);  // a = m * 2^e, m in [0.5, 1)
    double scaled = std::ldexp(m, 11);  // 11 significant bits
    double r = std::floor(scaled + 0.5);  // ties away from zero (a > 0)
    double v = std::ldexp(r, e - 11);
    int he;
    double hm = std::frexp(v, &he);
    uint32_t exp = uint32_t(he - 1 + 15);
    uint32_t mant = uint32_t(std::ldexp(hm, 11)) & 0x3ff;
    if (exp >= 31) return uint16_t(sign | 0x7c00);
    return uint16_t(sign | (exp << 10) | mant);
}

TEST(PtexHalfTest, ToFloatIsExactForEveryValue)
{
    for (uint32_t h = 0; h < 65536; h++) {
        float f = PtexHalf::toFloat(uint16_t(h));
        uint32_t exp = (h >> 10) & 0x1f, mant = h & 0x3ff;
        double expect;
        if (exp == 0) expect = std::ldexp(double(mant), -24);
        else if (exp == 31) expect = mant ? std::numeric_limits<double>::quiet_NaN() : INFINITY;
        else expect = std::ldexp(double(mant | 0x400), int(exp) - 25);
        if (h & 0x8000) expect = -expect;
        if (std::isnan(expect)) {
            ASSERT_TRUE(std::isnan(f)) << h;
            EXPECT_EQ(mant, (std::bit_cast<uint32_t>(f) >> 13) & 0x3ff) << "payload kept " << h;
        } else {
            ASSERT_EQ(float(expect), f) << h;
        }
        // every finite half survives the round trip (except -0, which becomes +0)
        if (exp != 31 && h != 0x8000) {
            ASSERT_EQ(h, PtexHalf::fromFloat(f)) << h;
        }
    }
    EXPECT_EQ(0, PtexHalf::fromFloat(-0.0f));
}

TEST(PtexHalfTest, FromFloatRoundsTiesAwayFromZero)
{
    EXPECT_EQ(0x3c01, PtexHalf::fromFloat(1.0f + std::ldexp(1.0f, -11)));  // tie -> away
    EXPECT_EQ(0xbc01, PtexHalf::fromFloat(-(1.0f + std::ldexp(1.0f, -11))));
    EXPECT_EQ(0x3c00, PtexHalf::fromFloat(1.0f + std::ldexp(1.0f, -12)));
    EXPECT_EQ(0x7c00, PtexHalf::fromFloat(65520.0f));
    EXPECT_EQ(0x7bff, PtexHalf::fromFloat(65519.0f));
    EXPECT_EQ(0x7bff, PtexHalf::fromFloat(65504.0f));
    EXPECT_EQ(0x7c00, PtexHalf::fromFloat(1e10f));
    EXPECT_EQ(0xfc00, PtexHalf::fromFloat(-INFINITY));
    EXPECT_EQ(0x0001, PtexHalf::fromFloat(std::ldexp(1.0f, -24)));
    EXPECT_EQ(0x0001, PtexHalf::fromFloat(std::ldexp(1.0f, -25)));  // half a unit rounds up
    EXPECT_EQ(0x0000, PtexHalf::fromFloat(std::ldexp(1.0f, -26)));
    EXPECT_EQ(0x0400, PtexHalf::fromFloat(std::ldexp(1.0f, -14) - std::ldexp(1.0f, -26)));
    EXPECT_EQ(0x7e00, PtexHalf::fromFloat(std::numeric_limits<float>::quiet_NaN()) & 0x7e00);
    // sweep against the reference: normal, subnormal, overflow and tie values
    uint32_t seed = 12345;
    for (int i = 0; i < 200000; i++) {
        seed = seed * 1664525u + 1013904223u;
        uint32_t bits = seed;
        // bias the exponent towards the half range
        uint32_t e = 96 + (seed >> 27) % 48;
        bits = (bits & 0x807fffffu) | (e << 23);
        if (i % 4 == 0) bits = (bits & 0xffffe000u) | 0x1000u;  // exact ties
        float f = std::bit_cast<float>(bits);
        ASSERT_EQ(refFromFloat(f), PtexHalf::fromFloat(f)) << std::hexfloat << f;
    }
    PtexHalf h(0.5);
    EXPECT_EQ(0.5f, float(h));
    h = 2.0f;
    EXPECT_EQ(0x4000, h.bits);
}

TEST(PtexTypesTest, ResMembers)
{
    Ptex::Res r;
    EXPECT_EQ(0, r.ulog2);
    EXPECT_EQ(1, r.size());
    Ptex::Res a(3, 5);
    EXPECT_EQ(8, a.u());
    EXPECT_EQ(32, a.v());
    EXPECT_EQ(256, a.size());
    EXPECT_EQ(0x0503, a.val());
    EXPECT_EQ(a, Ptex::Res(uint16_t(0x0503)));
    EXPECT_EQ(Ptex::Res(5, 3), a.swappeduv());
    Ptex::Res b = a;
    b.swapuv();
    EXPECT_EQ(Ptex::Res(5, 3), b);
    EXPECT_TRUE(a != b);
    EXPECT_TRUE(a >= Ptex::Res(3, 4));
    EXPECT_FALSE(a >= b);
    b.clamp(a);
    EXPECT_EQ(Ptex::Res(3, 3), b);
    EXPECT_EQ(4, Ptex::Res(7, 7).ntilesu(Ptex::Res(5, 6)));
    EXPECT_EQ(2, Ptex::Res(7, 7).ntilesv(Ptex::Res(5, 6)));
    EXPECT_EQ(8, Ptex::Res(7, 7).ntiles(Ptex::Res(5, 6)));
    Ptex::Res z = 0;
    EXPECT_EQ(Ptex::Res(0, 0), z);
    static_assert(sizeof(Ptex::Res) == 2);
}

TEST(PtexTypesTest, FaceInfoPackingAndFlags)
{
    static_assert(sizeof(Ptex::FaceInfo) == 20);
    Ptex::FaceInfo d;
    for (int e = 0; e < 4; e++) EXPECT_EQ(-1, d.adjface(e));
    EXPECT_EQ(0, d.flags);
    int faces[4] = {1, 2, -1, 7};
    int edges[4] = {3, 2, 1, 0};
    Ptex::FaceInfo f(Ptex::Res(4, 2), faces, edges, true);
    EXPECT_EQ(0x1b, f.adjedges);
    EXPECT_EQ(Ptex::e_left, f.adjedge(0));
    EXPECT_EQ(Ptex::e_bottom, f.adjedge(3));
    EXPECT_EQ(7, f.adjface(3));
    EXPECT_TRUE(f.isSubface());
    EXPECT_FALSE(f.isConstant());
    f.setadjedges(5, 6, 7, 8);  // masked to 2 bits
    EXPECT_EQ(Ptex::EdgeId(1), f.adjedge(0));
    EXPECT_EQ(Ptex::EdgeId(0), f.adjedge(3));
    f.flags = Ptex::FaceInfo::flag_constant | Ptex::FaceInfo::flag_nbconstant | Ptex::FaceInfo::flag_hasedits;
    EXPECT_TRUE(f.isConstant());
    EXPECT_TRUE(f.isNeighborhoodConstant());
    EXPECT_TRUE(f.hasEdits());
    EXPECT_FALSE(f.isSubface());
    // in-memory layout is the file record
    uint8_t raw[20];
    std::memcpy(raw, &f, 20);
    EXPECT_EQ(4, raw[0]);
    EXPECT_EQ(2, raw[1]);
    EXPECT_EQ(f.adjedges, raw[2]);
    int32_t a3;
    std::memcpy(&a3, raw + 16, 4);
    EXPECT_EQ(7, a3);
}

TEST(PtexTypesTest, NamesAndSizes)
{
    EXPECT_STREQ("triangle", Ptex::MeshTypeName(Ptex::mt_triangle));
    EXPECT_STREQ("quad", Ptex::MeshTypeName(Ptex::mt_quad));
    EXPECT_STREQ("(invalid mesh type)", Ptex::MeshTypeName(Ptex::MeshType(2)));
    EXPECT_STREQ("float16", Ptex::DataTypeName(Ptex::dt_half));
    EXPECT_STREQ("float32", Ptex::DataTypeName(Ptex::dt_float));
    EXPECT_STREQ("(invalid data type)", Ptex::DataTypeName(Ptex::DataType(-1)));
    EXPECT_STREQ("periodic", Ptex::BorderModeName(Ptex::m_periodic));
    EXPECT_STREQ("(invalid border mode)", Ptex::BorderModeName(Ptex::BorderMode(3)));
    EXPECT_STREQ("tanvec", Ptex::EdgeFilterModeName(Ptex::efm_tanvec));
    EXPECT_STREQ("(invalid edge filter mode)", Ptex::EdgeFilterModeName(Ptex::EdgeFilterMode(2)));
    EXPECT_STREQ("left", Ptex::EdgeIdName(Ptex::e_left));
    EXPECT_STREQ("(invalid edge id)", Ptex::EdgeIdName(Ptex::EdgeId(4)));
    EXPECT_STREQ("double", Ptex::MetaDataTypeName(Ptex::mdt_double));
    EXPECT_STREQ("(invalid meta data type)", Ptex::MetaDataTypeName(Ptex::MetaDataType(6)));
    EXPECT_EQ(1, Ptex::DataSize(Ptex::dt_uint8));
    EXPECT_EQ(2, Ptex::DataSize(Ptex::dt_uint16));
    EXPECT_EQ(2, Ptex::DataSize(Ptex::dt_half));
    EXPECT_EQ(4, Ptex::DataSize(Ptex::dt_float));
    EXPECT_EQ(255.0f, Ptex::OneValue(Ptex::dt_uint8));
    EXPECT_EQ(1.0f / 65535.0f, Ptex::OneValueInv(Ptex::dt_uint16));
    EXPECT_EQ(1.0f, Ptex::OneValue(Ptex::dt_half));
}

TEST(PtexTypesTest, ConvertToAndFromFloat)
{
    uint8_t u8[3] = {0, 128, 255};
    float f[3];
    Ptex::ConvertToFloat(f, u8, Ptex::dt_uint8, 3);
    EXPECT_EQ(0.0f, f[0]);
    EXPECT_EQ(128.0f * (1.0f / 255.0f), f[1]);
    EXPECT_EQ(255.0f * (1.0f / 255.0f), f[2]);
    float in[5] = {-0.5f, 0.5f, 1.5f, 0.0019607f, 0.0019608f};
    uint8_t o8[5];
    Ptex::ConvertFromFloat(o8, in, Ptex::dt_uint8, 5);
    EXPECT_EQ(0, o8[0]);
    EXPECT_EQ(128, o8[1]);  // 127.5 + 0.5 truncated
    EXPECT_EQ(255, o8[2]);
    EXPECT_EQ(0, o8[3]);
    EXPECT_EQ(1, o8[4]);
    uint16_t o16[2];
    float in16[2] = {1.0f, 0.25f};
    Ptex::ConvertFromFloat(o16, in16, Ptex::dt_uint16, 2);
    EXPECT_EQ(65535, o16[0]);
    EXPECT_EQ(16384, o16[1]);
    uint16_t h[2];
    float inh[2] = {-2.0f, 1e6f};
    Ptex::ConvertFromFloat(h, inh, Ptex::dt_half, 2);
    EXPECT_EQ(0xc000, h[0]);
    EXPECT_EQ(0x7c00, h[1]);
    float back[2];
    Ptex::ConvertToFloat(back, h, Ptex::dt_half, 2);
    EXPECT_EQ(-2.0f, back[0]);
    float fl[2] = {3.5f, -7.0f}, fo[2];
    Ptex::ConvertFromFloat(fo, fl, Ptex::dt_float, 2);
    EXPECT_EQ(0, std::memcmp(fl, fo, sizeof(fl)));
}

TEST(PtexUtilsTest, LogHelpersAndSmoothstep)
{
    EXPECT_TRUE(PtexUtils::isPowerOfTwo(1));
    EXPECT_TRUE(PtexUtils::isPowerOfTwo(1024));
    EXPECT_FALSE(PtexUtils::isPowerOfTwo(0));
    EXPECT_FALSE(PtexUtils::isPowerOfTwo(12));
    EXPECT_EQ(0u, PtexUtils::floor_log2(1));
    EXPECT_EQ(4u, PtexUtils::floor_log2(31));
    EXPECT_EQ(5u, PtexUtils::floor_log2(32));
    EXPECT_EQ(5u, PtexUtils::ceil_log2(31));
    EXPECT_EQ(5u, PtexUtils::ceil_log2(32));
    EXPECT_EQ(6u, PtexUtils::ceil_log2(33));
    EXPECT_EQ(0.125f, PtexUtils::reciprocalPow2(3));
    EXPECT_EQ(4.0f, PtexUtils::reciprocalPow2(-2));
    EXPECT_EQ(0, PtexUtils::calcResFromWidth(1.0f));
    EXPECT_EQ(0, PtexUtils::calcResFromWidth(1.99f));
    EXPECT_EQ(1, PtexUtils::calcResFromWidth(0.5f));
    EXPECT_EQ(2, PtexUtils::calcResFromWidth(0.49f));
    EXPECT_EQ(-1, PtexUtils::calcResFromWidth(2.0f));
    for (float w = 0.001f; w < 1.0f; w *= 1.37f)
        EXPECT_EQ(int(std::ceil(std::log2(1.0 / double(w)) - 1e-12)), PtexUtils::calcResFromWidth(w)) << w;
    EXPECT_EQ(0.0f, PtexUtils::smoothstep(-1.0f, 0.0f, 1.0f));
    EXPECT_EQ(1.0f, PtexUtils::smoothstep(1.0f, 0.0f, 1.0f));
    EXPECT_EQ(0.5f, PtexUtils::smoothstep(0.5f, 0.0f, 1.0f));
    EXPECT_EQ(0.5f, PtexUtils::qsmoothstep(0.5f, 0.0f, 1.0f));
    EXPECT_NEAR(0.104f, PtexUtils::smoothstep(0.2f, 0.0f, 1.0f), 1e-6);
    EXPECT_EQ(3, PtexUtils::clamp(5, 0, 3));
    EXPECT_EQ(2.5f, PtexUtils::abs(-2.5f));
    EXPECT_EQ(3, PtexUtils::halve(7));
    EXPECT_EQ(1, PtexUtils::quarter(7));
    EXPECT_EQ(1.75f, PtexUtils::quarter(7.0f));
}

TEST(PtexUtilsTest, ReductionsTruncateIntegers)
{
    // 4x2 image, 1 channel uint8
    uint8_t src[8] = {1, 2, 3, 4, 5, 6, 7, 9};
    uint8_t d[4];
    PtexUtils::reduce(src, 4, 4, 2, d, 2, Ptex::dt_uint8, 1);
    EXPECT_EQ((1 + 2 + 5 + 6) >> 2, d[0]);
    EXPECT_EQ((3 + 4 + 7 + 9) >> 2, d[1]);
    PtexUtils::reduceu(src, 4, 4, 2, d, 2, Ptex::dt_uint8, 1);
    EXPECT_EQ(1, d[0]);  // (1+2)>>1
    EXPECT_EQ(3, d[1]);
    EXPECT_EQ(5, d[2]);
    EXPECT_EQ(8, d[3]);
    PtexUtils::reducev(src, 4, 4, 2, d, 4, Ptex::dt_uint8, 1);
    EXPECT_EQ(3, d[0]);
    EXPECT_EQ(6, d[3]);
    // uint16 with 2 channels and a padded source stride
    uint16_t s16[2 * 2 * 2 + 4] = {};
    uint16_t* row0 = s16;
    uint16_t* row1 = s16 + 6;  // stride 12 bytes
    row0[0] = 65535; row0[1] = 1; row0[2] = 65535; row0[3] = 2;
    row1[0] = 65535; row1[1] = 3; row1[2] = 65534; row1[3] = 4;
    uint16_t o16[2];
    PtexUtils::reduce(s16, 12, 2, 2, o16, 4, Ptex::dt_uint16, 2);
    EXPECT_EQ((65535 * 3 + 65534) >> 2, o16[0]);
    EXPECT_EQ(2, o16[1]);
    // float: ((a+b)+c)+d times 0.25
    float sf[4] = {1e8f, 1.0f, -1e8f, 1.0f};
    float of;
    PtexUtils::reduce(sf, 8, 2, 2, &of, 4, Ptex::dt_float, 1);
    EXPECT_EQ(0.25f * (((1e8f + 1.0f) + -1e8f) + 1.0f), of);
    // half: summed in float then rounded ties away
    PtexHalf sh[4] = {PtexHalf(1.0f), PtexHalf(1.0f), PtexHalf(1.0f), PtexHalf(1.0f + std::ldexp(1.0f, -9))};
    PtexHalf oh;
    PtexUtils::reduce(sh, 4, 2, 2, &oh, 2, Ptex::dt_half, 1);
    EXPECT_EQ(PtexHalf::fromFloat(0.25f * (3.0f + 1.0f + std::ldexp(1.0f, -9))), oh.bits);
    EXPECT_EQ(0x3c01, oh.bits);  // 1 + 2^-11 is a tie, rounded away from zero
}

TEST(PtexUtilsTest, TriangleReductionUsesTheInvertedCentre)
{
    // 4x4 triangle storage, values = index
    uint8_t s[16];
    for (int i = 0; i < 16; i++) s[i] = uint8_t(i * 10);
    uint8_t d[4];
    PtexUtils::reduceTri(s, 4, 4, 4, d, 2, Ptex::dt_uint8, 1);
    auto at = [&](int u, int v) { return int(s[v * 4 + u]); };
    for (int j = 0; j < 2; j++)
        for (int i = 0; i < 2; i++) {
            int expect = (at(2 * i, 2 * j) + at(2 * i + 1, 2 * j) + at(2 * i, 2 * j + 1) + at(3 - 2 * j, 3 - 2 * i)) >> 2;
            EXPECT_EQ(expect, d[j * 2 + i]) << i << "," << j;
        }
}

TEST(PtexUtilsTest, AverageFillCopyConstant)
{
    uint8_t s[6] = {10, 20, 11, 21, 13, 25};  // 3 pixels, 2 channels
    uint8_t avg[2];
    PtexUtils::average(s, 6, 3, 1, avg, Ptex::dt_uint8, 2);
    EXPECT_EQ(uint8_t((10.0f + 11.0f + 13.0f) * (1.0f / 3.0f)), avg[0]);
    EXPECT_EQ(22, avg[1]);
    uint8_t img[3 * 8] = {};
    uint8_t px[2] = {7, 9};
    PtexUtils::fill(px, img, 8, 3, 3, 2);  // rows of 8 bytes, 3 pixels of 2 bytes
    EXPECT_EQ(7, img[0]);
    EXPECT_EQ(9, img[5]);
    EXPECT_EQ(0, img[6]);
    EXPECT_EQ(7, img[16]);
    EXPECT_TRUE(PtexUtils::isConstant(img, 8, 3, 3, 2));
    img[17] = 1;
    EXPECT_FALSE(PtexUtils::isConstant(img, 8, 3, 3, 2));
    uint8_t out[12];
    PtexUtils::copy(img, 8, out, 4, 3, 4);
    EXPECT_EQ(7, out[4]);
    EXPECT_EQ(1, out[9]);
    // negative destination stride flips the rows
    uint8_t flip[12];
    PtexUtils::copy(out, 4, flip + 8, -4, 3, 4);
    EXPECT_EQ(0, std::memcmp(flip, out + 8, 4));
}

TEST(PtexUtilsTest, PlanarAndDeltaRoundTrip)
{
    const int u = 5, v = 3, c = 3;
    std::vector<uint16_t> inter(u * v * c), planar(inter.size()), back(inter.size());
    for (size_t i = 0; i < inter.size(); i++) inter[i] = uint16_t(i * 7919u);
    PtexUtils::deinterleave(inter.data(), u * c * 2, u, v, planar.data(), u * 2, Ptex::dt_uint16, c);
    EXPECT_EQ(inter[0], planar[0]);
    EXPECT_EQ(inter[c], planar[1]);
    EXPECT_EQ(inter[1], planar[size_t(u * v)]);
    std::vector<uint16_t> coded = planar;
    PtexUtils::encodeDifference(coded.data(), coded.size() * 2, Ptex::dt_uint16);
    EXPECT_EQ(uint16_t(planar[1] - planar[0]), coded[1]);
    EXPECT_EQ(uint16_t(planar[size_t(u * v)] - planar[size_t(u * v) - 1]), coded[size_t(u * v)]);  // no reset
    PtexUtils::decodeDifference(coded.data(), coded.size() * 2, Ptex::dt_uint16);
    EXPECT_EQ(planar, coded);
    PtexUtils::interleave(planar.data(), u * 2, u, v, back.data(), u * c * 2, Ptex::dt_uint16, c);
    EXPECT_EQ(inter, back);
    uint8_t b[4] = {250, 3, 3, 1};
    PtexUtils::encodeDifference(b, 4, Ptex::dt_uint8);
    EXPECT_EQ(9, b[1]);
    PtexUtils::decodeDifference(b, 4, Ptex::dt_uint8);
    EXPECT_EQ(250, b[0]);
    EXPECT_EQ(1, b[3]);
    float f[2] = {1.5f, 2.5f};
    PtexUtils::decodeDifference(f, 8, Ptex::dt_float);  // no-op for float
    EXPECT_EQ(2.5f, f[1]);
}

TEST(PtexUtilsTest, AlphaChannelsAffected)
{
    // alpha in channel 1 of 3: only channel 0 is multiplied
    uint8_t px[6] = {200, 128, 100, 10, 0, 90};
    PtexUtils::multalpha(px, 2, Ptex::dt_uint8, 3, 1);
    EXPECT_EQ(uint8_t(200.0f * ((1.0f / 255.0f) * 128.0f)), px[0]);
    EXPECT_EQ(128, px[1]);
    EXPECT_EQ(100, px[2]);
    EXPECT_EQ(0, px[3]);
    uint8_t d[6] = {100, 128, 100, 10, 0, 90};
    PtexUtils::divalpha(d, 2, Ptex::dt_uint8, 3, 1);
    EXPECT_EQ(uint8_t(100.0f * (255.0f / 128.0f)), d[0]);
    EXPECT_EQ(10, d[3]);  // zero alpha untouched
    // alpha first: channels after it
    float f[3] = {0.5f, 0.5f, 0.25f};
    PtexUtils::multalpha(f, 1, Ptex::dt_float, 3, 0);
    EXPECT_EQ(0.5f, f[0]);
    EXPECT_EQ(0.25f, f[1]);
    EXPECT_EQ(0.125f, f[2]);
    // un-premultiplying past the range saturates instead of overflowing
    uint8_t big[2] = {200, 50};
    PtexUtils::divalpha(big, 1, Ptex::dt_uint8, 2, 1);
    EXPECT_EQ(255, big[0]);
    // no alpha: nothing happens
    uint8_t none[2] = {1, 2};
    PtexUtils::multalpha(none, 1, Ptex::dt_uint8, 2, -1);
    EXPECT_EQ(1, none[0]);
}

TEST(PtexUtilsTest, ReductionOrderIsStableAndDescending)
{
    std::vector<Ptex::FaceInfo> f(5);
    f[0].res = Ptex::Res(3, 5);
    f[1].res = Ptex::Res(6, 6);
    f[2].res = Ptex::Res(8, 8);
    f[2].flags = Ptex::FaceInfo::flag_constant;  // key 1
    f[3].res = Ptex::Res(4, 3);
    f[4].res = Ptex::Res(0, 0);
    uint32_t rf[5], fi[5];
    PtexUtils::genRfaceids(f.data(), 5, rf, fi);
    uint32_t expectOrder[5] = {1, 0, 3, 2, 4};
    for (int i = 0; i < 5; i++) EXPECT_EQ(expectOrder[i], fi[i]);
    for (int i = 0; i < 5; i++) EXPECT_EQ(uint32_t(i), rf[fi[i]]);
}

TEST(PtexTypesTest, FilterOptionsAndPtr)
{
    PtexFilter::Options o;
    EXPECT_EQ(int(sizeof(PtexFilter::Options)), o.__structSize);
    EXPECT_EQ(PtexFilter::f_box, o.filter);
    EXPECT_FALSE(o.lerp);
    EXPECT_EQ(0.0f, o.sharpness);
    EXPECT_FALSE(o.noedgeblend);
    o.filter = PtexFilter::FilterType(-1);
    EXPECT_EQ(-1, int(o.filter));
    o.filter = PtexFilter::FilterType(42);
    EXPECT_EQ(42, int(o.filter));
    PtexFilter::Options m(PtexFilter::f_mitchell, true, 0.5f, true);
    EXPECT_EQ(7, int(m.filter));
    EXPECT_TRUE(m.noedgeblend);
    PtexPtr<PtexTexture> p;
    EXPECT_EQ(nullptr, p.get());
}

}  // namespace
