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
//   cornerPosition(origFace, k, index)   the same, given index = cornerVertexIndex(
//                                        origFace, k) of a face in range with a degree
//                                        above 0 (the host is not asked again)
//   triangleCornerPosition(face, k)      corner k of a face of a triangle-type texture:
//                                        own model: its getFaceVertex (reversed with the
//                                        flag); host: getTriangleVertexIndex unreversed;
//                                        (0, 0, 0) out of range as above
//   checkedVertex(index), hostPosition(checked), triangleCornerVertex(face, k)
//                                        host only: a vertex index, or -1 outside the
//                                        mesh; its position, (0, 0, 0) for -1; the
//                                        checked vertex of triangleCornerPosition
//   faceCenter(origFace)                 centre of a face, (0, 0, 0) out of range
//   ptexFaceStart(origFace)              Ptex id of the face (first sub-face), or -1 when
//                                        there is none: face out of range, or (host) the
//                                        face-start table could not be built
//   model()                              the own model, or null for the host source
// Corner arguments k must lie in [0, degree) (the mapping only asks for those).
// Inline: a shading point on the host's mesh asks a dozen of these.

#include "origmesh/FaceStartTable.h"
#include "origmesh/OrigMeshInterface.h"
#include "zento/ShadingInterfaces.h"
#include "zento/Vector.h"

class MeshSource {
public:
    MeshSource(const OrigMeshInterface& model, int reverse);
    MeshSource(const ZUtils::MeshInfoInterface& host, FaceStartTable& table, double time,
               int reverse);

    int numOrigFaces() const { return numOrigFaces_; }
    int numFaces() const { return numFaces_; }
    const OrigMeshInterface* model() const { return model_; }

    int origFaceIndex(int renderFace) const {
        if (!validFace(renderFace)) return -1;
        return model_ ? model_->getOrigFaceIndex(renderFace)
                      : host_->getOrigFaceIndex(time_, renderFace);
    }
    int faceDegree(int origFace) const {
        if (!validOrigFace(origFace)) return 0;
        return model_ ? model_->getFaceDegree(origFace) : host_->getFaceDegree(time_, origFace);
    }
    int cornerVertexIndex(int origFace, int k) const {
        if (!validOrigFace(origFace)) return 0;
        if (model_) return model_->getFaceVertexIndex(origFace, k);
        const int stored = storedCorner(origFace, k);
        return stored < 0 ? 0 : host_->getFaceVertexIndex(time_, origFace, stored);
    }
    int triangleVertexIndex(int renderFace, int k) const {
        if (!validFace(renderFace)) return 0;
        return model_ ? model_->getTriangleVertexIndex(renderFace, k)
                      : host_->getTriangleVertexIndex(time_, renderFace, k);
    }
    ZUtils::Vector3f cornerPosition(int origFace, int k) const {
        if (!validOrigFace(origFace)) return {};
        if (model_) return model_->getFaceVertex(origFace, k);
        const int stored = storedCorner(origFace, k);
        return stored < 0 ? ZUtils::Vector3f{}
                          : hostVertex(host_->getFaceVertexIndex(time_, origFace, stored));
    }
    ZUtils::Vector3f cornerPosition(int origFace, int k, int index) const {
        return model_ ? model_->getFaceVertex(origFace, k) : hostVertex(index);
    }
    ZUtils::Vector3f triangleCornerPosition(int face, int k) const {
        if (!validFace(face)) return {};
        if (model_) {
            // A triangle model answers for every render triangle; anything else only for
            // its own faces.
            if (!validOrigFace(face)) return {};
            return model_->getFaceVertex(face, k);
        }
        return hostPosition(triangleCornerVertex(face, k));
    }
    // Host: the vertex behind triangleCornerPosition, as checkedVertex gives it.
    int triangleCornerVertex(int face, int k) const {
        return validFace(face) ? checkedVertex(host_->getTriangleVertexIndex(time_, face, k)) : -1;
    }
    // Host: a vertex index, or -1 outside [0, numVertices), where positions are zero.
    int checkedVertex(int index) const { return index >= 0 && index < numVertices_ ? index : -1; }
    ZUtils::Vector3f hostPosition(int checked) const {
        return checked < 0 ? ZUtils::Vector3f{} : host_->getVertex(time_, checked);
    }
    ZUtils::Vector3f faceCenter(int origFace) const {
        if (!validOrigFace(origFace)) return {};
        return model_ ? model_->getFaceCenter(origFace) : host_->getFaceCenter(time_, origFace);
    }
    int ptexFaceStart(int origFace) const {
        if (!validOrigFace(origFace)) return -1;
        if (model_) return model_->getPtexFaceId(origFace);
        if (!table_->ensureBuilt(*host_, time_)) return -1;
        return table_->lookup(origFace);
    }

private:
    bool validOrigFace(int f) const { return f >= 0 && f < numOrigFaces_; }
    bool validFace(int f) const { return f >= 0 && f < numFaces_; }
    ZUtils::Vector3f hostVertex(int index) const { return hostPosition(checkedVertex(index)); }
    // Host: the stored position of corner k (reversed with the flag); -1 for a degree
    // of 0 or less under reversal.
    int storedCorner(int origFace, int k) const {
        if (!reverse_) return k;
        const int d = host_->getFaceDegree(time_, origFace);
        return d <= 0 ? -1 : (d - k) % d;
    }

    const OrigMeshInterface* model_ = nullptr;
    const ZUtils::MeshInfoInterface* host_ = nullptr;
    FaceStartTable* table_ = nullptr;
    double time_ = 0.0;
    int reverse_ = 0;
    int numOrigFaces_ = 0;
    int numFaces_ = 0;
    int numVertices_ = 0;
};
