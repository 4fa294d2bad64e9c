// Render and frame calls of the texture engine, and the frame load.
#include "engine/PtexBase.h"

#include <cstring>
#include <new>

#include "engine/SharedPtexCache.h"
#include "sequence/FrameFile.h"
#include "zento/ProgressCallback.h"
#include "zento/ZentoRenderer.h"

PtexBase::PtexBase() = default;

PtexBase::~PtexBase() {
    releaseTexture();
}

void PtexBase::setFilterFactory(FilterFactory factory) {
    filterFactory_ = factory ? factory : &PtexFilter::getFilter;
}

void PtexBase::beginRender(int threadCount) {
    resultTables_.destroy();
    resultTables_.create(threadCount);
    sharedCounts_.clear();
}

void PtexBase::requestCacheSize() {
    sharedPtexCache().raiseCacheSize(cacheSizeToBytes(params_.cacheSize));
}

void PtexBase::beginFrame(ZUtils::ZentoRenderer* renderer) {
    // The thread count may have changed since render begin: one table per thread of this frame.
    const int threads = renderer ? renderer->getRenderSetup().threadCount : 0;
    if (!resultTables_.exist() || resultTables_.count() != threads) resultTables_.create(threads);
    resultTables_.clear();
    sharedCounts_.clear();
    load(renderer);
}

ShadeCounts PtexBase::shadeCounts() const {
    ShadeCounts sum = resultTables_.sumCounts();
    sharedCounts_.addTo(sum);
    return sum;
}

void PtexBase::endRender() {
    resultTables_.destroy();
    faceBases_.release();
    imageList_.resetList();
    sharedPtexCache().resetCacheSize();
}

void PtexBase::releaseTexture() {
    faceBases_.reset();
    frame_.reset();
    imageList_.clearList();
}

// Each step either completes or ends the load, leaving what the frame holds so
// far to the next release: a frame without its texture, or without a filter
// for every thread, is not ready and shades the fallback colour.
void PtexBase::load(ZUtils::ZentoRenderer* renderer) {
    if (frame_) releaseTexture();  // frameBegin twice without frameEnd
    faceBases_.reset();            // filled again only for this frame's model
    frame_ = std::make_unique<TextureFrame>();
    TextureFrame& frame = *frame_;

    ZUtils::RenderSetup* setup = renderer ? &renderer->getRenderSetup() : nullptr;
    ZUtils::ProgressCallback* progress = setup ? setup->progress : nullptr;
    const int frameNumber = renderer ? renderer->getFrameState().frameNumber : 0;
    const double frameTime = renderer ? renderer->getFrameState().time : 0.0;

    FrameFileRequest request;
    request.ptexFile = params_.ptexFile.ptr();
    request.useImageSequence = params_.useImageSequence;
    request.imageNumber = params_.imageNumber;
    request.imageOffset = params_.imageOffset;
    request.frameNumber = frameNumber;
    request.stepping = {params_.iflStartFrame, params_.iflPlaybackRate, params_.iflEndCondition};
    chooseFrameFile(request, imageList_, fileName_, kPathSize, progress,
                    [this](char* path, int size, ZUtils::ProgressCallback* p) {
                        return checkAssetPath(path, size, p);
                    });

    PtexCache* cache = frame.cache_.acquire(progress);
    if (!cache) return;
    Ptex::String error;
    frame.texture_.reset(cache->get(fileName_, error));
    if (!frame.texture_) {
        if (progress) progress->warning("%s", error.c_str());
        return;
    }
    frame.meshType_ = static_cast<int>(frame.texture_->meshType());
    frame.numPtexFaces_ = frame.texture_->numFaces();
    // The touched-face set; refused, the frame counts no faces.
    if (const int faces = frame.numPtexFaces_; faces > 0) {
        frame.touched_.reset(new (std::nothrow) std::atomic<uint64_t>[(size_t(faces) + 63) / 64]());
        if (frame.touched_) frame.touchedFaces_ = faces;
    }

    const int threads = setup && setup->threadCount > 0 ? setup->threadCount : 0;
    if (threads == 0) return;  // no render thread could shade this frame
    frame.filters_.reset(new PtexPtr<PtexFilter>[static_cast<size_t>(threads)]);
    frame.threadCount_ = threads;
    const PtexFilter::Options options(static_cast<PtexFilter::FilterType>(params_.filterType),
                                      params_.lerp != 0, params_.sharpness);
    for (int i = 0; i < threads; ++i) {
        frame.filters_[i].reset(filterFactory_(frame.texture_.get(), options));
        if (!frame.filters_[i]) return;  // the factory does not handle this file
    }

    if (progress) {
        progress->verbose("PTex file \"%s\" loaded.", fileName_);
        if (frame.texture_->hasMipMaps()) {
            progress->info("PTex file has mip-maps.");
        } else {
            progress->warning("PTex file has no mip-maps.");
        }
    }
    textureLoaded();
    frame.ready_ = prepareChannels(params_, frame.texture_->numChannels(),
                                   frame.texture_->alphaChannel(), frame.channels_);
    frame.origMesh_ = buildMesh(frameTime);
    if (frame.origMesh_) {
        faceBases_.build(*frame.origMesh_, params_.reverseVertices, frame.meshType_,
                         frame.numPtexFaces_);
    } else {
        // Optional: refused, the host-path lookups map every point in full.
        frame.recentBases_.reset(new (std::nothrow) FaceBasisCache[static_cast<size_t>(threads)]);
    }
}
