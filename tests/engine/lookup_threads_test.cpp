// Two render threads shading one instance of the loaded plugin at once, over three
// frames: with the host's mesh interface each frame's face-start table is built by
// whichever thread needs it first; with the own model only the per-thread result
// tables and filters are written. Run under the thread sanitizer in CI.
#include <atomic>
#include <thread>

#include "lookup_fixture.h"

using namespace lookuptest;

namespace {

void shadeTogether(bool ownModel) {
    Scene scene;
    if (!scene.load("mixed.obj", "mixed_rgb8.ptx", 2, 0.0f)) GTEST_SKIP() << "no golden data in " ZENTO_TESTDATA_DIR;
    Instance in;
    ASSERT_NE(in.tex, nullptr) << "plugin not loaded from " << ZENTO_PLUGIN_PATH;
    in.renderBegin(scene, 2, 0.0f, ownModel);
    for (int frame = 0; frame < 3; ++frame) {
        in.pi->frameBegin(&in.renderer);
        std::atomic<int> waiting{2};
        int wrong[2] = {0, 0};
        auto render = [&](int thread) {
            waiting.fetch_sub(1);
            while (waiting.load() > 0) std::this_thread::yield();  // both start at once
            const size_t n = scene.samples.size();
            for (size_t i = 0; i < 2 * n; ++i) {  // the second pass hits the cache
                const size_t k = thread ? n - 1 - i % n : i % n;  // in opposite orders
                const AColor c = scene.shade(*in.tex, scene.samples[k], thread, int(k), uint32_t(k + 1));
                wrong[thread] += !near(c, scene.samples[k].expected);
            }
        };
        std::thread other(render, 1);
        render(0);
        other.join();
        EXPECT_EQ(wrong[0] + wrong[1], 0) << "frame " << frame;
        in.pi->frameEnd(&in.renderer);
    }
    in.pi->renderEnd(&in.renderer);
}

TEST(LookupThreads, HostMeshTableBuiltOnFirstUse) { shadeTogether(false); }
TEST(LookupThreads, OwnModel) { shadeTogether(true); }

}  // namespace
