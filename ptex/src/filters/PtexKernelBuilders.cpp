// Kernel builders of the separable filters: level choice and per-direction tap
// weights for the box, bilinear and width-4 (gaussian, bicubic) filters. Each
// direction is built independently; all arithmetic is in float.
#include "PtexFilters.h"
#include "PtexUtils.h"

#include <cmath>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
const int kmax = PtexSeparableKernel::kmax;

inline int clampCount(int n) {
    return n < 0 ? 0 : (n > kmax ? kmax : n);
}

// Positions here are within +-2^26 texels: the integer floor and ceil are exact.
inline int ifloor(float x) {
    return PtexUtils::floorToInt(x);
}
inline int iceil(float x) {
    return PtexUtils::ceilToInt(x);
}

// Width clamped to [one texel of the face, one face]: the level has 1-2 texels.
inline int boxLevel(float uw, int faceLog2, float& w) {
    w = PtexUtils::min(uw, 1.0f);
    w = PtexUtils::max(w, PtexUtils::reciprocalPow2(faceLog2));
    return PtexUtils::calcResFromWidth(w);
}

// One axis of a box kernel from its first and end texels and end weights.
inline void boxWeights(int& k_u, int& k_uw, float* kw, int ia, int ib, float f1, float f2) {
    k_u = ia;
    k_uw = clampCount(ib - ia);
    if (k_uw <= 1) {
        k_uw = 1;
        kw[0] = f1 + f2 - 1;
    } else {
        // a width of 1-2 texels spans 2 or 3: the inner weights without a loop
        kw[0] = f1;
        kw[1] = 1;
        kw[2] = 1;
        for (int i = 3; i < k_uw - 1; i++) kw[i] = 1;
        kw[k_uw - 1] = f2;
    }
}
#if !defined(__SSE2__)
int boxAxis(int& k_u, int& k_uw, float* kw, float u, float uw, int faceLog2) {
    float w;
    const int L = boxLevel(uw, faceLog2, w);
    const float R = float(1 << L);
    // texel i covers [i, i+1)
    const float c = u * R, d = w * R;
    const float a = c - d * 0.5f, b = c + d * 0.5f;
    const int ia = ifloor(a), ib = iceil(b);
    boxWeights(k_u, k_uw, kw, ia, ib, 1 - (a - float(ia)), 1 - (float(ib) - b));
    return L;
}

int bilinearAxis(int& k_u, int& k_uw, float* kw, float u, float uw, int faceLog2) {
    float w;
    const int L = boxLevel(uw, faceLog2, w);
    const float R = float(1 << L);
    const float p = u * R - 0.5f;  // texel-centre units
    const int ip = ifloor(p);
    const float t = p - float(ip);
    k_u = ip;
    k_uw = 2;
    kw[0] = 1 - t;
    kw[1] = t;
    return L;
}
#endif

inline int floorEven(int a) {
    return a - (a & 1);
}
inline int ceilEven(int b) {
    return b + (b & 1);
}

// Both axes of a separable kernel from one axis builder
// axis(k_u, k_uw, weights, u, uw, faceLog2) -> level; the weights stay in k's buffers.
template <class Axis>
inline void buildAxes(PtexSeparableKernel& k, float u, float v, float uw, float vw,
                      Ptex::Res faceRes, Axis axis) {
    int lu = axis(k.u, k.uw, k.kubuff, u, uw, faceRes.ulog2);
    int lv = axis(k.v, k.vw, k.kvbuff, v, vw, faceRes.vlog2);
    k.ku = k.kubuff;
    k.kv = k.kvbuff;
    k.res = Ptex::Res(int8_t(lu), int8_t(lv));
    k.rot = 0;
}
#if defined(__SSE2__)
// Both axes of a box or bilinear kernel at once: lane 0 is u, lane 1 is v. Each
// lane does boxLevel, the level's scale and the floor and ceil exactly as the
// scalar axis builders do, so the kernels are the same.
struct TwoAxes {
    __m128 x, w, scale;  // position, clamped width, texels per face unit
    __m128i level;

