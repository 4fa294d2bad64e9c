// TextureFrame: everything one frame of a texture instance holds, owned as one
// unit: the instance's reference on the shared cache, the opened texture, one
// filter per render thread, the original-mesh model, the host-path face-start
// table and face basis caches, the channel set-up and the set of Ptex faces the
// lookups touched.
//
// PtexBase builds it in its frame load and destroys it whole when the frame is
// released; destruction gives back the filters, the texture, the model, the
// face-start table and last the cache reference. A frame whose load stopped
// early keeps what it got until then and is not ready().
//
// Threads: built and destroyed in frame preparation. While shading runs it is
// read from every render thread; filter(i) and recentBases(i) are used by
// thread i only, the face-start table guards its own lazy build, and touchFace
// sets a face's bit with a relaxed atomic or, only after a relaxed load found
// it clear: a face already touched costs no write, so once the frame's faces
// are known the threads share the set's cache lines read-only.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "Ptexture.h"
#include "engine/Channels.h"
#include "engine/SharedPtexCache.h"
#include "origmesh/FaceBasisCache.h"
#include "origmesh/FaceStartTable.h"
#include "origmesh/OrigMeshInterface.h"

class TextureFrame {
public:
    TextureFrame() = default;
    TextureFrame(const TextureFrame&) = delete;
    TextureFrame& operator=(const TextureFrame&) = delete;

    // The texture, a filter for every thread and a sound channel set-up.
    bool ready() const { return ready_; }
    bool holdsCache() const { return cache_.get() != nullptr; }
    PtexTexture* texture() const { return texture_.get(); }
    int threadCount() const { return threadCount_; }
    // The filter of render thread i; null outside [0, threadCount()).
    PtexFilter* filter(int thread) const {
        return thread >= 0 && thread < threadCount_ ? filters_[thread].get() : nullptr;
    }
    // The frame's own model; null: the host's mesh interface answers.
    const OrigMeshInterface* origMesh() const { return origMesh_.get(); }
    // The texture's mesh type and face count, asked once at the load.
    int meshType() const { return meshType_; }
    int numPtexFaces() const { return numPtexFaces_; }
    const FaceStartTable& faceStarts() const { return faceStarts_; }
    // The face bases render thread i found lately through the host's mesh: null for a
    // frame with its own model, when their memory was refused, or i out of range.
    FaceBasisCache* recentBases(int thread) const {
        return recentBases_ && thread >= 0 && thread < threadCount_ ? &recentBases_[thread]
                                                                    : nullptr;
    }
    FaceStartTable& faceStarts() { return faceStarts_; }
    const ChannelSetup& channels() const { return channels_; }
    // Marks Ptex face `face` touched; true for the one call that marked it
    // first. False without a touched-face set (refused) or outside the faces.
    bool touchFace(int face) {
        if (face < 0 || face >= touchedFaces_) return false;
        std::atomic<uint64_t>& word = touched_[face >> 6];
        const uint64_t bit = uint64_t(1) << (face & 63);
        return !(word.load(std::memory_order_relaxed) & bit) &&
               !(word.fetch_or(bit, std::memory_order_relaxed) & bit);
    }

private:
    friend class PtexBase;  // the frame load fills it in

    // Declared in reverse order of release.
    SharedCacheLease cache_;
    FaceStartTable faceStarts_;
    std::unique_ptr<OrigMeshInterface> origMesh_;
    std::unique_ptr<FaceBasisCache[]> recentBases_;  // one per thread, host-mesh frames
    PtexPtr<PtexTexture> texture_;
    std::unique_ptr<PtexPtr<PtexFilter>[]> filters_;
    int threadCount_ = 0;
    int meshType_ = 1;
    int numPtexFaces_ = 0;
    ChannelSetup channels_;
    std::unique_ptr<std::atomic<uint64_t>[]> touched_;  // one bit per Ptex face
    int touchedFaces_ = 0;
    bool ready_ = false;
};
