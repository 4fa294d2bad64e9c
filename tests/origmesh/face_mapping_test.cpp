// Face mapping from a render triangle and hit point to Ptex face, (u, v) and footprint,
// through the own model and through the host's MeshInfoInterface.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>

#include "MeshFixture.h"

using namespace omtest;

namespace {

// Fan: (0, 1, 2), (0, 2, 3).
const Polygons kParallelogram{{{0, 0, 0}, {2, 0, 0}, {3, 1, 0}, {1, 1, 0}}, {4}, {0, 1, 2, 3}};

// A quad (Ptex face 0, render triangles 0, 1) and a regular pentagon around the origin
// (sub-faces 1 to 5, render triangles 2 to 4).
Polygons quadAndPentagon() {
    Polygons m{{{-3, -1, 0}, {-2, -1, 0}, {-2, 0, 0}, {-3, 0, 0}}, {4, 5}, {0, 1, 2, 3, 4, 5, 6, 7, 8}};
    for (int k = 0; k < 5; ++k)
        m.vertices.push_back({float(std::cos(M_PI / 2 + 2 * M_PI * k / 5)), float(std::sin(M_PI / 2 + 2 * M_PI * k / 5)), 0});
    return m;
}

// Both mesh sources over one polygon mesh, with its fan triangulation.
struct Sources {
    GeometryParams params;
    std::unique_ptr<OrigMeshInterface> model;
    std::unique_ptr<ZUtils::HostMesh> host;
    FaceStartTable table;
    int reverse;
    Sources(const Polygons& m, int meshType, int rev) : reverse(rev) {
        params.set(m);
        model = params.build(meshType, rev);
        host = makeHost(m);
        EXPECT_TRUE(model && host);
    }
    MeshSource get(bool viaHost) { return viaHost ? MeshSource(*host, table, 0.0, reverse) : MeshSource(*model, reverse); }
};

class BothSources : public ::testing::TestWithParam<bool> {};

TEST_P(BothSources, FaceAndCoordinatesOfQuadHalvesSubFacesAndTriangles) {
    const Polygons penta = quadAndPentagon();
    Polygons small = kParallelogram;  // 1 mm a metre from the origin
    for (Vector3f& x : small.vertices) x = x * 0.0005f + Vector3f{1.0f, 0.5f, 0.25f};
    const Polygons tt{{{0, 0, 0}, {2, 0, 0}, {0.5f, 1.5f, 0}, {2, 2, 0}}, {3, 3}, {0, 1, 2, 1, 3, 2}};
    Sources quad(kParallelogram, 1, 0), rev(kParallelogram, 1, 1), mm(small, 1, 0), pent(penta, 1, 0),
        triQuads({{{0, 0, 0}, {3, 0, 0}, {0, 3, 0}}, {3}, {0, 1, 2}}, 1, 0), triTexture(tt, 0, 0);
    const float any = NAN;
    struct Row {
        Sources* s;
        int tri;
        Vector3f p;
        int numPtex, face;  // face -1: no result
        float u, v;
        double tol = 1e-6;
    };
    // Parallelogram: x = 2u + v, y = v. Triangle (0, 1, 2) lacks corner 3 (rot 1), (0, 2, 3)
    // corner 1 (rot 3); reversed, u and v swap.
    std::vector<Row> rows = {
        {&quad, 0, {2.2f, 0.4f, 0}, 1, 0, 0.9f, 0.4f}, {&quad, 1, {1.0f, 0.6f, 0}, 1, 0, 0.2f, 0.6f},
        {&rev, 0, {2.2f, 0.4f, 0}, 1, 0, 0.4f, 0.9f},  {&rev, 1, {1.0f, 0.6f, 0}, 1, 0, 0.6f, 0.2f},
        {&quad, 0, {1.5f, 0.5f, 0}, 1, 0, 0.5f, 0.5f}, {&quad, 1, {1.5f, 0.5f, 0}, 1, 0, 0.5f, 0.5f},  // centre
        {&quad, 0, {0, 0, 0}, 1, 0, 0, 0},             {&quad, 0, {2, 0, 0}, 1, 0, 1, 0},
        {&quad, 0, {3, 1, 0}, 1, 0, 1, 1},             {&quad, 1, {1, 1, 0}, 1, 0, 0, 1},
        {&mm, 0, Vector3f{2.2f, 0.4f, 0} * 0.0005f + Vector3f{1.0f, 0.5f, 0.25f}, 1, 0, 0.9f, 0.4f, 2e-3},
        {&quad, -1, {1, 0.5f, 0}, 1, -1, any, any},    {&quad, 2, {1, 0.5f, 0}, 1, -1, any, any},
        {&quad, 1, {1, 0.5f, 0}, 0, -1, any, any},  // a texture without faces
        // Pentagon: sub-face i + 1 from corner i (vertex 4 + i), the centre is (1, 1) of the
        // first; a point accepted by no test falls to the last.
        {&pent, 3, penta.vertices[6] * 0.99f, 6, 3, 0, 0, 0.03}, {&pent, 2, {0, 0, 0}, 6, 1, 1, 1, 1e-5},
        {&pent, 2, {40, -70, 0}, 6, 5, any, any},
        // A triangle in a quad texture is three sub-faces; the third beyond a 2-face texture.
        {&triQuads, 0, {0.2f, 0.2f, 0}, 3, 0, any, any}, {&triQuads, 0, {2.5f, 0.2f, 0}, 3, 1, any, any},
        {&triQuads, 0, {0.2f, 2.5f, 0}, 3, 2, any, any}, {&triQuads, 0, {0.2f, 2.5f, 0}, 2, -1, any, any},
        {&triTexture, 1, {1, 1, 0}, 1, -1, any, any},  // Ptex face 1 beyond a 1-face texture
    };
    // Mid-edge points end in the first sub-face that holds them: sub-face i at (1, 0) for
    // edge i -> i+1, except the last edge, whose midpoint sub-face 0 holds at (0, 1).
    for (int i = 0; i < 5; ++i)
        rows.push_back({&pent, 2, mid(penta.vertices[size_t(4 + i)], penta.vertices[size_t(4 + (i + 1) % 5)]), 6,
                        i < 4 ? 1 + i : 1, i < 4 ? 1.0f : 0.0f, i < 4 ? 0.0f : 1.0f, 1e-5});
    const float corner[3][2] = {{0, 0}, {1, 0}, {0, 1}};  // triangle texture: the face corners
    for (int f = 0; f < 6; ++f)
        rows.push_back({&triTexture, f / 3, tt.vertices[size_t(tt.indices[size_t(f)])], 2, f / 3, corner[f % 3][0], corner[f % 3][1]});
    for (const Row& r : rows) {
        FaceMapping m;
        const bool ok = map(r.s->get(GetParam()), r.tri, r.p, r.s->model->getMeshType(), r.numPtex, m);
        EXPECT_EQ(ok ? m.faceId : -1, r.face) << "triangle " << r.tri << " at " << r.p.x << " " << r.p.y;
        EXPECT_TRUE(!ok || std::isnan(r.u) || (std::fabs(m.u - r.u) <= r.tol && std::fabs(m.v - r.v) <= r.tol))
            << "triangle " << r.tri << " at " << r.p.x << " " << r.p.y << ": " << m.u << " " << m.v;
    }
}

TEST_P(BothSources, FootprintMatchesFiniteDifferencesOfTheMapping) {
    // A square stored from its corner (1, 0) (u along +y, v along -x), a reversed square
    // of side 2 (axes swapped, footprint halved), and the pentagon's sub-faces.
    const Polygons penta = quadAndPentagon();
    Sources turned({{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {4}, {1, 2, 3, 0}}, 1, 0),
        big({{{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}}, {4}, {0, 1, 2, 3}}, 1, 1), pent(penta, 1, 0);
    std::vector<std::tuple<Sources*, int, Vector3f>> cases = {
        {&turned, 0, {0.8f, 0.6f, 0}}, {&turned, 1, {0.2f, 0.4f, 0}}, {&big, 0, {1.5f, 0.5f, 0}}, {&big, 1, {0.5f, 1.2f, 0}}};
    for (int i = 0; i < 5; ++i) {  // inside sub-face i, away from its boundaries
        const Vector3f k = penta.vertices[size_t(4 + i)];
        cases.push_back({&pent, 2, k * 0.7f + (penta.vertices[size_t(4 + (i + 1) % 5)] - k) * 0.1f});
    }
    for (auto [s, tri, p] : cases) {
        const Vector3f d1{0.002f, 0.001f, 0}, d2{-0.001f, 0.003f, 0};
        FaceMapping r, q1, q2;
        ASSERT_TRUE(map(s->get(GetParam()), tri, p, 1, 6, r));
        ASSERT_TRUE(map(s->get(GetParam()), tri, p + d1, 1, 6, q1) && map(s->get(GetParam()), tri, p + d2, 1, 6, q2));
        ASSERT_TRUE(q1.faceId == r.faceId && q2.faceId == r.faceId);
        EXPECT_TRUE(r.du1 == 0 && r.dv2 == 0);  // zero until the footprint is asked for
        mapFootprint(r, d1, d2);
        for (auto [got, want] : {std::pair{r.du1, q1.u - r.u}, {r.dv1, q1.v - r.v}, {r.du2, q2.u - r.u}, {r.dv2, q2.v - r.v}})
            EXPECT_NEAR(got, want, 2e-6) << "face " << r.faceId << " at " << p.x << " " << p.y;
    }
    FaceMapping r;  // the square from (1, 0): +x is -v
    ASSERT_TRUE(map(turned.get(GetParam()), 0, {0.8f, 0.6f, 0}, 1, 1, r));
    mapFootprint(r, {0.1f, 0, 0}, {0, 0.05f, 0});
    EXPECT_TRUE(std::fabs(r.du1) < 1e-7f && std::fabs(r.dv1 + 0.1f) < 1e-7f && std::fabs(r.du2 - 0.05f) < 1e-7f);
}

INSTANTIATE_TEST_SUITE_P(Source, BothSources, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Host" : "OwnModel"; });

// A host mesh that misreports faces, counting what the mapping asks.
struct MisreportingHost : ZUtils::HostMesh {
    int origFaceOfEveryTriangle = INT_MIN, reportedDegree = INT_MIN;  // INT_MIN: the truth
    mutable std::atomic<int> degreeCalls{0};
    int getOrigFaceIndex(double time, int renderFace) const override {
        return origFaceOfEveryTriangle != INT_MIN ? origFaceOfEveryTriangle : HostMesh::getOrigFaceIndex(time, renderFace);
    }
    int getFaceDegree(double time, int origFace) const override {
        ++degreeCalls;
        return reportedDegree != INT_MIN ? reportedDegree : HostMesh::getFaceDegree(time, origFace);
    }
};

TEST(HostPath, BadFacesDegreesAndIndicesGiveNoResultOrTheOrigin) {
    auto host = makeHost<MisreportingHost>(kParallelogram);
    ASSERT_TRUE(host);
    FaceStartTable table;
    FaceMapping r;
    for (int bad : {99, 1, -1}) {  // the degree of a face out of range is never asked
        host->origFaceOfEveryTriangle = bad;
        host->degreeCalls = 0;
        for (int meshType : {0, 1}) EXPECT_FALSE(map(MeshSource(*host, table, 0.0, 1), 0, {1, 0.5f, 0}, meshType, 1, r));
        EXPECT_EQ(host->degreeCalls.load(), 0) << bad;
    }
    host->origFaceOfEveryTriangle = INT_MIN;
    EXPECT_TRUE(map(MeshSource(*host, table, 0.0, 0), 0, {1, 0.5f, 0}, 1, 1, r));
    const MeshSource src(*host, table, 0.0, 0), rev(*host, table, 0.0, 1);
    EXPECT_EQ(src.cornerPosition(0, 2), (Vector3f{3, 1, 0}));
    EXPECT_EQ(rev.cornerPosition(0, 1), (Vector3f{1, 1, 0}));
    EXPECT_EQ(rev.cornerVertexIndex(0, 3), 1);
    for (const Vector3f& x : {src.cornerPosition(-1, 0), src.cornerPosition(1, 0), src.triangleCornerPosition(2, 0),
                              src.faceCenter(5)})
        EXPECT_EQ(x, Vector3f{});
    EXPECT_EQ(src.ptexFaceStart(1), -1);
    for (int d : {0, -5}) {
        host->reportedDegree = d;
        for (int rv : {0, 1}) EXPECT_FALSE(map(MeshSource(*host, table, 0.0, rv), 0, {1, 0.5f, 0}, 1, 1, r)) << d;
        EXPECT_EQ(MeshSource(*host, table, 0.0, 1).cornerPosition(0, 1), Vector3f{}) << d;
    }
}

TEST(OwnModel, SurplusTriangleOrModelOfTheOtherMeshTypeGivesNoResult) {
    GeometryParams p;
    p.set(kParallelogram.vertices, {4}, {0, 1, 2, 3}, {0, 1, 2, 0, 2, 3, 0, 1, 2});
    auto quads = p.build(1), tris = p.build(0);
    ASSERT_TRUE(quads && tris);
    FaceMapping r;
    EXPECT_TRUE(map(MeshSource(*quads, 0), 1, {1, 0.5f, 0}, 1, 1, r));
    EXPECT_FALSE(map(MeshSource(*quads, 0), 2, {1, 0.5f, 0}, 1, 1, r));  // belongs to no face
    EXPECT_TRUE(map(MeshSource(*tris, 0), 0, {1, 0.5f, 0}, 0, 3, r));
    EXPECT_FALSE(map(MeshSource(*tris, 0), 0, {1, 0.5f, 0}, 1, 3, r));
}

TEST(FaceStartTable, RunningSumResetAndRebuild) {
    auto host = makeHost({{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}}, {4, 3, 5, 1, 4},
                          {0, 1, 2, 3, 0, 1, 4, 0, 1, 2, 3, 4, 4, 0, 1, 2, 3}});
    ASSERT_TRUE(host);
    FaceStartTable table;
    for (int build = 1; build <= 2; ++build) {
        EXPECT_TRUE(!table.isBuilt() && table.lookup(0) == -1);
        ASSERT_TRUE(table.ensureBuilt(*host, 0.0) && table.ensureBuilt(*host, 0.0));
        EXPECT_EQ(table.builds(), build);
        const int expected[7] = {-1, 0, 1, 4, 9, 10, -1};  // faces -1 to 5
        for (int f = -1; f <= 5; ++f) EXPECT_EQ(table.lookup(f), expected[f + 1]) << f;
        table.reset();
    }
}

}  // namespace
