// PtexSeparableKernel: the kernel rectangle and its moves between faces. Every
// operation works on the kernel's own buffers; counts are kept within kmax so a
// hostile footprint cannot write past them.
#include "PtexFilters.h"
#include "PtexKernelApply.h"

#include <algorithm>

namespace {
inline int clampCount(int n, int cap) {
    return n < 0 ? 0 : (n > cap ? cap : n);
}
inline float sum(const float* k, int n) {
    float s = 0;
    for (int i = 0; i < n; i++) s += k[i];
    return s;
}
}  // namespace

void PtexSeparableKernel::set(Ptex::Res res_, int u_, int v_, int uw_, int vw_, const float* ku_,
                              const float* kv_, int rot_) {
    res = res_;
    u = u_;
    v = v_;
    uw = clampCount(uw_, kmax);
    vw = clampCount(vw_, kmax);
    // a forward copy is safe when the source is this kernel's own buffer (it lies at or after the
    // start)
    std::copy_n(ku_, uw, kubuff);
    std::copy_n(kv_, vw, kvbuff);
    ku = kubuff;
    kv = kvbuff;
    rot = rot_;
}

void PtexSeparableKernel::stripZeros() {
    while (uw && ku[0] == 0) {
        ku++;
        u++;
        uw--;
    }
    while (uw && ku[uw - 1] == 0) uw--;
    while (vw && kv[0] == 0) {
        kv++;
        v++;
        vw--;
    }
    while (vw && kv[vw - 1] == 0) vw--;
}

float PtexSeparableKernel::weight() const {
    return sum(ku, uw) * sum(kv, vw);
}

void PtexSeparableKernel::mergeL(Ptex::BorderMode mode) {
    int w = -u;
    if (w <= 0) return;
    if (w >= uw) {  // wholly outside: everything lands on the border texel
        float s = sum(ku, uw);
        ku[0] = (mode == Ptex::m_black) ? 0.0f : s;
        uw = uw ? 1 : 0;
    } else {
        if (mode != Ptex::m_black) ku[w] += sum(ku, w);
        ku += w;
        uw -= w;
    }
    u = 0;
}

void PtexSeparableKernel::mergeR(Ptex::BorderMode mode) {
    int w = u + uw - res.u();
    if (w <= 0) return;
    if (w >= uw) {
        float s = sum(ku, uw);
        ku[0] = (mode == Ptex::m_black) ? 0.0f : s;
        uw = uw ? 1 : 0;
        u = res.u() - 1;
    } else {
        if (mode != Ptex::m_black) ku[uw - w - 1] += sum(ku + uw - w, w);
        uw -= w;
    }
}

void PtexSeparableKernel::mergeB(Ptex::BorderMode mode) {
    int w = -v;
    if (w <= 0) return;
    if (w >= vw) {
        float s = sum(kv, vw);
        kv[0] = (mode == Ptex::m_black) ? 0.0f : s;
        vw = vw ? 1 : 0;
    } else {
        if (mode != Ptex::m_black) kv[w] += sum(kv, w);
        kv += w;
        vw -= w;
    }
    v = 0;
}

void PtexSeparableKernel::mergeT(Ptex::BorderMode mode) {
    int w = v + vw - res.v();
    if (w <= 0) return;
    if (w >= vw) {
        float s = sum(kv, vw);
        kv[0] = (mode == Ptex::m_black) ? 0.0f : s;
        vw = vw ? 1 : 0;
        v = res.v() - 1;
    } else {
        if (mode != Ptex::m_black) kv[vw - w - 1] += sum(kv + vw - w, w);
        vw -= w;
    }
}

void PtexSeparableKernel::splitL(PtexSeparableKernel& k) {
    int w = -u;
    if (w < uw) {
        k.set(res, res.u() - w, v, w, vw, ku, kv);
        ku += w;
        uw -= w;
        u = 0;
    } else {
        k = *this;
        k.u += res.u();
        uw = 0;
    }
}

void PtexSeparableKernel::splitR(PtexSeparableKernel& k) {
    int w = u + uw - res.u();
    if (w < uw) {
        k.set(res, 0, v, w, vw, ku + uw - w, kv);
        uw -= w;
    } else {
        k = *this;
        k.u -= res.u();
        uw = 0;
    }
}

void PtexSeparableKernel::splitB(PtexSeparableKernel& k) {
    int w = -v;
    if (w < vw) {
        k.set(res, u, res.v() - w, uw, w, ku, kv);
        kv += w;
        vw -= w;
        v = 0;
    } else {
        k = *this;
        k.v += res.v();
        vw = 0;
    }
}

void PtexSeparableKernel::splitT(PtexSeparableKernel& k) {
    int w = v + vw - res.v();
    if (w < vw) {
        k.set(res, u, 0, uw, w, ku, kv + vw - w);
        vw -= w;
    } else {
        k = *this;
        k.v -= res.v();
        vw = 0;
    }
}

