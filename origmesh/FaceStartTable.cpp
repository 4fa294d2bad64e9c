#include "origmesh/FaceStartTable.h"

#include <climits>
#include <cstdint>
#include <new>

#include "zento/ShadingInterfaces.h"

bool FaceStartTable::build(const ZUtils::MeshInfoInterface& mesh, double time) {
    std::lock_guard<std::mutex> guard(lock_);
    if (built_.load(std::memory_order_relaxed)) return true;

    int n = mesh.getNumOrigFaces(time);
    if (n < 0) n = 0;
    // Built while shading: a refusal answers "not ready" (the lookup then gives
    // its fallback colour) and a later call tries again.
    std::unique_ptr<int[]> table(new (std::nothrow) int[size_t(n > 0 ? n : 1)]);
    if (!table) return false;
    int64_t id = 0;
    for (int f = 0; f < n; ++f) {
        table[f] = int(id);
        const int d = mesh.getFaceDegree(time, f);
        if (d == 4) {
            id += 1;
        } else if (d > 0) {
            id += d;
        }
        if (id > INT_MAX) id = INT_MAX;
    }
    starts_ = std::move(table);
    count_ = n;
    ++builds_;
    built_.store(true, std::memory_order_release);
    return true;
}

void FaceStartTable::reset() {
    built_.store(false, std::memory_order_relaxed);
    starts_.reset();
    count_ = 0;
}
