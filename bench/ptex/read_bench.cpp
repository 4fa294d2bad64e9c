// Reader throughput: opening a file through a new cache, reading every face of a
// 200-face 256x256 RGBA8 tiled file (zlib and libdeflate inflation), reading
// stored and dynamic reductions, and raw inflation of one tile. Figures only.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "PtexInflate.h"
#include "Ptexture.h"
#include "bench_strip_file.h"

namespace {

using BenchStrip::faceImage;

const int NumFaces = 200;

// The test files, written once per process with our writer, removed at exit.
struct Files {
    std::string paths[2];
    ~Files() {
        for (const std::string& p : paths)
            if (!p.empty()) std::remove(p.c_str());
    }
} files;

const std::string& testFile(bool mipmaps) {
    std::string& p = files.paths[mipmaps ? 1 : 0];
    if (!p.empty()) return p;
    p = BenchStrip::scratchPath(mipmaps ? "bench-ptex-read-mip" : "bench-ptex-read");
    std::vector<std::vector<uint8_t>> imgs;
    for (int i = 0; i < 8; i++) imgs.push_back(faceImage(i));
    Ptex::String error;
    if (!BenchStrip::writeStrip(p, NumFaces, mipmaps, imgs, error)) {
        std::fprintf(stderr, "bench-ptex-read: %s\n", error.c_str());
        std::exit(1);
    }
    return p;
}

// A texture opened through a new cache of its own (cold: nothing loaded yet);
// both are released at the end of the scope. tex is null, with err set, when
// the open failed.
struct FreshTexture {
    Ptex::String err;
    PtexCache* cache;
    PtexTexture* tex;
    explicit FreshTexture(const std::string& path)
        : cache(PtexCache::create(0, 0)), tex(cache->get(path.c_str(), err)) {}
    ~FreshTexture() {
        if (tex) tex->release();
        cache->release();
    }
    FreshTexture(const FreshTexture&) = delete;
    FreshTexture& operator=(const FreshTexture&) = delete;
};

// Opening through a new cache each iteration (header, face infos, constant
// data, level info and edit scan; nothing else is loaded).
void openThroughNewCache(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        FreshTexture t(path);
        if (!t.tex) {
            state.SkipWithError(t.err.c_str());
            break;
        }
        benchmark::DoNotOptimize(t.tex);
    }
}

void BM_OpenThroughNewCache(benchmark::State& state) {
    openThroughNewCache(state, testFile(true));
}
BENCHMARK(BM_OpenThroughNewCache);

// The same with a small golden file (16 faces): the 200-face file's time is
// dominated by inflating its 4000-byte face info table.
void BM_OpenGoldenThroughNewCache(benchmark::State& state) {
    openThroughNewCache(state, std::string(ZENTO_TESTDATA_DIR) + "/ptex/grid_rgba8.ptx");
}
BENCHMARK(BM_OpenGoldenThroughNewCache);

// Cold reads from a fresh cache per iteration: read(tex) returns the bytes it read.
template <class Read>
void readCold(benchmark::State& state, const std::string& path, Read read) {
    int64_t bytes = 0;
    for (auto _ : state) {
        FreshTexture t(path);
        if (!t.tex) {
            state.SkipWithError(t.err.c_str());
            break;
        }
        bytes += read(t.tex);
    }
    state.SetBytesProcessed(bytes);
}

void readAllFaces(benchmark::State& state, PtexInflate::Backend backend) {
    PtexInflate::setBackend(backend);
    std::vector<uint8_t> buf(256 * 256 * 4);
    readCold(state, testFile(false), [&](PtexTexture* t) {
        for (int f = 0; f < NumFaces; f++) t->getData(f, buf.data(), 0);
        benchmark::DoNotOptimize(buf.data());
        return int64_t(NumFaces) * 256 * 256 * 4;
    });
    PtexInflate::setBackend(PtexInflate::Backend::Fast);
}
void BM_ReadAllFacesLibdeflate(benchmark::State& state) {
    if (!PtexInflate::haveLibdeflate()) state.SkipWithError("built without libdeflate");
    readAllFaces(state, PtexInflate::Backend::Fast);
}
void BM_ReadAllFacesZlib(benchmark::State& state) {
    readAllFaces(state, PtexInflate::Backend::Zlib);
}
BENCHMARK(BM_ReadAllFacesLibdeflate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAllFacesZlib)->Unit(benchmark::kMillisecond);

// Stored reductions (levels 1..6 of every face) read cold.
void BM_ReadStoredLevels(benchmark::State& state) {
    std::vector<uint8_t> buf(128 * 128 * 4);
    readCold(state, testFile(true), [&](PtexTexture* t) {
        int64_t bytes = 0;
        for (int f = 0; f < NumFaces; f++)
            for (int l = 1; l <= 6; l++) {
                Ptex::Res r(int8_t(8 - l), int8_t(8 - l));
                t->getData(f, buf.data(), 0, r);
                bytes += r.size() * 4;
            }
        return bytes;
    });
}
BENCHMARK(BM_ReadStoredLevels)->Unit(benchmark::kMillisecond);

// Anisotropic reductions computed on demand (from level 0 and stored levels).
void BM_ReadDynamicReductions(benchmark::State& state) {
    std::vector<uint8_t> buf(256 * 128 * 4);
    readCold(state, testFile(true), [&](PtexTexture* t) {
        int64_t bytes = 0;
        for (int f = 0; f < NumFaces; f += 4) {
            const Ptex::Res rs[] = {Ptex::Res(8, 7), Ptex::Res(7, 8), Ptex::Res(6, 3),
                                    Ptex::Res(2, 5)};
            for (Ptex::Res r : rs) {
                t->getData(f, buf.data(), 0, r);
                bytes += r.size() * 4;
            }
        }
        return bytes;
    });
}
BENCHMARK(BM_ReadDynamicReductions)->Unit(benchmark::kMillisecond);

// Warm reads: everything loaded, getData only copies.
void BM_ReadAllFacesWarm(benchmark::State& state) {
    FreshTexture t(testFile(false));
    std::vector<uint8_t> buf(256 * 256 * 4);
    for (int f = 0; t.tex && f < NumFaces; f++) t.tex->getData(f, buf.data(), 0);
    for (auto _ : state) {
        for (int f = 0; t.tex && f < NumFaces; f++) t.tex->getData(f, buf.data(), 0);
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * NumFaces * 256 * 256 * 4);
}
BENCHMARK(BM_ReadAllFacesWarm)->Unit(benchmark::kMillisecond);

// Raw inflation of one 64 KiB planar tile.
void inflateTile(benchmark::State& state, bool zlib) {
    std::vector<uint8_t> img = faceImage(3);
    img.resize(128 * 128 * 4);
    uLongf zs = compressBound(uLong(img.size()));
    std::vector<uint8_t> z(zs), out(img.size());
    compress2(z.data(), &zs, img.data(), uLong(img.size()), Z_DEFAULT_COMPRESSION);
    for (auto _ : state) {
        bool ok = zlib ? PtexInflate::inflateZlib(z.data(), zs, out.data(), out.size())
                       : PtexInflate::inflateLibdeflate(z.data(), zs, out.data(), out.size());
        if (!ok) state.SkipWithError("inflate failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(img.size()));
}
void BM_InflateTileZlib(benchmark::State& state) {
    inflateTile(state, true);
}
void BM_InflateTileLibdeflate(benchmark::State& state) {
    inflateTile(state, false);
}
BENCHMARK(BM_InflateTileZlib);
BENCHMARK(BM_InflateTileLibdeflate);

}  // namespace

BENCHMARK_MAIN();
