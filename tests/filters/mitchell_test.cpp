// Mitchell filter: the factory table, agreement with a direct kernel computation over the
// texels of the face and its neighbours (levels, boundaries, constant faces, same-res and
// coarser neighbours, quarter turns, valence-4 corners, tiles, every data type), and
// continuity across the edges between faces of different resolution in the golden files.
#include "filters/PtexMitchellFilter.h"
#include "mitchell_util.h"

#include <typeinfo>

using namespace mtest;
using R = Ptex::Res;

namespace {

// Face 0 (res r0) meets face 1 with a quarter turn: face 0's edge 1 is face 1's edge 0.
std::vector<Ptex::FaceInfo> quarterTurnPair(R r0) {
    int adj0[4] = {-1, 1, -1, -1}, e0[4] = {0, 0, 0, 0}, adj1[4] = {0, -1, -1, -1},
        e1[4] = {1, 0, 0, 0};
    return {Ptex::FaceInfo(r0, adj0, e0), Ptex::FaceInfo(r0.swappeduv(), adj1, e1)};
}

// Faces placed side by side in one texel image, each turned by rot quarter turns (0, 1 or 3)
// from its own frame; texels beyond the image repeat its border. The first is evaluated, unturned.
struct Piece {
    int face;
    R res;
    int x0, y0, rot;
};
struct Layout {
    int W, H;
    std::vector<Piece> pieces;
};

// Compares channel 1 with the direct kernel sum over the layout and channel 0 (all ones)
// with 1, at every (u, v) of the first face.
void expectDirect(PtexTexture* t, const Layout& L, float sharp, const std::vector<float>& us,
                  const std::vector<float>& vs, float fw = 0, double wu = 1, double wv = 1) {
    std::vector<std::vector<float>> img;
    for (const Piece& p : L.pieces) img.push_back(readFace(t, p.face, p.res));
    auto texel = [&](int x, int y) -> double {
        x = std::clamp(x, 0, L.W - 1);
        y = std::clamp(y, 0, L.H - 1);
        for (size_t i = 0; i < L.pieces.size(); ++i) {
            const Piece& p = L.pieces[i];
            const int rw = p.res.u(), pw = p.rot ? p.res.v() : rw, ph = p.rot ? rw : p.res.v();
            const int lx = x - p.x0, ly = y - p.y0;
            if (lx < 0 || ly < 0 || lx >= pw || ly >= ph) continue;
            const int col = p.rot == 1   ? ph - 1 - ly
                            : p.rot == 3 ? ly
                                         : lx;  // texel of the face itself
            const int row = p.rot == 1 ? lx : p.rot == 3 ? pw - 1 - lx : ly;
            return img[i][size_t(row) * rw + col];
        }
        ADD_FAILURE() << "texel " << x << " " << y << " outside the layout";
        return 0.0;
    };
    const Piece& home = L.pieces[0];
    Own<PtexFilter> f(new PtexMitchellFilter(t, sharp));
    for (float u : us)
        for (float v : vs) {
            float r[2];
            f->eval(r, 0, 2, home.face, u, v, fw, 0, 0, fw);
            const float U = (float(home.x0) + u * float(home.res.u())) / float(L.W);
            const float V = (float(home.y0) + v * float(home.res.v())) / float(L.H);
            EXPECT_NEAR(r[1], directKernel(U, V, L.W, L.H, wu, wv, sharp, texel), 2e-6)
                << "face " << home.face << " at " << u << " " << v << " width " << fw;
            EXPECT_NEAR(r[0], 1.0f, 2e-6) << "weight sum at " << u << " " << v;
        }
}

// Largest difference across the shared edges between faces of different resolution, away
// from the corners, where both faces have at least 8 texels along the edge and 4 across it.
double edgeJump(PtexTexture* tx, float sharpness, int& edges) {
    Own<PtexFilter> m(PtexFilter::getFilter(tx, mitchell(sharpness)));
    const int nc = tx->numChannels();
    float r1[8], r2[8];  // the golden files have at most 5 channels
    double worst = 0;
    auto along = [](const Ptex::FaceInfo& x, int e) { return (e & 1) ? x.res.vlog2 : x.res.ulog2; };
    auto across = [](const Ptex::FaceInfo& x, int e) {
        return (e & 1) ? x.res.ulog2 : x.res.vlog2;
    };
    for (int f = 0; f < tx->numFaces(); ++f) {
        const Ptex::FaceInfo& fi = tx->getFaceInfo(f);
        for (int e = 0; e < 4; ++e) {
            const int n = fi.adjfaces[e], a = fi.adjedge(e);
            if (n < 0) continue;
            const Ptex::FaceInfo& ni = tx->getFaceInfo(n);
            if (along(fi, e) == along(ni, a) && across(fi, e) == across(ni, a)) continue;
            if (std::min(along(fi, e), along(ni, a)) < 3 ||
                std::min(across(fi, e), across(ni, a)) < 2)
                continue;
            if (fi.isSubface() != ni.isSubface()) continue;  // sub-face edges meet a half edge
            ++edges;
            for (float t : {0.35f, 0.45f, 0.5f, 0.55f, 0.65f}) {
                // Point at t along edge e (corner e to e + 1); the neighbour runs the edge the
                // other way.
                const float us[4] = {t, 1, 1 - t, 0}, vs[4] = {0, t, 1, 1 - t}, s = 1 - t;
                const float un[4] = {s, 1, 1 - s, 0}, vn[4] = {0, s, 1, 1 - s};
                m->eval(r1, 0, nc, f, us[e], vs[e], 0, 0, 0, 0);
                m->eval(r2, 0, nc, n, un[a], vn[a], 0, 0, 0, 0);
                for (int c = 0; c < nc; ++c)
                    worst = std::max(worst, double(std::fabs(r1[c] - r2[c])));
            }
        }
    }
    return worst;
}

}  // namespace

