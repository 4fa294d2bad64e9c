#include "plugin/TexFacetLifecycle.h"

#include "plugin/TexFacet.h"
#include "zento/ShadingInterfaces.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoRenderer.h"

void texFacetRenderBegin(TexFacet& tex, ZUtils::ZentoRenderer* renderer) {
    const ZUtils::RenderSetup* setup = renderer ? &renderer->getRenderSetup() : nullptr;
    const auto* flag = ZUtils::queryInterface<ZUtils::AssetPathFlagInterface>(setup);
    tex.assetPathFlag = flag ? flag->value : 0;
    if (ZUtils::ZentoParameterList* list = tex.getParameterList()) {
        list->cacheParams(0.0, ZUtils::TracePoint{0.0, 0.0, 0.0});
    }
    texFacetHandOverCacheSize(tex, cacheSizeToBytes(tex.params.cacheSize));
}

void texFacetRenderEnd(TexFacet&, ZUtils::ZentoRenderer*) {}

void texFacetFrameBegin(TexFacet& tex, ZUtils::ZentoRenderer* renderer) { tex.baseFrameBegin(renderer); }

void texFacetFrameEnd(TexFacet&, ZUtils::ZentoRenderer*) {}

ZUtils::AColor texFacetGetTexColor(TexFacet&, const ZUtils::ShadeContext&) {
    return ZUtils::AColor(1.0f, 1.0f, 1.0f, 1.0f);
}

void texFacetHandOverCacheSize(TexFacet& tex, uint64_t bytes) { tex.cacheSizeBytes = bytes; }
