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
//   beginRender(threadCount): new, empty result tables, one per thread.
//   requestCacheSize(): raises the shared cache size to cache_size MB.
//   beginFrame(renderer): result tables made when absent or when their number
//     is not the renderer's thread count, every entry cleared, then the frame
//     load: the frame's file (sequence/FrameFile.h), a reference on the shared
//     cache, the texture (warning "%s" with the library's error text when it
//     cannot be opened), one filter per render thread from the filter factory
//     (a null filter ends the load silently), verbose "PTex file \"%s\"
//     loaded." then info "PTex file has mip-maps." or warning "PTex file has
//     no mip-maps.", textureLoaded(), the channel set-up and the model. A frame
//     still held is released first.
//   releaseTexture(): gives back the frame (filters, texture, model,
//     face-start table, cache reference) and forgets the loaded image list.
//   endRender(): destroys the result tables, forgets the image list (failed
//     paths too) and resets the shared cache size to its floor.
//
// Shading, from every render thread at once:
//   shade(sc) -> the colour with alpha at the shading point, through the
//     calling thread's result table: a request with the slot and key of a
//     stored entry answers from it; otherwise evaluate(sc) runs and its result
//     is stored. The table is bypassed for ray bit 22, a key of 0, and a
//     thread or slot outside the tables. (1, 1, 1, 1) when the frame is not
//     ready, there is no mesh source, the point cannot be mapped, the table's
//     growth is refused (the result then is not stored) or the Ptex library
//     raises a refused allocation while it reads face data.
//   evaluate(sc) -> the same without the result tables.
//   Neither locks (the face-start table takes its lock once per frame) nor
//   lets an exception out. Allocation: none, except that a thread's result
//   table grows when a request's slot is at or beyond its capacity (by whole
//   steps of 30 entries; tables keep their size for the whole render), the
//   face-start table is built by the first host-path lookup of a quad frame,
//   and the Ptex library reads face data not yet in its cache.
//
// setFilterFactory(factory): the function that makes each thread's filter at
// the next load (null: PtexFilter::getFilter, the default). For tests and
// embedders that supply their own filters; frame preparation only.
#pragma once

#include <memory>

#include "Ptexture.h"
#include "engine/PtexParams.h"
#include "engine/ResultTables.h"
#include "engine/TextureFrame.h"
#include "origmesh/OrigMeshInterface.h"
#include "sequence/ImageFileList.h"
#include "zento/AColor.h"

namespace ZUtils {
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
    ZUtils::AColor evaluate(const ZUtils::ShadeContext& sc);

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

    PtexParams params_;
    ImageFileList imageList_;
    ResultTables resultTables_;
    std::unique_ptr<TextureFrame> frame_;
    FilterFactory filterFactory_ = &PtexFilter::getFilter;
    char fileName_[kPathSize] = {};
};
