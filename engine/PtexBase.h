// PtexBase: the Ptex engine part of a texture instance: its per-frame state,
// the frame load and release, and the channel and colour processing.
//
// Virtual operations (slot order): destructor, buildMesh(time),
// checkAssetPath(path, pathSize, progress), textureLoaded(). The texture class
// (TexFacet) implements the last three.
//
// load(renderer), at frame begin, in this order: gives back whatever the
// instance still holds (a frameBegin without frameEnd), chooses the frame's
// file into a zero-filled 1024-byte buffer (sequence/FrameFile.h, with this
// instance's checkAssetPath), takes a reference on the shared cache, opens the
// texture (a failure sends warning "%s" with the library's error text and
// ends the load), makes one filter per render thread with
// PtexFilter::Options(filter_type, lerp != 0, sharpness) (a null filter ends
// the load silently), sends verbose "PTex file \"%s\" loaded." and then info
// "PTex file has mip-maps." or warning "PTex file has no mip-maps.", calls
// textureLoaded(), prepareChannels() and buildMesh(frame time). Messages go to
// the renderer's progress callback and are skipped without one.
//
// releaseTexture(), at frame end and destruction: filters, texture,
// original-mesh model, face-start table, thread count, image list (cleared),
// then the cache reference, each only when held.
//
// ready(): the frame has a texture, every thread its filter and a sound
// channel set-up. Lookups of a frame that is not ready give (1, 1, 1, 1).
//
// prepareChannels(): once per frame load (see Channels.cpp); never rewrites
// the parameter members; false (frame not ready) for a file without channels
// or a channel range wider than the 1024-value filter buffer.
// mapChannels(buffer, sc): filtered channels to colour with alpha, gain and
// offset; runs on all render threads, allocates and locks nothing.
//
// Frame preparation (load, releaseTexture, prepareChannels) runs on one host
// thread while nothing shades; shading only reads this state, except the
// face-start table, which guards itself.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/PtexParams.h"
#include "origmesh/FaceStartTable.h"
#include "origmesh/OrigMeshInterface.h"
#include "sequence/ImageFileList.h"
#include "zento/AColor.h"

class PtexCache;
class PtexTexture;
class PtexFilter;

namespace ZUtils {
class ProgressCallback;
class ShadeContext;
class ZentoRenderer;
}  // namespace ZUtils

class PtexBase;

// The alpha rule of a frame: the instance and the filter's result buffer.
using AlphaFunction = float (*)(const PtexBase& base, const float* buffer);

float alphaOne(const PtexBase& base, const float* buffer);
float alphaFromChannel(const PtexBase& base, const float* buffer);
float alphaFromIntensity(const PtexBase& base, const float* buffer);

class PtexBase {
public:
    static constexpr int kPathSize = 1024;
    static constexpr int kMaxChannels = 1024;  // size of the filter result buffer

    PtexBase();
    virtual ~PtexBase();
    PtexBase(const PtexBase&) = delete;
    PtexBase& operator=(const PtexBase&) = delete;

    virtual bool buildMesh(double time) = 0;
    virtual bool checkAssetPath(char* path, int pathSize, ZUtils::ProgressCallback* progress) = 0;
    virtual void textureLoaded() = 0;

    void load(ZUtils::ZentoRenderer* renderer);
    void releaseTexture();
    bool holdsFrameResources() const;

    bool prepareChannels();
    ZUtils::AColor mapChannels(const float* buffer, const ZUtils::ShadeContext& sc) const;
    // One shading point without the result cache; (1, 1, 1, 1) when the frame is
    // not ready, no mesh source, an out-of-range thread or an unmappable point.
    ZUtils::AColor evaluate(const ZUtils::ShadeContext& sc);

    bool ready() const { return texture != nullptr && channelsReady; }
    // The file name the last load opened (or tried to open).
    const char* loadedFileName() const { return fileName; }

    // ---- engine state (one frame) ----
    PtexCache* cache = nullptr;      // the shared cache while this instance holds a reference
    PtexTexture* texture = nullptr;  // the frame's texture, null when none
    int threadCount = 0;
    PtexFilter** filters = nullptr;               // threadCount entries, index = render thread
    std::unique_ptr<OrigMeshInterface> origMesh;  // the frame's model, null when none
    FaceStartTable faceStarts;                    // host-path table, built lazily while shading
    bool channelsReady = false;                   // filters all made and channels prepared

    // ---- channel set-up of the frame (prepareChannels) ----
    int red = 0, green = 1, blue = 2;  // file channels of the colour components
    int alpha = -1;                    // file channel of alpha, -1 none
    int firstChannel = 0, lastChannel = 0;
    AlphaFunction alphaFunction = &alphaFromIntensity;
    bool gammaActive = false;
    float inverseGamma = 1.0f;

    // ---- bound parameters and image list ----
    PtexParams params;
    ImageFileList imageList;

    char fileName[kPathSize] = {};
};
