// The per-frame original-mesh model: numbering, reversed corners, the triangle model,
// rejection of lists that disagree, the lists kept alive.
#include <gtest/gtest.h>

#include "MeshFixture.h"
#include "origmesh/OrigPolyMesh.h"

using namespace omtest;

namespace {

// A quad, a triangle and a pentagon on separate vertices.
const Polygons kQuadTriPenta{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {3, 0, 0}, {2, 1, 0}, {4, 0, 0},
                              {5, 0, 0}, {5.5f, 1, 0}, {4.5f, 2, 0}, {3.5f, 1, 0}},
                             {4, 3, 5},
                             {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};

TEST(OrigMesh, DegreesFourThreeFiveNumberingReversedCornersAndTriangleModel) {
    GeometryParams p;
    p.set(kQuadTriPenta);
    auto fwd = p.build(1, 0), rev = p.build(1, 1);
    ASSERT_TRUE(fwd && rev);
    EXPECT_TRUE(fwd->getMeshType() == 1 && fwd->getNumOrigFaces() == 3 && fwd->getNumFaces() == 6);
    EXPECT_EQ(static_cast<OrigPolyMesh*>(fwd.get())->getNumPtexFaces(), 9);
    const int ptexId[3] = {0, 1, 4}, degree[3] = {4, 3, 5}, start[3] = {0, 4, 7}, origFace[6] = {0, 0, 1, 2, 2, 2};
    for (int f = 0; f < 3; ++f) EXPECT_TRUE(fwd->getPtexFaceId(f) == ptexId[f] && fwd->getFaceDegree(f) == degree[f]);
    for (int t = 0; t < 6; ++t) EXPECT_EQ(fwd->getOrigFaceIndex(t), origFace[t]) << t;
    // Reversed: corner k is stored corner (d - k) mod d; render triangles keep their order.
    const std::vector<std::vector<int>> reversed = {{0, 3, 2, 1}, {4, 6, 5}, {7, 11, 10, 9, 8}};
    for (int f = 0; f < 3; ++f)
        for (int k = 0; k < degree[f]; ++k) {
            EXPECT_EQ(fwd->getFaceVertexIndex(f, k), start[f] + k);
            EXPECT_EQ(rev->getFaceVertexIndex(f, k), reversed[size_t(f)][size_t(k)]) << f << " " << k;
            EXPECT_EQ(rev->getFaceVertex(f, k), p.vertices.readVectorList(0).data[reversed[size_t(f)][size_t(k)]]);
        }
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(rev->getTriangleVertexIndex(i / 3, i % 3), fwd->getTriangleVertexIndex(i / 3, i % 3));
    // A triangle texture: one face per render triangle whatever the degrees.
    auto tfwd = p.build(0, 0), trev = p.build(0, 1);
    ASSERT_TRUE(tfwd && trev);
    EXPECT_TRUE(tfwd->getMeshType() == 0 && tfwd->getNumOrigFaces() == 6);
    const std::vector<int> tris = fanTriangles(kQuadTriPenta);
    for (int i = 0; i < 18; ++i) {
        const int f = i / 3, k = i % 3;
        EXPECT_TRUE(tfwd->getOrigFaceIndex(f) == f && tfwd->getPtexFaceId(f) == f && tfwd->getFaceDegree(f) == 3) << f;
        EXPECT_EQ(tfwd->getFaceVertexIndex(f, k), tris[size_t(i)]);
        EXPECT_EQ(trev->getFaceVertexIndex(f, k), tris[size_t(3 * f + (3 - k) % 3)]);
    }
}

// Every kind of disagreement between the lists rejects the model (the host path is used).
TEST(BuildOrigMesh, ListsThatDisagreeAreRejected) {
    const Polygons good = kQuadTriPenta;
    const std::vector<int> tris = fanTriangles(good);
    auto with = [](std::vector<int> v, size_t i, int x) { return v[i] = x, v; };
    struct Case { const char* what; std::vector<int> degrees, indices, faces; bool triangleModelToo; };
    const std::vector<Case> cases = {
        {"degree 0", {4, 0, 5}, good.indices, tris, false},
        {"negative degree", {4, -3, 5}, good.indices, tris, false},
        {"degree sum beyond origFaces", {4, 3, 6}, good.indices, tris, false},
        {"huge degree", {4, 3, 0x7fffffff}, good.indices, tris, false},
        {"origFaces index beyond vertices", good.degrees, with(good.indices, 9, 12), tris, false},
        {"negative origFaces index", good.degrees, with(good.indices, 2, -3), tris, false},
        {"faces index beyond vertices", good.degrees, good.indices, with(tris, 4, 12), true},
        {"negative faces index", good.degrees, good.indices, with(tris, 0, -1), true},
        {"more triangles claimed than faces holds", good.degrees, good.indices,
         std::vector<int>(tris.begin(), tris.end() - 3), false},
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
    std::vector<int> surplus = tris;  // a 7th triangle that belongs to no face, and a bit that is dropped
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
    p.set({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}}, {1, 2, 4, 3}, {0, 0, 1, 0, 1, 2, 3, 1, 4, 2},
          {0, 1, 2, 0, 2, 3, 1, 4, 2});
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
    const std::vector<int> zeros(40, 0);
    p->set(std::vector<Vector3f>(40, Vector3f{9, 9, 9}), {3}, zeros, zeros);  // same keyframe
    p.reset();
    EXPECT_EQ(mesh->getFaceVertexIndex(2, 4), 11);
    EXPECT_EQ(mesh->getTriangleVertexIndex(5, 2), 11);
    EXPECT_FLOAT_EQ(mesh->getFaceVertex(2, 2).x, 5.5f);
    EXPECT_EQ(mesh->getFaceDegree(2), 5);
}

}  // namespace
