// Standard filters: factory table, bad queries, channel counts, constant data.
#include "PtexFilters.h"
#include "filters_test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

const float kMark = -12345.0f;
const PtexFilter::FilterType kAllTypes[] = {PtexFilter::f_point,    PtexFilter::f_bilinear, PtexFilter::f_box,
                                            PtexFilter::f_gaussian, PtexFilter::f_bicubic,  PtexFilter::f_bspline,
                                            PtexFilter::f_catmullrom, PtexFilter::f_mitchell};

struct TexHolder {
    PtexTexture* tex = nullptr;
    explicit TexHolder(const std::string& path)
    {
        Ptex::String err;
        if (!path.empty()) tex = PtexTexture::open(path.c_str(), err);
    }
    ~TexHolder()
    {
        if (tex) tex->release();
    }
};

class FilterQueryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        gridPath = FiltersTest::writeGrid("grid4.ptx", 4, 4, 3);
        constPath = FiltersTest::writeGrid("const.ptx", 3, 3, 3, true, 200);
        triPath = FiltersTest::writeTriPair("tri.ptx", 3);
    }
    static void TearDownTestSuite()
    {
        for (const std::string* p : {&gridPath, &constPath, &triPath})
            if (!p->empty()) std::remove(p->c_str());
    }
    void SetUp() override
    {
        if (gridPath.empty() || constPath.empty() || triPath.empty()) GTEST_SKIP() << "could not write test textures";
    }
    static std::string gridPath, constPath, triPath;
};
std::string FilterQueryTest::gridPath, FilterQueryTest::constPath, FilterQueryTest::triPath;

TEST_F(FilterQueryTest, FactoryTableForQuads)
{
    TexHolder t(gridPath);
    ASSERT_TRUE(t.tex);
    auto make = [&](int type, float sharp = 0) {
        return PtexFilter::getFilter(t.tex, PtexFilter::Options(PtexFilter::FilterType(type), false, sharp));
    };
    struct Row {
        int type;
        bool (*check)(PtexFilter*);
    };
    const Row rows[] = {
        {0, [](PtexFilter* f) { return dynamic_cast<PtexPointFilter*>(f) != nullptr; }},
        {1, [](PtexFilter* f) { return dynamic_cast<PtexBilinearFilter*>(f) != nullptr; }},
        {2, [](PtexFilter* f) { return dynamic_cast<PtexBoxFilter*>(f) != nullptr; }},
        {3, [](PtexFilter* f) { return dynamic_cast<PtexGaussianFilter*>(f) != nullptr; }},
        {4, [](PtexFilter* f) { return dynamic_cast<PtexBicubicFilter*>(f) != nullptr; }},
        {5, [](PtexFilter* f) { return dynamic_cast<PtexBicubicFilter*>(f) != nullptr; }},
        {6, [](PtexFilter* f) { return dynamic_cast<PtexBicubicFilter*>(f) != nullptr; }},
        {7, [](PtexFilter* f) { return dynamic_cast<PtexBicubicFilter*>(f) != nullptr; }},
        {-1, [](PtexFilter* f) { return dynamic_cast<PtexBoxFilter*>(f) != nullptr; }},
        {8, [](PtexFilter* f) { return dynamic_cast<PtexBoxFilter*>(f) != nullptr; }},
        {1000, [](PtexFilter* f) { return dynamic_cast<PtexBoxFilter*>(f) != nullptr; }},
    };
    for (const Row& r : rows) {
        PtexFilter* f = make(r.type);
        ASSERT_TRUE(f) << r.type;
        EXPECT_TRUE(r.check(f)) << "filter type " << r.type;
        f->release();
    }
    EXPECT_EQ(PtexFilter::getFilter(nullptr, PtexFilter::Options()), nullptr);
}

TEST_F(FilterQueryTest, PresetsEqualBicubicWithSharpness)
{
    TexHolder t(gridPath);
    ASSERT_TRUE(t.tex);
    const std::pair<PtexFilter::FilterType, float> presets[] = {
        {PtexFilter::f_bspline, 0.0f}, {PtexFilter::f_catmullrom, 1.0f}, {PtexFilter::f_mitchell, 2.0f / 3.0f}};
    for (auto [type, sharp] : presets) {
        PtexPtr<PtexFilter> a(PtexFilter::getFilter(t.tex, PtexFilter::Options(type)));
        PtexPtr<PtexFilter> b(PtexFilter::getFilter(t.tex, PtexFilter::Options(PtexFilter::f_bicubic, false, sharp)));
        for (float u = 0.03f; u < 1; u += 0.17f) {
            float ra[4], rb[4];
            a->eval(ra, 0, 4, 3, u, 1 - u, 0.05f, 0, 0, 0.07f);
            b->eval(rb, 0, 4, 3, u, 1 - u, 0.05f, 0, 0, 0.07f);
            for (int c = 0; c < 4; c++) EXPECT_EQ(ra[c], rb[c]);
        }
    }
}

