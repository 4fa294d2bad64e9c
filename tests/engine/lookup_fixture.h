// Helpers of the shading lookup tests: the built plugin library loaded as a host
// loads it, a golden mesh with hit samples inside every render triangle, and the
// colour each sample must get: a direct filter evaluation at the Ptex face and
// (u, v) worked out from the face corners, independently of the plugin's mapping.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "MeshFixture.h"  // tests/origmesh: OBJ reader, Ptex face corners
#include "Ptexture.h"
#include "zento/HostMesh.h"
#include "zento/ShadeContext.h"
#include "zento/TextureInterface.h"
#include "zento/ZentoPluginHost.h"
#include "zento/ZentoPluginParameter.h"
#include "zento/ZentoRenderer.h"

namespace ZUtils {
inline std::ostream& operator<<(std::ostream& os, const AColor& c) {
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}
}  // namespace ZUtils

namespace lookuptest {

using namespace ZUtils;

// One TexFacet instance of the library at ZENTO_PLUGIN_PATH.
struct Instance {
    ZentoPluginHost host;
    Plugin* plugin = nullptr;
    ZentoPluginInterface* pi = nullptr;
    TextureInterface* tex = nullptr;
    Instance() {
        if (!host.loadLibrary(ZENTO_PLUGIN_PATH)) return;
        plugin = host.createPlugin("TexFacet");
        pi = getZentoPluginInterface(plugin);
        tex = getTextureInterface(plugin);
    }
    ~Instance() {
        if (plugin) host.destroyPlugin(plugin);
    }
    ZentoPluginParameter& param(const char* name) { return *pi->getParameter(name); }
};

struct Sample {
    int tri = 0;
    float b1 = 0, b2 = 0;
    Vector3f dPdx, dPdy;  // world-space differentials (in the triangle's plane)
    int face = -1;        // expected Ptex face, (u, v) and footprint
    float u = 0, v = 0, du1 = 0, dv1 = 0, du2 = 0, dv2 = 0;
    AColor expected;
};

// (w1, w2) with p = w1 a + w2 b, in the xy plane (the quad-type golden mesh is flat).
inline void solveXY(const Vector3f& a, const Vector3f& b, const Vector3f& p, float& w1, float& w2) {
    const double det = double(a.x) * b.y - double(a.y) * b.x;
    w1 = float((double(p.x) * b.y - double(p.y) * b.x) / det);
    w2 = float((double(a.x) * p.y - double(a.y) * p.x) / det);
}

struct Scene {
    omtest::Polygons mesh;
    HostMesh host;
    std::string ptx;
    int meshType = 1;
    std::vector<Sample> samples;
    std::vector<int> facesHit;  // samples per Ptex face

    // False when the golden data is missing.
    bool load(const char* obj, const char* file, const Vector3f& worldOffset) {
        ptx = omtest::testdata(std::string("ptex/") + file);
        if (!omtest::loadObj(omtest::testdata(std::string("mesh/") + obj), mesh)) return false;
        Ptex::String error;
        PtexPtr<PtexTexture> tx(PtexTexture::open(ptx.c_str(), error));
        if (!tx) return false;
        meshType = int(tx->meshType());
        facesHit.assign(size_t(tx->numFaces()), 0);
        EXPECT_TRUE(host.setPolygons(mesh.vertices.data(), int(mesh.vertices.size()), mesh.degrees.data(),
                                     int(mesh.degrees.size()), mesh.indices.data(), int(mesh.indices.size())));
        host.setWorldOffset(worldOffset);
        makeSamples();
        return true;
    }

