// The golden meshes against the face infos of their Ptex files: next to every face edge,
// on both sides, the own model and the host interface give the face and its neighbour as
// the file names them, at the matching edge position of Ptex face corners computed
// independently of the mapping code.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "MeshFixture.h"
#include "origmesh/OrigPolyMesh.h"
#include "origmesh/PlaneSolve.h"

using namespace omtest;

TEST(GoldenMesh, BothSidesOfEveryEdgeMapToTheFacesTheFileNames) {
    const std::string dir = ZENTO_TESTDATA_DIR;
    if (!std::ifstream(dir + "/mesh/mixed.obj"))
        GTEST_SKIP() << "golden test data not found under " << dir;
    for (auto [obj, ptx] : {std::pair{"mixed.obj", "mixed_rgb8.ptx"},
                            {"cube.obj", "cube_rgb8.ptx"},
                            {"grid4x4.obj", "grid_rgba8.ptx"},
                            {"val5.obj", "val5_u16.ptx"},
                            {"icosahedron.obj", "ico_rgb8.ptx"}}) {
        SCOPED_TRACE(obj);
        Polygons mesh;
        ASSERT_TRUE(loadObj(dir + "/mesh/" + obj, mesh));
        std::ifstream dump(dir + "/ptex/" + ptx + ".json");
        const nlohmann::json info = nlohmann::json::parse(dump), faces = info["faces"];
        const int meshType = info["header"]["mesh_type_id"].get<int>(), numPtex = int(faces.size());
        const int nc = meshType == 0 ? 3 : 4;
        Sources src(mesh, meshType, 0);
        ASSERT_TRUE(src.model);
        const auto corners = ptexFaceCorners(mesh, meshType == 0);
        ASSERT_EQ(int(corners.size()), numPtex);
        EXPECT_EQ(meshType == 1 ? static_cast<const OrigPolyMesh&>(*src.model).getNumPtexFaces()
                                : numPtex,
                  numPtex);
        auto polygonOf = [&](int ptexFace) {
            int f = int(mesh.degrees.size()) - 1;
            while (f > 0 && (meshType == 1 ? src.model->getPtexFaceId(f) : f) > ptexFace) --f;
            return f;
        };
        auto vertex = [&](int tri, int k) {
            return mesh.vertices[size_t(src.host->triangleIndices()[3 * tri + k])];
        };
        const float cornerUV[4][2] = {{0, 0}, {1, 0}, {meshType == 0 ? 0.0f : 1.0f, 1}, {0, 1}};
        int crossings = 0;
        for (int F = 0; F < numPtex; ++F)
            for (int e = 0; e < nc; ++e) {
                const int G = faces[size_t(F)]["adjfaces"][size_t(e)].get<int>();
                const int E = faces[size_t(F)]["adjedges"][size_t(e)].get<int>();
                if (G < 0) continue;
                // 0.3 along the edge: on a quad edge that borders two sub-faces this is the
                // half of the sub-face the file names.
                const auto& c = corners[size_t(F)];
                const Vector3f x = c[size_t(e)] + (c[size_t((e + 1) % nc)] - c[size_t(e)]) * 0.3f;
                for (auto [target, edge] : {std::pair{F, e}, {G, E}}) {
                    const auto& tc = corners[size_t(target)];
                    Vector3f centre;
                    for (const Vector3f& k : tc) centre = centre + k * (1.0f / float(nc));
                    const Vector3f p = x + (centre - x) * 1e-4f;
                    auto holds =
                        [&](int t) {  // the render triangle of the target's polygon holding p
                            return src.host->getOrigFaceIndex(0, t) == polygonOf(target) &&
                                   insideTriangle(p, vertex(t, 0), vertex(t, 1), vertex(t, 2));
                        };
                    int tri = 0;
                    while (tri < src.host->numTriangles() && !holds(tri)) ++tri;
                    FaceMapping r, h;
                    ASSERT_TRUE(map(src.get(false), tri, p, meshType, numPtex, r))
                        << "Ptex face " << target;
                    ASSERT_TRUE(map(src.get(true), tri, p, meshType, numPtex, h));
                    EXPECT_EQ(r.faceId, target) << "edge " << e << " of face " << F;
                    EXPECT_TRUE(h.faceId == r.faceId && h.u == r.u && h.v == r.v)
                        << "host path, face " << target;
                    // Where the point sits on the target's edge.
                    const Vector3f a = tc[size_t(edge)], d = tc[size_t((edge + 1) % nc)] - a;
                    const float s = dot(x - a, d) / dot(d, d);
                    const float *c0 = cornerUV[edge], *c1 = cornerUV[(edge + 1) % nc];
                    EXPECT_TRUE(s > -1e-4f && s < 1 + 1e-4f) << s;
                    EXPECT_TRUE(std::fabs(r.u - c0[0] - s * (c1[0] - c0[0])) < 2e-3f &&
                                std::fabs(r.v - c0[1] - s * (c1[1] - c0[1])) < 2e-3f)
                        << "edge " << e << " of face " << F << ": " << r.u << " " << r.v;
                }
                ++crossings;
            }
        EXPECT_GT(crossings, numPtex);
    }
}
