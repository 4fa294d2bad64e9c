#include "plugin/TexFacetLifecycle.h"

#include <climits>

#include "engine/SharedPtexCache.h"
#include "plugin/TexFacet.h"
#include "zento/ShadeContext.h"
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
    // The thread count may have changed since render begin: one table per thread of this frame.
    const int threads = renderer ? renderer->getRenderSetup().threadCount : 0;
    if (!tex.resultTables.exist() || tex.resultTables.count() != threads)
        tex.resultTables.create(threads);
    tex.resultTables.clear();
    tex.load(renderer);
}

void texFacetFrameEnd(TexFacet& tex, ZUtils::ZentoRenderer*) {
    tex.releaseTexture();
}

void texFacetRenderEnd(TexFacet& tex, ZUtils::ZentoRenderer*) {
    tex.resultTables.destroy();
    tex.imageList.resetList();
    sharedPtexCache().resetCacheSize();
}

ZUtils::AColor texFacetGetTexColor(TexFacet& tex, const ZUtils::ShadeContext& sc) {
    const ZUtils::AColor fallback(1.0f, 1.0f, 1.0f, 1.0f);
    // Key 0 marks empty entries, so it is never looked up or stored.
    const bool cached = tex.resultTables.exist() &&
                        !(sc.rayFlags & ZUtils::RAY_FLAG_NO_RESULT_CACHE) && sc.threadIndex >= 0 &&
                        sc.threadIndex < tex.resultTables.count() && sc.resultSlot >= 0 &&
                        sc.resultSlot < INT_MAX && sc.resultKey != 0;
    try {
        if (cached) {
            const ResultTable& t = tex.resultTables.table(sc.threadIndex);
            if (sc.resultSlot < t.count && t.entries[sc.resultSlot].key == sc.resultKey)
                return t.entries[sc.resultSlot].color;
        }
        const ZUtils::AColor result = tex.evaluate(sc);
        if (cached) {
            ResultTable& t = tex.resultTables.table(sc.threadIndex);
            const int i = sc.resultSlot;
            if (t.count <= i) {
                const int old = t.count;
                t.resize(i + 1, false);
                for (int k = old; k <= i; ++k) t.entries[k].key = 0;
            }
            t.entries[i].key = sc.resultKey;
            t.entries[i].color = result;
        }
        return result;
    } catch (const char*) {
        // The module's allocator has reported the failure; the render thread goes on.
        return fallback;
    }
}
