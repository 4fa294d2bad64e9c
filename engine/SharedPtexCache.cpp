#include "engine/SharedPtexCache.h"

#include "Ptexture.h"
#include "support/Utf8InputHandler.h"
#include "zento/ProgressCallback.h"

namespace {

constinit SharedPtexCache g_holder{};
constinit PtexInputHandler* g_inputHandler = nullptr;  // null: the UTF-8 handler

}  // namespace

SharedPtexCache& sharedPtexCache() {
    return g_holder;
}

PtexInputHandler* sharedCacheInputHandler() {
    return g_inputHandler ? g_inputHandler : sharedUtf8InputHandler();
}

void setSharedCacheInputHandler(PtexInputHandler* handler) {
    g_inputHandler = handler;
}

PtexCache* SharedPtexCache::acquireCache(ZUtils::ProgressCallback* callback) {
    if (!cache) {
        cache = PtexCache::create(maxFiles, static_cast<size_t>(sizeBytes), false,
                                  sharedCacheInputHandler());
        if (!cache) return nullptr;
        if (callback) {
            callback->verbose("Created Ptex cache with size %.2f MB",
                              static_cast<double>(sizeBytes) / 1048576.0);
            progress = callback;
        }
    }
    ++refCount;
    return cache;
}

void SharedPtexCache::releaseCache() {
    if (refCount == 0) return;
    if (--refCount > 0) return;
    if (progress) progress->verbose("Releasing Ptex cache");
    if (cache) {
        cache->getStats(lastFigures);
        haveLastFigures = true;
        cache->release();
    }
    cache = nullptr;
    progress = nullptr;
}

void SharedPtexCache::raiseCacheSize(uint64_t bytes) {
    if (bytes > sizeBytes) sizeBytes = bytes;
}

void SharedPtexCache::resetCacheSize() {
    sizeBytes = kDefaultSizeBytes;
    progress = nullptr;
}

bool SharedPtexCache::figures(PtexCache::Stats& stats) {
    if (cache) {
        cache->getStats(stats);
        return true;
    }
    if (haveLastFigures) stats = lastFigures;
    return haveLastFigures;
}

PtexCache* SharedCacheLease::acquire(ZUtils::ProgressCallback* progress) {
    if (!cache_) cache_ = sharedPtexCache().acquireCache(progress);
    return cache_;
}

void SharedCacheLease::release() {
    if (!cache_) return;
    cache_ = nullptr;
    sharedPtexCache().releaseCache();
}