void PtexSeparableKernel::flipU() {
    u = res.u() - u - uw;
    std::reverse(ku, ku + uw);
}

void PtexSeparableKernel::flipV() {
    v = res.v() - v - vw;
    std::reverse(kv, kv + vw);
}

void PtexSeparableKernel::swapUV() {
    res.swapuv();
    std::swap(u, v);
    std::swap(uw, vw);
    // swap the buffers too, so ku always points into kubuff
    long ou = ku - kubuff, ov = kv - kvbuff;
    std::swap(kubuff, kvbuff);
    ku = kubuff + ov;
    kv = kvbuff + ou;
}

void PtexSeparableKernel::rotate(int r) {
    switch (r & 3) {
        case 1:
            flipU();
            swapUV();
            break;
        case 2:
            flipU();
            flipV();
            break;
        case 3:
            flipV();
            swapUV();
            break;
        default:
            break;
    }
    rot = (rot + r) & 3;
}

void PtexSeparableKernel::upresU() {
    // move to the buffer start first so 2 uw weights fit
    int n = std::min(uw, kmax / 2);
    std::copy_n(ku, n, kubuff);
    ku = kubuff;
    for (int i = n - 1; i >= 0; i--) ku[2 * i] = ku[2 * i + 1] = ku[i] * 0.5f;
    u *= 2;
    uw = 2 * n;
    res.ulog2++;
}

void PtexSeparableKernel::upresV() {
    int n = std::min(vw, kmax / 2);
    std::copy_n(kv, n, kvbuff);
    kv = kvbuff;
    for (int i = n - 1; i >= 0; i--) kv[2 * i] = kv[2 * i + 1] = kv[i] * 0.5f;
    v *= 2;
    vw = 2 * n;
    res.vlog2++;
}

namespace {
// Pairwise merge onto the coarser level, in place; returns the new count.
int downres1(int start, float* k, int n) {
    float* dst = k;
    const float* src = k;
    if (start & 1) {
        *dst++ = *src++;
        n--;
    }
    for (; n >= 2; n -= 2, src += 2) *dst++ = src[0] + src[1];
    if (n == 1) *dst++ = *src;
    return int(dst - k);
}
}  // namespace

void PtexSeparableKernel::downresU() {
    if (uw > 0) uw = downres1(u, ku, uw);
    u /= 2;
    res.ulog2--;
}

void PtexSeparableKernel::downresV() {
    if (vw > 0) vw = downres1(v, kv, vw);
    v /= 2;
    res.vlog2--;
}

bool PtexSeparableKernel::adjustMainToSubface(int e) {
    if (res.ulog2 == 0) upresU();
    if (res.vlog2 == 0) upresV();
    if (res.ulog2 > 0) res.ulog2--;
    if (res.vlog2 > 0) res.vlog2--;
    const int W = res.u(), H = res.v();
    bool primary = false;
    switch (e & 3) {
        case 0:
            primary = (u < W);
            v -= H;
            if (!primary) u -= W;
            break;
        case 1:
            primary = (v < H);
            if (!primary) v -= H;
            break;
        case 2:
            primary = (u >= W);
            if (primary) u -= W;
            break;
        case 3:
            primary = (v >= H);
            u -= W;
            if (primary) v -= H;
            break;
    }
    return primary;
}

void PtexSeparableKernel::adjustSubfaceToMain(int e) {
    switch (e & 3) {
        case 0:
            v += res.v();
            break;
        case 1:
            break;
        case 2:
            u += res.u();
            break;
        case 3:
            u += res.u();
            v += res.v();
            break;
    }
    res.ulog2++;
    res.vlog2++;
}

float PtexSeparableKernel::makeSymmetric(float w0) {
    while (res.ulog2 > res.vlog2 && res.ulog2 > 0) downresU();
    while (res.vlog2 > res.ulog2 && res.vlog2 > 0) downresV();
    uw = vw = std::min(uw, vw);
    float s = 0;
    for (int i = 0; i < uw; i++) {
        float si = ku[i] + kv[i];
        ku[i] = kv[i] = si;
        s += si;
    }
    float w1 = s * s;
    float scale = (w1 == 0) ? 1.0f : w0 / w1;
    if (scale >= 1) return w1;
    if (scale < -1) {
        for (int i = 0; i < uw; i++) ku[i] = -ku[i];
        return -w1;
    }
    for (int i = 0; i < uw; i++) ku[i] *= scale;
    return w0;
}

void PtexSeparableKernel::apply(float* dst, const void* data, Ptex::DataType dt, int nChan,
                                int nTxChan) const {
    PtexFilterImpl::applySeparable(dst, data, dt, res.u(), u, v, uw, vw, ku, kv, nChan, nTxChan);
}

void PtexSeparableKernel::applyConst(float* dst, const void* pixel, Ptex::DataType dt,
                                     int nChan) const {
    PtexFilterImpl::addPixel(dst, pixel, dt, nChan, weight());
}