TEST_F(FilterQueryTest, FactoryTableForTriangles)
{
    TexHolder t(triPath);
    ASSERT_TRUE(t.tex);
    for (PtexFilter::FilterType type : kAllTypes) {
        PtexPtr<PtexFilter> f(PtexFilter::getFilter(t.tex, PtexFilter::Options(type)));
        ASSERT_TRUE(f.get());
        if (type == PtexFilter::f_point)
            EXPECT_TRUE(dynamic_cast<PtexPointFilterTri*>(f.get()));
        else
            EXPECT_TRUE(dynamic_cast<PtexTriangleFilter*>(f.get()));
    }
}

TEST_F(FilterQueryTest, InvalidFaceOrChannelCountWritesNothing)
{
    for (const std::string* path : {&gridPath, &triPath}) {
        TexHolder t(*path);
        ASSERT_TRUE(t.tex);
        const int nch = t.tex->numChannels();
        for (PtexFilter::FilterType type : kAllTypes) {
            PtexPtr<PtexFilter> f(PtexFilter::getFilter(t.tex, PtexFilter::Options(type)));
            const int badFaces[] = {-1, -1000, t.tex->numFaces(), std::numeric_limits<int>::max()};
            for (int face : badFaces) {
                float r[8];
                for (float& x : r) x = kMark;
                f->eval(r, 0, nch, face, 0.5f, 0.5f, 0.1f, 0, 0, 0.1f);
                for (float x : r) EXPECT_EQ(x, kMark) << "type " << type << " face " << face;
            }
            for (int n : {0, -1, -100}) {
                float r[8];
                for (float& x : r) x = kMark;
                f->eval(r, 0, n, 0, 0.5f, 0.5f, 0.1f, 0, 0, 0.1f);
                for (float x : r) EXPECT_EQ(x, kMark) << "type " << type << " nchannels " << n;
            }
            float r[8];
            for (float& x : r) x = kMark;
            f->eval(r, -3, 2, 0, 0.5f, 0.5f, 0.1f, 0, 0, 0.1f);
            for (float x : r) EXPECT_EQ(x, kMark) << "type " << type << " negative firstchan";
        }
    }
}

TEST_F(FilterQueryTest, WritesOnlyChannelsOfTheFile)
{
    TexHolder t(gridPath);
    ASSERT_TRUE(t.tex);
    for (PtexFilter::FilterType type : kAllTypes) {
        PtexPtr<PtexFilter> f(PtexFilter::getFilter(t.tex, PtexFilter::Options(type)));
        for (int first = 0; first < 4; first++) {
            float r[16];
            for (float& x : r) x = kMark;
            f->eval(r, first, 10, 1, 0.3f, 0.6f, 0.02f, 0, 0, 0.02f);
            const int n = 4 - first;
            for (int c = 0; c < n; c++) {
                EXPECT_NE(r[c], kMark);
                EXPECT_GE(r[c], -1e-6f);
                EXPECT_LE(r[c], 1 + 1e-6f);
            }
            for (int c = n; c < 16; c++) {
                if (type == PtexFilter::f_point && c < 10)
                    EXPECT_EQ(r[c], 0.0f) << "point clears the whole request";
                else
                    EXPECT_EQ(r[c], kMark) << "type " << type << " first " << first << " element " << c;
            }
        }
    }
}

TEST_F(FilterQueryTest, SubsetOfChannelsMatchesFullEvaluation)
{
    TexHolder t(gridPath);
    ASSERT_TRUE(t.tex);
    for (PtexFilter::FilterType type : kAllTypes) {
        PtexPtr<PtexFilter> f(PtexFilter::getFilter(t.tex, PtexFilter::Options(type)));
        float full[4], part[2];
        f->eval(full, 0, 4, 2, 0.95f, 0.05f, 0.2f, 0.05f, -0.03f, 0.1f);
        f->eval(part, 1, 2, 2, 0.95f, 0.05f, 0.2f, 0.05f, -0.03f, 0.1f);
        EXPECT_FLOAT_EQ(part[0], full[1]);
        EXPECT_FLOAT_EQ(part[1], full[2]);
    }
}

