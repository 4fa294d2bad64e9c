#ifndef FiltersTestUtil_h
#define FiltersTestUtil_h
// Small textures for the filter tests, written with our PtexWriter into the
// temporary directory: a 2x2 grid of quads and a pair of triangles.
#include "Ptexture.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace FiltersTest {

inline std::string tempPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("zento-filters-" + name)).string();
}

/// 2x2 quad grid, face id = 2 * row + column, uint8 with nch channels; faces of
/// ulog2 x vlog2 texels filled with a deterministic pattern (or one constant value).
inline std::string writeGrid(const std::string& name, int nch, int ulog2, int vlog2, bool constant = false,
                             uint8_t constValue = 77)
{
    std::string path = tempPath(name);
    Ptex::String err;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, nch, -1, 4, err);
    if (!w) return std::string();
    // neighbour per edge {bottom, right, top, left}; in a flat grid edge e meets edge e + 2
    const int fa[4][4] = {{-1, 1, 2, -1}, {-1, -1, 3, 0}, {0, 3, -1, -1}, {1, -1, -1, 2}};
    for (int f = 0; f < 4; f++) {
        int faces[4], edges[4];
        for (int e = 0; e < 4; e++) {
            faces[e] = fa[f][e];
            edges[e] = (e + 2) % 4;
        }
        Ptex::FaceInfo info(Ptex::Res{int8_t(ulog2), int8_t(vlog2)}, faces, edges);
        const int U = 1 << ulog2, V = 1 << vlog2;
        std::vector<uint8_t> data(size_t(U) * V * nch);
        for (int v = 0; v < V; v++)
            for (int u = 0; u < U; u++)
                for (int c = 0; c < nch; c++)
                    data[(size_t(v) * U + u) * nch + c] =
                        constant ? constValue : uint8_t((u * 37 + v * 11 + c * 53 + f * 29) & 0xff);
        w->writeFace(f, info, data.data());
    }
    bool ok = w->close(err);
    w->release();
    return ok ? path : std::string();
}

/// Two triangles sharing edge 1, uint8 RGB, res 2^log2.
inline std::string writeTriPair(const std::string& name, int log2)
{
    std::string path = tempPath(name);
    Ptex::String err;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_triangle, Ptex::dt_uint8, 3, -1, 2, err);
    if (!w) return std::string();
    for (int f = 0; f < 2; f++) {
        int faces[4] = {-1, 1 - f, -1, -1}, edges[4] = {0, 1, 0, 0};
        Ptex::FaceInfo info(Ptex::Res{int8_t(log2), int8_t(log2)}, faces, edges);
        const int N = 1 << log2;
        std::vector<uint8_t> data(size_t(N) * N * 3);
        for (size_t i = 0; i < data.size(); i++) data[i] = uint8_t((i * 7 + size_t(f) * 91) & 0xff);
        w->writeFace(f, info, data.data());
    }
    bool ok = w->close(err);
    w->release();
    return ok ? path : std::string();
}

/// nfaces faces with random resolutions, random (often inconsistent) adjacency,
/// self-references and random subface flags: filters must survive such files.
inline std::string writeScrambled(const std::string& name, Ptex::MeshType mt, int nfaces, uint32_t seed)
{
    std::string path = tempPath(name);
    Ptex::String err;
    PtexWriter* w = PtexWriter::open(path.c_str(), mt, Ptex::dt_uint8, 2, -1, nfaces, err);
    if (!w) return std::string();
    uint32_t s = seed;
    auto rnd = [&s](uint32_t n) {
        s = s * 1664525u + 1013904223u;
        return (s >> 8) % n;
    };
    const int nedges = mt == Ptex::mt_quad ? 4 : 3;
    for (int f = 0; f < nfaces; f++) {
        int faces[4] = {-1, -1, -1, -1}, edges[4] = {0, 0, 0, 0};
        for (int e = 0; e < nedges; e++) {
            faces[e] = rnd(5) == 0 ? -1 : int(rnd(uint32_t(nfaces)));
            edges[e] = int(rnd(uint32_t(nedges)));
        }
        const int ul = int(rnd(6)), vl = mt == Ptex::mt_quad ? int(rnd(6)) : ul;
        Ptex::FaceInfo info(Ptex::Res{int8_t(ul), int8_t(vl)}, faces, edges, mt == Ptex::mt_quad && rnd(3) == 0);
        std::vector<uint8_t> data(size_t(1 << ul) * size_t(1 << vl) * 2);
        for (uint8_t& b : data) b = uint8_t(rnd(256));
        if (rnd(7) == 0)
            w->writeConstantFace(f, info, data.data());
        else
            w->writeFace(f, info, data.data());
    }
    bool ok = w->close(err);
    w->release();
    return ok ? path : std::string();
}

}  // namespace FiltersTest

#endif
