#include "plugin/TexFacet.h"

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
