// Ptex layout of small meshes: face numbering, sub-faces and their adjacency,
// triangle meshes, and refusal of bad meshes.
#include <gtest/gtest.h>

#include "PolyMesh.h"
#include "PtexLayout.h"

namespace {

PolyMesh makeMesh(int numVertices, std::vector<int> counts, std::vector<int> indices) {
    PolyMesh m;
    m.positions.assign(size_t(numVertices) * 3, 0.0f);
    for (int i = 0; i < numVertices; ++i) m.positions[size_t(i) * 3] = float(i);
    m.counts = std::move(counts);
    m.indices = std::move(indices);
    return m;
}

void expectAdj(const PtexFaceLayout& f, int edge, int face, int adjEdge) {
    EXPECT_EQ(f.adjfaces[edge], face) << "edge " << edge;
    if (face >= 0) {
        EXPECT_EQ(f.adjedges[edge], adjEdge) << "edge " << edge;
    }
}

TEST(PtexMakeLayout, TwoQuadsShareAnEdge) {
    // 3--4--5
    // |  |  |
    // 0--1--2
    const PolyMesh m = makeMesh(6, {4, 4}, {0, 1, 4, 3, 1, 2, 5, 4});
    PtexLayout l;
    std::string err;
    ASSERT_TRUE(buildPtexLayout(m, Ptex::mt_quad, l, err)) << err;
    ASSERT_EQ(l.faces.size(), 2u);
    expectAdj(l.faces[0], 1, 1, 3);
    expectAdj(l.faces[1], 3, 0, 1);
    for (int e : {0, 2, 3}) EXPECT_EQ(l.faces[0].adjfaces[e], -1);
    EXPECT_FALSE(l.faces[0].isSubface());
}

TEST(PtexMakeLayout, PentagonSubFacesRingAndFirstFaceIds) {
    const PolyMesh m = makeMesh(9, {4, 5}, {0, 1, 2, 3, 4, 5, 6, 7, 8});
    PtexLayout l;
    std::string err;
    ASSERT_TRUE(buildPtexLayout(m, Ptex::mt_quad, l, err)) << err;
    ASSERT_EQ(l.faces.size(), 6u);
    EXPECT_EQ(l.firstFace, (std::vector<int>{0, 1}));
    for (int k = 0; k < 5; ++k) {
        const PtexFaceLayout& f = l.faces[size_t(1 + k)];
        EXPECT_TRUE(f.isSubface());
        EXPECT_EQ(f.corner, k);
        expectAdj(f, 1, 1 + (k + 1) % 5, 2);
        expectAdj(f, 2, 1 + (k + 4) % 5, 1);
        EXPECT_EQ(f.adjfaces[0], -1);
        EXPECT_EQ(f.adjfaces[3], -1);
    }
}

TEST(PtexMakeLayout, QuadNamesThePrimarySubFaceAndBothSubFacesNameTheQuad) {
    // Quad 0 1 2 3 shares edge 1-2 with triangle 2 1 4 (edge 0 of the
    // triangle runs 2 -> 1).
    const PolyMesh m = makeMesh(5, {4, 3}, {0, 1, 2, 3, 2, 1, 4});
    PtexLayout l;
    std::string err;
    ASSERT_TRUE(buildPtexLayout(m, Ptex::mt_quad, l, err)) << err;
    ASSERT_EQ(l.faces.size(), 4u);
    // Quad edge 1 runs 1 -> 2; the sub-face at vertex 1 is triangle corner 1,
    // Ptex face 2, whose edge 3 lies on that half.
    expectAdj(l.faces[0], 1, 2, 3);
    expectAdj(l.faces[1], 0, 0, 1);  // sub-face 0 (corner at vertex 2), first half of 2 -> 1
    expectAdj(l.faces[2], 3, 0, 1);  // sub-face 1, second half of 2 -> 1
}

TEST(PtexMakeLayout, TwoPolygonsOfSubFacesMeetHalfByHalf) {
    // Triangles 0 1 2 and 1 0 3 share edge 0-1.
    const PolyMesh m = makeMesh(4, {3, 3}, {0, 1, 2, 1, 0, 3});
    PtexLayout l;
    std::string err;
    ASSERT_TRUE(buildPtexLayout(m, Ptex::mt_quad, l, err)) << err;
    ASSERT_EQ(l.faces.size(), 6u);
    // First triangle: sub-face 0 edge 0 covers 0 -> mid; second triangle's
    // edge 0 runs 1 -> 0, its second half (mid -> 0) is sub-face 1 edge 3.
    expectAdj(l.faces[0], 0, 4, 3);
    expectAdj(l.faces[4], 3, 0, 0);
    expectAdj(l.faces[1], 3, 3, 0);
    expectAdj(l.faces[3], 0, 1, 3);
}

TEST(PtexMakeLayout, OppositeWindingStillConnects) {
    // The second quad is wound the other way: the shared edge runs 1 -> 4 in both.
    const PolyMesh m = makeMesh(6, {4, 4}, {0, 1, 4, 3, 1, 4, 5, 2});
    PtexLayout l;
    std::string err;
    ASSERT_TRUE(buildPtexLayout(m, Ptex::mt_quad, l, err)) << err;
    expectAdj(l.faces[0], 1, 1, 0);
    expectAdj(l.faces[1], 0, 0, 1);
}

TEST(PtexMakeLayout, TriangleMeshUsesThreeEdges) {
    const PolyMesh m = makeMesh(4, {3, 3}, {0, 1, 2, 2, 1, 3});
    PtexLayout l;
    std::string err;
    ASSERT_TRUE(buildPtexLayout(m, Ptex::mt_triangle, l, err)) << err;
    ASSERT_EQ(l.faces.size(), 2u);
    expectAdj(l.faces[0], 1, 1, 0);
    expectAdj(l.faces[1], 0, 0, 1);
    EXPECT_EQ(l.faces[0].adjfaces[3], -1);
    EXPECT_EQ(l.faces[1].adjfaces[3], -1);
    EXPECT_FALSE(l.faces[0].isSubface());
}

TEST(PtexMakeLayout, EdgeOfThreePolygonsIsABoundary) {
    const PolyMesh m = makeMesh(5, {3, 3, 3}, {0, 1, 2, 1, 0, 3, 0, 1, 4});
    PtexLayout l;
    std::string err;
    ASSERT_TRUE(buildPtexLayout(m, Ptex::mt_triangle, l, err)) << err;
    for (const PtexFaceLayout& f : l.faces) EXPECT_EQ(f.adjfaces[0], -1);
}

TEST(PtexMakeLayout, RefusesBadMeshes) {
    PtexLayout l;
    std::string err;
    EXPECT_FALSE(buildPtexLayout(makeMesh(4, {4}, {0, 1, 2, 3}), Ptex::mt_triangle, l, err));
    EXPECT_NE(err.find("triangle"), std::string::npos) << err;
    EXPECT_FALSE(buildPtexLayout(makeMesh(3, {3}, {0, 1, 7}), Ptex::mt_quad, l, err));
    EXPECT_NE(err.find("out of range"), std::string::npos) << err;
    EXPECT_FALSE(buildPtexLayout(makeMesh(3, {2, 1}, {0, 1, 2}), Ptex::mt_quad, l, err));
    EXPECT_FALSE(buildPtexLayout(makeMesh(3, {4}, {0, 1, 2}), Ptex::mt_quad, l, err));
    EXPECT_FALSE(buildPtexLayout(makeMesh(3, {}, {}), Ptex::mt_quad, l, err));
    EXPECT_FALSE(buildPtexLayout(makeMesh(3, {3}, {0, 1, 2, 0}), Ptex::mt_quad, l, err));
}

}  // namespace
