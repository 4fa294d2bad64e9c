// Reader throughput: opening a file through a new cache, reading every face of a
// 200-face 256x256 RGBA8 tiled file (zlib and libdeflate inflation), reading
// stored and dynamic reductions, and raw inflation of one tile. Figures only.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "PtexInflate.h"
#include "Ptexture.h"

namespace {

const int NumFaces = 200;

std::vector<uint8_t> faceImage(int face)
{
    // smooth gradients with a little noise, like painted texture data
    std::vector<uint8_t> img(256 * 256 * 4);
    uint32_t s = 2654435761u * uint32_t(face + 1);
    for (int v = 0; v < 256; v++)
        for (int u = 0; u < 256; u++) {
            s = s * 1664525u + 1013904223u;
            uint8_t* p = &img[(size_t(v) * 256 + u) * 4];
            p[0] = uint8_t(u + face);
            p[1] = uint8_t(v * 2);
            p[2] = uint8_t((u ^ v) + (s >> 29));
            p[3] = uint8_t(255 - (u >> 2));
        }
    return img;
}

// The test files, written once per process with our writer, removed at exit.
struct Files {
    std::string paths[2];
    ~Files()
    {
        for (const std::string& p : paths)
            if (!p.empty()) std::remove(p.c_str());
    }
} files;

const std::string& testFile(bool mipmaps)
{
    std::string& p = files.paths[mipmaps ? 1 : 0];
    if (!p.empty()) return p;
    const char* tmp = getenv("TMPDIR");
    p = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench-ptex-read-" + (mipmaps ? "mip-" : "") +
        std::to_string(getpid()) + ".ptx";
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(p.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 4, 3, NumFaces, error, mipmaps);
    if (!w) {
        std::fprintf(stderr, "bench-ptex-read: %s\n", error.c_str());
        std::exit(1);
    }
    std::vector<std::vector<uint8_t>> imgs;
    for (int i = 0; i < 8; i++) imgs.push_back(faceImage(i));
    for (int f = 0; f < NumFaces; f++) {
        Ptex::FaceInfo info(Ptex::Res(8, 8));
        info.setadjfaces(f > 0 ? f - 1 : -1, f + 1 < NumFaces ? f + 1 : -1, -1, -1);
        w->writeFace(f, info, imgs[size_t(f) % imgs.size()].data());
    }
    if (!w->close(error)) {
        std::fprintf(stderr, "bench-ptex-read: %s\n", error.c_str());
        std::exit(1);
    }
    w->release();
    return p;
}

void BM_OpenThroughNewCache(benchmark::State& state)
{
    const std::string& path = testFile(true);
    for (auto _ : state) {
        PtexCache* c = PtexCache::create(0, 0);
        Ptex::String err;
        PtexTexture* t = c->get(path.c_str(), err);
        if (!t) state.SkipWithError(err.c_str());
        benchmark::DoNotOptimize(t);
        if (t) t->release();
        c->release();
    }
}
BENCHMARK(BM_OpenThroughNewCache);

// The same with a small golden file (16 faces): the 200-face file's time is
// dominated by inflating its 4000-byte face info table.
void BM_OpenGoldenThroughNewCache(benchmark::State& state)
{
    std::string path = std::string(ZENTO_TESTDATA_DIR) + "/ptex/grid_rgba8.ptx";
    if (FILE* f = std::fopen(path.c_str(), "rb")) std::fclose(f);
    else state.SkipWithError("golden data not found");
    for (auto _ : state) {
        PtexCache* c = PtexCache::create(0, 0);
        Ptex::String err;
        PtexTexture* t = c->get(path.c_str(), err);
        if (!t) {
            state.SkipWithError(err.c_str());
            c->release();
            break;
        }
        t->release();
        c->release();
    }
}
BENCHMARK(BM_OpenGoldenThroughNewCache);

void readAllFaces(benchmark::State& state, PtexInflate::Backend backend)
{
    PtexInflate::setBackend(backend);
    const std::string& path = testFile(false);
    std::vector<uint8_t> buf(256 * 256 * 4);
    for (auto _ : state) {
        PtexCache* c = PtexCache::create(0, 0);
        Ptex::String err;
        PtexTexture* t = c->get(path.c_str(), err);
        if (!t) {
            state.SkipWithError(err.c_str());
            break;
        }
        for (int f = 0; f < NumFaces; f++) t->getData(f, buf.data(), 0);
        benchmark::DoNotOptimize(buf.data());
        t->release();
        c->release();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * NumFaces * 256 * 256 * 4);
    PtexInflate::setBackend(PtexInflate::Backend::Fast);
}
void BM_ReadAllFacesLibdeflate(benchmark::State& state)
{
    if (!PtexInflate::haveLibdeflate()) state.SkipWithError("built without libdeflate");
    readAllFaces(state, PtexInflate::Backend::Fast);
}
void BM_ReadAllFacesZlib(benchmark::State& state) { readAllFaces(state, PtexInflate::Backend::Zlib); }
BENCHMARK(BM_ReadAllFacesLibdeflate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAllFacesZlib)->Unit(benchmark::kMillisecond);

// Stored reductions (levels 1..6 of every face) read cold.
void BM_ReadStoredLevels(benchmark::State& state)
{
    const std::string& path = testFile(true);
    std::vector<uint8_t> buf(128 * 128 * 4);
    int64_t bytes = 0;
    for (auto _ : state) {
        PtexCache* c = PtexCache::create(0, 0);
        Ptex::String err;
        PtexTexture* t = c->get(path.c_str(), err);
        if (!t) {
            state.SkipWithError(err.c_str());
            break;
        }
        for (int f = 0; f < NumFaces; f++)
            for (int l = 1; l <= 6; l++) {
                Ptex::Res r(int8_t(8 - l), int8_t(8 - l));
                t->getData(f, buf.data(), 0, r);
                bytes += r.size() * 4;
            }
        t->release();
        c->release();
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ReadStoredLevels)->Unit(benchmark::kMillisecond);

// Anisotropic reductions computed on demand (from level 0 and stored levels).
void BM_ReadDynamicReductions(benchmark::State& state)
{
    const std::string& path = testFile(true);
    std::vector<uint8_t> buf(256 * 128 * 4);
    int64_t bytes = 0;
    for (auto _ : state) {
        PtexCache* c = PtexCache::create(0, 0);
        Ptex::String err;
        PtexTexture* t = c->get(path.c_str(), err);
        if (!t) {
            state.SkipWithError(err.c_str());
            break;
        }
        for (int f = 0; f < NumFaces; f += 4) {
            const Ptex::Res rs[] = {Ptex::Res(8, 7), Ptex::Res(7, 8), Ptex::Res(6, 3), Ptex::Res(2, 5)};
            for (Ptex::Res r : rs) {
                t->getData(f, buf.data(), 0, r);
                bytes += r.size() * 4;
            }
        }
        t->release();
        c->release();
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ReadDynamicReductions)->Unit(benchmark::kMillisecond);

// Warm reads: everything loaded, getData only copies.
void BM_ReadAllFacesWarm(benchmark::State& state)
{
    const std::string& path = testFile(false);
    PtexCache* c = PtexCache::create(0, 0);
    Ptex::String err;
    PtexTexture* t = c->get(path.c_str(), err);
    std::vector<uint8_t> buf(256 * 256 * 4);
    for (int f = 0; t && f < NumFaces; f++) t->getData(f, buf.data(), 0);
    for (auto _ : state) {
        for (int f = 0; t && f < NumFaces; f++) t->getData(f, buf.data(), 0);
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * NumFaces * 256 * 256 * 4);
    if (t) t->release();
    c->release();
}
BENCHMARK(BM_ReadAllFacesWarm)->Unit(benchmark::kMillisecond);

// Raw inflation of one 64 KiB planar tile.
void inflateTile(benchmark::State& state, bool zlib)
{
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
void BM_InflateTileZlib(benchmark::State& state) { inflateTile(state, true); }
void BM_InflateTileLibdeflate(benchmark::State& state) { inflateTile(state, false); }
BENCHMARK(BM_InflateTileZlib);
BENCHMARK(BM_InflateTileLibdeflate);

}  // namespace

BENCHMARK_MAIN();
