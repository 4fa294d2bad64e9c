// FaceGeometry: where each Ptex face of a layout lies in space.
//
// faceCorners gives the 3D corners of a Ptex face in its own corner order:
// a whole quad its polygon's corners 0..3; sub-face k of an n-gon the corner
// k, the midpoint of edge (k, k+1), the polygon centre (mean of its corners)
// and the midpoint of edge (k-1, k); a triangle its corners 0..2 (the fourth
// repeats corner 2). facePoint places face coordinates (u, v) as the shading
// lookup does: on a quad face affinely on each half, the triangle c0 c1 c2
// for u >= v and c0 c2 c3 for v > u; c0 + u (c1 - c0) + v (c2 - c0) on a
// triangle. faceEdgeLengths gives the mean lengths along u and along v.
#pragma once

#include <array>

#include "PolyMesh.h"
#include "PtexLayout.h"

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(Vec3 a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
double length(Vec3 a);

using FaceCorners = std::array<Vec3, 4>;

// The polygon starts (PolyMesh::polygonStarts) are passed in so that many faces
// can be placed without recomputing them.
FaceCorners faceCorners(const PolyMesh& mesh, const std::vector<int>& starts,
                        const PtexLayout& layout, int faceId);
Vec3 facePoint(const FaceCorners& c, bool triangle, double u, double v);
void faceEdgeLengths(const FaceCorners& c, bool triangle, double& ulen, double& vlen);
// Bounding box of all vertices.
void meshBounds(const PolyMesh& mesh, Vec3& lo, Vec3& hi);
