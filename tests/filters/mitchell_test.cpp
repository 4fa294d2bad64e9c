// Mitchell filter: factory table, level choice, neighbour analysis, constant
// neighbourhoods, and agreement with a direct kernel computation on small files
// (boundaries, same-res neighbours, quarter turns, valence-4 and valence-3
// corners, coarser neighbours, tiles, every data type).
#include "filters/PtexMitchellFilter.h"
#include "mitchell_util.h"

#include <PtexHalf.h>

#include <memory>

using namespace mtest;

namespace {

// Exposes the per-evaluation state for inspection.
class Probe : public PtexMitchellFilter {
public:
    using PtexMitchellFilter::PtexMitchellFilter;
    ~Probe() override {}
    Res mainRes() const { return mainLookup.res; }
    float widthU() const { return uWidth; }
    float widthV() const { return vWidth; }
    const FaceLookup& uN() const { return uNeighbor; }
    const FaceLookup& vN() const { return vNeighbor; }
    const FaceLookup& cN() const { return cornerNeighbor; }
    bool reached() const { return cornerReached; }
    bool constant() const { return isConstant; }
    double blendU() const { return uBlend; }
};

struct Tex {
    PtexTexture* tx = nullptr;
    explicit Tex(const std::string& path)
    {
        Ptex::String err;
        tx = PtexTexture::open(path.c_str(), err);
        EXPECT_NE(tx, nullptr) << err;
    }
    ~Tex()
    {
        if (tx) tx->release();
    }
    PtexTexture* operator->() const { return tx; }
    operator PtexTexture*() const { return tx; }
};

float eval1(PtexFilter* f, int face, float u, float v, float uw = 0, float vw = 0, int chan = 0)
{
    float r[4] = {0, 0, 0, 0};
    f->eval(r, chan, 1, face, u, v, uw, 0, 0, vw);
    return r[0];
}

// Two channels: channel 0 is 1 everywhere (weight-sum probe), channel 1 varies
// so that no face is stored as constant.
double onesAndPattern(int face, int x, int y, int c, Ptex::Res r) { return c == 0 ? 1.0 : pattern(face, x, y, 0, r); }

std::string writeSimple(const TempDir& d, const std::string& name, const std::vector<Ptex::FaceInfo>& faces,
                        Ptex::DataType dt = Ptex::dt_float, int nchan = 2, const TexelFn& fn = onesAndPattern)
{
    std::string path = d.file(name);
    std::string err = writeTexture(path, dt, nchan, faces, fn);
    EXPECT_EQ(err, "");
    return path;
}

}  // namespace

// ---------------------------------------------------------------- factory

TEST(MitchellFactory, TypeTableOnQuadAndTriangleTextures)
{
    TempDir d;
    auto quad = writeSimple(d, "q.ptx", quadAdjacency(gridQuads(1, 1), {Ptex::Res(3, 3)}));
    std::vector<Ptex::FaceInfo> tri = {Ptex::FaceInfo(Ptex::Res(3, 3))};
    std::string triPath = d.file("t.ptx");
    ASSERT_EQ(writeTexture(triPath, Ptex::dt_uint8, 1, tri, pattern, {}, Ptex::mt_triangle), "");
    Tex q(quad), t(triPath);
    ASSERT_TRUE(q.tx && t.tx);

    auto make = [](PtexTexture* tx, int type, float sharp = 0.3f) {
        PtexFilter::Options o(PtexFilter::FilterType(type), false, sharp);
        return std::unique_ptr<PtexFilter, void (*)(PtexFilter*)>(PtexFilter::getFilter(tx, o),
                                                                  [](PtexFilter* f) {
                                                                      if (f) f->release();
                                                                  });
    };
    {
        auto f = make(q, -1, 0.3f);
        auto* m = dynamic_cast<PtexMitchellFilter*>(f.get());
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->getSharpness(), 0.3f);
    }
    EXPECT_NE(dynamic_cast<PtexPointFilter*>(make(q, 0).get()), nullptr);
    EXPECT_NE(dynamic_cast<PtexBilinearFilter*>(make(q, 1).get()), nullptr);
    EXPECT_NE(dynamic_cast<PtexBoxFilter*>(make(q, 2).get()), nullptr);
    EXPECT_NE(dynamic_cast<PtexGaussianFilter*>(make(q, 3).get()), nullptr);
    for (int type : {4, 5, 6, 7}) EXPECT_NE(dynamic_cast<PtexBicubicFilter*>(make(q, type).get()), nullptr) << type;
    for (int type : {8, -2, 1000}) EXPECT_NE(dynamic_cast<PtexBoxFilter*>(make(q, type).get()), nullptr) << type;
    EXPECT_EQ(dynamic_cast<PtexMitchellFilter*>(make(q, 7).get()), nullptr);

    EXPECT_NE(dynamic_cast<PtexPointFilterTri*>(make(t, 0).get()), nullptr);
    for (int type : {-1, 1, 2, 3, 4, 5, 6, 7, 8, -2})
        EXPECT_NE(dynamic_cast<PtexTriangleFilter*>(make(t, type).get()), nullptr) << type;
    EXPECT_EQ(PtexFilter::getFilter(nullptr, PtexFilter::Options(PtexFilter::FilterType(-1))), nullptr);
}

