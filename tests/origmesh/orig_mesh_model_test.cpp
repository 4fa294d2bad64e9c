// The per-frame original-mesh model: setters, build, numbering, rejection of lists
// that disagree.
#include <gtest/gtest.h>

#include "MeshFixture.h"
#include "origmesh/OrigPolyMesh.h"
#include "origmesh/OrigTriMesh.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoParameterListDesc.h"

using namespace omtest;
using ZUtils::Vector3f;

namespace {

// A quad, a triangle and a pentagon on separate vertices (12 vertices).
Polygons quadTriPenta() {
    Polygons m;
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},        // quad
                  {2, 0, 0}, {3, 0, 0}, {2, 1, 0},                   // triangle
                  {4, 0, 0}, {5, 0, 0}, {5.5f, 1, 0}, {4.5f, 2, 0}, {3.5f, 1, 0}};  // pentagon
    m.degrees = {4, 3, 5};
    m.indices = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    return m;
}

TEST(OrigPolyMesh, DegreesFourThreeFive) {
    GeometryParams p;
    p.set(quadTriPenta());
    auto mesh = p.build(1);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->getMeshType(), 1);
    EXPECT_EQ(mesh->getNumOrigFaces(), 3);
    EXPECT_EQ(mesh->getNumFaces(), 6);
    EXPECT_EQ(mesh->getPtexFaceId(0), 0);
    EXPECT_EQ(mesh->getPtexFaceId(1), 1);
    EXPECT_EQ(mesh->getPtexFaceId(2), 4);
    EXPECT_EQ(static_cast<OrigPolyMesh*>(mesh.get())->getNumPtexFaces(), 9);
    const int expected[6] = {0, 0, 1, 2, 2, 2};
    for (int t = 0; t < 6; ++t) EXPECT_EQ(mesh->getOrigFaceIndex(t), expected[t]) << t;
    EXPECT_EQ(mesh->getFaceDegree(0), 4);
    EXPECT_EQ(mesh->getFaceDegree(1), 3);
    EXPECT_EQ(mesh->getFaceDegree(2), 5);
}

TEST(OrigPolyMesh, FaceCentresAreMeansOfCorners) {
    GeometryParams p;
    p.set(quadTriPenta());
    auto mesh = p.build(1);
    ASSERT_TRUE(mesh);
    const Vector3f c0 = mesh->getFaceCenter(0);
    EXPECT_FLOAT_EQ(c0.x, 0.5f);
    EXPECT_FLOAT_EQ(c0.y, 0.5f);
    const Vector3f c1 = mesh->getFaceCenter(1);
    EXPECT_FLOAT_EQ(c1.x, 7.0f / 3.0f);
    EXPECT_FLOAT_EQ(c1.y, 1.0f / 3.0f);
    const Vector3f c2 = mesh->getFaceCenter(2);
    EXPECT_FLOAT_EQ(c2.x, 22.5f / 5.0f);
    EXPECT_FLOAT_EQ(c2.y, 4.0f / 5.0f);
}

TEST(OrigPolyMesh, ReverseVerticesRenumbersCorners) {
    GeometryParams p;
    p.set(quadTriPenta());
    auto fwd = p.build(1, 0);
    auto rev = p.build(1, 1);
    ASSERT_TRUE(fwd && rev);
    const int quad[4] = {0, 3, 2, 1};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(fwd->getFaceVertexIndex(0, k), k);
        EXPECT_EQ(rev->getFaceVertexIndex(0, k), quad[k]);
        EXPECT_EQ(rev->getFaceVertex(0, k), p.vertices.readVectorList(0).data[quad[k]]);
    }
    const int tri[3] = {4, 6, 5};
    for (int k = 0; k < 3; ++k) EXPECT_EQ(rev->getFaceVertexIndex(1, k), tri[k]);
    const int penta[5] = {7, 11, 10, 9, 8};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(rev->getFaceVertexIndex(2, k), penta[k]);
    // Render triangles keep stored order.
    for (int t = 0; t < 6; ++t) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(rev->getTriangleVertexIndex(t, k), fwd->getTriangleVertexIndex(t, k));
        }
    }
    EXPECT_EQ(rev->getTriangleVertexIndex(0, 1), 1);
}

TEST(OrigPolyMesh, TriangleFileGivesTriangleModelWhateverTheDegrees) {
    GeometryParams p;
    p.set(quadTriPenta());
    auto mesh = p.build(0);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->getMeshType(), 0);
    EXPECT_EQ(mesh->getNumOrigFaces(), 6);  // one face per render triangle
    for (int f = 0; f < 6; ++f) {
        EXPECT_EQ(mesh->getOrigFaceIndex(f), f);
        EXPECT_EQ(mesh->getPtexFaceId(f), f);
        EXPECT_EQ(mesh->getFaceDegree(f), 3);
    }
}

