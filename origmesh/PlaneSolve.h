#pragma once
// Plane geometry of the face mapping: coordinates of a point in a two-vector basis and
// the inside tests built on them. Pure functions, no allocation, safe on every thread.
//
// PlaneCoords solveInPlane(e1, e2, p)
//   Least-squares (s, t) with p ~ s e1 + t e2, computed in double from the float
//   inputs and rounded to float. The basis counts as degenerate, giving (0, 0), when
//   |det| < 1e-12 * |e1|^2 * |e2|^2 (det = |e1|^2 |e2|^2 - (e1.e2)^2), i.e. when the
//   two vectors are parallel to within about 1e-6 radians, or when one of them is
//   zero or the products are not finite. The test is relative to the basis size, so
//   faces of any scale (millimetre edges in a metre scene) map alike.
//
// PlaneBasis(e1, e2): the products of a basis that do not depend on the point, made
//   once for several solves in the same basis (a face half, its footprint offsets).
//   solve(p) gives solveInPlane(e1, e2, p) bit for bit; det is 0 for a degenerate basis.
//
// bool insideTriangle(p, a0, a1, a2)
//   (s, t) = solveInPlane(a1 - a0, a2 - a0, p - a0); true when s >= 0, t >= 0 and
//   s + t <= 1 (boundaries inclusive). A degenerate triangle contains every point.
//
// bool insideQuad(p, c0, c1, c2, c3)
//   insideTriangle(p, c0, c1, c2) or else insideTriangle(p, c2, c3, c0).

#include <cmath>

#include "zento/Vector.h"

struct PlaneCoords {
    float s = 0.0f;
    float t = 0.0f;
};

struct PlaneBasis {
    double d11 = 0.0, d22 = 0.0, d12 = 0.0, det = 0.0;
    ZUtils::Vector3f e1, e2;

    PlaneBasis() = default;
    PlaneBasis(const ZUtils::Vector3f& a, const ZUtils::Vector3f& b)
        : d11(dot(a, a)), d22(dot(b, b)), d12(dot(a, b)), e1(a), e2(b) {
        det = d11 * d22 - d12 * d12;
        // Relative to the basis size: a fixed bound would call every small face
        // degenerate. Written so that a zero vector (det = bound = 0) and NaN both count
        // as degenerate.
        const double absDet = std::fabs(det);
        if (!(absDet > 0.0) || absDet < 1e-12 * d11 * d22 || !std::isfinite(absDet)) det = 0.0;
    }

    PlaneCoords solve(const ZUtils::Vector3f& p) const {
        if (det == 0.0) return {};
        const double p1 = dot(e1, p), p2 = dot(e2, p);
        return {float((d22 * p1 - d12 * p2) / det), float((d11 * p2 - d12 * p1) / det)};
    }
    // In double from the float components, in the order every solve uses.
    static double dot(const ZUtils::Vector3f& a, const ZUtils::Vector3f& b) {
        return double(a.x) * double(b.x) + double(a.y) * double(b.y) + double(a.z) * double(b.z);
    }
};

inline PlaneCoords solveInPlane(const ZUtils::Vector3f& e1, const ZUtils::Vector3f& e2,
                                const ZUtils::Vector3f& p) {
    return PlaneBasis(e1, e2).solve(p);
}

bool insideTriangle(const ZUtils::Vector3f& p, const ZUtils::Vector3f& a0,
                    const ZUtils::Vector3f& a1, const ZUtils::Vector3f& a2);

bool insideQuad(const ZUtils::Vector3f& p, const ZUtils::Vector3f& c0, const ZUtils::Vector3f& c1,
                const ZUtils::Vector3f& c2, const ZUtils::Vector3f& c3);
