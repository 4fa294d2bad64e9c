// Mitchell filter on the golden files: values on both sides of every edge
// between faces of different resolution agree (compared with the library's
// bicubic filter at the same sharpness), integer data stays in [0, 1], and the
// tiled file is read consistently.
#include "filters/PtexMitchellFilter.h"
#include "mitchell_util.h"

#include <cstdio>

using namespace mtest;

namespace {

const char* kQuadFiles[] = {"cube_rgb8.ptx",  "cube_half.ptx",   "cube_tanvec_f32.ptx", "grid_5ch_u16.ptx",
                            "grid_f32.ptx",   "grid_rgba8.ptx",  "grid_nomip_rgb8.ptx", "mixed_rgb8.ptx",
                            "tiled_rgba8.ptx", "val5_gray_f32.ptx", "val5_u16.ptx",     "edits_rgb8.ptx"};

std::string goldenDir() { return std::string(ZENTO_TESTDATA_DIR) + "/ptex"; }

bool haveGolden() { return std::filesystem::exists(goldenDir() + "/cube_rgb8.ptx"); }

// Point at parameter t along edge e of a face (from corner e to corner e + 1).
void edgePoint(int e, float t, float& u, float& v)
{
    switch (e) {
    case 0: u = t; v = 0; break;
    case 1: u = 1; v = t; break;
    case 2: u = 1 - t; v = 1; break;
    default: u = 0; v = 1 - t; break;
    }
}

struct Jumps {
    double mitchell = 0, bicubic = 0;
    int edges = 0;
};

// Largest difference of the values at the same points of the shared edges
// between faces of different resolution, away from the corners, where both
// faces have at least 8 texels across the edge direction and 4 along it.
Jumps edgeJumps(PtexTexture* tx, float sharpness)
{
    Jumps j;
    PtexFilter* m = PtexFilter::getFilter(tx, PtexFilter::Options(PtexFilter::FilterType(-1), false, sharpness));
    PtexFilter* b = PtexFilter::getFilter(tx, PtexFilter::Options(PtexFilter::f_bicubic, false, sharpness));
    const int nc = tx->numChannels();
    std::vector<float> r1(nc), r2(nc);
    for (int f = 0; f < tx->numFaces(); ++f) {
        const Ptex::FaceInfo& fi = tx->getFaceInfo(f);
        for (int e = 0; e < 4; ++e) {
            const int n = fi.adjfaces[e];
            if (n < 0) continue;
            const Ptex::FaceInfo& ni = tx->getFaceInfo(n);
            const int a = fi.adjedge(e);
            // Resolution along and across the edge, for both faces.
            auto along = [](const Ptex::FaceInfo& x, int edge) { return (edge & 1) ? x.res.vlog2 : x.res.ulog2; };
            auto across = [](const Ptex::FaceInfo& x, int edge) { return (edge & 1) ? x.res.ulog2 : x.res.vlog2; };
            if (along(fi, e) == along(ni, a) && across(fi, e) == across(ni, a)) continue;
            if (std::min(along(fi, e), along(ni, a)) < 3 || std::min(across(fi, e), across(ni, a)) < 2) continue;
            if (fi.isSubface() != ni.isSubface()) continue;  // sub-face edges meet a half edge
            ++j.edges;
            for (float t : {0.35f, 0.45f, 0.5f, 0.55f, 0.65f}) {
                float u1, v1, u2, v2;
                edgePoint(e, t, u1, v1);
                edgePoint(a, 1 - t, u2, v2);  // the neighbour runs the edge the other way
                for (PtexFilter* filter : {m, b}) {
                    filter->eval(r1.data(), 0, nc, f, u1, v1, 0, 0, 0, 0);
                    filter->eval(r2.data(), 0, nc, n, u2, v2, 0, 0, 0, 0);
                    double& worst = filter == m ? j.mitchell : j.bicubic;
                    for (int c = 0; c < nc; ++c) worst = std::max(worst, double(std::fabs(r1[c] - r2[c])));
                }
            }
        }
    }
    m->release();
    b->release();
    return j;
}

}  // namespace

