#include "plugin/TexFacet.h"

#include <algorithm>
#include <cstring>

#include "engine/SharedPtexCache.h"
#include "origmesh/BuildMesh.h"
#include "plugin/ParameterTable.h"
#include "zento/AssetPath.h"
#include "zento/ShadingInterfaces.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoRenderer.h"

TexFacet::TexFacet(ZUtils::ZentoPluginDesc* desc) : ZentoTexture(desc), PtexBase() {
    bindTexFacetParameters(getParameterList(), boundParameters(),
                           static_cast<ZUtils::TextureInterface*>(this));
}

// The engine part releases the frame as it goes.
TexFacet::~TexFacet() = default;

void TexFacet::renderBegin(ZUtils::ZentoRenderer* renderer) {
    const ZUtils::RenderSetup* setup = renderer ? &renderer->getRenderSetup() : nullptr;
    beginRender(setup ? setup->threadCount : 0);
    const auto* flag = ZUtils::queryInterface<ZUtils::AssetPathFlagInterface>(setup);
    assetPathFlag_ = flag ? flag->value : 0;
    if (ZUtils::ZentoParameterList* list = getParameterList())
        list->cacheParams(0.0, ZUtils::TracePoint{0.0, 0.0, 0.0});
    requestCacheSize();
}

void TexFacet::renderEnd(ZUtils::ZentoRenderer*) {
    endRender();
}

void TexFacet::frameBegin(ZUtils::ZentoRenderer* renderer) {
    ZentoPluginInterface::frameBegin(renderer);
    beginFrame(renderer);
}

void TexFacet::frameEnd(ZUtils::ZentoRenderer*) {
    releaseTexture();
}

void TexFacet::getTexColorBounds(ZUtils::AColor& lower, ZUtils::AColor& upper) {
    lower = ZUtils::AColor(0.0f, 0.0f, 0.0f, 0.0f);
    upper = ZUtils::AColor(1.0f, 1.0f, 1.0f, 1.0f);
}

std::unique_ptr<OrigMeshInterface> TexFacet::buildMesh(double time) {
    ZUtils::ZentoParameterList* list = getParameterList();
    const TextureFrame* f = frame();
    if (!list || !f || !f->texture()) return nullptr;
    return buildOrigMesh(static_cast<int>(f->texture()->meshType()), time, *list,
                         parameters().reverseVertices);
}

bool TexFacet::checkAssetPath(char* path, int pathSize, ZUtils::ProgressCallback* progress) {
    return ZUtils::checkAssetPath(path, pathSize, progress, assetPathFlag_ != 0);
}

PluginBase* TexFacetStats::getPlugin() {
    return static_cast<ZUtils::ZentoPlugin*>(&owner_);
}

// The whole record is made here and copied up to the size the caller knows.
uint64_t TexFacetStats::getShadingStats(ZUtils::ShadingStats& stats) {
    const ShadeCounts c = owner_.shadeCounts();
    ZUtils::ShadingStats all;
    all.lookups = c.lookups();
    all.cacheHits = c.n[kCacheHits];
    all.filterEvaluations = c.n[kFilterEvaluations];
    all.facesTouched = c.n[kFacesTouched];
    all.fallbackNoTexture = c.n[kNoTexture];
    all.fallbackNoMeshSource = c.n[kNoMeshSource];
    all.fallbackUnmappable = c.n[kUnmappable];
    all.fallbackBadThread = c.n[kBadThread];
    all.fallbackAllocationRefused = c.n[kAllocationRefused];
    PtexCache::Stats cache{};
    if (sharedPtexCache().figures(cache)) {
        all.cacheFilesOpened = cache.fileOpens;
        all.cacheBytesRead = cache.bytesRead;
        all.cachePeakMemory = cache.peakMemUsed;
    }
    // Whole fields only; a record too small for its size field is left alone.
    uint64_t filled = std::min<uint64_t>(stats.size, sizeof all);
    filled -= filled % sizeof(uint64_t);
    if (filled == 0) return 0;
    all.size = filled;
    std::memcpy(static_cast<void*>(&stats), &all, static_cast<size_t>(filled));
    return filled;
}
