// PtexTriangleFilter: elliptical gaussian footprint on triangle meshes. The
// ellipse is limited in eccentricity and kept at least a texel wide, the level is
// chosen from its minor radius, and the part of the footprint beyond an edge is
// re-expressed in the neighbour's coordinates. The result is normalised by the
// weights actually applied, so missing neighbours renormalise.
#include "PtexEvalStart.h"
#include "PtexFilters.h"
#include "PtexKernelApply.h"
#include "PtexTriangleKernel.h"
#include "PtexUtils.h"

#include <cmath>

namespace {
const int kMaxDepth = 32;
const float kSqrt3 = 1.7320508f;

inline float sane(float x, float lim) {
    if (!(x == x)) return 0.0f;
    return PtexUtils::clamp(x, -lim, lim);
}

inline float minOne(float x) {
    return x < 1.0f ? x : 1.0f;
}  // NaN gives 1

}  // namespace

PtexTriangleFilter::PtexTriangleFilter(PtexTexture* tx, const PtexFilter::Options& opts)
    : _tx(tx),
      _reader(PtexFilterImpl::readerOf(tx)),
      _weight(0),
      _firstChanOffset(0),
      _nchan(0),
      _ntxchan(0),
      _numFaces(0),
      _dt(Ptex::dt_uint8) {
    PtexFilterImpl::copyOptions(_options, opts, false);  // noedgeblend is not used by this filter
    for (float& r : _result) r = 0;
    PtexFilterImpl::textureFacts(_tx, _ntxchan, _numFaces, _dt);
}

void PtexTriangleFilter::release() {
    delete this;
}

void PtexTriangleFilter::eval(float* result, int firstchan, int nchannels, int faceid, float u,
                              float v, float uw1, float vw1, float uw2, float vw2, float width,
                              float blur) {
    const Ptex::FaceInfo* fi = nullptr;
    const int n =
        PtexFilterImpl::startEval(PtexFilterImpl::FilterSource(_tx, _reader), _numFaces, _ntxchan,
                                  _dt, result, firstchan, nchannels, faceid, fi);
    if (n == 0) return;
    const Ptex::FaceInfo& f = *fi;

    u = PtexUtils::clamp(sane(u, 1.0f), 0.0f, 1.0f);
    v = PtexUtils::clamp(sane(v, 1.0f), 0.0f, 1.0f);
    // footprints beyond a thousand faces carry no extra information
    const float lim = 1e3f;
    Kernel k;
    buildKernel(k, u, v, sane(uw1, lim), sane(vw1, lim), sane(uw2, lim), sane(vw2, lim),
                width == width ? sane(width, lim) : 1.0f, sane(blur, lim), f.res);

    for (int c0 = 0; c0 < n; c0 += kMaxChan) {
        _nchan = PtexUtils::min(kMaxChan, n - c0);
        _firstChanOffset = (firstchan + c0) * Ptex::DataSize(_dt);
        _weight = 0;
        for (int c = 0; c < _nchan; c++) _result[c] = 0;
        Kernel kc = k;
        splitAndApply(kc, faceid, f, 0);
        if (!(_weight > 0)) {
            // nothing sampled (degenerate footprint): zeros rather than NaN
            for (int c = 0; c < _nchan; c++) result[c0 + c] = 0;
            continue;
        }
        const float scale = 1.0f / (_weight * Ptex::OneValue(_dt));
        for (int c = 0; c < _nchan; c++) result[c0 + c] = _result[c] * scale;
    }
}

void PtexTriangleFilter::buildKernel(Kernel& k, float u, float v, float uw1, float vw1, float uw2,
                                     float vw2, float width, float blur, Ptex::Res faceRes) const {
    // ellipse of the footprint
    const float s = width * width / 4;
    float A = (vw1 * vw1 + vw2 * vw2) * s;
    float B = -2 * s * (uw1 * vw1 + uw2 * vw2);
    float C = (uw1 * uw1 + uw2 * uw2) * s;

    // to the equilateral frame
    float Ac = 0.75f * A;
    float Bc = (kSqrt3 / 2) * (B - A);
    float Cc = 0.25f * A - 0.5f * B + C;

    // eccentricity limit 15, at least half a texel, blur
    const float X = std::sqrt((Ac - Cc) * (Ac - Cc) + Bc * Bc);
    const float rho = (15.0f * 15.0f + 1) / (15.0f * 15.0f - 1);
    const float be = 0.5f * (rho * X - (Ac + Cc));
    const float tw = 0.5f * PtexUtils::reciprocalPow2(faceRes.ulog2);
    const float bt = tw * tw;
    const float bb = blur * blur / 4;
    const float b = PtexUtils::max(bb, PtexUtils::max(be, bt));
    Ac += b;
    Cc += b;

    const float m = std::sqrt(2 * (Ac * Cc - 0.25f * Bc * Bc) / (Ac + Cc + X));
    int L = PtexUtils::max(0, PtexUtils::calcResFromWidth(2 * m));
    if (L > 30) L = 30;

    // back to triangle coordinates, scaled to the kernel support (3.5 sigma)
    A = (4.0f / 3.0f) * Ac;
    B = (2.0f / kSqrt3) * Bc + A;
    C = -0.25f * A + 0.5f * B + Cc;
    const float scale = 3.5f * 3.5f;
    A *= scale;
    B *= scale;
    C *= scale;

    const float ru = minOne(std::sqrt(C)), rv = minOne(std::sqrt(A)),
                rw = minOne(std::sqrt(A - B + C));
    const float w = 1 - u - v;
    k.res = Ptex::Res(int8_t(L), int8_t(L));
    k.u = u;
    k.v = v;
    k.u1 = u - ru;
    k.v1 = v - rv;
    k.w1 = w - rw;
    k.u2 = u + ru;
    k.v2 = v + rv;
    k.w2 = w + rw;
    k.A = A;
    k.B = B;
    k.C = C;
}

