// Mitchell filter on hostile or degenerate input: channel ranges, bad face ids, NaN, infinite,
// zero and huge arguments, a corner walk that never closes, a file cut short under the reader;
// and evaluations that allocate nothing (operator new is counted in this program).
#include "filters/PtexMitchellFilter.h"
#include "mitchell_util.h"

#include <atomic>
#include <cstdlib>
#include <new>

using namespace mtest;

namespace {
std::atomic<long> g_allocations{0};
}

// The replacements pair malloc with free; the compiler cannot see that pairing
// across the inlined new and delete expressions of the tests.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t n, const std::nothrow_t&) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(n ? n : 1);
}
void* operator new(size_t n) {
    if (void* p = operator new(n, std::nothrow)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

TEST(MitchellRobust, BadChannelsFaceIdsAndArgumentsGiveZerosOrClampedValues) {
    TempDir d;
    ASSERT_EQ(writeTexture(d.file("g.ptx"), Ptex::dt_float, 5,
                           grid(3, 3, {Ptex::Res(4, 4), Ptex::Res(2, 5)})),
              "");
    Own<PtexTexture> t = openTex(d.file("g.ptx"));
    ASSERT_TRUE(t);
    Own<PtexFilter> f(new PtexMitchellFilter(t.get(), 1.0f));
    float all[5];
    f->eval(all, 0, 5, 4, 0.5f, 0.5f, 0, 0, 0, 0);
    struct Row {
        int first, n, face;
        std::array<float, 4> expect;
    };  // 9 = left untouched
    const Row rows[] = {{0, 2, 4, {1, all[1], 9, 9}},    {4, 3, 4, {all[4], 0, 0, 9}},
                        {-1, 3, 4, {0, 0, 0, 9}},        {-2147483647 - 1, 2, 4, {0, 0, 9, 9}},
                        {5, 2, 4, {0, 0, 9, 9}},  // beyond the channels
                        {0, 2, 9, {0, 0, 9, 9}},         {0, 2, -1, {0, 0, 9, 9}},
                        {0, 2, 2147483647, {0, 0, 9, 9}}};
    for (const Row& row : rows) {
        float r[4] = {9, 9, 9, 9};
        f->eval(r, row.first, row.n, row.face, 0.5f, 0.5f, 0, 0, 0, 0);
        for (int c = 0; c < 4; ++c)
            EXPECT_FLOAT_EQ(r[c], row.expect[c]) << row.first << " " << row.face << " " << c;
    }
    f->eval(nullptr, 0, 2, 4, 0.5f, 0.5f, 0, 0, 0, 0);
    auto at = [&](float u, float v, float uw1, float vw1, float uw2, float vw2, float width = 1,
                  float blur = 0) {
        float r[2];
        f->eval(r, 0, 2, 4, u, v, uw1, vw1, uw2, vw2, width, blur);
        EXPECT_NEAR(r[0], 1.0f, 3e-6) << u << " " << v << " " << uw1 << " " << vw1;
        EXPECT_TRUE(r[1] >= 0.0f && r[1] <= 1.0f)
            << u << " " << v << " " << uw1 << " " << vw1 << ": " << r[1];
        return r[1];
    };
    const float nan = std::nanf(""), inf = INFINITY;
    for (float a : {nan, inf, -inf, 0.0f, 1.0f, 1e38f, -1e38f})
        for (float b : {nan, inf, -inf, 0.0f, 1.0f, 1e38f, -1e38f}) at(a, b, a, b, b, a, a, b);
    EXPECT_EQ(at(-0.3f, 0.2f, 0, 0, 0, 0),
              at(0.0f, 0.2f, 0, 0, 0, 0));  // coordinates clamp to the face
    EXPECT_EQ(at(1.7f, 0.2f, 0, 0, 0, 0), at(1.0f, 0.2f, 0, 0, 0, 0));
    // Width and blur enter before the clamps; footprint vectors add their absolute components.
    EXPECT_EQ(at(0.4f, 0.3f, 0.01f, 0, 0, 0.01f, 4, 0.01f), at(0.4f, 0.3f, 0.05f, 0, 0, 0.05f));
    EXPECT_EQ(at(0.4f, 0.3f, -0.01f, 0, 0.02f, -0.03f), at(0.4f, 0.3f, 0.03f, 0, 0, 0.03f));
    float r[2] = {9, 9};
    Own<PtexFilter>(new PtexMitchellFilter(t.get(), nan))->eval(r, 0, 2, 4, 0.9f, 0.5f, 0, 0, 0, 0);
    EXPECT_TRUE(std::isfinite(r[0]) && std::isfinite(r[1]));
    Own<PtexFilter>(new PtexMitchellFilter(nullptr, 0.5f))
        ->eval(r, 0, 1, 0, 0.5f, 0.5f, 0, 0, 0, 0);
    EXPECT_EQ(r[0], 0.0f);
}

TEST(MitchellRobust, CornerWalkThatNeverClosesAndFileCutShortUnderTheReader) {
    // Face 0's u-neighbour leads into a ring of faces (3 <-> 4) that never
    // reaches face 0's v-neighbour: the walk gives up and the corner is folded.
    int adj[5][8] = {{-1, 1, 2, -1, 0, 3, 0, 0},
                     {-1, -1, 3, 0, 0, 0, 0, 1},
                     {0, -1, -1, -1, 2, 0, 0, 0},
                     {4, 4, 4, 4, 1, 1, 1, 1},
                     {3, 3, 3, 3, 1, 1, 1, 1}};
    std::vector<Ptex::FaceInfo> faces;
    for (auto& a : adj) faces.emplace_back(Ptex::Res(4, 4), a, a + 4);
    TempDir d;
    const std::string path = d.file("w.ptx");
    ASSERT_EQ(writeTexture(path, Ptex::dt_float, 2, faces), "");
    Own<PtexTexture> t = openTex(path);
    ASSERT_TRUE(t);
    Own<PtexFilter> f(new PtexMitchellFilter(t.get(), 1.0f));
    float r[2];
    for (int face = 0; face < 5; ++face) {
        f->eval(r, 0, 2, face, 0.99f, 0.99f, 0, 0, 0, 0);
        EXPECT_NEAR(r[0], 1.0f, 3e-6) << face;
    }
    // Face data that can no longer be read contributes nothing.
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 3);
    for (int face = 0; face < 5; ++face)
        for (float u : {0.0f, 0.5f, 1.0f}) {
            f->eval(r, 0, 2, face, u, 0.99f, 0, 0, 0, 0);
            EXPECT_TRUE(r[0] >= 0.0f && r[0] <= 1.0f + 3e-6f && r[1] >= 0.0f && r[1] <= 1.0f)
                << face << " " << u;
        }
}

TEST(MitchellAllocation, EvaluationsAllocateNothingAndKeepTheirWeightSum) {
    // A cube (valence-3 corners: the corner share is dropped, the rest renormalised) of
    // mixed resolutions with a 2-texel face; sharpness 1 (Catmull-Rom) has negative lobes.
    TempDir d;
    using R = Ptex::Res;
    const std::vector<std::array<int, 4>> quads = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                                                   {2, 3, 7, 6}, {0, 4, 7, 3}, {1, 2, 6, 5}};
    const auto cube = quadAdjacency(quads, {R(4, 4), R(5, 3), R(1, 1), R(2, 5), R(6, 6), R(4, 2)});
    ASSERT_EQ(writeTexture(d.file("a.ptx"), Ptex::dt_uint8, 2, cube), "");
    Own<PtexTexture> t = openTex(d.file("a.ptx"));
    ASSERT_TRUE(t);
    for (float sharp : {0.0f, 0.6f, 1.0f}) {
        Own<PtexFilter> f(PtexFilter::getFilter(t.get(), mitchell(sharp)));
        ASSERT_TRUE(f);
        auto sweep = [&] {
            float r[2];
            double sum = 0;
            for (int i = 0; i < 6 * 400 * 3; ++i) {  // face, u, v, footprint
                const float w = 0.15f * float(i % 3 * (i % 3)), u = float(i / 3 % 20) / 19,
                            v = float(i / 60 % 20) / 19;
                f->eval(r, 0, 2, i / 1200, u, v, w, 0, 0, w);
                EXPECT_NEAR(r[0], 1.0f, 3e-6) << i / 1200 << " " << u << " " << v << " " << w;
                sum += r[1];
            }
            return sum;
        };
        const double first = sweep();  // loads every face and level it needs
        const long before = g_allocations.load();
        const double second = sweep();
        EXPECT_EQ(g_allocations.load() - before, 0);
        EXPECT_EQ(first, second);
    }
}
