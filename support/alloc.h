// The module's own global allocation, with a failure report.
//
// This folder's alloc*.cpp define operator new / new[] (plain and aligned) and
// every operator delete for the module that links them (the plugin library;
// its version script keeps them local, so they never replace the host's).
//
// operator new(size): returns a block of at least `size` bytes from the
// runtime heap (malloc; posix_memalign for the aligned forms), never null.
// When the heap refuses, reportAllocationFailure(size) runs:
//   1. debugPrintf("[operator new] failed (size is %llu)\n", size)
//   2. heap total (heapInspector().totalBytes)
//   3. getFreeHeapMemory() (three more debugger lines, see alloc_heap.h)
//   4. the message, composed with boundedSprintf into this thread's 512-byte
//      buffer: "Memory allocation failure; %llu bytes requested; %llu bytes
//      already in heap; %llu bytes free heap space." (all three numbers as
//      full 64-bit values), plus " Heap is reported damaged.\n" when the
//      inspector reports an unsound heap;
//   5. throw of a `char*` pointing at that buffer (no std::bad_alloc). The
//      buffer lives as long as the thread, so the text stays valid while the
//      exception travels and is handled; the next failure on the same thread
//      overwrites it.
// The report allocates nothing and takes no lock. operator delete hands the
// pointer to free.
//
// The nothrow forms (new (std::nothrow) ...) are the module's absorbing form:
// a refusal gets the same report, steps 1-4 (debugger lines and this thread's
// message), and then null instead of the throw. Code whose documented answer
// to a refusal is a fallback (no mesh model, an uncached colour, the host's
// mesh interface) allocates with this form and tests for null; everything
// else uses the plain form and lets the failure leave through the host call.
//
// Tests force refusals with setAllocateFunction (null restores malloc) and,
// for the aligned forms, setAlignedAllocateFunction (null restores
// posix_memalign); the successful path is one call through that pointer.
#pragma once

#include <cstddef>
#include <cstdint>

using AllocateFunction = void* (*)(size_t size);

// Installs `allocate` (null: malloc) and returns the previous function.
AllocateFunction setAllocateFunction(AllocateFunction allocate);
// The function operator new uses.
void* moduleAllocate(size_t size);

// The same for the aligned forms: `alignment` is a power of two, at least
// sizeof(void*); the function returns null on refusal.
using AlignedAllocateFunction = void* (*)(size_t size, size_t alignment);
AlignedAllocateFunction setAlignedAllocateFunction(AlignedAllocateFunction allocate);
void* moduleAllocateAligned(size_t size, size_t alignment);

// Steps 1-4 of the report; the message of this thread.
char* composeAllocationFailureReport(uint64_t size);
// Steps 1-5.
[[noreturn]] void reportAllocationFailure(uint64_t size);

// This thread's failure message (empty text before the first failure).
const char* lastAllocationFailureMessage();

inline constexpr int ALLOC_MESSAGE_BUFFER_SIZE = 512;
