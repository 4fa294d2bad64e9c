// Standard filters beyond the golden tables: bad queries, channel ranges,
// non-finite arguments, short Options structs, scrambled adjacency (written per
// process into a private scratch directory: parallel test processes must not
// share files).
#include "PtexFilters.h"
#include "ptex_test_util.h"

#include <cmath>
#include <cstddef>
#include <limits>

using namespace PtexTest;

namespace {

const float kMark = -12345.0f;
const PtexFilter::FilterType kAllTypes[] = {PtexFilter::f_point,      PtexFilter::f_bilinear,
                                            PtexFilter::f_box,        PtexFilter::f_gaussian,
                                            PtexFilter::f_bicubic,    PtexFilter::f_bspline,
                                            PtexFilter::f_catmullrom, PtexFilter::f_mitchell};

// 12 uint8 faces with random resolutions, random (often inconsistent)
// adjacency, self-references, subface flags and constant faces.
std::string writeScrambled(const std::string& path, Ptex::MeshType mt, uint32_t seed) {
    Ptex::String err;
    PtexWriter* w = PtexWriter::open(path.c_str(), mt, Ptex::dt_uint8, 2, -1, 12, err);
    if (!w) return std::string();
    Rng rng{seed};
    const uint32_t nedges = mt == Ptex::mt_quad ? 4 : 3;
    for (int f = 0; f < 12; f++) {
        int faces[4] = {-1, -1, -1, -1}, edges[4] = {0, 0, 0, 0};
        for (uint32_t e = 0; e < nedges; e++)
            faces[e] = rng.next() % 5 == 0 ? -1 : int(rng.next() % 12),
            edges[e] = int(rng.next() % nedges);
        const int ul = int(rng.next() % 6), vl = mt == Ptex::mt_quad ? int(rng.next() % 6) : ul;
        Ptex::FaceInfo info(Ptex::Res{int8_t(ul), int8_t(vl)}, faces, edges,
                            nedges == 4 && rng.next() % 3 == 0);
        Bytes data(size_t(2) << (ul + vl));
        for (uint8_t& b : data) b = uint8_t(rng.next());
        rng.next() % 7 == 0 ? w->writeConstantFace(f, info, data.data())
                            : w->writeFace(f, info, data.data());
    }
    const bool ok = w->close(err);
    w->release();
    return ok ? path : std::string();
}

// A quad mesh with 4 channels and a triangle mesh with 3 (golden files).
class FilterQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveGolden()) GTEST_SKIP() << "golden Ptex data not found in " << goldenDir();
        Ptex::String err;
        for (int i = 0; i < 2; i++) {
            tex[i].reset(PtexTexture::open(
                (goldenDir() + (i ? "/ico_rgb8.ptx" : "/grid_rgba8.ptx")).c_str(), err));
            ASSERT_TRUE(tex[i]) << err;
        }
    }
    PtexPtr<PtexTexture> tex[2];
};

TEST_F(FilterQueryTest, BadQueriesWriteNothingAndChannelRangesStayInTheFile) {
    for (PtexTexture* t : {tex[0].get(), tex[1].get()})
        for (PtexFilter::FilterType type : kAllTypes) {
            PtexPtr<PtexFilter> f(PtexFilter::getFilter(t, PtexFilter::Options(type)));
            const int nch = t->numChannels(), big = std::numeric_limits<int>::max();
            // face, first channel, channels
            const int bad[][3] = {{-1, 0, nch},  {-1000, 0, nch}, {t->numFaces(), 0, nch},
                                  {big, 0, nch}, {0, 0, 0},       {0, 0, -1},
                                  {0, 0, -100},  {0, -3, 2}};
            for (const auto& q : bad) {
                float r[8];
                std::fill(r, r + 8, kMark);
                f->eval(r, q[1], q[2], q[0], 0.5f, 0.5f, 0.1f, 0, 0, 0.1f);
                EXPECT_EQ(std::vector<float>(r, r + 8), std::vector<float>(8, kMark))
                    << "type " << type << " face " << q[0] << " channels " << q[1] << "+" << q[2];
            }
            float full[4];
            f->eval(full, 0, nch, 1, 0.95f, 0.05f, 0.2f, 0.05f, -0.03f, 0.1f);
            for (int first = 0; first < nch; first++) {
                float r[16];
                std::fill(r, r + 16, kMark);
                f->eval(r, first, 10, 1, 0.95f, 0.05f, 0.2f, 0.05f, -0.03f, 0.1f);
                for (int c = 0; c < 16; c++)  // the point filter clears the whole request
                    EXPECT_FLOAT_EQ(r[c], c < nch - first                         ? full[first + c]
                                          : type == PtexFilter::f_point && c < 10 ? 0.0f
                                                                                  : kMark)
                        << "type " << type << " first " << first << " element " << c;
            }
        }
}

TEST_F(FilterQueryTest, NonFiniteArgumentsGiveFiniteResults) {
    const float inf = std::numeric_limits<float>::infinity();
    for (PtexTexture* t : {tex[0].get(), tex[1].get()})
        for (PtexFilter::FilterType type : kAllTypes)
            for (bool lerp : {false, true}) {
                PtexPtr<PtexFilter> f(
                    PtexFilter::getFilter(t, PtexFilter::Options(type, lerp, 0.5f)));
                for (float b : {std::numeric_limits<float>::quiet_NaN(), inf, -inf, 1e30f, -1e30f,
                                3.0f, -2.5f})
                    for (int arg = 0; arg <= 8; arg++) {  // one argument bad, then all of them
                        float a[8] = {0.5f, 0.5f, 0.1f, 0, 0, 0.1f, 1, 0};
                        for (int k = 0; k < 8; k++)
                            if (k == arg || arg == 8) a[k] = b;
                        float r[4] = {kMark, kMark, kMark, kMark};
                        f->eval(r, 0, t->numChannels(), 1, a[0], a[1], a[2], a[3], a[4], a[5], a[6],
                                a[7]);
                        for (int c = 0; c < t->numChannels(); c++)
                            EXPECT_TRUE(std::isfinite(r[c]) && r[c] != kMark)
                                << "type " << type << " argument " << arg << " = " << b;
                    }
            }
}

