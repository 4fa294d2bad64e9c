// Writer throughput: full files with and without mip-maps (200 faces of
// 256x256 RGBA8, tiled), and appending one face edit. Figures only.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Ptexture.h"

namespace {

std::string scratchPath(const char* name)
{
    const char* tmp = getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + "-" + std::to_string(getpid()) + ".ptx";
}

std::vector<uint8_t> faceImage(int face)
{
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

void writeFile(const std::string& path, int nfaces, bool mipmaps, const std::vector<std::vector<uint8_t>>& imgs)
{
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 4, 3, nfaces, error, mipmaps);
    if (!w) return;
    for (int f = 0; f < nfaces; f++) {
        Ptex::FaceInfo info(Ptex::Res(8, 8));
        info.setadjfaces(f > 0 ? f - 1 : -1, f + 1 < nfaces ? f + 1 : -1, -1, -1);
        w->writeFace(f, info, imgs[f % imgs.size()].data());
    }
    w->close(error);
    w->release();
}

void BM_WriteFile(benchmark::State& state)
{
    const bool mipmaps = state.range(0) != 0;
    const int nfaces = 200;
    std::vector<std::vector<uint8_t>> imgs;
    for (int i = 0; i < 8; i++) imgs.push_back(faceImage(i));
    const std::string path = scratchPath("bench-ptex-write");
    for (auto _ : state) writeFile(path, nfaces, mipmaps, imgs);
    state.SetBytesProcessed(int64_t(state.iterations()) * nfaces * 256 * 256 * 4);
    unlink(path.c_str());
}
BENCHMARK(BM_WriteFile)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_IncrementalFaceEdit(benchmark::State& state)
{
    std::vector<std::vector<uint8_t>> imgs{faceImage(0), faceImage(1)};
    const std::string path = scratchPath("bench-ptex-edit");
    writeFile(path, 16, true, imgs);
    for (auto _ : state) {
        Ptex::String error;
        PtexWriter* w = PtexWriter::edit(path.c_str(), true, Ptex::mt_quad, Ptex::dt_uint8, 4, 3, 16, error);
        if (!w) break;
        w->writeFace(3, Ptex::FaceInfo(Ptex::Res(8, 8)), imgs[1].data());
        w->close(error);
        w->release();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 256 * 256 * 4);
    unlink(path.c_str());
}
BENCHMARK(BM_IncrementalFaceEdit)->Unit(benchmark::kMillisecond)->Iterations(20);  // the file grows per edit

}  // namespace

BENCHMARK_MAIN();
