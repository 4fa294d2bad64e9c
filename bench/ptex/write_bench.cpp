// Writer throughput: full files with and without mip-maps (200 faces of
// 256x256 RGBA8, tiled), and appending one face edit. Figures only.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "Ptexture.h"
#include "bench_strip_file.h"

namespace {

using BenchStrip::faceImage;
using BenchStrip::scratchPath;

void writeFile(const std::string& path, int nfaces, bool mipmaps,
               const std::vector<std::vector<uint8_t>>& imgs) {
    Ptex::String error;
    BenchStrip::writeStrip(path, nfaces, mipmaps, imgs, error);
}

void BM_WriteFile(benchmark::State& state) {
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

void BM_IncrementalFaceEdit(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> imgs{faceImage(0), faceImage(1)};
    const std::string path = scratchPath("bench-ptex-edit");
    writeFile(path, 16, true, imgs);
    for (auto _ : state) {
        Ptex::String error;
        PtexWriter* w =
            PtexWriter::edit(path.c_str(), true, Ptex::mt_quad, Ptex::dt_uint8, 4, 3, 16, error);
        if (!w) break;
        w->writeFace(3, Ptex::FaceInfo(Ptex::Res(8, 8)), imgs[1].data());
        w->close(error);
        w->release();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 256 * 256 * 4);
    unlink(path.c_str());
}
BENCHMARK(BM_IncrementalFaceEdit)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);  // the file grows per edit

}  // namespace

BENCHMARK_MAIN();
