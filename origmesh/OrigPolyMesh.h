#pragma once
// OrigPolyMesh: the original-mesh model of a Ptex file of quad mesh type.
//
// Original faces are polygons of any degree: a quad is one Ptex face, a face of any
// other degree n takes n consecutive Ptex face ids (one sub-face per corner). The
// render triangles are assumed to be the faces' triangulations in face order,
// degree - 2 per face (none for degree 1 or 2); faceToOrigFace follows from the
// degrees alone.
//
// setFacesDegree(time, param): takes "origFacesDegree" (int list); false for a null
// param or a list without data. The list value is kept with the others.
//
// build(reverseVertices) -> bool: keeps the flag, then checks the lists and makes the
// tables. The model is rejected (false, no table kept) when
//   - a degree is 0 or less;
//   - the degrees need more indices than "origFaces" holds;
//   - an index of the used part of "origFaces", or of the numFaces triangles of
//     "faces", is not in [0, numVertices);
//   - the degrees claim more render triangles (sum of degree - 2) than "faces" holds;
//   - a table cannot be allocated.
// Degrees 1 and 2 are accepted (they take 1 and 2 Ptex ids and no triangle), so the
// numbering of the faces after them is unchanged. Render triangles beyond those the
// degrees claim belong to no face (getOrigFaceIndex gives -1).
//
// Tables: faceVertexStart[f] (start of face f in "origFaces"), faceCenters[f] (mean
// of the stored vertices, float sums in stored order), ptexFaceStart[f] (running sum
// of 1 per quad and the degree otherwise), faceToOrigFace[t]. Example: degrees
// [4, 3, 5] give ptexFaceStart [0, 1, 4] and faceToOrigFace [0, 0, 1, 2, 2, 2].

#include <memory>

#include "origmesh/OrigMesh.h"

class OrigPolyMesh final : public OrigMesh {
public:
    int getOrigFaceIndex(int renderFace) const override { return faceToOrigFace[renderFace]; }
    bool build(int reverseVertices) override;
    ZUtils::Vector3f getFaceCenter(int origFace) const override { return faceCenters[origFace]; }
    int getPtexFaceId(int origFace) const override { return ptexFaceStart[origFace]; }
    int getFaceDegree(int origFace) const override { return facesDegree[origFace]; }
    int getFaceVertexIndex(int origFace, int corner) const override {
        const int d = facesDegree[origFace];
        const int p = reverseVertices ? (d - corner) % d : corner;
        return faceVertexStart[origFace][p];
    }
    int getNumOrigFaces() const override { return built ? numOrigFaces : 0; }
    int getMeshType() const override { return 1; }

    bool setFacesDegree(double time, const ZUtils::ZentoPluginParameter* param) override;

    // Total Ptex faces the degrees give (valid after a successful build).
    int getNumPtexFaces() const { return numPtexFaces; }

private:
    bool checkLists() const;

    std::unique_ptr<ZUtils::Vector3f[]> faceCenters;
    std::unique_ptr<const int*[]> faceVertexStart;
    std::unique_ptr<int[]> ptexFaceStart;
    const int* facesDegree = nullptr;
    std::unique_ptr<int[]> faceToOrigFace;

    int numDegrees = 0;  // entries of "origFacesDegree"
    int numPtexFaces = 0;
    bool built = false;
    ZUtils::IntListValue degreesValue;
};
