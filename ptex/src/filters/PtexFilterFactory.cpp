// The filter factory: registered filter types first, then the standard table.
#include <atomic>
#include <mutex>

#include "Ptexture.h"

namespace {

struct Registration {
    int filterType;
    Ptex::MeshType meshType;
    PtexFilter::FilterMaker maker;
};

// Entries are written once, under the lock, before the count that publishes
// them; getFilter reads the published prefix without locking.
Registration g_registered[PtexFilter::kMaxFilterTypes];
std::atomic<int> g_count{0};
std::mutex g_registerLock;

PtexFilter::FilterMaker registeredMaker(int filterType, Ptex::MeshType meshType) {
    const int n = g_count.load(std::memory_order_acquire);
    for (int i = 0; i < n; ++i) {
        const Registration& r = g_registered[i];
        if (r.filterType == filterType && r.meshType == meshType) return r.maker;
    }
    return nullptr;
}

}  // namespace

bool PtexFilter::registerFilterType(int filterType, Ptex::MeshType meshType, FilterMaker maker) {
    if (!maker) return false;
    std::lock_guard<std::mutex> guard(g_registerLock);
    if (FilterMaker held = registeredMaker(filterType, meshType)) return held == maker;
    const int n = g_count.load(std::memory_order_relaxed);
    if (n >= kMaxFilterTypes) return false;
    g_registered[n] = Registration{filterType, meshType, maker};
    g_count.store(n + 1, std::memory_order_release);
    return true;
}

PtexFilter* PtexFilter::getFilter(PtexTexture* tx, const Options& opts) {
    if (!tx) return nullptr;
    const Ptex::MeshType meshType = tx->meshType();
    if (meshType != Ptex::mt_quad && meshType != Ptex::mt_triangle) return nullptr;
    if (FilterMaker maker = registeredMaker(int(opts.filter), meshType)) return maker(tx, opts);
    return getStandardFilter(tx, opts);
}
