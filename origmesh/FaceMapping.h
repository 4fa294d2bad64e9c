#pragma once
// Face mapping: from a hit render triangle and a point in mesh space to the Ptex face id,
// the face coordinates (u, v) and the filter footprint, following the Ptex conventions
// (quad corners 0..3 at (0,0), (1,0), (1,1), (0,1); a non-quad of n corners is n
// sub-faces, sub-face i being the quad corner i, midpoint of edge i -> i+1, face
// centre, midpoint of edge i-1 -> i; a triangle face is corner 0 + u (corner 1 -
// corner 0) + v (corner 2 - corner 0)).
//
// struct FaceQuery: renderFace (hit render triangle), P (hit point in mesh space),
//   meshType (the texture's PtexTexture::meshType(): 1 quad, otherwise triangle),
//   numPtexFaces (the texture's numFaces()).
//
// struct FaceMapping: faceId, u, v, du1, dv1, du2, dv2 (footprint, zero until
//   mapFootprint), and the face basis (e1, e2, rot, quad) that mapFootprint needs.
//
// bool mapToFace(const MeshSource& src, const FaceQuery& q, FaceMapping& out)
//   False (no result: the caller shades its failure colour) when
//   - renderFace is outside [0, src.numFaces());
//   - its original face is outside [0, src.numOrigFaces()) (the degree of such a face
//     is never asked);
//   - the own model was built for the other mesh type than the texture's;
//   - quad type: the face has no Ptex face start (host table not buildable), or a
//     degree of 0 or less (no sub-faces to map onto);
//   - the Ptex face id found is negative or not below numPtexFaces.
//   Quad type, degree 4: the corner m missing from the render triangle picks the half
//   (rot = (m + 2) mod 4); a degenerate quad with all four corners in the triangle
//   takes m = 3. Other degrees: the first sub-face whose quad holds P (the last one
//   untested), its half by the triangle test (rot 1 or 3). (s, t) = solveInPlane in
//   the half's basis, then (u, v) by rot: 0 (s, t), 1 (1 - t, s), 2 (1 - s, 1 - t),
//   3 (t, 1 - s). Triangle type: F = original face, (u, v) = (s, t) in the basis of
//   its three corners. u and v are not clamped. The footprint is left zero.
//
// void mapFootprint(FaceMapping& m, const Vector3f& d1, const Vector3f& d2)
//   Expresses the offsets d1, d2 (mesh-space neighbour positions minus P) in the basis
//   found by mapToFace, turned by the same rotation (quad: 0 (a, b), 1 (-b, a),
//   2 (-a, -b), 3 (b, -a)), into (du1, dv1) and (du2, dv2). Call only after mapToFace
//   gave true.
//
// Per-shading-point: no allocation except the host-path face-start table once per
// frame (inside src.ptexFaceStart), constant stack, safe on all threads at once.

#include "origmesh/MeshSource.h"
#include "zento/Vector.h"

struct FaceQuery {
    int renderFace = -1;
    ZUtils::Vector3f P;
    int meshType = 1;
    int numPtexFaces = 0;
};

struct FaceMapping {
    int faceId = -1;
    float u = 0.0f, v = 0.0f;
    float du1 = 0.0f, dv1 = 0.0f, du2 = 0.0f, dv2 = 0.0f;
    // Basis of the face half the point lies in.
    ZUtils::Vector3f e1, e2;
    int rot = 0;
    bool quad = true;
};

bool mapToFace(const MeshSource& src, const FaceQuery& q, FaceMapping& out);

void mapFootprint(FaceMapping& m, const ZUtils::Vector3f& d1, const ZUtils::Vector3f& d2);
