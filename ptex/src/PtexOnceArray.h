#ifndef PtexOnceArray_h
#define PtexOnceArray_h
// OnceArray<T> - an array made on first use, for reader state that an open need
// not pay for (most textures never ask for it).
//
//  - get(): the array, or null before it was made (acquire: a thread that sees
//    the pointer also sees the initialised elements).
//  - make(n, init): the array, made now if need be: n default-constructed T,
//    init(T*) fills them, then one compare-exchange publishes it. Lock-free; a
//    thread that loses the publishing race frees its own copy and returns the
//    winner's, so init must give every thread the same contents.
//  - reset(): frees the array; only while no other thread uses it.
#include <atomic>
#include <cstddef>
#include <memory>

namespace PtexInternal {

template <class T>
class OnceArray {
public:
    OnceArray() = default;
    ~OnceArray() { reset(); }
    OnceArray(const OnceArray&) = delete;
    OnceArray& operator=(const OnceArray&) = delete;

    T* get() const { return _p.load(std::memory_order_acquire); }

    template <class Init>
    T* make(size_t n, Init init) {
        T* p = _p.load(std::memory_order_acquire);
        if (p) return p;
        std::unique_ptr<T[]> fresh(new T[n ? n : 1]);
        init(fresh.get());
        if (_p.compare_exchange_strong(p, fresh.get(), std::memory_order_acq_rel,
                                       std::memory_order_acquire))
            return fresh.release();
        return p;  // another thread published first
    }

    void reset() { delete[] _p.exchange(nullptr, std::memory_order_acq_rel); }

private:
    std::atomic<T*> _p{nullptr};
};

}  // namespace PtexInternal

#endif
