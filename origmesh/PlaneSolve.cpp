#include "origmesh/PlaneSolve.h"

using ZUtils::Vector3f;

bool insideTriangle(const Vector3f& p, const Vector3f& a0, const Vector3f& a1, const Vector3f& a2) {
    const PlaneCoords c = solveInPlane(a1 - a0, a2 - a0, p - a0);
    return c.s >= 0.0f && c.t >= 0.0f && c.s + c.t <= 1.0f;
}

bool insideQuad(const Vector3f& p, const Vector3f& c0, const Vector3f& c1, const Vector3f& c2,
                const Vector3f& c3) {
    return insideTriangle(p, c0, c1, c2) || insideTriangle(p, c2, c3, c0);
}
