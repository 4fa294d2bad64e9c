// Helpers of the hardening tests: a scratch folder, grid textures written with
// our writer, TexFacet instances with the grid's mesh lists, shading on several
// render threads, and the count of open file descriptors.
#pragma once

#include <dirent.h>

#include <filesystem>
#include <string>
#include <thread>
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
    std::string path = [] {
        char pattern[] = "/tmp/zento-hardening-XXXXXX";
        return std::string(::mkdtemp(pattern) ? pattern : "");
    }();
    ~ScratchDir() {
        if (!path.empty()) std::filesystem::remove_all(path);
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
};

constexpr int kGrid = 2;  // kGrid x kGrid unit quads in z = 0, one Ptex face each

// RGB uint8 quad texture of kGrid^2 faces of 2^resLog2 texels a side, with
// mip-maps and the metadata "seed"; texels depend on seed, face, u, v, channel.
inline bool writeGridTexture(const std::string& path, int seed, int resLog2 = 5) {
    Ptex::String error;
    PtexWriter* w =
        PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_uint8, 3, -1, kGrid * kGrid, error);
    if (!w) return false;
    const int n = 1 << resLog2;
    std::vector<uint8_t> texels(size_t(n * n * 3));
    bool ok = true;
    for (int f = 0; f < kGrid * kGrid; ++f) {
        for (size_t i = 0; i < texels.size(); ++i)
            texels[i] = uint8_t(seed * 37 + f * 29 + int(i / 3 % n) * 5 + int(i / 3 / n) * 3 +
                                int(i % 3) * 70);
        ok = w->writeFace(f, Ptex::FaceInfo(Ptex::Res(int8_t(resLog2), int8_t(resLog2))),
                          texels.data()) &&
             ok;
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
    ~Instance() { texFacetPluginDesc().deletePlugin(plugin); }
    TexFacet& tex() { return *static_cast<TexFacet*>(plugin); }
    ZUtils::ZentoPluginParameter* param(const char* name) {
        return tex().getParameterList()->getParam(name);
    }
    void setFile(const std::string& path) { param("ptex_file")->setString(path.c_str()); }
    // The grid as the host's lists: vertices, quads, degrees and fan triangles.
    void setGridMesh() {
        std::vector<ZUtils::Vector3f> v;
        std::vector<int> quads, degrees(kGrid * kGrid, 4), tris;
        for (int i = 0; i < (kGrid + 1) * (kGrid + 1); ++i)
            v.push_back({float(i % (kGrid + 1)), float(i / (kGrid + 1)), 0});
        for (int q = 0; q < kGrid * kGrid; ++q) {
            const int a = q / kGrid * (kGrid + 1) + q % kGrid,
                      c[4] = {a, a + 1, a + kGrid + 2, a + kGrid + 1};
            quads.insert(quads.end(), c, c + 4);
            tris.insert(tris.end(), {c[0], c[1], c[2], c[0], c[2], c[3]});
        }
        param("vertices")->setVectorList(v.data(), int(v.size()));
        param("origFaces")->setIntList(quads.data(), int(quads.size()));
        param("origFacesDegree")->setIntList(degrees.data(), int(degrees.size()));
        param("faces")->setIntList(tris.data(), int(tris.size()));
    }
};

// The k-th shading point of a render thread: a hit inside render triangle
// k mod 2 kGrid^2, uncached (key 0), no hit object.
inline ZUtils::ShadeContext shadingPoint(int thread, int k) {
    ZUtils::ShadeContext sc;
    sc.threadIndex = thread;
    sc.hitFaceIndex = k % (2 * kGrid * kGrid);
    const float x = float(sc.hitFaceIndex / 2 % kGrid), y = float(sc.hitFaceIndex / 2 / kGrid);
    sc.hitTriangleOrigin = {x, y, 0};
    sc.hitTriangleEdge1 =
        sc.hitFaceIndex % 2 ? ZUtils::Vector3f{1, 1, 0} : ZUtils::Vector3f{1, 0, 0};
    sc.hitTriangleEdge2 =
        sc.hitFaceIndex % 2 ? ZUtils::Vector3f{0, 1, 0} : ZUtils::Vector3f{1, 1, 0};
    const float b1 = 0.05f + 0.6f * float((k * 7 + thread) % 11) / 11.0f;
    sc.hitBary = {b1, (0.9f - b1) * float((k * 3) % 13) / 13.0f};
    return sc;
}

// True on a render thread while it is inside getTexColor.
inline thread_local bool inLookup = false;

// Render threads 0 .. threads-1, each on a thread of its own, shade `points`
// points of every instance; the colours in thread order.
inline std::vector<ZUtils::AColor> shadeOnThreads(const std::vector<Instance*>& instances,
                                                  int threads, int points) {
    std::vector<std::vector<ZUtils::AColor>> parts(static_cast<size_t>(threads));
    std::vector<std::thread> running;
    for (int t = 0; t < threads; ++t)
        running.emplace_back([&, t] {
            for (Instance* in : instances)
                for (int k = 0; k < points; ++k) {
                    const ZUtils::ShadeContext sc = shadingPoint(t, k);
                    inLookup = true;
                    const ZUtils::AColor c = in->tex().getTexColor(sc);
                    inLookup = false;
                    parts[size_t(t)].push_back(c);
                }
        });
    std::vector<ZUtils::AColor> all;
    for (int t = 0; t < threads; ++t) {
        running[size_t(t)].join();
        all.insert(all.end(), parts[size_t(t)].begin(), parts[size_t(t)].end());
    }
    return all;
}

inline int texturedCount(const std::vector<ZUtils::AColor>& colours) {
    int n = 0;
    for (const ZUtils::AColor& c : colours) n += !(c == ZUtils::AColor(1, 1, 1, 1));
    return n;
}

inline int openFileDescriptors() {
    int n = -1;  // the directory's own descriptor
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (const dirent* e = ::readdir(d)) n += e->d_name[0] != '.';
        ::closedir(d);
    }
    return n;
}

}  // namespace hard
