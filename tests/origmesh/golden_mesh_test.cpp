// The golden meshes against the face infos of their Ptex files: for every render
// triangle the own model and the host interface give the same Ptex face and (u, v);
// (u, v) rebuild the point from independently computed Ptex face corners; and crossing
// every face edge lands in the neighbour the file names, at the matching edge position.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>

#include "MeshFixture.h"
#include "origmesh/FaceMapping.h"
#include "origmesh/FaceStartTable.h"
#include "origmesh/OrigPolyMesh.h"
#include "origmesh/PlaneSolve.h"

using namespace omtest;
using ZUtils::Vector3f;
using nlohmann::json;

namespace {

struct GoldenCase {
    const char* mesh;
    const char* ptx;
};

std::ostream& operator<<(std::ostream& os, const GoldenCase& c) { return os << c.mesh; }

class GoldenMesh : public ::testing::TestWithParam<GoldenCase> {
protected:
    void SetUp() override {
        const std::string obj = testdata(std::string("mesh/") + GetParam().mesh);
        const std::string dump = testdata(std::string("ptex/") + GetParam().ptx + ".json");
        if (!fileExists(obj) || !fileExists(dump)) {
            GTEST_SKIP() << "golden test data not found under " << ZENTO_TESTDATA_DIR;
        }
        ASSERT_TRUE(loadObj(obj, mesh)) << obj;
        std::ifstream in(dump);
        info = json::parse(in);
        meshType = info["header"]["mesh_type_id"].get<int>();
        numPtex = info["header"]["num_faces"].get<int>();
        params.set(mesh);
        model = params.build(meshType, 0);
        ASSERT_TRUE(model);
        host = makeHost(mesh);
        ASSERT_TRUE(host);
        corners = ptexFaceCorners(mesh, meshType == 0);
        ASSERT_EQ(int(corners.size()), numPtex);
    }

    int ptexStart(int polygon) const {
        return meshType == 1 ? model->getPtexFaceId(polygon) : polygon;
    }
    int polygonOf(int ptexFace) const {
        for (int f = int(mesh.degrees.size()) - 1; f >= 0; --f) {
            if (ptexStart(f) <= ptexFace) return f;
        }
        return -1;
    }
    bool mapOwn(int tri, Vector3f p, FaceMapping& r) const {
        return mapToFace(MeshSource(*model, 0), {tri, p, meshType, numPtex}, r);
    }
    bool mapHost(int tri, Vector3f p, FaceMapping& r) {
        return mapToFace(MeshSource(*host, table, 0.0, 0), {tri, p, meshType, numPtex}, r);
    }
    // The point of Ptex face F at (u, v), affine on each half of the face.
    Vector3f pointAt(int F, float u, float v) const {
        const auto& c = corners[size_t(F)];
        if (meshType == 0) return c[0] + (c[1] - c[0]) * u + (c[2] - c[0]) * v;
        if (u >= v) return c[1] + (c[2] - c[1]) * v + (c[0] - c[1]) * (1 - u);
        return c[3] + (c[0] - c[3]) * (1 - v) + (c[2] - c[3]) * u;
    }
    Vector3f centreOf(int F) const {
        Vector3f s;
        for (const Vector3f& p : corners[size_t(F)]) s = s + p;
        return s * (1.0f / float(corners[size_t(F)].size()));
    }
    int triangleHolding(int polygon, Vector3f p) const {
        for (int t = 0; t < host->numTriangles(); ++t) {
            if (host->getOrigFaceIndex(0, t) != polygon) continue;
            const int* ti = host->triangleIndices() + 3 * t;
            if (insideTriangle(p, mesh.vertices[size_t(ti[0])], mesh.vertices[size_t(ti[1])],
                               mesh.vertices[size_t(ti[2])])) {
                return t;
            }
        }
        return -1;
    }

