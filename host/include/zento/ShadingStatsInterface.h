// ZUtils::ShadingStatsInterface (id EXT_SHADING_STATS): what a texture plugin
// instance tells its host about the shading it did, found with getInterface on
// the instance. An extra interface: a plugin without it answers null, and a
// descriptor's supportsInterface need not list it.
//
// ShadingStats: a plain record of 64-bit counters. `size` comes first and
// makes the record growable: the caller sets it to the bytes of its record
// (sizeof(ShadingStats) as it was compiled); getShadingStats fills the fields
// both sides know, sets `size` to the bytes it filled and leaves the rest as
// they were. New fields are only ever added at the end.
//
//   lookups             colour requests (getTexColor calls)
//   cacheHits           of those, answered from the per-thread result cache
//   filterEvaluations   Ptex filter evaluations
//   facesTouched        distinct Ptex faces the lookups mapped to
//   fallback*           lookups that answered the fallback colour, by reason:
//     NoTexture           no usable texture in the frame (missing, damaged,
//                         not a Ptex file, no filter for it, unusable channels)
//     NoMeshSource        neither a mesh of the plugin's own nor the hit
//                         object's mesh interface
//     Unmappable          the point maps to no Ptex face of the texture (a
//                         face outside the mesh, or one the file lacks)
//     BadThread           a thread index outside the render's thread count
//     AllocationRefused   memory refused while shading (result table growth,
//                         face lookup table, face data of the texture file)
//   cache*              figures of the plugin's texture file cache, which may
//                       be shared by every instance of the plugin:
//     FilesOpened         file opens (reopens of a closed handle included)
//     BytesRead           bytes read from texture files
//     PeakMemory          the most memory the cache held, in bytes
//
// Threads: call it while no render thread shades with the instance (between
// frames, or after the shading of a frame ended); which frame the counters
// cover is the plugin's to document.
#pragma once

#include <cstdint>

#include "zento/InterfaceIds.h"
#include "zento/Plugin.h"

namespace ZUtils {

struct ShadingStats {
    uint64_t size = sizeof(ShadingStats);
    uint64_t lookups = 0;
    uint64_t cacheHits = 0;
    uint64_t filterEvaluations = 0;
    uint64_t facesTouched = 0;
    uint64_t fallbackNoTexture = 0;
    uint64_t fallbackNoMeshSource = 0;
    uint64_t fallbackUnmappable = 0;
    uint64_t fallbackBadThread = 0;
    uint64_t fallbackAllocationRefused = 0;
    uint64_t cacheFilesOpened = 0;
    uint64_t cacheBytesRead = 0;
    uint64_t cachePeakMemory = 0;
};

class ShadingStatsInterface : public PluginInterface {
public:
    static constexpr InterfaceID ID = EXT_SHADING_STATS;

    InterfaceID getInterfaceID() const override { return EXT_SHADING_STATS; }
    const char* getInterfaceName() const override { return "EXT_SHADING_STATS"; }

    // Fills `stats` as above; returns the bytes filled (the new `size`).
    virtual uint64_t getShadingStats(ShadingStats& stats) = 0;
};

// The statistics interface of an instance, or null.
inline ShadingStatsInterface* getShadingStatsInterface(PluginBase* plugin) {
    PluginInterface* iface = plugin ? plugin->getInterface(EXT_SHADING_STATS) : nullptr;
    return iface ? static_cast<ShadingStatsInterface*>(iface) : nullptr;
}

}  // namespace ZUtils
