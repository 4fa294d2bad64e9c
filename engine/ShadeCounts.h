// What the shading lookups of one texture instance count: the kinds
// (ShadeCount), one render thread's plain counters (ShadeCounts, kept in the
// thread's result-table block), and the relaxed atomic counters of lookups
// that have no block of their own (SharedShadeCounts: a thread index outside
// the tables, or no tables at all; such a lookup counts in a ShadeCounts of
// its own, added to them at its end).
//
//   Misses: lookups the result cache did not answer; lookups = hits + misses.
//   FacesTouched: a face whose bit this thread was the first to set in the
//     frame's touched-face set; summed over the threads, the distinct faces.
//   NoTexture .. AllocationRefused: lookups answering the fallback colour, by
//     reason. A refused result-table growth comes after a filter evaluation,
//     so that lookup counts under both.
//
// Threads: a ShadeCounts is written by its own render thread only; reading
// one (sums) is for frame preparation, while nobody shades.
#pragma once

#include <atomic>
#include <cstdint>

enum ShadeCount : int {
    kCacheHits,
    kMisses,
    kFilterEvaluations,
    kFacesTouched,
    kNoTexture,
    kNoMeshSource,
    kUnmappable,
    kBadThread,
    kAllocationRefused,
    kShadeCountKinds
};

struct ShadeCounts {
    uint64_t n[kShadeCountKinds] = {};

    uint64_t lookups() const { return n[kCacheHits] + n[kMisses]; }
    void clear() {
        for (uint64_t& v : n) v = 0;
    }
    ShadeCounts& operator+=(const ShadeCounts& o) {
        for (int k = 0; k < kShadeCountKinds; ++k) n[k] += o.n[k];
        return *this;
    }
};

struct SharedShadeCounts {
    std::atomic<uint64_t> n[kShadeCountKinds] = {};

    void add(const ShadeCounts& c) {
        for (int k = 0; k < kShadeCountKinds; ++k)
            if (c.n[k]) n[k].fetch_add(c.n[k], std::memory_order_relaxed);
    }
    void clear() {
        for (auto& v : n) v.store(0, std::memory_order_relaxed);
    }
    void addTo(ShadeCounts& sum) const {
        for (int k = 0; k < kShadeCountKinds; ++k) sum.n[k] += n[k].load(std::memory_order_relaxed);
    }
};
