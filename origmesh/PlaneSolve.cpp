#include "origmesh/PlaneSolve.h"

#include <cmath>

using ZUtils::Vector3f;

PlaneBasis::PlaneBasis(const Vector3f& a, const Vector3f& b)
    : d11(dot(a, a)), d22(dot(b, b)), d12(dot(a, b)), e1(a), e2(b) {
    det = d11 * d22 - d12 * d12;
    // Relative to the basis size: a fixed bound would call every small face degenerate.
    // Written so that a zero vector (det = bound = 0) and NaN both count as degenerate.
    const double absDet = std::fabs(det);
    if (!(absDet > 0.0) || absDet < 1e-12 * d11 * d22 || !std::isfinite(absDet)) det = 0.0;
}

bool insideTriangle(const Vector3f& p, const Vector3f& a0, const Vector3f& a1, const Vector3f& a2) {
    const PlaneCoords c = solveInPlane(a1 - a0, a2 - a0, p - a0);
    return c.s >= 0.0f && c.t >= 0.0f && c.s + c.t <= 1.0f;
}

bool insideQuad(const Vector3f& p, const Vector3f& c0, const Vector3f& c1, const Vector3f& c2,
                const Vector3f& c3) {
    return insideTriangle(p, c0, c1, c2) || insideTriangle(p, c2, c3, c0);
}