    TwoAxes(float u, float v, float uw, float vw, Ptex::Res faceRes) {
        x = _mm_setr_ps(u, v, 0, 0);
        // the finest width the face resolves: 2^-faceLog2 (faceLog2 within 0..25 here)
        const __m128i faceLog2 = _mm_setr_epi32(faceRes.ulog2, faceRes.vlog2, 0, 0);
        const __m128i bias = _mm_set1_epi32(127);
        const __m128 finest = _mm_castsi128_ps(_mm_slli_epi32(_mm_sub_epi32(bias, faceLog2), 23));
        w = _mm_max_ps(_mm_min_ps(_mm_setr_ps(uw, vw, 1, 1), _mm_set1_ps(1.0f)), finest);
        // level = -exponent of w (w in (0, 1]), scale = 2^level
        const __m128i e =
            _mm_and_si128(_mm_srli_epi32(_mm_castps_si128(w), 23), _mm_set1_epi32(0xff));
        level = _mm_sub_epi32(bias, e);
        scale = _mm_castsi128_ps(_mm_slli_epi32(_mm_add_epi32(bias, level), 23));
    }
    // The kernel's weight from the weight sums of lanes u and v, or -1 unless
    // nonzeroEnds is set in both lanes.
    static float builtWeight(__m128 sums, __m128 nonzeroEnds) {
        if ((_mm_movemask_ps(nonzeroEnds) & 3) != 3) return -1;
        return _mm_cvtss_f32(_mm_mul_ss(sums, _mm_shuffle_ps(sums, sums, _MM_SHUFFLE(1, 1, 1, 1))));
    }
    // floor and ceil as ints, as PtexUtils::floorToInt / ceilToInt
    static __m128i floorInt(__m128 a) {
        const __m128i i = _mm_cvttps_epi32(a);
        return _mm_add_epi32(i, _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(i), a)));
    }
    static __m128i ceilInt(__m128 a) {
        const __m128i i = _mm_cvttps_epi32(a);
        return _mm_sub_epi32(i, _mm_castps_si128(_mm_cmplt_ps(_mm_cvtepi32_ps(i), a)));
    }
    void setLevel(PtexSeparableKernel& k) const {
        alignas(16) int32_t l[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(l), level);
        k.ku = k.kubuff;
        k.kv = k.kvbuff;
        k.res = Ptex::Res(int8_t(l[0]), int8_t(l[1]));
        k.rot = 0;
    }
};

#endif
}  // namespace

