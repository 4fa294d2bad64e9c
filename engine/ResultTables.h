// Per-thread result caches of a texture instance.
//
// ResultEntry {key, color}: key 0 marks an empty entry.
// ResultTable {count, growStep (30), capacity, entries}: one per render
//   thread, each in its own 128-byte-aligned block (taken from the runtime
//   heap, with the address of the underlying allocation kept just before the
//   block) so that tables of different threads never share a cache line.
//   resize(newCount, exact) makes count == newCount; growing beyond capacity
//   picks the new capacity (exact: newCount; step > 0: the smallest multiple
//   of the step greater than newCount; else newCount or the capacity doubled
//   until large enough; never above INT_MAX), copies the first count entries
//   into a new array (module allocator) and frees the old one. Entries beyond
//   the old count are not initialised. A failed allocation raises the allocator's failure and
//   leaves the table unchanged.
// ResultTables: the array of tables with its count.
//   create(threadCount): one empty table per thread (nothing for <= 0); when
//     the aligned block of a table cannot be had, no tables are kept.
//   clear(): key 0 in every entry in use; counts, capacities, colours stay.
//   destroy(): every table and the array; safe when there are none.
//   table(i): the table of render thread i (callers keep i in range).
//
// create, clear and destroy run in frame preparation only; a table is read
// and written during shading by its own thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zento/AColor.h"

struct ResultEntry {
    uint32_t key = 0;
    ZUtils::AColor color;
};

struct ResultTable {
    int count = 0;
    int growStep = 30;
    int capacity = 0;
    ResultEntry* entries = nullptr;

    ResultTable() = default;
    ~ResultTable();
    ResultTable(const ResultTable&) = delete;
    ResultTable& operator=(const ResultTable&) = delete;

    void resize(int newCount, bool exact);
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