TEST(MitchellFactory, MitchellForTypeMinusOneOnQuadsElseTheStandardFilter) {
    TempDir d;
    ASSERT_EQ(writeTexture(d.file("q.ptx"), Ptex::dt_float, 2, grid(2, 1, {R(4, 4), R(3, 4)})), "");
    ASSERT_EQ(writeTexture(d.file("t.ptx"), Ptex::dt_uint8, 1, grid(1, 1, {R(2, 2)}),
                           onesAndPattern, Ptex::mt_triangle),
              "");
    Own<PtexTexture> q = openTex(d.file("q.ptx")), t = openTex(d.file("t.ptx"));
    ASSERT_TRUE(q && t);
    Own<PtexFilter> m(PtexFilter::getFilter(q.get(), mitchell(0.3f)));
    ASSERT_NE(dynamic_cast<PtexMitchellFilter*>(m.get()), nullptr);
    EXPECT_EQ(static_cast<PtexMitchellFilter*>(m.get())->getSharpness(), 0.3f);
    for (PtexTexture* tx : {q.get(), t.get()})
        for (int type : {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, -2, 1000}) {
            if (type == -1 && tx == q.get()) continue;
            const PtexFilter::Options o(PtexFilter::FilterType(type), false, 0.4f);
            Own<PtexFilter> ours(PtexFilter::getFilter(tx, o)),
                lib(PtexFilter::getStandardFilter(tx, o));
            ASSERT_TRUE(ours && lib) << type;
            EXPECT_EQ(typeid(*ours), typeid(*lib)) << type;
        }
    EXPECT_EQ(PtexFilter::getFilter(nullptr, mitchell(0)), nullptr);
}

