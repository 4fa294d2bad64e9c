#include "PtexLayout.h"

#include <algorithm>
#include <unordered_map>

namespace {

// One Ptex face edge lying on a polygon edge: the part [lo, hi] of the edge,
// measured from its smaller vertex index (0) to its larger one (1), and the
// parameter of the Ptex edge's start point.
struct EdgePiece {
    int face;
    int edge;
    float lo, hi, start;
};

struct PolyEdge {
    int polygon;
    std::vector<EdgePiece> pieces;
};

uint64_t edgeKey(int a, int b) {
    const uint32_t lo = uint32_t(std::min(a, b)), hi = uint32_t(std::max(a, b));
    return (uint64_t(lo) << 32) | hi;
}

}  // namespace

int ptexFacesNeeded(const PolyMesh& mesh, Ptex::MeshType meshType) {
    if (meshType == Ptex::mt_triangle && mesh.allTriangles()) return mesh.numPolygons();
    int faces = 0;
    for (int n : mesh.counts) faces += n == 4 ? 1 : n;
    return faces;
}

bool buildPtexLayout(const PolyMesh& mesh, Ptex::MeshType meshType, PtexLayout& layout,
                     std::string& error) {
    layout = PtexLayout{};
    layout.meshType = meshType;
    const std::string problem = validateMesh(mesh);
    if (!problem.empty()) {
        error = problem;
        return false;
    }
    const std::vector<int> starts = mesh.polygonStarts();
    const int npoly = mesh.numPolygons();

    // Faces in order.
    layout.firstFace.resize(size_t(npoly));
    for (int p = 0; p < npoly; ++p) {
        const int n = mesh.counts[size_t(p)];
        layout.firstFace[size_t(p)] = int(layout.faces.size());
        if (meshType == Ptex::mt_triangle) {
            if (n != 3) {
                error = "polygon " + std::to_string(p) + " has " + std::to_string(n) +
                        " corners; a triangle mesh needs triangles only";
                return false;
            }
            layout.faces.push_back(PtexFaceLayout{p, -1, {-1, -1, -1, -1}, {0, 0, 0, 0}});
        } else if (n == 4) {
            layout.faces.push_back(PtexFaceLayout{p, -1, {-1, -1, -1, -1}, {0, 0, 0, 0}});
        } else {
            const int first = int(layout.faces.size());
            for (int k = 0; k < n; ++k) {
                PtexFaceLayout f{p, k, {-1, -1, -1, -1}, {0, 0, 0, 0}};
                // Interior edges: edge 1 meets edge 2 of the next sub-face, edge 2
                // edge 1 of the previous one.
                f.adjfaces[1] = first + (k + 1) % n;
                f.adjedges[1] = 2;
                f.adjfaces[2] = first + (k + n - 1) % n;
                f.adjedges[2] = 1;
                layout.faces.push_back(f);
            }
        }
    }

    // Pieces of every polygon edge, grouped by the vertex pair.
    std::unordered_map<uint64_t, std::vector<PolyEdge>> edges;
    edges.reserve(mesh.indices.size());
    for (int p = 0; p < npoly; ++p) {
        const int n = mesh.counts[size_t(p)];
        const int* v = &mesh.indices[size_t(starts[size_t(p)])];
        const int first = layout.firstFace[size_t(p)];
        for (int i = 0; i < n; ++i) {
            const int a = v[i], b = v[(i + 1) % n];
            if (a == b) continue;                  // degenerate edge: a boundary
            const float pa = a < b ? 0.0f : 1.0f;  // parameter of vertex a
            const float pb = 1.0f - pa;
            const float mid = 0.5f;
            PolyEdge pe{p, {}};
            if (meshType == Ptex::mt_triangle || n == 4) {
                pe.pieces.push_back(EdgePiece{first, i, 0.0f, 1.0f, pa});
            } else {
                // First half: sub-face i, edge 0, from a to the midpoint; second
                // half: sub-face i+1, edge 3, from the midpoint to b.
                pe.pieces.push_back(
                    EdgePiece{first + i, 0, std::min(pa, mid), std::max(pa, mid), pa});
                pe.pieces.push_back(
                    EdgePiece{first + (i + 1) % n, 3, std::min(pb, mid), std::max(pb, mid), mid});
            }
            edges[edgeKey(a, b)].push_back(std::move(pe));
        }
    }

    for (auto& [key, list] : edges) {
        if (list.size() != 2 || list[0].polygon == list[1].polygon) continue;
        for (int side = 0; side < 2; ++side) {
            const PolyEdge& self = list[size_t(side)];
            const PolyEdge& other = list[size_t(1 - side)];
            for (const EdgePiece& piece : self.pieces) {
                // The neighbour is the other side's piece that covers this piece's
                // start point and overlaps the piece (a whole edge covers both
                // halves; of two halves the one at the start point is taken).
                const EdgePiece* found = nullptr;
                for (const EdgePiece& cand : other.pieces) {
                    const bool overlaps = cand.lo < piece.hi && piece.lo < cand.hi;
                    const bool coversStart = cand.lo <= piece.start && piece.start <= cand.hi;
                    if (overlaps && coversStart) {
                        found = &cand;
                        break;
                    }
                }
                if (!found) continue;
                PtexFaceLayout& f = layout.faces[size_t(piece.face)];
                f.adjfaces[piece.edge] = found->face;
                f.adjedges[piece.edge] = found->edge;
            }
        }
    }
    return true;
}
