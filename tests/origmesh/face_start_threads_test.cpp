// Two render threads mapping through the host path at once: the face-start table is
// built on first use by exactly one of them, and both see it complete.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <thread>

#include "MeshFixture.h"

using namespace omtest;

TEST(FaceStartThreads, TwoThreadsShareTheTableBuiltOnFirstUse) {
    Polygons m;  // a strip of 200 polygons of degrees 3 to 7, so that the table matters
    for (int f = 0; f < 200; ++f) {
        const int d = 3 + (f * 7) % 5;
        for (int k = 0; k < d; ++k) {
            m.indices.push_back(int(m.vertices.size()));
            const double a = 2 * M_PI * k / d;
            m.vertices.push_back({float(f) * 3 + float(std::cos(a)), float(std::sin(a)), 0});
        }
        m.degrees.push_back(d);
    }
    Sources s(m, 1, 0);
    ASSERT_TRUE(s.model);
    std::vector<std::pair<int, Vector3f>> samples;  // two points in every render triangle
    std::vector<FaceMapping> expected(2 * size_t(s.host->numTriangles()));
    for (int t = 0; t < 2 * s.host->numTriangles(); ++t) {
        const int* ti = s.host->triangleIndices() + 3 * (t / 2);
        const Vector3f v0 = m.vertices[size_t(ti[0])];
        samples.push_back({t / 2, v0 + (m.vertices[size_t(ti[1])] - v0) * (t % 2 ? 0.6f : 0.3f) +
                                      (m.vertices[size_t(ti[2])] - v0) * (t % 2 ? 0.1f : 0.3f)});
        ASSERT_TRUE(map(s.get(false), t / 2, samples.back().second, 1, INT_MAX, expected[size_t(t)]));
    }
    for (int frame = 0; frame < 3; ++frame) {
        FaceStartTable table;  // fresh per frame, as after a frame's release
        std::atomic<int> ready{0};
        std::vector<FaceMapping> results[2] = {expected, expected};
        std::thread threads[2];
        for (int k = 0; k < 2; ++k)
            threads[k] = std::thread([&, k] {
                for (ready.fetch_add(1); ready.load() < 2;) {
                }
                // The threads walk in opposite orders so both race for the first build.
                for (size_t n = 0; n < samples.size(); ++n) {
                    const size_t i = k == 0 ? n : samples.size() - 1 - n;
                    FaceMapping& r = results[k][i];
                    if (!map(MeshSource(*s.host, table, 0.0, 0), samples[i].first, samples[i].second, 1, INT_MAX, r))
                        r.faceId = -2;
                }
            });
        for (auto& t : threads) t.join();
        EXPECT_EQ(table.builds(), 1);
        EXPECT_EQ(table.count(), 200);
        for (size_t i = 0; i < 2 * samples.size(); ++i) {
            const FaceMapping &r = results[i % 2][i / 2], &e = expected[i / 2];
            ASSERT_TRUE(r.faceId == e.faceId && r.u == e.u && r.v == e.v) << i % 2 << " " << i / 2;
        }
    }
}
