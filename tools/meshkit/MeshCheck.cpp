#include "MeshCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "FaceGeometry.h"

namespace {

// One polygon's use of an edge; `forward`: it runs from the smaller vertex
// index to the larger one.
struct EdgeUse {
    int polygon;
    bool forward;
};
using EdgeMap = std::unordered_map<uint64_t, std::vector<EdgeUse>>;

EdgeMap collectEdges(const PolyMesh& mesh) {
    EdgeMap edges;
    edges.reserve(mesh.indices.size());
    const std::vector<int> starts = mesh.polygonStarts();
    for (int p = 0; p < mesh.numPolygons(); ++p) {
        const int n = mesh.counts[size_t(p)];
        const int* v = &mesh.indices[size_t(starts[size_t(p)])];
        for (int i = 0; i < n; ++i) {
            const int a = v[i], b = v[(i + 1) % n];
            if (a == b) continue;
            const uint64_t key =
                (uint64_t(uint32_t(std::min(a, b))) << 32) | uint32_t(std::max(a, b));
            edges[key].push_back(EdgeUse{p, a < b});
        }
    }
    return edges;
}

Vec3 position(const PolyMesh& mesh, int v) {
    const float* p = &mesh.positions[size_t(v) * 3];
    return {p[0], p[1], p[2]};
}

Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// For every vertex the used vertex it merges into (itself when none is
// closer than `distance`), -1 for unused vertices. Candidates are found
// through a grid of cells `distance` wide.
std::vector<int> mergeTargets(const PolyMesh& mesh, double distance) {
    std::vector<int> target(size_t(mesh.numVertices()), -1);
    for (int v : mesh.indices) target[size_t(v)] = v;
    const double cell = distance > 0 ? distance : 1.0;
    auto cellKey = [](int64_t x, int64_t y, int64_t z) {
        return uint64_t(x) * 73856093u ^ uint64_t(y) * 19349663u ^ uint64_t(z) * 83492791u;
    };
    std::unordered_multimap<uint64_t, int> grid;
    grid.reserve(target.size());
    for (int v = 0; v < mesh.numVertices(); ++v) {
        if (target[size_t(v)] < 0) continue;
        const Vec3 p = position(mesh, v);
        const int64_t cx = int64_t(std::floor(p.x / cell)), cy = int64_t(std::floor(p.y / cell)),
                      cz = int64_t(std::floor(p.z / cell));
        const int reach = distance > 0 ? 1 : 0;
        for (int64_t dx = -reach; dx <= reach && target[size_t(v)] == v; ++dx) {
            for (int64_t dy = -reach; dy <= reach && target[size_t(v)] == v; ++dy) {
                for (int64_t dz = -reach; dz <= reach && target[size_t(v)] == v; ++dz) {
                    const auto [lo, hi] = grid.equal_range(cellKey(cx + dx, cy + dy, cz + dz));
                    for (auto it = lo; it != hi; ++it) {
                        const double d = length(position(mesh, it->second) - p);
                        if (distance > 0 ? d < distance : d == 0) {
                            target[size_t(v)] = it->second;
                            break;
                        }
                    }
                }
            }
        }
        if (target[size_t(v)] == v) grid.emplace(cellKey(cx, cy, cz), v);
    }
    return target;
}

}  // namespace

MeshReport checkMesh(const PolyMesh& mesh, bool quadLayout) {
    MeshReport report;
    for (const auto& [key, uses] : collectEdges(mesh)) {
        ++report.edges;
        if (uses.size() == 1) {
            report.boundaryEdges.add(uses[0].polygon);
        } else if (uses.size() > 2) {
            report.nonManifoldEdges.add(
                std::min_element(uses.begin(), uses.end(), [](auto& a, auto& b) {
                    return a.polygon < b.polygon;
                })->polygon);
        } else if (uses[0].forward == uses[1].forward && uses[0].polygon != uses[1].polygon) {
            report.opposedEdges.add(std::min(uses[0].polygon, uses[1].polygon),
                                    std::max(uses[0].polygon, uses[1].polygon));
        }
    }
    Vec3 lo, hi;
    meshBounds(mesh, lo, hi);
    const double tiny = 1e-12 * dot(hi - lo, hi - lo);
    const std::vector<int> starts = mesh.polygonStarts();
    for (int p = 0; p < mesh.numPolygons(); ++p) {
        const int n = mesh.counts[size_t(p)];
        const int* v = &mesh.indices[size_t(starts[size_t(p)])];
        std::vector<Vec3> c(static_cast<size_t>(n));
        Vec3 normal, centre;
        for (int i = 0; i < n; ++i) c[size_t(i)] = position(mesh, v[i]) - position(mesh, v[0]);
        for (int i = 0; i < n; ++i) {
            normal = normal + cross(c[size_t(i)], c[size_t((i + 1) % n)]);
            centre = centre + c[size_t(i)] * (1.0 / n);
        }
        bool repeated = false;
        for (int i = 0; i < n; ++i) repeated |= std::find(v, v + i, v[i]) != v + i;
        if (repeated || 0.5 * length(normal) <= tiny) {
            report.degenerate.add(p);
            continue;
        }
        if (!quadLayout || n == 3) continue;
        // The triangles the lookup or the sub-faces split the polygon into
        // must all face the polygon's way.
        bool folds = false;
        if (n == 4) {
            folds = dot(cross(c[1] - c[0], c[2] - c[0]), normal) <= 0 ||
                    dot(cross(c[2] - c[0], c[3] - c[0]), normal) <= 0;
        } else {
            for (int i = 0; i < n; ++i) {
                const Vec3 a = c[size_t(i)], b = c[size_t((i + 1) % n)];
                folds |= dot(cross(b - a, centre - a), normal) <= 0;
            }
        }
        if (folds) report.folded.add(p);
    }
    const std::vector<int> target = mergeTargets(mesh, 0.0);
    for (int v = 0; v < mesh.numVertices(); ++v) {
        if (target[size_t(v)] >= 0 && target[size_t(v)] != v) report.duplicateVertices.add(v);
    }
    return report;
}

