// Mitchell filter on hostile or degenerate input: channel ranges, NaN and
// infinite arguments, adjacency outside the face range, unusable resolutions,
// missing face data, corner walks that never close, unknown mesh types; and
// evaluations that allocate nothing (operator new is counted in this program).
#include "filters/PtexMitchellFilter.h"
#include "mitchell_util.h"

#include <atomic>
#include <cstring>
#include <cstdlib>
#include <new>

using namespace mtest;

namespace {
std::atomic<long> g_allocations{0};
}

// The replacements pair malloc with free; the compiler cannot see that pairing
// across the inlined new and delete expressions of the tests.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t n)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

// An in-memory float texture whose faces hold one value in every texel but are
// not flagged constant unless asked; getData hands out packed data at any
// resolution, or nothing for faces marked missing.
class MockTexture : public PtexTexture {
public:
    struct Face {
        Ptex::FaceInfo info;
        float value = 0.5f;
        bool missing = false;
    };
    std::vector<Face> faces;
    int nchan = 2;
    int mesh = Ptex::mt_quad;

    class Data : public PtexFaceData {
    public:
        Ptex::Res r;
        std::vector<float> px;
        bool constant;
        Data(Ptex::Res r_, float value, int nchan, bool c) : r(r_), px(size_t(c ? 1 : r_.size()) * nchan, value), constant(c) {}
        void release() override { delete this; }
        bool isConstant() override { return constant; }
        Ptex::Res res() override { return constant ? Ptex::Res(0, 0) : r; }
        void getPixel(int, int, void* result) override { std::memcpy(result, px.data(), sizeof(float)); }
        void* getData() override { return px.data(); }
        bool isTiled() override { return false; }
        Ptex::Res tileRes() override { return r; }
        PtexFaceData* getTile(int) override { return nullptr; }
    };

    void release() override {}
    const char* path() override { return "mock"; }
    Info getInfo() override { return Info{meshType(), dataType(), Ptex::m_clamp, Ptex::m_clamp, Ptex::efm_none, -1, nchan, numFaces()}; }
    Ptex::MeshType meshType() override { return Ptex::MeshType(mesh); }
    Ptex::DataType dataType() override { return Ptex::dt_float; }
    Ptex::BorderMode uBorderMode() override { return Ptex::m_clamp; }
    Ptex::BorderMode vBorderMode() override { return Ptex::m_clamp; }
    Ptex::EdgeFilterMode edgeFilterMode() override { return Ptex::efm_none; }
    int alphaChannel() override { return -1; }
    int numChannels() override { return nchan; }
    int numFaces() override { return int(faces.size()); }
    bool hasEdits() override { return false; }
    bool hasMipMaps() override { return true; }
    PtexMetaData* getMetaData() override { return nullptr; }
    const Ptex::FaceInfo& getFaceInfo(int id) override
    {
        static Ptex::FaceInfo none;
        return id >= 0 && id < numFaces() ? faces[id].info : none;
    }
    void getData(int, void*, int) override {}
    void getData(int, void*, int, Ptex::Res) override {}
    PtexFaceData* getData(int id) override { return getData(id, faces[id].info.res); }
    PtexFaceData* getData(int id, Ptex::Res res) override
    {
        if (id < 0 || id >= numFaces() || faces[id].missing) return nullptr;
        const Face& f = faces[id];
        return new Data(res, f.value, nchan, f.info.isConstant() || res == Ptex::Res(0, 0));
    }
    void getPixel(int, int, int, float*, int, int) override {}
    void getPixel(int, int, int, float*, int, int, Ptex::Res) override {}

    void add(Ptex::Res res, float value, std::array<int, 4> adj, std::array<int, 4> adje = {2, 3, 0, 1},
             bool constant = false)
    {
        Face f;
        int a[4] = {adj[0], adj[1], adj[2], adj[3]}, e[4] = {adje[0], adje[1], adje[2], adje[3]};
        f.info = Ptex::FaceInfo(res, a, e);
        if (constant) f.info.flags |= Ptex::FaceInfo::flag_constant;
        f.value = value;
        faces.push_back(f);
    }
};

float evalAt(PtexFilter* f, int face, float u, float v, float w = 0)
{
    float r[2] = {-1, -1};
    f->eval(r, 0, 1, face, u, v, w, 0, 0, w);
    return r[0];
}

}  // namespace