    Polygons mesh;
    json info;
    int meshType = 1;
    int numPtex = 0;
    GeometryParams params;
    std::unique_ptr<OrigMeshInterface> model;
    std::unique_ptr<ZUtils::HostMesh> host;
    FaceStartTable table;
    std::vector<std::vector<Vector3f>> corners;
};

TEST_P(GoldenMesh, NumberingMatchesTheFaceInfos) {
    const json& faces = info["faces"];
    ASSERT_EQ(int(faces.size()), numPtex);
    if (meshType == 1) {
        EXPECT_EQ(static_cast<const OrigPolyMesh&>(*model).getNumPtexFaces(), numPtex);
    } else {
        EXPECT_EQ(model->getNumOrigFaces(), numPtex);
    }
    for (int f = 0; f < int(mesh.degrees.size()); ++f) {
        const int d = mesh.degrees[size_t(f)];
        const int F0 = ptexStart(f);
        const int n = (meshType == 0 || d == 4) ? 1 : d;
        // The host path's table agrees with the model.
        if (meshType == 1) {
            ASSERT_TRUE(table.ensureBuilt(*host, 0.0));
            EXPECT_EQ(table.lookup(f), F0);
        }
        for (int i = 0; i < n; ++i) {
            const json& fi = faces[size_t(F0 + i)];
            EXPECT_EQ(fi["id"].get<int>(), F0 + i);
            EXPECT_EQ(fi["subface"].get<bool>(), n > 1) << "Ptex face " << F0 + i;
            if (n > 1) {  // sub-faces border their neighbours in the polygon
                EXPECT_EQ(fi["adjfaces"][1].get<int>(), F0 + (i + 1) % n);
                EXPECT_EQ(fi["adjfaces"][2].get<int>(), F0 + (i + n - 1) % n);
            }
        }
    }
}

TEST_P(GoldenMesh, OwnModelAndHostAgreeAndRebuildThePoint) {
    int samples = 0;
    for (int t = 0; t < host->numTriangles(); ++t) {
        const int* ti = host->triangleIndices() + 3 * t;
        const Vector3f v0 = mesh.vertices[size_t(ti[0])];
        const Vector3f e1 = mesh.vertices[size_t(ti[1])] - v0;
        const Vector3f e2 = mesh.vertices[size_t(ti[2])] - v0;
        for (int i = 0; i <= 8; ++i) {
            for (int j = 0; i + j <= 8; ++j) {
                const float b1 = 0.02f + 0.96f * float(i) / 8.0f;
                const float b2 = 0.02f + 0.96f * float(j) / 8.0f;
                if (b1 + b2 > 0.98f) continue;
                const Vector3f p = v0 + e1 * b1 + e2 * b2;
                FaceMapping a, b;
                ASSERT_TRUE(mapOwn(t, p, a)) << t;
                ASSERT_TRUE(mapHost(t, p, b)) << t;
                EXPECT_EQ(a.faceId, b.faceId) << t;
                EXPECT_FLOAT_EQ(a.u, b.u) << t;
                EXPECT_FLOAT_EQ(a.v, b.v) << t;
                EXPECT_EQ(polygonOf(a.faceId), host->getOrigFaceIndex(0, t));
                EXPECT_GE(a.u, -1e-5f);
                EXPECT_LE(a.u, 1 + 1e-5f);
                EXPECT_GE(a.v, -1e-5f);
                EXPECT_LE(a.v, 1 + 1e-5f);
                if (meshType == 0) {
                    EXPECT_LE(a.u + a.v, 1 + 1e-5f);
                }
                const Vector3f q = pointAt(a.faceId, a.u, a.v);
                EXPECT_NEAR(q.x, p.x, 1e-5) << "face " << a.faceId;
                EXPECT_NEAR(q.y, p.y, 1e-5) << "face " << a.faceId;
                EXPECT_NEAR(q.z, p.z, 1e-5) << "face " << a.faceId;
                ++samples;
            }
        }
    }
    EXPECT_GT(samples, 20 * host->numTriangles());
}

TEST_P(GoldenMesh, CrossingAnEdgeReachesTheNamedNeighbour) {
    const json& faces = info["faces"];
    const int nc = meshType == 0 ? 3 : 4;
    const float cornerUV[4][2] = {{0, 0}, {1, 0}, {meshType == 0 ? 0.0f : 1.0f, 1},
                                  {0, 1}};
    int crossings = 0;
    for (int F = 0; F < numPtex; ++F) {
        const auto& c = corners[size_t(F)];
        for (int e = 0; e < nc; ++e) {
            const int G = faces[size_t(F)]["adjfaces"][size_t(e)].get<int>();
            if (G < 0) continue;
            const int E = faces[size_t(F)]["adjedges"][size_t(e)].get<int>();
            // 0.3 along the edge: on a quad edge that borders two sub-faces this is
            // the half of the sub-face the file names.
            const float t = 0.3f;
            const Vector3f x = c[size_t(e)] + (c[size_t((e + 1) % nc)] - c[size_t(e)]) * t;
            for (int side = 0; side < 2; ++side) {
                const int target = side == 0 ? F : G;
                const Vector3f p = x + (centreOf(target) - x) * 1e-4f;
                const int tri = triangleHolding(polygonOf(target), p);
                ASSERT_GE(tri, 0) << "Ptex face " << target;
                FaceMapping r;
                ASSERT_TRUE(mapOwn(tri, p, r));
                EXPECT_EQ(r.faceId, target) << "edge " << e << " of face " << F;
                // Where the point sits on the target's edge.
                const int edge = side == 0 ? e : E;
                const auto& tc = corners[size_t(target)];
                const Vector3f a = tc[size_t(edge)];
                const Vector3f d = tc[size_t((edge + 1) % nc)] - a;
                const float s = dot(x - a, d) / dot(d, d);
                const float eu = cornerUV[edge][0] + s * (cornerUV[(edge + 1) % nc][0] - cornerUV[edge][0]);
                const float ev = cornerUV[edge][1] + s * (cornerUV[(edge + 1) % nc][1] - cornerUV[edge][1]);
                EXPECT_NEAR(r.u, eu, 2e-3) << "edge " << e << " of face " << F << " side " << side;
                EXPECT_NEAR(r.v, ev, 2e-3) << "edge " << e << " of face " << F << " side " << side;
                if (side == 1) {
                    EXPECT_GT(s, -1e-4f);
                    EXPECT_LT(s, 1 + 1e-4f);
                }
            }
            ++crossings;
        }
    }
    EXPECT_GT(crossings, numPtex);
}

INSTANTIATE_TEST_SUITE_P(Meshes, GoldenMesh,
                         ::testing::Values(GoldenCase{"mixed.obj", "mixed_rgb8.ptx"},
                                           GoldenCase{"cube.obj", "cube_rgb8.ptx"},
                                           GoldenCase{"grid4x4.obj", "grid_rgba8.ptx"},
                                           GoldenCase{"val5.obj", "val5_u16.ptx"},
                                           GoldenCase{"icosahedron.obj", "ico_rgb8.ptx"}),
                         [](const auto& info) {
                             std::string n = info.param.mesh;
                             return n.substr(0, n.find('.'));
                         });

}  // namespace
