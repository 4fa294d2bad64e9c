#include "plugin/TexFacet.h"

#include "Ptexture.h"
#include "origmesh/BuildMesh.h"
#include "plugin/ParameterTable.h"
#include "plugin/TexFacetLifecycle.h"
#include "zento/AssetPath.h"

TexFacet::TexFacet(ZUtils::ZentoPluginDesc* desc) : ZentoTexture(desc), PtexBase() {
    bindTexFacetParameters(getParameterList(), params, imageList,
                           static_cast<ZUtils::TextureInterface*>(this));
}

TexFacet::~TexFacet() {
    resultTables.destroy();
}

void TexFacet::renderBegin(ZUtils::ZentoRenderer* renderer) {
    texFacetRenderBegin(*this, renderer);
}
void TexFacet::renderEnd(ZUtils::ZentoRenderer* renderer) {
    texFacetRenderEnd(*this, renderer);
}
void TexFacet::frameBegin(ZUtils::ZentoRenderer* renderer) {
    texFacetFrameBegin(*this, renderer);
}
void TexFacet::frameEnd(ZUtils::ZentoRenderer* renderer) {
    texFacetFrameEnd(*this, renderer);
}

ZUtils::AColor TexFacet::getTexColor(const ZUtils::ShadeContext& sc) {
    return texFacetGetTexColor(*this, sc);
}

void TexFacet::getTexColorBounds(ZUtils::AColor& lower, ZUtils::AColor& upper) {
    lower = ZUtils::AColor(0.0f, 0.0f, 0.0f, 0.0f);
    upper = ZUtils::AColor(1.0f, 1.0f, 1.0f, 1.0f);
}

bool TexFacet::buildMesh(double time) {
    origMesh.reset();
    ZUtils::ZentoParameterList* list = getParameterList();
    if (!list || !texture) return false;
    origMesh =
        buildOrigMesh(static_cast<int>(texture->meshType()), time, *list, params.reverseVertices);
    return origMesh != nullptr;
}

bool TexFacet::checkAssetPath(char* path, int pathSize, ZUtils::ProgressCallback* progress) {
    return ZUtils::checkAssetPath(path, pathSize, progress, assetPathFlag != 0);
}
