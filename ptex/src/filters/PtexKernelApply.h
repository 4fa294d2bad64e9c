#ifndef PtexKernelApply_h
#define PtexKernelApply_h
// Inner loops of the separable filters: accumulate a rectangle of texels of a
// packed image, weighted by column and row weights, into a float sum.
//
// applySeparable(dst, data, dt, rowPixels, u, v, uw, vw, ku, kv, nChan, nTxChan):
//   data points at the first evaluated sample of pixel (0,0); pixel (x, y) starts
//   at sample (y * rowPixels + x) * nTxChan. For each row j the row sum
//   sum_i float(sample) * ku[i] is formed left to right, then dst[c] += row * kv[j].
//   Integer samples enter as their integer values. nChan <= PtexSeparableFilter::kMaxChan.
// sampleToFloat(p, dt, c): sample c of a pixel as its raw float value.
#include "PtexHalf.h"
#include "PtexInt.h"
#include "Ptexture.h"

#include <cstring>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace PtexFilterImpl {

template <typename T>
inline float toF(T x) {
    return float(x);
}
template <>
inline float toF<PtexHalf>(PtexHalf x) {
    return PtexHalf::toFloat(x.bits);
}

// Fixed channel counts: the channel loops are unrolled so the sums stay in
// registers; dst is loaded once and stored once (same order of additions).
template <typename T, int NC>
inline void applySepT(float* dst, const T* data, int rowPixels, int u, int v, int uw, int vw,
                      const float* ku, const float* kv, int, int nTxChan) {
    const long rowStride = long(rowPixels) * nTxChan;
    const T* rowp = data + (long(v) * rowPixels + u) * nTxChan;
    float acc[NC];
#pragma GCC unroll 4
    for (int c = 0; c < NC; c++) acc[c] = dst[c];
    for (int j = 0; j < vw; j++, rowp += rowStride) {
        float row[NC];
#pragma GCC unroll 4
        for (int c = 0; c < NC; c++) row[c] = 0;
        const T* p = rowp;
        for (int i = 0; i < uw; i++, p += nTxChan) {
            const float w = ku[i];
#pragma GCC unroll 4
            for (int c = 0; c < NC; c++) row[c] += toF(p[c]) * w;
        }
        const float wv = kv[j];
#pragma GCC unroll 4
        for (int c = 0; c < NC; c++) acc[c] += row[c] * wv;
    }
#pragma GCC unroll 4
    for (int c = 0; c < NC; c++) dst[c] = acc[c];
}

#if defined(__SSE2__)
// Four channels as one SSE vector (lane c = channel c). Every lane does the
// scalar operations in the scalar order, so results are bit-identical; up to four
// rows are summed side by side for instruction-level parallelism.
template <typename T>
inline __m128 load4(const T* p);
template <>
inline __m128 load4<uint8_t>(const uint8_t* p) {
    int32_t x;
    std::memcpy(&x, p, 4);
    const __m128i z = _mm_setzero_si128();
    __m128i v = _mm_unpacklo_epi8(_mm_cvtsi32_si128(x), z);
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(v, z));
}
template <>
inline __m128 load4<uint16_t>(const uint16_t* p) {
    __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(v, _mm_setzero_si128()));
}
template <>
inline __m128 load4<float>(const float* p) {
    return _mm_loadu_ps(p);
}

template <typename T>
inline void applySep4(float* dst, const T* data, int rowPixels, int u, int v, int uw, int vw,
                      const float* ku, const float* kv, int nTxChan) {
    const long rowStride = long(rowPixels) * nTxChan;
    const T* rowp = data + (long(v) * rowPixels + u) * nTxChan;
    __m128 acc = _mm_loadu_ps(dst);
    int j = 0;
    for (; j + 3 < vw; j += 4, rowp += 4 * rowStride) {
        __m128 r0 = _mm_setzero_ps(), r1 = _mm_setzero_ps(), r2 = _mm_setzero_ps(),
               r3 = _mm_setzero_ps();
        const T* p = rowp;
        for (int i = 0; i < uw; i++, p += nTxChan) {
            const __m128 w = _mm_set1_ps(ku[i]);
            r0 = _mm_add_ps(r0, _mm_mul_ps(load4(p), w));
            r1 = _mm_add_ps(r1, _mm_mul_ps(load4(p + rowStride), w));
            r2 = _mm_add_ps(r2, _mm_mul_ps(load4(p + 2 * rowStride), w));
            r3 = _mm_add_ps(r3, _mm_mul_ps(load4(p + 3 * rowStride), w));
        }
        acc = _mm_add_ps(acc, _mm_mul_ps(r0, _mm_set1_ps(kv[j])));
        acc = _mm_add_ps(acc, _mm_mul_ps(r1, _mm_set1_ps(kv[j + 1])));
        acc = _mm_add_ps(acc, _mm_mul_ps(r2, _mm_set1_ps(kv[j + 2])));
        acc = _mm_add_ps(acc, _mm_mul_ps(r3, _mm_set1_ps(kv[j + 3])));
    }
    for (; j + 1 < vw; j += 2, rowp += 2 * rowStride) {
        __m128 r0 = _mm_setzero_ps(), r1 = _mm_setzero_ps();
        const T* p0 = rowp;
        const T* p1 = rowp + rowStride;
        for (int i = 0; i < uw; i++, p0 += nTxChan, p1 += nTxChan) {
            const __m128 w = _mm_set1_ps(ku[i]);
            r0 = _mm_add_ps(r0, _mm_mul_ps(load4(p0), w));
            r1 = _mm_add_ps(r1, _mm_mul_ps(load4(p1), w));
        }
        acc = _mm_add_ps(acc, _mm_mul_ps(r0, _mm_set1_ps(kv[j])));
        acc = _mm_add_ps(acc, _mm_mul_ps(r1, _mm_set1_ps(kv[j + 1])));
    }
    if (j < vw) {
        __m128 r0 = _mm_setzero_ps();
        const T* p0 = rowp;
        for (int i = 0; i < uw; i++, p0 += nTxChan)
            r0 = _mm_add_ps(r0, _mm_mul_ps(load4(p0), _mm_set1_ps(ku[i])));
        acc = _mm_add_ps(acc, _mm_mul_ps(r0, _mm_set1_ps(kv[j])));
    }
    _mm_storeu_ps(dst, acc);
}
#endif

