// TexFacet: the Ptex texture plugin instance. It translates the host's plugin
// and texture interfaces into the engine's calls (engine/PtexBase.h) and
// implements the engine's hooks from the host's parameter list.
//
// Construction binds every parameter of the table to the engine's members and
// the output "color" to this instance's texture interface (nothing without a
// parameter list, which a descriptor without a table gives). Destruction
// releases the frame held, the cache reference included.
//
// renderBegin: result tables for the renderer's threads, assetPathFlag from
//   the renderer's AssetPathFlagInterface (0 without one), the parameters
//   cached at time 0.0 and the point (0, 0, 0), the shared cache size raised
//   to cache_size.
// frameBegin: the host library's own frameBegin, then the engine's.
// frameEnd: the frame is released. renderEnd: the engine's endRender.
// getTexColor: the engine's shade; getTexColorBounds: always (0,0,0,0) ..
//   (1,1,1,1).
// getInterface: EXT_SHADING_STATS gives the instance's statistics interface
//   (TexFacetStats), other ids as ZentoTexture answers them. The statistics
//   are the engine's lookup counts since the last frameBegin (kept after
//   frameEnd, dropped at renderEnd) and the shared Ptex cache's figures over
//   the cache's life (the cache lives while any instance holds a frame; after
//   the last release, the figures it ended with).
// Hooks: buildMesh builds the original-mesh model from the geometry parameters
// at the frame's time; checkAssetPath asks the host with assetPathFlag;
// textureLoaded does nothing.
//
// Threads: everything but getTexColor comes from one host thread while
// nothing shades; getTexColor from every render thread at once.
#pragma once

#include "engine/PtexBase.h"
#include "zento/ShadingStatsInterface.h"
#include "zento/TextureInterface.h"

class TexFacet;

// The statistics interface of a TexFacet, a member of the instance.
class TexFacetStats final : public ZUtils::ShadingStatsInterface {
public:
    explicit TexFacetStats(TexFacet& owner) : owner_(owner) {}
    PluginBase* getPlugin() override;
    uint64_t getShadingStats(ZUtils::ShadingStats& stats) override;

private:
    TexFacet& owner_;
};

class TexFacet : public ZUtils::ZentoTexture, public PtexBase {
public:
    explicit TexFacet(ZUtils::ZentoPluginDesc* desc);
    ~TexFacet() override;

    PluginInterface* getInterface(ZUtils::InterfaceID id) override {
        if (id == ZUtils::EXT_SHADING_STATS) return &stats_;
        return ZentoTexture::getInterface(id);
    }

    // Plugin interface.
    void renderBegin(ZUtils::ZentoRenderer* renderer) override;
    void renderEnd(ZUtils::ZentoRenderer* renderer) override;
    void frameBegin(ZUtils::ZentoRenderer* renderer) override;
    void frameEnd(ZUtils::ZentoRenderer* renderer) override;

    // Texture interface.
    ZUtils::AColor getTexColor(const ZUtils::ShadeContext& sc) override { return shade(sc); }
    void getTexColorBounds(ZUtils::AColor& lower, ZUtils::AColor& upper) override;

    // Engine hooks.
    std::unique_ptr<OrigMeshInterface> buildMesh(double time) override;
    bool checkAssetPath(char* path, int pathSize, ZUtils::ProgressCallback* progress) override;
    void textureLoaded() override {}

    int assetPathFlag() const { return assetPathFlag_; }

private:
    int assetPathFlag_ = 0;  // from the renderer at renderBegin
    TexFacetStats stats_{*this};
};
