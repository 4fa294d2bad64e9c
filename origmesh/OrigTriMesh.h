#pragma once
// OrigTriMesh: the original-mesh model of a Ptex file of triangle mesh type, where
// every render triangle is its own original face and Ptex face (ids equal).
//
// Corners of face f are faces[3f], faces[3f+1], faces[3f+2] in stored order, or
// 0, 2, 1 of them with reversed vertices. getFaceCenter is the mean of the three
// corners. build() keeps the flag and accepts the model when every triangle index is
// a vertex index; "origFaces" and "origFacesDegree" must be present and non-empty
// (buildOrigMesh asks for them) but are not read. getNumOrigFaces() is the triangle
// count, the range of faces this model answers for.

#include "origmesh/OrigMesh.h"

class OrigTriMesh final : public OrigMesh {
public:
    int getOrigFaceIndex(int renderFace) const override { return renderFace; }
    bool build(int reverseVertices) override;
    ZUtils::Vector3f getFaceCenter(int origFace) const override;
    int getPtexFaceId(int origFace) const override { return origFace; }
    int getFaceDegree(int) const override { return 3; }
    int getFaceVertexIndex(int origFace, int corner) const override {
        const int p = reverseVertices ? (3 - corner) % 3 : corner;
        return faces[3 * origFace + p];
    }
    int getNumOrigFaces() const override { return numFaces; }
    int getMeshType() const override { return 0; }
};
