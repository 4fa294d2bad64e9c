#include "plugin/TexFacetLifecycle.h"

#include "engine/SharedPtexCache.h"
#include "plugin/TexFacet.h"
#include "zento/ShadingInterfaces.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoRenderer.h"

void texFacetRenderBegin(TexFacet& tex, ZUtils::ZentoRenderer* renderer) {
    const ZUtils::RenderSetup* setup = renderer ? &renderer->getRenderSetup() : nullptr;
    tex.resultTables.destroy();
    tex.resultTables.create(setup ? setup->threadCount : 0);
    const auto* flag = ZUtils::queryInterface<ZUtils::AssetPathFlagInterface>(setup);
    tex.assetPathFlag = flag ? flag->value : 0;
    if (ZUtils::ZentoParameterList* list = tex.getParameterList()) {
        list->cacheParams(0.0, ZUtils::TracePoint{0.0, 0.0, 0.0});
    }
    sharedPtexCache().raiseCacheSize(cacheSizeToBytes(tex.params.cacheSize));
}

void texFacetFrameBegin(TexFacet& tex, ZUtils::ZentoRenderer* renderer) {
    tex.baseFrameBegin(renderer);
    if (!tex.resultTables.exist()) {
        tex.resultTables.create(renderer ? renderer->getRenderSetup().threadCount : 0);
    }
    tex.resultTables.clear();
    tex.load(renderer);
}

void texFacetFrameEnd(TexFacet& tex, ZUtils::ZentoRenderer*) { tex.releaseTexture(); }

void texFacetRenderEnd(TexFacet& tex, ZUtils::ZentoRenderer*) {
    tex.resultTables.destroy();
    tex.imageList.resetList();
    sharedPtexCache().resetCacheSize();
}

ZUtils::AColor texFacetGetTexColor(TexFacet&, const ZUtils::ShadeContext&) {
    return ZUtils::AColor(1.0f, 1.0f, 1.0f, 1.0f);
}
