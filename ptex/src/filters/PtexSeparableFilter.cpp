// PtexSeparableFilter: footprint set-up, kernel splitting across edges and
// corners, application to face data (packed, tiled, constant) and normalisation
// by the tracked total weight.
#include "PtexFilters.h"
#include "PtexKernelApply.h"
#include "PtexUtils.h"

#include <cmath>
#include <cstddef>

namespace {
// Pieces handed on through subfaces recurse; hostile adjacency must not loop.
const int kMaxDepth = 16;

inline float sanePos(float x)
{
    if (!(x == x)) return 0.0f;  // NaN
    return PtexUtils::clamp(x, -1e6f, 1e6f);
}

inline float saneWidth(float w)
{
    if (!(w >= 0)) return 0.0f;  // NaN or negative: acts as the minimum width anyway
    return w > 1e6f ? 1e6f : w;
}

inline float sum(const float* k, int n)
{
    float s = 0;
    for (int i = 0; i < n; i++) s += k[i];
    return s;
}
}  // namespace

PtexSeparableFilter::PtexSeparableFilter(PtexTexture* tx, const PtexFilter::Options& opts)
    : _tx(tx), _weight(0), _firstChanOffset(0), _nchan(0), _ntxchan(0), _numFaces(0), _dt(Ptex::dt_uint8),
      _uMode(Ptex::m_clamp), _vMode(Ptex::m_clamp), _efm(Ptex::efm_none), _tanvecPass(false)
{
    _options.filter = opts.filter;
    _options.lerp = opts.lerp;
    _options.sharpness = opts.sharpness;
    // callers built with an older, shorter Options do not have noedgeblend
    _options.noedgeblend = size_t(opts.__structSize) >= offsetof(PtexFilter::Options, noedgeblend) + sizeof(bool)
                               ? opts.noedgeblend
                               : false;
    for (float& r : _result) r = 0;
    if (_tx) {
        _ntxchan = _tx->numChannels();
        _numFaces = _tx->numFaces();
        _dt = _tx->dataType();
        _uMode = _tx->uBorderMode();
        _vMode = _tx->vBorderMode();
        _efm = _tx->edgeFilterMode();
    }
}

void PtexSeparableFilter::release() { delete this; }

void PtexSeparableFilter::eval(float* result, int firstchan, int nchannels, int faceid, float u, float v,
                               float uw1, float vw1, float uw2, float vw2, float width, float blur)
{
    if (!_tx || !result || nchannels <= 0 || faceid < 0 || faceid >= _numFaces) return;
    if (firstchan < 0 || firstchan >= _ntxchan) return;
    const int n = PtexUtils::min(nchannels, _ntxchan - firstchan);
    const Ptex::FaceInfo& f = _tx->getFaceInfo(faceid);
    // resolutions a texture could not hold are refused (texture sources other than our reader)
    if (f.res.ulog2 < 0 || f.res.vlog2 < 0 || f.res.ulog2 > 24 || f.res.vlog2 > 24) return;

    if (f.isNeighborhoodConstant()) {
        PtexFaceData* d = _tx->getData(faceid, Ptex::Res(0, 0));
        if (d) {
            Ptex::ConvertToFloat(result, static_cast<const char*>(d->getData()) + firstchan * Ptex::DataSize(_dt),
                                 _dt, n);
            d->release();
        }
        return;
    }

    // bounding box of the two footprint vectors
    float uw = std::fabs(uw1) + std::fabs(uw2);
    float vw = std::fabs(vw1) + std::fabs(vw2);
    u = sanePos(u);
    v = sanePos(v);

    bool outside = false;
    switch (_uMode) {
    case Ptex::m_periodic: u = u - std::floor(u); break;
    case Ptex::m_black: outside = (u <= -1 || u >= 2); break;
    default: u = PtexUtils::clamp(u, 0.0f, 1.0f); break;
    }
    switch (_vMode) {
    case Ptex::m_periodic: v = v - std::floor(v); break;
    case Ptex::m_black: outside = outside || (v <= -1 || v >= 2); break;
    default: v = PtexUtils::clamp(v, 0.0f, 1.0f); break;
    }
    if (outside) {
        for (int c = 0; c < n; c++) result[c] = 0;
        return;
    }

    if (!(width == width)) width = 1;
    if (!(blur == blur)) blur = 0;
    width = PtexUtils::clamp(width, -1e6f, 1e6f);
    blur = PtexUtils::clamp(blur, -1e6f, 1e6f);

    for (int c0 = 0; c0 < n; c0 += kMaxChan)
        evalChunk(result + c0, firstchan + c0, PtexUtils::min(kMaxChan, n - c0), c0 == 0, faceid, u, v,
                  saneWidth(uw), saneWidth(vw), width, blur, f);
}

