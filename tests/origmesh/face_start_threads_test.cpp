// Two render threads mapping through the host path at once: the face-start table is
// built on first use by exactly one of them, and both see it complete.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "MeshFixture.h"
#include "origmesh/FaceMapping.h"
#include "origmesh/FaceStartTable.h"

using namespace omtest;
using ZUtils::Vector3f;

namespace {

// A strip of polygons of degrees 4, 3, 5, 4, 6, ... so that the table matters.
Polygons strip(int count) {
    Polygons m;
    for (int f = 0; f < count; ++f) {
        const int d = 3 + (f * 7) % 5;  // 3..7
        const float x0 = float(f) * 3;
        const int base = int(m.vertices.size());
        for (int k = 0; k < d; ++k) {
            const double a = 2 * M_PI * k / d;
            m.vertices.push_back({x0 + float(std::cos(a)), float(std::sin(a)), 0});
            m.indices.push_back(base + k);
        }
        m.degrees.push_back(d);
    }
    return m;
}

struct Sample {
    int tri;
    Vector3f p;
};

TEST(FaceStartThreads, TwoThreadsShareTheTableBuiltOnFirstUse) {
    const Polygons m = strip(200);
    auto host = makeHost(m);
    ASSERT_TRUE(host);
    GeometryParams params;
    params.set(m);
    auto model = params.build(1);
    ASSERT_TRUE(model);
    const int numPtex = model->getPtexFaceId(199) + (m.degrees[199] == 4 ? 1 : m.degrees[199]);

    std::vector<Sample> samples;
    for (int t = 0; t < host->numTriangles(); ++t) {
        const int* ti = host->triangleIndices() + 3 * t;
        const Vector3f v0 = m.vertices[size_t(ti[0])];
        const Vector3f e1 = m.vertices[size_t(ti[1])] - v0;
        const Vector3f e2 = m.vertices[size_t(ti[2])] - v0;
        samples.push_back({t, v0 + e1 * 0.3f + e2 * 0.3f});
        samples.push_back({t, v0 + e1 * 0.6f + e2 * 0.1f});
    }
    std::vector<FaceMapping> expected(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        ASSERT_TRUE(mapToFace(MeshSource(*model, 0), {samples[i].tri, samples[i].p, 1, numPtex},
                              expected[i]));
    }

    for (int frame = 0; frame < 3; ++frame) {
        FaceStartTable table;  // fresh per frame, as after a frame's release
        std::atomic<int> ready{0};
        std::vector<FaceMapping> results[2];
        std::thread threads[2];
        for (int k = 0; k < 2; ++k) {
            results[k].resize(samples.size());
            threads[k] = std::thread([&, k] {
                ready.fetch_add(1);
                while (ready.load() < 2) {
                }
                // The threads walk in opposite orders so both race for the first build.
                for (size_t n = 0; n < samples.size(); ++n) {
                    const size_t i = k == 0 ? n : samples.size() - 1 - n;
                    const MeshSource src(*host, table, 0.0, 0);
                    if (!mapToFace(src, {samples[i].tri, samples[i].p, 1, numPtex}, results[k][i])) {
                        results[k][i].faceId = -2;
                    }
                }
            });
        }
        for (auto& t : threads) t.join();
        EXPECT_EQ(table.builds(), 1);
        EXPECT_EQ(table.count(), 200);
        for (int k = 0; k < 2; ++k) {
            for (size_t i = 0; i < samples.size(); ++i) {
                ASSERT_EQ(results[k][i].faceId, expected[i].faceId) << k << " " << i;
                ASSERT_FLOAT_EQ(results[k][i].u, expected[i].u);
                ASSERT_FLOAT_EQ(results[k][i].v, expected[i].v);
            }
        }
    }
}

}  // namespace
