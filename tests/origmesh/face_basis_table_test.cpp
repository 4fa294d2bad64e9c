// The per-frame face bases of an own model and the per-thread ones of a host mesh: every
// basis kept maps exactly as the full mapping does; the triangles without one are marked.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "MeshFixture.h"
#include "origmesh/FaceBasisCache.h"
#include "origmesh/FaceBasisTable.h"

using namespace omtest;

namespace {

// A quad and a non-planar pentagon (3 render triangles, 5 sub-faces).
Polygons mixedMesh() {
    Polygons m{{{-3, -1, 0}, {-2, -1, 0}, {-2, 0, 0}, {-3, 0, 0}}, {4, 5}, {0, 1, 2, 3}};
    for (int k = 0; k < 5; ++k) {
        m.indices.push_back(int(m.vertices.size()));
        m.vertices.push_back({float(std::cos(1.2566 * k)), float(std::sin(1.2566 * k)), 0.1f * k});
    }
    return m;
}

bool sameBits(const FaceCoords& a, const FaceCoords& b) {
    const float x[6] = {a.u, a.v, a.du1, a.dv1, a.du2, a.dv2};
    const float y[6] = {b.u, b.v, b.du1, b.dv1, b.du2, b.dv2};
    return a.faceId == b.faceId && std::memcmp(x, y, sizeof x) == 0;
}

}  // namespace

TEST(FaceBasisTable, EntriesMapAsTheFullMappingOrSayWhyNot) {
    const Polygons mixed = mixedMesh();
    Polygons tris{{{0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {2, 1, 1}}, {3, 3}, {0, 1, 2, 1, 3, 2}};
    struct Row {
        const Polygons* mesh;
        int modelType, textureType, reverse, numPtex;
        std::vector<FaceBasisTable::Status> want;  // per render triangle
    };
    using S = FaceBasisTable::Status;
    const std::vector<Row> rows = {
        {&mixed,
         1,
         1,
         0,
         6,
         {S::kMapped, S::kMapped, S::kPointDependent, S::kPointDependent, S::kPointDependent}},
        {&mixed,
         1,
         1,
         1,
         6,
         {S::kMapped, S::kMapped, S::kPointDependent, S::kPointDependent, S::kPointDependent}},
        // Too few Ptex faces: the quad has none; whether a sub-face maps depends on the point.
        {&mixed,
         1,
         1,
         0,
         0,
         {S::kUnmappable, S::kUnmappable, S::kPointDependent, S::kPointDependent,
          S::kPointDependent}},
        {&mixed, 1, 0, 0, 6, std::vector<S>(5, S::kUnmappable)},  // model of the other type
        {&tris, 0, 0, 0, 2, {S::kMapped, S::kMapped}},
        {&tris, 0, 0, 1, 1, {S::kMapped, S::kUnmappable}},
    };
    FaceBasisTable table;  // one for all rows: a build reuses the memory of the last
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        Sources s(*r.mesh, r.modelType, r.reverse);
        ASSERT_TRUE(s.model) << i;
        table.build(*s.model, r.reverse, r.textureType, r.numPtex);
        ASSERT_TRUE(table.built()) << i;
        EXPECT_EQ(table.entry(-1), nullptr);
        EXPECT_EQ(table.entry(int(r.want.size())), nullptr);
        const int tris3 = s.host->numTriangles() * 3;
        for (int t = 0; t < int(r.want.size()); ++t) {
            const FaceBasis* e = table.entry(t);
            ASSERT_NE(e, nullptr);
            ASSERT_EQ(table.status(*e), r.want[size_t(t)]) << i << " triangle " << t;
            if (r.want[size_t(t)] != S::kMapped) continue;
            ASSERT_LT(3 * t + 2, tris3);
            const int* v = s.host->triangleIndices() + 3 * t;
            for (float b1 : {0.0f, 0.3f, 1.0f}) {
                for (float b2 : {0.0f, 0.25f}) {
                    const Vector3f p0 = r.mesh->vertices[size_t(v[0])];
                    const Vector3f p = p0 + b1 * (r.mesh->vertices[size_t(v[1])] - p0) +
                                       b2 * (r.mesh->vertices[size_t(v[2])] - p0);
                    const Vector3f d1{0.01f, -0.02f, 0.003f}, d2{-0.004f, 0.01f, 0.0f};
                    FaceMapping full;
                    ASSERT_TRUE(map(s.get(false), t, p, r.textureType, r.numPtex, full));
                    mapFootprint(full, d1, d2);
                    FaceCoords fast;
                    mapPointAndFootprint(*e, p, d1, d2, fast);
                    EXPECT_TRUE(sameBits(fast, full)) << i << " triangle " << t << " at " << b1;
                    FaceCoords point;
                    mapPoint(*e, p, point);
                    EXPECT_TRUE(point.u == full.u && point.v == full.v && point.du1 == 0.0f);
                }
            }
        }
        table.reset();
        EXPECT_FALSE(table.built());
        EXPECT_EQ(table.entry(0), nullptr);
    }
    table.release();
    EXPECT_EQ(table.entry(0), nullptr);
}

