// The cost of the cache's file limit for held textures: 2,000 small textures
// (4 quad faces of 32x32 RGB8 with mip-maps, written once with our writer in a
// private folder) held at once in one cache, with a 100-file limit against an
// unlimited one (the process's descriptor limit is raised for it).
//
// BM_HeldFrame: one frame from scratch per iteration: a new cache, every
//   texture got and held, a box filter evaluated at 8 points of every face
//   (two filter widths, so two levels load), then everything released. With
//   the limit each texture's first face read reopens its file.
// BM_HeldLoaded: the same evaluations on textures held and loaded beforehand:
//   the lock-free path, which the limit must not slow.
// Counters: evaluations per second, file opens and reopens per frame.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Ptexture.h"

namespace {

constexpr int kTextures = 2000, kFaces = 4, kRes = 5;
constexpr int kUnlimited = 1 << 30;

struct Files {
    std::string dir;
    std::vector<std::string> paths;
    Files() {
        const char* tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench-ptex-cache-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("bench-ptex-cache: mkdtemp");
            std::exit(1);
        }
        dir = pattern;
        // each writer's zlib streams would otherwise grow and trim the heap anew
        mallopt(M_TRIM_THRESHOLD, 64 << 20);
        const int n = 1 << kRes;
        std::vector<uint8_t> texels(size_t(n * n * 3));
        for (int t = 0; t < kTextures; t++) {
            paths.push_back(dir + "/t" + std::to_string(t) + ".ptx");
            Ptex::String error;
            PtexWriter* w = PtexWriter::open(paths.back().c_str(), Ptex::mt_quad, Ptex::dt_uint8, 3,
                                             -1, kFaces, error);
            for (int f = 0; w && f < kFaces; f++) {
                for (size_t i = 0; i < texels.size(); i++)
                    texels[i] = uint8_t(t * 7 + f * 29 + int(i / 3 % size_t(n)) * 5 +
                                        int(i / 3 / size_t(n)) * 3 + int(i % 3) * 70);
                w->writeFace(f, Ptex::FaceInfo(Ptex::Res(kRes, kRes)), texels.data());
            }
            if (!w || !w->close(error)) {
                std::fprintf(stderr, "bench-ptex-cache: %s\n", error.c_str());
                std::exit(1);
            }
            w->release();
        }
    }
    ~Files() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

const Files& files() {
    static Files f;
    return f;
}

// Enough descriptors for every texture open at once; false when the hard limit
// does not allow it.
bool raiseDescriptorLimit() {
    rlimit r{};
    if (getrlimit(RLIMIT_NOFILE, &r) != 0) return false;
    const rlim_t need = kTextures + 64;
    if (r.rlim_cur >= need) return true;
    if (r.rlim_max != RLIM_INFINITY && r.rlim_max < need) return false;
    r.rlim_cur = need;
    return setrlimit(RLIMIT_NOFILE, &r) == 0;
}

struct Held {
    PtexCache* cache;
    std::vector<PtexTexture*> textures;
    std::vector<PtexFilter*> filters;
    explicit Held(int maxFiles) : cache(PtexCache::create(maxFiles, 0)) {
        const PtexFilter::Options opts(PtexFilter::f_box);
        for (const std::string& p : files().paths) {
            Ptex::String error;
            PtexTexture* t = cache->get(p.c_str(), error);
            if (!t) {
                std::fprintf(stderr, "bench-ptex-cache: %s\n", error.c_str());
                std::exit(1);
            }
            textures.push_back(t);
            filters.push_back(PtexFilter::getFilter(t, opts));
        }
    }
    ~Held() {
        for (PtexFilter* f : filters) f->release();
        for (PtexTexture* t : textures) t->release();
        cache->release();
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

    // 8 evaluations per face; returns a sum so nothing is optimised away.
    float evaluate() const {
        float sum = 0, rgb[3];
        for (PtexFilter* f : filters)
            for (int face = 0; face < kFaces; face++)
                for (int k = 0; k < 8; k++) {
                    const float u = 0.1f + 0.1f * float(k), w = k % 2 ? 0.02f : 0.3f;
                    f->eval(rgb, 0, 3, face, u, 1 - u, w, 0, 0, w);
                    sum += rgb[0] + rgb[1] + rgb[2];
                }
        return sum;
    }
    static constexpr int64_t kEvaluations = int64_t(kTextures) * kFaces * 8;
};

bool prepare(benchmark::State& state) {
    files();
    if (state.range(0) == kUnlimited && !raiseDescriptorLimit()) {
        state.SkipWithError("the descriptor limit cannot be raised to hold every file open");
        return false;
    }
    return true;
}

void BM_HeldFrame(benchmark::State& state) {
    if (!prepare(state)) return;
    uint64_t opens = 0, reopens = 0;
    for (auto _ : state) {
        Held held(int(state.range(0)));
        benchmark::DoNotOptimize(held.evaluate());
        PtexCache::Stats s{};
        held.cache->getStats(s);
        reopens += s.fileReopens;
        opens += s.filesAccessed + s.fileReopens;
    }
    const double frames = double(state.iterations());
    state.counters["evals/s"] =
        benchmark::Counter(double(Held::kEvaluations) * frames, benchmark::Counter::kIsRate);
    state.counters["opens/frame"] = double(opens) / frames;
    state.counters["reopens/frame"] = double(reopens) / frames;
}

void BM_HeldLoaded(benchmark::State& state) {
    if (!prepare(state)) return;
    Held held(int(state.range(0)));
    held.evaluate();  // loads what the evaluations need
    for (auto _ : state) benchmark::DoNotOptimize(held.evaluate());
    PtexCache::Stats s{};
    held.cache->getStats(s);
    state.counters["evals/s"] = benchmark::Counter(
        double(Held::kEvaluations) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["reopens"] = double(s.fileReopens);
}

BENCHMARK(BM_HeldFrame)
    ->ArgName("maxFiles")
    ->Arg(100)
    ->Arg(kUnlimited)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeldLoaded)
    ->ArgName("maxFiles")
    ->Arg(100)
    ->Arg(kUnlimited)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