TEST(OrigTriMesh, CornersCentreAndReverse) {
    GeometryParams p;
    const std::vector<Vector3f> v = {{0, 0, 0}, {3, 0, 0}, {0, 3, 0}, {3, 3, 0}};
    p.set(v, {3, 3}, {0, 1, 2, 1, 3, 2}, {0, 1, 2, 1, 3, 2});
    auto fwd = p.build(0, 0);
    auto rev = p.build(0, 1);
    ASSERT_TRUE(fwd && rev);
    EXPECT_EQ(fwd->getFaceVertexIndex(1, 0), 1);
    EXPECT_EQ(fwd->getFaceVertexIndex(1, 1), 3);
    EXPECT_EQ(fwd->getFaceVertexIndex(1, 2), 2);
    EXPECT_EQ(rev->getFaceVertexIndex(1, 0), 1);
    EXPECT_EQ(rev->getFaceVertexIndex(1, 1), 2);
    EXPECT_EQ(rev->getFaceVertexIndex(1, 2), 3);
    EXPECT_EQ(rev->getTriangleVertexIndex(1, 1), 3);
    const Vector3f c = fwd->getFaceCenter(0);
    EXPECT_FLOAT_EQ(c.x, 1.0f);
    EXPECT_FLOAT_EQ(c.y, 1.0f);
}

TEST(BuildOrigMesh, FacesCountTruncatesAndTooFewGiveNoModel) {
    GeometryParams p;
    const std::vector<Vector3f> v = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    p.set(v, {3, 3}, {0, 1, 2, 1, 3, 2}, {0, 1, 2, 1, 3, 2, 0});
    auto mesh = p.build(0);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->getNumFaces(), 2);
    p.set(v, {3, 3}, {0, 1, 2, 1, 3, 2}, {0, 1});
    EXPECT_FALSE(p.build(0));
    EXPECT_FALSE(p.build(1));
}

TEST(BuildOrigMesh, EmptyOrMissingListsGiveNoModel) {
    const Polygons m = quadTriPenta();
    const std::vector<int> tris = fanTriangles(m);
    for (int meshType : {0, 1}) {
        {
            GeometryParams p;
            p.set(m.vertices, m.degrees, {}, tris);
            EXPECT_FALSE(p.build(meshType)) << "empty origFaces, type " << meshType;
        }
        {
            GeometryParams p;
            p.set(m.vertices, {}, m.indices, tris);
            EXPECT_FALSE(p.build(meshType)) << "empty origFacesDegree, type " << meshType;
        }
        {
            GeometryParams p;
            p.set({}, m.degrees, m.indices, tris);
            EXPECT_FALSE(p.build(meshType)) << "empty vertices, type " << meshType;
        }
        GeometryParams p;
        p.set(m);
        EXPECT_FALSE(buildOrigMesh(meshType, 0.0, nullptr, &p.origFaces, &p.degrees, &p.faces, 0));
        EXPECT_FALSE(buildOrigMesh(meshType, 0.0, &p.vertices, nullptr, &p.degrees, &p.faces, 0));
        EXPECT_FALSE(buildOrigMesh(meshType, 0.0, &p.vertices, &p.origFaces, nullptr, &p.faces, 0));
        EXPECT_FALSE(buildOrigMesh(meshType, 0.0, &p.vertices, &p.origFaces, &p.degrees, nullptr, 0));
        EXPECT_TRUE(buildOrigMesh(meshType, 0.0, &p.vertices, &p.origFaces, &p.degrees, &p.faces, 0));
    }
}

// Every kind of disagreement between the lists rejects the polygon model.
TEST(BuildOrigMesh, InconsistentListsAreRejected) {
    const Polygons good = quadTriPenta();
    const std::vector<int> tris = fanTriangles(good);
    struct Case {
        const char* what;
        std::vector<int> degrees, indices, faces;
    };
    std::vector<int> badTri = tris;
    badTri[4] = 12;  // one past the last vertex
    std::vector<int> negTri = tris;
    negTri[0] = -1;
    std::vector<int> badIdx = good.indices;
    badIdx[9] = 12;
    std::vector<int> negIdx = good.indices;
    negIdx[2] = -3;
    const std::vector<int> shortTris(tris.begin(), tris.end() - 3);  // 5 triangles, 6 claimed
    const std::vector<Case> cases = {
        {"degree 0", {4, 0, 5}, good.indices, tris},
        {"negative degree", {4, -3, 5}, good.indices, tris},
        {"degree sum beyond origFaces", {4, 3, 6}, good.indices, tris},
        {"huge degree", {4, 3, 0x7fffffff}, good.indices, tris},
        {"origFaces index beyond vertices", good.degrees, badIdx, tris},
        {"negative origFaces index", good.degrees, negIdx, tris},
        {"faces index beyond vertices", good.degrees, good.indices, badTri},
        {"negative faces index", good.degrees, good.indices, negTri},
        {"more triangles claimed than faces holds", good.degrees, good.indices, shortTris},
    };
    for (const Case& c : cases) {
        GeometryParams p;
        p.set(good.vertices, c.degrees, c.indices, c.faces);
        EXPECT_FALSE(p.build(1)) << c.what;
    }
    // The triangle model reads "faces" only: bad triangle indices reject it too.
    for (const auto& f : {badTri, negTri}) {
        GeometryParams p;
        p.set(good.vertices, good.degrees, good.indices, f);
        EXPECT_FALSE(p.build(0));
    }
}

