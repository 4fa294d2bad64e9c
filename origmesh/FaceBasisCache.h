#pragma once
// FaceBasisCache: the face bases one render thread found lately through the host's mesh,
// so that the next point on the same render triangle maps with one solve instead of the
// dozen or so mesh queries of a full face mapping.
//
// Keyed by (mesh object, render triangle, shading time): the host's mesh answers for a
// key must not change while the cache lives. The texture frame holds one cache per
// thread and drops them with the frame, so an object's mesh may change from frame to
// frame; within a frame the face-start table already relies on fixed answers.
// Only bases valid for every point of their triangle are stored (not the sub-faces of
// a non-quad, whose basis depends on the point).
//
// find(object, triangle, time): the stored basis of that key, or null (always for a
//   null object, which marks an empty slot).
// store(object, triangle, time, basis): keeps it, replacing whatever shared its slot.
//
// kEntries slots, direct-mapped by triangle: neighbouring triangles take different
// slots, so the faces a thread's rays keep hitting stay. One thread only; no
// allocation, no lock.
#include <cstdint>
#include <cstring>

#include "origmesh/FaceMapping.h"

class FaceBasisCache {
public:
    static constexpr int kEntries = 64;

    const FaceBasis* find(const void* object, int triangle, double time) const {
        const Entry& e = entries_[slot(triangle)];
        return object && e.object == object && e.triangle == triangle && e.time == bits(time)
                   ? &e.basis
                   : nullptr;
    }
    void store(const void* object, int triangle, double time, const FaceBasis& basis) {
        Entry& e = entries_[slot(triangle)];
        e.object = object;
        e.triangle = triangle;
        e.time = bits(time);
        e.basis = basis;
    }

private:
    struct Entry {
        const void* object = nullptr;  // null: empty
        uint64_t time = 0;             // the time's bits: equal inputs, equal answers
        int triangle = -1;
        FaceBasis basis;
    };
    static int slot(int triangle) { return triangle & (kEntries - 1); }
    static uint64_t bits(double t) {
        uint64_t b;
        std::memcpy(&b, &t, sizeof b);
        return b;
    }
    Entry entries_[kEntries];
};
