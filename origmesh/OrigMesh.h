#pragma once
// OrigMesh: the data both original-mesh models share, and the setters that take it
// from the instance's geometry parameters. Abstract; OrigTriMesh and OrigPolyMesh
// complete it.
//
// Setters, each (time, param) -> bool, false at once for a null param:
//   setVertices      "vertices" as a vector list: data and element count
//   setOrigFaces     "origFaces" as an int list: data and element count
//   setFacesDegree   virtual; here true without reading anything (the polygon model
//                    overrides it to take "origFacesDegree")
//   setNumOrigFaces  element count of "origFacesDegree"; true when > 0
//   setFaces         "faces" as an int list: data and element count
//   setNumFaces      element count of "faces" / 3 (truncated); true when > 0
// The pointer setters return true when the list has data.
//
// Lifetime: every list value read by a setter is kept (its reference-counted handle)
// until the model is destroyed, so the borrowed arrays stay valid however the host
// changes the parameters while the model lives. The element count of every list is
// kept too: build() of the variants checks the lists against each other and against
// those counts before any table is made, so a model never reads outside a list.
//
// checkTriangles(): every "faces" index of the numFaces render triangles lies in
// [0, numVertices). Used by both variants' build().

#include "origmesh/OrigMeshInterface.h"
#include "zento/ListValue.h"

namespace ZUtils {
class ZentoPluginParameter;
}

class OrigMesh : public OrigMeshInterface {
public:
    OrigMesh() = default;
    OrigMesh(const OrigMesh&) = delete;
    OrigMesh& operator=(const OrigMesh&) = delete;

    bool setVertices(double time, const ZUtils::ZentoPluginParameter* param);
    bool setOrigFaces(double time, const ZUtils::ZentoPluginParameter* param);
    virtual bool setFacesDegree(double time, const ZUtils::ZentoPluginParameter* param);
    bool setNumOrigFaces(double time, const ZUtils::ZentoPluginParameter* param);
    bool setFaces(double time, const ZUtils::ZentoPluginParameter* param);
    bool setNumFaces(double time, const ZUtils::ZentoPluginParameter* param);

    ZUtils::Vector3f getFaceVertex(int origFace, int corner) const override {
        return vertices[getFaceVertexIndex(origFace, corner)];
    }
    int getTriangleVertexIndex(int renderFace, int corner) const override {
        return faces[3 * renderFace + corner];
    }
    int getNumVertices() const override { return numVertices; }
    int getNumFaces() const override { return numFaces; }

protected:
    bool checkTriangles() const;

    int numOrigFaces = 0;
    int numFaces = 0;
    int numVertices = 0;
    int reverseVertices = 0;
    const ZUtils::Vector3f* vertices = nullptr;
    const int* origFaces = nullptr;
    const int* faces = nullptr;

    // Element counts of the borrowed lists, for the consistency checks.
    int numOrigFaceIndices = 0;  // entries of "origFaces"
    int numFaceIndices = 0;      // entries of "faces"

    // The list values behind the borrowed pointers, held for the model's lifetime.
    ZUtils::VectorListValue verticesValue;
    ZUtils::IntListValue origFacesValue;
    ZUtils::IntListValue facesValue;
};
