#include "FaceGeometry.h"

#include <cmath>

double length(Vec3 a) {
    return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}

namespace {

Vec3 vertex(const PolyMesh& mesh, int index) {
    const float* p = &mesh.positions[size_t(index) * 3];
    return {p[0], p[1], p[2]};
}

}  // namespace

FaceCorners faceCorners(const PolyMesh& mesh, const std::vector<int>& starts,
                        const PtexLayout& layout, int faceId) {
    const PtexFaceLayout& face = layout.faces[size_t(faceId)];
    const int n = mesh.counts[size_t(face.polygon)];
    const int* v = &mesh.indices[size_t(starts[size_t(face.polygon)])];
    FaceCorners c;
    if (!face.isSubface()) {
        for (int k = 0; k < 4; ++k) c[size_t(k)] = vertex(mesh, v[std::min(k, n - 1)]);
        return c;
    }
    Vec3 centre;
    for (int k = 0; k < n; ++k) centre = centre + vertex(mesh, v[k]);
    centre = centre * (1.0 / n);
    const int k = face.corner;
    const Vec3 ck = vertex(mesh, v[k]);
    c[0] = ck;
    c[1] = (ck + vertex(mesh, v[(k + 1) % n])) * 0.5;
    c[2] = centre;
    c[3] = (vertex(mesh, v[(k + n - 1) % n]) + ck) * 0.5;
    return c;
}

Vec3 facePoint(const FaceCorners& c, bool triangle, double u, double v) {
    if (triangle) return c[0] + (c[1] - c[0]) * u + (c[2] - c[0]) * v;
    // The lookup places each half of a quad face affinely, split along the
    // diagonal c0-c2 (the host fans quads from corner 0, and a sub-face is
    // split there too): texels placed the same way show a pattern in space
    // without bends at the diagonal.
    if (u >= v) return c[1] + (c[2] - c[1]) * v + (c[0] - c[1]) * (1 - u);
    return c[3] + (c[0] - c[3]) * (1 - v) + (c[2] - c[3]) * u;
}

void faceEdgeLengths(const FaceCorners& c, bool triangle, double& ulen, double& vlen) {
    if (triangle) {
        const double mean = (length(c[1] - c[0]) + length(c[2] - c[1]) + length(c[0] - c[2])) / 3.0;
        ulen = vlen = mean;
        return;
    }
    ulen = 0.5 * (length(c[1] - c[0]) + length(c[2] - c[3]));
    vlen = 0.5 * (length(c[3] - c[0]) + length(c[2] - c[1]));
}

void meshBounds(const PolyMesh& mesh, Vec3& lo, Vec3& hi) {
    lo = {1e300, 1e300, 1e300};
    hi = {-1e300, -1e300, -1e300};
    for (int i = 0; i < mesh.numVertices(); ++i) {
        const Vec3 p = vertex(mesh, i);
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    if (mesh.numVertices() == 0) lo = hi = Vec3{};
}
