// PtexLayout: the Ptex faces of a polygon mesh and their adjacency.
//
// Quad mesh type: a polygon of 4 corners is one Ptex face whose edge e runs
// from corner e to corner e + 1; a polygon of n != 4 corners is n consecutive
// sub-faces, sub-face k having (0,0) at corner k, edge 0 on the first half of
// polygon edge (k, k+1), edge 3 on the second half of polygon edge (k-1, k),
// edge 1 meeting edge 2 of sub-face k+1. A whole face bordering two sub-faces
// names the one at the start of its own edge (whose edge 3 lies on it); each
// sub-face names the whole face.
// Triangle mesh type: every polygon must be a triangle and is one face; edge e
// runs from corner e to corner (e + 1) mod 3; entry 3 is always -1 / 0.
//
// Polygons meet across an edge when exactly two polygon edges join the same
// two vertices (in either direction); other edges are boundaries (-1, edge 0).
//
// buildPtexLayout fails (false, reason) for an invalid mesh or a non-triangle
// polygon with the triangle mesh type.
#pragma once

#include <Ptexture.h>

#include <string>
#include <vector>

#include "PolyMesh.h"

struct PtexFaceLayout {
    int polygon = 0;  // the polygon the face belongs to
    int corner = -1;  // sub-face: the polygon corner at its (0,0); -1 for a whole face
    int adjfaces[4] = {-1, -1, -1, -1};
    int adjedges[4] = {0, 0, 0, 0};
    bool isSubface() const { return corner >= 0; }
};

struct PtexLayout {
    Ptex::MeshType meshType = Ptex::mt_quad;
    std::vector<PtexFaceLayout> faces;
    std::vector<int> firstFace;  // first Ptex face of each polygon
};

// The Ptex faces a mesh needs in a file of the given type: one per triangle of
// an all-triangle mesh in a triangle file; else one per quad and one per
// corner of any other polygon.
int ptexFacesNeeded(const PolyMesh& mesh, Ptex::MeshType meshType);

bool buildPtexLayout(const PolyMesh& mesh, Ptex::MeshType meshType, PtexLayout& layout,
                     std::string& error);
