// Standard filter speed: evaluations per second per filter type on one and two
// threads sharing one texture, and heap allocations per evaluation.
//
// The texture is written at start-up: a 16 x 16 grid of 256 x 256 RGBA8 faces
// (stored tiled, with mip-maps). Queries: coherent runs on random faces (as
// neighbouring shading points give), footprints of 0.25 to 4 texels (mostly
// magnification and mild minification), one run in eight anisotropic. Each
// thread makes its own filter and starts at its own place in the list; the
// cache is warmed first.
//
// Table/...: the filter speed comparison's work, the same queries instr-per-eval
// counts: the bench file's (200 faces of 256 x 256 RGBA8, written at build time
// through our writer) box, bilinear, bicubic (sharpness 0.5) and gaussian rows,
// and the golden triangle-filter tables ico_rgb8 and ico_f32_nomip, each table
// evaluated row after row through ptex-eval's evaluator (filters made up front,
// one set per thread, caches shared and warm). Skipped without the data.
#include "FilterTable.h"
#include "PtexFilters.h"
#include "Ptexture.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <random>
#include <string>
#include <vector>

// Allocation counter: every operator new of this program goes through here.
// (g++ flags malloc/free pairs inside replaced operators as mismatched; they match.)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
thread_local uint64_t tAllocs = 0;
}
void* operator new(std::size_t n) {
    tAllocs++;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    return operator new(n);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

inline float PtexUtilsClamp(float x, float lo, float hi) {
    return x < lo ? lo : (x > hi ? hi : x);
}

const int kGrid = 16;  // 256 faces
const int kLog2 = 8;   // 256 x 256 texels

struct Query {
    int face;
    float u, v, uw1, vw1, uw2, vw2;
};

// A texture file written at start-up into the temporary directory, opened
// through a cache of its own, and its query list; the file is removed at exit.
struct TextureFixture {
    std::string path;
    PtexCache* cache = nullptr;
    PtexTexture* tex = nullptr;
    std::vector<Query> queries;

    explicit TextureFixture(const char* name)
        : path((std::filesystem::temp_directory_path() / name).string()) {}
    ~TextureFixture() {
        if (tex) tex->release();
        if (cache) cache->release();
        std::remove(path.c_str());
    }
    // Opens the written file; a failure ends the program.
    void open(bool written) {
        if (!written) {
            std::fprintf(stderr, "bench-ptex-filters: cannot write %s\n", path.c_str());
            std::exit(1);
        }
        cache = PtexCache::create(0, 0);
        Ptex::String err;
        tex = cache->get(path.c_str(), err);
        if (!tex) {
            std::fprintf(stderr, "bench-ptex-filters: %s\n", err.c_str());
            std::exit(1);
        }
    }
};

// Quad texture: the 16 x 16 grid described at the top.
struct Fixture : TextureFixture {
    Fixture() : TextureFixture("zento-bench-filters.ptx") {
        open(write());
        std::mt19937 rng(12345);
        std::uniform_real_distribution<float> pos(0.0f, 1.0f), lw(-2.0f, 2.0f),
            ang(0.0f, 6.2831853f);
        const float texel = 1.0f / float(1 << kLog2);
        // Coherent runs, as neighbouring shading points of one surface give:
        // 64 queries per run stepping about a texel along a direction on one face.
        for (int run = 0; run < 128; run++) {
            const int face = int(rng() % (kGrid * kGrid));
            float u = pos(rng), v = pos(rng);
            const float dir = ang(rng), step = texel * (0.5f + 1.5f * pos(rng));
            const float base = lw(rng);
            const bool aniso = run % 8 == 7;
            for (int i = 0; i < 64; i++) {
                Query q;
                q.face = face;
                u += step * std::cos(dir);
                v += step * std::sin(dir);
                if (u < 0 || u > 1) u -= std::floor(u);
                if (v < 0 || v > 1) v -= std::floor(v);
                q.u = u;
                q.v = v;
                // 0.25 .. 4 texels
                const float w =
                    texel * std::exp2(PtexUtilsClamp(base + 0.2f * (pos(rng) - 0.5f), -2.0f, 2.0f));
                if (aniso) {
                    const float a = dir, r = 1 + 3 * pos(rng);
                    q.uw1 = w * r * std::cos(a);
                    q.vw1 = w * r * std::sin(a);
                    q.uw2 = -w * std::sin(a);
                    q.vw2 = w * std::cos(a);
                } else {
                    q.uw1 = w;
                    q.vw1 = 0;
                    q.uw2 = 0;
                    q.vw2 = w;
                }
                queries.push_back(q);
            }
        }
    }
    bool write() const {
        Ptex::String err;
        PtexWriter* w =
            PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 4, 3, kGrid * kGrid, err);
        if (!w) return false;
        const int N = 1 << kLog2;
        std::vector<uint8_t> data(size_t(N) * N * 4);
        for (int row = 0; row < kGrid; row++) {
            for (int col = 0; col < kGrid; col++) {
                const int f = row * kGrid + col;
                int adj[4] = {row > 0 ? f - kGrid : -1, col < kGrid - 1 ? f + 1 : -1,
                              row < kGrid - 1 ? f + kGrid : -1, col > 0 ? f - 1 : -1};
                int edges[4] = {2, 3, 0, 1};
                Ptex::FaceInfo info(Ptex::Res{int8_t(kLog2), int8_t(kLog2)}, adj, edges);
                for (int y = 0; y < N; y++)
                    for (int x = 0; x < N; x++) {
                        uint8_t* p = &data[(size_t(y) * N + x) * 4];
                        p[0] = uint8_t((x + f * 7) & 0xff);
                        p[1] = uint8_t((y * 3 + f) & 0xff);
                        p[2] = uint8_t(((x ^ y) + f * 13) & 0xff);
                        p[3] = uint8_t(255 - ((x + y) >> 1));
                    }
                if (!w->writeFace(f, info, data.data())) {
                    w->release();
                    return false;
                }
            }
        }
        bool ok = w->close(err);
        w->release();
        return ok;
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Triangle texture: 128 pairs of 128 x 128 RGBA8 triangles, each pair sharing
// its diagonal edge; coherent runs of queries with footprints of 0.25 to 4 texels.
struct TriFixture : TextureFixture {
    TriFixture() : TextureFixture("zento-bench-filters-tri.ptx") {
        const int nfaces = 256, log2 = 7, N = 1 << log2;
        Ptex::String err;
        PtexWriter* w =
            PtexWriter::open(path.c_str(), Ptex::mt_triangle, Ptex::dt_uint8, 4, 3, nfaces, err);
        if (!w) std::exit(1);
        std::vector<uint8_t> data(size_t(N) * N * 4);
        for (int f = 0; f < nfaces; f++) {
            int adj[4] = {-1, f ^ 1, -1, -1}, edges[4] = {0, 1, 0, 0};
            Ptex::FaceInfo info(Ptex::Res{int8_t(log2), int8_t(log2)}, adj, edges);
            for (size_t i = 0; i < data.size(); i++)
                data[i] = uint8_t((i * 13 + size_t(f) * 7 + i / 512) & 0xff);
            w->writeFace(f, info, data.data());
        }
        const bool ok = w->close(err);
        w->release();
        open(ok);
        std::mt19937 rng(777);
        std::uniform_real_distribution<float> pos(0.0f, 1.0f), lw(-2.0f, 2.0f);
        // coherent runs of 64 queries about a texel apart, as for the quads
        for (int run = 0; run < 128; run++) {
            const int face = int(rng() % nfaces);
            float u = pos(rng), v = pos(rng);
            const float du = (pos(rng) - 0.5f) * 2 / float(N),
                        dv = (pos(rng) - 0.5f) * 2 / float(N);
            const float w = std::exp2(lw(rng)) / float(N);
            for (int i = 0; i < 64; i++) {
                u = u + du - std::floor(u + du);
                v = v + dv - std::floor(v + dv);
                float qu = u, qv = v;
                if (qu + qv > 1) {
                    qu = 1 - qu;
                    qv = 1 - qv;
                }
                queries.push_back(Query{face, qu, qv, w, 0, 0, w});
            }
        }
    }
};

TriFixture& triFixture() {
    static TriFixture f;
    return f;
}

// Evaluates the fixture's queries in order (each thread from its own place),
// after one warming pass over all of them; counts heap allocations per eval.
void runQueries(benchmark::State& state, const TextureFixture& fx,
                const PtexFilter::Options& opts) {
    PtexFilter* filter = PtexFilter::getFilter(fx.tex, opts);
    const std::vector<Query>& qs = fx.queries;
    float r[4];
    for (const Query& q : qs) filter->eval(r, 0, 4, q.face, q.u, q.v, q.uw1, q.vw1, q.uw2, q.vw2);
    size_t i = size_t(state.thread_index()) * 4096;
    const uint64_t allocs0 = tAllocs;
    uint64_t evals = 0;
    for (auto _ : state) {
        const Query& q = qs[i++ & (qs.size() - 1)];
        filter->eval(r, 0, 4, q.face, q.u, q.v, q.uw1, q.vw1, q.uw2, q.vw2);
        benchmark::DoNotOptimize(r[0]);
        evals++;
    }
    const uint64_t allocs = tAllocs - allocs0;
    filter->release();
    state.SetItemsProcessed(int64_t(evals));
    state.counters["allocs_per_eval"] = benchmark::Counter(
        evals ? double(allocs) / double(evals) : 0.0, benchmark::Counter::kAvgThreads);
}

void BM_TriFilter(benchmark::State& state, PtexFilter::FilterType type) {
    runQueries(state, triFixture(), PtexFilter::Options(type));
}

void BM_Filter(benchmark::State& state, PtexFilter::FilterType type, bool lerp) {
    runQueries(state, fixture(), PtexFilter::Options(type, lerp, 0.5f));
}

// A query table and its evaluator (textures opened once, shared by the threads).
struct TableWork {
    PtexEval::FilterTable table;
    std::unique_ptr<PtexEval::TableEvaluator> evaluator;
    std::string error;
};

// Loads TABLE (a file of the comparison's query table split by filter name, or a
// golden table) on first use; nullptr with the reason in *why when it is absent.
const TableWork* tableWork(const std::string& name, std::string* why) {
    static std::map<std::string, std::unique_ptr<TableWork>> works;
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    auto found = works.find(name);
    if (found == works.end()) {
        auto w = std::make_unique<TableWork>();
        std::string path, dir, filter;
        if (name.rfind("ico_", 0) == 0) {
            path = std::string(ZENTO_TESTDATA_DIR) + "/filters/" + name + ".tsv";
            dir = std::string(ZENTO_TESTDATA_DIR) + "/ptex";
        } else {
#ifdef ZENTO_BENCH_TABLE_DIR
            dir = ZENTO_BENCH_TABLE_DIR;
            path = dir + "/speed.tsv";
            filter = name;
#endif
        }
        std::ifstream in(path);
        if (path.empty() || !in) {
            w->error = "no table for " + name;
        } else if (PtexEval::parseFilterTable(in, w->table, w->error)) {
            if (!filter.empty()) {
                int type = 0;
                PtexEval::filterFromName(filter, type);
                std::vector<PtexEval::FilterQuery> rows;
                for (auto& q : w->table.rows)
                    if (q.filter == type) rows.push_back(std::move(q));
                w->table.rows = std::move(rows);
            }
            w->evaluator = std::make_unique<PtexEval::TableEvaluator>(w->table, dir);
            if (w->table.rows.empty()) w->error = "empty table " + name;
            if (!w->evaluator->load(w->error)) w->evaluator.reset();
        }
        found = works.emplace(name, std::move(w)).first;
    }
    const TableWork* w = found->second.get();
    if (!w->evaluator || w->table.rows.empty()) {
        *why = w->error;
        return nullptr;
    }
    return w;
}

void BM_Table(benchmark::State& state, const char* name) {
    std::string why;
    const TableWork* w = tableWork(name, &why);
    if (!w) {
        state.SkipWithError(why.c_str());
        return;
    }
    const PtexEval::TableEvaluator& ev = *w->evaluator;
    auto set = ev.makeFilters();
    std::vector<float> buf(size_t(ev.bufferSize()) + 1);
    const size_t rows = w->table.rows.size();
    for (size_t i = 0; i < rows; i++) ev.evalRow(*set, i, buf.data());  // warm
    size_t i = size_t(state.thread_index()) * (rows / 2);
    const uint64_t allocs0 = tAllocs;
    uint64_t evals = 0;
    for (auto _ : state) {
        ev.evalRow(*set, i, buf.data());
        benchmark::DoNotOptimize(buf[0]);
        if (++i == rows) i = 0;
        evals++;
    }
    const uint64_t allocs = tAllocs - allocs0;
    state.SetItemsProcessed(int64_t(evals));
    state.counters["allocs_per_eval"] = benchmark::Counter(
        evals ? double(allocs) / double(evals) : 0.0, benchmark::Counter::kAvgThreads);
}

#define TABLE_BENCH(name) \
    BENCHMARK_CAPTURE(BM_Table, name, #name)->Threads(1)->Threads(2)->UseRealTime()->MinTime(0.5)

TABLE_BENCH(box);
TABLE_BENCH(bilinear);
TABLE_BENCH(bicubic);
TABLE_BENCH(gaussian);
TABLE_BENCH(ico_rgb8);
TABLE_BENCH(ico_f32_nomip);

#define FILTER_BENCH(name, type, lerp)                         \
    BENCHMARK_CAPTURE(BM_Filter, name, PtexFilter::type, lerp) \
        ->Threads(1)                                           \
        ->Threads(2)                                           \
        ->UseRealTime()                                        \
        ->MinTime(0.5)

FILTER_BENCH(point, f_point, false);
FILTER_BENCH(bilinear, f_bilinear, false);
FILTER_BENCH(box, f_box, false);
FILTER_BENCH(gaussian, f_gaussian, false);
FILTER_BENCH(gaussian_lerp, f_gaussian, true);
FILTER_BENCH(bicubic, f_bicubic, false);
FILTER_BENCH(mitchell_lerp, f_mitchell, true);
BENCHMARK_CAPTURE(BM_TriFilter, point_tri, PtexFilter::f_point)
    ->Threads(1)
    ->Threads(2)
    ->UseRealTime()
    ->MinTime(0.5);
BENCHMARK_CAPTURE(BM_TriFilter, triangle, PtexFilter::f_box)
    ->Threads(1)
    ->Threads(2)
    ->UseRealTime()
    ->MinTime(0.5);

}  // namespace

BENCHMARK_MAIN();