void PtexBoxFilter::buildKernel(PtexSeparableKernel& k, float u, float v, float uw, float vw,
                                Ptex::Res faceRes) {
#if defined(__SSE2__)
    const TwoAxes t(u, v, uw, vw, faceRes);
    const __m128 c = _mm_mul_ps(t.x, t.scale),
                 h = _mm_mul_ps(_mm_mul_ps(t.w, t.scale), _mm_set1_ps(0.5f));
    const __m128 a = _mm_sub_ps(c, h), b = _mm_add_ps(c, h);
    const __m128i ia = TwoAxes::floorInt(a), ib = TwoAxes::ceilInt(b);
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 f1 = _mm_sub_ps(one, _mm_sub_ps(a, _mm_cvtepi32_ps(ia)));
    const __m128 f2 = _mm_sub_ps(one, _mm_sub_ps(_mm_cvtepi32_ps(ib), b));
    const __m128i n = _mm_sub_epi32(ib, ia);
    // lanes: first texel u, v, then texel count along u, v
    alignas(16) int32_t pos[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(pos), _mm_unpacklo_epi64(ia, n));
    const __m128i n1 = _mm_sub_epi32(n, _mm_set1_epi32(1));
    if ((_mm_movemask_epi8(_mm_cmplt_epi32(_mm_set1_epi32(2), n1)) & 0xff) == 0 &&
        (_mm_movemask_epi8(_mm_cmplt_epi32(n1, _mm_setzero_si128())) & 0xff) == 0) {
        // a width under two texels spans one to three: the weights (f1 + f2 - 1),
        // (f1, f2) or (f1, 1, f2), as boxWeights gives them, without a branch
        const __m128 is1 = _mm_castsi128_ps(_mm_cmpeq_epi32(n1, _mm_setzero_si128()));
        const __m128 is2 = _mm_castsi128_ps(_mm_cmpeq_epi32(n1, _mm_set1_epi32(1)));
        const __m128 w0 =
            _mm_or_ps(_mm_and_ps(is1, _mm_sub_ps(_mm_add_ps(f1, f2), one)), _mm_andnot_ps(is1, f1));
        const __m128 w1 = _mm_or_ps(_mm_and_ps(is2, f2), _mm_andnot_ps(is2, one));
        const __m128 w01 = _mm_unpacklo_ps(w0, w1);  // (w0u, w1u, w0v, w1v)
        // the sums of the one to three weights in order (adding 0 changes nothing)
        const __m128 ge2 = _mm_castsi128_ps(_mm_cmpgt_epi32(n1, _mm_setzero_si128()));
        const __m128 ge3 = _mm_castsi128_ps(_mm_cmpgt_epi32(n1, _mm_set1_epi32(1)));
        const __m128 sums = _mm_add_ps(_mm_add_ps(w0, _mm_and_ps(ge2, w1)), _mm_and_ps(ge3, f2));
        _builtWeight = TwoAxes::builtWeight(sums, _mm_and_ps(_mm_cmpneq_ps(w0, _mm_setzero_ps()),
                                                             _mm_cmpneq_ps(f2, _mm_setzero_ps())));
        _mm_storeu_ps(k.kubuff, _mm_shuffle_ps(w01, f2, _MM_SHUFFLE(0, 0, 1, 0)));
        _mm_storeu_ps(k.kvbuff, _mm_shuffle_ps(w01, f2, _MM_SHUFFLE(1, 1, 3, 2)));
        k.u = pos[0];
        k.v = pos[1];
        k.uw = pos[2];
        k.vw = pos[3];
    } else {
        alignas(16) float f14[4], f24[4];
        _mm_store_ps(f14, f1);
        _mm_store_ps(f24, f2);
        boxWeights(k.u, k.uw, k.kubuff, pos[0], pos[0] + pos[2], f14[0], f24[0]);
        boxWeights(k.v, k.vw, k.kvbuff, pos[1], pos[1] + pos[3], f14[1], f24[1]);
    }
    t.setLevel(k);
#else
    buildAxes(k, u, v, uw, vw, faceRes, boxAxis);
#endif
}

void PtexBilinearFilter::buildKernel(PtexSeparableKernel& k, float u, float v, float uw, float vw,
                                     Ptex::Res faceRes) {
#if defined(__SSE2__)
    const TwoAxes t(u, v, uw, vw, faceRes);
    const __m128 p = _mm_sub_ps(_mm_mul_ps(t.x, t.scale), _mm_set1_ps(0.5f));
    const __m128i ip = TwoAxes::floorInt(p);
    const __m128 w1 = _mm_sub_ps(p, _mm_cvtepi32_ps(ip));
    const __m128 w0 = _mm_sub_ps(_mm_set1_ps(1.0f), w1);
    _builtWeight = TwoAxes::builtWeight(
        _mm_add_ps(w0, w1),
        _mm_and_ps(_mm_cmpneq_ps(w0, _mm_setzero_ps()), _mm_cmpneq_ps(w1, _mm_setzero_ps())));
    // (1-tu, tu, 1-tv, tv): the first half to ku, the second to kv
    const __m128 w01 = _mm_unpacklo_ps(w0, w1);
    _mm_storeu_ps(k.kubuff, w01);
    _mm_storeu_ps(k.kvbuff, _mm_movehl_ps(w01, w01));
    k.u = _mm_cvtsi128_si32(ip);
    k.v = _mm_cvtsi128_si32(_mm_shuffle_epi32(ip, _MM_SHUFFLE(1, 1, 1, 1)));
    k.uw = k.vw = 2;
    t.setLevel(k);
#else
    buildAxes(k, u, v, uw, vw, faceRes, bilinearAxis);
#endif
}

