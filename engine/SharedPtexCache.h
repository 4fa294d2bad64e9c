// SharedPtexCache: the one Ptex cache that every texture instance of the
// process shares, and each instance's reference on it (SharedCacheLease).
//
// acquireCache(progress) -> the cache, with one more reference; created when
//   none exists, with maxFiles open files at most (0: the library's default,
//   100; the limit holds for held textures too), sizeBytes as memory limit,
//   no premultiplied alpha and sharedCacheInputHandler(). Creating it sends
//   verbose "Created Ptex cache with size %.2f MB" to `progress` (when
//   given), which is kept for the release message. Null only when the
//   library cannot create a cache.
// releaseCache(): gives one reference back (nothing when none is held); the
//   last one sends verbose "Releasing Ptex cache" to the kept callback (if
//   any) and releases the cache.
// raiseCacheSize(bytes): sizeBytes = max(sizeBytes, bytes) as unsigned 64-bit
//   values; only a cache created later takes the new size.
// resetCacheSize(): sizeBytes back to 100 MB (the floor); the kept callback,
//   which belongs to the render that ends, is forgotten.
// figures(stats) -> the cache's figures over its life (PtexCache::getStats)
//   while one exists, else those of the last cache released (the figures are
//   taken at its release); false, with stats untouched, before any cache.
//
// Threads: none of this locks. Every call comes from frame preparation,
// which the host runs for all instances on one thread while nothing shades.
// The holder is constant-initialised, so it exists before any other static
// object of the library.
#pragma once

#include <cstdint>

#include "Ptexture.h"

namespace ZUtils {
class ProgressCallback;
}

struct SharedPtexCache {
    static constexpr uint64_t kDefaultSizeBytes = 104857600ull;  // 100 MB

    ZUtils::ProgressCallback* progress = nullptr;
    PtexCache* cache = nullptr;
    uint32_t refCount = 0;
    uint64_t sizeBytes = kDefaultSizeBytes;
    PtexCache::Stats lastFigures{};
    bool haveLastFigures = false;
    int maxFiles = 0;  // set by tests and tools only; not reset

    PtexCache* acquireCache(ZUtils::ProgressCallback* progress);
    void releaseCache();
    void raiseCacheSize(uint64_t bytes);
    void resetCacheSize();
    bool figures(PtexCache::Stats& stats);
};

// The one holder of the process.
SharedPtexCache& sharedPtexCache();

// One instance's reference on the shared cache: acquire takes it (once),
// release or the destructor gives it back.
class SharedCacheLease {
public:
    SharedCacheLease() = default;
    ~SharedCacheLease() { release(); }
    SharedCacheLease(const SharedCacheLease&) = delete;
    SharedCacheLease& operator=(const SharedCacheLease&) = delete;

    PtexCache* acquire(ZUtils::ProgressCallback* progress);
    void release();
    PtexCache* get() const { return cache_; }

private:
    PtexCache* cache_ = nullptr;
};

// cache_size in MB as the byte count for raiseCacheSize; 0 for a size of 0
// or less, which asks for nothing (the floor holds).
inline uint64_t cacheSizeToBytes(int megabytes) {
    return megabytes > 0 ? static_cast<uint64_t>(megabytes) * 1048576ull : 0ull;
}

// The input handler given to the cache when it is created: the UTF-8 file
// handler of support/ unless a test has set another (before a cache exists).
PtexInputHandler* sharedCacheInputHandler();
void setSharedCacheInputHandler(PtexInputHandler* handler);
