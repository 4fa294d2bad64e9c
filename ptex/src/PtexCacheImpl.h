#ifndef PtexCacheImpl_h
#define PtexCacheImpl_h
// ReaderCache - the PtexCache: one PtexReader per path string, reference counts,
// remembered failures, search path, purging, a memory limit and a file-handle
// limit.
//
// Locking: one cache mutex guards the path table, reference counts and the list
// of released readers (least recently released first). Opening a file happens
// outside the cache mutex under the entry's own mutex, so opens of different
// files run in parallel. Pruning touches only released readers (count zero) and
// runs under the cache mutex, which get() also takes before it hands a reader
// out, so it never races with a user of the reader. The file limit covers held
// readers too: their handles are in the HandlePool, which closes one only while
// no read runs on it.
// Lock order: entry mutex -> cache mutex -> reader lock -> handle pool mutex.
#include "PtexHandlePool.h"
#include "PtexReader.h"
#include "Ptexture.h"

#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace PtexInternal {

class ReaderCache : public PtexCache {
public:
    ReaderCache(int maxFiles, size_t maxMem, bool premultiply, PtexInputHandler* io,
                PtexErrorHandler* err);
    ~ReaderCache() override;

    void release() override { delete this; }
    void setSearchPath(const char* path) override;
    const char* getSearchPath() override { return _searchPath.c_str(); }
    PtexTexture* get(const char* path, Ptex::String& error) override;
    void purge(PtexTexture* texture) override;
    void purge(const char* path) override;
    void purgeAll() override;
    void getStats(Stats& stats) override;

    /// Called by PtexReader::release: drops one reference.
    void releaseReader(PtexReader* reader);
    /// The open file handles of this cache's readers.
    HandlePool& handlePool() { return _handles; }

private:
    struct Entry {
        std::unique_ptr<PtexReader> reader;
        int refcount = 0;     // guarded by _lock
        bool failed = false;  // guarded by _lock
        bool pendingPurge = false;
        bool inLru = false;
        std::list<Entry*>::iterator lru;
        std::mutex openLock;  // serialises opening this entry's file
    };

    bool resolve(const std::string& path, std::string& resolved, Ptex::String& error);
    void purgeLocked(Entry* e);
    void enforceMemoryLimitLocked();
    void decrefLocked(Entry* e);

    int _maxFiles;
    size_t _maxMem;
    bool _premultiply;
    PtexInputHandler* _io;
    PtexErrorHandler* _err;
    HandlePool _handles;  // outlives the readers, which leave it as they close
    std::string _searchPath;
    std::vector<std::string> _searchDirs;

    std::mutex _lock;
    std::unordered_map<std::string, std::unique_ptr<Entry>> _entries;
    std::unordered_map<PtexTexture*, Entry*> _byTexture;
    std::list<Entry*> _lru;
    ReaderCounters _counters;
};

}  // namespace PtexInternal

#endif