TEST(MitchellFactory, BicubicTypesEvaluateLikeTheLibrary)
{
    TempDir d;
    auto quad = writeSimple(d, "q.ptx", quadAdjacency(gridQuads(2, 1), {Ptex::Res(4, 4), Ptex::Res(3, 4)}));
    Tex q(quad);
    ASSERT_TRUE(q.tx);
    const std::pair<int, float> cases[] = {{4, 0.4f}, {5, 0.0f}, {6, 1.0f}, {7, 2.0f / 3.0f}};
    for (auto [type, sharp] : cases) {
        PtexFilter::Options o(PtexFilter::FilterType(type), false, 0.4f);
        PtexFilter* ours = PtexFilter::getFilter(q, o);
        PtexFilter* lib = new PtexBicubicFilter(q, o, sharp);
        float a[2], b[2];
        ours->eval(a, 0, 2, 0, 0.93f, 0.4f, 0.05f, 0, 0, 0.05f);
        lib->eval(b, 0, 2, 0, 0.93f, 0.4f, 0.05f, 0, 0, 0.05f);
        EXPECT_EQ(a[1], b[1]) << type;
        ours->release();
        lib->release();
    }
}

// ---------------------------------------------------------------- level choice

TEST(MitchellLevel, ZeroFootprintIsFullResolution)
{
    TempDir d;
    auto path = writeSimple(d, "a.ptx", quadAdjacency(gridQuads(1, 1), {Ptex::Res(5, 4)}));
    Tex t(path);
    ASSERT_TRUE(t.tx);
    Probe p(t, 0.5f);
    float r[2];
    p.eval(r, 0, 2, 0, 0.4f, 0.6f, 0, 0, 0, 0, 1, 0);
    EXPECT_EQ(p.mainRes(), Ptex::Res(5, 4));
    EXPECT_EQ(p.widthU(), 1.0f / 32);
    EXPECT_EQ(p.widthV(), 1.0f / 16);
}

TEST(MitchellLevel, WideFootprintIsFourTexelLevel)
{
    TempDir d;
    auto path = writeSimple(d, "a.ptx", quadAdjacency(gridQuads(1, 1), {Ptex::Res(6, 5)}));
    Tex t(path);
    ASSERT_TRUE(t.tx);
    Probe p(t, 0.5f);
    float r[2];
    for (float w : {0.25f, 0.3f, 1.0f, 1e30f}) {
        p.eval(r, 0, 2, 0, 0.5f, 0.5f, w, 0, 0, w);
        EXPECT_EQ(p.mainRes(), Ptex::Res(2, 2)) << w;
        EXPECT_EQ(p.widthU(), 0.25f);
    }
    // width and blur enter before the clamps: 0.01 * 4 + 0.01 = 0.05 -> level 5.
    p.eval(r, 0, 2, 0, 0.5f, 0.5f, 0.01f, 0, 0, 0.01f, 4.0f, 0.01f);
    EXPECT_EQ(p.mainRes(), Ptex::Res(5, 5));
    // Footprint vectors add their absolute components.
    p.eval(r, 0, 2, 0, 0.5f, 0.5f, -0.1f, 0.0f, 0.2f, -0.3f);
    EXPECT_EQ(p.mainRes(), Ptex::Res(2, 2));
    EXPECT_FLOAT_EQ(p.widthV(), 0.25f);
}