// Any channel count (up to PtexSeparableFilter::kMaxChan).
template <typename T>
inline void applySepN(float* dst, const T* data, int rowPixels, int u, int v, int uw, int vw,
                      const float* ku, const float* kv, int nChan, int nTxChan) {
    const long rowStride = long(rowPixels) * nTxChan;
    const T* rowp = data + (long(v) * rowPixels + u) * nTxChan;
    float row[64];
    for (int j = 0; j < vw; j++, rowp += rowStride) {
        for (int c = 0; c < nChan; c++) row[c] = 0;
        const T* p = rowp;
        for (int i = 0; i < uw; i++, p += nTxChan) {
            const float w = ku[i];
            for (int c = 0; c < nChan; c++) row[c] += toF(p[c]) * w;
        }
        const float wv = kv[j];
        for (int c = 0; c < nChan; c++) dst[c] += row[c] * wv;
    }
}

template <typename T>
inline void applySepDispatch(float* dst, const void* data, int rowPixels, int u, int v, int uw,
                             int vw, const float* ku, const float* kv, int nChan, int nTxChan) {
    const T* d = static_cast<const T*>(data);
    switch (nChan) {
        case 1:
            applySepT<T, 1>(dst, d, rowPixels, u, v, uw, vw, ku, kv, 1, nTxChan);
            break;
        case 2:
            applySepT<T, 2>(dst, d, rowPixels, u, v, uw, vw, ku, kv, 2, nTxChan);
            break;
        case 3:
            applySepT<T, 3>(dst, d, rowPixels, u, v, uw, vw, ku, kv, 3, nTxChan);
            break;
        case 4:
#if defined(__SSE2__)
            if constexpr (!std::is_same_v<T, PtexHalf>) {
                applySep4<T>(dst, d, rowPixels, u, v, uw, vw, ku, kv, nTxChan);
                break;
            }
#endif
            applySepT<T, 4>(dst, d, rowPixels, u, v, uw, vw, ku, kv, 4, nTxChan);
            break;
        default:
            applySepN<T>(dst, d, rowPixels, u, v, uw, vw, ku, kv, nChan, nTxChan);
            break;
    }
}

inline void applySeparable(float* dst, const void* data, Ptex::DataType dt, int rowPixels, int u,
                           int v, int uw, int vw, const float* ku, const float* kv, int nChan,
                           int nTxChan) {
    switch (dt) {
        case Ptex::dt_uint8:
            applySepDispatch<uint8_t>(dst, data, rowPixels, u, v, uw, vw, ku, kv, nChan, nTxChan);
            break;
        case Ptex::dt_uint16:
            applySepDispatch<uint16_t>(dst, data, rowPixels, u, v, uw, vw, ku, kv, nChan, nTxChan);
            break;
        case Ptex::dt_half:
            applySepDispatch<PtexHalf>(dst, data, rowPixels, u, v, uw, vw, ku, kv, nChan, nTxChan);
            break;
        case Ptex::dt_float:
            applySepDispatch<float>(dst, data, rowPixels, u, v, uw, vw, ku, kv, nChan, nTxChan);
            break;
    }
}

/// applySeparable for one data type and channel count, chosen once per
/// evaluation instead of per piece.
typedef void (*SeparableFn)(float* dst, const void* data, int rowPixels, int u, int v, int uw,
                            int vw, const float* ku, const float* kv, int nChan, int nTxChan);

