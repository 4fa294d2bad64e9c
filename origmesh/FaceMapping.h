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
// struct FaceBasis: faceId and the face half the point lies in: origin, plane (e1, e2
//   and their products) and rot (0 for a triangle-type face).
//
// struct FaceCoords: faceId, u, v, du1, dv1, du2, dv2 (footprint, zero until
//   mapFootprint). struct FaceMapping: FaceCoords and the basis that mapFootprint needs.
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
//   It is findFaceBasis, then mapPoint:
//
// bool findFaceBasis(const MeshSource& src, const FaceQuery& q, FaceBasis& out,
//                    bool* pointDependent = nullptr, BasisVertices* corners = nullptr)
//   The face and half, without the solve; false where mapToFace gives no result.
//   *pointDependent (when asked) tells whether another point of the same render
//   triangle may get another basis or result (the sub-faces of a non-quad): without
//   it, the basis found serves every point of the triangle (see FaceBasisTable.h).
//   *corners (host source, basis not point-dependent): the vertices of origin, e1 and
//   e2, so that basisAt can make the basis at another time.
//
// void basisAt(const ZUtils::MeshInfoInterface& host, double time,
//              const BasisVertices& corners, FaceBasis& b)
//   b's origin and plane from the corners' positions at `time`, made as findFaceBasis
//   makes them (the same bits when the host answers the same positions); faceId and
//   rot stay. For a host whose topology is fixed while the positions move.
//
// void mapPoint(const FaceBasis& b, const ZUtils::Vector3f& P, FaceCoords& out)
//   faceId, (u, v) of P in the basis, footprint zero.
//
// void mapFootprint(FaceMapping& m, const Vector3f& d1, const Vector3f& d2)
// void mapFootprint(const FaceBasis& b, const Vector3f& d1, const Vector3f& d2,
//                   FaceCoords& out)
//   Expresses the offsets d1, d2 (mesh-space neighbour positions minus P) in the basis
//   found by mapToFace (or b), turned by the same rotation (quad: 0 (a, b), 1 (-b, a),
//   2 (-a, -b), 3 (b, -a)), into (du1, dv1) and (du2, dv2). Call only after mapToFace
//   gave true.
// void mapPointAndFootprint(b, P, d1, d2, out): mapPoint and mapFootprint at once.
//
// Per-shading-point: no allocation except the host-path face-start table once per
// frame (inside src.ptexFaceStart), constant stack, safe on all threads at once.

#include "origmesh/MeshSource.h"
#include "origmesh/PlaneSolve.h"
#include "zento/Vector.h"

struct FaceQuery {
    int renderFace = -1;
    ZUtils::Vector3f P;
    int meshType = 1;
    int numPtexFaces = 0;
};

struct FaceBasis {
    PlaneBasis plane;
    ZUtils::Vector3f origin;
    int faceId = -1;
    int rot = 0;
};

// The host vertices a basis was made of: the origin and the ends of e1 and e2, as
// MeshSource::checkedVertex gives them (-1: a position taken as zero).
struct BasisVertices {
    int vertex[3] = {-1, -1, -1};
};

struct FaceCoords {
    int faceId = -1;
    float u = 0.0f, v = 0.0f;
    float du1 = 0.0f, dv1 = 0.0f, du2 = 0.0f, dv2 = 0.0f;
};

struct FaceMapping : FaceCoords {
    FaceBasis basis;
};

bool findFaceBasis(const MeshSource& src, const FaceQuery& q, FaceBasis& out,
                   bool* pointDependent = nullptr, BasisVertices* corners = nullptr);

// (s, t) in a half's basis turned into Ptex face coordinates; (a, b) offsets likewise.
inline void rotatePoint(int rot, const PlaneCoords& st, FaceCoords& out) {
    switch (rot) {
        case 1:
            out.u = 1.0f - st.t;
            out.v = st.s;
            break;
        case 2:
            out.u = 1.0f - st.s;
            out.v = 1.0f - st.t;
            break;
        case 3:
            out.u = st.t;
            out.v = 1.0f - st.s;
            break;
        default:
            out.u = st.s;
            out.v = st.t;
            break;
    }
}

inline void mapPoint(const FaceBasis& b, const ZUtils::Vector3f& P, FaceCoords& out) {
    const PlaneCoords st = b.plane.solve(P - b.origin);
    out.faceId = b.faceId;
    out.du1 = out.dv1 = out.du2 = out.dv2 = 0.0f;
    rotatePoint(b.rot, st, out);
}

inline void rotateDelta(int rot, float a, float b, float& du, float& dv) {
    switch (rot) {
        case 1:
            du = -b;
            dv = a;
            break;
        case 2:
            du = -a;
            dv = -b;
            break;
        case 3:
            du = b;
            dv = -a;
            break;
        default:
            du = a;
            dv = b;
            break;
    }
}

inline void mapFootprint(const FaceBasis& b, const ZUtils::Vector3f& d1, const ZUtils::Vector3f& d2,
                         FaceCoords& out) {
    const PlaneCoords a1 = b.plane.solve(d1);
    const PlaneCoords a2 = b.plane.solve(d2);
    rotateDelta(b.rot, a1.s, a1.t, out.du1, out.dv1);
    rotateDelta(b.rot, a2.s, a2.t, out.du2, out.dv2);
}

// mapPoint then mapFootprint, the three solves made before anything is written so
// that the basis is read (and widened) once.
inline void mapPointAndFootprint(const FaceBasis& b, const ZUtils::Vector3f& P,
                                 const ZUtils::Vector3f& d1, const ZUtils::Vector3f& d2,
                                 FaceCoords& out) {
    const PlaneCoords st = b.plane.solve(P - b.origin);
    const PlaneCoords a1 = b.plane.solve(d1);
    const PlaneCoords a2 = b.plane.solve(d2);
    out.faceId = b.faceId;
    rotatePoint(b.rot, st, out);
    rotateDelta(b.rot, a1.s, a1.t, out.du1, out.dv1);
    rotateDelta(b.rot, a2.s, a2.t, out.du2, out.dv2);
}

// A face half's origin and plane from its corners: the origin, then the ends of e1 and
// e2. Every basis is made here, so that one made again at another time has the same bits.
inline void setHalf(FaceBasis& b, const ZUtils::Vector3f (&corner)[3]) {
    b.origin = corner[0];
    b.plane = PlaneBasis(corner[1] - corner[0], corner[2] - corner[0]);
}

inline void basisAt(const ZUtils::MeshInfoInterface& host, double time,
                    const BasisVertices& corners, FaceBasis& b) {
    ZUtils::Vector3f v[3];
    for (int k = 0; k < 3; ++k)
        if (corners.vertex[k] >= 0) v[k] = host.getVertex(time, corners.vertex[k]);
    setHalf(b, v);
}

inline bool mapToFace(const MeshSource& src, const FaceQuery& q, FaceMapping& out) {
    if (!findFaceBasis(src, q, out.basis)) return false;
    mapPoint(out.basis, q.P, out);
    return true;
}

inline void mapFootprint(FaceMapping& m, const ZUtils::Vector3f& d1, const ZUtils::Vector3f& d2) {
    mapFootprint(m.basis, d1, d2, m);
}
