#include "engine/ResultTables.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

void* allocateAligned128(size_t bytes) {
    constexpr size_t kAlign = 128;
    void* raw = std::malloc(bytes + kAlign + sizeof(void*));
    if (!raw) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw) + sizeof(void*);
    const uintptr_t aligned = (start + kAlign - 1) & ~static_cast<uintptr_t>(kAlign - 1);
    reinterpret_cast<void**>(aligned)[-1] = raw;  // the underlying allocation, for the release
    return reinterpret_cast<void*>(aligned);
}

void freeAligned128(void* block) {
    if (block) std::free(reinterpret_cast<void**>(block)[-1]);
}

ResultTable::~ResultTable() {
    delete[] entries;
}

bool ResultTable::growTo(int slot) {
    const int old = count;
    if (!resize(slot + 1, false)) return false;
    for (int k = old; k <= slot; ++k) entries[k].key = 0;
    return true;
}

bool ResultTable::resize(int newCount, bool exact) {
    if (newCount <= capacity) {
        count = newCount;
        return true;
    }
    // In 64 bits and clamped: near INT_MAX the step or the doubling would overflow
    // (and a wrapped count would ask new[] for an impossible size).
    int64_t newCapacity;
    if (exact) {
        newCapacity = newCount;
    } else if (growStep > 0) {
        newCapacity = int64_t(newCount) + growStep - (newCount % growStep);
    } else if (capacity <= 0) {
        newCapacity = newCount;
    } else {
        newCapacity = capacity;
        while (newCapacity < newCount) newCapacity *= 2;
    }
    if (newCapacity > INT_MAX) newCapacity = INT_MAX;
    // Grown while shading: a refusal must not leave the render thread.
    auto* grown = new (std::nothrow) ResultEntry[static_cast<size_t>(newCapacity)];
    if (!grown) return false;
    if (count > 0 && entries)
        std::memcpy(static_cast<void*>(grown), entries, sizeof(ResultEntry) * count);
    delete[] entries;
    entries = grown;
    capacity = static_cast<int>(newCapacity);
    count = newCount;
    return true;
}

void ResultTables::create(int threadCount) {
    destroy();
    if (threadCount <= 0) return;
    tables_ = new ResultTable*[static_cast<size_t>(threadCount)]();
    count_ = threadCount;
    for (int i = 0; i < threadCount; ++i) {
        void* block = allocateAligned128(sizeof(ResultTable));
        if (!block) {
            destroy();  // without every table the cache is not used at all
            return;
        }
        tables_[i] = new (block) ResultTable();
    }
}

void ResultTables::clear() {
    for (int i = 0; i < count_; ++i) {
        ResultTable* t = tables_[i];
        for (int k = 0; k < t->count; ++k) t->entries[k].key = 0;
        t->counts.clear();
    }
}

ShadeCounts ResultTables::sumCounts() const {
    ShadeCounts sum;
    for (int i = 0; i < count_; ++i) sum += tables_[i]->counts;
    return sum;
}

void ResultTables::destroy() {
    if (!tables_) return;
    for (int i = 0; i < count_; ++i) {
        if (ResultTable* t = tables_[i]) {
            t->~ResultTable();
            freeAligned128(t);
        }
    }
    delete[] tables_;
    tables_ = nullptr;
    count_ = 0;
}
