// A full-HD render of the example scene at 1 spp, as zento-render draws it.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "RenderJob.h"

namespace {

void BM_RenderExample(benchmark::State& state) {
    RenderOptions options;
    options.pluginPath = ZENTO_PLUGIN_FILE;
    options.threads = int(state.range(0));
    options.spp = 1;
    options.width = 1920;
    options.height = 1080;
    Scene scene;
    try {
        scene = loadSceneFile(EXAMPLE_SCENE);
    } catch (const SceneError& e) {
        state.SkipWithError(e.what());
        return;
    }
    RenderJob job;
    std::string error;
    if (!job.prepare(scene, options, "", error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    job.renderBegin();
    Image image;
    uint64_t rays = 0, points = 0;
    int frame = 1;
    for (auto _ : state) {
        RenderStats stats;
        job.renderFrame(frame++, image, stats);
        rays += stats.rays;
        points += stats.shadingPoints;
        benchmark::DoNotOptimize(image.rgba.data());
    }
    job.renderEnd();
    state.counters["rays/s"] = benchmark::Counter(double(rays), benchmark::Counter::kIsRate);
    state.counters["points/s"] = benchmark::Counter(double(points), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderExample)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