void PtexSeparableFilter::evalChunk(float* result, int firstchan, int nchan, bool firstChunk, int faceid, float u,
                                    float v, float uw, float vw, float width, float blur, const Ptex::FaceInfo& f)
{
    _firstChanOffset = firstchan * Ptex::DataSize(_dt);
    _nchan = nchan;
    _tanvecPass = firstChunk;

    PtexSeparableKernel k;
    if (f.isSubface()) {
        // a subface is the lower-left quarter of a virtual face of twice its res
        float suw = saneWidth(uw * width + 2 * blur), svw = saneWidth(vw * width + 2 * blur);
        buildKernel(k, u * 0.5f, v * 0.5f, suw * 0.5f, svw * 0.5f,
                    Ptex::Res(int8_t(f.res.ulog2 + 1), int8_t(f.res.vlog2 + 1)));
        if (k.res.ulog2 == 0) k.upresU();
        if (k.res.vlog2 == 0) k.upresV();
        k.res.ulog2--;
        k.res.vlog2--;
    } else {
        buildKernel(k, u, v, saneWidth(uw * width + blur), saneWidth(vw * width + blur), f.res);
    }
    k.stripZeros();
    _weight = k.weight();
    for (int c = 0; c < nchan; c++) _result[c] = 0;

    splitAndApply(k, faceid, f, 0);

    const float scale = 1.0f / (_weight * Ptex::OneValue(_dt));
    for (int c = 0; c < nchan; c++) result[c] = _result[c] * scale;
}

void PtexSeparableFilter::splitAndApply(PtexSeparableKernel& k, int faceid, const Ptex::FaceInfo& f, int depth)
{
    if (depth > kMaxDepth) return;  // the piece's weight stays in the total
    const Ptex::Res R = k.res;
    const bool right = k.u + k.uw > R.u(), left = k.u < 0;
    const bool top = k.v + k.vw > R.v(), bottom = k.v < 0;

    if (_options.noedgeblend) {
        if (right) k.mergeR(_uMode);
        if (left) k.mergeL(_uMode);
        if (top) k.mergeT(_vMode);
        if (bottom) k.mergeB(_vMode);
        apply(k, faceid, f);
        return;
    }

    if (right) {
        if (f.adjface(Ptex::e_right) >= 0) {
            PtexSeparableKernel ka;
            k.splitR(ka);
            if (top) {
                if (f.adjface(Ptex::e_top) >= 0) {
                    PtexSeparableKernel kc;
                    ka.splitT(kc);
                    applyToCorner(kc, faceid, f, 2, depth);
                } else {
                    ka.mergeT(_vMode);
                }
            }
            if (bottom) {
                if (f.adjface(Ptex::e_bottom) >= 0) {
                    PtexSeparableKernel kc;
                    ka.splitB(kc);
                    applyToCorner(kc, faceid, f, 1, depth);
                } else {
                    ka.mergeB(_vMode);
                }
            }
            applyAcrossEdge(ka, faceid, f, Ptex::e_right, depth);
        } else {
            k.mergeR(_uMode);
        }
    }
    if (left) {
        if (f.adjface(Ptex::e_left) >= 0) {
            PtexSeparableKernel ka;
            k.splitL(ka);
            if (top) {
                if (f.adjface(Ptex::e_top) >= 0) {
                    PtexSeparableKernel kc;
                    ka.splitT(kc);
                    applyToCorner(kc, faceid, f, 3, depth);
                } else {
                    ka.mergeT(_vMode);
                }
            }
            if (bottom) {
                if (f.adjface(Ptex::e_bottom) >= 0) {
                    PtexSeparableKernel kc;
                    ka.splitB(kc);
                    applyToCorner(kc, faceid, f, 0, depth);
                } else {
                    ka.mergeB(_vMode);
                }
            }
            applyAcrossEdge(ka, faceid, f, Ptex::e_left, depth);
        } else {
            k.mergeL(_uMode);
        }
    }
    if (top) {
        if (f.adjface(Ptex::e_top) >= 0) {
            PtexSeparableKernel ka;
            k.splitT(ka);
            applyAcrossEdge(ka, faceid, f, Ptex::e_top, depth);
        } else {
            k.mergeT(_vMode);
        }
    }
    if (bottom) {
        if (f.adjface(Ptex::e_bottom) >= 0) {
            PtexSeparableKernel ka;
            k.splitB(ka);
            applyAcrossEdge(ka, faceid, f, Ptex::e_bottom, depth);
        } else {
            k.mergeB(_vMode);
        }
    }
    apply(k, faceid, f);
}

