#ifndef PtexInflate_h
#define PtexInflate_h
// Inflation of whole zlib-format streams into buffers of known size.
//
// Contract: inflate(src, srcsize, dst, dstsize) returns true only if src holds
// one complete, valid zlib stream that inflates to exactly dstsize bytes (a
// stream that is short, long or damaged is an error). Thread safe: each thread
// uses its own decompressor state. Two back ends exist so they can be compared;
// `inflate` uses the faster one (libdeflate when the library was built with it).
#include <cstddef>

namespace PtexInflate {

bool inflate(const void* src, size_t srcsize, void* dst, size_t dstsize);
bool inflateZlib(const void* src, size_t srcsize, void* dst, size_t dstsize);
/// False (and no work done) when the library was built without libdeflate.
bool inflateLibdeflate(const void* src, size_t srcsize, void* dst, size_t dstsize);
bool haveLibdeflate();

/// Back end used by `inflate` (for benchmarks; the default is the faster one).
enum class Backend { Fast, Zlib };
void setBackend(Backend b);

/// Deflate can expand at most about 1032:1; a larger claimed ratio is corrupt data
/// and must be refused before allocating the output.
inline bool plausible(size_t srcsize, size_t dstsize) {
    return dstsize <= srcsize * 1032 + 64;
}

}  // namespace PtexInflate

#endif
