// Allocation failure while building the model or the host-path face-start table: no
// model / no table, the flag stays clear, the lock is not left held, nothing leaks, and
// a later attempt with memory available succeeds.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#include "MeshFixture.h"

namespace {

// Counts allocations; when armed (by a single thread), the n-th one from now is refused.
std::atomic<long> failCountdown{-1}, allocations{0};

void* allocate(size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (failCountdown.load() > 0 && failCountdown.fetch_sub(1) == 1) throw std::bad_alloc();
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

void* operator new(size_t size) { return allocate(size); }
void* operator new[](size_t size) { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

using namespace omtest;

namespace {

const Polygons kQuadAndTriangle{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}}, {4, 3}, {0, 1, 2, 3, 1, 4, 2}};

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

}  // namespace
