// TexFacet: the Ptex texture plugin instance.
//
// A ZentoTexture (plugin interface + texture interface subobjects). Its state
// sits in one place, the members below; what the render and frame calls do
// is in TexFacetLifecycle.h, one function per call, so that the engine can
// take them over without touching the class.
//
// Construction, in order: the host bases (the plugin interface makes the
// parameter list when the descriptor has a table), the members at their
// construction values (parameters at their registered defaults, no result
// tables, assetPathFlag 0), then the 26 parameter bindings (none without a
// parameter list), the last binding the output "color" to this instance's
// texture interface. Destruction runs the bases in the reverse order (the
// plugin interface returns the parameter list, then the name and the
// interface list go).
//
// getTexColorBounds always gives (0,0,0,0) .. (1,1,1,1).
#pragma once

#include "plugin/TexFacetParams.h"
#include "sequence/ImageFileList.h"
#include "zento/TextureInterface.h"

class TexFacet : public ZUtils::ZentoTexture {
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

    // Runs the host library's base frameBegin (the first step of frameBegin).
    void baseFrameBegin(ZUtils::ZentoRenderer* renderer) { ZentoPluginInterface::frameBegin(renderer); }

    // ---- instance state ----
    TexFacetParams params;     // bound parameter members
    ImageFileList imageList;   // image file list state (ifl_* are bound into it)
    int assetPathFlag = 0;     // from the renderer at renderBegin
    uint64_t cacheSizeBytes = 0;  // last cache size handed over at renderBegin
};