namespace {
// A host mesh whose positions move with time (the topology stays).
struct MovingMesh : ZUtils::HostMesh {
    Vector3f getVertex(double t, int index) const override {
        const Vector3f v = HostMesh::getVertex(t, index);
        const float k = float(t);
        return {v.x * (1 + k), v.y + 0.5f * k * v.x, v.z - k};
    }
};
}  // namespace

// A kept basis asked at another time is made again from its vertices: it must map as the
// full mapping at that time does, bit for bit; and it answers for its own key only.
TEST(FaceBasisCache, BasesAtOtherTimesMapAsTheFullMappingAndSlotsKeepTheirLast) {
    const Polygons mixed = mixedMesh();
    const Polygons tris{{{0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {2, 1, 1}}, {3, 3}, {0, 1, 2, 1, 3, 2}};
    struct Row {
        const Polygons* mesh;
        int textureType, reverse, numPtex, cached;  // cached: triangles kept
    } rows[] = {{&mixed, 1, 0, 6, 2}, {&mixed, 1, 1, 6, 2}, {&tris, 0, 0, 2, 2}};
    for (const Row& r : rows) {
        MovingMesh host;
        ASSERT_TRUE(host.setPolygons(r.mesh->vertices.data(), int(r.mesh->vertices.size()),
                                     r.mesh->degrees.data(), int(r.mesh->degrees.size()),
                                     r.mesh->indices.data(), int(r.mesh->indices.size())));
        FaceStartTable table;
        auto cache = std::make_unique<FaceBasisCache>();
        int cached = 0;
        for (int t = 0; t < host.numTriangles(); ++t) {
            const FaceQuery q{t, {0.1f, 0.2f, 0.0f}, r.textureType, r.numPtex};
            FaceBasis found;
            BasisVertices corners;
            bool perPoint = false;
            ASSERT_TRUE(findFaceBasis(MeshSource(host, table, 0.0, r.reverse), q, found, &perPoint,
                                      &corners));
            if (perPoint) continue;
            ++cached;
            cache->store(&host, t, 0.0, found, corners);
            for (double time : {0.25, 1.0, 0.0, 1.0}) {
                FaceBasis full;
                ASSERT_TRUE(findFaceBasis(MeshSource(host, table, time, r.reverse), q, full));
                const FaceBasis* kept = cache->find(&host, t, time, host);
                ASSERT_NE(kept, nullptr);
                const Vector3f p{0.3f, -0.2f, 0.1f}, d1{0.01f, -0.02f, 0.003f},
                    d2{-0.004f, 0.01f, 0};
                FaceCoords a, b;
                mapPointAndFootprint(*kept, p, d1, d2, a);
                mapPointAndFootprint(full, p, d1, d2, b);
                EXPECT_TRUE(sameBits(a, b)) << "triangle " << t << " at " << time;
            }
            EXPECT_EQ(cache->find(&table, t, 1.0, host), nullptr);  // another object
        }
        EXPECT_EQ(cached, r.cached);
        // Triangle 1 + kEntries takes triangle 1's slot.
        FaceBasis other;
        other.faceId = 5;
        cache->store(&host, 1 + FaceBasisCache::kEntries, 1.0, other, BasisVertices{});
        EXPECT_EQ(cache->find(&host, 1, 1.0, host), nullptr);
        ASSERT_NE(cache->find(&host, 1 + FaceBasisCache::kEntries, 1.0, host), nullptr);
        EXPECT_EQ(cache->find(&host, 1 + FaceBasisCache::kEntries, 1.0, host)->faceId, 5);
        EXPECT_EQ(cache->find(nullptr, -1, 0.0, host), nullptr);  // an empty slot is no entry
    }
}