TEST(MitchellRobust, ChannelRangeIsClippedToTheCallersBuffer)
{
    MockTexture tx;
    tx.nchan = 5;
    tx.add(Ptex::Res(4, 4), 0.25f, {-1, -1, -1, -1});
    PtexMitchellFilter* f = new PtexMitchellFilter(&tx, 0.5f);
    float r[8];
    for (float& x : r) x = 9.0f;
    f->eval(r, 0, 2, 0, 0.5f, 0.5f, 0, 0, 0, 0);
    EXPECT_FLOAT_EQ(r[0], 0.25f);
    EXPECT_FLOAT_EQ(r[1], 0.25f);
    EXPECT_EQ(r[2], 9.0f);  // never beyond nChannels
    for (float& x : r) x = 9.0f;
    f->eval(r, 4, 3, 0, 0.5f, 0.5f, 0, 0, 0, 0);  // only channel 4 exists
    EXPECT_FLOAT_EQ(r[0], 0.25f);
    EXPECT_EQ(r[1], 0.0f);
    EXPECT_EQ(r[2], 0.0f);
    EXPECT_EQ(r[3], 9.0f);
    for (float& x : r) x = 9.0f;
    f->eval(r, -1, 3, 0, 0.5f, 0.5f, 0, 0, 0, 0);  // first channel below 0
    EXPECT_EQ(r[0], 0.0f);
    EXPECT_EQ(r[2], 0.0f);
    EXPECT_EQ(r[3], 9.0f);
    for (float& x : r) x = 9.0f;
    f->eval(r, -2147483647 - 1, 2, 0, 0.5f, 0.5f, 0, 0, 0, 0);
    EXPECT_EQ(r[0], 0.0f);
    f->eval(r, 5, 2, 0, 0.5f, 0.5f, 0, 0, 0, 0);  // past the last channel
    EXPECT_EQ(r[0], 0.0f);
    f->eval(r, 0, 2, 1, 0.5f, 0.5f, 0, 0, 0, 0);  // face out of range
    EXPECT_EQ(r[0], 0.0f);
    f->eval(r, 0, 2, -1, 0.5f, 0.5f, 0, 0, 0, 0);
    EXPECT_EQ(r[0], 0.0f);
    f->eval(nullptr, 0, 2, 0, 0.5f, 0.5f, 0, 0, 0, 0);
    f->release();

    PtexMitchellFilter* none = new PtexMitchellFilter(nullptr, 0.5f);
    r[0] = 9.0f;
    none->eval(r, 0, 1, 0, 0.5f, 0.5f, 0, 0, 0, 0);
    EXPECT_EQ(r[0], 0.0f);
    none->release();
}

TEST(MitchellRobust, NonFiniteArgumentsGiveFiniteResults)
{
    MockTexture tx;
    tx.add(Ptex::Res(5, 5), 0.5f, {-1, 1, -1, -1}, {0, 3, 0, 0});
    tx.add(Ptex::Res(2, 2), 0.75f, {-1, -1, -1, 0}, {0, 0, 0, 1});
    PtexMitchellFilter* f = new PtexMitchellFilter(&tx, 1.0f);
    const float nan = std::nanf(""), inf = INFINITY;
    const float vals[] = {nan, inf, -inf, 0.0f, 1.0f, 1e38f, -1e38f};
    for (float a : vals)
        for (float b : vals) {
            float r[2];
            f->eval(r, 0, 2, 0, a, b, a, b, b, a, a, b);
            for (float x : r) {
                EXPECT_TRUE(std::isfinite(x)) << a << " " << b;
                EXPECT_GE(x, 0.49f);
                EXPECT_LE(x, 0.76f);
            }
        }
    f->release();
    PtexMitchellFilter* g = new PtexMitchellFilter(&tx, nan);
    EXPECT_TRUE(std::isfinite(evalAt(g, 0, 0.9f, 0.5f)));
    g->release();
}

TEST(MitchellRobust, AdjacencyOutsideTheFaceRangeIsNoNeighbour)
{
    MockTexture bad, good;
    bad.add(Ptex::Res(4, 4), 0.5f, {1000, -7, 2147483647, -2147483647 - 1});
    good.add(Ptex::Res(4, 4), 0.5f, {-1, -1, -1, -1});
    PtexMitchellFilter* fb = new PtexMitchellFilter(&bad, 0.5f);
    PtexMitchellFilter* fg = new PtexMitchellFilter(&good, 0.5f);
    for (float u : {0.0f, 0.02f, 0.98f, 1.0f})
        for (float v : {0.0f, 0.5f, 1.0f}) EXPECT_EQ(evalAt(fb, 0, u, v), evalAt(fg, 0, u, v));
    fb->release();
    fg->release();
}

TEST(MitchellRobust, UnusableResolutionsGiveZeroOrNoNeighbour)
{
    MockTexture tx;
    tx.add(Ptex::Res(-1, 3), 0.5f, {-1, 2, -1, -1});
    tx.add(Ptex::Res(100, 100), 0.5f, {-1, -1, -1, -1});
    tx.add(Ptex::Res(4, -3), 0.5f, {-1, -1, -1, 0});
    tx.add(Ptex::Res(4, 4), 0.5f, {-1, 2, -1, -1});  // its neighbour has a bad res
    PtexMitchellFilter* f = new PtexMitchellFilter(&tx, 0.5f);
    EXPECT_EQ(evalAt(f, 0, 0.5f, 0.5f), 0.0f);
    EXPECT_EQ(evalAt(f, 1, 0.5f, 0.5f), 0.0f);
    EXPECT_EQ(evalAt(f, 2, 0.5f, 0.5f), 0.0f);
    EXPECT_FLOAT_EQ(evalAt(f, 3, 1.0f, 0.5f), 0.5f);
    f->release();
}

