// Reference-counted immutable list storage: one malloc'd block {count, size, data}.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "zento/ListValue.h"

namespace ZUtils {

// The data follow the (16-byte aligned) header in the same block.
struct alignas(16) ListHandle::Block {
    std::atomic<int> refs;
    size_t bytes;

    unsigned char* data() { return reinterpret_cast<unsigned char*>(this + 1); }
};

ListHandle::ListHandle(const ListHandle& other) noexcept : block_(other.block_) {
    if (block_) block_->refs.fetch_add(1, std::memory_order_relaxed);
}

ListHandle::ListHandle(ListHandle&& other) noexcept : block_(other.block_) {
    other.block_ = nullptr;
}

ListHandle& ListHandle::operator=(const ListHandle& other) noexcept {
    Block* incoming = other.block_;  // read first: `other` may be this object
    if (incoming) incoming->refs.fetch_add(1, std::memory_order_relaxed);
    reset();
    block_ = incoming;
    return *this;
}

ListHandle& ListHandle::operator=(ListHandle&& other) noexcept {
    if (this != &other) {
        reset();
        block_ = other.block_;
        other.block_ = nullptr;
    }
    return *this;
}

ListHandle::~ListHandle() {
    reset();
}

ListHandle ListHandle::allocate(size_t bytes) {
    const size_t total = sizeof(Block) + (bytes ? bytes : 1);
    void* memory = std::calloc(1, total);
    if (!memory) throw std::bad_alloc();
    ListHandle handle;
    handle.block_ = new (memory) Block{{1}, bytes};
    return handle;
}

void* ListHandle::data() const noexcept {
    return block_ ? block_->data() : nullptr;
}

size_t ListHandle::bytes() const noexcept {
    return block_ ? block_->bytes : 0;
}

int ListHandle::useCount() const noexcept {
    return block_ ? block_->refs.load(std::memory_order_relaxed) : 0;
}

void ListHandle::reset() noexcept {
    if (block_ && block_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        block_->~Block();
        std::free(block_);
    }
    block_ = nullptr;
}

}  // namespace ZUtils
