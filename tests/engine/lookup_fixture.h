// Helpers of the shading lookup tests: the built plugin library loaded as a host
// loads it, a golden mesh with hits inside every render triangle, and the colour
// each hit must get: a direct filter evaluation at the Ptex face, (u, v) and
// footprint worked out from the face corners, independently of the plugin.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "MeshFixture.h"  // tests/origmesh: OBJ reader, Ptex face corners
#include "Ptexture.h"
#include "zento/HostMesh.h"
#include "zento/TextureInterface.h"
#include "zento/ZentoPluginHost.h"
#include "zento/ZentoRenderer.h"

namespace lookuptest {

using namespace ZUtils;

inline std::string testdata(const std::string& rel) {
    return std::string(ZENTO_TESTDATA_DIR) + "/" + rel;
}

struct Sample {
    int tri = 0;
    float b1 = 0, b2 = 0;
    Vector3f dPdx, dPdy;  // world-space differentials, in the triangle's plane
    int face = -1;        // expected Ptex face, (u, v) and footprint
    float uv[6] = {};     // u, v, du1, dv1, du2, dv2
    AColor expected;
};

// (w1, w2) with p = w1 a + w2 b in the xy plane (the quad-type golden mesh is flat).
inline void solveXY(const Vector3f& a, const Vector3f& b, const Vector3f& p, float* w) {
    const double det = double(a.x) * b.y - double(a.y) * b.x;
    w[0] = float((double(p.x) * b.y - double(p.y) * b.x) / det);
    w[1] = float((double(a.x) * p.y - double(a.y) * p.x) / det);
}

struct Scene {
    omtest::Polygons mesh;
    HostMesh host;
    std::string ptx;
    int meshType = 1;
    std::vector<Sample> samples;
    std::vector<int> facesHit;  // samples per Ptex face

    // False when the golden data is missing. The mesh sits at worldOffset in world space.
    bool load(const char* obj, const char* file, int filterType, float sharpness) {
        ptx = testdata(std::string("ptex/") + file);
        Ptex::String error;
        PtexPtr<PtexTexture> tx(PtexTexture::open(ptx.c_str(), error));
        if (!tx || !omtest::loadObj(testdata(std::string("mesh/") + obj), mesh)) return false;
        meshType = int(tx->meshType());
        facesHit.assign(size_t(tx->numFaces()), 0);
        EXPECT_TRUE(host.setPolygons(mesh.vertices.data(), int(mesh.vertices.size()),
                                     mesh.degrees.data(), int(mesh.degrees.size()),
                                     mesh.indices.data(), int(mesh.indices.size())));
        host.setWorldOffset({0.5f, -0.25f, 0.75f});
        makeSamples();
        PtexPtr<PtexFilter> filter(PtexFilter::getFilter(
            tx, PtexFilter::Options(PtexFilter::FilterType(filterType), false, sharpness)));
        for (Sample& s : samples) {  // the default channel set-up: rgb 0..2, alpha the intensity
            float r[3] = {};
            filter->eval(r, 0, 3, s.face, s.uv[0], s.uv[1], s.uv[2], s.uv[3], s.uv[4], s.uv[5],
                         1.0f, 0.0f);
            s.expected = AColor(r[0], r[1], r[2], (0.3f * r[0] + 0.59f * r[1]) + 0.11f * r[2]);
        }
        return true;
    }

    void makeSamples() {
        const auto corners = omtest::ptexFaceCorners(mesh, meshType == 0);
        std::vector<int> firstFace;  // Ptex face of each polygon (its first sub-face)
        for (size_t p = 0, id = 0; p < mesh.degrees.size(); ++p) {
            firstFace.push_back(int(id));
            id += (meshType == 0 || mesh.degrees[p] == 4) ? 1 : size_t(mesh.degrees[p]);
        }
        for (int t = 0; t < host.numTriangles(); ++t) {
            const int* ti = host.triangleIndices() + 3 * t;
            const Vector3f v0 = mesh.vertices[size_t(ti[0])];
            const Vector3f e1 = mesh.vertices[size_t(ti[1])] - v0,
                           e2 = mesh.vertices[size_t(ti[2])] - v0;
            const int poly = host.getOrigFaceIndex(0.0, t);
            for (int i = 1; i < 7; ++i) {
                for (int j = 1; i + j < 7; ++j) {
                    Sample s;
                    s.tri = t, s.b1 = float(i) / 7.0f, s.b2 = float(j) / 7.0f;
                    s.dPdx = e1 * 0.011f + e2 * 0.004f, s.dPdy = e1 * -0.003f + e2 * 0.013f;
                    if (meshType == 0) {  // a triangle face is its own render triangle
                        s.face = poly;
                        const float uv[6] = {s.b1, s.b2, 0.011f, 0.004f, -0.003f, 0.013f};
                        std::copy(uv, uv + 6, s.uv);
                    } else if (!placeInFace(corners, firstFace[size_t(poly)],
                                            mesh.degrees[size_t(poly)], v0 + e1 * s.b1 + e2 * s.b2,
                                            s)) {
                        continue;  // too close to the edge of a half to be sure of the face
                    }
                    ++facesHit[size_t(s.face)];
                    samples.push_back(s);
                }
            }
        }
    }