TEST(MitchellRobust, MissingFaceDataContributesNothingAndIsNotConstant)
{
    MockTexture tx;
    tx.add(Ptex::Res(4, 4), 0.5f, {-1, 1, -1, -1}, {0, 3, 0, 0}, true);
    tx.add(Ptex::Res(4, 4), 0.5f, {-1, -1, -1, 0}, {0, 0, 0, 1}, true);
    tx.faces[1].missing = true;
    PtexMitchellFilter* f = new PtexMitchellFilter(&tx, 0.0f);
    float at = evalAt(f, 0, 1.0f, 0.5f);  // half of the kernel lies on the missing face
    EXPECT_GT(at, 0.1f);
    EXPECT_LT(at, 0.45f);
    EXPECT_FLOAT_EQ(evalAt(f, 0, 0.3f, 0.5f), 0.5f);  // no blend: constant answer
    EXPECT_EQ(evalAt(f, 1, 0.5f, 0.5f), 0.0f);
    tx.faces[0].missing = true;
    EXPECT_EQ(evalAt(f, 0, 0.3f, 0.5f), 0.0f);
    f->release();
}

TEST(MitchellRobust, CornerWalkThatNeverClosesStopsAfterTenFaces)
{
    // Face 0's u-neighbour leads into a ring of faces that never reaches face 0's
    // v-neighbour: the walk gives up and the corner is folded.
    MockTexture tx;
    // face 0: edge 1 -> face 1 (its edge 3), edge 2 -> face 2 (its edge 0)
    tx.add(Ptex::Res(4, 4), 0.5f, {-1, 1, 2, -1}, {0, 3, 0, 0});
    // face 1: entry edge 3, walking direction 3: next edge 2 -> face 3, forever 3 <-> 4
    tx.add(Ptex::Res(4, 4), 0.5f, {-1, -1, 3, 0}, {0, 0, 0, 1});
    tx.add(Ptex::Res(4, 4), 0.5f, {0, -1, -1, -1}, {2, 0, 0, 0});
    tx.add(Ptex::Res(4, 4), 0.5f, {4, 4, 4, 4}, {1, 1, 1, 1});
    tx.add(Ptex::Res(4, 4), 0.5f, {3, 3, 3, 3}, {1, 1, 1, 1});
    PtexMitchellFilter* f = new PtexMitchellFilter(&tx, 1.0f);
    EXPECT_FLOAT_EQ(evalAt(f, 0, 0.99f, 0.99f), 0.5f);
    f->release();
}

TEST(MitchellRobust, UnknownMeshTypeGetsNoFilter)
{
    MockTexture tx;
    tx.add(Ptex::Res(4, 4), 0.5f, {-1, -1, -1, -1});
    tx.mesh = 7;
    EXPECT_EQ(PtexFilter::getFilter(&tx, PtexFilter::Options(PtexFilter::FilterType(-1))), nullptr);
    EXPECT_EQ(PtexFilter::getFilter(&tx, PtexFilter::Options(PtexFilter::f_box)), nullptr);
    tx.mesh = Ptex::mt_quad;
    PtexFilter* f = PtexFilter::getFilter(&tx, PtexFilter::Options(PtexFilter::FilterType(-1), false, 0.25f));
    ASSERT_NE(dynamic_cast<PtexMitchellFilter*>(f), nullptr);
    f->release();
}

TEST(MitchellAllocation, EvaluationsAllocateNothing)
{
    TempDir d;
    // Mixed resolutions, a valence-3-free grid with corners, and a coarse face.
    auto faces = quadAdjacency(gridQuads(3, 3), {Ptex::Res(4, 4), Ptex::Res(5, 3), Ptex::Res(3, 3), Ptex::Res(2, 5),
                                                 Ptex::Res(6, 6), Ptex::Res(4, 4), Ptex::Res(1, 1), Ptex::Res(4, 2),
                                                 Ptex::Res(5, 5)});
    std::string path = d.file("a.ptx");
    ASSERT_EQ(writeTexture(path, Ptex::dt_uint8, 3, faces, pattern), "");
    Ptex::String err;
    PtexTexture* tx = PtexTexture::open(path.c_str(), err);
    ASSERT_NE(tx, nullptr) << err;
    PtexFilter* f = PtexFilter::getFilter(tx, PtexFilter::Options(PtexFilter::FilterType(-1), false, 0.6f));
    ASSERT_NE(f, nullptr);
    auto sweep = [&] {
        float r[3];
        double sum = 0;
        for (int face = 0; face < 9; ++face)
            for (int i = 0; i <= 20; ++i)
                for (int j = 0; j <= 20; ++j)
                    for (float w : {0.0f, 0.03f, 0.3f}) {
                        f->eval(r, 0, 3, face, i / 20.0f, j / 20.0f, w, 0, 0, w);
                        sum += r[0];
                    }
        return sum;
    };
    double first = sweep();  // loads every face and level it needs
    long before = g_allocations.load();
    double second = sweep();
    long after = g_allocations.load();
    EXPECT_EQ(after - before, 0);
    EXPECT_EQ(first, second);
    f->release();
    tx->release();
}
