// Texel loops of the triangle filter (see PtexTriangleKernel.h).
#include "PtexTriangleKernel.h"

#include "PtexFilters.h"
#include "PtexKernelApply.h"
#include "PtexUtils.h"

#include <cmath>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace PtexFilterImpl {

namespace {

#if defined(__SSE2__)
// Range reduction by ln 2 in two parts, then a degree-7 polynomial: within a
// couple of float roundings of expf, and inline instead of two library calls.
// The constants are whole vectors in memory so that they are used as operands.
alignas(16) const float kExpC[][4] = {
#define PTEX_EXP_C(x) \
    { x, x, x, x }
    PTEX_EXP_C(-87.0f),           PTEX_EXP_C(88.0f),
    PTEX_EXP_C(1.44269504f),      PTEX_EXP_C(0.693359375f),
    PTEX_EXP_C(2.12194440e-4f),   PTEX_EXP_C(1.9875691500e-4f),
    PTEX_EXP_C(1.3981999507e-3f), PTEX_EXP_C(8.3334519073e-3f),
    PTEX_EXP_C(4.1665795894e-2f), PTEX_EXP_C(1.6666665459e-1f),
    PTEX_EXP_C(5.0000001201e-1f), PTEX_EXP_C(1.0f),
#undef PTEX_EXP_C
};
inline __m128 expC(int i) {
    return _mm_load_ps(kExpC[i]);
}

inline void expPairInline(float x0, float x1, float& y0, float& y1) {
    __m128 x = _mm_unpacklo_ps(_mm_set_ss(x0), _mm_set_ss(x1));
    x = _mm_min_ps(_mm_max_ps(x, expC(0)), expC(1));
    const __m128i n = _mm_cvtps_epi32(_mm_mul_ps(x, expC(2)));
    const __m128 nf = _mm_cvtepi32_ps(n);
    const __m128 f = _mm_add_ps(_mm_sub_ps(x, _mm_mul_ps(nf, expC(3))), _mm_mul_ps(nf, expC(4)));
    __m128 p = _mm_add_ps(_mm_mul_ps(expC(5), f), expC(6));
    p = _mm_add_ps(_mm_mul_ps(p, f), expC(7));
    p = _mm_add_ps(_mm_mul_ps(p, f), expC(8));
    p = _mm_add_ps(_mm_mul_ps(p, f), expC(9));
    p = _mm_add_ps(_mm_mul_ps(p, f), expC(10));
    p = _mm_add_ps(_mm_add_ps(_mm_mul_ps(p, _mm_mul_ps(f, f)), f), expC(11));
    const __m128 pow2n =
        _mm_castsi128_ps(_mm_slli_epi32(_mm_add_epi32(n, _mm_set1_epi32(127)), 23));
    const __m128 y = _mm_mul_ps(p, pow2n);
    y0 = _mm_cvtss_f32(y);
    y1 = _mm_cvtss_f32(_mm_shuffle_ps(y, y, 1));
}
#else
inline void expPairInline(float x0, float x1, float& y0, float& y1) {
    y0 = std::exp(PtexUtils::clamp(x0, -87.0f, 88.0f));
    y1 = std::exp(PtexUtils::clamp(x1, -87.0f, 88.0f));
}
#endif

// Visits the texels inside the ellipse; sink(pixelIndex, weight). Q is evaluated
// incrementally along each row from its first texel, so the Q < 1 cut-off falls
// exactly where the row-wise recurrence puts it. The weight exp(-6.125 Q) needs
// no exp per texel: along a row Q has constant second differences, so from one
// texel to the next the weight is multiplied by r = exp(-6.125 DQ), and r by
// g = exp(-6.125 DDQ); the product is anchored at the first texel inside and
// again every kAnchor texels, which keeps its error to a few float roundings.
// Q along a row only falls while DQ < 0 and then only rises, so the texels
// inside form one run: the row ends at the first texel after it.
template <class Sink>
inline float forEachTexel(const TriIter& it, float wscale, Sink& sink) {
    const int kAnchor = 8;
    const float s = -6.125f;
    const float DDQ = 2 * it.a;
    float g, unused;
    expPairInline(s * DDQ, 0.0f, g, unused);
    float wsum = 0;
    const int vlo = PtexUtils::max(it.v1, 0), vhi = PtexUtils::min(it.v2, it.rowlen);
    for (int y = vlo; y < vhi; y++) {
        const int xw = it.rowlen - y;
        int x = PtexUtils::max(PtexUtils::max(it.u1, xw - it.w2), 0);
        const int x2 = PtexUtils::min(PtexUtils::min(it.u2, xw - it.w1), it.rowlen);
        if (x2 <= x) continue;
        const float U = float(x) - it.cu, V = float(y) - it.cv;
        float DQ = it.a * (2 * U + 1) + it.b * V;
        float Q = it.a * U * U + (it.b * U + it.c * V) * V;
        while (!(Q < 1)) {
            if (++x == x2) break;
            Q += DQ;
            DQ += DDQ;
        }
        long pix = long(y) * it.rowlen + x;
        while (x < x2) {
            float e, r;
            expPairInline(s * Q, s * DQ, e, r);
            e *= wscale;  // a power of two: exact
            const int end = PtexUtils::min(x + kAnchor, x2);
            for (; x < end && Q < 1; x++, pix++) {
                sink(pix, e);
                wsum += e;
                e *= r;
                r *= g;
                Q += DQ;
                DQ += DDQ;
            }
            if (!(Q < 1)) break;
        }
    }
    return wsum;
}

// Raw values of 8-bit samples, read instead of converted per sample.
struct U8Table {
    float v[256];
    constexpr U8Table() : v() {
        for (int i = 0; i < 256; i++) v[i] = float(i);
    }
};
constexpr U8Table kU8;

template <typename T>
inline float sample(const T* p, int c) {
    if constexpr (std::is_same_v<T, uint8_t>)
        return kU8.v[p[c]];
    else
        return toF(p[c]);
}

// Sums kept locally (same order of additions as accumulating into dst).
template <typename T, int NC>
struct ChannelSink {
    const T* d;
    int nc, stride;
    float acc[NC ? NC : PtexTriangleFilter::kMaxChan];
    void operator()(long pix, float w) {
        const T* p = d + pix * stride;
#pragma GCC unroll 4
        for (int c = 0; c < (NC ? NC : nc); c++) acc[c] += sample(p, c) * w;
    }
};

template <typename T, int NC>
float applyT(const TriIter& it, float wscale, float* dst, const void* data, int nChan,
             int nTxChan) {
    ChannelSink<T, NC> sink{static_cast<const T*>(data), NC ? NC : nChan, nTxChan, {}};
    const int nc = NC ? NC : nChan;
    for (int c = 0; c < nc; c++) sink.acc[c] = dst[c];
    const float wsum = forEachTexel(it, wscale, sink);
    for (int c = 0; c < nc; c++) dst[c] = sink.acc[c];
    return wsum;
}

template <typename T>
float applyN(const TriIter& it, float wscale, float* dst, const void* data, int nChan,
             int nTxChan) {
    switch (nChan) {
        case 1:
            return applyT<T, 1>(it, wscale, dst, data, 1, nTxChan);
        case 2:
            return applyT<T, 2>(it, wscale, dst, data, 2, nTxChan);
        case 3:
            return applyT<T, 3>(it, wscale, dst, data, 3, nTxChan);
        case 4:
            return applyT<T, 4>(it, wscale, dst, data, 4, nTxChan);
        default:
            return applyT<T, 0>(it, wscale, dst, data, nChan, nTxChan);
    }
}

struct NoSink {
    void operator()(long, float) {}
};
}  // namespace

