// The triangle filter's texel loops against a plain evaluation (an exp per
// texel), its exp and tap-range helpers, and the reorientation table.
#include "PtexFilters.h"
#include "filters/PtexTriangleKernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

using namespace PtexFilterImpl;

namespace {

TEST(TriangleKernel, ExpAndCeilHelpers) {
    for (float x = -87.0f; x <= 88.0f; x += 0.37f) {
        float y0, y1;
        expPair(x, -x * 0.5f, y0, y1);
        EXPECT_NEAR(y0 / std::exp(x), 1.0f, 5e-7f) << x;
        EXPECT_NEAR(y1 / std::exp(-x * 0.5f), 1.0f, 5e-7f) << x;
    }
    float lo, hi;  // beyond the range: clamped, finite and positive
    expPair(-1e30f, 1e30f, lo, hi);
    EXPECT_TRUE(lo > 0 && std::isfinite(lo) && std::isfinite(hi)) << lo << " " << hi;

    const float x[12] = {0, 0.25f, 1, -0.25f, -1, 0.999f, 2.0001f, -3.5f, 1e9f, -1e9f, 7, 0.5f};
    int r[12];
    ceilScaled12(x, 4.0f, 1.0f / 3.0f, r, r + 6);
    for (int i = 0; i < 12; i++) {
        const float v = x[i] * 4.0f - 1.0f / 3.0f;
        EXPECT_EQ(r[i], int(std::ceil(std::fmax(-1073741824.0f, std::fmin(v, 1073741824.0f)))))
            << x[i];
    }
}

// Texels inside the ellipse and their weights as documented, an exp each.
template <typename T>
float plainSum(const TriIter& it, float wscale, const T* d, int nChan, int nTx, float* acc) {
    float wsum = 0;
    for (int y = std::max(it.v1(), 0); y < std::min(it.v2(), it.rowlen); y++) {
        const int x1 = std::max({it.u1(), it.rowlen - y - it.w2(), 0});
        const int x2 = std::min({it.u2(), it.rowlen - y - it.w1(), it.rowlen});
        if (x2 <= x1) continue;
        const float U = float(x1) - it.cu, V = float(y) - it.cv;
        float DQ = it.a * (2 * U + 1) + it.b * V, Q = it.a * U * U + (it.b * U + it.c * V) * V;
        for (int x = x1; x < x2; x++, Q += DQ, DQ += 2 * it.a) {
            if (!(Q < 1)) continue;
            const float w = std::exp(-6.125f * Q) * wscale;
            for (int c = 0; c < nChan; c++) acc[c] += float(d[(y * it.rowlen + x) * nTx + c]) * w;
            wsum += w;
        }
    }
    return wsum;
}

template <typename T>
void checkAgainstPlain(Ptex::DataType dt, int nChan, int nTx) {
    uint32_t seed = 12345;
    auto rnd = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return float(seed >> 8) / float(1 << 24);
    };
    int sampled = 0;
    for (int trial = 0; trial < 200; trial++) {
        const int N = 4 << (trial % 4);
        // exactly sized, so a read past the last texel is caught by ASan
        std::unique_ptr<T[]> data(new T[size_t(N * N * nTx)]);
        for (int i = 0; i < N * N * nTx; i++) data[size_t(i)] = T(rnd() * 255);
        // an ellipse of up to ~N texels with a random orientation, ranges around it
        const float ang = rnd() * 3.14159f, r1 = 0.5f + rnd() * N, r2 = 0.5f + rnd() * 3;
        const float cs = std::cos(ang), sn = std::sin(ang);
        TriIter it;
        it.rowlen = N;
        it.cu = rnd() * N;
        it.cv = rnd() * N;
        it.a = cs * cs / (r1 * r1) + sn * sn / (r2 * r2);
        it.c = sn * sn / (r1 * r1) + cs * cs / (r2 * r2);
        it.b = 2 * cs * sn * (1 / (r1 * r1) - 1 / (r2 * r2));
        it.range[0] = int(it.cu - r1) - 1;
        it.range[1] = int(it.cu + r1) + 2;
        it.range[2] = int(it.cv - r1) - 1;
        it.range[3] = int(it.cv + r1) + 2;
        it.range[4] = -N - int(rnd() * 4);
        it.range[5] = N + int(rnd() * 4);
        const float wscale = 1.0f / float(N * N);
        float want[4] = {0, 0, 0, 0}, got[4] = {0, 0, 0, 0};
        const float ws = plainSum(it, wscale, data.get(), nChan, nTx, want);
        const float wg = applyTriangle(&it, 1, wscale, got, data.get(), dt, nChan, nTx);
        ASSERT_NEAR(wg, ws, 2e-6f * ws + 1e-12f) << trial;
        sampled += ws > 0;
        EXPECT_EQ(triangleWeight(&it, 1, wscale), wg) << trial;
        for (int c = 0; c < nChan; c++) ASSERT_NEAR(got[c], want[c], 2e-6f * 255 * ws) << trial;
    }
    EXPECT_GT(sampled, 150);
}

