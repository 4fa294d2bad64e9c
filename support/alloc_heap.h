// Heap figures for the allocation failure report.
//
// The report needs the heap's total size, its free bytes, a count of blocks,
// a heap status and a consistency verdict. On Linux they come from the C
// library's mallinfo2, which walks the allocator's own tables and allocates
// nothing:
//   total  = arena + hblkhd  (bytes held in the main arena and in mapped blocks)
//   free   = fordblks        (free bytes in the arena)
//   blocks = ordblks + smblks + hblks  (free chunks and mapped blocks)
//   status = HEAP_END: the figures cover the whole heap
//   sound  = always: the C library offers no check to run afterwards
// The status values follow the heap walk codes of the original platform so
// that report lines read the same everywhere.
//
// getFreeHeapMemory() sends "[getFreeHeapMemory] Getting free heap memory.\n",
// takes the figures, then sends "[getFreeHeapMemory] heapstatus=%i\n" and
// "[getFreeHeapMemory] Number of blocks visited: %llu\n" (debugPrintf).
//
// Tests replace the inspector (setHeapInspector; null restores the default)
// to report a damaged heap or fixed figures. Functions of an inspector must
// not allocate.
#pragma once

#include <cstdint>

enum HeapStatus : int32_t {
    HEAP_EMPTY = -1,
    HEAP_OK = -2,
    HEAP_BADBEGIN = -3,
    HEAP_BADNODE = -4,
    HEAP_END = -5,
    HEAP_BADPTR = -6,
};

struct FreeHeapFigures {
    uint64_t freeBytes = 0;
    uint64_t blocks = 0;
    int32_t status = HEAP_END;
};

struct HeapInspector {
    uint64_t (*totalBytes)();
    FreeHeapFigures (*freeFigures)();
    bool (*isSound)();
};

// The inspector in use (never null).
const HeapInspector& heapInspector();
// Installs `inspector` (null: the mallinfo2 default); returns the previous one.
const HeapInspector* setHeapInspector(const HeapInspector* inspector);
const HeapInspector& defaultHeapInspector();

FreeHeapFigures getFreeHeapMemory();
