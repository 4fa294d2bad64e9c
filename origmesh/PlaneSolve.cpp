#include "origmesh/PlaneSolve.h"

#include <cmath>

using ZUtils::Vector3f;

namespace {

double dotd(const Vector3f& a, const Vector3f& b) {
    return double(a.x) * double(b.x) + double(a.y) * double(b.y) + double(a.z) * double(b.z);
}

}  // namespace

PlaneCoords solveInPlane(const Vector3f& e1, const Vector3f& e2, const Vector3f& p) {
    const double d11 = dotd(e1, e1);
    const double d22 = dotd(e2, e2);
    const double d12 = dotd(e1, e2);
    const double p1 = dotd(e1, p);
    const double p2 = dotd(e2, p);
    const double det = d11 * d22 - d12 * d12;
    // Relative to the basis size: a fixed bound would call every small face degenerate.
    // Written so that a zero vector (det = bound = 0) and NaN both count as degenerate.
    const double absDet = std::fabs(det);
    if (!(absDet > 0.0) || absDet < 1e-12 * d11 * d22 || !std::isfinite(absDet)) {
        return {};
    }
    PlaneCoords r;
    r.s = float((d22 * p1 - d12 * p2) / det);
    r.t = float((d11 * p2 - d12 * p1) / det);
    return r;
}

bool insideTriangle(const Vector3f& p, const Vector3f& a0, const Vector3f& a1, const Vector3f& a2) {
    const PlaneCoords c = solveInPlane(a1 - a0, a2 - a0, p - a0);
    return c.s >= 0.0f && c.t >= 0.0f && c.s + c.t <= 1.0f;
}

bool insideQuad(const Vector3f& p, const Vector3f& c0, const Vector3f& c1, const Vector3f& c2,
                const Vector3f& c3) {
    return insideTriangle(p, c0, c1, c2) || insideTriangle(p, c2, c3, c0);
}
