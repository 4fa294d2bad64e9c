// HandlePool: the least recently used order of a cache's open file handles.
#include "PtexHandlePool.h"

#include "PtexReader.h"

namespace PtexInternal {

void HandlePool::reserve() {
    std::lock_guard<std::mutex> lock(_mutex);
    _pending++;
    // Oldest first; a handle being read is passed over, not waited for.
    for (auto it = _lru.begin(); it != _lru.end() && _lru.size() + _pending > _maxFiles;) {
        PtexReader* r = *it;
        if (r->closeIdleHandle()) {
            r->handleSlot().listed = false;
            it = _lru.erase(it);
        } else {
            ++it;
        }
    }
}

void HandlePool::opened(PtexReader* reader, bool ok) {
    std::lock_guard<std::mutex> lock(_mutex);
    _pending--;
    if (!ok) return;
    Slot& s = reader->handleSlot();
    s.pos = _lru.insert(_lru.end(), reader);
    s.listed = true;
}

void HandlePool::used(PtexReader* reader) {
    std::lock_guard<std::mutex> lock(_mutex);
    Slot& s = reader->handleSlot();
    if (s.listed && std::next(s.pos) != _lru.end()) _lru.splice(_lru.end(), _lru, s.pos);
}

void HandlePool::closed(PtexReader* reader) {
    std::lock_guard<std::mutex> lock(_mutex);
    Slot& s = reader->handleSlot();
    if (!s.listed) return;
    _lru.erase(s.pos);
    s.listed = false;
}

void HandlePool::demote(PtexReader* reader) {
    std::lock_guard<std::mutex> lock(_mutex);
    Slot& s = reader->handleSlot();
    if (s.listed) _lru.splice(_lru.begin(), _lru, s.pos);
}

}  // namespace PtexInternal
