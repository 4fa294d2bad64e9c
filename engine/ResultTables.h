// Per-thread result caches of a texture instance: the colour last computed
// for a (slot, key) pair of the host, so a repeated request is one compare.
//
// ResultTable {count, growStep (30), capacity, entries, counts}: one per render
//   thread; entry i belongs to the host's resultSlot i; key 0 marks it empty.
//   counts: what the thread's lookups counted this frame (ShadeCounts.h).
//   find(slot, key): the colour stored at slot under key, or null.
//   store(slot, key, color): writes the entry, first growing the table to
//     slot + 1 entries when needed (the entries in between empty); false,
//     with nothing written, when the growth is refused.
//   resize(newCount, exact): count = newCount; beyond the capacity the entries
//     move to a new array (exact: newCount entries; else the smallest multiple
//     of growStep above newCount, or the capacity doubled when the step is 0;
//     never above INT_MAX). The array comes from the module allocator's
//     absorbing form: a refusal is reported, answers false and leaves the
//     table as it was.
//   Growth is the only allocation of a lookup (see PtexBase.h).
// ResultTables: the array of tables with its count.
//   create(threadCount): one empty table per thread (nothing for <= 0); when
//     the block of a table cannot be had, no tables are kept (the cache is
//     then not used). The array itself raises a refused allocation.
//   clear(): every key of every entry in use set to 0; counts, capacities and
//     colours stay.
//   destroy(): every table and the array; safe when there are none.
//   table(i): the table of render thread i (callers keep i in range).
//
// Each table sits in a 128-byte-aligned block of its own (whole 128-byte
// lines), taken from the runtime heap, so tables of different threads never
// share a cache line: the block is the per-thread state of a render's
// lookups. create, clear and destroy run in frame preparation only; during
// shading a table is read and written by its own thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/ShadeCounts.h"
#include "zento/AColor.h"

struct ResultEntry {
    uint32_t key = 0;
    ZUtils::AColor color;
};

struct alignas(128) ResultTable {
    int count = 0;
    int growStep = 30;
    int capacity = 0;
    ResultEntry* entries = nullptr;
    ShadeCounts counts;

    ResultTable() = default;
    ~ResultTable();
    ResultTable(const ResultTable&) = delete;
    ResultTable& operator=(const ResultTable&) = delete;

    const ZUtils::AColor* find(int slot, uint32_t key) const {
        return slot < count && entries[slot].key == key ? &entries[slot].color : nullptr;
    }
    bool store(int slot, uint32_t key, const ZUtils::AColor& color) {
        if (count <= slot && !growTo(slot)) return false;
        entries[slot].key = key;
        entries[slot].color = color;
        return true;
    }
    bool resize(int newCount, bool exact);

private:
    bool growTo(int slot);
};

class ResultTables {
public:
    ResultTables() = default;
    ~ResultTables() { destroy(); }
    ResultTables(const ResultTables&) = delete;
    ResultTables& operator=(const ResultTables&) = delete;

    void create(int threadCount);
    void clear();
    void destroy();
    ShadeCounts sumCounts() const;

    bool exist() const { return tables_ != nullptr; }
    int count() const { return count_; }
    ResultTable& table(int thread) const { return *tables_[thread]; }

private:
    ResultTable** tables_ = nullptr;
    int count_ = 0;
};

// 128-byte-aligned blocks from the runtime heap (null when refused).
void* allocateAligned128(size_t bytes);
void freeAligned128(void* block);