TEST(MitchellNeighbors, HalfCountsAsTheFarEdgeAndOutsideClamps)
{
    TempDir d;
    auto path = writeSimple(d, "g.ptx", quadAdjacency(gridQuads(3, 3), std::vector<Ptex::Res>(9, Ptex::Res(4, 4))));
    Tex t(path);
    ASSERT_TRUE(t.tx);
    Probe p(t, 0.5f);
    float r[2];
    p.eval(r, 0, 2, 4, 0.5f, 0.5f, 0, 0, 0, 0);
    EXPECT_EQ(p.uN().faceId, 5);  // edge 1
    EXPECT_EQ(p.vN().faceId, 7);  // edge 2
    EXPECT_FALSE(p.uN().valid);   // 8 texels from the edge: no blend
    p.eval(r, 0, 2, 4, 0.4999f, 0.4999f, 0, 0, 0, 0);
    EXPECT_EQ(p.uN().faceId, 3);
    EXPECT_EQ(p.vN().faceId, 1);
    // u = -0.3 is u = 0; u = 1.7 is u = 1.
    float a[2], b[2];
    p.eval(a, 0, 2, 4, -0.3f, 0.2f, 0, 0, 0, 0);
    p.eval(b, 0, 2, 4, 0.0f, 0.2f, 0, 0, 0, 0);
    EXPECT_EQ(a[1], b[1]);
    p.eval(a, 0, 2, 4, 1.7f, 0.2f, 0, 0, 0, 0);
    p.eval(b, 0, 2, 4, 1.0f, 0.2f, 0, 0, 0, 0);
    EXPECT_EQ(a[1], b[1]);
    // Near an edge to a same-res neighbour the blend weight is positive but the
    // neighbour is not coarser.
    p.eval(a, 0, 2, 4, 0.97f, 0.5f, 0, 0, 0, 0);
    EXPECT_TRUE(p.uN().valid);
    EXPECT_FALSE(p.uN().lowerRes);
    EXPECT_GT(p.blendU(), 0.0);
}

// ---------------------------------------------------------------- constant data

TEST(MitchellConstant, ConstantNeighbourhoodGivesTheExactValue)
{
    for (Ptex::DataType dt : {Ptex::dt_uint8, Ptex::dt_uint16, Ptex::dt_half, Ptex::dt_float}) {
        TempDir d;
        auto faces = quadAdjacency(gridQuads(2, 2), std::vector<Ptex::Res>(4, Ptex::Res(4, 3)));
        const double value = 0.7123;
        std::string path = d.file("c.ptx");
        ASSERT_EQ(writeTexture(path, dt, 3, faces, [&](int, int, int, int c, Ptex::Res) { return value - 0.1 * c; },
                               {true, true, true, true}),
                  "");
        Tex t(path);
        ASSERT_TRUE(t.tx);
        PtexFaceData* data = t->getData(0, Ptex::Res(0, 0));
        float expect[3];
        Ptex::ConvertToFloat(expect, data->getData(), dt, 3);
        data->release();
        Probe p(t, 1.0f);
        for (auto [u, v] : {std::pair{0.99f, 0.99f}, {0.5f, 0.5f}, {0.0f, 0.98f}, {0.3f, 0.01f}}) {
            float r[3];
            p.eval(r, 0, 3, 0, u, v, 0, 0, 0, 0);
            EXPECT_TRUE(p.constant());
            for (int c = 0; c < 3; ++c) EXPECT_EQ(r[c], expect[c]) << dt << " " << u << " " << v;
            p.eval(r, 1, 2, 3, u, v, 0.1f, 0, 0, 0.1f);
            EXPECT_EQ(r[0], expect[1]);
            EXPECT_EQ(r[1], expect[2]);
        }
    }
}

TEST(MitchellConstant, DifferentConstantNeighbourBlends)
{
    TempDir d;
    auto faces = quadAdjacency(gridQuads(2, 1), {Ptex::Res(4, 4), Ptex::Res(4, 4)});
    std::string path = d.file("c.ptx");
    ASSERT_EQ(writeTexture(path, Ptex::dt_float, 1, faces,
                           [](int f, int, int, int, Ptex::Res) { return f == 0 ? 0.2 : 0.6; }, {true, true}),
              "");
    Tex t(path);
    ASSERT_TRUE(t.tx);
    Probe p(t, 0.5f);
    float r[1];
    p.eval(r, 0, 1, 0, 1.0f, 0.5f, 0, 0, 0, 0);
    EXPECT_FALSE(p.constant());
    EXPECT_NEAR(r[0], 0.4f, 1e-6);  // the edge between 0.2 and 0.6 (symmetric kernel)
    p.eval(r, 0, 1, 0, 0.3f, 0.5f, 0, 0, 0, 0);
    EXPECT_TRUE(p.constant());  // far from the neighbour: no blend
    EXPECT_EQ(r[0], 0.2f);
}

