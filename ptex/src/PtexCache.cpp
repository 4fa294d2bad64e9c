// ReaderCache: the shared, thread-safe texture cache.
#include "PtexCacheImpl.h"

#include <sys/stat.h>

namespace PtexInternal {

ReaderCache::ReaderCache(int maxFiles, size_t maxMem, bool premultiply, PtexInputHandler* io,
                         PtexErrorHandler* err)
    : _maxFiles(maxFiles <= 0 ? 100 : maxFiles),
      _maxMem(maxMem),
      _premultiply(premultiply),
      _io(io),
      _err(err),
      _handles(size_t(_maxFiles)) {}

ReaderCache::~ReaderCache() {
    _byTexture.clear();
    _lru.clear();
    _entries.clear();  // destroys every reader (closing its file)
}

void ReaderCache::setSearchPath(const char* path) {
    std::lock_guard<std::mutex> lock(_lock);
    _searchPath = path ? path : "";
    _searchDirs.clear();
    size_t start = 0;
    while (start <= _searchPath.size()) {
        size_t end = _searchPath.find(':', start);
        if (end == std::string::npos) end = _searchPath.size();
        if (end > start) _searchDirs.push_back(_searchPath.substr(start, end - start));
        start = end + 1;
    }
}

bool ReaderCache::resolve(const std::string& path, std::string& resolved, Ptex::String& error) {
    resolved = path;
    if (_io || path.empty() || path[0] == '/') return true;
    std::vector<std::string> dirs;
    {
        std::lock_guard<std::mutex> lock(_lock);
        dirs = _searchDirs;
    }
    if (dirs.empty()) return true;
    for (const std::string& d : dirs) {
        std::string candidate = d + "/" + path;
        struct stat st;
        if (::stat(candidate.c_str(), &st) == 0) {
            resolved = candidate;
            return true;
        }
    }
    error = "Can't find ptex file: " + path;
    return false;
}

PtexTexture* ReaderCache::get(const char* path, Ptex::String& error) {
    if (!path) {
        error = "Can't find ptex file: (null)";
        return nullptr;
    }
    Entry* e;
    {
        std::lock_guard<std::mutex> lock(_lock);
        auto slot = _entries.try_emplace(path).first;
        if (!slot->second) {
            // A refused allocation leaves no half-made entry behind.
            try {
                auto entry = std::make_unique<Entry>();
                entry->reader =
                    std::make_unique<PtexReader>(_io, _err, _premultiply, &_counters, this);
                _byTexture[entry->reader.get()] = entry.get();
                slot->second = std::move(entry);
            } catch (...) {
                _entries.erase(slot);
                throw;
            }
        }
        e = slot->second.get();
        if (e->failed) return nullptr;
        if (e->refcount == 0) {
            if (e->inLru) {
                _lru.erase(e->lru);
                e->inLru = false;
            }
            if (e->pendingPurge) {
                e->reader->purge();
                e->pendingPurge = false;
            }
        }
        e->refcount++;
    }
    bool opened = false;
    {
        std::lock_guard<std::mutex> olock(e->openLock);
        bool failed;
        {
            std::lock_guard<std::mutex> lock(_lock);
            failed = e->failed;
        }
        if (!failed && !e->reader->isOpen()) {
            std::string resolved;
            bool ok;
            try {
                ok = resolve(path, resolved, error) && e->reader->open(resolved.c_str(), error);
            } catch (...) {
                // a refused allocation: the caller gets no texture, so give its reference back
                std::lock_guard<std::mutex> lock(_lock);
                decrefLocked(e);
                throw;
            }
            failed = !ok;
            opened = ok;
            if (failed) {
                std::lock_guard<std::mutex> lock(_lock);
                e->failed = true;
            }
        }
        if (failed) {
            std::lock_guard<std::mutex> lock(_lock);
            decrefLocked(e);
            return nullptr;
        }
    }
    if (opened && _maxMem && _counters.memUsed.load(std::memory_order_relaxed) > _maxMem) {
        std::lock_guard<std::mutex> lock(_lock);
        enforceMemoryLimitLocked();
    }
    return e->reader.get();
}

void ReaderCache::decrefLocked(Entry* e) {
    if (e->refcount <= 0) return;
    if (--e->refcount > 0) return;
    if (e->pendingPurge || e->failed) {
        if (e->pendingPurge) e->reader->purge();
        e->pendingPurge = false;
        return;
    }
    _lru.push_back(e);
    e->lru = std::prev(_lru.end());
    e->inLru = true;
    _handles.demote(e->reader.get());  // its handle is the first to go
}

void ReaderCache::releaseReader(PtexReader* reader) {
    std::lock_guard<std::mutex> lock(_lock);
    auto it = _byTexture.find(reader);
    if (it == _byTexture.end()) return;
    decrefLocked(it->second);
    enforceMemoryLimitLocked();
}

void ReaderCache::enforceMemoryLimitLocked() {
    // (the handle pool keeps the file limit, as files are opened)
    if (_maxMem && _counters.memUsed.load(std::memory_order_relaxed) > _maxMem) {
        for (Entry* e : _lru) {
            e->reader->prune();
            if (_counters.memUsed.load(std::memory_order_relaxed) <= _maxMem) break;
        }
    }
}

void ReaderCache::purgeLocked(Entry* e) {
    if (e->refcount > 0) {
        e->pendingPurge = true;
        return;
    }
    if (e->inLru) {
        _lru.erase(e->lru);
        e->inLru = false;
    }
    e->reader->purge();
    e->failed = false;
    e->pendingPurge = false;
}

void ReaderCache::purge(PtexTexture* texture) {
    std::lock_guard<std::mutex> lock(_lock);
    auto it = _byTexture.find(texture);
    if (it != _byTexture.end()) purgeLocked(it->second);
}

void ReaderCache::purge(const char* path) {
    if (!path) return;
    std::lock_guard<std::mutex> lock(_lock);
    auto it = _entries.find(path);
    if (it != _entries.end()) purgeLocked(it->second.get());
}

void ReaderCache::purgeAll() {
    std::lock_guard<std::mutex> lock(_lock);
    for (auto& kv : _entries) purgeLocked(kv.second.get());
}

void ReaderCache::getStats(Stats& stats) {
    std::lock_guard<std::mutex> lock(_lock);
    stats.memUsed = _counters.memUsed.load();
    stats.peakMemUsed = _counters.peakMemUsed.load();
    stats.filesOpen = _counters.filesOpen.load();
    stats.peakFilesOpen = _counters.peakFilesOpen.load();
    stats.filesAccessed = _entries.size();
    stats.fileReopens = _counters.fileReopens.load();
    stats.blockReads = _counters.blockReads.load();
    stats.fileOpens = _counters.fileOpens.load();
    stats.bytesRead = _counters.bytesRead.load();
}

}  // namespace PtexInternal

PtexCache* PtexCache::create(int maxFiles, size_t maxMem, bool premultiply,
                             PtexInputHandler* inputHandler, PtexErrorHandler* errorHandler) {
    return new PtexInternal::ReaderCache(maxFiles, maxMem, premultiply, inputHandler, errorHandler);
}
