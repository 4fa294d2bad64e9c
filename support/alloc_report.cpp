// The allocation failure report: debugger lines, message, and the throw.
#include <atomic>
#include <cstdlib>

#include "support/alloc.h"
#include "support/alloc_debug.h"
#include "support/alloc_heap.h"

namespace {

std::atomic<AllocateFunction> g_allocate{&std::malloc};

void* alignedFromHeap(size_t size, size_t alignment) {
    void* p = nullptr;
    return ::posix_memalign(&p, alignment, size) == 0 ? p : nullptr;
}

std::atomic<AlignedAllocateFunction> g_allocateAligned{&alignedFromHeap};

// The message must outlive the throwing frame and must not need the heap that
// has just failed: one fixed buffer per thread.
thread_local char t_message[ALLOC_MESSAGE_BUFFER_SIZE];

}  // namespace

AllocateFunction setAllocateFunction(AllocateFunction allocate) {
    return g_allocate.exchange(allocate ? allocate : &std::malloc);
}

void* moduleAllocate(size_t size) {
    return g_allocate.load(std::memory_order_relaxed)(size);
}

AlignedAllocateFunction setAlignedAllocateFunction(AlignedAllocateFunction allocate) {
    return g_allocateAligned.exchange(allocate ? allocate : &alignedFromHeap);
}

void* moduleAllocateAligned(size_t size, size_t alignment) {
    return g_allocateAligned.load(std::memory_order_relaxed)(size, alignment);
}

const char* lastAllocationFailureMessage() {
    return t_message;
}

char* composeAllocationFailureReport(uint64_t size) {
    debugPrintf("[operator new] failed (size is %llu)\n", static_cast<unsigned long long>(size));
    const HeapInspector& heap = heapInspector();
    const uint64_t total = heap.totalBytes();
    const FreeHeapFigures free = getFreeHeapMemory();

    char* message = t_message;
    int length = boundedSprintf(
        message, ALLOC_MESSAGE_BUFFER_SIZE,
        "Memory allocation failure; %llu bytes requested; %llu bytes already in heap; "
        "%llu bytes free heap space.",
        static_cast<unsigned long long>(size), static_cast<unsigned long long>(total),
        static_cast<unsigned long long>(free.freeBytes));
    if (length < 0)
        length = ALLOC_MESSAGE_BUFFER_SIZE - 1;  // cut; cannot happen with these figures
    if (!heap.isSound()) {
        boundedSprintf(message + length, ALLOC_MESSAGE_BUFFER_SIZE - length,
                       " Heap is reported damaged.\n");
    }
    return message;
}

void reportAllocationFailure(uint64_t size) {
    throw composeAllocationFailureReport(size);
}
