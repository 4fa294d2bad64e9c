#ifndef PtexUtils_h
#define PtexUtils_h
// PtexUtils - image and arithmetic helpers shared by the Ptex reader, writer and
// filters.
//
// Conventions: images are row-major with u fastest and channels interleaved
// unless a function says "planar". Every stride is in bytes per row (a stride may
// be larger than a packed row). ures/vres are texel counts (not log2) of the
// source image. Integer reductions truncate: (a+b+c+d) >> 2 and (a+b) >> 1;
// half and float reductions sum in float in the order ((a+b)+c)+d and scale by
// 0.25f (or 0.5f), halves converted back with PtexHalf rounding.
#include "PtexHalf.h"
#include "PtexInt.h"
#include "Ptexture.h"

#include <bit>
#include <cstring>

namespace PtexUtils {

inline bool isPowerOfTwo(int x) {
    return x > 0 && (x & (x - 1)) == 0;
}

/// floor(log2(x)), 0 for x = 0.
inline uint32_t floor_log2(uint32_t x) {
    return x ? uint32_t(31 - std::countl_zero(x)) : 0u;
}

/// ceil(log2(x)), 0 for x <= 1.
inline uint32_t ceil_log2(uint32_t x) {
    return x > 1 ? uint32_t(32 - std::countl_zero(x - 1)) : 0u;
}

/// 2^-power exactly (power in [-126, 126]; clamped outside).
inline float reciprocalPow2(int power) {
    if (power > 126) power = 126;
    if (power < -126) power = -126;
    return std::bit_cast<float>(uint32_t(127 - power) << 23);
}

/// Resolution log2 for a filter width w in face units: -floor(log2(w)) read from
/// the float exponent (w > 0; w >= 1 gives 0 or less).
inline int calcResFromWidth(float w) {
    uint32_t b = std::bit_cast<uint32_t>(w);
    int e = int((b >> 23) & 0xff) - 127;
    return -e;
}

/// floor(x) and ceil(x) as ints, exact for |x| < 2^31 (the caller ensures it);
/// cheaper than std::floor and std::ceil on an SSE2 baseline.
inline int floorToInt(float x) {
    const int i = int(x);
    return i - int(float(i) > x);
}
inline int ceilToInt(float x) {
    const int i = int(x);
    return i + int(float(i) < x);
}

/// Cubic smooth step from 0 at a to 1 at b.
inline float smoothstep(float x, float a, float b) {
    if (x < a) return 0;
    if (x >= b) return 1;
    x = (x - a) / (b - a);
    return x * x * (3 - 2 * x);
}

/// Quintic smooth step from 0 at a to 1 at b.
inline float qsmoothstep(float x, float a, float b) {
    if (x < a) return 0;
    if (x >= b) return 1;
    x = (x - a) / (b - a);
    return x * x * x * (10 + x * (-15 + x * 6));
}

template <typename T>
inline T abs(T x) {
    return x > 0 ? x : -x;
}
template <typename T>
inline T min(T a, T b) {
    return a < b ? a : b;
}
template <typename T>
inline T max(T a, T b) {
    return a > b ? a : b;
}
template <typename T>
inline T clamp(T x, T lo, T hi) {
    return x < lo ? lo : (x > hi ? hi : x);
}

/// Half / quarter of a sum: integer truncation, or float scaling.
inline int halve(int val) {
    return val >> 1;
}
inline float halve(float val) {
    return 0.5f * val;
}
inline int quarter(int val) {
    return val >> 2;
}
inline float quarter(float val) {
    return 0.25f * val;
}

/// True if all ures x vres pixels are byte-identical.
bool isConstant(const void* data, int stride, int ures, int vres, int pixelSize);

/// Planar (channel after channel, each plane ures x vres, rows sstride bytes)
/// to interleaved (rows dstride bytes).
void interleave(const void* src, int sstride, int ures, int vres, void* dst, int dstride,
                Ptex::DataType dt, int nchannels);

/// Interleaved (rows sstride bytes) to planar (each plane's rows dstride bytes).
void deinterleave(const void* src, int sstride, int ures, int vres, void* dst, int dstride,
                  Ptex::DataType dt, int nchannels);

/// Delta coding over the whole buffer (size in bytes) for uint8/uint16; no-op
/// for half and float.
void encodeDifference(void* data, size_t size, Ptex::DataType dt);
void decodeDifference(void* data, size_t size, Ptex::DataType dt);

/// 2x2 box reduction of a ures x vres image to (ures/2) x (vres/2).
void reduce(const void* src, int sstride, int ures, int vres, void* dst, int dstride,
            Ptex::DataType dt, int nchannels);
/// Halves u only: (ures/2) x vres.
void reduceu(const void* src, int sstride, int ures, int vres, void* dst, int dstride,
             Ptex::DataType dt, int nchannels);
/// Halves v only: ures x (vres/2).
void reducev(const void* src, int sstride, int ures, int vres, void* dst, int dstride,
             Ptex::DataType dt, int nchannels);
/// Triangle reduction of square triangle storage (ures = vres = 2^n) to 2^(n-1).
void reduceTri(const void* src, int sstride, int ures, int vres, void* dst, int dstride,
               Ptex::DataType dt, int nchannels);

/// Per-channel average (float accumulation in row order, times 1/(ures*vres),
/// truncated for integers) into one pixel at dst.
void average(const void* src, int sstride, int ures, int vres, void* dst, Ptex::DataType dt,
             int nchannels);

/// Fills ures x vres pixels of dst (rows dstride bytes) with the pixel at src.
void fill(const void* src, void* dst, int dstride, int ures, int vres, int pixelsize);

/// Copies nrows rows of rowlen bytes (strides may differ, even be negative).
void copy(const void* src, int sstride, void* dst, int dstride, int nrows, int rowlen);

/// Premultiplies colour channels by alpha: channels 1.. when alphachan = 0,
/// else 0..alphachan-1. Integers truncate.
void multalpha(void* data, int npixels, Ptex::DataType dt, int nchannels, int alphachan);
/// Inverse of multalpha; pixels with zero alpha are left untouched.
void divalpha(void* data, int npixels, Ptex::DataType dt, int nchannels, int alphachan);

/// Reduction order: key 1 for constant faces, else min(ulog2, vlog2); stable
/// sort by decreasing key. rfaceids[faceid] = position, faceids[position] = faceid.
/// Either output may be null.
void genRfaceids(const Ptex::FaceInfo* faces, int nfaces, uint32_t* rfaceids, uint32_t* faceids);

}  // namespace PtexUtils

#endif
