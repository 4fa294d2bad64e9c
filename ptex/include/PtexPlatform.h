#ifndef PtexPlatform_h
#define PtexPlatform_h
// Platform glue for the Ptex library: the standard headers every part uses and a
// compile-time check that the host is little-endian (the file format is).
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace PtexPlatform {
inline constexpr bool littleEndian = (std::endian::native == std::endian::little);
}
#endif
