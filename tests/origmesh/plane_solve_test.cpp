// Plane solve and inside tests of the face mapping.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "origmesh/PlaneSolve.h"

using ZUtils::Vector3f;

namespace {

TEST(PlaneSolve, CoordinatesInOrthogonalBasis) {
    const PlaneCoords c = solveInPlane({2, 0, 0}, {0, 4, 0}, {0.6f, 2.4f, 0});
    EXPECT_FLOAT_EQ(c.s, 0.3f);
    EXPECT_FLOAT_EQ(c.t, 0.6f);
}

TEST(PlaneSolve, SkewedBasisAndOutOfPlanePoint) {
    const Vector3f e1{1, 0, 0}, e2{1, 1, 0};
    // 0.25 e1 + 0.5 e2 plus an offset along the normal, which least squares drops.
    const Vector3f p = e1 * 0.25f + e2 * 0.5f + Vector3f{0, 0, 7};
    const PlaneCoords c = solveInPlane(e1, e2, p);
    EXPECT_NEAR(c.s, 0.25f, 1e-6);
    EXPECT_NEAR(c.t, 0.5f, 1e-6);
}

TEST(PlaneSolve, ParallelOrZeroEdgesGiveZero) {
    PlaneCoords c = solveInPlane({1, 0, 0}, {2, 0, 0}, {0.5f, 0.5f, 0});
    EXPECT_EQ(c.s, 0.0f);
    EXPECT_EQ(c.t, 0.0f);
    c = solveInPlane({0, 0, 0}, {0, 1, 0}, {0.5f, 0.5f, 0});
    EXPECT_EQ(c.s, 0.0f);
    EXPECT_EQ(c.t, 0.0f);
    c = solveInPlane({0, 0, 0}, {0, 0, 0}, {1, 1, 1});
    EXPECT_EQ(c.s, 0.0f);
    EXPECT_EQ(c.t, 0.0f);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    c = solveInPlane({nan, 0, 0}, {0, 1, 0}, {1, 1, 1});
    EXPECT_EQ(c.s, 0.0f);
    EXPECT_EQ(c.t, 0.0f);
}

TEST(PlaneSolve, NearlyParallelLargeEdgesAreDegenerate) {
    // Angle 1e-7 rad: parallel for the relative test although det is about 1e-2.
    const PlaneCoords c = solveInPlane({1000, 0, 0}, {1000, 1e-4f, 0}, {10, 0, 0});
    EXPECT_EQ(c.s, 0.0f);
    EXPECT_EQ(c.t, 0.0f);
}

TEST(PlaneSolve, HalfMillimetreEdgesSolve) {
    // |det| = 6.25e-14: a fixed 1e-12 bound would call this basis degenerate.
    const Vector3f e1{5e-4f, 0, 0}, e2{0, 5e-4f, 0};
    const PlaneCoords c = solveInPlane(e1, e2, {2.5e-4f, 1e-4f, 0});
    EXPECT_NEAR(c.s, 0.5f, 1e-5);
    EXPECT_NEAR(c.t, 0.2f, 1e-5);
}

TEST(PlaneSolve, MicrometreSkewedFaceSolves) {
    const Vector3f e1{1e-6f, 0, 0}, e2{0.5e-6f, 1e-6f, 0};
    const Vector3f p = e1 * 0.4f + e2 * 0.3f;
    const PlaneCoords c = solveInPlane(e1, e2, p);
    EXPECT_NEAR(c.s, 0.4f, 1e-5);
    EXPECT_NEAR(c.t, 0.3f, 1e-5);
}

TEST(InsideTests, TriangleBoundariesAreInclusive) {
    const Vector3f a0{0, 0, 0}, a1{1, 0, 0}, a2{0, 1, 0};
    EXPECT_TRUE(insideTriangle({0.2f, 0.2f, 0}, a0, a1, a2));
    EXPECT_TRUE(insideTriangle(a0, a0, a1, a2));
    EXPECT_TRUE(insideTriangle(a1, a0, a1, a2));
    EXPECT_TRUE(insideTriangle(a2, a0, a1, a2));
    EXPECT_TRUE(insideTriangle({0.5f, 0.5f, 0}, a0, a1, a2));
    EXPECT_TRUE(insideTriangle({0.5f, 0, 0}, a0, a1, a2));
    EXPECT_FALSE(insideTriangle({0.6f, 0.6f, 0}, a0, a1, a2));
    EXPECT_FALSE(insideTriangle({-0.01f, 0.5f, 0}, a0, a1, a2));
    EXPECT_FALSE(insideTriangle({0.5f, -0.01f, 0}, a0, a1, a2));
    // Off the plane but above the triangle: projected, so inside.
    EXPECT_TRUE(insideTriangle({0.2f, 0.2f, 5}, a0, a1, a2));
}

TEST(InsideTests, DegenerateTriangleContainsEverything) {
    EXPECT_TRUE(insideTriangle({5, 5, 5}, {0, 0, 0}, {1, 0, 0}, {2, 0, 0}));
}

TEST(InsideTests, QuadUsesBothHalves) {
    const Vector3f c0{0, 0, 0}, c1{1, 0, 0}, c2{1, 1, 0}, c3{0, 1, 0};
    EXPECT_TRUE(insideQuad({0.9f, 0.1f, 0}, c0, c1, c2, c3));  // first half
    EXPECT_TRUE(insideQuad({0.1f, 0.9f, 0}, c0, c1, c2, c3));  // second half
    EXPECT_TRUE(insideQuad({0, 1, 0}, c0, c1, c2, c3));
    EXPECT_FALSE(insideQuad({1.1f, 0.5f, 0}, c0, c1, c2, c3));
    EXPECT_FALSE(insideQuad({0.5f, -0.1f, 0}, c0, c1, c2, c3));
}

}  // namespace
