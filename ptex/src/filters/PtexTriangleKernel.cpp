// Texel loops of the triangle filter (see PtexTriangleKernel.h).
#include "PtexTriangleKernel.h"

#include "PtexFilters.h"
#include "PtexKernelApply.h"
#include "PtexUtils.h"

#include <cmath>
#include <cstring>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace PtexFilterImpl {

namespace {

#if defined(__SSE2__)
// Range reduction by ln 2 in two parts, then a degree-6 polynomial: within
// 2.5e-7 (relative) of exp, inline, and three at a price of one.
// The constants are three-lane vectors in memory so that they are used as
// operands (a splat would be rebuilt in a register each time).
alignas(16) const float kExpC[][4] = {
#define PTEX_EXP_C(x) \
    { x, x, x, 0 }
    PTEX_EXP_C(-87.0f),
    PTEX_EXP_C(88.0f),
    PTEX_EXP_C(1.44269504f),
    PTEX_EXP_C(0.693359375f),
    PTEX_EXP_C(2.12194440e-4f),
    PTEX_EXP_C(1.3981999507e-3f),
    PTEX_EXP_C(8.3334519073e-3f),
    PTEX_EXP_C(4.1665795894e-2f),
    PTEX_EXP_C(1.6666665459e-1f),
    PTEX_EXP_C(5.0000001201e-1f),
    PTEX_EXP_C(1.0f),
#undef PTEX_EXP_C
};
inline __m128 expC(int i) {
    return _mm_load_ps(kExpC[i]);
}

inline __m128 expPs(__m128 x) {
    x = _mm_min_ps(_mm_max_ps(x, expC(0)), expC(1));
    const __m128i n = _mm_cvtps_epi32(_mm_mul_ps(x, expC(2)));
    const __m128 nf = _mm_cvtepi32_ps(n);
    const __m128 f = _mm_add_ps(_mm_sub_ps(x, _mm_mul_ps(nf, expC(3))), _mm_mul_ps(nf, expC(4)));
    __m128 p = _mm_add_ps(_mm_mul_ps(expC(5), f), expC(6));
    p = _mm_add_ps(_mm_mul_ps(p, f), expC(7));
    p = _mm_add_ps(_mm_mul_ps(p, f), expC(8));
    p = _mm_add_ps(_mm_mul_ps(p, f), expC(9));
    p = _mm_add_ps(_mm_add_ps(_mm_mul_ps(p, _mm_mul_ps(f, f)), f), expC(10));
    const __m128 pow2n =
        _mm_castsi128_ps(_mm_slli_epi32(_mm_add_epi32(n, _mm_set1_epi32(127)), 23));
    return _mm_mul_ps(p, pow2n);
}

// exp(scale x) of three values; the scaling is one vector product.
inline void expTriple(float scale, float x0, float x1, float x2, float& y0, float& y1, float& y2) {
    const __m128 y =
        expPs(_mm_mul_ps(_mm_setr_ps(x0, x1, x2, 0.0f), _mm_setr_ps(scale, scale, scale, 0.0f)));
    y0 = _mm_cvtss_f32(y);
    y1 = _mm_cvtss_f32(_mm_shuffle_ps(y, y, 1));
    y2 = _mm_cvtss_f32(_mm_movehl_ps(y, y));
}
#else
inline void expTriple(float scale, float x0, float x1, float x2, float& y0, float& y1, float& y2) {
    y0 = std::exp(PtexUtils::clamp(scale * x0, -87.0f, 88.0f));
    y1 = std::exp(PtexUtils::clamp(scale * x1, -87.0f, 88.0f));
    y2 = std::exp(PtexUtils::clamp(scale * x2, -87.0f, 88.0f));
}
#endif

inline void expPairInline(float x0, float x1, float& y0, float& y1) {
    float unused;
    expTriple(1.0f, x0, x1, 0.0f, y0, y1, unused);
}

const float kExpScale = -6.125f;  // exp(-0.5 x 3.5^2 x Q)
const int kAnchor = 8;

// A weight as a sink takes it: a float, or (vector sinks) the float in every
// lane, which saves a broadcast per texel. Lane 0 does the scalar arithmetic.
struct ScalarWeight {
    float v;
    static ScalarWeight splat(float x) { return {x}; }
    float first() const { return v; }
    ScalarWeight operator*(ScalarWeight o) const { return {v * o.v}; }
};
#if defined(__SSE2__)
struct VectorWeight {
    __m128 v;
    static VectorWeight splat(float x) { return {_mm_set1_ps(x)}; }
    float first() const { return _mm_cvtss_f32(v); }
    VectorWeight operator*(VectorWeight o) const { return {_mm_mul_ps(v, o.v)}; }
};
#endif

// The run of a row's texels inside the ellipse: from x (Q and DQ there) to at
// most x2. Q is evaluated incrementally along the row from its first texel, so
// the Q < 1 cut-off falls exactly where the row-wise recurrence puts it. Q
// along a row only falls while DQ < 0 and then only rises, so the texels inside
// form one run. False when the row has none.
struct Run {
    int x, x2;
    float Q, DQ;
};
inline bool findRun(const TriIter& it, int y, float DDQ, Run& run) {
    const int xw = it.rowlen - y;
    int x = PtexUtils::max(PtexUtils::max(it.u1(), xw - it.w2()), 0);
    const int x2 = PtexUtils::min(PtexUtils::min(it.u2(), xw - it.w1()), it.rowlen);
    if (x2 <= x) return false;
    const float U = float(x) - it.cu, V = float(y) - it.cv;
    float DQ = it.a * (2 * U + 1) + it.b * V;
    float Q = it.a * U * U + (it.b * U + it.c * V) * V;
    while (!(Q < 1)) {
        if (++x == x2) return false;
        Q += DQ;
        DQ += DDQ;
    }
    run = {x, x2, Q, DQ};
    return true;
}

// Rare (runs longer than kAnchor), and kept out of the texel loop so that its
// constants do not take the loop's registers; returned by value, as references
// would keep e and r in memory.
struct Anchor {
    float e, r;
};
[[gnu::noinline]] Anchor reanchor(float Q, float DQ) {
    Anchor an;
    expPairInline(kExpScale * Q, kExpScale * DQ, an.e, an.r);
    return an;
}

// The weight exp(-6.125 Q) needs no exp per texel: along a row Q has constant
// second differences, so from one texel to the next the weight is multiplied by
// r = exp(-6.125 DQ), and r by g = exp(-6.125 DDQ). The product starts from the
// given e and r at the run's first texel and is anchored again every kAnchor
// texels, which keeps its error to a few float roundings.
template <bool Wide, class Sink>
inline void walkRun(const Run& run, long pix, float e0, float r0, float g0, float DDQ, float wscale,
                    float& wsum, Sink& sink) {
    using W = typename Sink::Weight;
    W e = W::splat(e0), r = W::splat(r0);
    const W g = W::splat(g0);
    float Q = run.Q, DQ = run.DQ;
    int left = run.x2 - run.x;
    sink.seek(pix);
    for (;;) {
        int n = PtexUtils::min(kAnchor, left);
        left -= n;
        for (; n > 0 && Q < 1; n--) {
            sink.template add<Wide>(e);
            wsum += e.first();
            e = e * r;
            r = r * g;
            Q += DQ;
            DQ += DDQ;
        }
        if (left == 0 || !(Q < 1)) return;
        const Anchor an = reanchor(Q, DQ);
        e = W::splat(an.e * wscale);
        r = W::splat(an.r);
    }
}

// Visits the texels inside the ellipse: sink.seek(pixelIndex) at the start of a
// run, then sink.add(weight) for each texel of it, left to right. wscale is a
// power of two, so folding it into the weights is exact.
template <class Sink>
inline float forEachTexel(const TriIter& it, float wscale, Sink& sink) {
    const float DDQ = 2 * it.a;
    float wsum = 0;
    int y = PtexUtils::max(it.v1(), 0);
    const int vhi = PtexUtils::min(it.v2(), it.rowlen);
    for (; y < vhi; y++) {
        Run run;
        if (!findRun(it, y, DDQ, run)) continue;
        // g = exp(s DDQ) rides along in the third lane
        float e, r, g;
        expTriple(kExpScale, run.Q, run.DQ, DDQ, e, r, g);
        const long pix = long(y) * it.rowlen + run.x;
        // wide loads read a byte past the texel: all but the storage's last texel may
        if (Sink::kWide && (y < it.rowlen - 1 || run.x2 < it.rowlen))
            walkRun<true>(run, pix, e * wscale, r, g, DDQ, wscale, wsum, sink);
        else
            walkRun<false>(run, pix, e * wscale, r, g, DDQ, wscale, wsum, sink);
    }
    return wsum;
}

// The valid ones of count iterators, one sum of weights.
template <class Sink>
inline float forEachIter(const TriIter* its, int count, float wscale, Sink& sink) {
    float wsum = 0;
    for (int i = 0; i < count; i++)
        if (its[i].valid()) wsum += forEachTexel(its[i], wscale, sink);
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
    const T* p;
    int nc, stride;
    float acc[NC ? NC : PtexTriangleFilter::kMaxChan];
    using Weight = ScalarWeight;
    static constexpr bool kWide = false;
    void seek(long pix) { p = d + pix * stride; }
    template <bool>
    void add(Weight w) {
#pragma GCC unroll 4
        for (int c = 0; c < (NC ? NC : nc); c++) acc[c] += sample(p, c) * w.v;
        p += stride;
    }
};

#if defined(__SSE2__)
// 8-bit and float texels of 2 to 4 channels as one vector (lane c = channel c,
// the other lanes zero, or for a wide read of three channels the next byte,
// whose sum is never stored): each lane does the scalar operations in the
// scalar order, so the sums are the same.
template <typename T, int NC>
inline __m128 loadTexel(const T* p) {
    if constexpr (std::is_same_v<T, uint8_t>) {
        uint32_t bits = 0;
        std::memcpy(&bits, p, NC == 4 ? 4 : 2);
        if constexpr (NC == 3) bits |= uint32_t(p[2]) << 16;
        const __m128i z = _mm_setzero_si128();
        const __m128i b = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(bits)), z);
        return _mm_cvtepi32_ps(_mm_unpacklo_epi16(b, z));
    } else if constexpr (NC == 4) {
        return _mm_loadu_ps(p);
    } else {
        // two floats through the unaligned 64-bit load
        const __m128 lo = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
        if constexpr (NC == 2) return lo;
        return _mm_movelh_ps(lo, _mm_load_ss(p + 2));
    }
}