TEST_F(FilterQueryTest, ShortOptionsStructIgnoresNoEdgeBlend) {
    PtexFilter::Options blend(PtexFilter::f_box, false, 0, false),
        neb(PtexFilter::f_box, false, 0, true), oldNeb = neb;
    oldNeb.__structSize =
        int(offsetof(PtexFilter::Options, noedgeblend));  // a caller built before the field existed
    float r[3][4];
    int i = 0;
    for (const PtexFilter::Options* o : {&blend, &neb, &oldNeb}) {
        PtexPtr<PtexFilter> f(PtexFilter::getFilter(tex[0], *o));
        f->eval(r[i++], 0, 4, 0, 0.99f, 0.5f, 0.2f, 0, 0,
                0.2f);  // next to the edge to face 1: blending matters
    }
    EXPECT_NE(std::vector<float>(r[0], r[0] + 4), std::vector<float>(r[1], r[1] + 4))
        << "noedgeblend should change a result next to an edge";
    EXPECT_EQ(std::vector<float>(r[0], r[0] + 4), std::vector<float>(r[2], r[2] + 4));
}

TEST(FilterHostileFiles, ScrambledAdjacencyNeverCrashes) {
    ScratchDir dir;
    for (Ptex::MeshType mt : {Ptex::mt_quad, Ptex::mt_triangle})
        for (uint32_t seed = 1; seed <= 6; seed++) {
            const std::string path = writeScrambled(dir.file("scrambled.ptx"), mt, seed);
            ASSERT_FALSE(path.empty());
            Ptex::String err;
            PtexPtr<PtexTexture> t(PtexTexture::open(path.c_str(), err));
            ASSERT_TRUE(t) << err;
            Rng rng{seed * 7919u};
            for (PtexFilter::FilterType type : kAllTypes)
                for (int opt = 0; opt < 4; opt++) {
                    PtexPtr<PtexFilter> f(PtexFilter::getFilter(
                        t, PtexFilter::Options(type, opt & 1, 0.7f, (opt & 2) != 0)));
                    for (int q = 0; q < 200; q++) {
                        const float w = std::exp2(-8 * rng.unit()) * (q % 5 == 0 ? 6.0f : 1.0f);
                        float r[2] = {kMark, kMark};
                        f->eval(r, 0, 2, q % 12, rng.unit() * 1.2f - 0.1f, rng.unit() * 1.2f - 0.1f,
                                w * rng.unit(), w * (rng.unit() - 0.5f), w * (rng.unit() - 0.5f),
                                w * rng.unit(), 1.0f, q % 3 == 0 ? 0.1f * rng.unit() : 0.0f);
                        EXPECT_FALSE(std::isnan(r[0]) || std::isnan(r[1]));
                    }
                }
        }
}

}  // namespace

namespace {
int g_made = 0;
PtexFilter* countingBox(PtexTexture* tx, const PtexFilter::Options& opts) {
    ++g_made;
    return new PtexBoxFilter(tx, opts);
}
PtexFilter* noFilter(PtexTexture*, const PtexFilter::Options&) {
    return nullptr;
}
}  // namespace

// The factory's extension point: a registered type answers ahead of the
// standard table for its mesh type only; a pair keeps its first maker; the
// table holds kMaxFilterTypes pairs.
TEST_F(FilterQueryTest, RegisteredFilterTypes) {
    const auto type = PtexFilter::FilterType(100);
    EXPECT_FALSE(PtexFilter::registerFilterType(100, Ptex::mt_quad, nullptr));
    ASSERT_TRUE(PtexFilter::registerFilterType(100, Ptex::mt_quad, &countingBox));
    EXPECT_TRUE(PtexFilter::registerFilterType(100, Ptex::mt_quad, &countingBox));
    EXPECT_FALSE(PtexFilter::registerFilterType(100, Ptex::mt_quad, &noFilter));
    PtexPtr<PtexFilter> quad(PtexFilter::getFilter(tex[0], PtexFilter::Options(type)));
    PtexPtr<PtexFilter> tri(PtexFilter::getFilter(tex[1], PtexFilter::Options(type)));
    EXPECT_EQ(g_made, 1);
    EXPECT_NE(dynamic_cast<PtexBoxFilter*>(quad.get()), nullptr);
    EXPECT_NE(dynamic_cast<PtexTriangleFilter*>(tri.get()), nullptr);  // the standard table
    ASSERT_TRUE(PtexFilter::registerFilterType(101, Ptex::mt_quad, &noFilter));
    EXPECT_EQ(PtexFilter::getFilter(tex[0], PtexFilter::Options(PtexFilter::FilterType(101))),
              nullptr);
    int added = 0;
    while (PtexFilter::registerFilterType(200 + added, Ptex::mt_triangle, &noFilter)) ++added;
    EXPECT_LE(added, PtexFilter::kMaxFilterTypes - 2);
    EXPECT_FALSE(PtexFilter::registerFilterType(300, Ptex::mt_quad, &countingBox));  // full
    EXPECT_TRUE(PtexFilter::registerFilterType(100, Ptex::mt_quad, &countingBox));
}