int fixWinding(PolyMesh& mesh) {
    const int np = mesh.numPolygons();
    // Neighbours across two-polygon edges, and whether the two run the same way there.
    std::vector<std::vector<std::pair<int, bool>>> neighbours(static_cast<size_t>(np));
    for (const auto& [key, uses] : collectEdges(mesh)) {
        if (uses.size() != 2 || uses[0].polygon == uses[1].polygon) continue;
        const bool same = uses[0].forward == uses[1].forward;
        neighbours[size_t(uses[0].polygon)].emplace_back(uses[1].polygon, same);
        neighbours[size_t(uses[1].polygon)].emplace_back(uses[0].polygon, same);
    }
    // Each piece is walked from its first polygon; a neighbour that runs the
    // same way along the shared edge gets the opposite flip.
    std::vector<int> flip(static_cast<size_t>(np), -1);
    std::vector<int> piece;
    int reversed = 0;
    for (int seed = 0; seed < np; ++seed) {
        if (flip[size_t(seed)] >= 0) continue;
        piece.assign(1, seed);
        flip[size_t(seed)] = 0;
        int flipped = 0;
        for (size_t i = 0; i < piece.size(); ++i) {
            const int p = piece[i];
            for (const auto& [q, same] : neighbours[size_t(p)]) {
                if (flip[size_t(q)] >= 0) continue;
                flip[size_t(q)] = flip[size_t(p)] ^ int(same);
                flipped += flip[size_t(q)];
                piece.push_back(q);
            }
        }
        const bool keepMajority = 2 * flipped > int(piece.size());
        for (int p : piece) {
            if (keepMajority) flip[size_t(p)] ^= 1;
            reversed += flip[size_t(p)];
        }
    }
    const std::vector<int> starts = mesh.polygonStarts();
    for (int p = 0; p < np; ++p) {
        if (!flip[size_t(p)]) continue;
        int* v = &mesh.indices[size_t(starts[size_t(p)])];
        std::reverse(v + 1, v + mesh.counts[size_t(p)]);
    }
    return reversed;
}

int weldVertices(PolyMesh& mesh, double distance, int& droppedPolygons) {
    const std::vector<int> target = mergeTargets(mesh, distance);
    std::vector<int> newIndex(target.size(), -1);
    std::vector<float> positions;
    int merged = 0;
    for (size_t v = 0; v < target.size(); ++v) {
        if (target[v] != int(v)) {
            merged += target[v] >= 0;
            continue;
        }
        newIndex[v] = int(positions.size() / 3);
        positions.insert(positions.end(), &mesh.positions[v * 3], &mesh.positions[v * 3 + 3]);
    }
    PolyMesh welded;
    welded.positions = std::move(positions);
    droppedPolygons = 0;
    size_t at = 0;
    for (int n : mesh.counts) {
        std::vector<int> corners;
        for (int i = 0; i < n; ++i) {
            const int v = newIndex[size_t(target[size_t(mesh.indices[at + size_t(i)])])];
            if (corners.empty() || corners.back() != v) corners.push_back(v);
        }
        at += size_t(n);
        while (corners.size() > 1 && corners.back() == corners.front()) corners.pop_back();
        if (corners.size() < 3) {
            ++droppedPolygons;
            continue;
        }
        welded.counts.push_back(int(corners.size()));
        welded.indices.insert(welded.indices.end(), corners.begin(), corners.end());
    }
    mesh = std::move(welded);
    return merged;
}
