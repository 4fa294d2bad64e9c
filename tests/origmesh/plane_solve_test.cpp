// Plane solve and the inside tests of the face mapping.
#include <gtest/gtest.h>

#include <limits>

#include "origmesh/PlaneSolve.h"

using ZUtils::Vector3f;

namespace {

TEST(PlaneSolve, CoordinatesAtEveryScaleAndZeroForDegenerateBases) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case { const char* what; Vector3f e1, e2, p; float s, t; };
    const Case cases[] = {
        {"orthogonal", {2, 0, 0}, {0, 4, 0}, {0.6f, 2.4f, 0}, 0.3f, 0.6f},
        {"skewed, point off the plane", {1, 0, 0}, {1, 1, 0}, {0.75f, 0.5f, 7}, 0.25f, 0.5f},
        // |det| = 6.25e-14: a fixed 1e-12 bound would call this basis degenerate.
        {"half-millimetre edges", {5e-4f, 0, 0}, {0, 5e-4f, 0}, {2.5e-4f, 1e-4f, 0}, 0.5f, 0.2f},
        {"micrometre skewed face", {1e-6f, 0, 0}, {0.5e-6f, 1e-6f, 0}, {0.55e-6f, 0.3e-6f, 0}, 0.4f, 0.3f},
        {"parallel edges", {1, 0, 0}, {2, 0, 0}, {0.5f, 0.5f, 0}, 0, 0},
        // 1e-7 rad apart: parallel for the relative test although det is about 1e-2.
        {"nearly parallel long edges", {1000, 0, 0}, {1000, 1e-4f, 0}, {10, 0, 0}, 0, 0},
        {"zero edge", {0, 0, 0}, {0, 1, 0}, {0.5f, 0.5f, 0}, 0, 0},
        {"both zero", {0, 0, 0}, {0, 0, 0}, {1, 1, 1}, 0, 0},
        {"not a number", {nan, 0, 0}, {0, 1, 0}, {1, 1, 1}, 0, 0},
    };
    for (const Case& c : cases) {
        const PlaneCoords r = solveInPlane(c.e1, c.e2, c.p);
        EXPECT_NEAR(r.s, c.s, 1e-5) << c.what;
        EXPECT_NEAR(r.t, c.t, 1e-5) << c.what;
        EXPECT_TRUE(c.s != 0 || c.t != 0 || (r.s == 0 && r.t == 0)) << c.what;  // exactly 0
    }
}

TEST(InsideTests, InclusiveBoundariesProjectionAndQuadHalves) {
    const Vector3f a0{0, 0, 0}, a1{1, 0, 0}, a2{0, 1, 0}, c2{1, 1, 0};
    const std::pair<Vector3f, bool> triangle[] = {
        {{0.2f, 0.2f, 0}, true}, {a0, true}, {a1, true}, {a2, true}, {{0.5f, 0.5f, 0}, true},
        {{0.5f, 0, 0}, true},    {{0.2f, 0.2f, 5}, true},  // off the plane: projected
        {{0.6f, 0.6f, 0}, false}, {{-0.01f, 0.5f, 0}, false}, {{0.5f, -0.01f, 0}, false}};
    for (const auto& [p, in] : triangle) EXPECT_EQ(insideTriangle(p, a0, a1, a2), in) << p.x << " " << p.y;
    EXPECT_TRUE(insideTriangle({5, 5, 5}, {0, 0, 0}, {1, 0, 0}, {2, 0, 0}));  // degenerate: everything
    const std::pair<Vector3f, bool> quad[] = {{{0.9f, 0.1f, 0}, true}, {{0.1f, 0.9f, 0}, true},  // both halves
                                              {{0, 1, 0}, true}, {{1.1f, 0.5f, 0}, false}, {{0.5f, -0.1f, 0}, false}};
    for (const auto& [p, in] : quad) EXPECT_EQ(insideQuad(p, a0, a1, c2, a2), in) << p.x << " " << p.y;
}

}  // namespace
