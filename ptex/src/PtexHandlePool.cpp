// HandlePool: the least recently used order of a cache's open file handles.
#include "PtexHandlePool.h"

#include "PtexReader.h"

namespace PtexInternal {

void HandlePool::link(PtexReader* reader, bool atFront) {
    Slot& s = reader->handleSlot();
    s.listed = true;
    if (atFront) {
        s.prev = nullptr;
        s.next = _first;
        (_first ? _first->handleSlot().prev : _last) = reader;
        _first = reader;
    } else {
        s.next = nullptr;
        s.prev = _last;
        (_last ? _last->handleSlot().next : _first) = reader;
        _last = reader;
    }
    _listed++;
}

void HandlePool::unlink(PtexReader* reader) {
    Slot& s = reader->handleSlot();
    (s.prev ? s.prev->handleSlot().next : _first) = s.next;
    (s.next ? s.next->handleSlot().prev : _last) = s.prev;
    s.prev = s.next = nullptr;
    s.listed = false;
    _listed--;
}

void HandlePool::reserve() {
    std::lock_guard<std::mutex> lock(_mutex);
    _pending++;
    // Oldest first; a handle being read is passed over, not waited for.
    for (PtexReader* r = _first; r && _listed + _pending > _maxFiles;) {
        PtexReader* next = r->handleSlot().next;
        if (r->closeIdleHandle()) unlink(r);
        r = next;
    }
}

void HandlePool::opened(PtexReader* reader, bool ok) {
    std::lock_guard<std::mutex> lock(_mutex);
    _pending--;
    if (ok) link(reader, false);
}

void HandlePool::used(PtexReader* reader) {
    std::lock_guard<std::mutex> lock(_mutex);
    if (!reader->handleSlot().listed || reader == _last) return;
    unlink(reader);
    link(reader, false);
}

void HandlePool::closed(PtexReader* reader) {
    std::lock_guard<std::mutex> lock(_mutex);
    if (reader->handleSlot().listed) unlink(reader);
}

void HandlePool::demote(PtexReader* reader) {
    std::lock_guard<std::mutex> lock(_mutex);
    if (!reader->handleSlot().listed || reader == _first) return;
    unlink(reader);
    link(reader, true);
}

}  // namespace PtexInternal
