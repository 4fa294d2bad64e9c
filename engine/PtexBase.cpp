// Frame load and release of the texture engine.
#include "engine/PtexBase.h"

#include <cstring>
#include <new>

#include "Ptexture.h"
#include "engine/SharedPtexCache.h"
#include "sequence/FrameFile.h"
#include "zento/ProgressCallback.h"
#include "zento/ZentoRenderer.h"

PtexBase::PtexBase() = default;

PtexBase::~PtexBase() {
    releaseTexture();
}

bool PtexBase::holdsFrameResources() const {
    return cache || texture || filters || origMesh || faceStarts.isBuilt() || threadCount != 0;
}

void PtexBase::load(ZUtils::ZentoRenderer* renderer) {
    if (holdsFrameResources()) releaseTexture();  // frameBegin twice without frameEnd
    channelsReady = false;

    ZUtils::RenderSetup* setup = renderer ? &renderer->getRenderSetup() : nullptr;
    ZUtils::ProgressCallback* progress = setup ? setup->progress : nullptr;
    const int frameNumber = renderer ? renderer->getFrameState().frameNumber : 0;
    const double frameTime = renderer ? renderer->getFrameState().time : 0.0;

    FrameFileRequest request;
    request.ptexFile = params.ptexFile.ptr();
    request.useImageSequence = params.useImageSequence;
    request.imageNumber = params.imageNumber;
    request.imageOffset = params.imageOffset;
    request.frameNumber = frameNumber;
    chooseFrameFile(request, imageList, fileName, kPathSize, progress,
                    [this](char* path, int size, ZUtils::ProgressCallback* p) {
                        return checkAssetPath(path, size, p);
                    });

    cache = sharedPtexCache().acquireCache(progress);
    if (!cache) return;
    Ptex::String error;
    texture = cache->get(fileName, error);
    if (!texture) {
        if (progress) progress->warning("%s", error.c_str());
        return;
    }

    const int threads = setup && setup->threadCount > 0 ? setup->threadCount : 0;
    if (threads == 0) return;  // no render thread could shade this frame
    filters = new PtexFilter*[static_cast<size_t>(threads)]();
    threadCount = threads;
    const PtexFilter::Options options(static_cast<PtexFilter::FilterType>(params.filterType),
                                      params.lerp != 0, params.sharpness);
    for (int i = 0; i < threadCount; ++i) {
        filters[i] = PtexFilter::getFilter(texture, options);
        if (!filters[i]) return;  // the factory does not handle this file: no texture this frame
    }

    if (progress) {
        progress->verbose("PTex file \"%s\" loaded.", fileName);
        if (texture->hasMipMaps()) {
            progress->info("PTex file has mip-maps.");
        } else {
            progress->warning("PTex file has no mip-maps.");
        }
    }
    textureLoaded();
    channelsReady = prepareChannels();
    buildMesh(frameTime);
}

void PtexBase::releaseTexture() {
    channelsReady = false;
    if (filters) {
        for (int i = 0; i < threadCount; ++i) {
            if (filters[i]) filters[i]->release();
        }
        delete[] filters;
        filters = nullptr;
    }
    if (texture) {
        texture->release();
        texture = nullptr;
    }
    origMesh.reset();
    faceStarts.reset();
    threadCount = 0;
    imageList.clearList();
    if (cache) {
        sharedPtexCache().releaseCache();
        cache = nullptr;
    }
}