// ---------------------------------------------------------------- direct computation

TEST(MitchellDirect, SingleFaceFoldsAtTheBoundary)
{
    TempDir d;
    auto path = writeSimple(d, "s.ptx", quadAdjacency(gridQuads(1, 1), {Ptex::Res(4, 3)}));
    Tex t(path);
    ASSERT_TRUE(t.tx);
    for (float sharp : {0.0f, 2.0f / 3.0f, 1.0f}) {
        PtexMitchellFilter* f = new PtexMitchellFilter(t, sharp);
        for (float fw : {0.0f, 0.1f, 0.2f}) {
            for (float u : {0.0f, 0.02f, 0.1f, 0.37f, 0.5f, 0.81f, 0.97f, 1.0f})
                for (float v : {0.0f, 0.05f, 0.5f, 0.93f, 1.0f}) {
                    float r[2];
                    f->eval(r, 0, 2, 0, u, v, fw, 0, 0, fw);
                    // Level and width in texels as the filter chooses them.
                    float uw = std::max(std::min(fw, 0.25f), 1.0f / 16), vw = std::max(std::min(fw, 0.25f), 1.0f / 8);
                    int ul = int(std::ceil(std::log2(1.0 / uw) - 1e-9)), vl = int(std::ceil(std::log2(1.0 / vw) - 1e-9));
                    Ptex::Res lr{static_cast<int8_t>(ul), static_cast<int8_t>(vl)};
                    FaceImage img = readFace(t, 0, lr);
                    double ref = directKernel(u, v, lr.u(), lr.v(), double(float(lr.u()) * uw),
                                              double(float(lr.v()) * vw), sharp, [&](int x, int y) {
                                                  return img.at(clampi(x, 0, img.W - 1), clampi(y, 0, img.H - 1), 1);
                                              });
                    EXPECT_NEAR(r[1], ref, 2e-6) << sharp << " " << fw << " " << u << " " << v;
                    EXPECT_NEAR(r[0], 1.0f, 2e-6);  // the weights keep their sum
                }
        }
        f->release();
    }
}

TEST(MitchellDirect, SameResNeighbourEqualsOneMainEvaluation)
{
    TempDir d;
    auto path = writeSimple(d, "two.ptx", quadAdjacency(gridQuads(2, 1), {Ptex::Res(4, 4), Ptex::Res(4, 4)}));
    Tex t(path);
    ASSERT_TRUE(t.tx);
    FaceImage a = readFace(t, 0, Ptex::Res(4, 4)), b = readFace(t, 1, Ptex::Res(4, 4));
    auto texel = [&](int x, int y) {
        y = clampi(y, 0, 15);
        x = clampi(x, 0, 31);
        return x < 16 ? a.at(x, y, 1) : b.at(x - 16, y, 1);
    };
    PtexMitchellFilter* f = new PtexMitchellFilter(t, 2.0f / 3.0f);
    for (float u : {0.8f, 0.9f, 0.95f, 0.99f, 1.0f})
        for (float v : {0.0f, 0.03f, 0.5f, 0.9f}) {
            float r[2];
            f->eval(r, 0, 2, 0, u, v, 0, 0, 0, 0);
            double ref = directKernel(u * 0.5f, v, 32, 16, 1.0, 1.0, 2.0f / 3.0f, texel);
            EXPECT_NEAR(r[1], ref, 2e-6) << u << " " << v;
            float s[2];
            f->eval(s, 0, 2, 1, 1.0f - u, v, 0, 0, 0, 0);  // mirrored point on the other face
            double ref2 = directKernel(1.0f - u * 0.5f, v, 32, 16, 1.0, 1.0, 2.0f / 3.0f, texel);
            EXPECT_NEAR(s[1], ref2, 2e-6) << u << " " << v;
        }
    // The shared edge seen from both faces.
    for (float v : {0.1f, 0.5f, 0.77f}) EXPECT_NEAR(eval1(f, 0, 1.0f, v, 0, 0, 1), eval1(f, 1, 0.0f, v, 0, 0, 1), 2e-6);
    f->release();
}

namespace {
// Face 0 (W x H) meets face 1 with a quarter turn: face 0's edge 1 is face 1's edge 0.
std::vector<Ptex::FaceInfo> quarterTurnPair(Ptex::Res r0)
{
    int adj0[4] = {-1, 1, -1, -1}, e0[4] = {0, 0, 0, 0};
    int adj1[4] = {0, -1, -1, -1}, e1[4] = {1, 0, 0, 0};
    return {Ptex::FaceInfo(r0, adj0, e0), Ptex::FaceInfo(r0.swappeduv(), adj1, e1)};
}
}  // namespace

