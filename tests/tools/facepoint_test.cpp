// ptex-make places every texel where the plugin's face mapping looks for it: a
// point made by facePoint from (u, v) maps back, through mapToFace on the host's
// fan triangulation, to the same Ptex face and (u, v). Uneven quads and
// sub-faces are the faces where a bilinear placement would bend patterns.
#include <gtest/gtest.h>

#include <string>

#include "FaceGeometry.h"
#include "PtexLayout.h"
#include "origmesh/FaceMapping.h"
#include "origmesh/FaceStartTable.h"
#include "origmesh/MeshSource.h"
#include "zento/HostMesh.h"

namespace {

// A trapezoid, an uneven pentagon and a triangle (three sub-faces), not planar.
PolyMesh unevenMesh() {
    PolyMesh m;
    m.positions = {0,    0,    0,    2, 0,    0,    1.6f, 1,    0.2f, 0.3f, 1.2f,  0,    3.1f, 0.2f,
                   0.4f, 3.4f, 1.5f, 0, 2.2f, 2.1f, 0.3f, 0.4f, 2.6f, 0,    -0.8f, 2.4f, 0.5f};
    m.counts = {4, 5, 3};
    m.indices = {0, 1, 2, 3, 1, 4, 5, 6, 2, 3, 7, 8};
    return m;
}

TEST(PtexMakePlacement, EveryTexelMapsBackToItsFaceAndCoordinates) {
    const PolyMesh m = unevenMesh();
    PtexLayout layout;
    std::string err;
    ASSERT_TRUE(buildPtexLayout(m, Ptex::mt_quad, layout, err)) << err;
    ASSERT_EQ(layout.faces.size(), 1u + 5u + 3u);

    std::vector<ZUtils::Vector3f> verts;
    for (int i = 0; i < m.numVertices(); ++i)
        verts.push_back({m.positions[size_t(i) * 3], m.positions[size_t(i) * 3 + 1],
                         m.positions[size_t(i) * 3 + 2]});
    ZUtils::HostMesh host;
    ASSERT_TRUE(host.setPolygons(verts.data(), int(verts.size()), m.counts.data(), m.numPolygons(),
                                 m.indices.data(), int(m.indices.size())));
    // First render triangle of each polygon in the fan triangulation.
    std::vector<int> firstTri(m.counts.size());
    for (size_t p = 1; p < m.counts.size(); ++p)
        firstTri[p] = firstTri[p - 1] + m.counts[p - 1] - 2;

    FaceStartTable table;
    const std::vector<int> starts = m.polygonStarts();
    int checked = 0;
    for (int f = 0; f < int(layout.faces.size()); ++f) {
        const FaceCorners c = faceCorners(m, starts, layout, f);
        const int polygon = layout.faces[size_t(f)].polygon;
        for (int i = 0; i < 8; ++i) {
            for (int j = 0; j < 8; ++j) {
                const double u = (i + 0.5) / 8, v = (j + 0.5) / 8;
                const Vec3 p = facePoint(c, false, u, v);
                FaceQuery q;
                // A whole quad is hit on the fan half holding the point; for a
                // sub-face any triangle of its polygon names the face.
                q.renderFace = firstTri[size_t(polygon)] +
                               (!layout.faces[size_t(f)].isSubface() && v > u ? 1 : 0);
                q.P = {float(p.x), float(p.y), float(p.z)};
                q.meshType = 1;
                q.numPtexFaces = int(layout.faces.size());
                FaceMapping fm;
                ASSERT_TRUE(mapToFace(MeshSource(host, table, 0.0, 0), q, fm)) << "face " << f;
                EXPECT_EQ(fm.faceId, f) << "u " << u << " v " << v;
                EXPECT_NEAR(fm.u, u, 1e-4) << "face " << f << " v " << v;
                EXPECT_NEAR(fm.v, v, 1e-4) << "face " << f << " u " << u;
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 9 * 64);
}

}  // namespace