void PtexSeparableFilter::applyAcrossEdge(PtexSeparableKernel& k, int faceid, const Ptex::FaceInfo& f, int eid,
                                          int depth)
{
    int g = f.adjface(eid);
    if (g < 0 || g >= _numFaces) return;
    int a = f.adjedge(eid);
    const Ptex::FaceInfo* gi = &_tx->getFaceInfo(g);
    int r = eid - a + 2;

    if (f.isSubface() != gi->isSubface()) {
        if (!f.isSubface()) {
            // regular face next to two subfaces: pick the one the piece lies in
            if (!k.adjustMainToSubface(eid)) {
                int n = (a + 3) & 3;
                g = gi->adjface(n);
                if (g < 0 || g >= _numFaces) return;
                a = gi->adjedge(n);
                gi = &_tx->getFaceInfo(g);
                r += n - a + 2;
            }
        } else {
            const bool primary = gi->adjface(a) == faceid;
            k.adjustSubfaceToMain(eid - int(primary));
        }
    }
    k.rotate(r);
    if (gi->isSubface())
        splitAndApply(k, g, *gi, depth + 1);
    else
        apply(k, g, *gi);
}

void PtexSeparableFilter::applyToCorner(PtexSeparableKernel& k, int faceid, const Ptex::FaceInfo& f, int eid,
                                        int depth)
{
    // walk clockwise around the corner vertex, recording the faces met
    const int kMaxWalk = 10;
    int cfaceid[kMaxWalk];
    int cedge[kMaxWalk];
    const Ptex::FaceInfo* cinfo[kMaxWalk];

    int g = faceid, a = eid;
    const Ptex::FaceInfo* info = &f;
    bool prevSub = f.isSubface();
    int m = 0;
    int i = 0;
    for (; i < kMaxWalk; i++) {
        const int prev = g;
        g = info->adjface(a);
        a = (info->adjedge(a) + 1) & 3;
        if (g < 0 || g >= _numFaces || (g == faceid && a == eid)) {
            m = i - 2;
            break;
        }
        info = &_tx->getFaceInfo(g);
        cfaceid[i] = g;
        cedge[i] = a;
        cinfo[i] = info;
        // a subface walk meeting a regular face: a T-junction ends the vertex
        if (prevSub && !info->isSubface() && info->adjface((a + 3) & 3) == prev) {
            const int primary = (i == 1) ? 1 : 0;
            k.adjustSubfaceToMain(eid + 2 * primary);
            k.rotate(eid - a + 3 - primary);
            splitAndApply(k, g, *info, depth + 1);
            return;
        }
        prevSub = info->isSubface();
    }
    if (i == kMaxWalk) m = 0;

    if (m == 1) {
        // valence 4: the diagonal face
        applyToCornerFace(k, f, eid, cfaceid[1], *cinfo[1], cedge[1], depth);
    } else if (m > 1) {
        // valence 5 or more: a symmetric copy to every face between the two neighbours
        k.rotate(eid + 2);
        const float w0 = k.weight();
        const float w1 = k.makeSymmetric(w0);
        for (int j = 1; j <= m; j++) {
            PtexSeparableKernel kc = k;
            applyToCornerFace(kc, f, 2, cfaceid[j], *cinfo[j], cedge[j], depth);
        }
        _weight += w1 * float(m) - w0;
    } else {
        // valence 3, boundary or unfinished walk: the piece is not applied
        _weight -= k.weight();
    }
}