float applyTriangle(const TriIter& it, float wscale, float* dst, const void* data,
                    Ptex::DataType dt, int nChan, int nTxChan) {
    switch (dt) {
        case Ptex::dt_uint8:
            return applyN<uint8_t>(it, wscale, dst, data, nChan, nTxChan);
        case Ptex::dt_uint16:
            return applyN<uint16_t>(it, wscale, dst, data, nChan, nTxChan);
        case Ptex::dt_half:
            return applyN<PtexHalf>(it, wscale, dst, data, nChan, nTxChan);
        case Ptex::dt_float:
            return applyN<float>(it, wscale, dst, data, nChan, nTxChan);
    }
    return 0.0f;
}

#if defined(__SSE2__)
// Four at a time: the scaling is the same float arithmetic as the scalar form.
void ceilScaled12(const float* x, float scale, float sub, int* out) {
    const __m128 sc = _mm_set1_ps(scale), sb = _mm_set1_ps(sub);
    const __m128 lo = _mm_set1_ps(-1073741824.0f), hi = _mm_set1_ps(1073741824.0f);
    for (int i = 0; i < 12; i += 4) {
        __m128 v = _mm_sub_ps(_mm_mul_ps(_mm_loadu_ps(x + i), sc), sb);
        v = _mm_min_ps(_mm_max_ps(v, lo), hi);
        const __m128i t = _mm_cvttps_epi32(v);
        // truncation below x (positive fractions) rounds up by one: the mask is -1
        const __m128i up = _mm_castps_si128(_mm_cmplt_ps(_mm_cvtepi32_ps(t), v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_sub_epi32(t, up));
    }
}
#else
void ceilScaled12(const float* x, float scale, float sub, int* out) {
    for (int i = 0; i < 12; i++)
        out[i] = PtexUtils::ceilToInt(
            PtexUtils::clamp(x[i] * scale - sub, -1073741824.0f, 1073741824.0f));
}
#endif

void expPair(float x0, float x1, float& y0, float& y1) {
    expPairInline(x0, x1, y0, y1);
}

float triangleWeight(const TriIter& it, float wscale) {
    NoSink sink;
    return forEachTexel(it, wscale, sink);
}

}  // namespace PtexFilterImpl
