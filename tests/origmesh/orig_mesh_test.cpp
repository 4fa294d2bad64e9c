// The per-frame original-mesh model (numbering, reversed corners, the triangle model,
// rejection of lists that disagree, the lists kept alive) and the face mapping from a render
// triangle and hit point to Ptex face, (u, v) and footprint, through the own model and
// through the host's MeshInfoInterface, with its plane geometry.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>

#include "MeshFixture.h"
#include "origmesh/OrigPolyMesh.h"
#include "origmesh/PlaneSolve.h"

using namespace omtest;

namespace {

// A quad, a triangle and a pentagon on separate vertices.
const Polygons kQuadTriPenta{{{0, 0, 0},
                              {1, 0, 0},
                              {1, 1, 0},
                              {0, 1, 0},
                              {2, 0, 0},
                              {3, 0, 0},
                              {2, 1, 0},
                              {4, 0, 0},
                              {5, 0, 0},
                              {5.5f, 1, 0},
                              {4.5f, 2, 0},
                              {3.5f, 1, 0}},
                             {4, 3, 5},
                             {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};

TEST(OrigMesh, DegreesFourThreeFiveNumberingReversedCornersAndTriangleModel) {
    GeometryParams p;
    p.set(kQuadTriPenta);
    auto fwd = p.build(1, 0), rev = p.build(1, 1);
    ASSERT_TRUE(fwd && rev);
    EXPECT_TRUE(fwd->getMeshType() == 1 && fwd->getNumOrigFaces() == 3 && fwd->getNumFaces() == 6);
    EXPECT_EQ(static_cast<OrigPolyMesh*>(fwd.get())->getNumPtexFaces(), 9);
    const int ptexId[3] = {0, 1, 4}, degree[3] = {4, 3, 5}, start[3] = {0, 4, 7},
              origFace[6] = {0, 0, 1, 2, 2, 2};
    for (int f = 0; f < 3; ++f)
        EXPECT_TRUE(fwd->getPtexFaceId(f) == ptexId[f] && fwd->getFaceDegree(f) == degree[f]);
    for (int t = 0; t < 6; ++t) EXPECT_EQ(fwd->getOrigFaceIndex(t), origFace[t]) << t;
    // Reversed: corner k is stored corner (d - k) mod d; render triangles keep their order.
    const std::vector<std::vector<int>> reversed = {{0, 3, 2, 1}, {4, 6, 5}, {7, 11, 10, 9, 8}};
    for (int f = 0; f < 3; ++f)
        for (int k = 0; k < degree[f]; ++k) {
            const int r = reversed[size_t(f)][size_t(k)];
            EXPECT_TRUE(fwd->getFaceVertexIndex(f, k) == start[f] + k &&
                        rev->getFaceVertexIndex(f, k) == r)
                << f << k;
            EXPECT_EQ(rev->getFaceVertex(f, k), p.vertices.readVectorList(0).data[r]);
        }
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(rev->getTriangleVertexIndex(i / 3, i % 3),
                  fwd->getTriangleVertexIndex(i / 3, i % 3));
    // A triangle texture: one face per render triangle whatever the degrees.
    auto tfwd = p.build(0, 0), trev = p.build(0, 1);
    ASSERT_TRUE(tfwd && trev);
    EXPECT_TRUE(tfwd->getMeshType() == 0 && tfwd->getNumOrigFaces() == 6);
    const std::vector<int> tris = fanTriangles(kQuadTriPenta);
    for (int i = 0; i < 18; ++i) {
        const int f = i / 3, k = i % 3;
        EXPECT_TRUE(tfwd->getOrigFaceIndex(f) == f && tfwd->getPtexFaceId(f) == f &&
                    tfwd->getFaceDegree(f) == 3)
            << f;
        EXPECT_TRUE(tfwd->getFaceVertexIndex(f, k) == tris[size_t(i)] &&
                    trev->getFaceVertexIndex(f, k) == tris[size_t(3 * f + (3 - k) % 3)])
            << f << " " << k;
    }
}

// Every kind of disagreement between the lists rejects the model (the host path is used).
TEST(BuildOrigMesh, ListsThatDisagreeAreRejected) {
    const Polygons good = kQuadTriPenta;
    const std::vector<int> tris = fanTriangles(good);
    auto with = [](std::vector<int> v, size_t i, int x) { return v[i] = x, v; };
    struct Case {
        const char* what;
        std::vector<int> degrees, indices, faces;
        bool triangleModelToo;
    };
    const std::vector<Case> cases = {
        {"degree 0", {4, 0, 5}, good.indices, tris, false},
        {"negative degree", {4, -3, 5}, good.indices, tris, false},
        {"degree sum beyond origFaces", {4, 3, 6}, good.indices, tris, false},
        {"huge degree", {4, 3, 0x7fffffff}, good.indices, tris, false},
        {"origFaces index beyond vertices", good.degrees, with(good.indices, 9, 12), tris, false},
        {"negative origFaces index", good.degrees, with(good.indices, 2, -3), tris, false},
        {"faces index beyond vertices", good.degrees, good.indices, with(tris, 4, 12), true},
        {"negative faces index", good.degrees, good.indices, with(tris, 0, -1), true},
        {"more triangles claimed than faces holds",
         good.degrees,
         good.indices,
         {tris.begin(), tris.end() - 3},
         false},
        {"fewer than 3 faces entries", good.degrees, good.indices, {0, 1}, true},
        {"empty origFaces", good.degrees, {}, tris, true},
        {"empty origFacesDegree", {}, good.indices, tris, true},
    };
    for (const Case& c : cases) {
        GeometryParams p;
        p.set(good.vertices, c.degrees, c.indices, c.faces);
        EXPECT_FALSE(p.build(1)) << c.what;
        EXPECT_TRUE(!c.triangleModelToo || !p.build(0)) << c.what << " (triangle model)";
    }
    GeometryParams p;
    p.set({}, good.degrees, good.indices, tris);
    EXPECT_FALSE(p.build(0) || p.build(1)) << "empty vertices";
    std::vector<int> surplus =
        tris;  // a 7th triangle that belongs to no face, and a bit that is dropped
    surplus.insert(surplus.end(), {0, 1, 2, 0, 1});
    p.set(good.vertices, good.degrees, good.indices, surplus);
    ASSERT_TRUE(p.build(1));
    EXPECT_TRUE(p.build(1)->getNumFaces() == 7 && p.build(1)->getOrigFaceIndex(6) == -1);
    for (int t : {0, 1}) {  // a missing list
        EXPECT_FALSE(buildOrigMesh(t, 0.0, nullptr, &p.origFaces, &p.degrees, &p.faces, 0));
        EXPECT_FALSE(buildOrigMesh(t, 0.0, &p.vertices, nullptr, &p.degrees, &p.faces, 0));
        EXPECT_FALSE(buildOrigMesh(t, 0.0, &p.vertices, &p.origFaces, nullptr, &p.faces, 0));
        EXPECT_FALSE(buildOrigMesh(t, 0.0, &p.vertices, &p.origFaces, &p.degrees, nullptr, 0));
    }
}

TEST(BuildOrigMesh, DegreesOneAndTwoKeepTheNumbering) {
    GeometryParams p;  // faces of degree 1, 2, 4 and 3 (the first two have no render triangle)
    p.set({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}}, {1, 2, 4, 3},
          {0, 0, 1, 0, 1, 2, 3, 1, 4, 2}, {0, 1, 2, 0, 2, 3, 1, 4, 2});
    auto mesh = p.build(1);
    ASSERT_TRUE(mesh);
    const int ptexId[4] = {0, 1, 3, 4}, origFace[3] = {2, 2, 3};
    for (int f = 0; f < 4; ++f) EXPECT_EQ(mesh->getPtexFaceId(f), ptexId[f]) << f;
    for (int t = 0; t < 3; ++t) EXPECT_EQ(mesh->getOrigFaceIndex(t), origFace[t]) << t;
}

TEST(BuildOrigMesh, ModelKeepsItsListsAfterTheParametersChangeOrGo) {
    auto p = std::make_unique<GeometryParams>();
    p->set(kQuadTriPenta);
    auto mesh = p->build(1);
    ASSERT_TRUE(mesh);
    p->set(std::vector<Vector3f>(40, Vector3f{9, 9, 9}), {3}, std::vector<int>(40),
           std::vector<int>(40));  // same key
    p.reset();
    EXPECT_TRUE(mesh->getFaceVertexIndex(2, 4) == 11 && mesh->getTriangleVertexIndex(5, 2) == 11);
    EXPECT_TRUE(mesh->getFaceVertex(2, 2).x == 5.5f && mesh->getFaceDegree(2) == 5);
}

const Polygons kParallelogram{
    {{0, 0, 0}, {2, 0, 0}, {3, 1, 0}, {1, 1, 0}}, {4}, {0, 1, 2, 3}};  // fan (0 1 2) (0 2 3)

// A quad (Ptex face 0, render triangles 0, 1) and a regular pentagon around the origin
// (sub-faces 1 to 5, render triangles 2 to 4).
Polygons quadAndPentagon() {
    Polygons m{
        {{-3, -1, 0}, {-2, -1, 0}, {-2, 0, 0}, {-3, 0, 0}}, {4, 5}, {0, 1, 2, 3, 4, 5, 6, 7, 8}};
    for (double a = M_PI / 2; a < 2.4 * M_PI; a += 0.4 * M_PI)
        m.vertices.push_back({float(std::cos(a)), float(std::sin(a)), 0});
    return m;
}

TEST(PlaneSolve, CoordinatesAtEveryScaleAndZeroForDegenerateBases) {
    struct Case {
        const char* what;
        Vector3f e1, e2, p;
        float s, t;
    };
    const Case cases[] = {
        {"orthogonal", {2, 0, 0}, {0, 4, 0}, {0.6f, 2.4f, 0}, 0.3f, 0.6f},
        {"skewed, point off the plane", {1, 0, 0}, {1, 1, 0}, {0.75f, 0.5f, 7}, 0.25f, 0.5f},
        // |det| = 6.25e-14: a fixed 1e-12 bound would call this basis degenerate.
        {"half-millimetre edges", {5e-4f, 0, 0}, {0, 5e-4f, 0}, {2.5e-4f, 1e-4f, 0}, 0.5f, 0.2f},
        {"micrometre skewed face",
         {1e-6f, 0, 0},
         {0.5e-6f, 1e-6f, 0},
         {0.55e-6f, 0.3e-6f, 0},
         0.4f,
         0.3f},
        {"parallel edges", {1, 0, 0}, {2, 0, 0}, {0.5f, 0.5f, 0}, 0, 0},
        // 1e-7 rad apart: parallel for the relative test although det is about 1e-2.
        {"nearly parallel long edges", {1000, 0, 0}, {1000, 1e-4f, 0}, {10, 0, 0}, 0, 0},
        {"zero edge", {0, 0, 0}, {0, 1, 0}, {0.5f, 0.5f, 0}, 0, 0},
        {"both zero", {0, 0, 0}, {0, 0, 0}, {1, 1, 1}, 0, 0},
        {"not a number", {NAN, 0, 0}, {0, 1, 0}, {1, 1, 1}, 0, 0},
    };
    for (const Case& c : cases) {
        const PlaneCoords r = solveInPlane(c.e1, c.e2, c.p);
        EXPECT_TRUE(std::fabs(r.s - c.s) < 1e-5f && std::fabs(r.t - c.t) < 1e-5f)
            << c.what << ": " << r.s;
        EXPECT_TRUE(c.s != 0 || c.t != 0 || (r.s == 0 && r.t == 0)) << c.what;  // exactly 0
    }
}

TEST(InsideTests, InclusiveBoundariesProjectionAndQuadHalves) {
    const Vector3f a0{0, 0, 0}, a1{1, 0, 0}, a2{0, 1, 0}, c2{1, 1, 0};
    const std::pair<Vector3f, bool> triangle[] = {
        {{0.2f, 0.2f, 0}, true},
        {a0, true},
        {a1, true},
        {a2, true},
        {{0.5f, 0.5f, 0}, true},
        {{0.5f, 0, 0}, true},
        {{0.2f, 0.2f, 5}, true},  // off the plane: projected
        {{0.6f, 0.6f, 0}, false},
        {{-0.01f, 0.5f, 0}, false},
        {{0.5f, -0.01f, 0}, false}};
    for (const auto& [p, in] : triangle)
        EXPECT_EQ(insideTriangle(p, a0, a1, a2), in) << p.x << " " << p.y;
    EXPECT_TRUE(
        insideTriangle({5, 5, 5}, {0, 0, 0}, {1, 0, 0}, {2, 0, 0}));  // degenerate: everything
    const std::pair<Vector3f, bool> quad[] = {{{0.9f, 0.1f, 0}, true},
                                              {{0.1f, 0.9f, 0}, true},  // both halves
                                              {{0, 1, 0}, true},
                                              {{1.1f, 0.5f, 0}, false},
                                              {{0.5f, -0.1f, 0}, false}};
    for (const auto& [p, in] : quad)
        EXPECT_EQ(insideQuad(p, a0, a1, c2, a2), in) << p.x << " " << p.y;
}

class BothSources : public ::testing::TestWithParam<bool> {};

TEST_P(BothSources, FaceAndCoordinatesOfQuadHalvesSubFacesAndTriangles) {
    const Polygons penta = quadAndPentagon();
    Polygons small = kParallelogram;  // 1 mm a metre from the origin
    for (Vector3f& x : small.vertices) x = x * 0.0005f + Vector3f{1.0f, 0.5f, 0.25f};
    const Polygons tt{
        {{0, 0, 0}, {2, 0, 0}, {0.5f, 1.5f, 0}, {2, 2, 0}}, {3, 3}, {0, 1, 2, 1, 3, 2}};
    Sources quad(kParallelogram, 1, 0), rev(kParallelogram, 1, 1), mm(small, 1, 0),
        pent(penta, 1, 0), triQuads({{{0, 0, 0}, {3, 0, 0}, {0, 3, 0}}, {3}, {0, 1, 2}}, 1, 0),
        triTexture(tt, 0, 0);
    const float any = NAN;
    struct Row {
        Sources* s;
        int tri;
        Vector3f p;
        int numPtex, face;
        float u, v;
        double tol = 1e-6;
    };  // face -1: none
    // Parallelogram: x = 2u + v, y = v. Triangle (0, 1, 2) lacks corner 3 (rot 1), (0, 2, 3)
    // corner 1 (rot 3); reversed, u and v swap.
    std::vector<Row> rows = {
        {&quad, 0, {2.2f, 0.4f, 0}, 1, 0, 0.9f, 0.4f},
        {&quad, 1, {1.0f, 0.6f, 0}, 1, 0, 0.2f, 0.6f},
        {&rev, 0, {2.2f, 0.4f, 0}, 1, 0, 0.4f, 0.9f},
        {&rev, 1, {1.0f, 0.6f, 0}, 1, 0, 0.6f, 0.2f},
        {&quad, 0, {1.5f, 0.5f, 0}, 1, 0, 0.5f, 0.5f},
        {&quad, 1, {1.5f, 0.5f, 0}, 1, 0, 0.5f, 0.5f},  // centre
        {&quad, 0, {0, 0, 0}, 1, 0, 0, 0},
        {&quad, 0, {2, 0, 0}, 1, 0, 1, 0},
        {&quad, 0, {3, 1, 0}, 1, 0, 1, 1},
        {&quad, 1, {1, 1, 0}, 1, 0, 0, 1},
        {&mm, 0, Vector3f{2.2f, 0.4f, 0} * 0.0005f + Vector3f{1.0f, 0.5f, 0.25f}, 1, 0, 0.9f, 0.4f,
         2e-3},
        {&quad, -1, {1, 0.5f, 0}, 1, -1, any, any},
        {&quad, 2, {1, 0.5f, 0}, 1, -1, any, any},
        // A texture without faces. Pentagon: sub-face i + 1 from corner i (vertex 4 + i), the
        // centre is (1, 1) of the first; a point accepted by no test falls to the last.
        {&quad, 1, {1, 0.5f, 0}, 0, -1, any, any},
        {&pent, 2, {40, -70, 0}, 6, 5, any, any},
        {&pent, 3, penta.vertices[6] * 0.99f, 6, 3, 0, 0, 0.03},
        {&pent, 2, {0, 0, 0}, 6, 1, 1, 1, 1e-5},
        // A triangle in a quad texture is three sub-faces; the third beyond a 2-face texture.
        {&triQuads, 0, {0.2f, 0.2f, 0}, 3, 0, any, any},
        {&triQuads, 0, {2.5f, 0.2f, 0}, 3, 1, any, any},
        {&triQuads, 0, {0.2f, 2.5f, 0}, 3, 2, any, any},
        {&triQuads, 0, {0.2f, 2.5f, 0}, 2, -1, any, any},
        {&triTexture, 1, {1, 1, 0}, 1, -1, any, any},  // Ptex face 1 beyond a 1-face texture
    };
    // Mid-edge points end in the first sub-face that holds them: sub-face i at (1, 0) for
    // edge i -> i+1, except the last edge, whose midpoint sub-face 0 holds at (0, 1).
    for (int i = 0; i < 5; ++i)
        rows.push_back({&pent, 2,
                        mid(penta.vertices[size_t(4 + i)], penta.vertices[size_t(4 + (i + 1) % 5)]),
                        6, i < 4 ? 1 + i : 1, i < 4 ? 1.0f : 0.0f, i < 4 ? 0.0f : 1.0f, 1e-5});
    const float corner[3][2] = {{0, 0}, {1, 0}, {0, 1}};  // triangle texture: the face corners
    for (int f = 0; f < 6; ++f)
        rows.push_back({&triTexture, f / 3, tt.vertices[size_t(tt.indices[size_t(f)])], 2, f / 3,
                        corner[f % 3][0], corner[f % 3][1]});
    FaceMapping other;  // the own model of the other mesh type gives no result
    EXPECT_TRUE(GetParam() || !map(triTexture.get(false), 0, {1, 0.5f, 0}, 1, 2, other));
    for (const Row& r : rows) {
        FaceMapping m;
        const bool ok =
            map(r.s->get(GetParam()), r.tri, r.p, r.s->model->getMeshType(), r.numPtex, m);
        EXPECT_EQ(ok ? m.faceId : -1, r.face)
            << "triangle " << r.tri << " at " << r.p.x << " " << r.p.y;
        EXPECT_TRUE(!ok || std::isnan(r.u) ||
                    (std::fabs(m.u - r.u) <= r.tol && std::fabs(m.v - r.v) <= r.tol))
            << "triangle " << r.tri << " at " << r.p.x << " " << r.p.y << ": " << m.u << " " << m.v;
    }
}

TEST_P(BothSources, FootprintMatchesFiniteDifferencesOfTheMapping) {
    const Polygons m = quadAndPentagon();
    Sources s(m, 1, 0);
    std::vector<std::pair<int, Vector3f>> points = {{0, {-2.2f, -0.8f, 0}},
                                                    {1, {-2.8f, -0.2f, 0}}};  // quad halves
    for (int i = 0; i < 5;
         ++i)  // inside sub-face i (each turned its own way), away from its boundaries
        points.push_back(
            {2, m.vertices[size_t(4 + i)] * 0.6f + m.vertices[size_t(4 + (i + 1) % 5)] * 0.1f});
    for (auto [tri, p] : points) {
        const Vector3f d1{0.002f, 0.001f, 0}, d2{-0.001f, 0.003f, 0};
        FaceMapping r, q1, q2;
        ASSERT_TRUE(map(s.get(GetParam()), tri, p, 1, 6, r) &&
                    map(s.get(GetParam()), tri, p + d1, 1, 6, q1) &&
                    map(s.get(GetParam()), tri, p + d2, 1, 6, q2) && q1.faceId == r.faceId &&
                    q2.faceId == r.faceId && r.du1 == 0 &&
                    r.dv2 == 0);  // the footprint is zero until asked for
        mapFootprint(r, d1, d2);
        const float got[4] = {r.du1, r.dv1, r.du2, r.dv2},
                    want[4] = {q1.u - r.u, q1.v - r.v, q2.u - r.u, q2.v - r.v};
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(got[c], want[c], 2e-6) << "face " << r.faceId << " at " << p.x;
    }
}

INSTANTIATE_TEST_SUITE_P(Source, BothSources, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Host" : "OwnModel"; });

// A host mesh that misreports faces, counting what the mapping asks.
struct MisreportingHost : ZUtils::HostMesh {
    int origFaceOfEveryTriangle = INT_MIN, reportedDegree = INT_MIN;  // INT_MIN: the truth
    mutable std::atomic<int> degreeCalls{0};
    int getOrigFaceIndex(double time, int face) const override {
        return origFaceOfEveryTriangle != INT_MIN ? origFaceOfEveryTriangle
                                                  : HostMesh::getOrigFaceIndex(time, face);
    }
    int getFaceDegree(double time, int origFace) const override {
        ++degreeCalls;
        return reportedDegree != INT_MIN ? reportedDegree : HostMesh::getFaceDegree(time, origFace);
    }
};

TEST(HostPath, BadFacesDegreesAndIndicesGiveNoResultOrTheOrigin) {
    auto host = std::make_unique<MisreportingHost>();
    ASSERT_TRUE(host->setPolygons(kParallelogram.vertices.data(), 4, kParallelogram.degrees.data(),
                                  1, kParallelogram.indices.data(), 4));
    FaceStartTable table;  // the degree of a face out of range is never asked
    FaceMapping r;
    for (int bad : {99, 1, -1}) {
        host->origFaceOfEveryTriangle = bad;
        host->degreeCalls = 0;
        for (int type : {0, 1})
            EXPECT_FALSE(map(MeshSource(*host, table, 0.0, 1), 0, {1, 0.5f, 0}, type, 1, r));
        EXPECT_EQ(host->degreeCalls.load(), 0) << bad;
    }
    host->origFaceOfEveryTriangle = INT_MIN;
    EXPECT_TRUE(map(MeshSource(*host, table, 0.0, 0), 0, {1, 0.5f, 0}, 1, 1, r));
    const MeshSource src(*host, table, 0.0, 0), rev(*host, table, 0.0, 1);
    EXPECT_TRUE(src.cornerPosition(0, 2) == (Vector3f{3, 1, 0}) &&
                rev.cornerPosition(0, 1) == (Vector3f{1, 1, 0}));
    EXPECT_TRUE(rev.cornerVertexIndex(0, 3) == 1 && src.ptexFaceStart(1) == -1);
    for (const Vector3f& x : {src.cornerPosition(-1, 0), src.cornerPosition(1, 0),
                              src.triangleCornerPosition(2, 0), src.faceCenter(5)})
        EXPECT_EQ(x, Vector3f{});
    for (int d : {0, -5}) {
        host->reportedDegree = d;
        for (int rv : {0, 1})
            EXPECT_FALSE(map(MeshSource(*host, table, 0.0, rv), 0, {1, 0.5f, 0}, 1, 1, r)) << d;
        EXPECT_EQ(MeshSource(*host, table, 0.0, 1).cornerPosition(0, 1), Vector3f{}) << d;
    }
}

}  // namespace