void PtexSeparableFilter::applyToCornerFace(PtexSeparableKernel& k, const Ptex::FaceInfo& f, int eid, int cfaceid,
                                            const Ptex::FaceInfo& cf, int ceid, int depth)
{
    if (f.isSubface() != cf.isSubface()) {
        if (cf.isSubface())
            k.adjustMainToSubface(eid + 3);
        else
            k.adjustSubfaceToMain(eid + 3);
    }
    k.rotate(eid - ceid + 2);
    if (cf.isSubface())
        splitAndApply(k, cfaceid, cf, depth + 1);
    else
        apply(k, cfaceid, cf);
}

void PtexSeparableFilter::apply(PtexSeparableKernel& k, int faceid, const Ptex::FaceInfo& f)
{
    if (k.uw <= 0 || k.vw <= 0) return;
    // Pieces are normally inside the face here; anything still outside (odd
    // adjacency, tiny subfaces) is dropped rather than read out of bounds.
    if (k.u < 0) { k.ku -= k.u; k.uw += k.u; k.u = 0; }
    if (k.v < 0) { k.kv -= k.v; k.vw += k.v; k.v = 0; }
    if (k.u + k.uw > k.res.u()) k.uw = k.res.u() - k.u;
    if (k.v + k.vw > k.res.v()) k.vw = k.res.v() - k.v;
    if (k.uw <= 0 || k.vw <= 0) return;

    // a coarser face lowers the kernel; a finer one is read through a reduction
    while (k.res.ulog2 > f.res.ulog2 && k.res.ulog2 > 0) k.downresU();
    while (k.res.vlog2 > f.res.vlog2 && k.res.vlog2 > 0) k.downresV();

    PtexFaceData* d = _tx->getData(faceid, k.res);
    if (!d) return;
    if (d->isConstant()) {
        k.applyConst(_result, static_cast<const char*>(d->getData()) + _firstChanOffset, _dt, _nchan);
        d->release();
        return;
    }

    const bool tanvec = _efm == Ptex::efm_tanvec && _tanvecPass && _nchan >= 2 && k.rot > 0;
    float tmp[kMaxChan];
    float* dst = _result;
    if (tanvec) {
        for (int c = 0; c < _nchan; c++) tmp[c] = 0;
        dst = tmp;
    }

    if (d->isTiled()) {
        const Ptex::Res T = d->tileRes();
        if (T.ulog2 >= 0 && T.vlog2 >= 0 && T.ulog2 <= k.res.ulog2 && T.vlog2 <= k.res.vlog2 && d->res() == k.res) {
            const int ntu = k.res.ntilesu(T);
            const int tu_w = T.u(), tv_w = T.v();
            for (int j = 0; j < k.vw;) {
                const int vpos = k.v + j;
                const int tv = vpos >> T.vlog2, vo = vpos & (tv_w - 1);
                const int vn = PtexUtils::min(tv_w - vo, k.vw - j);
                for (int i = 0; i < k.uw;) {
                    const int upos = k.u + i;
                    const int tu = upos >> T.ulog2, uo = upos & (tu_w - 1);
                    const int un = PtexUtils::min(tu_w - uo, k.uw - i);
                    PtexFaceData* t = d->getTile(tv * ntu + tu);
                    if (t) {
                        const char* td = static_cast<const char*>(t->getData());
                        if (t->isConstant()) {
                            PtexFilterImpl::addPixel(dst, td + _firstChanOffset, _dt, _nchan,
                                                     sum(k.ku + i, un) * sum(k.kv + j, vn));
                        } else if (td && t->res() == T) {
                            PtexFilterImpl::applySeparable(dst, td + _firstChanOffset, _dt, tu_w, uo, vo, un, vn,
                                                           k.ku + i, k.kv + j, _nchan, _ntxchan);
                        }
                        t->release();
                    }
                    i += un;
                }
                j += vn;
            }
        }
    } else {
        const char* dd = static_cast<const char*>(d->getData());
        if (dd && d->res() == k.res) k.apply(dst, dd + _firstChanOffset, _dt, _nchan, _ntxchan);
    }
    d->release();

    if (tanvec) {
        // tangent vectors turn with the kernel
        switch (k.rot) {
        case 1: _result[0] -= tmp[1]; _result[1] += tmp[0]; break;
        case 2: _result[0] -= tmp[0]; _result[1] -= tmp[1]; break;
        case 3: _result[0] += tmp[1]; _result[1] -= tmp[0]; break;
        default: break;
        }
        for (int c = 2; c < _nchan; c++) _result[c] += tmp[c];
    }
}
