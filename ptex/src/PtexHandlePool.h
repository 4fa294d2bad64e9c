#ifndef PtexHandlePool_h
#define PtexHandlePool_h
// HandlePool - the open file handles of one cache's readers, held or released,
// least recently used first, kept within the cache's file limit.
//
// A reader calls reserve() before it opens its file and opened() after; the
// reservation closes least recently used handles of other readers until one
// more fits. A handle is closed only when its reader's read lock can be taken
// at once (PtexReader::closeIdleHandle), so no descriptor is closed while a
// read on it runs and no lock is waited for here: a reader busy reading keeps
// its handle, and the limit is then exceeded by at most one handle per thread
// opening at that moment. used() marks a handle most recently used, demote()
// least recently used (a released texture), closed() forgets it.
//
// Locking: one pool mutex, taken by readers with their read lock held (never
// the reverse but for the try-lock above). Lock order:
// cache mutex -> reader lock -> pool mutex.
#include <cstddef>
#include <mutex>

namespace PtexInternal {

class PtexReader;

class HandlePool {
public:
    /// The reader's place in the pool (guarded by the pool mutex): a link of
    /// an intrusive list, so the pool never allocates.
    struct Slot {
        PtexReader* prev = nullptr;
        PtexReader* next = nullptr;
        bool listed = false;
    };

    explicit HandlePool(size_t maxFiles) : _maxFiles(maxFiles) {}
    HandlePool(const HandlePool&) = delete;
    HandlePool& operator=(const HandlePool&) = delete;

    // All with the reader's read lock held.
    void reserve();
    void opened(PtexReader* reader, bool ok);
    void used(PtexReader* reader);
    void closed(PtexReader* reader);
    // With the cache mutex held (the reader was released).
    void demote(PtexReader* reader);

private:
    void link(PtexReader* reader, bool atFront);
    void unlink(PtexReader* reader);

    size_t _maxFiles;
    std::mutex _mutex;
    // open handles, least recently used first
    PtexReader* _first = nullptr;
    PtexReader* _last = nullptr;
    size_t _listed = 0;
    size_t _pending = 0;  // reserved, not yet opened
};

}  // namespace PtexInternal

#endif