TEST(MitchellDirect, QuarterTurnNeighbourReadsRotatedTexels)
{
    TempDir d;
    auto path = writeSimple(d, "rot.ptx", quarterTurnPair(Ptex::Res(4, 3)));
    Tex t(path);
    ASSERT_TRUE(t.tx);
    const int W = 16, H = 8;
    FaceImage a = readFace(t, 0, Ptex::Res(4, 3)), b = readFace(t, 1, Ptex::Res(3, 4));
    ASSERT_EQ(b.W, H);
    ASSERT_EQ(b.H, W);
    // Seen from face 0: virtual texel (x >= W, y) is face 1's (H - 1 - y, x - W).
    auto from0 = [&](int x, int y) {
        y = clampi(y, 0, H - 1);
        x = clampi(x, 0, 2 * W - 1);
        return x < W ? a.at(x, y, 1) : b.at(H - 1 - y, x - W, 1);
    };
    // Seen from face 1 (H x W): virtual texel (x, y < 0) is face 0's (W + y, H - 1 - x).
    auto from1 = [&](int x, int y) {
        x = clampi(x, 0, H - 1);
        y = clampi(y, -W, W - 1);
        return y >= 0 ? b.at(x, y, 1) : a.at(W + y, H - 1 - x, 1);
    };
    PtexMitchellFilter* f = new PtexMitchellFilter(t, 1.0f);
    for (float s : {0.0f, 0.01f, 0.04f, 0.09f})
        for (float q : {0.0f, 0.2f, 0.5f, 0.93f}) {
            float r[2];
            f->eval(r, 0, 2, 0, 1.0f - s, q, 0, 0, 0, 0);
            // Face 0's u range [0, 1] is cells [0, W); the virtual image is 2W wide.
            double ref = directKernel((1.0f - s) * float(W) / float(2 * W), q, 2 * W, H, 1.0, 1.0, 1.0f, from0);
            EXPECT_NEAR(r[1], ref, 2e-6) << s << " " << q;
            f->eval(r, 0, 2, 1, q, s, 0, 0, 0, 0);
            // Face 1's virtual image: v from -W to W texels; shift by W.
            double ref1 = directKernel(q, (s * float(W) + float(W)) / float(2 * W), H, 2 * W, 1.0, 1.0, 1.0f,
                                       [&](int x, int y) { return from1(x, y - W); });
            EXPECT_NEAR(r[1], ref1, 2e-6) << s << " " << q;
        }
    // The same point of the shared edge from both sides.
    for (float tt : {0.2f, 0.5f, 0.8f})
        EXPECT_NEAR(eval1(f, 0, 1.0f, tt, 0, 0, 1), eval1(f, 1, 1.0f - tt, 0.0f, 0, 0, 1), 2e-6);
    f->release();
}

TEST(MitchellDirect, ValenceFourCornerReadsTheDiagonalFace)
{
    TempDir d;
    auto path = writeSimple(d, "g2.ptx", quadAdjacency(gridQuads(2, 2), std::vector<Ptex::Res>(4, Ptex::Res(4, 4))));
    Tex t(path);
    ASSERT_TRUE(t.tx);
    FaceImage img[4];
    for (int i = 0; i < 4; ++i) img[i] = readFace(t, i, Ptex::Res(4, 4));
    auto texel = [&](int x, int y) {
        x = clampi(x, 0, 31);
        y = clampi(y, 0, 31);
        return img[(y / 16) * 2 + x / 16].at(x % 16, y % 16, 1);
    };
    Probe p(t, 0.5f);
    for (float u : {0.9f, 0.97f, 1.0f})
        for (float v : {0.91f, 0.99f, 1.0f}) {
            float r[2];
            p.eval(r, 0, 2, 0, u, v, 0, 0, 0, 0);
            EXPECT_TRUE(p.cN().valid);
            EXPECT_EQ(p.cN().faceId, 3);
            double ref = directKernel(u * 0.5f, v * 0.5f, 32, 32, 1.0, 1.0, 0.5f, texel);
            EXPECT_NEAR(r[1], ref, 2e-6) << u << " " << v;
            // From the diagonal face, the same neighbourhood.
            p.eval(r, 0, 2, 3, 1.0f - u, 1.0f - v, 0, 0, 0, 0);
            double ref3 = directKernel(0.5f + (1.0f - u) * 0.5f, 0.5f + (1.0f - v) * 0.5f, 32, 32, 1.0, 1.0, 0.5f, texel);
            EXPECT_NEAR(r[1], ref3, 2e-6) << u << " " << v;
        }
}

