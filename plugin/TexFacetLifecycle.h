// What a TexFacet does for each host call, one function each.
//
// texFacetRenderBegin: new result tables (one per render thread of the
//   renderer), assetPathFlag from the renderer's AssetPathFlagInterface (0
//   without one), the parameters cached at time 0.0 and the point (0, 0, 0)
//   (nothing without a parameter list), then cache_size x 1048576 (64-bit)
//   raises the shared cache size; a cache_size of 0 or less asks for nothing,
//   so the 100 MB floor holds.
// texFacetFrameBegin: the host's base frameBegin, result tables made when
//   absent or when their number is not the renderer's thread count, every
//   entry cleared, then the engine's load.
// texFacetFrameEnd: the engine gives back what the frame holds.
// texFacetRenderEnd: result tables destroyed, the image list forgotten
//   (failed lists included), the shared cache size reset to 100 MB.
// texFacetGetTexColor: the thread's result table around PtexBase::evaluate
//   (bypassed with ray bit 22, a key of 0 or an out-of-range thread or slot);
//   a table growth refused by the allocator answers (1, 1, 1, 1) uncached.
//   Runs on all render threads: no lock, nothing thrown out.
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

// cache_size in MB as the 64-bit byte count for the shared cache (0 for a
// size of 0 or less: such a size asks for nothing).
inline uint64_t cacheSizeToBytes(int megabytes) {
    return megabytes > 0 ? static_cast<uint64_t>(megabytes) * 1048576ull : 0ull;
}