TEST(BuildOrigMesh, DegreesOneAndTwoKeepTheNumbering) {
    GeometryParams p;
    const std::vector<Vector3f> v = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}};
    // faces: degree 1, degree 2, quad, triangle
    p.set(v, {1, 2, 4, 3}, {0, 0, 1, 0, 1, 2, 3, 1, 4, 2}, {0, 1, 2, 0, 2, 3, 1, 4, 2});
    auto mesh = p.build(1);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->getPtexFaceId(0), 0);
    EXPECT_EQ(mesh->getPtexFaceId(1), 1);
    EXPECT_EQ(mesh->getPtexFaceId(2), 3);
    EXPECT_EQ(mesh->getPtexFaceId(3), 4);
    EXPECT_EQ(mesh->getOrigFaceIndex(0), 2);
    EXPECT_EQ(mesh->getOrigFaceIndex(1), 2);
    EXPECT_EQ(mesh->getOrigFaceIndex(2), 3);
}

TEST(BuildOrigMesh, SurplusTrianglesBelongToNoFace) {
    const Polygons m = quadTriPenta();
    std::vector<int> tris = fanTriangles(m);
    tris.insert(tris.end(), {0, 1, 2, 0, 2, 3});
    GeometryParams p;
    p.set(m.vertices, m.degrees, m.indices, tris);
    auto mesh = p.build(1);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->getNumFaces(), 8);
    EXPECT_EQ(mesh->getOrigFaceIndex(5), 2);
    EXPECT_EQ(mesh->getOrigFaceIndex(6), -1);
    EXPECT_EQ(mesh->getOrigFaceIndex(7), -1);
}

TEST(BuildOrigMesh, ModelKeepsItsListsAliveAfterTheParametersChange) {
    const Polygons m = quadTriPenta();
    auto p = std::make_unique<GeometryParams>();
    p->set(m);
    auto mesh = p->build(1);
    ASSERT_TRUE(mesh);
    // Replace every list (same keyframe) and then destroy the parameters altogether.
    const std::vector<Vector3f> other(40, Vector3f{9, 9, 9});
    const std::vector<int> zeros(40, 0);
    p->set(other, {3}, zeros, zeros);
    p.reset();
    EXPECT_EQ(mesh->getFaceVertexIndex(2, 4), 11);
    EXPECT_EQ(mesh->getTriangleVertexIndex(5, 2), 11);
    EXPECT_FLOAT_EQ(mesh->getFaceVertex(2, 2).x, 5.5f);
    EXPECT_EQ(mesh->getFaceDegree(2), 5);
}

TEST(BuildOrigMesh, ParameterListOverloadLooksUpByName) {
    ZUtils::ZentoParameterListDesc desc;
    desc.addParam("vertices", ZUtils::TYPE_VECTOR, 0, nullptr, nullptr);
    desc.addParam("origFaces", ZUtils::TYPE_INT, 0, nullptr, nullptr);
    desc.addParam("faces", ZUtils::TYPE_INT, 0, nullptr, nullptr);
    desc.addParam("origFacesDegree", ZUtils::TYPE_INT, 0, nullptr, nullptr);
    ZUtils::ZentoParameterList list(&desc);
    EXPECT_FALSE(buildOrigMesh(1, 0.0, list, 0));  // all four empty

    GeometryParams p;
    p.set(quadTriPenta());
    ASSERT_EQ(list.setParameter(&p.vertices), 1);
    ASSERT_EQ(list.setParameter(&p.origFaces), 1);
    ASSERT_EQ(list.setParameter(&p.faces), 1);
    EXPECT_FALSE(buildOrigMesh(1, 0.0, list, 0));  // degrees still empty
    ASSERT_EQ(list.setParameter(&p.degrees), 1);
    auto mesh = buildOrigMesh(1, 0.0, list, 1);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->getPtexFaceId(2), 4);
    EXPECT_EQ(mesh->getFaceVertexIndex(0, 1), 3);
}

TEST(BuildOrigMesh, AnimatedListsAreReadAtTheFrameTime) {
    GeometryParams p;
    const Polygons m = quadTriPenta();
    p.set(m);
    // At time 1 the mesh is a single quad.
    const std::vector<int> quad = {0, 1, 2, 3};
    p.degrees.setIntList(std::vector<int>{4}.data(), 1, 1.0);
    p.origFaces.setIntList(quad.data(), 4, 1.0);
    p.faces.setIntList(std::vector<int>{0, 1, 2, 0, 2, 3}.data(), 6, 1.0);
    auto at0 = buildOrigMesh(1, 0.0, &p.vertices, &p.origFaces, &p.degrees, &p.faces, 0);
    auto at1 = buildOrigMesh(1, 1.0, &p.vertices, &p.origFaces, &p.degrees, &p.faces, 0);
    ASSERT_TRUE(at0 && at1);
    EXPECT_EQ(at0->getNumOrigFaces(), 3);
    EXPECT_EQ(at1->getNumOrigFaces(), 1);
    EXPECT_EQ(at1->getNumFaces(), 2);
}

}  // namespace
