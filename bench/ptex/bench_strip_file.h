#ifndef bench_ptex_bench_strip_file_h
#define bench_ptex_bench_strip_file_h
// The test file of the reader and writer benchmarks: a strip of 256x256 RGBA8
// quad faces (each face's left and right neighbours set), written with our
// writer, with or without mip-maps.
//
// scratchPath(name): $TMPDIR (or /tmp) / name-<pid>.ptx, private to this process.
// faceImage(face): smooth gradients with a little noise, like painted texture
//   data; 256 * 256 * 4 bytes, a different picture per face number.
// writeStrip(path, nfaces, mipmaps, imgs, error): face f gets imgs[f % size];
//   false and the error text when the writer fails.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Ptexture.h"

namespace BenchStrip {

inline std::string scratchPath(const char* name) {
    const char* tmp = getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + "-" + std::to_string(getpid()) +
           ".ptx";
}

inline std::vector<uint8_t> faceImage(int face) {
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

inline bool writeStrip(const std::string& path, int nfaces, bool mipmaps,
                       const std::vector<std::vector<uint8_t>>& imgs, Ptex::String& error) {
    PtexWriter* w =
        PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 4, 3, nfaces, error, mipmaps);
    if (!w) return false;
    for (int f = 0; f < nfaces; f++) {
        Ptex::FaceInfo info(Ptex::Res(8, 8));
        info.setadjfaces(f > 0 ? f - 1 : -1, f + 1 < nfaces ? f + 1 : -1, -1, -1);
        w->writeFace(f, info, imgs[size_t(f) % imgs.size()].data());
    }
    const bool ok = w->close(error);
    w->release();
    return ok;
}

}  // namespace BenchStrip

#endif