// Kernels of at most four columns (nearly every box, bilinear and bicubic one):
// the column count is a template argument, so each row is a straight run of
// loads with the column weights read once. Same additions in the same order as
// applySepT and applySep4, hence the same results.
template <typename T, int NC, int UW>
inline void applySepNarrow(float* dst, const T* rowp, long rowStride, int vw, const float* ku,
                           const float* kv, int nTxChan) {
#if defined(__SSE2__)
    if constexpr (NC == 4 && !std::is_same_v<T, PtexHalf>) {
        __m128 w[UW];
#pragma GCC unroll 4
        for (int i = 0; i < UW; i++) w[i] = _mm_set1_ps(ku[i]);
        __m128 acc = _mm_loadu_ps(dst);
        for (int j = 0; j < vw; j++, rowp += rowStride) {
            __m128 row = _mm_setzero_ps();
#pragma GCC unroll 4
            for (int i = 0; i < UW; i++)
                row = _mm_add_ps(row, _mm_mul_ps(load4(rowp + i * nTxChan), w[i]));
            acc = _mm_add_ps(acc, _mm_mul_ps(row, _mm_set1_ps(kv[j])));
        }
        _mm_storeu_ps(dst, acc);
        return;
    }
#endif
    float acc[NC];
    for (int c = 0; c < NC; c++) acc[c] = dst[c];
    for (int j = 0; j < vw; j++, rowp += rowStride) {
        float row[NC] = {};
#pragma GCC unroll 4
        for (int i = 0; i < UW; i++)
            for (int c = 0; c < NC; c++) row[c] += toF(rowp[i * nTxChan + c]) * ku[i];
        const float wv = kv[j];
        for (int c = 0; c < NC; c++) acc[c] += row[c] * wv;
    }
    for (int c = 0; c < NC; c++) dst[c] = acc[c];
}

template <typename T, int NC>
__attribute__((always_inline)) inline void applySepInline(float* dst, const void* data,
                                                          int rowPixels, int u, int v, int uw,
                                                          int vw, const float* ku, const float* kv,
                                                          int nChan, int nTxChan) {
    const T* d = static_cast<const T*>(data);
    if constexpr (NC > 0) {
        const long rowStride = long(rowPixels) * nTxChan;
        const T* rowp = d + (long(v) * rowPixels + u) * nTxChan;
        // (most often two columns, then three)
        if (uw == 2) return applySepNarrow<T, NC, 2>(dst, rowp, rowStride, vw, ku, kv, nTxChan);
        if (uw == 3) return applySepNarrow<T, NC, 3>(dst, rowp, rowStride, vw, ku, kv, nTxChan);
        if (uw == 4) return applySepNarrow<T, NC, 4>(dst, rowp, rowStride, vw, ku, kv, nTxChan);
        if (uw == 1) return applySepNarrow<T, NC, 1>(dst, rowp, rowStride, vw, ku, kv, nTxChan);
    }
#if defined(__SSE2__)
    if constexpr (NC == 4 && !std::is_same_v<T, PtexHalf>) {
        applySep4<T>(dst, d, rowPixels, u, v, uw, vw, ku, kv, nTxChan);
        return;
    }
#endif
    if constexpr (NC == 0)
        applySepN<T>(dst, d, rowPixels, u, v, uw, vw, ku, kv, nChan, nTxChan);
    else
        applySepT<T, NC>(dst, d, rowPixels, u, v, uw, vw, ku, kv, NC, nTxChan);
}

/// applySeparable for one data type and channel count (NC = 0: any count);
/// applySepInline is the same, compiled into its caller.
template <typename T, int NC>
void applySepFixed(float* dst, const void* data, int rowPixels, int u, int v, int uw, int vw,
                   const float* ku, const float* kv, int nChan, int nTxChan) {
    applySepInline<T, NC>(dst, data, rowPixels, u, v, uw, vw, ku, kv, nChan, nTxChan);
}

template <typename T>
inline SeparableFn separableFnT(int nChan) {
    switch (nChan) {
        case 1:
            return applySepFixed<T, 1>;
        case 2:
            return applySepFixed<T, 2>;
        case 3:
            return applySepFixed<T, 3>;
        case 4:
            return applySepFixed<T, 4>;
        default:
            return applySepFixed<T, 0>;
    }
}

inline SeparableFn separableFn(Ptex::DataType dt, int nChan) {
    switch (dt) {
        case Ptex::dt_uint16:
            return separableFnT<uint16_t>(nChan);
        case Ptex::dt_half:
            return separableFnT<PtexHalf>(nChan);
        case Ptex::dt_float:
            return separableFnT<float>(nChan);
        default:
            return separableFnT<uint8_t>(nChan);
    }
}

inline float sampleToFloat(const void* p, Ptex::DataType dt, int c) {
    switch (dt) {
        case Ptex::dt_uint8:
            return float(static_cast<const uint8_t*>(p)[c]);
        case Ptex::dt_uint16:
            return float(static_cast<const uint16_t*>(p)[c]);
        case Ptex::dt_half:
            return PtexHalf::toFloat(static_cast<const uint16_t*>(p)[c]);
        case Ptex::dt_float:
            return static_cast<const float*>(p)[c];
    }
    return 0.0f;
}

/// dst[c] += raw sample c of pixel * w, for nChan channels.
inline void addPixel(float* dst, const void* pixel, Ptex::DataType dt, int nChan, float w) {
    for (int c = 0; c < nChan; c++) dst[c] += sampleToFloat(pixel, dt, c) * w;
}

}  // namespace PtexFilterImpl

#endif
