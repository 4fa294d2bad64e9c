#pragma once
// FaceBasisTable: the face basis of every render triangle of an own model, found once
// per frame, so that a shading point maps with one solve in a basis whose products are
// already made instead of a full face mapping (corner search, positions, products).
//
// void build(const OrigMeshInterface& model, int reverse, int meshType, int numPtexFaces)
//   One entry per render triangle: findFaceBasis of the triangle with the texture's mesh
//   type and face count. An entry is kUnmappable where the mapping gives no result and
//   kPointDependent where the basis depends on the point (the sub-faces of a non-quad).
//   Left empty when the table would exceed kMaxBytes (80 bytes a triangle) or its
//   memory is refused: every lookup then takes the full mapping. built() tells which.
//   The memory is kept for the next build (a frame of the same mesh writes the same
//   pages again instead of having fresh ones mapped and cleared by the system, which
//   cost several times the build itself).
// const FaceBasis* entry(int renderFace) const
//   The entry of a render triangle; null when renderFace is outside [0, count) or the
//   table is empty (count 0). status(entry): kMapped (the entry is the basis),
//   kUnmappable (no result) or kPointDependent (the caller maps the point in full).
// reset(): empties the table, keeping its memory (frame release); release(): frees it.
//
// Frame preparation builds and resets it; shading reads it from every thread at once.
#include <cstddef>
#include <cstdlib>
#include <memory>

#include "origmesh/FaceMapping.h"
#include "origmesh/OrigMeshInterface.h"

class FaceBasisTable {
public:
    static constexpr size_t kMaxBytes = size_t(256) << 20;
    enum Status { kMapped, kUnmappable, kPointDependent };

    void build(const OrigMeshInterface& model, int reverse, int meshType, int numPtexFaces);
    void reset() { count_ = 0; }
    void release() {
        reset();
        bases_.reset();
        capacity_ = 0;
    }
    bool built() const { return count_ > 0; }

    // The entry of a render triangle, or null (renderFace out of range, or no table).
    const FaceBasis* entry(int renderFace) const {
        return renderFace >= 0 && renderFace < count_ ? &bases_[renderFace] : nullptr;
    }
    // An entry's basis (faceId >= 0), or what stands in its place.
    static Status status(const FaceBasis& entry) {
        return entry.faceId >= 0           ? kMapped
               : entry.faceId == kNoResult ? kUnmappable
                                           : kPointDependent;
    }

private:
    static constexpr int kNoResult = -1;
    static constexpr int kPerPoint = -2;

    struct Free {
        void operator()(FaceBasis* p) const { std::free(p); }
    };
    std::unique_ptr<FaceBasis[], Free> bases_;
    int count_ = 0;
    int capacity_ = 0;
};
