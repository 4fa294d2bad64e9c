// PtexSeparableKernel: splits, merges, turns and level changes keep weights and
// texel positions consistent.
#include "PtexFilters.h"

#include <gtest/gtest.h>

namespace {

PtexSeparableKernel makeKernel(Ptex::Res res, int u, int v, std::initializer_list<float> ku,
                               std::initializer_list<float> kv)
{
    PtexSeparableKernel k;
    k.set(res, u, v, int(ku.size()), int(kv.size()), ku.begin(), kv.begin());
    return k;
}

float texelWeight(const PtexSeparableKernel& k, int x, int y)
{
    if (x < k.u || x >= k.u + k.uw || y < k.v || y >= k.v + k.vw) return 0;
    return k.ku[x - k.u] * k.kv[y - k.v];
}

TEST(FilterKernel, StripZerosAndWeight)
{
    auto k = makeKernel(Ptex::Res(3, 3), 1, 2, {0, 0, 1, 2, 0}, {0, 3, 0});
    k.stripZeros();
    EXPECT_EQ(k.u, 3);
    EXPECT_EQ(k.uw, 2);
    EXPECT_EQ(k.v, 3);
    EXPECT_EQ(k.vw, 1);
    EXPECT_FLOAT_EQ(k.weight(), 9.0f);
}

TEST(FilterKernel, SplitsKeepEveryWeight)
{
    auto k = makeKernel(Ptex::Res(2, 2), -2, 2, {1, 2, 3, 4, 5}, {1, 1, 1});
    const float total = k.weight();
    PtexSeparableKernel l, t;
    k.splitL(l);
    EXPECT_EQ(l.u, 2);  // the last two columns of a virtual face on the left
    EXPECT_EQ(l.uw, 2);
    EXPECT_FLOAT_EQ(l.ku[0], 1);
    EXPECT_EQ(k.u, 0);
    EXPECT_EQ(k.uw, 3);
    k.splitT(t);
    EXPECT_EQ(t.v, 0);
    EXPECT_EQ(t.vw, 1);
    EXPECT_EQ(k.vw, 2);
    EXPECT_FLOAT_EQ(k.weight() + l.weight() + t.weight(), total);
    PtexSeparableKernel r;
    auto whole = makeKernel(Ptex::Res(2, 2), 4, 0, {1, 1}, {1});
    whole.splitR(r);
    EXPECT_EQ(whole.uw, 0);
    EXPECT_EQ(r.u, 0);
    EXPECT_EQ(r.uw, 2);
}

TEST(FilterKernel, MergesFoldOrDiscard)
{
    auto k = makeKernel(Ptex::Res(2, 0), -1, 0, {1, 2, 3, 4, 5, 6}, {1});
    auto b = k;
    k.mergeL(Ptex::m_clamp);
    k.mergeR(Ptex::m_clamp);
    EXPECT_EQ(k.u, 0);
    EXPECT_EQ(k.uw, 4);
    EXPECT_FLOAT_EQ(k.ku[0], 3);
    EXPECT_FLOAT_EQ(k.ku[3], 5 + 6);
    EXPECT_FLOAT_EQ(k.weight(), 21);
    b.mergeL(Ptex::m_black);
    b.mergeR(Ptex::m_black);
    EXPECT_FLOAT_EQ(b.weight(), 2 + 3 + 4 + 5);
    // wholly outside: nothing is read out of range
    auto out = makeKernel(Ptex::Res(1, 1), -5, 0, {1, 1}, {1});
    out.mergeL(Ptex::m_clamp);
    EXPECT_EQ(out.u, 0);
    EXPECT_EQ(out.uw, 1);
    EXPECT_FLOAT_EQ(out.weight(), 2);
}

TEST(FilterKernel, RotationFollowsTheTexelMapping)
{
    // virtual face W x H = 8 x 4; texel (x, y) maps to the neighbour's texel by rot
    const int W = 8, H = 4;
    auto k = makeKernel(Ptex::Res(3, 2), 2, 1, {1, 2, 3}, {5, 7});
    for (int r = 0; r < 4; r++) {
        PtexSeparableKernel t = k;
        t.rotate(r);
        EXPECT_EQ(t.rot, r);
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++) {
                int nx = x, ny = y;
                switch (r) {
                case 1: nx = y; ny = W - 1 - x; break;
                case 2: nx = W - 1 - x; ny = H - 1 - y; break;
                case 3: nx = H - 1 - y; ny = x; break;
                }
                EXPECT_FLOAT_EQ(texelWeight(t, nx, ny), texelWeight(k, x, y)) << "rot " << r;
            }
        EXPECT_EQ(t.res, (r & 1) ? Ptex::Res(2, 3) : Ptex::Res(3, 2));
    }
}

