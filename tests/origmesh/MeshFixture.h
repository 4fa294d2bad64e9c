#pragma once
// Test helpers: host geometry parameters and fan triangles, an OBJ reader, Ptex face corners.
#include <gtest/gtest.h>

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
    for (size_t f = 0, start = 0; f < m.degrees.size(); start += size_t(m.degrees[f++]))
        for (size_t k = 1; k + 1 < size_t(m.degrees[f]); ++k)
            tris.insert(tris.end(),
                        {m.indices[start], m.indices[start + k], m.indices[start + k + 1]});
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

// Both mesh sources over one polygon mesh, with its fan triangulation.
struct Sources {
    GeometryParams params;
    std::unique_ptr<OrigMeshInterface> model;
    std::unique_ptr<ZUtils::HostMesh> host = std::make_unique<ZUtils::HostMesh>();
    FaceStartTable table;
    int reverse;
    Sources(const Polygons& m, int meshType, int rev) : reverse(rev) {
        params.set(m);
        model = params.build(meshType, rev);
        EXPECT_TRUE(model && host->setPolygons(m.vertices.data(), int(m.vertices.size()),
                                               m.degrees.data(), int(m.degrees.size()),
                                               m.indices.data(), int(m.indices.size())));
    }
    MeshSource get(bool viaHost) {
        return viaHost ? MeshSource(*host, table, 0.0, reverse) : MeshSource(*model, reverse);
    }
};

inline bool map(const MeshSource& src, int renderFace, Vector3f p, int meshType, int numPtex,
                FaceMapping& out) {
    return mapToFace(src, {renderFace, p, meshType, numPtex}, out);
}

// The "v x y z" and "f a b c ..." lines (1-based) of an OBJ file.
inline bool loadObj(const std::string& path, Polygons& out) {
    std::ifstream in(path);
    for (std::string line, tag; std::getline(in, line);) {
        std::istringstream ls(line);
        ls >> tag;
        if (tag == "v") out.vertices.emplace_back();
        if (tag == "v")
            ls >> out.vertices.back().x >> out.vertices.back().y >> out.vertices.back().z;
        if (tag == "f") out.degrees.push_back(0);
        for (int i; tag == "f" && ls >> i; ++out.degrees.back()) out.indices.push_back(i - 1);
    }
    return !out.degrees.empty();
}

inline Vector3f mid(const Vector3f& a, const Vector3f& b) {
    return (a + b) * 0.5f;
}

// Corners of every Ptex face of a quad-type mesh in Ptex corner order (quads: the
// polygon; n-gons: corner i, mid-edge, centroid, mid-edge), or of a triangle mesh.
inline std::vector<std::vector<Vector3f>> ptexFaceCorners(const Polygons& m, bool triangleType) {
    std::vector<std::vector<Vector3f>> out;
    for (size_t f = 0, start = 0; f < m.degrees.size(); start += size_t(m.degrees[f++])) {
        const int d = m.degrees[f];
        std::vector<Vector3f> c;
        Vector3f centre;
        for (int k = 0; k < d; ++k) c.push_back(m.vertices[size_t(m.indices[start + size_t(k)])]);
        for (const Vector3f& p : c) centre = centre + p * (1.0f / float(d));
        if (triangleType || d == 4) out.push_back(c);
        for (size_t i = 0, n = c.size(); !triangleType && d != 4 && i < n; ++i)
            out.push_back({c[i], mid(c[i], c[(i + 1) % n]), centre, mid(c[(i + n - 1) % n], c[i])});
    }
    return out;
}

}  // namespace omtest
