#include "zento/HostMesh.h"

#include <cmath>
#include <cstdint>

namespace ZUtils {

HostMesh::HostMesh() = default;
HostMesh::~HostMesh() = default;

void HostMesh::clear() {
    vertices_.clear();
    degrees_.clear();
    faceStart_.clear();
    indices_.clear();
    centers_.clear();
    triangles_.clear();
    triangleFace_.clear();
}

bool HostMesh::setPolygons(const Vector3f* vertices, int numVertices, const int* degrees,
                           int numPolygons, const int* indices, int numIndices) {
    clear();
    if (numVertices < 0 || numPolygons < 0 || numIndices < 0) return false;
    if ((numVertices && !vertices) || (numPolygons && !degrees) || (numIndices && !indices)) {
        return false;
    }
    int64_t used = 0;
    for (int f = 0; f < numPolygons; ++f) {
        if (degrees[f] <= 0) return false;
        used += degrees[f];
        if (used > numIndices) return false;
    }
    for (int64_t i = 0; i < used; ++i) {
        if (indices[i] < 0 || indices[i] >= numVertices) return false;
    }

    vertices_.assign(vertices, vertices + numVertices);
    degrees_.assign(degrees, degrees + numPolygons);
    indices_.assign(indices, indices + used);
    int start = 0;
    for (int f = 0; f < numPolygons; ++f) {
        const int d = degrees_[f];
        faceStart_.push_back(start);
        Vector3f sum;
        for (int k = 0; k < d; ++k) sum = sum + vertices_[size_t(indices_[size_t(start + k)])];
        const float fd = float(d);
        centers_.push_back({sum.x / fd, sum.y / fd, sum.z / fd});
        for (int k = 1; k + 1 < d; ++k) {
            triangles_.push_back(indices_[size_t(start)]);
            triangles_.push_back(indices_[size_t(start + k)]);
            triangles_.push_back(indices_[size_t(start + k + 1)]);
            triangleFace_.push_back(f);
        }
        start += d;
    }
    return true;
}

void HostMesh::offerInterface(InterfaceID id, bool offered) {
    if (id == MeshInfoInterface::ID) offerMeshInfo_ = offered;
    if (id == HitPointMapping::ID) offerHitMapping_ = offered;
    if (id == WorldPointMapping::ID) offerWorldMapping_ = offered;
}

void* HostMesh::getInterface(InterfaceID id) {
    if (id == MeshInfoInterface::ID && offerMeshInfo_) return static_cast<MeshInfoInterface*>(this);
    if (id == HitPointMapping::ID && offerHitMapping_) return static_cast<HitPointMapping*>(this);
    if (id == WorldPointMapping::ID && offerWorldMapping_) {
        return static_cast<WorldPointMapping*>(this);
    }
    return nullptr;
}

Vector3d HostMesh::worldPoint(int renderFace, float b1, float b2) const {
    if (renderFace < 0 || renderFace >= numTriangles()) return {};
    const size_t t = size_t(renderFace) * 3;
    const Vector3f& v0 = vertices_[size_t(triangles_[t])];
    const Vector3f& v1 = vertices_[size_t(triangles_[t + 1])];
    const Vector3f& v2 = vertices_[size_t(triangles_[t + 2])];
    Vector3d p;
    for (int c = 0; c < 3; ++c) {
        p[c] = double(v0[c]) + double(b1) * (double(v1[c]) - double(v0[c])) +
               double(b2) * (double(v2[c]) - double(v0[c])) + double(offset_[c]);
    }
    return p;
}

bool HostMesh::fillHit(ShadeContext& sc, int renderFace, float b1, float b2) {
    if (renderFace < 0 || renderFace >= numTriangles()) return false;
    const size_t t = size_t(renderFace) * 3;
    const Vector3f v0 = vertices_[size_t(triangles_[t])] + offset_;
    const Vector3f v1 = vertices_[size_t(triangles_[t + 1])] + offset_;
    const Vector3f v2 = vertices_[size_t(triangles_[t + 2])] + offset_;
    sc.hitObject = this;
    sc.hitFaceIndex = renderFace;
    sc.hitBary = {b1, b2};
    sc.hitTriangleOrigin = v0;
    sc.hitTriangleEdge1 = v1 - v0;
    sc.hitTriangleEdge2 = v2 - v0;
    const Vector3f n = cross(sc.hitTriangleEdge1, sc.hitTriangleEdge2);
    const float len = std::sqrt(dot(n, n));
    sc.hitNormal = len > 0.0f ? n * (1.0f / len) : Vector3f{0.0f, 0.0f, 1.0f};
    sc.shadePoint = worldPoint(renderFace, b1, b2);
    sc.surfacePoint = sc.shadePoint;
    return true;
}

int HostMesh::getNumOrigFaces(double) const {
    return int(degrees_.size());
}

int HostMesh::getFaceDegree(double, int origFace) const {
    if (origFace < 0 || origFace >= int(degrees_.size())) return 0;
    return degrees_[size_t(origFace)];
}

int HostMesh::getFaceVertexIndex(double, int origFace, int k) const {
    if (origFace < 0 || origFace >= int(degrees_.size())) return -1;
    if (k < 0 || k >= degrees_[size_t(origFace)]) return -1;
    return indices_[size_t(faceStart_[size_t(origFace)] + k)];
}

Vector3f HostMesh::getFaceCenter(double, int origFace) const {
    if (origFace < 0 || origFace >= int(centers_.size())) return {};
    return centers_[size_t(origFace)];
}

int HostMesh::getOrigFaceIndex(double, int renderFace) const {
    if (renderFace < 0 || renderFace >= int(triangleFace_.size())) return -1;
    return triangleFace_[size_t(renderFace)];
}

Vector3f HostMesh::getVertex(double, int index) const {
    if (index < 0 || index >= int(vertices_.size())) return {};
    return vertices_[size_t(index)];
}

int HostMesh::getNumVertices(double) const {
    return int(vertices_.size());
}

int HostMesh::getNumFaces(double) const {
    return numTriangles();
}

int HostMesh::getTriangleVertexIndex(double, int renderFace, int k) const {
    if (renderFace < 0 || renderFace >= numTriangles() || k < 0 || k > 2) return -1;
    return triangles_[size_t(renderFace) * 3 + size_t(k)];
}

Vector3f HostMesh::mapHitPoint(const ShadeContext&, const Vector3f& point) const {
    return point - offset_;
}

Vector3f HostMesh::mapWorldPoint(const Vector3f& point, const ShadeContext&) const {
    return point - offset_;
}

}  // namespace ZUtils
