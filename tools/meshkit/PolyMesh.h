// PolyMesh: a polygon mesh as the Ptex tools see it, and its loaders.
//
// positions holds x, y, z per vertex; counts the corner count of each polygon
// in Ptex face order; indices the 0-based vertex indices of all polygons,
// concatenated in polygon order. This is exactly what the Ptex metadata keys
// PtexVertPositions, PtexFaceVertCounts and PtexFaceVertIndices carry.
//
// loadObjMesh: a Wavefront OBJ file (polygons kept as written, shapes in file
// order). loadPtxMesh: the mesh metadata of a .ptx file. Both return false with
// a one-line reason (never throw) for a missing or unreadable file, a file
// without polygons or mesh metadata, or a mesh that fails validateMesh.
//
// readPtexFaceCount: the face count and mesh type of a Ptex file; false,
// silently, when it cannot be opened.
//
// validateMesh: empty text when every count is at least 3, the counts use
// exactly the given indices and every index names a vertex; else the reason.
#pragma once

#include <Ptexture.h>

#include <string>
#include <vector>

struct PolyMesh {
    std::vector<float> positions;  // 3 per vertex
    std::vector<int> counts;       // corners per polygon
    std::vector<int> indices;      // vertex indices, polygon after polygon

    int numVertices() const { return int(positions.size() / 3); }
    int numPolygons() const { return int(counts.size()); }
    bool allTriangles() const;
    // First index position of each polygon (counts must be valid).
    std::vector<int> polygonStarts() const;
};

std::string validateMesh(const PolyMesh& mesh);
bool loadObjMesh(const std::string& path, PolyMesh& mesh, std::string& error);
bool loadPtxMesh(const std::string& path, PolyMesh& mesh, std::string& error);
bool readPtexFaceCount(const std::string& path, int& faces, Ptex::MeshType& type);