TEST(TriangleKernel, MatchesAnExpPerTexel) {
    checkAgainstPlain<uint8_t>(Ptex::dt_uint8, 3, 3);
    checkAgainstPlain<uint8_t>(Ptex::dt_uint8, 3, 4);
    checkAgainstPlain<uint8_t>(Ptex::dt_uint8, 1, 2);
    checkAgainstPlain<float>(Ptex::dt_float, 2, 2);
    checkAgainstPlain<float>(Ptex::dt_float, 3, 3);
    checkAgainstPlain<uint16_t>(Ptex::dt_uint16, 4, 5);
}

// The neighbour's coordinates for each (edge, adjacent edge) pair, as tabulated
// for the format: new (u, v) and the turn of the ellipse.
TEST(TriangleKernel, ReorientFollowsTheEdgeTable) {
    struct Case {
        int e, a;
        float u, v;  // from u = 0.2, v = 0.3, w = 0.5
        int turn;
    };
    const Case cases[] = {{0, 0, 0.8f, -0.3f, 0}, {0, 1, 0.5f, 0.8f, 1}, {0, 2, -0.3f, 0.5f, 2},
                          {1, 0, 0.7f, -0.5f, 2}, {1, 1, 0.8f, 0.7f, 0}, {1, 2, -0.5f, 0.8f, 1},
                          {2, 0, 0.5f, -0.2f, 1}, {2, 1, 0.7f, 0.5f, 2}, {2, 2, -0.2f, 0.7f, 0}};
    for (const Case& c : cases) {
        PtexTriangleFilter::Kernel k{};
        k.u = 0.2f;
        k.v = 0.3f;
        k.u1 = 0.1f, k.v1 = 0.2f, k.w1 = 0.4f, k.u2 = 0.3f, k.v2 = 0.4f, k.w2 = 0.6f;
        k.A = 1, k.B = 2, k.C = 5;
        ASSERT_TRUE(k.reorient(c.e, c.a));
        EXPECT_NEAR(k.u, c.u, 1e-6f) << c.e << c.a;
        EXPECT_NEAR(k.v, c.v, 1e-6f) << c.e << c.a;
        // the bounds still bracket the centre in every coordinate
        const float w = 1 - k.u - k.v;
        EXPECT_TRUE(k.u1 <= k.u && k.u <= k.u2 && k.v1 <= k.v && k.v <= k.v2 && k.w1 <= w &&
                    w <= k.w2)
            << c.e << c.a;
        const float turned[3][3] = {{1, 2, 5}, {5, 8, 4}, {4, 0, 1}};
        EXPECT_EQ(k.A, turned[c.turn][0]) << c.e << c.a;
        EXPECT_EQ(k.B, turned[c.turn][1]) << c.e << c.a;
        EXPECT_EQ(k.C, turned[c.turn][2]) << c.e << c.a;
    }
    PtexTriangleFilter::Kernel k{};
    EXPECT_FALSE(k.reorient(3, 0));
    EXPECT_FALSE(k.reorient(0, -1));
}

}  // namespace