bool PtexTriangleFilter::Kernel::reorient(int e, int a) {
    if (e < 0 || e > 2 || a < 0 || a > 2) return false;
    // New (u, v, w) is 1 - X or -X of an old coordinate X (the one at a + 1 is
    // negated); the bounds swap ends. The neighbour's frame is turned by
    // (a - e) mod 3, which also turns the ellipse.
    static const int8_t kTurn[3][3] = {{0, 1, 2}, {2, 0, 1}, {1, 2, 0}};
    static const float kOne[3][3] = {{1, 0, 1}, {1, 1, 0}, {0, 1, 1}};
    const float* one = kOne[a];
    const float w = 1 - u - v;
    // the new coordinates from old (X, Y, Z), bounds [X1, X2] and so on
    auto set = [&](float X, float Y, float X1, float Y1, float Z1, float X2, float Y2, float Z2) {
        u = one[0] - X;
        v = one[1] - Y;
        u1 = one[0] - X2;
        v1 = one[1] - Y2;
        w1 = one[2] - Z2;
        u2 = one[0] - X1;
        v2 = one[1] - Y1;
        w2 = one[2] - Z1;
    };
    switch (kTurn[e][a]) {
        case 0:
            set(u, v, u1, v1, w1, u2, v2, w2);
            break;
        case 1: {  // (u, v, w) from (w, u, v)
            set(w, u, w1, u1, v1, w2, u2, v2);
            const float nA = C, nB = 2 * C - B, nC = A + C - B;
            A = nA;
            B = nB;
            C = nC;
            break;
        }
        default: {  // (u, v, w) from (v, w, u)
            set(v, w, v1, w1, u1, v2, w2, u2);
            const float nA = A + C - B, nB = 2 * A - B, nC = A;
            A = nA;
            B = nB;
            C = nC;
            break;
        }
    }
    return true;
}

void PtexTriangleFilter::splitAndApply(Kernel& k, int faceid, const Ptex::FaceInfo& f, int depth) {
    if (depth > kMaxDepth) return;
    if (k.u1 < 0 && f.adjface(2) >= 0) {
        Kernel ka = k;
        k.u1 = 0;
        ka.u2 = 0;
        applyAcrossEdge(ka, f, 2, depth);
    }
    if (k.v1 < 0 && f.adjface(0) >= 0) {
        Kernel ka = k;
        k.v1 = 0;
        ka.v2 = 0;
        applyAcrossEdge(ka, f, 0, depth);
    }
    if (k.w1 < 0 && f.adjface(1) >= 0) {
        Kernel ka = k;
        k.w1 = 0;
        ka.w2 = 0;
        applyAcrossEdge(ka, f, 1, depth);
    }
    apply(k, faceid, f);
}

void PtexTriangleFilter::applyAcrossEdge(Kernel& k, const Ptex::FaceInfo& f, int eid, int depth) {
    const int g = f.adjface(eid);
    if (g < 0 || g >= _numFaces) return;
    if (!k.reorient(eid, f.adjedge(eid))) return;
    splitAndApply(k, g, PtexFilterImpl::FilterSource(_tx, _reader).faceInfo(g), depth + 1);
}

