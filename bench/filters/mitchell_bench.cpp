// Evaluations per second of the Mitchell filter (type -1) and of the library's
// bicubic filter at the same sharpness, on the same queries over a golden file
// (or a generated texture when the golden data is absent), and the heap
// allocations per evaluation (operator new is counted in this program).
#include "filters/PtexMitchellFilter.h"

#include <Ptexture.h>
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

namespace {
std::atomic<long> g_allocations{0};
}

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t n) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

namespace {

struct Query {
    int face;
    float u, v, uw, vw;
};

// A 4x4 grid of faces with mixed resolutions, 3 channels of 8-bit data.
std::string generatedTexture() {
    std::string path = (std::filesystem::temp_directory_path() / "bench-mitchell.ptx").string();
    Ptex::String err;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 16, err);
    if (!w) return "";
    for (int f = 0; f < 16; ++f) {
        int i = f % 4, j = f / 4;
        int adj[4] = {j > 0 ? f - 4 : -1, i < 3 ? f + 1 : -1, j < 3 ? f + 4 : -1,
                      i > 0 ? f - 1 : -1};
        int edges[4] = {2, 3, 0, 1};
        Ptex::Res res(int8_t(3 + (f * 7) % 4), int8_t(3 + (f * 5) % 4));
        std::vector<uint8_t> data(size_t(res.size()) * 3);
        for (size_t k = 0; k < data.size(); ++k) data[k] = uint8_t((k * 37 + f * 11) & 0xff);
        w->writeFace(f, Ptex::FaceInfo(res, adj, edges), data.data());
    }
    bool ok = w->close(err);
    w->release();
    return ok ? path : "";
}

struct Fixture {
    PtexTexture* tx = nullptr;
    std::vector<Query> magnify, minify;
    std::string name;
    Fixture() {
        std::string golden = std::string(ZENTO_TESTDATA_DIR) + "/ptex/grid_rgba8.ptx";
        std::string path = std::filesystem::exists(golden) ? golden : generatedTexture();
        name = std::filesystem::path(path).filename().string();
        Ptex::String err;
        tx = PtexTexture::open(path.c_str(), err);
        if (!tx) return;
        uint32_t seed = 12345;
        auto rnd = [&] { return float((seed = seed * 1664525u + 1013904223u) >> 8) / 16777216.0f; };
        for (int i = 0; i < 4096; ++i) {
            int face = int(rnd() * float(tx->numFaces())) % tx->numFaces();
            float u = rnd(), v = rnd();
            magnify.push_back({face, u, v, 0.002f * rnd(), 0.002f * rnd()});
            minify.push_back({face, rnd(), rnd(), 0.02f + 0.2f * rnd(), 0.02f + 0.2f * rnd()});
        }
    }
    ~Fixture() {
        if (tx) tx->release();
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void runFilter(benchmark::State& state, int type, bool wide) {
    Fixture& fx = fixture();
    if (!fx.tx) {
        state.SkipWithError("no texture");
        return;
    }
    PtexFilter* f = PtexFilter::getFilter(
        fx.tx, PtexFilter::Options(PtexFilter::FilterType(type), false, 2.0f / 3.0f));
    const std::vector<Query>& qs = wide ? fx.minify : fx.magnify;
    float r[4];
    for (const Query& q : qs)
        f->eval(r, 0, 4, q.face, q.u, q.v, q.uw, 0, 0, q.vw);  // warm the cache
    size_t i = 0;
    long evals = 0;
    const long before = g_allocations.load();
    for (auto _ : state) {
        const Query& q = qs[i];
        i = (i + 1) & (qs.size() - 1);
        f->eval(r, 0, 4, q.face, q.u, q.v, q.uw, 0, 0, q.vw);
        benchmark::DoNotOptimize(r[0]);
        ++evals;
    }
    const long allocs = g_allocations.load() - before;
    state.SetItemsProcessed(evals);
    state.counters["allocs_per_eval"] = evals ? double(allocs) / double(evals) : 0.0;
    state.SetLabel(fx.name);
    f->release();
}

void BM_MitchellMagnify(benchmark::State& s) {
    runFilter(s, -1, false);
}
void BM_BicubicMagnify(benchmark::State& s) {
    runFilter(s, PtexFilter::f_bicubic, false);
}
void BM_MitchellMinify(benchmark::State& s) {
    runFilter(s, -1, true);
}
void BM_BicubicMinify(benchmark::State& s) {
    runFilter(s, PtexFilter::f_bicubic, true);
}

}  // namespace

BENCHMARK(BM_MitchellMagnify);
BENCHMARK(BM_BicubicMagnify);
BENCHMARK(BM_MitchellMinify);
BENCHMARK(BM_BicubicMinify);
BENCHMARK_MAIN();