TEST(MitchellDirect, SingleFaceAtEveryLevelAndConstantFacesInEveryDataType) {
    for (Ptex::DataType dt : {Ptex::dt_uint8, Ptex::dt_uint16, Ptex::dt_half, Ptex::dt_float}) {
        TempDir d;
        auto uniform = [](int, int, int, int c, R) { return c == 0 ? 1.0 : 0.7123; };
        ASSERT_EQ(writeTexture(d.file("s.ptx"), dt, 2, grid(1, 1, {R(4, 3)})), "");
        ASSERT_EQ(writeTexture(d.file("c.ptx"), dt, 2, grid(2, 2, {R(4, 3)}), uniform), "");
        Own<PtexTexture> t = openTex(d.file("s.ptx")), c = openTex(d.file("c.ptx"));
        ASSERT_TRUE(t && c);
        const Layout constant{32,
                              16,
                              {{0, R(4, 3), 0, 0, 0},
                               {1, R(4, 3), 16, 0, 0},
                               {2, R(4, 3), 0, 8, 0},
                               {3, R(4, 3), 16, 8, 0}}};
        expectDirect(c.get(), constant, 1.0f, {0.0f, 0.5f, 0.99f, 1.0f}, {0.0f, 0.5f, 0.98f, 1.0f});
        for (float sharp : {0.0f, 2.0f / 3.0f, 1.0f})
            for (float fw : {0.0f, 0.1f, 0.2f, 1e30f}) {
                // Level and width in texels as the filter chooses them: 4 texels to the face's own.
                const float uw = std::max(std::min(fw, 0.25f), 1.0f / 16),
                            vw = std::max(std::min(fw, 0.25f), 1.0f / 8);
                auto level = [](float w) { return int8_t(std::ceil(std::log2(1.0 / w) - 1e-9)); };
                const R lr(level(uw), level(vw));
                expectDirect(t.get(), {lr.u(), lr.v(), {{0, lr, 0, 0, 0}}}, sharp,
                             {0.0f, 0.02f, 0.1f, 0.37f, 0.5f, 0.81f, 0.97f, 1.0f},
                             {0.0f, 0.05f, 0.5f, 0.93f, 1.0f}, fw, double(float(lr.u()) * uw),
                             double(float(lr.v()) * vw));
            }
    }
}

TEST(MitchellDirect, NeighboursAcrossEdgesAndCorners) {
    // A quarter-turned pair of 256 x 128 faces is stored in tiles; the left
    // half of face 0 is uniform, so its tiles are constant.
    auto halfUniform = [](int face, int x, int y, int c, R r) {
        return face == 0 && x < 128 ? (c == 0 ? 1.0 : 0.25) : onesAndPattern(face, x, y, c, r);
    };
    struct Case {
        const char* name;
        std::vector<Ptex::FaceInfo> faces;
        float sharp;
        Layout layout;
        std::vector<float> us, vs;
        TexelFn fn = onesAndPattern;
    };
    const Piece p0{0, R(4, 4), 0, 0, 0}, p1{1, R(4, 4), 16, 0, 0}, p2{2, R(4, 4), 0, 16, 0},
        p3{3, R(4, 4), 16, 16, 0};
    const Piece c0{0, R(3, 3), 0, 0, 0},
        c1{1, R(3, 3), 8, 0, 0};  // the coarser pair at face 1's resolution
    const auto g21 = grid(2, 1, {R(4, 4)}), g22 = grid(2, 2, {R(4, 4)}),
               coarser = grid(2, 1, {R(5, 5), R(3, 3)});
    const auto turned = quarterTurnPair(R(4, 3));
    const float mitchell = 2.0f / 3.0f;
    const Case cases[] = {
        {"same res",
         g21,
         mitchell,
         {32, 16, {p0, p1}},
         {0.8f, 0.95f, 0.99f, 1.0f},
         {0.0f, 0.03f, 0.5f, 0.9f}},
        {"same res, other side",
         g21,
         mitchell,
         {32, 16, {p1, p0}},
         {0.0f, 0.01f, 0.05f, 0.2f},
         {0.0f, 0.5f}},
        {"quarter turn",
         turned,
         1.0f,
         {32, 8, {{0, R(4, 3), 0, 0, 0}, {1, R(3, 4), 16, 0, 1}}},
         {1.0f, 0.99f, 0.96f, 0.91f},
         {0.0f, 0.2f, 0.5f, 0.93f}},
        {"quarter turn, other side",
         turned,
         1.0f,
         {8, 32, {{1, R(3, 4), 0, 16, 0}, {0, R(4, 3), 0, 0, 3}}},
         {0.0f, 0.2f, 0.5f, 0.93f},
         {0.0f, 0.01f, 0.04f, 0.09f}},
        {"valence-4 corner",
         g22,
         0.5f,
         {32, 32, {p0, p1, p2, p3}},
         {0.9f, 0.97f, 1.0f},
         {0.91f, 0.99f, 1.0f}},
        {"constant faces of different values",
         g21,
         0.5f,
         {32, 16, {p0, p1}},
         {0.3f, 0.9f, 1.0f},
         {0.5f},
         [](int f, int, int, int c, R) { return c == 0   ? 1.0
                                                : f == 0 ? 0.2
                                                         : 0.6; }},
        {"valence-4 corner, diagonal face",
         g22,
         0.5f,
         {32, 32, {p3, p1, p2, p0}},
         {0.0f, 0.03f, 0.1f},
         {0.0f, 0.09f}},
        // Within 1.5 texels of a coarser neighbour: its resolution; beyond 2.5 the face's own.
        {"at a coarser neighbour",
         coarser,
         mitchell,
         {16, 8, {c0, c1}},
         {1.0f},
         {0.3f, 0.5f, 0.7f}},
        {"the coarser face itself",
         coarser,
         mitchell,
         {16, 8, {c1, c0}},
         {0.0f},
         {0.3f, 0.5f, 0.7f}},
        {"away from a coarser neighbour",
         coarser,
         mitchell,
         {32, 32, {{0, R(5, 5), 0, 0, 0}}},
         {0.5f, 0.9f},
         {0.3f, 0.5f, 0.7f}},
        {"a face 2 texels wide gives its average",
         grid(2, 1, {R(1, 3), R(4, 4)}),
         0.0f,
         {1, 1, {{0, R(0, 0), 0, 0, 0}}},
         {0.0f, 0.3f, 0.5f, 0.9f},
         {0.0f, 0.5f, 1.0f}},
        {"tiled quarter turn",
         quarterTurnPair(R(8, 7)),
         mitchell,
         {512, 128, {{0, R(8, 7), 0, 0, 0}, {1, R(7, 8), 256, 0, 1}}},
         {0.499f, 0.5f, 0.503f, 0.996f, 1.0f, 0.2f},
         {0.0f, 0.5f, 0.502f, 0.7f},
         halfUniform},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir d;
        ASSERT_EQ(writeTexture(d.file("n.ptx"), Ptex::dt_float, 2, c.faces, c.fn), "");
        Own<PtexTexture> t = openTex(d.file("n.ptx"));
        ASSERT_TRUE(t);
        expectDirect(t.get(), c.layout, c.sharp, c.us, c.vs);
    }
}