void PtexTriangleFilter::apply(Kernel& k, int faceid, const Ptex::FaceInfo& f) {
    const int L = PtexUtils::min(int(k.res.ulog2), int(f.res.ulog2));
    if (L < 0 || L > 30) return;
    const Ptex::Res res{int8_t(L), int8_t(L)};

    const float u1 = PtexUtils::max(k.u1, 0.0f), v1 = PtexUtils::max(k.v1, 0.0f),
                w1 = PtexUtils::max(k.w1, 0.0f);
    const float u2 = PtexUtils::min(k.u2, 1 - (v1 + w1));
    const float v2 = PtexUtils::min(k.v2, 1 - (w1 + u1));
    const float w2 = PtexUtils::min(k.w2, 1 - (u1 + v1));

    const int N = 1 << L;
    const float Nf = float(N);
    const float F = 1 / (Nf * Nf * (k.A * k.C - 0.25f * k.B * k.B));
    const float a = k.A * F, b = k.B * F, c = k.C * F;
    const float t = 1.0f / 3.0f;

    // tap ranges of the even texels, then of the odd ones (the kernel reflected
    // across the diagonal: u -> 1-v, v -> 1-u, w -> -w)
    const float x[12] = {u1, u2, v1, v2, w1, w2, 1 - v2, 1 - v1, 1 - u2, 1 - u1, -w2, -w1};
    using PtexFilterImpl::TriIter;
    TriIter it[2];
    TriIter& ev = it[0];
    TriIter& od = it[1];
    PtexFilterImpl::ceilScaled12(x, Nf, t, ev.range, od.range);
    ev.rowlen = N;
    ev.cu = k.u * Nf - t;
    ev.cv = k.v * Nf - t;
    ev.a = a;
    ev.b = b;
    ev.c = c;
    od.rowlen = N;
    od.cu = (1 - k.v) * Nf - t;
    od.cv = (1 - k.u) * Nf - t;
    od.a = c;
    od.b = b;
    od.c = a;
    if (!ev.valid() && !od.valid()) return;

    using PtexFilterImpl::DataKind;
    const PtexFilterImpl::FaceView d(PtexFilterImpl::FilterSource(_tx, _reader), faceid, res);
    const float wscale = 1.0f / (Nf * Nf);

    if (d.kind() == DataKind::constant) {
        const float wsum = PtexFilterImpl::triangleWeight(it, 2, wscale);
        PtexFilterImpl::addPixel(_result, d.data() + _firstChanOffset, _dt, _nchan, wsum);
        _weight += wsum;
    } else if (d.kind() == DataKind::tiled) {
        const Ptex::Res tr = d.tileRes();
        if (tr.ulog2 == tr.vlog2 && tr.ulog2 >= 0 && tr.ulog2 <= L && d.res() == res) {
            const int T = tr.u();
            const int ntu = N / T;
            for (const TriIter& i : it) {
                if (!i.valid()) continue;
                const int tv1 = PtexUtils::max(i.v1(), 0) / T,
                          tv2 = (PtexUtils::min(i.v2(), N) - 1) / T;
                const int tu1 = PtexUtils::max(i.u1(), 0) / T,
                          tu2 = (PtexUtils::min(i.u2(), N) - 1) / T;
                for (int tv = tv1; tv <= tv2; tv++) {
                    for (int tu = tu1; tu <= tu2; tu++) {
                        const int ou = tu * T, ov = tv * T, wo = (N - T) - ou - ov;
                        TriIter ti = i;
                        ti.rowlen = T;
                        ti.cu = i.cu - float(ou);
                        ti.cv = i.cv - float(ov);
                        // u1, u2, v1, v2, w1, w2 within the tile
                        ti.range[0] = PtexUtils::max(0, i.u1() - ou);
                        ti.range[1] = PtexUtils::min(i.u2() - ou, T);
                        ti.range[2] = PtexUtils::max(0, i.v1() - ov);
                        ti.range[3] = PtexUtils::min(i.v2() - ov, T);
                        ti.range[4] = i.w1() - wo;
                        ti.range[5] = i.w2() - wo;
                        if (!ti.valid()) continue;
                        const PtexFilterImpl::TileView tile(d, tv * ntu + tu);
                        if (tile.kind() == DataKind::constant) {
                            const float ws = PtexFilterImpl::triangleWeight(&ti, 1, wscale);
                            PtexFilterImpl::addPixel(_result, tile.data() + _firstChanOffset, _dt,
                                                     _nchan, ws);
                            _weight += ws;
                        } else if (tile.kind() == DataKind::packed && tile.res() == tr) {
                            _weight += PtexFilterImpl::applyTriangle(&ti, 1, wscale, _result,
                                                                     tile.data() + _firstChanOffset,
                                                                     _dt, _nchan, _ntxchan);
                        }
                    }
                }
            }
        }
    } else if (d.kind() == DataKind::packed && d.res() == res) {
        _weight += PtexFilterImpl::applyTriangle(
            it, 2, wscale, _result, d.data() + _firstChanOffset, _dt, _nchan, _ntxchan);
    }
}
