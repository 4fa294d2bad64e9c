// The module's global operator new and operator delete (every form).
#include <cstdlib>
#include <new>

#include "support/alloc.h"

namespace {

void* allocateOrReport(std::size_t size) {
    if (void* p = moduleAllocate(size ? size : 1)) return p;
    reportAllocationFailure(size);
}

void* allocateReportedOrNull(std::size_t size) noexcept {
    if (void* p = moduleAllocate(size ? size : 1)) return p;
    composeAllocationFailureReport(size);
    return nullptr;
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) noexcept {
    std::size_t align = static_cast<std::size_t>(alignment);
    if (align < sizeof(void*)) align = sizeof(void*);
    return moduleAllocateAligned(size ? size : 1, align);
}

void* allocateAlignedOrReport(std::size_t size, std::align_val_t alignment) {
    if (void* p = allocateAligned(size, alignment)) return p;
    reportAllocationFailure(size);
}

void* allocateAlignedReportedOrNull(std::size_t size, std::align_val_t alignment) noexcept {
    if (void* p = allocateAligned(size, alignment)) return p;
    composeAllocationFailureReport(size);
    return nullptr;
}

}  // namespace

void* operator new(std::size_t size) {
    return allocateOrReport(size);
}
void* operator new[](std::size_t size) {
    return allocateOrReport(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocateAlignedOrReport(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocateAlignedOrReport(size, alignment);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocateReportedOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocateReportedOrNull(size);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocateAlignedReportedOrNull(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocateAlignedReportedOrNull(size, alignment);
}

void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(p);
}
