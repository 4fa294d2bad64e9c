#pragma once
// Test helpers: geometry parameters as the host holds them, the fan triangulation the host
// renders, a minimal OBJ reader and Ptex face corners computed apart from the mapping code.
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "origmesh/BuildMesh.h"
#include "origmesh/FaceMapping.h"
#include "origmesh/FaceStartTable.h"
#include "zento/HostMesh.h"
#include "zento/ZentoPluginParameter.h"

namespace omtest {

using ZUtils::Vector3f;

struct Polygons {
    std::vector<Vector3f> vertices;
    std::vector<int> degrees, indices;
};

// Fan from corner 0, in face order: what the host renders.
inline std::vector<int> fanTriangles(const Polygons& m) {
    std::vector<int> tris;
    size_t start = 0;
    for (int d : m.degrees) {
        for (int k = 1; k + 1 < d; ++k) {
            tris.insert(tris.end(), {m.indices[start], m.indices[start + size_t(k)],
                                     m.indices[start + size_t(k) + 1]});
        }
        start += size_t(d > 0 ? d : 0);
    }
    return tris;
}

struct GeometryParams {
    ZUtils::ZentoPluginParameter vertices{"vertices", ZUtils::TYPE_VECTOR};
    ZUtils::ZentoPluginParameter origFaces{"origFaces", ZUtils::TYPE_INT};
    ZUtils::ZentoPluginParameter degrees{"origFacesDegree", ZUtils::TYPE_INT};
    ZUtils::ZentoPluginParameter faces{"faces", ZUtils::TYPE_INT};

    void set(const std::vector<Vector3f>& v, const std::vector<int>& deg,
             const std::vector<int>& idx, const std::vector<int>& tris) {
        vertices.setVectorList(v.data(), int(v.size()));
        degrees.setIntList(deg.data(), int(deg.size()));
        origFaces.setIntList(idx.data(), int(idx.size()));
        faces.setIntList(tris.data(), int(tris.size()));
    }
    void set(const Polygons& m) { set(m.vertices, m.degrees, m.indices, fanTriangles(m)); }

    std::unique_ptr<OrigMeshInterface> build(int meshType, int reverse = 0) {
        return buildOrigMesh(meshType, 0.0, &vertices, &origFaces, &degrees, &faces, reverse);
    }
};

template <class Host = ZUtils::HostMesh>
std::unique_ptr<Host> makeHost(const Polygons& m) {
    auto host = std::make_unique<Host>();
    const bool ok = host->setPolygons(m.vertices.data(), int(m.vertices.size()), m.degrees.data(),
                                      int(m.degrees.size()), m.indices.data(), int(m.indices.size()));
    return ok ? std::move(host) : nullptr;
}

inline bool map(const MeshSource& src, int renderFace, Vector3f p, int meshType, int numPtex, FaceMapping& out) {
    return mapToFace(src, {renderFace, p, meshType, numPtex}, out);
}

// "v x y z" and "f a b c ..." (1-based, optional /vt/vn parts); false on anything odd.
inline bool loadObj(const std::string& path, Polygons& out) {
    std::ifstream in(path);
    std::string line, tag;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        if (!(ls >> tag)) continue;
        if (tag == "v") {
            Vector3f v;
            if (!(ls >> v.x >> v.y >> v.z)) return false;
            out.vertices.push_back(v);
        } else if (tag == "f") {
            int d = 0;
            for (std::string tok; ls >> tok; ++d) {
                const int i = std::stoi(tok);  // stops at a '/'
                if (i < 1 || i > int(out.vertices.size())) return false;
                out.indices.push_back(i - 1);
            }
            if (d < 3) return false;
            out.degrees.push_back(d);
        }
    }
    return !out.degrees.empty();
}

inline Vector3f mid(const Vector3f& a, const Vector3f& b) { return (a + b) * 0.5f; }

// Corners of every Ptex face of a quad-type mesh in Ptex corner order (quads: the
// polygon; n-gons: corner i, mid-edge, centroid, mid-edge), or of a triangle mesh.
inline std::vector<std::vector<Vector3f>> ptexFaceCorners(const Polygons& m, bool triangleType) {
    std::vector<std::vector<Vector3f>> out;
    size_t start = 0;
    for (int d : m.degrees) {
        std::vector<Vector3f> c;
        Vector3f centre;
        for (int k = 0; k < d; ++k) c.push_back(m.vertices[size_t(m.indices[start + size_t(k)])]);
        for (const Vector3f& p : c) centre = centre + p * (1.0f / float(d));
        if (triangleType || d == 4) out.push_back(c);
        for (int i = 0; !triangleType && d != 4 && i < d; ++i) {
            const Vector3f& ci = c[size_t(i)];
            out.push_back({ci, mid(ci, c[size_t((i + 1) % d)]), centre, mid(c[size_t((i + d - 1) % d)], ci)});
        }
        start += size_t(d);
    }
    return out;
}

}  // namespace omtest