TEST_F(FilterQueryTest, NonFiniteArgumentsGiveFiniteResults)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float bad[] = {nan, inf, -inf, 1e30f, -1e30f, 3.0f, -2.5f};
    for (const std::string* path : {&gridPath, &triPath}) {
        TexHolder t(*path);
        ASSERT_TRUE(t.tex);
        const int nch = t.tex->numChannels();
        for (PtexFilter::FilterType type : kAllTypes) {
            for (bool lerp : {false, true}) {
                PtexPtr<PtexFilter> f(PtexFilter::getFilter(t.tex, PtexFilter::Options(type, lerp, 0.5f)));
                for (float b : bad) {
                    const float args[][8] = {
                        {b, 0.5f, 0.1f, 0, 0, 0.1f, 1, 0},   {0.5f, b, 0.1f, 0, 0, 0.1f, 1, 0},
                        {0.5f, 0.5f, b, 0, 0, 0.1f, 1, 0},   {0.5f, 0.5f, 0.1f, b, b, 0.1f, 1, 0},
                        {0.5f, 0.5f, 0.1f, 0, 0, b, 1, 0},   {0.5f, 0.5f, 0.1f, 0, 0, 0.1f, b, 0},
                        {0.5f, 0.5f, 0.1f, 0, 0, 0.1f, 1, b}, {b, b, b, b, b, b, b, b},
                    };
                    for (const auto& a : args) {
                        float r[4];
                        for (float& x : r) x = kMark;
                        f->eval(r, 0, nch, 1, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
                        for (int c = 0; c < nch; c++) {
                            EXPECT_TRUE(std::isfinite(r[c])) << "type " << type << " value " << b;
                            EXPECT_NE(r[c], kMark);
                        }
                    }
                }
            }
        }
    }
}

TEST_F(FilterQueryTest, ConstantTextureGivesItsValueEverywhere)
{
    TexHolder t(constPath);
    ASSERT_TRUE(t.tex);
    for (PtexFilter::FilterType type : kAllTypes) {
        for (bool neb : {false, true}) {
            PtexPtr<PtexFilter> f(PtexFilter::getFilter(t.tex, PtexFilter::Options(type, true, 0.5f, neb)));
            for (float w : {0.0f, 0.01f, 0.3f, 2.0f}) {
                for (int face = 0; face < 4; face++) {
                    float r[3];
                    f->eval(r, 0, 3, face, 0.9f, 0.1f, w, 0, 0, w);
                    for (float x : r) EXPECT_NEAR(x, 200.0f / 255.0f, 1e-6f) << "type " << type << " w " << w;
                }
            }
        }
    }
}

TEST_F(FilterQueryTest, ShortOptionsStructIgnoresNoEdgeBlend)
{
    TexHolder t(gridPath);
    ASSERT_TRUE(t.tex);
    PtexFilter::Options blend(PtexFilter::f_box, false, 0, false);
    PtexFilter::Options neb(PtexFilter::f_box, false, 0, true);
    PtexFilter::Options oldNeb = neb;
    oldNeb.__structSize = int(offsetof(PtexFilter::Options, noedgeblend));
    PtexPtr<PtexFilter> a(PtexFilter::getFilter(t.tex, blend)), b(PtexFilter::getFilter(t.tex, neb)),
        c(PtexFilter::getFilter(t.tex, oldNeb));
    float ra[4], rb[4], rc[4];
    // near the edge to face 1, so blending matters
    a->eval(ra, 0, 4, 0, 0.99f, 0.5f, 0.2f, 0, 0, 0.2f);
    b->eval(rb, 0, 4, 0, 0.99f, 0.5f, 0.2f, 0, 0, 0.2f);
    c->eval(rc, 0, 4, 0, 0.99f, 0.5f, 0.2f, 0, 0, 0.2f);
    bool differ = false;
    for (int i = 0; i < 4; i++) {
        differ = differ || ra[i] != rb[i];
        EXPECT_EQ(ra[i], rc[i]);
    }
    EXPECT_TRUE(differ) << "noedgeblend should change a result next to an edge";
}

TEST_F(FilterQueryTest, BoxOverWholeGridIsTheMeanOfItsNeighbourhood)
{
    // A footprint of a whole face at the shared corner of the four faces reads
    // the same 1x1 level from all four: the result is their mean constant value.
    TexHolder t(gridPath);
    ASSERT_TRUE(t.tex);
    PtexPtr<PtexFilter> f(PtexFilter::getFilter(t.tex, PtexFilter::Options(PtexFilter::f_box)));
    float r[4];
    f->eval(r, 0, 4, 0, 1.0f, 1.0f, 1.0f, 0, 0, 1.0f);
    for (int c = 0; c < 4; c++) {
        float mean = 0;
        for (int face = 0; face < 4; face++) {
            float px[4];
            t.tex->getPixel(face, 0, 0, px, 0, 4, Ptex::Res(0, 0));
            mean += px[c] * 0.25f;
        }
        EXPECT_NEAR(r[c], mean, 1e-6f) << c;
    }
}

