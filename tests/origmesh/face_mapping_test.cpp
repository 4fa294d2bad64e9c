// Face mapping from a render triangle and hit point to Ptex face, (u, v) and footprint,
// through the own model and through the host's MeshInfoInterface.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>

#include "MeshFixture.h"
#include "origmesh/FaceMapping.h"
#include "origmesh/FaceStartTable.h"

using namespace omtest;
using ZUtils::Vector3f;

namespace {

// Both mesh sources over one polygon mesh, with its fan triangulation.
struct Sources {
    GeometryParams params;
    std::unique_ptr<OrigMeshInterface> model;
    std::unique_ptr<ZUtils::HostMesh> host;
    FaceStartTable table;
    int reverse = 0;

    Sources(const Polygons& m, int meshType, int rev) : reverse(rev) {
        params.set(m);
        model = params.build(meshType, rev);
        host = makeHost(m);
    }
    MeshSource own() const { return MeshSource(*model, reverse); }
    MeshSource viaHost() { return MeshSource(*host, table, 0.0, reverse); }
};

bool map(const MeshSource& src, int renderFace, Vector3f p, int meshType, int numPtex,
         FaceMapping& out) {
    FaceQuery q;
    q.renderFace = renderFace;
    q.P = p;
    q.meshType = meshType;
    q.numPtexFaces = numPtex;
    return mapToFace(src, q, out);
}

Polygons parallelogram() {
    Polygons m;
    m.vertices = {{0, 0, 0}, {2, 0, 0}, {3, 1, 0}, {1, 1, 0}};
    m.degrees = {4};
    m.indices = {0, 1, 2, 3};
    return m;  // fan: (0, 1, 2), (0, 2, 3)
}

Polygons unitSquare() {
    Polygons m;
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    m.degrees = {4};
    m.indices = {0, 1, 2, 3};
    return m;
}

// A quad (Ptex face 0) and a regular pentagon (sub-faces 1 to 5).
Polygons quadAndPentagon() {
    Polygons m;
    m.vertices = {{-3, -1, 0}, {-2, -1, 0}, {-2, 0, 0}, {-3, 0, 0}};
    for (int k = 0; k < 5; ++k) {
        const double a = M_PI / 2 + 2 * M_PI * k / 5;
        m.vertices.push_back({float(std::cos(a)), float(std::sin(a)), 0});
    }
    m.degrees = {4, 5};
    m.indices = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    return m;  // render triangles 0, 1: quad; 2, 3, 4: pentagon
}

class BothSources : public ::testing::TestWithParam<bool> {
protected:
    MeshSource source(Sources& s) { return GetParam() ? s.viaHost() : s.own(); }
};

TEST_P(BothSources, QuadHalvesAndCentre) {
    Sources s(parallelogram(), 1, 0);
    ASSERT_TRUE(s.model && s.host);
    FaceMapping a, b, c;
    // In triangle (0, 1, 2): corner 3 missing, rot 1.
    ASSERT_TRUE(map(source(s), 0, {2.2f, 0.4f, 0}, 1, 1, a));
    EXPECT_EQ(a.faceId, 0);
    EXPECT_EQ(a.rot, 1);
    EXPECT_NEAR(a.u, 0.9f, 1e-6);  // x = 2u + v, y = v
    EXPECT_NEAR(a.v, 0.4f, 1e-6);
    // In triangle (0, 2, 3): corner 1 missing, rot 3.
    ASSERT_TRUE(map(source(s), 1, {1.0f, 0.6f, 0}, 1, 1, b));
    EXPECT_EQ(b.rot, 3);
    EXPECT_NEAR(b.u, 0.2f, 1e-6);
    EXPECT_NEAR(b.v, 0.6f, 1e-6);
    // The centre from either side.
    ASSERT_TRUE(map(source(s), 0, {1.5f, 0.5f, 0}, 1, 1, a));
    ASSERT_TRUE(map(source(s), 1, {1.5f, 0.5f, 0}, 1, 1, c));
    EXPECT_NEAR(a.u, 0.5f, 1e-6);
    EXPECT_NEAR(a.v, 0.5f, 1e-6);
    EXPECT_NEAR(c.u, 0.5f, 1e-6);
    EXPECT_NEAR(c.v, 0.5f, 1e-6);
    // Corners land exactly on their Ptex corners.
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const Vector3f corners[4] = {{0, 0, 0}, {2, 0, 0}, {3, 1, 0}, {1, 1, 0}};
    for (int k = 0; k < 4; ++k) {
        const int tri = (k == 1) ? 0 : (k == 3 ? 1 : k % 2);
        ASSERT_TRUE(map(source(s), tri, corners[k], 1, 1, a));
        EXPECT_NEAR(a.u, uv[k][0], 1e-6) << k;
        EXPECT_NEAR(a.v, uv[k][1], 1e-6) << k;
    }
}

TEST_P(BothSources, ReverseVerticesSwapsUV) {
    Sources fwd(parallelogram(), 1, 0);
    Sources rev(parallelogram(), 1, 1);
    for (int tri = 0; tri < 2; ++tri) {
        const Vector3f p = tri == 0 ? Vector3f{2.2f, 0.4f, 0} : Vector3f{1.0f, 0.6f, 0};
        FaceMapping a, b;
        ASSERT_TRUE(map(source(fwd), tri, p, 1, 1, a));
        ASSERT_TRUE(map(source(rev), tri, p, 1, 1, b));
        EXPECT_NEAR(b.u, a.v, 1e-6);
        EXPECT_NEAR(b.v, a.u, 1e-6);
        EXPECT_EQ(b.rot, tri == 0 ? 3 : 1);  // reversed: the missing corner renumbers
    }
}

TEST_P(BothSources, PentagonSubFaces) {
    const Polygons m = quadAndPentagon();
    Sources s(m, 1, 0);
    ASSERT_TRUE(s.model && s.host);
    const int F0 = 1;
    const int numPtex = 6;
    FaceMapping r;
    // Near corner 2 (vertex 6): sub-face 2 at about (0, 0).
    const Vector3f c2 = m.vertices[6];
    const Vector3f centre = s.model->getFaceCenter(1);
    const Vector3f near2 = c2 + (centre - c2) * 0.01f;
    ASSERT_TRUE(map(source(s), 3, near2, 1, numPtex, r));
    EXPECT_EQ(r.faceId, F0 + 2);
    EXPECT_NEAR(r.u, 0.0f, 0.03f);
    EXPECT_NEAR(r.v, 0.0f, 0.03f);
    // The centre: first sub-face at (1, 1).
    ASSERT_TRUE(map(source(s), 2, centre, 1, numPtex, r));
    EXPECT_EQ(r.faceId, F0);
    EXPECT_NEAR(r.u, 1.0f, 1e-5);
    EXPECT_NEAR(r.v, 1.0f, 1e-5);
    // Far outside, accepted by no test: the last sub-face.
    ASSERT_TRUE(map(source(s), 2, {40, -70, 0}, 1, numPtex, r));
    EXPECT_EQ(r.faceId, F0 + 4);
    // Mid-edge points end in the first sub-face that holds them: sub-face i at (1, 0)
    // for edge i -> i+1, except the last edge, whose midpoint sub-face 0 holds at (0, 1).
    for (int i = 0; i < 5; ++i) {
        const Vector3f e = mid(m.vertices[size_t(4 + i)], m.vertices[size_t(4 + (i + 1) % 5)]);
        ASSERT_TRUE(map(source(s), 2, e, 1, numPtex, r));
        EXPECT_EQ(r.faceId, i < 4 ? F0 + i : F0) << i;
        EXPECT_NEAR(r.u, i < 4 ? 1.0f : 0.0f, 1e-5) << i;
        EXPECT_NEAR(r.v, i < 4 ? 0.0f : 1.0f, 1e-5) << i;
    }
}

TEST_P(BothSources, TriangleInQuadFileIsThreeSubFaces) {
    Polygons m;
    m.vertices = {{0, 0, 0}, {3, 0, 0}, {0, 3, 0}};
    m.degrees = {3};
    m.indices = {0, 1, 2};
    Sources s(m, 1, 0);
    FaceMapping r;
    ASSERT_TRUE(map(source(s), 0, {0.2f, 0.2f, 0}, 1, 3, r));
    EXPECT_EQ(r.faceId, 0);
    ASSERT_TRUE(map(source(s), 0, {2.5f, 0.2f, 0}, 1, 3, r));
    EXPECT_EQ(r.faceId, 1);
    ASSERT_TRUE(map(source(s), 0, {0.2f, 2.5f, 0}, 1, 3, r));
    EXPECT_EQ(r.faceId, 2);
    // Two Ptex faces only in the texture: the third sub-face has no result.
    EXPECT_FALSE(map(source(s), 0, {0.2f, 2.5f, 0}, 1, 2, r));
}

TEST_P(BothSources, TriangleTextureCorners) {
    Polygons m;
    m.vertices = {{0, 0, 0}, {2, 0, 0}, {0.5f, 1.5f, 0}, {2, 2, 0}};
    m.degrees = {3, 3};
    m.indices = {0, 1, 2, 1, 3, 2};
    Sources s(m, 0, 0);
    ASSERT_TRUE(s.model && s.host);
    const float uv[3][2] = {{0, 0}, {1, 0}, {0, 1}};
    for (int f = 0; f < 2; ++f) {
        for (int k = 0; k < 3; ++k) {
            FaceMapping r;
            ASSERT_TRUE(map(source(s), f, m.vertices[size_t(m.indices[size_t(3 * f + k)])], 0, 2, r));
            EXPECT_EQ(r.faceId, f);
            EXPECT_NEAR(r.u, uv[k][0], 1e-6);
            EXPECT_NEAR(r.v, uv[k][1], 1e-6);
        }
    }
    FaceMapping r;
    EXPECT_FALSE(map(source(s), 1, {1, 1, 0}, 0, 1, r));  // Ptex face 1 beyond the file
}

TEST_P(BothSources, FootprintTurnsWithTheCorners) {
    // Stored from the square's corner (1, 0): u runs along +y, v along -x.
    Polygons m = unitSquare();
    m.indices = {1, 2, 3, 0};
    Sources s(m, 1, 0);
    for (int tri = 0; tri < 2; ++tri) {
        const Vector3f p = tri == 0 ? Vector3f{0.8f, 0.6f, 0} : Vector3f{0.2f, 0.4f, 0};
        FaceMapping r;
        ASSERT_TRUE(map(source(s), tri, p, 1, 1, r));
        EXPECT_EQ(r.du1, 0.0f);  // zero until the footprint is asked for
        mapFootprint(r, {0.1f, 0, 0}, {0, 0.05f, 0});
        EXPECT_NEAR(r.du1, 0.0f, 1e-7);
        EXPECT_NEAR(r.dv1, -0.1f, 1e-7);
        EXPECT_NEAR(r.du2, 0.05f, 1e-7);
        EXPECT_NEAR(r.dv2, 0.0f, 1e-7);
        // Footprint agrees with finite differences of (u, v).
        FaceMapping q;
        ASSERT_TRUE(map(source(s), tri, p + Vector3f{0.1f, 0, 0} * 0.1f, 1, 1, q));
        EXPECT_NEAR((q.u - r.u) * 10, r.du1, 1e-5);
        EXPECT_NEAR((q.v - r.v) * 10, r.dv1, 1e-5);
    }
    // Reversed and scaled: a square of side 2 halves the footprint and swaps axes.
    Polygons big = unitSquare();
    for (Vector3f& v : big.vertices) v = v * 2.0f;
    Sources rev(big, 1, 1);
    FaceMapping r;
    ASSERT_TRUE(map(source(rev), 0, {1.5f, 0.5f, 0}, 1, 1, r));
    mapFootprint(r, {0.2f, 0, 0}, {0, 0.4f, 0});
    EXPECT_NEAR(r.du1, 0.0f, 1e-7);
    EXPECT_NEAR(r.dv1, 0.1f, 1e-7);
    EXPECT_NEAR(r.du2, 0.2f, 1e-7);
    EXPECT_NEAR(r.dv2, 0.0f, 1e-7);
}

TEST_P(BothSources, SubFaceFootprintMatchesFiniteDifferences) {
    const Polygons m = quadAndPentagon();
    Sources s(m, 1, 0);
    const Vector3f centre = s.model->getFaceCenter(1);
    for (int i = 0; i < 5; ++i) {
        // A point inside sub-face i, away from its boundaries.
        const Vector3f c = m.vertices[size_t(4 + i)];
        const Vector3f p = c + (centre - c) * 0.3f + (m.vertices[size_t(4 + (i + 1) % 5)] - c) * 0.1f;
        FaceMapping r, q;
        ASSERT_TRUE(map(source(s), 2, p, 1, 6, r));
        EXPECT_EQ(r.faceId, 1 + i);
        const Vector3f d{0.01f, 0.005f, 0};
        mapFootprint(r, d, d);
        ASSERT_TRUE(map(source(s), 2, p + d, 1, 6, q));
        ASSERT_EQ(q.faceId, r.faceId);
        EXPECT_NEAR(q.u - r.u, r.du1, 2e-5) << i;
        EXPECT_NEAR(q.v - r.v, r.dv1, 2e-5) << i;
        EXPECT_EQ(r.du1, r.du2);
    }
}

TEST_P(BothSources, MillimetreFacesMapLikeLargeOnes) {
    // A 1 mm quad placed a metre away from the origin.
    Polygons m = parallelogram();
    for (Vector3f& v : m.vertices) v = v * 0.0005f + Vector3f{1.0f, 0.5f, 0.25f};
    Sources s(m, 1, 0);
    FaceMapping r;
    const Vector3f p = Vector3f{2.2f, 0.4f, 0} * 0.0005f + Vector3f{1.0f, 0.5f, 0.25f};
    ASSERT_TRUE(map(source(s), 0, p, 1, 1, r));
    EXPECT_NEAR(r.u, 0.9f, 2e-3);
    EXPECT_NEAR(r.v, 0.4f, 2e-3);
}

TEST_P(BothSources, RenderFaceOutOfRangeGivesNoResult) {
    Sources s(parallelogram(), 1, 0);
    FaceMapping r;
    EXPECT_FALSE(map(source(s), -1, {1, 0.5f, 0}, 1, 1, r));
    EXPECT_FALSE(map(source(s), 2, {1, 0.5f, 0}, 1, 1, r));
    EXPECT_TRUE(map(source(s), 1, {1, 0.5f, 0}, 1, 1, r));
    EXPECT_FALSE(map(source(s), 1, {1, 0.5f, 0}, 1, 0, r));  // texture without faces
}

INSTANTIATE_TEST_SUITE_P(Source, BothSources, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Host" : "OwnModel"; });

// A host mesh that misreports faces, counting what the mapping asks.
class MisreportingHost : public ZUtils::HostMesh {
public:
    static constexpr int kTrue = INT_MIN;  // answer truthfully
    int origFaceOfEveryTriangle = kTrue;
    int reportedDegree = kTrue;
    mutable std::atomic<int> degreeCalls{0};

    int getOrigFaceIndex(double time, int renderFace) const override {
        return origFaceOfEveryTriangle != kTrue ? origFaceOfEveryTriangle
                                                : HostMesh::getOrigFaceIndex(time, renderFace);
    }
    int getFaceDegree(double time, int origFace) const override {
        ++degreeCalls;
        return reportedDegree != kTrue ? reportedDegree : HostMesh::getFaceDegree(time, origFace);
    }
};

TEST(HostPath, OriginalFaceOutOfRangeGivesNoResultAndNoDegreeQuery) {
    const Polygons m = parallelogram();
    MisreportingHost host;
    ASSERT_TRUE(host.setPolygons(m.vertices.data(), 4, m.degrees.data(), 1, m.indices.data(), 4));
    FaceStartTable table;
    FaceMapping r;
    for (int bad : {99, 1, -1}) {
        host.origFaceOfEveryTriangle = bad;
        host.degreeCalls = 0;
        const MeshSource src(host, table, 0.0, 1);
        EXPECT_FALSE(map(src, 0, {1, 0.5f, 0}, 1, 1, r)) << bad;
        EXPECT_FALSE(map(src, 0, {1, 0.5f, 0}, 0, 1, r)) << bad;
        EXPECT_EQ(host.degreeCalls.load(), 0) << bad;
    }
    host.origFaceOfEveryTriangle = MisreportingHost::kTrue;
    const MeshSource src(host, table, 0.0, 0);
    EXPECT_TRUE(map(src, 0, {1, 0.5f, 0}, 1, 1, r));
}

TEST(HostPath, DegreeZeroOrLessGivesNoResult) {
    const Polygons m = parallelogram();
    MisreportingHost host;
    ASSERT_TRUE(host.setPolygons(m.vertices.data(), 4, m.degrees.data(), 1, m.indices.data(), 4));
    FaceStartTable table;
    FaceMapping r;
    for (int d : {0, -5}) {
        host.reportedDegree = d;
        for (int rev : {0, 1}) {
            const MeshSource src(host, table, 0.0, rev);
            EXPECT_FALSE(map(src, 0, {1, 0.5f, 0}, 1, 1, r)) << d;
            // Only the reversed numbering needs the degree; without it the corner stays.
            if (rev) {
                EXPECT_EQ(src.cornerPosition(0, 1), Vector3f{}) << d;
            }
        }
    }
}

TEST(HostPath, CornerLookupsClampBadIndices) {
    const Polygons m = parallelogram();
    auto host = makeHost(m);
    FaceStartTable table;
    const MeshSource src(*host, table, 0.0, 0);
    EXPECT_EQ(src.cornerPosition(-1, 0), Vector3f{});
    EXPECT_EQ(src.cornerPosition(1, 0), Vector3f{});
    EXPECT_EQ(src.triangleCornerPosition(2, 0), Vector3f{});
    EXPECT_EQ(src.faceCenter(5), Vector3f{});
    EXPECT_EQ(src.ptexFaceStart(1), -1);
    EXPECT_EQ(src.cornerPosition(0, 2), (Vector3f{3, 1, 0}));
    const MeshSource rev(*host, table, 0.0, 1);
    EXPECT_EQ(rev.cornerPosition(0, 1), (Vector3f{1, 1, 0}));
    EXPECT_EQ(rev.cornerVertexIndex(0, 3), 1);
}

TEST(OwnModel, SurplusTriangleHasNoResult) {
    Polygons m = parallelogram();
    GeometryParams p;
    p.set(m.vertices, m.degrees, m.indices, {0, 1, 2, 0, 2, 3, 0, 1, 2});
    auto model = p.build(1);
    ASSERT_TRUE(model);
    FaceMapping r;
    EXPECT_TRUE(map(MeshSource(*model, 0), 1, {1, 0.5f, 0}, 1, 1, r));
    EXPECT_FALSE(map(MeshSource(*model, 0), 2, {1, 0.5f, 0}, 1, 1, r));
}

TEST(OwnModel, ModelOfTheOtherMeshTypeGivesNoResult) {
    Sources s(parallelogram(), 0, 0);  // triangle model
    FaceMapping r;
    EXPECT_TRUE(map(s.own(), 0, {1, 0.5f, 0}, 0, 2, r));
    EXPECT_FALSE(map(s.own(), 0, {1, 0.5f, 0}, 1, 2, r));
}

// When the model rejects its lists, the engine falls back to the host interface, whose
// answers must be those of a good model.
TEST(Fallback, RejectedListsLeaveTheHostPathWithTheSameAnswers) {
    const Polygons m = quadAndPentagon();
    Sources good(m, 1, 0);
    ASSERT_TRUE(good.model);
    std::vector<int> tris = fanTriangles(m);
    tris[7] = 400;
    GeometryParams bad;
    bad.set(m.vertices, m.degrees, m.indices, tris);
    const std::unique_ptr<OrigMeshInterface> rejected = bad.build(1);
    ASSERT_FALSE(rejected);
    FaceStartTable table;
    const MeshSource chosen = rejected ? MeshSource(*rejected, 0)
                                       : MeshSource(*good.host, table, 0.0, 0);
    EXPECT_EQ(chosen.model(), nullptr);
    for (int tri = 0; tri < 5; ++tri) {
        const Vector3f p = tri < 2 ? Vector3f{-2.4f, -0.5f, 0} : Vector3f{0.1f, 0.2f, 0};
        FaceMapping a, b;
        ASSERT_TRUE(map(chosen, tri, p, 1, 6, a));
        ASSERT_TRUE(map(good.own(), tri, p, 1, 6, b));
        EXPECT_EQ(a.faceId, b.faceId);
        EXPECT_FLOAT_EQ(a.u, b.u);
        EXPECT_FLOAT_EQ(a.v, b.v);
    }
    EXPECT_TRUE(table.isBuilt());
    EXPECT_EQ(table.count(), 2);
}

TEST(FaceStartTable, RunningSumResetAndRebuild) {
    Polygons m;
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}};
    m.degrees = {4, 3, 5, 1, 4};
    m.indices = {0, 1, 2, 3, 0, 1, 4, 0, 1, 2, 3, 4, 4, 0, 1, 2, 3};
    auto host = makeHost(m);
    ASSERT_TRUE(host);
    FaceStartTable table;
    EXPECT_EQ(table.lookup(0), -1);
    ASSERT_TRUE(table.ensureBuilt(*host, 0.0));
    const int expected[5] = {0, 1, 4, 9, 10};
    for (int f = 0; f < 5; ++f) EXPECT_EQ(table.lookup(f), expected[f]);
    EXPECT_EQ(table.lookup(5), -1);
    EXPECT_EQ(table.lookup(-1), -1);
    EXPECT_TRUE(table.ensureBuilt(*host, 0.0));
    EXPECT_EQ(table.builds(), 1);
    table.reset();
    EXPECT_FALSE(table.isBuilt());
    EXPECT_EQ(table.lookup(0), -1);
    ASSERT_TRUE(table.ensureBuilt(*host, 0.0));
    EXPECT_EQ(table.builds(), 2);
}

}  // namespace
