// The shading lookup end to end through the loaded plugin library: hits inside every
// render triangle of the golden meshes, shaded with the instance's own model and with
// the host's mesh interface, against a direct filter evaluation at the face and
// (u, v) the face corners give. The mesh sits away from the origin in world space, so
// the hit point and the footprint reach mesh space only through the host's mappings.
// LookupThreads (label threads, run under the thread sanitizer in CI): two render
// threads shading one instance at once, over three frames; with the host's mesh
// interface each frame's face-start table is built by whichever needs it first.
// Each frame's shading statistics add up exactly: every thread's own counts,
// the touched faces both threads race to mark, and the lookups with a thread
// index outside the render, which count in shared atomics.
#include <atomic>
#include <thread>

#include "lookup_fixture.h"
#include "zento/ShadingStatsInterface.h"

using namespace lookuptest;

namespace {

struct Case {
    const char* obj;
    const char* ptx;
    int filterType;
    float sharpness;
    bool ownModel;
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
    return os << c.ptx << " filter " << c.filterType << (c.ownModel ? " own model" : " host mesh");
}

class LookupEndToEnd : public testing::TestWithParam<Case> {};

TEST_P(LookupEndToEnd, MatchesTheFilterAtTheMappedFace) {
    const Case& c = GetParam();
    Scene scene;
    if (!scene.load(c.obj, c.ptx, c.filterType, c.sharpness))
        GTEST_SKIP() << "no golden data in " ZENTO_TESTDATA_DIR;
    for (size_t f = 0; f < scene.facesHit.size(); ++f)
        ASSERT_GT(scene.facesHit[f], 0) << "no sample in face " << f;
    Instance in;
    ASSERT_NE(in.tex, nullptr) << "plugin not loaded from " << ZENTO_PLUGIN_PATH;
    in.renderBegin(scene, c.filterType, c.sharpness, c.ownModel);
    in.pi->frameBegin(&in.renderer);
    const size_t n = scene.samples.size();
    std::vector<AColor> got;
    for (size_t i = 0; i < n; ++i) {
        const Sample& s = scene.samples[i];
        got.push_back(scene.shade(*in.tex, s, int(i % 2), int(i % 40), uint32_t(i + 1)));
        EXPECT_TRUE(near(got.back(), s.expected))
            << "face " << s.face << " u " << s.uv[0] << " v " << s.uv[1] << ": " << got.back().r
            << " expected " << s.expected.r;
    }
    for (size_t i = n > 40 ? n - 40 : 0; i < n;
         ++i) {  // the last entries again: their cached colours
        EXPECT_EQ(scene.shade(*in.tex, scene.samples[i], int(i % 2), int(i % 40), uint32_t(i + 1)),
                  got[i])
            << i;
    }
    in.pi->frameEnd(&in.renderer);
    in.pi->renderEnd(&in.renderer);
}

INSTANTIATE_TEST_SUITE_P(Golden, LookupEndToEnd,
                         testing::Values(Case{"mixed.obj", "mixed_rgb8.ptx", 2, 0.0f, true},
                                         Case{"mixed.obj", "mixed_rgb8.ptx", 2, 0.0f, false},
                                         Case{"mixed.obj", "mixed_rgb8.ptx", 4, 0.5f, true},
                                         Case{"mixed.obj", "mixed_rgb8.ptx", 4, 0.5f, false},
                                         Case{"icosahedron.obj", "ico_rgb8.ptx", 2, 0.0f, true},
                                         Case{"icosahedron.obj", "ico_rgb8.ptx", 4, 0.5f, false}));

void shadeTogether(bool ownModel) {
    Scene scene;
    if (!scene.load("mixed.obj", "mixed_rgb8.ptx", 2, 0.0f))
        GTEST_SKIP() << "no golden data in " ZENTO_TESTDATA_DIR;
    Instance in;
    ASSERT_NE(in.tex, nullptr) << "plugin not loaded from " << ZENTO_PLUGIN_PATH;
    in.renderBegin(scene, 2, 0.0f, ownModel);
    ShadingStatsInterface* statsOf = getShadingStatsInterface(in.plugin);
    ASSERT_NE(statsOf, nullptr);
    const uint64_t n = scene.samples.size(),
                   faces = uint64_t(std::count_if(scene.facesHit.begin(), scene.facesHit.end(),
                                                  [](int hits) { return hits > 0; }));
    constexpr uint64_t kStray = 5;  // lookups per thread with an index outside the render
    for (int frame = 0; frame < 3; ++frame) {
        in.pi->frameBegin(&in.renderer);
        std::atomic<int> waiting{2};
        int wrong[2] = {0, 0};
        auto render = [&](int thread) {
            waiting.fetch_sub(1);
            while (waiting.load() > 0) std::this_thread::yield();  // both start at once
            const size_t n = scene.samples.size();
            for (size_t i = 0; i < 2 * n; ++i) {                  // the second pass hits the cache
                const size_t k = thread ? n - 1 - i % n : i % n;  // in opposite orders
                const AColor c =
                    scene.shade(*in.tex, scene.samples[k], thread, int(k), uint32_t(k + 1));
                wrong[thread] += !near(c, scene.samples[k].expected);
            }
            for (uint64_t i = 0; i < kStray; ++i)
                wrong[thread] +=
                    scene.shade(*in.tex, scene.samples[i], 2 + thread, 0, 1) != AColor(1, 1, 1, 1);
        };
        std::thread other(render, 1);
        render(0);
        other.join();
        EXPECT_EQ(wrong[0] + wrong[1], 0) << "frame " << frame;
        in.pi->frameEnd(&in.renderer);
        ShadingStats st;
        EXPECT_EQ(statsOf->getShadingStats(st), sizeof st);
        const uint64_t got[] = {st.lookups,
                                st.cacheHits,
                                st.filterEvaluations,
                                st.facesTouched,
                                st.fallbackBadThread,
                                st.fallbackNoTexture + st.fallbackNoMeshSource +
                                    st.fallbackUnmappable + st.fallbackAllocationRefused};
        const uint64_t want[] = {4 * n + 2 * kStray, 2 * n, 2 * n, faces, 2 * kStray, 0};
        EXPECT_EQ(std::vector<uint64_t>(got, got + 6), std::vector<uint64_t>(want, want + 6))
            << "frame " << frame;
        EXPECT_GT(st.cacheBytesRead * st.cacheFilesOpened * st.cachePeakMemory, 0u);
    }
    in.pi->renderEnd(&in.renderer);
}

TEST(LookupThreads, HostMeshTableBuiltOnFirstUse) {
    shadeTogether(false);
}
TEST(LookupThreads, OwnModel) {
    shadeTogether(true);
}
}  // namespace
