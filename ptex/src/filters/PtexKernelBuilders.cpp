// Kernel builders of the separable filters: level choice and per-direction tap
// weights for the box, bilinear and width-4 (gaussian, bicubic) filters. Each
// direction is built independently; all arithmetic is in float.
#include "PtexFilters.h"
#include "PtexUtils.h"

#include <cmath>
#include <type_traits>

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

int boxAxis(int& k_u, int& k_uw, float* kw, float u, float uw, int faceLog2) {
    float w;
    const int L = boxLevel(uw, faceLog2, w);
    const float R = float(1 << L);
    // texel i covers [i, i+1)
    const float c = u * R, d = w * R;
    const float a = c - d * 0.5f, b = c + d * 0.5f;
    const int ia = ifloor(a), ib = iceil(b);
    const float fa = float(ia), cb = float(ib);
    k_u = ia;
    k_uw = clampCount(ib - ia);
    const float f1 = 1 - (a - fa), f2 = 1 - (cb - b);
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
}  // namespace

void PtexBoxFilter::buildKernel(PtexSeparableKernel& k, float u, float v, float uw, float vw,
                                Ptex::Res faceRes) {
    buildAxes(k, u, v, uw, vw, faceRes, boxAxis);
}

void PtexBilinearFilter::buildKernel(PtexSeparableKernel& k, float u, float v, float uw, float vw,
                                     Ptex::Res faceRes) {
    buildAxes(k, u, v, uw, vw, faceRes, bilinearAxis);
}

void PtexWidth4Filter::buildKernel(PtexSeparableKernel& k, float u, float v, float uw, float vw,
                                   Ptex::Res faceRes) {
    buildAxes(k, u, v, uw, vw, faceRes,
              [this](int& k_u, int& k_uw, float* kw, float x, float w, int faceLog2) {
                  return buildKernelAxis(k_u, k_uw, kw, x, w, faceLog2);
              });
}

namespace {
struct GaussianK {
    float operator()(float x, const float*) const { return std::exp(-2.0f * x * x); }
};
struct BicubicK {
    float operator()(float x, const float* c) const {
        x = std::fabs(x);
        if (x < 1.0f) return (c[0] * x + c[1]) * x * x + c[2];
        if (x < 2.0f) return ((c[3] * x + c[4]) * x + c[5]) * x + c[6];
        return 0.0f;
    }
};
struct PointerK {
    PtexWidth4Filter::KernelFn* fn;
    float operator()(float x, const float* c) const { return fn(x, c); }
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
        if constexpr (std::is_same_v<K, GaussianK>) {
            // exp(-2 x^2) at evenly spaced x without an exp per tap: from one tap to
            // the next the weight is multiplied by r, and r by g (a few float
            // roundings off the exp of each tap, far inside the filters' tolerance)
            float e = std::exp(-2.0f * x0 * x0);
            float r = std::exp(-2.0f * step * (2.0f * x0 + step));
            const float g = std::exp(-4.0f * step * step);
            for (int i = 0; i < k_uw; i++) {
                ku[i] = e;
                e *= r;
                r *= g;
            }
        } else {
            for (int i = 0; i < k_uw; i++) ku[i] = _k(x0 + float(i) * step, c);
        }
    }
    return L;
}
}  // namespace

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