TEST(MitchellCorner, ValenceThreeCornersDropAndRenormalise)
{
    TempDir d;
    auto path = writeSimple(d, "cube.ptx", quadAdjacency(cubeQuads(), std::vector<Ptex::Res>(6, Ptex::Res(3, 3))));
    Tex t(path);
    ASSERT_TRUE(t.tx);
    for (float sharp : {0.0f, 1.0f}) {
        Probe p(t, sharp);
        for (int face = 0; face < 6; ++face)
            for (float u : {0.0f, 0.03f, 0.97f, 1.0f})
                for (float v : {0.0f, 0.06f, 0.95f, 1.0f}) {
                    float r[2];
                    p.eval(r, 0, 2, face, u, v, 0, 0, 0, 0);
                    EXPECT_TRUE(p.reached()) << face << " " << u << " " << v;
                    EXPECT_FALSE(p.cN().valid);
                    EXPECT_NEAR(r[0], 1.0f, 2e-6) << face << " " << u << " " << v;
                    EXPECT_GE(r[1], 0.0f);
                }
    }
}

TEST(MitchellCorner, MeshBoundaryCornerFolds)
{
    TempDir d;
    auto path = writeSimple(d, "g.ptx", quadAdjacency(gridQuads(2, 1), {Ptex::Res(3, 3), Ptex::Res(3, 3)}));
    Tex t(path);
    ASSERT_TRUE(t.tx);
    Probe p(t, 1.0f);
    float r[2];
    p.eval(r, 0, 2, 0, 0.98f, 0.01f, 0, 0, 0, 0);
    EXPECT_FALSE(p.reached());
    EXPECT_NEAR(r[0], 1.0f, 2e-6);
}

TEST(MitchellBlend, EdgeTowardsCoarserNeighbourTakesItsResolution)
{
    TempDir d;
    auto path = writeSimple(d, "c.ptx", quadAdjacency(gridQuads(2, 1), {Ptex::Res(5, 5), Ptex::Res(3, 3)}));
    Tex t(path);
    ASSERT_TRUE(t.tx);
    FaceImage a8 = readFace(t, 0, Ptex::Res(3, 3)), b8 = readFace(t, 1, Ptex::Res(3, 3));
    FaceImage a32 = readFace(t, 0, Ptex::Res(5, 5));
    auto coarse = [&](int x, int y) {
        y = clampi(y, 0, 7);
        x = clampi(x, 0, 15);
        return x < 8 ? a8.at(x, y, 1) : b8.at(x - 8, y, 1);
    };
    Probe p(t, 2.0f / 3.0f);
    for (float v : {0.3f, 0.5f, 0.7f}) {
        float r[2];
        p.eval(r, 0, 2, 0, 1.0f, v, 0, 0, 0, 0);
        EXPECT_TRUE(p.uN().lowerRes);
        EXPECT_EQ(p.blendU(), 1.0);
        double ref = directKernel(0.5f, v, 16, 8, 1.0, 1.0, 2.0f / 3.0f, coarse);
        EXPECT_NEAR(r[1], ref, 2e-6) << v;
        // The coarse face sees the same value at the shared edge.
        float s[2];
        p.eval(s, 0, 2, 1, 0.0f, v, 0, 0, 0, 0);
        EXPECT_NEAR(s[1], r[1], 2e-6) << v;
        // Beyond 2.5 texels of the level the main resolution alone.
        p.eval(r, 0, 2, 0, 0.5f, v, 0, 0, 0, 0);
        double mainRef = directKernel(0.5f, v, 32, 32, 1.0, 1.0, 2.0f / 3.0f, [&](int x, int y) {
            return a32.at(clampi(x, 0, 31), clampi(y, 0, 31), 1);
        });
        EXPECT_NEAR(r[1], mainRef, 2e-6);
    }
    // Between 1.5 and 2.5 texels both levels take part: the value moves smoothly.
    float prev = eval1(&p, 0, 1.0f - 1.4f / 32, 0.5f, 0, 0, 1);
    for (int i = 1; i <= 12; ++i) {
        float du = (1.4f + 0.1f * i) / 32;
        float cur = eval1(&p, 0, 1.0f - du, 0.5f, 0, 0, 1);
        EXPECT_LT(std::fabs(cur - prev), 0.02f) << du;
        prev = cur;
    }
}