template <typename T, int NC>
struct VectorSink {
    const T* d;
    const T* p;
    int stride;
    __m128 acc;
    using Weight = VectorWeight;
    // three 8-bit channels can be read as four bytes where one more byte exists
    static constexpr bool kWide = std::is_same_v<T, uint8_t> && NC == 3;
    void seek(long pix) { p = d + pix * stride; }
    template <bool Wide>
    void add(Weight w) {
        acc = _mm_add_ps(acc, _mm_mul_ps(loadTexel < T, Wide ? 4 : NC > (p), w.v));
        p += stride;
    }
};
#endif

// One function per data type and channel count, not inlined into the
// dispatcher: inlined together they share one register allocation, which spills.
template <typename T, int NC>
[[gnu::noinline]] float applyT(const TriIter* its, int count, float wscale, float* dst,
                               const void* data, int nChan, int nTxChan) {
#if defined(__SSE2__)
    constexpr bool kVector = NC >= 2 && (std::is_same_v<T, uint8_t> || std::is_same_v<T, float>);
    if constexpr (kVector) {
        VectorSink<T, NC> sink{static_cast<const T*>(data), nullptr, nTxChan,
                               loadTexel<float, NC>(dst)};
        const float wsum = forEachIter(its, count, wscale, sink);
        if constexpr (NC == 4) {
            _mm_storeu_ps(dst, sink.acc);
        } else {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_castps_si128(sink.acc));
            if constexpr (NC == 3) _mm_store_ss(dst + 2, _mm_movehl_ps(sink.acc, sink.acc));
        }
        return wsum;
    }