TEST_F(FilterQueryTest, PointFilterReadsTheTexelUnderThePoint)
{
    TexHolder t(gridPath);
    ASSERT_TRUE(t.tex);
    PtexPtr<PtexFilter> f(PtexFilter::getFilter(t.tex, PtexFilter::Options(PtexFilter::f_point)));
    for (int ui = 0; ui < 16; ui += 5)
        for (int vi = 0; vi < 8; vi += 3) {
            float r[4], px[4];
            f->eval(r, 0, 4, 3, (ui + 0.5f) / 16, (vi + 0.5f) / 8, 0, 0, 0, 0);
            t.tex->getPixel(3, ui, vi, px, 0, 4);
            for (int c = 0; c < 4; c++) EXPECT_EQ(r[c], px[c]);
        }
}

TEST_F(FilterQueryTest, TrianglePointFilterPicksEvenAndOddTexels)
{
    TexHolder t(triPath);
    ASSERT_TRUE(t.tex);
    PtexPtr<PtexFilter> f(PtexFilter::getFilter(t.tex, PtexFilter::Options(PtexFilter::f_point)));
    const int N = 8;
    float r[3], px[3];
    // cell (2, 3): lower-left part is the even texel, upper-right the odd one
    f->eval(r, 0, 3, 0, (2 + 0.2f) / N, (3 + 0.2f) / N, 0, 0, 0, 0);
    t.tex->getPixel(0, 2, 3, px, 0, 3);
    for (int c = 0; c < 3; c++) EXPECT_EQ(r[c], px[c]);
    f->eval(r, 0, 3, 0, (2 + 0.7f) / N, (3 + 0.7f) / N, 0, 0, 0, 0);
    t.tex->getPixel(0, N - 1 - 3, N - 1 - 2, px, 0, 3);
    for (int c = 0; c < 3; c++) EXPECT_EQ(r[c], px[c]);
}

TEST_F(FilterQueryTest, TriangleFilterStaysWithinTheDataRange)
{
    TexHolder t(triPath);
    ASSERT_TRUE(t.tex);
    PtexPtr<PtexFilter> f(PtexFilter::getFilter(t.tex, PtexFilter::Options(PtexFilter::f_gaussian)));
    for (float w : {0.0f, 0.01f, 0.1f, 0.5f, 3.0f})
        for (float u = 0; u <= 1; u += 0.25f)
            for (float v = 0; u + v <= 1; v += 0.25f) {
                float r[3];
                f->eval(r, 0, 3, 1, u, v, w, 0, 0, w);
                for (float x : r) {
                    EXPECT_GE(x, 0.0f);
                    EXPECT_LE(x, 1.0f);
                }
            }
}

TEST(FilterHostileFiles, ScrambledAdjacencyNeverCrashes)
{
    for (Ptex::MeshType mt : {Ptex::mt_quad, Ptex::mt_triangle}) {
        for (uint32_t seed = 1; seed <= 6; seed++) {
            std::string path = FiltersTest::writeScrambled("scrambled.ptx", mt, 12, seed);
            if (path.empty()) GTEST_SKIP() << "could not write test texture";
            TexHolder t(path);
            ASSERT_TRUE(t.tex);
            uint32_t s = seed * 7919u;
            auto rf = [&s]() {
                s = s * 1664525u + 1013904223u;
                return float(s >> 8) / float(1 << 24);
            };
            for (PtexFilter::FilterType type : kAllTypes) {
                for (int opt = 0; opt < 4; opt++) {
                    PtexPtr<PtexFilter> f(
                        PtexFilter::getFilter(t.tex, PtexFilter::Options(type, opt & 1, 0.7f, (opt & 2) != 0)));
                    for (int q = 0; q < 200; q++) {
                        const float w = std::exp2(-8 * rf()) * (q % 5 == 0 ? 6.0f : 1.0f);
                        float r[2] = {kMark, kMark};
                        f->eval(r, 0, 2, q % 12, rf() * 1.2f - 0.1f, rf() * 1.2f - 0.1f, w * rf(), w * (rf() - 0.5f),
                                w * (rf() - 0.5f), w * rf(), 1.0f, q % 3 == 0 ? 0.1f * rf() : 0.0f);
                        for (float x : r) EXPECT_FALSE(std::isnan(x) && type == PtexFilter::f_point);
                    }
                }
            }
            std::remove(path.c_str());
        }
    }
}

}  // namespace