TEST(FilterKernel, LevelChangesKeepTheTotal)
{
    auto k = makeKernel(Ptex::Res(4, 4), 3, 2, {1, 2, 3, 4}, {0.5f, 0.25f, 0.25f});
    const float total = k.weight();
    auto d = k;
    d.downresU();
    EXPECT_EQ(d.u, 1);
    EXPECT_EQ(d.uw, 3);  // {1}, {2+3}, {4}
    EXPECT_FLOAT_EQ(d.ku[1], 5);
    d.downresV();
    EXPECT_EQ(d.res, Ptex::Res(3, 3));
    EXPECT_FLOAT_EQ(d.weight(), total);
    auto u = makeKernel(Ptex::Res(0, 0), 0, 0, {2, 4}, {1});
    u.upresU();
    EXPECT_EQ(u.uw, 4);
    EXPECT_FLOAT_EQ(u.ku[0], 1);
    EXPECT_FLOAT_EQ(u.ku[3], 2);
    EXPECT_FLOAT_EQ(u.weight(), 6);
}

TEST(FilterKernel, SubfaceAdjustmentsAreInverse)
{
    for (int e = 0; e < 4; e++) {
        auto k = makeKernel(Ptex::Res(3, 3), 1, 1, {1, 2}, {3, 4});
        auto a = k;
        a.adjustMainToSubface(e);
        EXPECT_EQ(a.res, Ptex::Res(2, 2));
        // moving back from the same subface frame restores the placement in the
        // cases where the piece landed in the primary subface of edges 1 and 2
        EXPECT_FLOAT_EQ(a.weight(), k.weight());
    }
    auto k = makeKernel(Ptex::Res(2, 2), 0, 0, {1}, {1});
    k.adjustSubfaceToMain(3);
    EXPECT_EQ(k.res, Ptex::Res(3, 3));
    EXPECT_EQ(k.u, 4);
    EXPECT_EQ(k.v, 4);
}

TEST(FilterKernel, MakeSymmetricKeepsTheCornerWeight)
{
    auto k = makeKernel(Ptex::Res(2, 3), 0, 0, {0.5f, 0.25f}, {0.3f, 0.2f, 0.1f, 0.05f});
    const float w0 = k.weight();
    const float w1 = k.makeSymmetric(w0);
    EXPECT_EQ(k.res.ulog2, k.res.vlog2);
    EXPECT_EQ(k.uw, k.vw);
    // rows hold the summed profile {0.5 + 0.5, 0.25 + 0.15}; columns are scaled to keep w0
    EXPECT_FLOAT_EQ(k.kv[0], 1.0f);
    EXPECT_FLOAT_EQ(k.kv[1], 0.4f);
    EXPECT_NEAR(k.ku[0] / k.kv[0], k.ku[1] / k.kv[1], 1e-6f);
    EXPECT_FLOAT_EQ(w1, w0);
    EXPECT_LE(w1, w0 * 1.0001f + 1e-6f);
    EXPECT_NEAR(k.weight(), w1, 1e-6f);
}

TEST(FilterKernel, CountsNeverExceedTheBuffers)
{
    float big[20];
    for (float& x : big) x = 1;
    PtexSeparableKernel k;
    k.set(Ptex::Res(4, 4), 0, 0, 20, 20, big, big);
    EXPECT_EQ(k.uw, PtexSeparableKernel::kmax);
    EXPECT_EQ(k.vw, PtexSeparableKernel::kmax);
    k.set(Ptex::Res(0, 0), 0, 0, 8, 1, big, big);
    k.upresU();
    EXPECT_LE(k.uw, PtexSeparableKernel::kmax);
}

}  // namespace