namespace {
// Each kernel type: K(x) and fill(ku, n, x0, step, c), the n taps K(x0 + i * step).
struct GaussianK {
    float operator()(float x, const float*) const { return std::exp(-2.0f * x * x); }
    void fill(float* ku, int n, float x0, float step, const float*) const {
        // exp(-2 x^2) at evenly spaced x without an exp per tap: from one tap to
        // the next the weight is multiplied by r, and r by g (a few float
        // roundings off the exp of each tap, far inside the filters' tolerance)
        float e = std::exp(-2.0f * x0 * x0);
        float r = std::exp(-2.0f * step * (2.0f * x0 + step));
        const float g = std::exp(-4.0f * step * step);
        for (int i = 0; i < n; i++) {
            ku[i] = e;
            e *= r;
            r *= g;
        }
    }
};
struct BicubicK {
    float operator()(float x, const float* c) const {
        x = std::fabs(x);
        if (x < 1.0f) return (c[0] * x + c[1]) * x * x + c[2];
        if (x < 2.0f) return ((c[3] * x + c[4]) * x + c[5]) * x + c[6];
        return 0.0f;
    }
#if defined(__SSE2__)
    static __m128 taps(__m128 x, const float* c) {
        x = _mm_and_ps(x, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff)));
        auto k = [c](int i) { return _mm_set1_ps(c[i]); };
        const __m128 inner =
            _mm_add_ps(_mm_mul_ps(_mm_mul_ps(_mm_add_ps(_mm_mul_ps(k(0), x), k(1)), x), x), k(2));
        const __m128 outer = _mm_add_ps(
            _mm_mul_ps(_mm_add_ps(_mm_mul_ps(_mm_add_ps(_mm_mul_ps(k(3), x), k(4)), x), k(5)), x),
            k(6));
        const __m128 lt1 = _mm_cmplt_ps(x, _mm_set1_ps(1.0f));
        const __m128 lt2 = _mm_cmplt_ps(x, _mm_set1_ps(2.0f));
        return _mm_or_ps(_mm_and_ps(lt1, inner), _mm_andnot_ps(lt1, _mm_and_ps(lt2, outer)));
    }
#endif
    void fill(float* ku, int n, float x0, float step, const float* c) const {
        int i = 0;
#if defined(__SSE2__)
        // four taps per vector, the same operations per lane as operator(); the
        // buffer holds kmax >= 8 weights
        const __m128 vx0 = _mm_set1_ps(x0), vstep = _mm_set1_ps(step);
        const __m128 i0 = _mm_setr_ps(0, 1, 2, 3), i4 = _mm_setr_ps(4, 5, 6, 7);
        _mm_storeu_ps(ku, taps(_mm_add_ps(vx0, _mm_mul_ps(i0, vstep)), c));
        if (n > 4) _mm_storeu_ps(ku + 4, taps(_mm_add_ps(vx0, _mm_mul_ps(i4, vstep)), c));
        i = 8;
#endif
        for (; i < n; i++) ku[i] = (*this)(x0 + float(i) * step, c);
    }
};
struct PointerK {
    PtexWidth4Filter::KernelFn* fn;
    float operator()(float x, const float* c) const { return fn(x, c); }
    void fill(float* ku, int n, float x0, float step, const float* c) const {
        for (int i = 0; i < n; i++) ku[i] = fn(x0 + float(i) * step, c);
    }
};

template <class K>
int width4Axis(const K& kfn, const float* c, bool lerp, int& k_u, int& k_uw, float* ku, float u,
               float uw, int faceLog2);
}  // namespace

