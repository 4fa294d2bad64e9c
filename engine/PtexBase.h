// PtexBase: the Ptex texture engine of one texture instance. It owns the
// instance's parameter values, its image file list, its per-thread result
// tables and the frame it currently holds (TextureFrame), and answers the
// shading lookups. The plugin class (TexFacet) translates the host's calls
// into the calls below and implements the three hooks.
//
// Hooks (virtual, in slot order after the destructor):
//   buildMesh(time) -> the original-mesh model of the frame at the frame's
//     time, or null (the host's mesh interface then answers). Called at the
//     end of a successful load; frame()->texture() is the opened file.
//   checkAssetPath(path, pathSize, progress): may rewrite a plain file name
//     in place before it is opened; the result is not examined.
//   textureLoaded(): called once the texture and the filters are in place.
//
// Render and frame calls. All of them run on one host thread while nothing
// shades with the instance. Messages go to the renderer's progress callback
// and are skipped without one; refused allocations (other than those below)
// leave through the call as the module allocator raises them.
//   beginRender(threadCount): new, empty result tables, one per thread; the
//   lookup counts at 0.
//   requestCacheSize(): raises the shared cache size to cache_size MB.
//   beginFrame(renderer): result tables made when absent or when their number
//     is not the renderer's thread count, every entry and the lookup counts
//     cleared, then the frame load: the frame's file (sequence/FrameFile.h), a
//     reference on the shared cache, the texture (warning "%s" with the
//     library's error text when it cannot be opened), the frame's touched-face
//     set (one bit per Ptex face, from the nothrow allocator: refused, no
//     faces are counted), one filter per render thread from the filter
//     factory (a null filter ends the load silently), verbose "PTex file
//     \"%s\" loaded." then info "PTex file has mip-maps." or warning "PTex
//     file has no mip-maps.", textureLoaded(), the channel set-up, the
//     model and the face basis of each of its render triangles
//     (origmesh/FaceBasisTable.h), or without a model one cache per thread
//     of the face bases its lookups find through the host's mesh
//     (origmesh/FaceBasisCache.h; refused, every such point maps in full).
//     A frame still held is released first.
//   releaseTexture(): gives back the frame (filters, texture, model,
//     face-start table, cache reference), empties the face bases (keeping
//     their memory for the next frame) and forgets the loaded image list.
//   endRender(): destroys the result tables, frees the face bases, forgets
//     the image list (failed paths too) and resets the shared cache size to
//     its floor.
//
// Shading, from every render thread at once:
//   shade(sc) -> the colour with alpha at the shading point, through the
//     calling thread's result table: a request with the slot and key of a
//     stored entry answers from it; otherwise the point is evaluated and its
//     result stored. The table is bypassed for ray bit 22, a key of 0, and a
//     thread or slot outside the tables. (1, 1, 1, 1) when the frame is not
//     ready, the thread index is outside the render's threads, there is no
//     mesh source, the point cannot be mapped, the table's growth is refused
//     (the result then is not stored) or the Ptex library raises a refused
//     allocation while it reads face data.
//   Neither locks (the face-start table takes its lock once per frame) nor
//   lets an exception out. Allocation: none, except that a thread's result
//   table grows when a request's slot is at or beyond its capacity (by whole
//   steps of 30 entries; tables keep their size for the whole render), the
//   face-start table is built by the first host-path lookup of a quad frame,
//   and the Ptex library reads face data not yet in its cache.
//   Every lookup is counted (ShadeCounts.h) in the calling thread's table
//   block, without lock or atomic; a thread without a block (index outside
//   the tables, or no tables) counts in relaxed atomics of the instance.
//   Faces touched: the first lookup of the frame that maps to a face sets
//   its bit in the frame's touched-face set and counts it.
//
// shadeCounts() -> the counts of every thread added up: the lookups since the
// last frameBegin (or renderBegin), kept after the frame's release until the
// next frameBegin (renderEnd drops them with the tables). Frame preparation
// only (nobody shades).
//
// setFilterFactory(factory): the function that makes each thread's filter at
// the next load (null: PtexFilter::getFilter, the default). For tests and
// embedders that supply their own filters; frame preparation only.
#pragma once

#include <memory>

#include "Ptexture.h"
#include "engine/PtexParams.h"
#include "engine/ResultTables.h"
#include "engine/ShadeCounts.h"
#include "engine/TextureFrame.h"
#include "origmesh/FaceBasisTable.h"
#include "origmesh/OrigMeshInterface.h"
#include "sequence/ImageFileList.h"
#include "zento/AColor.h"

namespace ZUtils {
class MeshInfoInterface;
class ProgressCallback;
class ShadeContext;
class ZentoRenderer;
}  // namespace ZUtils

class PtexBase {
public:
    static constexpr int kPathSize = 1024;
    using FilterFactory = PtexFilter* (*)(PtexTexture* texture, const PtexFilter::Options& options);

    PtexBase();
    virtual ~PtexBase();
    PtexBase(const PtexBase&) = delete;
    PtexBase& operator=(const PtexBase&) = delete;

    virtual std::unique_ptr<OrigMeshInterface> buildMesh(double time) = 0;
    virtual bool checkAssetPath(char* path, int pathSize, ZUtils::ProgressCallback* progress) = 0;
    virtual void textureLoaded() = 0;

    void beginRender(int threadCount);
    void requestCacheSize();
    void beginFrame(ZUtils::ZentoRenderer* renderer);
    void releaseTexture();
    void endRender();

    ZUtils::AColor shade(const ZUtils::ShadeContext& sc);
    ShadeCounts shadeCounts() const;

    void setFilterFactory(FilterFactory factory);

    const PtexParams& parameters() const { return params_; }
    // The frame held, or null between frameEnd and the next load.
    const TextureFrame* frame() const { return frame_.get(); }
    bool ready() const { return frame_ && frame_->ready(); }
    const ResultTables& resultTables() const { return resultTables_; }
    // The file name the last load opened (or tried to open).
    const char* loadedFileName() const { return fileName_; }

protected:
    // The members the host's parameter list writes (bound at construction).
    PtexParams& boundParameters() { return params_; }

private:
    void load(ZUtils::ZentoRenderer* renderer);
    // A lookup the result cache did not answer: evaluated, then stored in
    // `table` (null: not stored), counted in `counts`.
    ZUtils::AColor miss(const ZUtils::ShadeContext& sc, ResultTable* table, ShadeCounts& counts);
    // The lookup of one point without the result tables.
    ZUtils::AColor evaluate(const ZUtils::ShadeContext& sc, ShadeCounts& counts);
    // Its two halves: the face basis of a point without one at hand, made in `room`
    // (null: no result, counted; a host mesh's basis is kept for the thread's next
    // points), and the filtered colour of the point P in a face basis.
    const FaceBasis* mapInFull(const ZUtils::ShadeContext& sc, ShadeCounts& counts,
                               ZUtils::MeshInfoInterface* hostMesh, const ZUtils::Vector3f& P,
                               void* room);
    ZUtils::AColor shadeFace(const ZUtils::ShadeContext& sc, ShadeCounts& counts,
                             PtexFilter* filter, const FaceBasis& basis, const ZUtils::Vector3f& P);

    PtexParams params_;
    ImageFileList imageList_;
    ResultTables resultTables_;
    SharedShadeCounts sharedCounts_;
    std::unique_ptr<TextureFrame> frame_;
    // The face bases of the frame's own model; outlives frames for its memory.
    FaceBasisTable faceBases_;
    FilterFactory filterFactory_ = &PtexFilter::getFilter;
    char fileName_[kPathSize] = {};
};
