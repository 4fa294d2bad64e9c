// SharedPtexCache: the process-wide holder of the one Ptex cache that every
// texture instance shares.
//
// acquireCache(progress): the cache with one more reference; creates it when
//   none exists, with the library's default number of open files, sizeBytes as
//   memory limit, no premultiplied alpha and the UTF-8 input handler, then
//   sends verbose "Created Ptex cache with size %.2f MB" (sizeBytes / 1048576)
//   and keeps `progress` (both only when progress is given).
// releaseCache(): gives one reference back (nothing when none is held); the
//   last one sends verbose "Releasing Ptex cache" to the kept callback (if
//   any), releases the cache and forgets cache and callback.
// raiseCacheSize(bytes): sizeBytes = max(sizeBytes, bytes), unsigned 64-bit;
//   affects only a cache created later.
// resetCacheSize(): sizeBytes back to 100 MB (104857600); the kept callback
//   is forgotten too, since it belongs to the render that ends.
//
// No lock: the host calls frame preparation of all instances from one thread
// while no shading runs. Constant-initialised, so it exists before any other
// static object of the library.
#pragma once

#include <cstdint>

class PtexCache;

namespace ZUtils {
class ProgressCallback;
}

class PtexInputHandler;

struct SharedPtexCache {
    static constexpr uint64_t kDefaultSizeBytes = 104857600ull;  // 100 MB

    ZUtils::ProgressCallback* progress = nullptr;
    PtexCache* cache = nullptr;
    uint32_t refCount = 0;
    uint64_t sizeBytes = kDefaultSizeBytes;

    PtexCache* acquireCache(ZUtils::ProgressCallback* progress);
    void releaseCache();
    void raiseCacheSize(uint64_t bytes);
    void resetCacheSize();
};

// The one holder of the process.
SharedPtexCache& sharedPtexCache();

// The input handler given to the cache when it is created (the UTF-8 handler
// of support/ by default). Tests may replace it before a cache is created.
PtexInputHandler* sharedCacheInputHandler();
void setSharedCacheInputHandler(PtexInputHandler* handler);