int PtexWidth4Filter::buildKernelAxis(int& k_u, int& k_uw, float* ku, float u, float uw,
                                      int faceLog2) {
    // the standard kernels are inlined; other kernel functions go through the pointer
    if (_k == PtexBicubicFilter::kernelFn)
        return width4Axis(BicubicK(), _c, _options.lerp, k_u, k_uw, ku, u, uw, faceLog2);
    if (_k == PtexGaussianFilter::kernelFn)
        return width4Axis(GaussianK(), _c, _options.lerp, k_u, k_uw, ku, u, uw, faceLog2);
    return width4Axis(PointerK{_k}, _c, _options.lerp, k_u, k_uw, ku, u, uw, faceLog2);
}

namespace {
template <class K>
int width4Axis(const K& _k, const float* c, bool lerp, int& k_u, int& k_uw, float* ku, float u,
               float uw, int faceLog2) {
    auto blendWeight = PtexWidth4Filter::blendWeight;
    const float w = PtexUtils::max(uw, PtexUtils::reciprocalPow2(faceLog2));
    int L = PtexUtils::calcResFromWidth(w);
    const float invR = PtexUtils::reciprocalPow2(L);
    // blend towards the next coarser level
    const float t2 = lerp ? (w - invR) / invR : 0.0f;
    const float t1 = 1 - t2;

    if (w >= 0.25f) {
        if (w < 0.5f) {
            L = 2;
            const float p = 4 * u - 0.5f;
            const int a = floorEven(iceil(p - 2)), b = ceilEven(iceil(p + 2));
            k_u = a;
            k_uw = clampCount(b - a) & ~1;
            const float x0 = float(a) - p, s = 1.0f / (w + 0.75f);
            for (int i = 0; i < k_uw; i += 2) {
                const float xa = x0 + float(i), xb = xa + 1, xc = (xa + xb) * 0.25f;
                const float hc = blendWeight(xc * s) * t2;
                ku[i] = _k(xa, c) * t1 + hc;
                ku[i + 1] = _k(xb, c) * t1 + hc;
            }
        } else if (w < 1) {
            L = 1;
            const float p = 2 * u - 0.5f;
            k_u = 2 * ifloor(u - 0.5f);
            k_uw = 4;
            const float x0 = float(k_u) - p, s = 1.0f / (1.5f * w + 0.5f);
            for (int i = 0; i < 4; i += 2) {
                const float xa = x0 + float(i), xb = xa + 1, xc = (xa + xb) * 0.5f;
                const float hc = blendWeight(xc * s) * t2;
                ku[i] = blendWeight(xa * s) * t1 + hc;
                ku[i + 1] = blendWeight(xb * s) * t1 + hc;
            }
        } else {
            // the texel of this face and of the neighbour on the near side
            L = 0;
            const float p = u - 0.5f;
            const int ip = ifloor(p);
            k_u = ip;
            k_uw = 2;
            ku[0] = blendWeight(p - float(ip));
            ku[1] = 1 - ku[0];
        }
        return L;
    }

    const float R = float(1 << L);
    const float p = u * R - 0.5f, d = w * R;
    int a = iceil(p - 2 * d), b = iceil(p + 2 * d);
    if (t2 != 0) {
        a = floorEven(a);
        b = ceilEven(b);
        k_u = a;
        k_uw = clampCount(b - a) & ~1;
        const float step = 1.0f / d, x0 = (float(a) - p) * step;
        for (int i = 0; i < k_uw; i += 2) {
            const float xa = x0 + float(i) * step, xb = xa + step, xc = (xa + xb) * 0.5f;
            const float kc = _k(xc, c) * t2;
            ku[i] = _k(xa, c) * t1 + kc;
            ku[i + 1] = _k(xb, c) * t1 + kc;
        }
    } else {
        k_u = a;
        k_uw = clampCount(b - a);
        const float x0 = (float(a) - p) / d, step = 1.0f / d;
        _k.fill(ku, k_uw, x0, step, c);
    }
    return L;
}

#if defined(__SSE2__)
// Both axes of a width-4 kernel side by side, for the usual footprint: under a
// quarter of the face along both axes and no lerp. Each lane does what
// width4Axis does on that branch. Returns false, writing nothing, otherwise.
template <class K>
bool width4BothAxes(const K& kfn, const float* c, PtexSeparableKernel& k, float u, float v,
                    float uw, float vw, Ptex::Res faceRes) {
    const TwoAxes t(u, v, uw, vw, faceRes);  // (its min with 1 changes no width under 1/4)
    if ((_mm_movemask_ps(_mm_cmplt_ps(t.w, _mm_set1_ps(0.25f))) & 3) != 3) return false;
    const __m128 p = _mm_sub_ps(_mm_mul_ps(t.x, t.scale), _mm_set1_ps(0.5f));
    const __m128 d = _mm_mul_ps(t.w, t.scale), d2 = _mm_mul_ps(_mm_set1_ps(2.0f), d);
    const __m128i a = TwoAxes::ceilInt(_mm_sub_ps(p, d2)), b = TwoAxes::ceilInt(_mm_add_ps(p, d2));
    const __m128 x0 = _mm_div_ps(_mm_sub_ps(_mm_cvtepi32_ps(a), p), d);
    const __m128 step = _mm_div_ps(_mm_set1_ps(1.0f), d);
    alignas(16) int32_t a4[4], n4[4];
    alignas(16) float x04[4], step4[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(a4), a);
    _mm_store_si128(reinterpret_cast<__m128i*>(n4), _mm_sub_epi32(b, a));
    _mm_store_ps(x04, x0);
    _mm_store_ps(step4, step);
    k.u = a4[0];
    k.v = a4[1];
    k.uw = clampCount(n4[0]);
    k.vw = clampCount(n4[1]);
    kfn.fill(k.kubuff, k.uw, x04[0], step4[0], c);
    kfn.fill(k.kvbuff, k.vw, x04[1], step4[1], c);
    t.setLevel(k);
    return true;
}
#endif
}  // namespace

