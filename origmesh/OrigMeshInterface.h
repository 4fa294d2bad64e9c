#pragma once
// OrigMeshInterface: the facts of the modeller's original mesh that the face mapping
// needs, answered by the instance's own per-frame model (OrigTriMesh, OrigPolyMesh).
//
// Terms: a "render face" is a triangle of the host's triangulated copy of the mesh; an
// "original face" is a polygon of the modeller's mesh; a "corner" k of an original face
// is stored position k, or (degree - k) mod degree when the model was built with
// reversed vertices (corner 0 stays the first stored vertex).
//
// Contract of the queries: none checks its arguments. The caller (the face mapping)
// keeps renderFace in [0, getNumFaces()), origFace in [0, getNumOrigFaces()) and corner
// in [0, getFaceDegree(origFace)). A model that build() accepted guarantees that every
// index it hands out within those ranges is a valid vertex index, so the queries never
// read outside the lists or the model's own tables.
//
//   getOrigFaceIndex(renderFace)        original face of a render triangle (-1 when the
//                                       triangle belongs to no face)
//   build(reverseVertices)              makes the derived tables; false (model unusable)
//                                       when the lists disagree or memory runs out
//   getFaceCenter(origFace)             mean of the face's corners
//   getPtexFaceId(origFace)             Ptex face id (first sub-face for a non-quad)
//   getFaceDegree(origFace)             corner count
//   getFaceVertex(origFace, corner)     position of a corner (corner numbering applied)
//   getFaceVertexIndex(origFace, corner) vertex index of a corner (numbering applied)
//   getTriangleVertexIndex(renderFace, k) vertex index of corner k of a render
//                                       triangle, always in stored order
//
// Beyond these, the model reports the element counts the caller range-checks with,
// and which Ptex mesh type it was built for (0 triangle, 1 quad).
//
// After build() the model is immutable: all render threads read it at once.

#include "zento/Vector.h"

class OrigMeshInterface {
public:
    virtual ~OrigMeshInterface() = default;

    virtual int getOrigFaceIndex(int renderFace) const = 0;
    virtual bool build(int reverseVertices) = 0;
    virtual ZUtils::Vector3f getFaceCenter(int origFace) const = 0;
    virtual int getPtexFaceId(int origFace) const = 0;
    virtual int getFaceDegree(int origFace) const = 0;
    virtual ZUtils::Vector3f getFaceVertex(int origFace, int corner) const = 0;
    virtual int getFaceVertexIndex(int origFace, int corner) const = 0;
    virtual int getTriangleVertexIndex(int renderFace, int corner) const = 0;

    // Counts for the caller's range checks.
    virtual int getNumOrigFaces() const = 0;  // valid origFace values: [0, this)
    virtual int getNumFaces() const = 0;      // valid renderFace values: [0, this)
    virtual int getNumVertices() const = 0;
    virtual int getMeshType() const = 0;  // Ptex mesh type the model serves
};
