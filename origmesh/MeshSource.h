#pragma once
// MeshSource: the original-mesh facts of one shading point, from either the instance's
// own model (OrigMeshInterface) or the host's MeshInfoInterface of the hit object, with
// the corner numbering and every range check the face mapping relies on. Made on the
// stack per shading point; holds pointers only, allocates nothing.
//
// Construction:
//   MeshSource(const OrigMeshInterface& model, int reverse)
//     Own model. The model applies the corner reversal itself (it was built with the
//     same flag); its vertex indices are trusted (the model checked them at build).
//   MeshSource(const ZUtils::MeshInfoInterface& host, FaceStartTable& table, double time,
//              int reverse)
//     Host interface; every host query gets `time`. The counts (original faces, render
//     triangles, vertices) are asked once here. `table` is the instance's host-path
//     face-start table.
//
// Queries (corner k of an original face of degree d is stored position k, or
// (d - k) mod d with `reverse` set):
//   numOrigFaces(), numFaces()           ranges of original faces and render triangles
//   origFaceIndex(renderFace)            original face of a render triangle, -1 when
//                                        renderFace is out of range
//   faceDegree(origFace)                 degree, 0 when origFace is out of range
//   cornerVertexIndex(origFace, k)       vertex index of corner k, 0 when it cannot be
//                                        read (face out of range, degree <= 0)
//   triangleVertexIndex(renderFace, k)   vertex index of corner k of a render triangle,
//                                        stored order, 0 when out of range
//   cornerPosition(origFace, k)          position of corner k; (0, 0, 0) for a face out
//                                        of range, a degree <= 0, or (host) a vertex
//                                        index outside [0, numVertices)
//   triangleCornerPosition(face, k)      corner k of a face of a triangle-type texture:
//                                        own model: its getFaceVertex (reversed with the
//                                        flag); host: getTriangleVertexIndex unreversed;
//                                        (0, 0, 0) out of range as above
//   faceCenter(origFace)                 centre of a face, (0, 0, 0) out of range
//   ptexFaceStart(origFace)              Ptex id of the face (first sub-face), or -1 when
//                                        there is none: face out of range, or (host) the
//                                        face-start table could not be built
//   model()                              the own model, or null for the host source
// Corner arguments k must lie in [0, degree) (the mapping only asks for those).

#include "origmesh/OrigMeshInterface.h"
#include "zento/Vector.h"

namespace ZUtils {
class MeshInfoInterface;
}
class FaceStartTable;

class MeshSource {
public:
    MeshSource(const OrigMeshInterface& model, int reverse);
    MeshSource(const ZUtils::MeshInfoInterface& host, FaceStartTable& table, double time,
               int reverse);

    int numOrigFaces() const { return numOrigFaces_; }
    int numFaces() const { return numFaces_; }
    const OrigMeshInterface* model() const { return model_; }

    int origFaceIndex(int renderFace) const;
    int faceDegree(int origFace) const;
    int cornerVertexIndex(int origFace, int k) const;
    int triangleVertexIndex(int renderFace, int k) const;
    ZUtils::Vector3f cornerPosition(int origFace, int k) const;
    ZUtils::Vector3f triangleCornerPosition(int face, int k) const;
    ZUtils::Vector3f faceCenter(int origFace) const;
    int ptexFaceStart(int origFace) const;

private:
    bool validOrigFace(int f) const { return f >= 0 && f < numOrigFaces_; }
    bool validFace(int f) const { return f >= 0 && f < numFaces_; }
    ZUtils::Vector3f hostVertex(int index) const;

    const OrigMeshInterface* model_ = nullptr;
    const ZUtils::MeshInfoInterface* host_ = nullptr;
    FaceStartTable* table_ = nullptr;
    double time_ = 0.0;
    int reverse_ = 0;
    int numOrigFaces_ = 0;
    int numFaces_ = 0;
    int numVertices_ = 0;
};
