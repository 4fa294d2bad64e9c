// Unit cases of getTexColor and evaluate on a statically linked instance (the
// module's own allocator linked in): a one-face quad file with the unit square as
// its own model, and a filter factory that gives thread 0 a filter recording its
// arguments and answering the number of its calls, so every evaluation is visible.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>

#include "Ptexture.h"
#include "engine_test_files.h"
#include "plugin/Descriptors.h"
#include "plugin/LibEntry.h"
#include "plugin/TexFacet.h"
#include "support/alloc.h"
#include "support/alloc_debug.h"
#include "zento/HostMesh.h"
#include "zento/ShadingStatsInterface.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoPluginParameter.h"

using namespace ZUtils;

namespace {

// Owned by the test: the frame's release() leaves it alone.
struct RecordingFilter : PtexFilter {
    int calls = 0;
    float u = 0, v = 0, fp[4] = {};
    void release() override {}
    void eval(float* r, int, int n, int, float u_, float v_, float uw1, float vw1, float uw2,
              float vw2, float, float) override {
        ++calls, u = u_, v = v_, fp[0] = uw1, fp[1] = vw1, fp[2] = uw2, fp[3] = vw2;
        for (int i = 0; i < n; ++i) r[i] = float(calls);
    }
};

const Vector3f kSquare[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
const int kDegree[1] = {4}, kCorners[4] = {0, 1, 2, 3}, kTriangles[6] = {0, 1, 2, 0, 2, 3};
const AColor kWhite(1, 1, 1, 1);

// The filter factory of the instance: the recorder for the first filter of a
// load (thread 0), the file's own filters for the others.
RecordingFilter* g_recorder = nullptr;
int g_filtersMade = 0;
PtexFilter* recorderFirst(PtexTexture* texture, const PtexFilter::Options& options) {
    return g_filtersMade++ == 0 ? g_recorder : PtexFilter::getFilter(texture, options);
}

char g_report[DEBUG_OUTPUT_BUFFER_SIZE];  // first debugger line of a failure report
void captureReport(const char* text) {
    if (!g_report[0]) std::strncpy(g_report, text, sizeof g_report - 1);
}
void* refuse(size_t) {
    return nullptr;
}

class Lookup : public testing::Test {
protected:
    void SetUp() override {
        const std::string file = writeTestTexture("lookup_rgb.ptx", 3, -1);
        ASSERT_FALSE(file.empty());
        ASSERT_TRUE(square.setPolygons(kSquare, 4, kDegree, 1, kCorners, 4));
        param("ptex_file").setString(file.c_str());
        param("filter_type").setInt(2);
        param("vertices").setVectorList(kSquare, 4);
        param("origFaces").setIntList(kCorners, 4);
        param("origFacesDegree").setIntList(kDegree, 1);
        param("faces").setIntList(kTriangles, 6);
        renderer.getRenderSetup().threadCount = 2;
        g_recorder = &rec;
        tex().setFilterFactory(&recorderFirst);
        tex().renderBegin(&renderer);
        beginFrame();
    }
    void TearDown() override {
        tex().frameEnd(&renderer);
        tex().renderEnd(&renderer);
        texFacetPluginDesc().deletePlugin(plugin);
    }
    void beginFrame(bool ownModel = true) {
        g_filtersMade = 0;
        rec.calls = 0;
        tex().frameBegin(&renderer);
        ASSERT_TRUE(tex().ready());
        ASSERT_EQ(tex().frame()->origMesh() != nullptr, ownModel);
        ASSERT_EQ(tex().frame()->filter(0), &rec);
    }
    // The next frame without the geometry lists: the host's mesh interface answers.
    void beginHostMeshFrame() {
        param("faces").setIntList(kTriangles, 0);
        tex().frameEnd(&renderer);
        beginFrame(false);
    }
    TexFacet& tex() { return *static_cast<TexFacet*>(plugin); }
    ZentoPluginParameter& param(const char* name) {
        return *tex().getParameterList()->getParam(name);
    }
    // A hit in render triangle 0, where (u, v) = (x, y) of the point.
    ShadeContext at(int slot = 0, uint32_t key = 0, int thread = 0) {
        ShadeContext sc;
        square.fillHit(sc, 0, 0.25f, 0.5f);
        sc.threadIndex = thread, sc.resultSlot = slot, sc.resultKey = key;
        return sc;
    }
    AColor shade(const ShadeContext& sc) { return tex().getTexColor(sc); }
    // One call with the heap refusing everything.
    AColor shadeRefused(const ShadeContext& sc) {
        g_report[0] = 0;
        const DebugOutputSink old = setDebugOutputSink(&captureReport);
        setAllocateFunction(&refuse);
        const AColor c = shade(sc);
        setAllocateFunction(nullptr);
        setDebugOutputSink(old);
        return c;
    }
    const ResultTable& table(int thread) { return tex().resultTables().table(thread); }

    Plugin* plugin = texFacetPluginDesc().newPlugin(nullptr);
    ZentoRenderer renderer;
    HostMesh square;
    RecordingFilter rec;
};

TEST_F(Lookup, BarycentricCorrection) {
    const struct {
        Vector3f e2;
        uint32_t flags;
        float u, v;
    } rows[] = {
        {{0, 1, 0}, RAY_FLAG_NO_RESULT_CACHE, 0.35f, 0.2f},
        {{1, 1, 0}, RAY_FLAG_NO_RESULT_CACHE, 1.05f, 0.2f},  // skewed: (0.85, 0.2)
        {{2, 0, 0}, RAY_FLAG_NO_RESULT_CACHE, 1.5f, 0.0f},   // singular: (0.1, 0.7) stays
        {{0, 1, 0}, 0, 0.1f, 0.7f},                          // corrected only with bit 22
    };
    for (const auto& r : rows) {
        ShadeContext sc;  // no hit object: the point as rebuilt, the own model maps it
        sc.hitFaceIndex = 0, sc.hitBary = {0.1f, 0.7f}, sc.rayFlags = r.flags;
        sc.hitTriangleEdge1 = {1, 0, 0}, sc.hitTriangleEdge2 = r.e2, sc.hitNormal = {0, 0, 1};
        sc.surfacePoint = {1.25, 0.5, 3.0}, sc.shadePoint = {1.0, 1.0, 0.0};
        shade(sc);
        EXPECT_NEAR(rec.u, r.u, 1e-6f) << r.e2.x;
        EXPECT_NEAR(rec.v, r.v, 1e-6f) << r.e2.x;
    }
}

TEST_F(Lookup, FootprintScale) {
    FilterScaleInterface scale;
    const struct {
        uint32_t flags;
        float m, s, w, k;
    } rows[] = {
        {0x10, 0.5f, 0.5f, 0.0f, 0.5f},
        {0x1000, 0.5f, 2.0f, 1.0f, 0.75f},
        {0x10, 0.5f, 4.0f, 0.0f, 0.5f},
        {0x1010, 1.0f, 3.0f, 0.7f, 1.0f},
        {0x10, 0.5f, std::nanf(""), 1.0f, 0.5f},
        {0, 0.5f, 0.5f, 0.0f, 1.0f},      // bits 4 and 12 clear
        {0x10, -1.0f, 0.5f, 0.0f, 1.0f},  // no FilterScaleInterface
    };
    for (const auto& r : rows) {
        scale.filterMultiplier = r.m;
        renderer.getRenderSetup().setInterface(EXT_FILTER_SCALE, r.m < 0 ? nullptr : &scale);
        ShadeContext sc = at();
        sc.rayFlags = r.flags, sc.renderSetup = &renderer.getRenderSetup();
        sc.filterScaleRamp = r.s, sc.filterScaleWeight = r.w, sc.dPdx = {0.1f, 0, 0},
        sc.dPdy = {0, 0.2f, 0};
        shade(sc);
        EXPECT_NEAR(rec.fp[0], 0.1f * r.k, 1e-6f) << r.s;
        EXPECT_NEAR(rec.fp[1], 0.0f, 1e-6f) << r.s;
        EXPECT_NEAR(rec.fp[2], 0.0f, 1e-6f) << r.s;
        EXPECT_NEAR(rec.fp[3], 0.2f * r.k, 1e-6f) << r.s;
    }
    ShadeContext sc = at();
    sc.dPdx = {0.1f, 0, 0}, sc.dPdy = {0, 0.2f, 0};
    square.offerInterface(EXT_WORLD_POINT_MAPPING, false);  // no mapping: no footprint
    shade(sc);
    EXPECT_EQ(rec.fp[0] + rec.fp[3], 0.0f);
    square.offerInterface(EXT_WORLD_POINT_MAPPING, true);
    param("filter_type").setInt(0);  // point filtering: no footprint
    tex().getParameterList()->cacheParams(0.0, TracePoint{0.0, 0.0, 0.0});
    shade(sc);
    EXPECT_EQ(rec.fp[0] + rec.fp[3], 0.0f);
}

TEST_F(Lookup, ResultCacheHitBypassKeyZeroAndFrameClear) {
    EXPECT_EQ(shade(at(3, 5)).r, 1.0f);  // miss: evaluated and stored
    EXPECT_EQ(shade(at(3, 5)).r, 1.0f);  // hit: not evaluated
    EXPECT_EQ(rec.calls, 1);
    ASSERT_EQ(table(0).count, 4);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(table(0).entries[i].key, 0u);
    EXPECT_EQ(shade(at(3, 6)).r, 2.0f);  // another key at the slot: evaluated, overwritten
    EXPECT_EQ(table(0).entries[3].key, 6u);

    ShadeContext bypass = at(3, 6);
    bypass.rayFlags = RAY_FLAG_NO_RESULT_CACHE;
    EXPECT_EQ(shade(bypass).r, 3.0f);              // bit 22: the entry is not read...
    EXPECT_EQ(table(0).entries[3].color.r, 2.0f);  // ...nor written
    bypass.resultSlot = 50;
    shade(bypass);
    EXPECT_EQ(table(0).count, 4);  // nor grown

    EXPECT_EQ(shade(at(1, 0)).r, 5.0f);  // key 0 does not match the empty entry
    EXPECT_EQ(shade(at(60, 0)).r, 6.0f);
    EXPECT_EQ(table(0).count, 4);  // and is never stored
    EXPECT_EQ(table(0).entries[1].key, 0u);

    tex().frameEnd(&renderer);
    beginFrame();
    EXPECT_EQ(table(0).count, 4);
    EXPECT_EQ(table(0).entries[3].key, 0u);  // every key cleared
    EXPECT_EQ(shade(at(3, 6)).r, 1.0f);      // re-evaluated
}

TEST_F(Lookup, TableGrowthThroughGetTexColor) {
    shade(at(0, 7, 1));
    EXPECT_EQ(table(1).count * 100 + table(1).capacity, 1 * 100 + 30);
    shade(at(45, 8, 1));
    EXPECT_EQ(table(1).count * 100 + table(1).capacity, 46 * 100 + 60);
    for (int i = 0; i < 45; ++i) EXPECT_EQ(table(1).entries[i].key, i ? 0u : 7u) << i;
}

TEST_F(Lookup, OutOfRangeThreadOrSlot) {
    const struct {
        int thread, slot;
        bool evaluated;
    } rows[] = {
        {-1, 0, false}, {2, 0, false},      {INT_MAX, 0, false}, {INT_MIN, 0, false},
        {0, -1, true},  {0, INT_MIN, true}, {0, INT_MAX, true},  // the cache is skipped
    };
    for (const auto& r : rows) {
        const AColor expected = r.evaluated ? AColor(float(rec.calls + 1), 0, 0, 0) : kWhite;
        EXPECT_EQ(shade(at(r.slot, 9, r.thread)).r, expected.r) << r.thread << " " << r.slot;
        EXPECT_EQ(table(0).count + table(1).count, 0);
    }
}

TEST_F(Lookup, TablesFollowTheFrameThreadCount) {
    tex().frameEnd(&renderer);
    renderer.getRenderSetup().threadCount = 3;  // changed after render begin
    beginFrame();
    ASSERT_EQ(tex().resultTables().count(), 3);
    shade(at(0, 4, 2));
    EXPECT_EQ(table(2).count, 1);
}

struct BadHost : HostMesh {
    int origFace = 0;
    mutable bool degreeAsked = false;
    int getOrigFaceIndex(double, int) const override { return origFace; }
    int getFaceDegree(double t, int f) const override {
        if (f == origFace) degreeAsked = true;
        return HostMesh::getFaceDegree(t, f);
    }
};

TEST_F(Lookup, OriginalFaceOutsideTheRange) {
    BadHost host;
    ASSERT_TRUE(host.setPolygons(kSquare, 4, kDegree, 1, kCorners, 4));
    beginHostMeshFrame();
    for (const int f : {1, -1, INT_MAX, INT_MIN}) {
        host.origFace = f;
        host.degreeAsked = false;
        ShadeContext sc = at();
        host.fillHit(sc, 0, 0.25f, 0.5f);
        EXPECT_EQ(shade(sc), kWhite) << f;  // not Ptex face 0
        EXPECT_EQ(rec.calls, 0) << f;
        EXPECT_FALSE(host.degreeAsked) << f;
    }
}

// A square that grows with time: x scaled by 1 + time.
struct GrowingSquare : HostMesh {
    Vector3f getVertex(double t, int index) const override {
        Vector3f v = HostMesh::getVertex(t, index);
        v.x *= float(1.0 + t);
        return v;
    }
};

// The host path keeps each thread's face bases for its next points: a kept basis must
// still answer for its own object, triangle and time only.
TEST_F(Lookup, HostMeshBasesFollowTimeObjectAndFrame) {
    GrowingSquare growing;
    HostMesh wide;  // the same triangles, twice as wide
    const Vector3f wideSquare[4] = {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}};
    ASSERT_TRUE(growing.setPolygons(kSquare, 4, kDegree, 1, kCorners, 4));
    ASSERT_TRUE(wide.setPolygons(wideSquare, 4, kDegree, 1, kCorners, 4));
    beginHostMeshFrame();
    ASSERT_NE(tex().frame()->recentBases(0), nullptr);
    struct Step {
        HostMesh* object;
        double time;
        float u;  // of the point x = 0.75, y = 0.5 (filled from the unit square)
    } steps[] = {{&growing, 0.0, 0.75f}, {&growing, 1.0, 0.375f}, {&growing, 0.0, 0.75f},
                 {&wide, 0.0, 0.375f},   {&growing, 0.0, 0.75f},  {&growing, 1.0, 0.375f}};
    for (const Step& step : steps) {
        ShadeContext sc = at();
        sc.hitObject = step.object;
        sc.rayTime = step.time;
        const int calls = rec.calls;
        shade(sc);
        ASSERT_EQ(rec.calls, calls + 1) << step.time;  // filtered, not the fallback
        EXPECT_FLOAT_EQ(rec.u, step.u) << step.time;
        EXPECT_FLOAT_EQ(rec.v, 0.5f) << step.time;
    }
    // A new frame starts without them: an object's mesh may change between frames.
    tex().frameEnd(&renderer);
    ASSERT_TRUE(wide.setPolygons(kSquare, 4, kDegree, 1, kCorners, 4));
    beginFrame(false);
    ShadeContext sc = at();
    sc.hitObject = &wide;
    shade(sc);
    ASSERT_EQ(rec.calls, 1);
    EXPECT_FLOAT_EQ(rec.u, 0.75f);
}

TEST_F(Lookup, RefusedFaceDataReadLeavesTheTextureSound) {
    EXPECT_EQ(shadeRefused(at(0, 0, 1)), kWhite);  // thread 1 keeps the file's filter
    EXPECT_NE(g_report[0], 0);
    const AColor after = shade(at(0, 0, 1));
    tex().frameEnd(&renderer);  // the last reference: the next frame reads the file afresh
    beginFrame();
    EXPECT_EQ(after, shade(at(0, 0, 1)));
}

TEST_F(Lookup, OwnAllocationFailureAnswersWhiteUncached) {
    const ShadeContext sc = at(100, 9);  // growth to 120 entries
    const std::string size = std::to_string(120 * sizeof(ResultEntry));
    EXPECT_EQ(shadeRefused(sc), kWhite);
    EXPECT_EQ(table(0).count, 0);
    EXPECT_EQ(std::string(g_report), "[operator new] failed (size is " + size + ")\n");
    EXPECT_EQ(std::string(lastAllocationFailureMessage())
                  .rfind("Memory allocation failure; " + size + " bytes", 0),
              0u);
    EXPECT_EQ(shade(sc).r, 2.0f);  // memory back: evaluated and stored
    EXPECT_EQ(table(0).count, 101);
    EXPECT_EQ(shadeRefused(at(INT_MAX - 1, 9)), kWhite);  // the largest slot: no capacity overflow
    EXPECT_EQ(table(0).count, 101);

    beginHostMeshFrame();  // the host-path face-start table is refused next
    const ShadeContext hostSc = at();
    EXPECT_EQ(shadeRefused(hostSc), kWhite);
    EXPECT_FALSE(tex().frame()->faceStarts().isBuilt());
    EXPECT_NE(g_report[0], 0);
    EXPECT_EQ(shade(hostSc).r, 1.0f);  // the lock was not left held
    EXPECT_EQ(tex().frame()->faceStarts().builds(), 1);
}

// Each lookup counts once under its outcome; the counts start afresh at every frame,
// and the statistics interface copies no more of them than the caller's record holds.
TEST_F(Lookup, CountsEveryLookupByReason) {
    auto counts = [&] {
        const ShadeCounts c = tex().shadeCounts();
        return std::vector<uint64_t>(c.n, c.n + kShadeCountKinds);
    };
    using V = std::vector<uint64_t>;  // hits, misses, filtered, faces, then the fallbacks
    shade(at(0, 1));
    shade(at(0, 1));
    shade(at(0, 2, 1));
    EXPECT_EQ(counts(), V({1, 2, 2, 1, 0, 0, 0, 0, 0}));
    shade(at(0, 3, 2));  // no thread 2
    shade(at(0, 3, -1));
    shadeRefused(at(100, 4));  // the table's growth
    EXPECT_EQ(counts(), V({1, 5, 3, 1, 0, 0, 0, 2, 1}));

    ZentoPluginInterface* pi = getZentoPluginInterface(plugin);
    ASSERT_EQ(pi, static_cast<ZentoPluginInterface*>(&tex()));
    ShadingStats few;
    few.size = offsetof(ShadingStats, facesTouched);
    few.facesTouched = 77;
    EXPECT_EQ(getShadingStatsInterface(plugin)->getShadingStats(few), few.size);
    EXPECT_EQ(few.lookups * 1000 + few.filterEvaluations * 10 + few.facesTouched / 77,
              6u * 1000 + 3 * 10 + 1);
    EXPECT_EQ(getShadingStatsInterface(plugin)->getPlugin(), plugin);

    BadHost host;  // a face outside the mesh
    ASSERT_TRUE(host.setPolygons(kSquare, 4, kDegree, 1, kCorners, 4));
    host.origFace = 1;
    beginHostMeshFrame();
    EXPECT_EQ(counts(), V(9, 0));
    shadeRefused(at());  // the face-start table
    ShadeContext sc = at();
    host.fillHit(sc, 0, 0.25f, 0.5f);
    shade(sc);
    square.offerInterface(EXT_MESH_INFO, false);
    shade(at());
    EXPECT_EQ(counts(), V({0, 3, 0, 0, 0, 1, 1, 0, 1}));

    param("ptex_file").setString("no such file.ptx");
    tex().getParameterList()->cacheParams(0.0, TracePoint{0.0, 0.0, 0.0});
    tex().frameEnd(&renderer);
    tex().frameBegin(&renderer);
    shade(at());
    EXPECT_EQ(counts(), V({0, 1, 0, 0, 1, 0, 0, 0, 0}));
}

}  // namespace
