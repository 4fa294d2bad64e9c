// Heap figures from mallinfo2 (no allocation), replaceable for tests.
#include "support/alloc_heap.h"

#include <malloc.h>

#include <atomic>

#include "support/alloc_debug.h"

namespace {

uint64_t mallinfoTotal() {
    const struct mallinfo2 mi = ::mallinfo2();
    return static_cast<uint64_t>(mi.arena) + static_cast<uint64_t>(mi.hblkhd);
}

FreeHeapFigures mallinfoFree() {
    const struct mallinfo2 mi = ::mallinfo2();
    FreeHeapFigures f;
    f.freeBytes = static_cast<uint64_t>(mi.fordblks);
    f.blocks = static_cast<uint64_t>(mi.ordblks) + static_cast<uint64_t>(mi.smblks) +
               static_cast<uint64_t>(mi.hblks);
    f.status = HEAP_END;
    return f;
}

bool alwaysSound() {
    return true;
}

const HeapInspector kDefault{&mallinfoTotal, &mallinfoFree, &alwaysSound};

std::atomic<const HeapInspector*> g_inspector{&kDefault};

}  // namespace

const HeapInspector& defaultHeapInspector() {
    return kDefault;
}

const HeapInspector& heapInspector() {
    return *g_inspector.load(std::memory_order_acquire);
}

const HeapInspector* setHeapInspector(const HeapInspector* inspector) {
    return g_inspector.exchange(inspector ? inspector : &kDefault);
}

FreeHeapFigures getFreeHeapMemory() {
    debugPrintf("[getFreeHeapMemory] Getting free heap memory.\n");
    const FreeHeapFigures f = heapInspector().freeFigures();
    debugPrintf("[getFreeHeapMemory] heapstatus=%i\n", static_cast<int>(f.status));
    debugPrintf("[getFreeHeapMemory] Number of blocks visited: %llu\n",
                static_cast<unsigned long long>(f.blocks));
    return f;
}