TEST(MitchellSmall, TwoTexelFaceGivesItsAverage)
{
    TempDir d;
    auto path = writeSimple(d, "s.ptx", quadAdjacency(gridQuads(2, 1), {Ptex::Res(1, 3), Ptex::Res(4, 4)}));
    Tex t(path);
    ASSERT_TRUE(t.tx);
    FaceImage avg = readFace(t, 0, Ptex::Res(0, 0));
    PtexMitchellFilter* f = new PtexMitchellFilter(t, 0.0f);
    for (float u : {0.0f, 0.3f, 0.5f, 0.9f})
        for (float v : {0.0f, 0.5f, 1.0f}) EXPECT_NEAR(eval1(f, 0, u, v, 0, 0, 1), avg.at(0, 0, 1), 1e-6);
    f->release();
}

// ---------------------------------------------------------------- kernel

TEST(MitchellKernel, CoefficientsMatchTheTextbookCubic)
{
    for (float sharp : {0.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f, 0.25f}) {
        PtexMitchellFilter* f = new PtexMitchellFilter(nullptr, sharp);
        for (double x = 0; x < 2.5; x += 0.03125) EXPECT_NEAR(f->kernel(x), mitchellKernel(x, sharp), 1e-12) << x;
        if (sharp == 0.0f) {
            for (double x = 0; x < 2.5; x += 0.01) EXPECT_GE(f->kernel(x), 0.0) << x;
        }
        if (sharp == 1.0f) {
            EXPECT_LT(f->kernel(1.5), 0.0);
            EXPECT_EQ(f->kernel(0.0), 1.0);
            EXPECT_EQ(f->kernel(1.0), 0.0);
        }
        EXPECT_EQ(f->kernel(2.0), 0.0);
        f->release();
    }
}

TEST(MitchellKernel, CatmullRomWeightsStillSumToTheLookupWeight)
{
    TempDir d;
    auto path = writeSimple(d, "g.ptx", quadAdjacency(gridQuads(3, 2), {Ptex::Res(4, 4), Ptex::Res(3, 5), Ptex::Res(5, 2),
                                                                        Ptex::Res(2, 3), Ptex::Res(4, 4), Ptex::Res(6, 6)}));
    Tex t(path);
    ASSERT_TRUE(t.tx);
    PtexMitchellFilter* f = new PtexMitchellFilter(t, 1.0f);
    uint32_t seed = 7;
    auto rnd = [&] { return float((seed = seed * 1664525u + 1013904223u) >> 8) / 16777216.0f; };
    for (int i = 0; i < 3000; ++i) {
        int face = int(rnd() * 6) % 6;
        float u = rnd(), v = rnd(), w = rnd() * rnd() * 0.3f;
        EXPECT_NEAR(eval1(f, face, u, v, w, w), 1.0f, 3e-6) << face << " " << u << " " << v << " " << w;
    }
    f->release();
}

// ---------------------------------------------------------------- data types and tiles

TEST(MitchellTypes, EveryDataTypeAgreesWithFloatWithinItsQuantisation)
{
    TempDir d;
    auto faces = quadAdjacency(gridQuads(2, 2), {Ptex::Res(4, 4), Ptex::Res(3, 4), Ptex::Res(4, 2), Ptex::Res(5, 5)});
    std::map<Ptex::DataType, std::string> files;
    for (Ptex::DataType dt : {Ptex::dt_uint8, Ptex::dt_uint16, Ptex::dt_half, Ptex::dt_float}) {
        files[dt] = d.file(std::string("t") + char('0' + dt) + ".ptx");
        ASSERT_EQ(writeTexture(files[dt], dt, 3, faces, pattern), "");
    }
    Tex tf(files[Ptex::dt_float]);
    ASSERT_TRUE(tf.tx);
    PtexMitchellFilter* ff = new PtexMitchellFilter(tf, 2.0f / 3.0f);
    // Integer mip levels truncate, so coarser levels may sit a few steps lower.
    const double tol[] = {3.5 / 255, 3.5 / 65535 + 1e-6, 1e-3, 0};
    for (Ptex::DataType dt : {Ptex::dt_uint8, Ptex::dt_uint16, Ptex::dt_half}) {
        Tex tx(files[dt]);
        ASSERT_TRUE(tx.tx);
        for (float sharp : {0.0f, 2.0f / 3.0f}) {
            PtexMitchellFilter* f = new PtexMitchellFilter(tx, sharp);
            PtexMitchellFilter* g = new PtexMitchellFilter(tf, sharp);
            uint32_t seed = 11;
            auto rnd = [&] { return float((seed = seed * 1664525u + 1013904223u) >> 8) / 16777216.0f; };
            for (int i = 0; i < 500; ++i) {
                int face = int(rnd() * 4) % 4;
                float u = rnd(), v = rnd(), w = rnd() * 0.2f;
                float a[3], b[3];
                f->eval(a, 0, 3, face, u, v, w, 0, 0, w);
                g->eval(b, 0, 3, face, u, v, w, 0, 0, w);
                for (int c = 0; c < 3; ++c) {
                    EXPECT_NEAR(a[c], b[c], tol[dt]) << dt << " " << face << " " << u << " " << v;
                    if (dt != Ptex::dt_half) {
                        EXPECT_GE(a[c], 0.0f);
                        EXPECT_LE(a[c], 1.0f);
                    }
                }
            }
            f->release();
            g->release();
        }
    }
    ff->release();
}

