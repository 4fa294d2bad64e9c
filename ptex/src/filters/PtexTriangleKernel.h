#ifndef PtexTriangleKernel_h
#define PtexTriangleKernel_h
// Texel loops of the triangle filter.
//
// TriIter: one half (even or odd texels) of a square triangle face level, or of
//   one tile of it: rows [v1, v2), columns [u1, u2) and w range (w1, w2], ellipse
//   a U^2 + b U V + c V^2 around (cu, cv), all in texel units of a row of
//   rowlen texels.
// applyTriangle(its, count, wscale, dst, data, dt, nChan, nTxChan): for each
//   texel inside the ellipse (Q < 1) of the valid ones of count iterators,
//   dst[c] += sample c (its raw value) x exp(-6.125 Q) x wscale for c < nChan;
//   returns the sum of those weights. data points at the first evaluated
//   channel of texel 0; texels are nTxChan samples apart.
// triangleWeight(its, count, wscale): the same sum of weights, reading no data.
// ceilScaled12(x, scale, sub, out0, out1): ceil(x[i] scale - sub), each value
//   clamped to +-2^30 first, for 12 values: the first six to out0, the rest to out1.
// expPair(x0, x1, y0, y1): exp of two arguments at once, within 2.5e-7
//   (relative) for x in [-87, 88] (clamped there).
#include "PtexUtils.h"
#include "Ptexture.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace PtexFilterImpl {

struct TriIter {
    int rowlen;    // pixels per storage row
    float cu, cv;  // ellipse centre in storage texel units
    // u1, u2, v1, v2, w1, w2 (one array, so the tap ranges are stored at once):
    // columns [u1, u2), rows [v1, v2), w in (w1, w2]
    int range[6];
    float a, b, c;  // ellipse coefficients per texel
    int u1() const { return range[0]; }
    int u2() const { return range[1]; }
    int v1() const { return range[2]; }
    int v2() const { return range[3]; }
    int w1() const { return range[4]; }
    int w2() const { return range[5]; }
    bool valid() const { return u2() > u1() && v2() > v1() && w2() > w1(); }
};

float applyTriangle(const TriIter* its, int count, float wscale, float* dst, const void* data,
                    Ptex::DataType dt, int nChan, int nTxChan);
float triangleWeight(const TriIter* its, int count, float wscale);
void expPair(float x0, float x1, float& y0, float& y1);

// Inline (once per face piece), four at a time: the scaling is the same float
// arithmetic as the scalar form.
inline void ceilScaled12(const float* x, float scale, float sub, int* out0, int* out1) {
#if defined(__SSE2__)
    const __m128 sc = _mm_set1_ps(scale), sb = _mm_set1_ps(sub);
    const __m128 lo = _mm_set1_ps(-1073741824.0f), hi = _mm_set1_ps(1073741824.0f);
    auto ceil4 = [&](const float* p) {
        const __m128 v =
            _mm_min_ps(_mm_max_ps(_mm_sub_ps(_mm_mul_ps(_mm_loadu_ps(p), sc), sb), lo), hi);
        const __m128i t = _mm_cvttps_epi32(v);
        // truncation below x (positive fractions) rounds up by one: the mask is -1
        return _mm_sub_epi32(t, _mm_castps_si128(_mm_cmplt_ps(_mm_cvtepi32_ps(t), v)));
    };
    const __m128i r0 = ceil4(x), r1 = ceil4(x + 4), r2 = ceil4(x + 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out0), r0);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out0 + 4), r1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out1), _mm_unpackhi_epi64(r1, r1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out1 + 2), r2);
#else
    for (int i = 0; i < 12; i++) {
        const float v = PtexUtils::clamp(x[i] * scale - sub, -1073741824.0f, 1073741824.0f);
        *(i < 6 ? out0 + i : out1 + (i - 6)) = PtexUtils::ceilToInt(v);
    }
#endif
}

}  // namespace PtexFilterImpl

#endif
