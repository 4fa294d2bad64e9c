// List values of parameters (vertex positions, face index lists).
//
// A read of a list parameter gives a ListValue: a pointer to the first element,
// a reference-counted handle that keeps the storage alive, and the element
// count. The storage is immutable and owned by libzento (runtime heap), so a
// value may be kept after the parameter changes or is destroyed, and released
// from any module. Copying the handle adds a reference; the last handle frees
// the block.
#pragma once

#include <cstddef>

#include "zento/Export.h"
#include "zento/Vector.h"

namespace ZUtils {

class ZENTO_API ListHandle {
public:
    ListHandle() noexcept = default;
    ListHandle(const ListHandle& other) noexcept;
    ListHandle(ListHandle&& other) noexcept;
    ListHandle& operator=(const ListHandle& other) noexcept;
    ListHandle& operator=(ListHandle&& other) noexcept;
    ~ListHandle();

    // Makes a block of `bytes` bytes (zeroed) with one reference: this handle.
    static ListHandle allocate(size_t bytes);

    bool valid() const noexcept { return block_ != nullptr; }
    void* data() const noexcept;
    size_t bytes() const noexcept;
    int useCount() const noexcept;
    void reset() noexcept;

private:
    struct Block;
    Block* block_ = nullptr;
};

template <class T>
struct ListValue {
    const T* data = nullptr;  // first element; null when the list is empty
    ListHandle handle;        // keeps `data` alive
    int count = 0;            // number of elements

    const T& operator[](int i) const { return data[i]; }
};

using VectorListValue = ListValue<Vector3f>;
using IntListValue = ListValue<int>;

}  // namespace ZUtils