TEST(MitchellTypes, IntegerDataAgreesWithDirectComputation)
{
    for (Ptex::DataType dt : {Ptex::dt_uint8, Ptex::dt_uint16, Ptex::dt_half}) {
        TempDir d;
        auto path = writeSimple(d, "s.ptx", quadAdjacency(gridQuads(1, 1), {Ptex::Res(3, 4)}), dt, 3, pattern);
        Tex t(path);
        ASSERT_TRUE(t.tx);
        FaceImage img = readFace(t, 0, Ptex::Res(3, 4));
        PtexMitchellFilter* f = new PtexMitchellFilter(t, 2.0f / 3.0f);
        for (float u : {0.0f, 0.1f, 0.55f, 1.0f})
            for (float v : {0.02f, 0.5f, 0.99f}) {
                float r[3];
                f->eval(r, 0, 3, 0, u, v, 0, 0, 0, 0);
                for (int c = 0; c < 3; ++c) {
                    double ref = directKernel(u, v, 8, 16, 1.0, 1.0, 2.0f / 3.0f, [&](int x, int y) {
                        return img.at(clampi(x, 0, 7), clampi(y, 0, 15), c);
                    });
                    EXPECT_NEAR(r[c], ref, 2e-6) << dt << " " << u << " " << v;
                }
            }
        f->release();
    }
}

TEST(MitchellTiled, TiledFacesAcrossAQuarterTurnAgreeWithDirectComputation)
{
    TempDir d;
    // 256 x 128 float texels of 2 channels: large enough to be stored in tiles.
    // The left part of face 0 is uniform, so its tiles are constant.
    auto fn = [](int face, int x, int y, int c, Ptex::Res r) {
        if (face == 0 && x < 128) return c == 0 ? 1.0 : 0.25;
        return onesAndPattern(face, x, y, c, r);
    };
    std::string path = d.file("tiled.ptx");
    ASSERT_EQ(writeTexture(path, Ptex::dt_float, 2, quarterTurnPair(Ptex::Res(8, 7)), fn), "");
    Tex t(path);
    ASSERT_TRUE(t.tx);
    for (int face : {0, 1}) {
        PtexFaceData* fd = t->getData(face);
        ASSERT_TRUE(fd->isTiled()) << face;
        fd->release();
    }
    const int W = 256, H = 128;
    FaceImage a = readFace(t, 0, Ptex::Res(8, 7)), b = readFace(t, 1, Ptex::Res(7, 8));
    auto from0 = [&](int x, int y) {
        y = clampi(y, 0, H - 1);
        x = clampi(x, 0, 2 * W - 1);
        return x < W ? a.at(x, y, 1) : b.at(H - 1 - y, x - W, 1);
    };
    PtexMitchellFilter* f = new PtexMitchellFilter(t, 2.0f / 3.0f);
    for (float u : {0.499f, 0.5f, 0.503f, 0.996f, 1.0f, 0.2f})
        for (float v : {0.0f, 0.5f, 0.502f, 0.7f}) {
            float r[2];
            f->eval(r, 0, 2, 0, u, v, 0, 0, 0, 0);
            double ref = directKernel(u * 0.5f, v, 2 * W, H, 1.0, 1.0, 2.0f / 3.0f, from0);
            EXPECT_NEAR(r[1], ref, 2e-6) << u << " " << v;
            EXPECT_NEAR(r[0], 1.0f, 2e-6);
        }
    f->release();
}
