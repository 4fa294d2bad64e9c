// Interface ids: 64-bit unsigned numbers by which plugins and host objects are
// asked for interfaces (getInterface). Compared as 64-bit values.
#pragma once

#include <cstdint>

namespace ZUtils {

using InterfaceID = uint64_t;

// Plugin-side interfaces.
inline constexpr InterfaceID EXT_TEXTURE = 0x77780002ull;       // "EXT_TEXTURE"
inline constexpr InterfaceID EXT_ZENTO_PLUGIN = 0x7776FFFFull;  // "EXT_ZENTO_PLUGIN"
// Optional plugin-side interfaces (an instance may answer null).
inline constexpr InterfaceID EXT_SHADING_STATS = 0x77780053ull;  // "EXT_SHADING_STATS"

// Host interfaces reached at shading time or from the render setup.
inline constexpr InterfaceID EXT_MESH_INFO = 2012052901ull;          // 0x77ED7DA5, of a hit object
inline constexpr InterfaceID EXT_HIT_POINT_MAPPING = 2006012001ull;  // of a hit object
inline constexpr InterfaceID EXT_WORLD_POINT_MAPPING = 2011092901ull;  // of a hit object
inline constexpr InterfaceID EXT_FILTER_SCALE = 2012011901ull;         // of a RenderSetup
inline constexpr InterfaceID EXT_ASSET_PATH_FLAG = 0x77ED2C65ull;      // of a RenderSetup

}  // namespace ZUtils