#endif
    ChannelSink<T, NC> sink{static_cast<const T*>(data), nullptr, NC ? NC : nChan, nTxChan, {}};
    const int nc = NC ? NC : nChan;
    for (int c = 0; c < nc; c++) sink.acc[c] = dst[c];
    const float wsum = forEachIter(its, count, wscale, sink);
    for (int c = 0; c < nc; c++) dst[c] = sink.acc[c];
    return wsum;
}

template <typename T>
float applyN(const TriIter* its, int count, float wscale, float* dst, const void* data, int nChan,
             int nTxChan) {
    switch (nChan) {
        case 1:
            return applyT<T, 1>(its, count, wscale, dst, data, 1, nTxChan);
        case 2:
            return applyT<T, 2>(its, count, wscale, dst, data, 2, nTxChan);
        case 3:
            return applyT<T, 3>(its, count, wscale, dst, data, 3, nTxChan);
        case 4:
            return applyT<T, 4>(its, count, wscale, dst, data, 4, nTxChan);
        default:
            return applyT<T, 0>(its, count, wscale, dst, data, nChan, nTxChan);
    }
}

struct NoSink {
    using Weight = ScalarWeight;
    static constexpr bool kWide = false;
    void seek(long) {}
    template <bool>
    void add(Weight) {}
};
}  // namespace

float applyTriangle(const TriIter* its, int count, float wscale, float* dst, const void* data,
                    Ptex::DataType dt, int nChan, int nTxChan) {
    switch (dt) {
        case Ptex::dt_uint8:
            return applyN<uint8_t>(its, count, wscale, dst, data, nChan, nTxChan);
        case Ptex::dt_uint16:
            return applyN<uint16_t>(its, count, wscale, dst, data, nChan, nTxChan);
        case Ptex::dt_half:
            return applyN<PtexHalf>(its, count, wscale, dst, data, nChan, nTxChan);
        case Ptex::dt_float:
            return applyN<float>(its, count, wscale, dst, data, nChan, nTxChan);
    }
    return 0.0f;
}

void expPair(float x0, float x1, float& y0, float& y1) {
    expPairInline(x0, x1, y0, y1);
}

float triangleWeight(const TriIter* its, int count, float wscale) {
    NoSink sink;
    return forEachIter(its, count, wscale, sink);
}

}  // namespace PtexFilterImpl
