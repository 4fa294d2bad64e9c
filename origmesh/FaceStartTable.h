#pragma once
// FaceStartTable: the host-path table of the first Ptex face id of every original face,
// for quad-type textures shaded without an own model. One per texture instance (the
// engine's PtexBase owns it); built lazily, at most once per frame, by the first
// render thread that needs it, and dropped at the frame's release.
//
// bool ensureBuilt(const ZUtils::MeshInfoInterface& mesh, double time)
//   True when the table is ready. The "built" flag is read with acquire ordering
//   without the lock; when it is clear the caller takes the lock (scoped), tests the
//   flag again and, if still clear, builds: count = mesh.getNumOrigFaces(time) (a
//   negative count counts as 0), entry f = sum over faces before f of 1 for a degree
//   of 4 and the degree otherwise (degrees of 0 or less add nothing; the sum saturates
//   at INT_MAX so a hostile mesh cannot wrap it), every degree asked with
//   mesh.getFaceDegree(time, f). Table and count are written before the flag is set
//   with release ordering, so a thread that sees the flag sees the whole table. When
//   the table cannot be allocated the flag stays clear, the lock is released and the
//   call gives false (a later call tries again).
//
// int lookup(int origFace) const
//   Entry of origFace, or -1 when the table is not built or origFace is outside
//   [0, count). Only after ensureBuilt gave true on this thread (or with the table
//   built): reads no lock.
//
// void reset()
//   Frees the table and clears the flag (frame release; no shading may run).
//
// int builds() const
//   How many times the table was built since construction (diagnostics; read it only
//   while nobody shades).
//
// Thread-safe: ensureBuilt and lookup from every render thread at once; reset only
// while nobody shades.

#include <atomic>
#include <memory>
#include <mutex>

namespace ZUtils {
class MeshInfoInterface;
}

class FaceStartTable {
public:
    FaceStartTable() = default;
    FaceStartTable(const FaceStartTable&) = delete;
    FaceStartTable& operator=(const FaceStartTable&) = delete;

    // Inline: every host-path shading point asks, and all but the first find it built.
    bool ensureBuilt(const ZUtils::MeshInfoInterface& mesh, double time) {
        return built_.load(std::memory_order_acquire) || build(mesh, time);
    }
    int lookup(int origFace) const {
        if (!built_.load(std::memory_order_acquire)) return -1;
        if (origFace < 0 || origFace >= count_) return -1;
        return starts_[origFace];
    }
    void reset();

    bool isBuilt() const { return built_.load(std::memory_order_acquire); }
    int count() const { return isBuilt() ? count_ : 0; }
    int builds() const { return builds_; }

private:
    bool build(const ZUtils::MeshInfoInterface& mesh, double time);

    std::mutex lock_;
    std::atomic<bool> built_{false};
    std::unique_ptr<int[]> starts_;
    int count_ = 0;
    int builds_ = 0;  // written under the lock
};
