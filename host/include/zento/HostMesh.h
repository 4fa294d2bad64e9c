// ZUtils::HostMesh: a renderable mesh object of the host, the hit object that answers
// the shading-time interfaces from a polygon mesh it triangulates itself.
//
// setPolygons(vertices, numVertices, degrees, numPolygons, indices, numIndices):
//   Takes the original faces (degree of each, vertex indices concatenated in face
//   order) and triangulates them in face order, each polygon fanned from its corner
//   0: triangles (c0, ck, ck+1) for k = 1 .. degree - 2 (none for degree 1 or 2).
//   False, and the mesh left empty, when a count is negative, a degree is 0 or less,
//   the degrees need more indices than given, or an index is not a vertex. A triangle
//   mesh is the case of all degrees 3.
//
// Interfaces (getInterface): MeshInfoInterface, HitPointMapping and WorldPointMapping,
// each offered unless switched off with offerInterface(id, false). Mesh space is the
// space of the vertices; world space is mesh space moved by setWorldOffset (world =
// mesh + offset), and both mappings subtract the offset.
//
// MeshInfoInterface answers (time is ignored: the mesh is static):
//   getNumOrigFaces = polygons, getFaceDegree, getFaceVertexIndex (stored order),
//   getFaceCenter (mean of the corners, float sums in stored order), getOrigFaceIndex
//   (polygon of a triangle), getVertex, getNumVertices, getNumFaces = triangles,
//   getTriangleVertexIndex. Out-of-range arguments give 0 degrees, index -1, face -1
//   and zero vectors.
//
// fillHit(sc, renderFace, b1, b2): sets the hit of a context as the renderer would:
//   hitObject = this, hitFaceIndex, hitBary, the triangle's world origin and edges
//   (vertex 1 - vertex 0, vertex 2 - vertex 0), hitNormal (unit normal, or (0, 0, 1)
//   for a degenerate triangle), shadePoint = surfacePoint = the world hit point.
//   False (context unchanged) for a triangle out of range.
// worldPoint(renderFace, b1, b2): that world hit point.
//
// Const queries are safe from every thread at once and allocate nothing; setting the
// mesh is for the host while no render runs.
#pragma once

#include <vector>

#include "zento/Export.h"
#include "zento/ShadeContext.h"
#include "zento/ShadingInterfaces.h"
#include "zento/Vector.h"

namespace ZUtils {

class ZENTO_API HostMesh : public HitObject,
                           public MeshInfoInterface,
                           public HitPointMapping,
                           public WorldPointMapping {
public:
    HostMesh();
    ~HostMesh() override;

    bool setPolygons(const Vector3f* vertices, int numVertices, const int* degrees, int numPolygons,
                     const int* indices, int numIndices);
    void setWorldOffset(const Vector3f& offset) { offset_ = offset; }
    void offerInterface(InterfaceID id, bool offered);

    // Triangulation made by setPolygons: 3 vertex indices per triangle.
    int numTriangles() const { return int(triangles_.size() / 3); }
    const int* triangleIndices() const { return triangles_.data(); }

    bool fillHit(ShadeContext& sc, int renderFace, float b1, float b2);
    Vector3d worldPoint(int renderFace, float b1, float b2) const;

    // HitObject
    void* getInterface(InterfaceID id) override;

    // MeshInfoInterface
    int getNumOrigFaces(double time) const override;
    int getFaceDegree(double time, int origFace) const override;
    int getFaceVertexIndex(double time, int origFace, int k) const override;
    Vector3f getFaceCenter(double time, int origFace) const override;
    int getOrigFaceIndex(double time, int renderFace) const override;
    Vector3f getVertex(double time, int index) const override;
    int getNumVertices(double time) const override;
    int getNumFaces(double time) const override;
    int getTriangleVertexIndex(double time, int renderFace, int k) const override;

    // HitPointMapping, WorldPointMapping
    Vector3f mapHitPoint(const ShadeContext& sc, const Vector3f& point) const override;
    Vector3f mapWorldPoint(const Vector3f& point, const ShadeContext& sc) const override;

private:
    void clear();

    std::vector<Vector3f> vertices_;
    std::vector<int> degrees_;
    std::vector<int> faceStart_;  // first index of each polygon in indices_
    std::vector<int> indices_;
    std::vector<Vector3f> centers_;
    std::vector<int> triangles_;
    std::vector<int> triangleFace_;
    Vector3f offset_;
    bool offerMeshInfo_ = true;
    bool offerHitMapping_ = true;
    bool offerWorldMapping_ = true;
};

}  // namespace ZUtils
