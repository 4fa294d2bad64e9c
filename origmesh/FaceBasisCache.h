#pragma once
// FaceBasisCache: the face bases one render thread found lately through the host's mesh,
// so that the next point on the same render triangle maps with one solve instead of the
// dozen or so mesh queries of a full face mapping.
//
// Kept by (mesh object, render triangle) with the vertices the basis was made of and
// the ray time it holds at. A point at another time (motion blur) gets the basis made
// again from those vertices' positions at its time: three vertex queries instead of a
// full mapping. So the host's topology answers (faces, corners, the face of a render
// triangle) must not change while the cache lives, its positions may move with time.
// The texture frame holds one cache per thread and drops them with the frame; within a
// frame the face-start table already relies on a fixed topology. Only bases valid for
// every point of their triangle are stored (not the sub-faces of a non-quad).
//
// find(object, triangle, time, host): the kept basis of that object and triangle at
//   `time` (made again through `host` when kept at another time), or null. Always
//   null for a null object, which marks an empty slot.
// store(object, triangle, time, basis, corners): keeps a basis found at `time` and the
//   vertices it was made of, replacing whatever shared its slot.
//
// kEntries slots, direct-mapped by triangle: neighbouring triangles take different
// slots, so the faces a thread's rays keep hitting stay. One thread only; no
// allocation, no lock.
#include <cstdint>
#include <cstring>

#include "origmesh/FaceMapping.h"
#include "zento/ShadingInterfaces.h"

class FaceBasisCache {
public:
    static constexpr int kEntries = 64;

    // Inline in the lookup (left to itself the compiler calls it).
    [[gnu::always_inline]] const FaceBasis* find(const void* object, int triangle, double time,
                                                 const ZUtils::MeshInfoInterface& host) {
        Entry& e = entries_[slot(triangle)];
        if (!object || e.object != object || e.triangle != triangle) return nullptr;
        if (e.time != bits(time)) {
            basisAt(host, time, e.corners, e.basis);
            e.time = bits(time);
        }
        return &e.basis;
    }
    void store(const void* object, int triangle, double time, const FaceBasis& basis,
               const BasisVertices& corners) {
        Entry& e = entries_[slot(triangle)];
        e.object = object;
        e.triangle = triangle;
        e.time = bits(time);
        e.basis = basis;
        e.corners = corners;
    }

private:
    struct Entry {
        const void* object = nullptr;  // null: empty
        uint64_t time = 0;             // the time's bits: equal inputs, equal answers
        int triangle = -1;
        BasisVertices corners;
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