    void makeSamples() {
        const auto corners = omtest::ptexFaceCorners(mesh, meshType == 0);
        std::vector<int> firstFace;  // Ptex face of each polygon's first sub-face
        for (size_t p = 0, id = 0; p < mesh.degrees.size(); ++p) {
            firstFace.push_back(int(id));
            id += (meshType == 0 || mesh.degrees[p] == 4) ? 1 : size_t(mesh.degrees[p]);
        }
        for (int t = 0; t < host.numTriangles(); ++t) {
            const int* ti = host.triangleIndices() + 3 * t;
            const Vector3f v0 = mesh.vertices[size_t(ti[0])];
            const Vector3f e1 = mesh.vertices[size_t(ti[1])] - v0, e2 = mesh.vertices[size_t(ti[2])] - v0;
            const int poly = host.getOrigFaceIndex(0.0, t);
            for (int i = 1; i < 7; ++i) {
                for (int j = 1; i + j < 7; ++j) {
                    Sample s;
                    s.tri = t, s.b1 = float(i) / 7.0f, s.b2 = float(j) / 7.0f;
                    s.dPdx = e1 * 0.011f + e2 * 0.004f, s.dPdy = e1 * -0.003f + e2 * 0.013f;
                    if (meshType == 0) {  // a triangle face is its own render triangle
                        s.face = poly;
                        s.u = s.b1, s.v = s.b2, s.du1 = 0.011f, s.dv1 = 0.004f, s.du2 = -0.003f, s.dv2 = 0.013f;
                    } else if (!placeInFace(corners, firstFace[size_t(poly)], mesh.degrees[size_t(poly)],
                                            v0 + e1 * s.b1 + e2 * s.b2, s)) {
                        continue;  // too close to a half's edge to be sure of the face
                    }
                    ++facesHit[size_t(s.face)];
                    samples.push_back(s);
                }
            }
        }
    }

    // Each Ptex face is two halves, (c0, c1, c2) at (0,0) (1,0) (1,1) and (c0, c2, c3)
    // at (0,0) (1,1) (0,1), each mapped affinely.
    static bool placeInFace(const std::vector<std::vector<Vector3f>>& corners, int first, int degree,
                            const Vector3f& P, Sample& s) {
        const int n = degree == 4 ? 1 : degree;
        for (int f = first; f < first + n; ++f) {
            const auto& c = corners[size_t(f)];
            for (int h = 0; h < 2; ++h) {
                const Vector3f a1 = c[size_t(1 + h)] - c[0], a2 = c[size_t(2 + h)] - c[0];
                float w1, w2;
                solveXY(a1, a2, P - c[0], w1, w2);
                if (w1 < 1e-3f || w2 < 1e-3f || w1 + w2 > 1 - 1e-3f) continue;
                auto uv = [h](float x, float y, float& u, float& v) {
                    u = h == 0 ? x + y : x;
                    v = h == 0 ? y : x + y;
                };
                s.face = f;
                uv(w1, w2, s.u, s.v);
                solveXY(a1, a2, s.dPdx, w1, w2);
                uv(w1, w2, s.du1, s.dv1);
                solveXY(a1, a2, s.dPdy, w1, w2);
                uv(w1, w2, s.du2, s.dv2);
                return true;
            }
        }
        return false;
    }

    // The plugin's colour with the default channel set-up: rgb = channels 0..2, alpha
    // the intensity.
    void expect(int filterType, float sharpness) {
        Ptex::String error;
        PtexPtr<PtexTexture> tx(PtexTexture::open(ptx.c_str(), error));
        PtexPtr<PtexFilter> filter(
            PtexFilter::getFilter(tx, PtexFilter::Options(PtexFilter::FilterType(filterType), false, sharpness)));
        for (Sample& s : samples) {
            float r[3] = {};
            filter->eval(r, 0, 3, s.face, s.u, s.v, s.du1, s.dv1, s.du2, s.dv2, 1.0f, 0.0f);
            s.expected = AColor(r[0], r[1], r[2], (0.3f * r[0] + 0.59f * r[1]) + 0.11f * r[2]);
        }
    }

    // The geometry lists of the instance's own model.
    void setLists(Instance& in) {
        in.param("vertices").setVectorList(mesh.vertices.data(), int(mesh.vertices.size()));
        in.param("origFaces").setIntList(mesh.indices.data(), int(mesh.indices.size()));
        in.param("origFacesDegree").setIntList(mesh.degrees.data(), int(mesh.degrees.size()));
        in.param("faces").setIntList(host.triangleIndices(), host.numTriangles() * 3);
    }

    AColor shade(Instance& in, const Sample& s, int thread, int slot, uint32_t key) {
        ShadeContext sc;
        host.fillHit(sc, s.tri, s.b1, s.b2);
        sc.threadIndex = thread;
        sc.resultSlot = slot;
        sc.resultKey = key;
        sc.dPdx = s.dPdx;
        sc.dPdy = s.dPdy;
        return in.tex->getTexColor(sc);
    }
};

inline bool near(const AColor& a, const AColor& b) {
    auto ok = [](float x, float ref) { return std::fabs(x - ref) <= 1e-5f * std::max(1.0f, std::fabs(ref)); };
    return ok(a.r, b.r) && ok(a.g, b.g) && ok(a.b, b.b) && ok(a.a, b.a);
}

}  // namespace lookuptest