void PtexWidth4Filter::buildKernel(PtexSeparableKernel& k, float u, float v, float uw, float vw,
                                   Ptex::Res faceRes) {
#if defined(__SSE2__)
    if (!_options.lerp) {
        if (_k == PtexBicubicFilter::kernelFn &&
            width4BothAxes(BicubicK(), _c, k, u, v, uw, vw, faceRes))
            return;
        if (_k == PtexGaussianFilter::kernelFn &&
            width4BothAxes(GaussianK(), _c, k, u, v, uw, vw, faceRes))
            return;
    }
#endif
    buildAxes(k, u, v, uw, vw, faceRes,
              [this](int& k_u, int& k_uw, float* kw, float x, float w, int faceLog2) {
                  return buildKernelAxis(k_u, k_uw, kw, x, w, faceLog2);
              });
}

float PtexGaussianFilter::kernelFn(float x, const float* c) {
    return GaussianK()(x, c);
}

PtexBicubicFilter::PtexBicubicFilter(PtexTexture* tx, const PtexFilter::Options& opts,
                                     float sharpness)
    : PtexWidth4Filter(tx, opts, kernelFn) {
    // Mitchell-Netravali with B = 1 - sharpness and C = (1 - B) / 2
    const float B = 1.0f - sharpness;
    _c[0] = 1.5f - B;
    _c[1] = 1.5f * B - 2.5f;
    _c[2] = 1.0f - (1.0f / 3.0f) * B;
    _c[3] = (1.0f / 3.0f) * B - 0.5f;
    _c[4] = 2.5f - 1.5f * B;
    _c[5] = 2.0f * B - 4.0f;
    _c[6] = 2.0f - (2.0f / 3.0f) * B;
}

float PtexBicubicFilter::kernelFn(float x, const float* c) {
    return BicubicK()(x, c);
}
