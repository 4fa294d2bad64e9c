// MeshCheck: what a polygon mesh holds that spoils its Ptex faces, and the
// repairs ptex-make offers.
//
// checkMesh counts, over the polygons' edges (a corner to the next, between
// different vertices): boundary edges (one polygon), non-manifold edges (three
// or more; the Ptex faces there get no neighbour), and edges whose two polygons
// run along them the same way (wound against each other: normals disagree and
// filters show a seam); polygons of no area or with a repeated vertex;
// polygons whose Ptex faces fold (an n-gon whose centre lies outside it, a
// quad whose 0-2 diagonal lies outside it; the lookup splits quads there); and
// used vertices at the position of an earlier used vertex. Each count comes
// with the first polygon (or vertex) concerned, for messages. `quadLayout`:
// the mesh is written as a quad file (folding is checked only then).
//
// fixWinding reverses polygons (corner 0 stays first) so that every polygon
// runs against its neighbours along shared two-polygon edges; in each
// connected piece the winding most polygons have is kept. A piece that cannot
// be oriented (a Moebius strip) keeps some edges wound against each other.
// Returns the number of polygons reversed.
//
// weldVertices merges every used vertex into an earlier one closer than
// `distance` (0: at the same position), drops vertices no polygon uses, and
// removes repeated corners; polygons left with fewer than 3 corners are
// dropped (counted in `droppedPolygons`). Returns the vertices merged.
#pragma once

#include "PolyMesh.h"

struct MeshReport {
    // How many, and the lowest polygon (or vertex) concerned with, for an
    // edge, the polygon beside it.
    struct Count {
        int count = 0;
        int first = -1, other = -1;
        void add(int index, int otherIndex = -1) {
            if (count++ > 0 && index >= first) return;
            first = index;
            other = otherIndex;
        }
    };
    int edges = 0;
    Count boundaryEdges, nonManifoldEdges, opposedEdges;
    Count degenerate, folded, duplicateVertices;
};

MeshReport checkMesh(const PolyMesh& mesh, bool quadLayout);
int fixWinding(PolyMesh& mesh);
int weldVertices(PolyMesh& mesh, double distance, int& droppedPolygons);