    // A Ptex face is two halves, (c0, c1, c2) at (0,0) (1,0) (1,1) and (c0, c2, c3) at
    // (0,0) (1,1) (0,1), each mapped affinely.
    static bool placeInFace(const std::vector<std::vector<Vector3f>>& corners, int first,
                            int degree, const Vector3f& P, Sample& s) {
        for (int f = first; f < first + (degree == 4 ? 1 : degree); ++f) {
            const auto& c = corners[size_t(f)];
            for (size_t h = 0; h < 2; ++h) {
                const Vector3f a1 = c[1 + h] - c[0], a2 = c[2 + h] - c[0];
                float w[2];
                solveXY(a1, a2, P - c[0], w);
                if (w[0] < 1e-3f || w[1] < 1e-3f || w[0] + w[1] > 1 - 1e-3f) continue;
                s.face = f;
                const Vector3f* d[3] = {nullptr, &s.dPdx, &s.dPdy};
                for (int k = 0; k < 3; ++k) {
                    if (k > 0) solveXY(a1, a2, *d[k], w);
                    s.uv[2 * k] = h == 0 ? w[0] + w[1] : w[0];
                    s.uv[2 * k + 1] = h == 0 ? w[1] : w[0] + w[1];
                }
                return true;
            }
        }
        return false;
    }

    AColor shade(TextureInterface& tex, const Sample& s, int thread, int slot, uint32_t key) {
        ShadeContext sc;
        host.fillHit(sc, s.tri, s.b1, s.b2);
        sc.threadIndex = thread, sc.resultSlot = slot, sc.resultKey = key, sc.dPdx = s.dPdx,
        sc.dPdy = s.dPdy;
        return tex.getTexColor(sc);
    }
};

// One TexFacet instance of the library at ZENTO_PLUGIN_PATH, shading a scene's file
// on two render threads: with the mesh lists (own model; the hit object then offers
// no mesh interface) or without them (the host's mesh interface).
struct Instance {
    ZentoPluginHost host;
    Plugin* plugin = host.loadLibrary(ZENTO_PLUGIN_PATH) ? host.createPlugin("TexFacet") : nullptr;
    ZentoPluginInterface* pi = getZentoPluginInterface(plugin);
    TextureInterface* tex = getTextureInterface(plugin);
    ZentoRenderer renderer;

    void renderBegin(Scene& s, int filterType, float sharpness, bool ownModel) {
        pi->getParameter("ptex_file")->setString(s.ptx.c_str());
        pi->getParameter("filter_type")->setInt(filterType);
        pi->getParameter("sharpness")->setFloat(sharpness);
        if (ownModel) {
            pi->getParameter("vertices")
                ->setVectorList(s.mesh.vertices.data(), int(s.mesh.vertices.size()));
            pi->getParameter("origFaces")
                ->setIntList(s.mesh.indices.data(), int(s.mesh.indices.size()));
            pi->getParameter("origFacesDegree")
                ->setIntList(s.mesh.degrees.data(), int(s.mesh.degrees.size()));
            pi->getParameter("faces")->setIntList(s.host.triangleIndices(),
                                                  s.host.numTriangles() * 3);
        }
        s.host.offerInterface(EXT_MESH_INFO, !ownModel);
        renderer.getRenderSetup().threadCount = 2;
        pi->renderBegin(&renderer);
    }
    ~Instance() {
        if (plugin) host.destroyPlugin(plugin);
    }
};

inline bool near(const AColor& a, const AColor& b) {
    auto ok = [](float x, float ref) {
        return std::fabs(x - ref) <= 1e-5f * std::max(1.0f, std::fabs(ref));
    };
    return ok(a.r, b.r) && ok(a.g, b.g) && ok(a.b, b.b) && ok(a.a, b.a);
}

}  // namespace lookuptest
