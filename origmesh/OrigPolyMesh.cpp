#include "origmesh/OrigPolyMesh.h"

#include <cstdint>
#include <new>

#include "zento/ZentoPluginParameter.h"

using ZUtils::Vector3f;

bool OrigPolyMesh::setFacesDegree(double time, const ZUtils::ZentoPluginParameter* param) {
    if (!param) return false;
    degreesValue = param->readIntList(time);
    facesDegree = degreesValue.data;
    numDegrees = facesDegree ? degreesValue.count : 0;
    return facesDegree != nullptr;
}

bool OrigPolyMesh::checkLists() const {
    if (!vertices || !origFaces || !facesDegree || numVertices <= 0) return false;
    // numOrigFaces comes from its own read of "origFacesDegree": keep it within the
    // list value actually held.
    if (numOrigFaces <= 0 || numOrigFaces > numDegrees) return false;
    int64_t indexSum = 0;
    int64_t triangles = 0;
    for (int f = 0; f < numOrigFaces; ++f) {
        const int d = facesDegree[f];
        if (d <= 0) return false;
        indexSum += d;
        if (indexSum > numOrigFaceIndices) return false;
        if (d > 2) triangles += d - 2;
    }
    if (triangles > numFaces) return false;
    for (int64_t i = 0; i < indexSum; ++i) {
        if (origFaces[i] < 0 || origFaces[i] >= numVertices) return false;
    }
    return checkTriangles();
}

bool OrigPolyMesh::build(int reverse) {
    reverseVertices = reverse;
    built = false;
    if (!checkLists()) return false;

    // A refused table means no model for the frame; the host interface path takes over.
    // The first refusal stops the others (each refusal is reported).
    const size_t n = size_t(numOrigFaces);
    faceVertexStart.reset(new (std::nothrow) const int*[n]);
    faceCenters.reset(faceVertexStart ? new (std::nothrow) Vector3f[n] : nullptr);
    ptexFaceStart.reset(faceCenters ? new (std::nothrow) int[n] : nullptr);
    faceToOrigFace.reset(ptexFaceStart ? new (std::nothrow) int[size_t(numFaces)] : nullptr);
    if (!faceToOrigFace) {
        faceVertexStart.reset();
        faceCenters.reset();
        ptexFaceStart.reset();
        return false;
    }

    int cursor = 0;
    for (int f = 0; f < numOrigFaces; ++f) {
        const int d = facesDegree[f];
        faceVertexStart[f] = origFaces + cursor;
        Vector3f sum;
        for (int k = 0; k < d; ++k) sum = sum + vertices[origFaces[cursor++]];
        const float fd = float(d);
        faceCenters[f] = {sum.x / fd, sum.y / fd, sum.z / fd};
    }

    int t = 0;
    for (int f = 0; f < numOrigFaces; ++f) {
        for (int k = 2; k < facesDegree[f]; ++k) faceToOrigFace[t++] = f;
    }
    for (; t < numFaces; ++t) faceToOrigFace[t] = -1;

    int id = 0;  // cannot overflow: at most the length of "origFaces"
    for (int f = 0; f < numOrigFaces; ++f) {
        ptexFaceStart[f] = id;
        id += facesDegree[f] == 4 ? 1 : facesDegree[f];
    }
    numPtexFaces = id;
    built = true;
    return true;
}
