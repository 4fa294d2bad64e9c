// The host-path face-start table under stress: two render threads mapping at once (the
// table is built on first use by exactly one of them, and both see it complete); and
// allocation failure while building it or the model (no model / no table, the flag stays
// clear, the lock is not left held, nothing leaks, a later attempt succeeds).
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <new>
#include <thread>

#include "MeshFixture.h"

// Counts allocations; when armed (by a single thread), the n-th one from now is refused.
static std::atomic<long> failCountdown{-1}, allocations{0};

static void* allocate(size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (failCountdown.load() > 0 && failCountdown.fetch_sub(1) == 1) throw std::bad_alloc();
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}

void* operator new(size_t size) {
    return allocate(size);
}
void* operator new[](size_t size) {
    return allocate(size);
}
// The nothrow forms, which the model and the table use, answer a refusal with null.
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}

using namespace omtest;

namespace {

const Polygons kQuadAndTriangle{
    {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}}, {4, 3}, {0, 1, 2, 3, 1, 4, 2}};

TEST(AllocationFailure, EveryAllocationOfTheBuildMayFail) {
    GeometryParams p;
    p.set(kQuadAndTriangle);
    const long before = allocations.load();
    ASSERT_TRUE(p.build(1));
    const long perBuild = allocations.load() - before;
    ASSERT_GE(perBuild, 5);  // the model and its four tables at least
    for (long k = 1; k <= perBuild; ++k) {
        failCountdown = k;
        std::unique_ptr<OrigMeshInterface> mesh;
        EXPECT_NO_THROW(mesh = p.build(1)) << k;
        failCountdown = -1;
        EXPECT_FALSE(mesh) << "allocation " << k << " refused";
    }
    EXPECT_TRUE(p.build(1));
}

TEST(AllocationFailure, FaceStartTableStaysUnbuiltAndUnlocked) {
    Sources s(kQuadAndTriangle, 1, 0);
    FaceMapping r;
    failCountdown = 1;
    EXPECT_FALSE(s.table.ensureBuilt(*s.host, 0.0));
    failCountdown = 1;  // the mapping has no result while the table cannot be made
    EXPECT_FALSE(map(s.get(true), 0, {0.5f, 0.2f, 0}, 1, 4, r));
    failCountdown = -1;
    EXPECT_TRUE(!s.table.isBuilt() && s.table.lookup(0) == -1);
    // Another thread can take the lock and build: the failed attempts released it.
    bool built = false;
    std::thread([&] { built = s.table.ensureBuilt(*s.host, 0.0); }).join();
    EXPECT_TRUE(built && s.table.builds() == 1 && s.table.lookup(1) == 1);
    EXPECT_TRUE(map(s.get(true), 0, {0.5f, 0.2f, 0}, 1, 4, r) && r.faceId == 0);
}

TEST(FaceStartThreads, TwoThreadsShareTheTableBuiltOnFirstUse) {
    Polygons m;  // a strip of 200 polygons of degrees 3 to 7, so that the table matters
    for (int f = 0; f < 200; ++f) {
        const int d = 3 + (f * 7) % 5;
        for (double k = 0, a = 0; k < d; ++k, a = 2 * M_PI * k / d) {
            m.indices.push_back(int(m.vertices.size()));
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
        ASSERT_TRUE(
            map(s.get(false), t / 2, samples.back().second, 1, INT_MAX, expected[size_t(t)]));
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
                    if (!map(MeshSource(*s.host, table, 0.0, 0), samples[i].first,
                             samples[i].second, 1, INT_MAX, r))
                        r.faceId = -2;
                }
            });
        for (auto& t : threads) t.join();
        EXPECT_TRUE(table.builds() == 1 && table.count() == 200);
        for (size_t i = 0; i < 2 * samples.size(); ++i) {
            const FaceMapping &r = results[i % 2][i / 2], &e = expected[i / 2];
            ASSERT_TRUE(r.faceId == e.faceId && r.u == e.u && r.v == e.v) << i % 2 << " " << i / 2;
        }
    }
}

}  // namespace
