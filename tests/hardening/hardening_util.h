// Helpers of the hardening tests: a scratch folder, grid textures written with
// our writer, TexFacet instances with the matching mesh lists, shading points
// spread over every face, and the count of open file descriptors.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Ptexture.h"
#include "plugin/Descriptors.h"
#include "plugin/LibEntry.h"
#include "plugin/TexFacet.h"
#include "zento/ShadeContext.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoPluginParameter.h"

namespace hard {

struct ScratchDir {
    std::string path;
    ScratchDir() {
        char pattern[] = "/tmp/zento-hardening-XXXXXX";
        if (const char* made = ::mkdtemp(pattern)) path = made;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
};

constexpr int kGrid = 2;  // kGrid x kGrid quads, one Ptex face each

// RGB uint8 quad texture of kGrid^2 faces of 2^resLog2 texels a side, with
// mip-maps and a metadata entry; texels depend on `seed`, face, u, v, channel.
inline bool writeGridTexture(const std::string& path, int seed, int resLog2 = 5) {
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 3, -1, kGrid * kGrid, error, true);
    if (!w) return false;
    const int n = 1 << resLog2;
    std::vector<uint8_t> texels(size_t(n) * n * 3);
    bool ok = true;
    for (int f = 0; f < kGrid * kGrid; ++f) {
        for (int v = 0; v < n; ++v)
            for (int u = 0; u < n; ++u)
                for (int c = 0; c < 3; ++c)
                    texels[(size_t(v) * n + u) * 3 + c] = uint8_t(seed * 37 + f * 29 + u * 5 + v * 3 + c * 70);
        ok = w->writeFace(f, Ptex::FaceInfo(Ptex::Res(int8_t(resLog2), int8_t(resLog2))), texels.data()) && ok;
    }
    w->writeMeta("seed", ("texture " + std::to_string(seed)).c_str());
    ok = w->close(error) && ok;
    w->release();
    return ok;
}

struct Instance {
    Plugin* plugin = texFacetPluginDesc().newPlugin(nullptr);
    Instance() = default;
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    ~Instance() { texFacetPluginDesc().deletePlugin(plugin); }
    TexFacet& tex() { return *static_cast<TexFacet*>(plugin); }
    ZUtils::ZentoPluginParameter* param(const char* name) { return tex().getParameterList()->getParam(name); }
    void setFile(const std::string& path) { param("ptex_file")->setString(path.c_str()); }
    // The grid as the host's mesh lists: vertices, quads, degrees, fan triangles.
    void setGridMesh() {
        std::vector<ZUtils::Vector3f> v;
        for (int y = 0; y <= kGrid; ++y)
            for (int x = 0; x <= kGrid; ++x) v.push_back({float(x), float(y), 0.0f});
        std::vector<int> quads, degrees, tris;
        for (int y = 0; y < kGrid; ++y)
            for (int x = 0; x < kGrid; ++x) {
                const int a = y * (kGrid + 1) + x, q[4] = {a, a + 1, a + kGrid + 2, a + kGrid + 1};
                quads.insert(quads.end(), q, q + 4);
                degrees.push_back(4);
                tris.insert(tris.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
            }
        param("vertices")->setVectorList(v.data(), int(v.size()));
        param("origFaces")->setIntList(quads.data(), int(quads.size()));
        param("origFacesDegree")->setIntList(degrees.data(), int(degrees.size()));
        param("faces")->setIntList(tris.data(), int(tris.size()));
    }
};

// The k-th shading point of a render thread: a hit inside render triangle
// k mod (2 kGrid^2), uncached (key 0).
inline ZUtils::ShadeContext shadingPoint(int thread, int k) {
    ZUtils::ShadeContext sc;
    sc.threadIndex = thread;
    const int tri = k % (2 * kGrid * kGrid), quad = tri / 2, x = quad % kGrid, y = quad / kGrid;
    const ZUtils::Vector3f p0{float(x), float(y), 0.0f}, p1{float(x + 1), float(y), 0.0f},
        p2{float(x + 1), float(y + 1), 0.0f}, p3{float(x), float(y + 1), 0.0f};
    sc.hitFaceIndex = tri;
    sc.hitTriangleOrigin = p0;
    sc.hitTriangleEdge1 = (tri % 2 ? p2 : p1) - p0;
    sc.hitTriangleEdge2 = (tri % 2 ? p3 : p2) - p0;
    const float b1 = 0.05f + 0.6f * float((k * 7 + thread) % 11) / 11.0f;
    sc.hitBary = {b1, (0.9f - b1) * float((k * 3) % 13) / 13.0f};
    return sc;
}

inline std::vector<ZUtils::AColor> shade(Instance& in, int thread, int points) {
    std::vector<ZUtils::AColor> out;
    for (int k = 0; k < points; ++k) out.push_back(in.tex().getTexColor(shadingPoint(thread, k)));
    return out;
}

inline int openFileDescriptors() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (const dirent* e = ::readdir(d)) n += e->d_name[0] != '.';
        ::closedir(d);
        --n;  // the directory's own descriptor
    }
    return n;
}

}  // namespace hard
