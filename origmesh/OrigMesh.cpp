#include "origmesh/OrigMesh.h"

#include "zento/ZentoPluginParameter.h"

bool OrigMesh::setVertices(double time, const ZUtils::ZentoPluginParameter* param) {
    if (!param) return false;
    verticesValue = param->readVectorList(time);
    vertices = verticesValue.data;
    // The count of the value we keep, not a second read: the two must describe the
    // same storage.
    numVertices = vertices ? verticesValue.count : 0;
    return vertices != nullptr;
}

bool OrigMesh::setOrigFaces(double time, const ZUtils::ZentoPluginParameter* param) {
    if (!param) return false;
    origFacesValue = param->readIntList(time);
    origFaces = origFacesValue.data;
    numOrigFaceIndices = origFaces ? origFacesValue.count : 0;
    return origFaces != nullptr;
}

bool OrigMesh::setFacesDegree(double, const ZUtils::ZentoPluginParameter*) {
    return true;
}

bool OrigMesh::setNumOrigFaces(double time, const ZUtils::ZentoPluginParameter* param) {
    if (!param) return false;
    numOrigFaces = param->readIntList(time).count;
    return numOrigFaces > 0;
}

bool OrigMesh::setFaces(double time, const ZUtils::ZentoPluginParameter* param) {
    if (!param) return false;
    facesValue = param->readIntList(time);
    faces = facesValue.data;
    numFaceIndices = faces ? facesValue.count : 0;
    return faces != nullptr;
}

bool OrigMesh::setNumFaces(double time, const ZUtils::ZentoPluginParameter* param) {
    if (!param) return false;
    numFaces = param->readIntList(time).count / 3;
    return numFaces > 0;
}

bool OrigMesh::checkTriangles() const {
    if (!vertices || !faces || numFaces <= 0 || numVertices <= 0) return false;
    // numFaces may come from another read than the list we hold: never trust it
    // beyond the held list's length.
    if (numFaces > numFaceIndices / 3) return false;
    const int n = 3 * numFaces;
    for (int i = 0; i < n; ++i) {
        if (faces[i] < 0 || faces[i] >= numVertices) return false;
    }
    return true;
}