TEST(MitchellGolden, ContinuousAcrossResolutionChanges)
{
    if (!haveGolden()) GTEST_SKIP() << "golden Ptex files not found in " << goldenDir();
    double worstM = 0, worstB = 0;
    int edges = 0;
    for (const char* name : kQuadFiles) {
        Ptex::String err;
        PtexTexture* tx = PtexTexture::open((goldenDir() + "/" + name).c_str(), err);
        ASSERT_NE(tx, nullptr) << name << ": " << err;
        double fileM = 0, fileB = 0;
        for (float sharp : {0.0f, 2.0f / 3.0f, 1.0f}) {
            Jumps j = edgeJumps(tx, sharp);
            fileM = std::max(fileM, j.mitchell);
            fileB = std::max(fileB, j.bicubic);
            EXPECT_LT(j.mitchell, 2e-5) << name << " sharpness " << sharp;
            worstM = std::max(worstM, j.mitchell);
            worstB = std::max(worstB, j.bicubic);
            edges += j.edges;
        }
        std::printf("  %-22s largest jump mitchell %.3g, library bicubic %.3g\n", name, fileM, fileB);
        tx->release();
    }
    EXPECT_GT(edges, 0);
    EXPECT_LT(worstM, worstB);
    std::printf("edges %d: largest jump mitchell %.3g, library bicubic %.3g\n", edges, worstM, worstB);
    RecordProperty("mitchell_jump", std::to_string(worstM));
    RecordProperty("bicubic_jump", std::to_string(worstB));
}

TEST(MitchellGolden, IntegerDataStaysInTheUnitRangeAndWeightsAreExact)
{
    if (!haveGolden()) GTEST_SKIP() << "golden Ptex files not found in " << goldenDir();
    for (const char* name : kQuadFiles) {
        Ptex::String err;
        PtexTexture* tx = PtexTexture::open((goldenDir() + "/" + name).c_str(), err);
        ASSERT_NE(tx, nullptr) << name << ": " << err;
        const bool integer = tx->dataType() == Ptex::dt_uint8 || tx->dataType() == Ptex::dt_uint16;
        PtexFilter* f = PtexFilter::getFilter(tx, PtexFilter::Options(PtexFilter::FilterType(-1), false, 0.0f));
        const int nc = tx->numChannels();
        std::vector<float> r(nc);
        uint32_t seed = 5;
        auto rnd = [&] { return float((seed = seed * 1664525u + 1013904223u) >> 8) / 16777216.0f; };
        for (int i = 0; i < 2000; ++i) {
            int face = int(rnd() * tx->numFaces()) % tx->numFaces();
            float w = rnd() * rnd() * 0.4f;
            f->eval(r.data(), 0, nc, face, rnd(), rnd(), w, 0, 0, w);
            for (int c = 0; c < nc; ++c) {
                ASSERT_TRUE(std::isfinite(r[c])) << name;
                if (integer) {
                    EXPECT_GE(r[c], 0.0f) << name;
                    EXPECT_LE(r[c], 1.0f) << name;
                }
            }
        }
        f->release();
        tx->release();
    }
}

TEST(MitchellGolden, TiledFileAgreesWithDirectComputation)
{
    if (!haveGolden()) GTEST_SKIP() << "golden Ptex files not found in " << goldenDir();
    Ptex::String err;
    PtexTexture* tx = PtexTexture::open((goldenDir() + "/tiled_rgba8.ptx").c_str(), err);
    ASSERT_NE(tx, nullptr) << err;
    bool anyTiled = false;
    for (int f = 0; f < tx->numFaces(); ++f) {
        PtexFaceData* d = tx->getData(f);
        anyTiled |= d->isTiled();
        d->release();
    }
    ASSERT_TRUE(anyTiled);
    // Inside the faces (no blend, no edge crossing) the full-resolution kernel
    // reads tiles where the face is tiled: compare with a direct computation.
    PtexFilter* a = PtexFilter::getFilter(tx, PtexFilter::Options(PtexFilter::FilterType(-1), false, 0.5f));
    uint32_t seed = 3;
    auto rnd = [&] { return float((seed = seed * 1664525u + 1013904223u) >> 8) / 16777216.0f; };
    const int nc = tx->numChannels();
    std::vector<float> ra(nc);
    int checked = 0;
    for (int face = 0; face < tx->numFaces(); ++face) {
        const Ptex::Res res = tx->getFaceInfo(face).res;
        if (res.ulog2 < 5 || res.vlog2 < 5) continue;
        FaceImage img = readFace(tx, face, res);
        for (int i = 0; i < 200; ++i) {
            float u = 0.1f + 0.8f * rnd(), v = 0.1f + 0.8f * rnd();
            if (i < 4) u = 0.5f + 0.25f * (i - 1.5f) / res.u();  // around the middle (tile seams)
            a->eval(ra.data(), 0, nc, face, u, v, 0, 0, 0, 0);
            for (int c = 0; c < nc; ++c) {
                double ref = directKernel(u, v, res.u(), res.v(), 1.0, 1.0, 0.5f, [&](int x, int y) {
                    return img.at(clampi(x, 0, img.W - 1), clampi(y, 0, img.H - 1), c);
                });
                EXPECT_NEAR(ra[c], ref, 2e-6) << face << " " << u << " " << v;
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
    a->release();
    tx->release();
}
