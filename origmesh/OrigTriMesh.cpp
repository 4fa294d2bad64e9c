#include "origmesh/OrigTriMesh.h"

using ZUtils::Vector3f;

bool OrigTriMesh::build(int reverse) {
    reverseVertices = reverse;
    return checkTriangles();
}

Vector3f OrigTriMesh::getFaceCenter(int origFace) const {
    const Vector3f sum =
        getFaceVertex(origFace, 0) + getFaceVertex(origFace, 1) + getFaceVertex(origFace, 2);
    return {float(double(sum.x) / 3.0), float(double(sum.y) / 3.0), float(double(sum.z) / 3.0)};
}
