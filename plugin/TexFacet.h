// TexFacet: the Ptex texture plugin instance.
//
// A ZentoTexture (plugin interface + texture interface subobjects) and a
// PtexBase (the engine: frame state, bound parameters, image list). What the
// render and frame calls do is in TexFacetLifecycle.h, one function per call.
//
// Construction, in order: the host bases (the plugin interface makes the
// parameter list when the descriptor has a table), the texture interface, the
// engine part (no cache, texture, filters or model; parameters at their
// registered defaults), no result tables and assetPathFlag 0, then the 26
// parameter bindings (none without a parameter list), the last one the output
// "color" to this instance's texture interface.
//
// Destruction, in order: the result tables, the engine part (releases what
// the frame holds, the cache reference included, then the image list and the
// file name), the texture interface, the plugin interface (returns the
// parameter list), the name and the interface list.
//
// getTexColorBounds always gives (0,0,0,0) .. (1,1,1,1). The engine hooks:
// buildMesh builds the original-mesh model from the geometry parameters at
// the frame time (none without a parameter list); checkAssetPath asks the
// host with assetPathFlag; textureLoaded does nothing.
#pragma once

#include <cstdint>

#include "engine/PtexBase.h"
#include "engine/ResultTables.h"
#include "zento/TextureInterface.h"

class TexFacet : public ZUtils::ZentoTexture, public PtexBase {
public:
    explicit TexFacet(ZUtils::ZentoPluginDesc* desc);
    ~TexFacet() override;

    // Plugin interface.
    void renderBegin(ZUtils::ZentoRenderer* renderer) override;
    void renderEnd(ZUtils::ZentoRenderer* renderer) override;
    void frameBegin(ZUtils::ZentoRenderer* renderer) override;
    void frameEnd(ZUtils::ZentoRenderer* renderer) override;

    // Texture interface.
    ZUtils::AColor getTexColor(const ZUtils::ShadeContext& sc) override;
    void getTexColorBounds(ZUtils::AColor& lower, ZUtils::AColor& upper) override;

    // Engine hooks.
    bool buildMesh(double time) override;
    bool checkAssetPath(char* path, int pathSize, ZUtils::ProgressCallback* progress) override;
    void textureLoaded() override {}

    // Runs the host library's base frameBegin (the first step of frameBegin).
    void baseFrameBegin(ZUtils::ZentoRenderer* renderer) {
        ZentoPluginInterface::frameBegin(renderer);
    }

    ResultTables resultTables;  // one per render thread while a render runs
    int assetPathFlag = 0;      // from the renderer at renderBegin
};
