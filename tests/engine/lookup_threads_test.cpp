// Two render threads shading one instance of the loaded plugin at once, over
// several frames: with the host's mesh interface each frame's face-start table is
// built by whichever thread needs it first; with the own model only the per-thread
// result tables and filters are written. Run under the thread sanitizer in CI.
#include <atomic>
#include <thread>

#include "lookup_fixture.h"

using namespace lookuptest;

namespace {

void shadeTogether(bool ownModel) {
    Scene scene;
    if (!scene.load("mixed.obj", "mixed_rgb8.ptx", {0.5f, -0.25f, 0.75f})) {
        GTEST_SKIP() << "golden data not found under " << ZENTO_TESTDATA_DIR;
    }
    scene.expect(2, 0.0f);
    Instance in;
    ASSERT_NE(in.tex, nullptr) << "plugin not loaded from " << ZENTO_PLUGIN_PATH;
    in.param("ptex_file").setString(scene.ptx.c_str());
    in.param("filter_type").setInt(2);
    if (ownModel) scene.setLists(in);
    ZentoRenderer renderer;
    renderer.getRenderSetup().threadCount = 2;
    in.pi->renderBegin(&renderer);
    for (int frame = 0; frame < 3; ++frame) {
        in.pi->frameBegin(&renderer);
        std::atomic<int> waiting{2};
        int wrong[2] = {0, 0};
        auto render = [&](int thread) {
            waiting.fetch_sub(1);
            while (waiting.load() > 0) std::this_thread::yield();  // both start at once
            for (int pass = 0; pass < 2; ++pass) {  // the second pass hits the cache
                for (size_t i = 0; i < scene.samples.size(); ++i) {
                    const size_t k = thread ? scene.samples.size() - 1 - i : i;  // opposite orders
                    const AColor c = scene.shade(in, scene.samples[k], thread, int(k), uint32_t(k + 1));
                    if (!near(c, scene.samples[k].expected)) ++wrong[thread];
                }
            }
        };
        std::thread other(render, 1);
        render(0);
        other.join();
        EXPECT_EQ(wrong[0], 0) << "frame " << frame;
        EXPECT_EQ(wrong[1], 0) << "frame " << frame;
        in.pi->frameEnd(&renderer);
    }
    in.pi->renderEnd(&renderer);
}

TEST(LookupThreads, HostMeshTableBuiltOnFirstUse) { shadeTogether(false); }
TEST(LookupThreads, OwnModel) { shadeTogether(true); }

}  // namespace