TEST(MitchellBlend, SmoothTowardsACoarserNeighbour) {
    TempDir d;
    ASSERT_EQ(writeTexture(d.file("b.ptx"), Ptex::dt_float, 2, grid(2, 1, {R(5, 5), R(3, 3)})), "");
    Own<PtexTexture> t = openTex(d.file("b.ptx"));
    ASSERT_TRUE(t);
    Own<PtexFilter> f(new PtexMitchellFilter(t.get(), 2.0f / 3.0f));
    float prev = 0, cur;
    for (int i = 0; i <= 12;
         ++i, prev = cur) {  // 1.5 to 2.5 texels from the edge both levels take part
        f->eval(&cur, 1, 1, 0, 1.0f - (1.4f + 0.1f * i) / 32, 0.5f, 0, 0, 0, 0);
        EXPECT_TRUE(i == 0 || std::fabs(cur - prev) < 0.02f) << i << ": " << prev << " -> " << cur;
    }
}

TEST(MitchellGolden, ContinuousAcrossResolutionChanges) {
    const std::string dir = std::string(ZENTO_TESTDATA_DIR) + "/ptex/";
    if (!std::filesystem::exists(dir + "cube_rgb8.ptx"))
        GTEST_SKIP() << "golden Ptex files not found in " << dir;
    int edges = 0;
    for (const char* name :
         {"cube_rgb8.ptx", "cube_half.ptx", "cube_tanvec_f32.ptx", "grid_5ch_u16.ptx",
          "grid_f32.ptx", "grid_rgba8.ptx", "grid_nomip_rgb8.ptx", "mixed_rgb8.ptx",
          "tiled_rgba8.ptx", "val5_gray_f32.ptx", "val5_u16.ptx", "edits_rgb8.ptx"}) {
        Own<PtexTexture> tx = openTex(dir + name);
        ASSERT_TRUE(tx);
        for (float sharp : {0.0f, 2.0f / 3.0f, 1.0f})
            EXPECT_LT(edgeJump(tx.get(), sharp, edges), 2e-5) << name << " sharpness " << sharp;
    }
    EXPECT_GT(edges, 0);
}
