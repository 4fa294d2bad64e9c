// What a TexFacet does for each host call, one replaceable function each.
//
// texFacetRenderBegin: takes assetPathFlag from the renderer's
//   AssetPathFlagInterface (0 without one), caches the parameters at time 0.0
//   and the point (0, 0, 0) (nothing without a parameter list), then hands
//   cache_size x 1048576 (64-bit, from the sign-extended value) to the shared
//   cache size (texFacetHandOverCacheSize).
// texFacetFrameBegin: the host's base frameBegin first; nothing else yet.
// texFacetFrameEnd / texFacetRenderEnd: nothing to give back yet.
// texFacetGetTexColor: (1, 1, 1, 1) until the lookup is in place. Runs on all
//   render threads: no allocation, lock or throw.
// texFacetHandOverCacheSize: records the byte count on the instance.
#pragma once

#include <cstdint>

#include "zento/AColor.h"

namespace ZUtils {
class ZentoRenderer;
class ShadeContext;
}  // namespace ZUtils

class TexFacet;

void texFacetRenderBegin(TexFacet& tex, ZUtils::ZentoRenderer* renderer);
void texFacetRenderEnd(TexFacet& tex, ZUtils::ZentoRenderer* renderer);
void texFacetFrameBegin(TexFacet& tex, ZUtils::ZentoRenderer* renderer);
void texFacetFrameEnd(TexFacet& tex, ZUtils::ZentoRenderer* renderer);
ZUtils::AColor texFacetGetTexColor(TexFacet& tex, const ZUtils::ShadeContext& sc);
void texFacetHandOverCacheSize(TexFacet& tex, uint64_t bytes);

// cache_size in MB as the 64-bit byte count handed to the shared cache.
inline uint64_t cacheSizeToBytes(int megabytes) {
    return static_cast<uint64_t>(static_cast<int64_t>(megabytes)) * 1048576ull;
}
