// PtexSeparableFilter: footprint set-up, kernel splitting across edges and
// corners, application to face data (packed, tiled, constant) and normalisation
// by the tracked total weight.
#include "PtexEvalStart.h"
#include "PtexFilters.h"
#include "PtexKernelApply.h"
#include "PtexUtils.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace {
// Pieces handed on through subfaces recurse; hostile adjacency must not loop.
const int kMaxDepth = 16;

inline float sanePos(float x) {
    if (!(x == x)) return 0.0f;  // NaN
    return PtexUtils::clamp(x, -1e6f, 1e6f);
}

inline float saneWidth(float w) {
    if (!(w >= 0)) return 0.0f;  // NaN or negative: acts as the minimum width anyway
    return w > 1e6f ? 1e6f : w;
}

// x clamped to [0, 1], NaN to 0.
inline float clamp01(float x) {
    return x > 0 ? (x < 1 ? x : 1) : 0;
}

// A position after the border mode (NaN counts as 0); outside is set for a
// black border position that sees only black.
inline float borderPos(float x, Ptex::BorderMode mode, bool& outside) {
    switch (mode) {
        case Ptex::m_periodic:
            x = sanePos(x);
            return x - std::floor(x);
        case Ptex::m_black:
            x = sanePos(x);
            outside = outside || x <= -1 || x >= 2;
            return x;
        default:
            return clamp01(x);
    }
}

inline float sum(const float* k, int n) {
    float s = 0;
    for (int i = 0; i < n; i++) s += k[i];
    return s;
}

// sums[0, n) = 0; sums holds PtexSeparableFilter::kMaxChan floats, 16-byte aligned.
inline void clearSums(float* sums, int n) {
#if defined(__SSE2__)
    for (int c = 0; c < n; c += 4) _mm_store_ps(sums + c, _mm_setzero_ps());
#else
    for (int c = 0; c < n; c++) sums[c] = 0;
#endif
}

// dst[c] = sums[c] * scale for c < n.
inline void scaleSums(float* dst, const float* sums, int n, float scale) {
#if defined(__SSE2__)
    if (n == 4) {
        _mm_storeu_ps(dst, _mm_mul_ps(_mm_load_ps(sums), _mm_set1_ps(scale)));
        return;
    }
#endif
    for (int c = 0; c < n; c++) dst[c] = sums[c] * scale;
}

// PtexSeparableKernel::stripZeros, inline on the evaluation path.
inline void stripZeros(PtexSeparableKernel& k) {
    while (k.uw && k.ku[0] == 0) {
        k.ku++;
        k.u++;
        k.uw--;
    }
    while (k.uw && k.ku[k.uw - 1] == 0) k.uw--;
    while (k.vw && k.kv[0] == 0) {
        k.kv++;
        k.v++;
        k.vw--;
    }
    while (k.vw && k.kv[k.vw - 1] == 0) k.vw--;
}

// k.splitX / k.mergeX for edge id eid (a constant at every call, so the switch folds away).
inline void splitAt(PtexSeparableKernel& k, int eid, PtexSeparableKernel& piece) {
    switch (eid) {
        case Ptex::e_bottom:
            k.splitB(piece);
            break;
        case Ptex::e_right:
            k.splitR(piece);
            break;
        case Ptex::e_top:
            k.splitT(piece);
            break;
        default:
            k.splitL(piece);
            break;
    }
}

inline void mergeAt(PtexSeparableKernel& k, int eid, Ptex::BorderMode mode) {
    switch (eid) {
        case Ptex::e_bottom:
            k.mergeB(mode);
            break;
        case Ptex::e_right:
            k.mergeR(mode);
            break;
        case Ptex::e_top:
            k.mergeT(mode);
            break;
        default:
            k.mergeL(mode);
            break;
    }
}

// Ptex::OneValue of the data type T.
template <typename T>
constexpr float kOneValue = std::is_same_v<T, uint8_t>    ? 255.0f
                            : std::is_same_v<T, uint16_t> ? 65535.0f
                                                          : 1.0f;

// The usual query kept lean: a kernel inside its face, at most the face's
// resolution, read by our reader from one packed block (a packed face or a
// single tile), with NC channels of type T. Writes the normalised result and
// returns true; returns false, having written nothing, when the general path
// must handle the kernel. One function per data type and channel count, so the
// block lookup and the texel loop are compiled together.
template <typename T, int NC>
bool evalInside(PtexInternal::PtexReader& reader, const PtexSeparableKernel& k, int faceid,
                const Ptex::FaceInfo& f, int firstchan, int ntxchan, float weight, float* result) {
    using PtexInternal::FaceData;
    // 1 <= uw <= res and 0 <= u <= res - uw, in two unsigned comparisons; the same for v
    const unsigned ru = unsigned(k.res.u()), rv = unsigned(k.res.v());
    if (unsigned(k.uw - 1) >= ru || unsigned(k.u) > ru - unsigned(k.uw) ||
        unsigned(k.vw - 1) >= rv || unsigned(k.v) > rv - unsigned(k.vw) ||
        k.res.ulog2 > f.res.ulog2 || k.res.vlog2 > f.res.vlog2)
        return false;
    FaceData* fd = reader.filterData(faceid, k.res);
    if (!fd || !(fd->dataRes() == k.res)) return false;
    int u = k.u, v = k.v, rowPixels = k.res.u();
    if (fd->kind() == FaceData::kTiled) {
        auto* tf = static_cast<PtexInternal::TiledFace*>(fd);
        const Ptex::Res tr = tf->tileResolution();
        if (tr.ulog2 < 0 || tr.vlog2 < 0 || tr.ulog2 > k.res.ulog2 || tr.vlog2 > k.res.vlog2)
            return false;
        const int tu = u >> tr.ulog2, tv = v >> tr.vlog2;
        if (tu != (u + k.uw - 1) >> tr.ulog2 || tv != (v + k.vw - 1) >> tr.vlog2) return false;
        const int t = tv * k.res.ntilesu(tr) + tu;
        if (t >= tf->ntiles()) return false;
        fd = tf->tile(t);
        if (!(fd->dataRes() == tr)) return false;
        u &= tr.u() - 1;
        v &= tr.v() - 1;
        rowPixels = tr.u();
    }
    if (fd->kind() != FaceData::kPacked || !fd->bytes()) return false;
    alignas(16) float sums[4] = {0, 0, 0, 0};
    PtexFilterImpl::applySepInline<T, NC>(sums, fd->bytes() + firstchan * sizeof(T), rowPixels, u,
                                          v, k.uw, k.vw, k.ku, k.kv, NC, ntxchan);
    scaleSums(result, sums, NC, 1.0f / (weight * kOneValue<T>));
    return true;
}

typedef bool (*InsideFn)(PtexInternal::PtexReader& reader, const PtexSeparableKernel& k, int faceid,
                         const Ptex::FaceInfo& f, int firstchan, int ntxchan, float weight,
                         float* result);

template <typename T>
constexpr InsideFn kInsideFnsT[4] = {evalInside<T, 1>, evalInside<T, 2>, evalInside<T, 3>,
                                     evalInside<T, 4>};
// by data type (the order of Ptex::DataType) and channel count - 1
constexpr const InsideFn* kInsideFns[4] = {kInsideFnsT<uint8_t>, kInsideFnsT<uint16_t>,
                                           kInsideFnsT<PtexHalf>, kInsideFnsT<float>};
}  // namespace

PtexSeparableFilter::PtexSeparableFilter(PtexTexture* tx, const PtexFilter::Options& opts)
    : _tx(tx),
      _reader(PtexFilterImpl::readerOf(tx)),
      _weight(0),
      _firstChanOffset(0),
      _nchan(0),
      _ntxchan(0),
      _numFaces(0),
      _dt(Ptex::dt_uint8),
      _uMode(Ptex::m_clamp),
      _vMode(Ptex::m_clamp),
      _efm(Ptex::efm_none),
      _tanvecPass(false),
      _applySep(nullptr) {
    PtexFilterImpl::copyOptions(_options, opts, true);
    for (float& r : _result) r = 0;
    PtexFilterImpl::textureFacts(_tx, _ntxchan, _numFaces, _dt);
    if (_tx) {
        _uMode = _tx->uBorderMode();
        _vMode = _tx->vBorderMode();
        _efm = _tx->edgeFilterMode();
    }
    for (Ptex::BorderMode m : {_uMode, _vMode})
        _clampsPositions = _clampsPositions && m != Ptex::m_periodic && m != Ptex::m_black;
}

void PtexSeparableFilter::release() {
    delete this;
}

void PtexSeparableFilter::eval(float* result, int firstchan, int nchannels, int faceid, float u,
                               float v, float uw1, float vw1, float uw2, float vw2, float width,
                               float blur) {
    const Ptex::FaceInfo* fi = nullptr;
    const int n =
        PtexFilterImpl::startEval(PtexFilterImpl::FilterSource(_tx, _reader), _numFaces, _ntxchan,
                                  _dt, result, firstchan, nchannels, faceid, fi);
    if (n == 0) return;
    const Ptex::FaceInfo& f = *fi;

    // bounding box of the two footprint vectors
    float uw = std::fabs(uw1) + std::fabs(uw2);
    float vw = std::fabs(vw1) + std::fabs(vw2);
    if (_clampsPositions) {
        u = clamp01(u);
        v = clamp01(v);
    } else {
        bool outside = false;
        u = borderPos(u, _uMode, outside);
        v = borderPos(v, _vMode, outside);
        if (outside) {
            for (int c = 0; c < n; c++) result[c] = 0;
            return;
        }
    }

    uw = saneWidth(uw);
    vw = saneWidth(vw);
    // the usual footprint, width 1 and no blur, leaves the widths as they are; told by
    // the bits in one compare (a blur of -0 takes the general path, to the same widths)
    uint32_t widthBits, blurBits;
    std::memcpy(&widthBits, &width, 4);
    std::memcpy(&blurBits, &blur, 4);
    const bool plain = ((widthBits ^ 0x3f800000u) | blurBits) == 0;
    if (!plain) {
        if (!(width == width)) width = 1;
        if (!(blur == blur)) blur = 0;
        width = PtexUtils::clamp(width, -1e6f, 1e6f);
        blur = PtexUtils::clamp(blur, -1e6f, 1e6f);
    }

    PtexSeparableKernel k;
    _builtWeight = -1;
    if (f.isSubface()) {
        // a subface is the lower-left quarter of a virtual face of twice its res
        float suw = saneWidth(uw * width + 2 * blur), svw = saneWidth(vw * width + 2 * blur);
        buildKernel(k, u * 0.5f, v * 0.5f, suw * 0.5f, svw * 0.5f,
                    Ptex::Res(int8_t(f.res.ulog2 + 1), int8_t(f.res.vlog2 + 1)));
        if (k.res.ulog2 == 0) k.upresU();
        if (k.res.vlog2 == 0) k.upresV();
        k.res.ulog2--;
        k.res.vlog2--;
        _builtWeight = -1;  // (the kernel's weights may have changed)
    } else if (plain) {
        buildKernel(k, u, v, uw, vw, f.res);
    } else {
        buildKernel(k, u, v, saneWidth(uw * width + blur), saneWidth(vw * width + blur), f.res);
    }
    float weight = _builtWeight;
    if (!(weight >= 0)) {
        // a zero weight at an end is rare: one test for all four ends first (a product
        // of tiny weights that underflows only costs a strip that finds nothing)
        if (k.uw <= 0 || k.vw <= 0 || k.ku[0] * k.ku[k.uw - 1] * (k.kv[0] * k.kv[k.vw - 1]) == 0)
            stripZeros(k);
        weight = sum(k.ku, k.uw) * sum(k.kv, k.vw);
    }
    // most kernels lie inside their face: nothing to split
    if (n <= 4 && _reader &&
        kInsideFns[_dt & 3][n - 1](*_reader, k, faceid, f, firstchan, _ntxchan, weight, result))
        return;
    const bool inside = k.u >= 0 && k.v >= 0 && k.u + k.uw <= k.res.u() && k.v + k.vw <= k.res.v();

    for (int c0 = 0; c0 < n; c0 += kMaxChan) {
        const int nchan = PtexUtils::min(kMaxChan, n - c0);
        _firstChanOffset = (firstchan + c0) * Ptex::DataSize(_dt);
        _nchan = nchan;
        _tanvecPass = c0 == 0;
        _applySep = PtexFilterImpl::separableFn(_dt, nchan);
        _weight = weight;
        clearSums(_result, nchan);
        if (inside) {
            apply(k, faceid, f);
        } else {
            PtexSeparableKernel kc = k;
            splitAndApply(kc, faceid, f, 0);
        }
        scaleSums(result + c0, _result, nchan, 1.0f / (_weight * Ptex::OneValue(_dt)));
    }
}

void PtexSeparableFilter::splitAndApply(PtexSeparableKernel& k, int faceid, const Ptex::FaceInfo& f,
                                        int depth) {
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

    // Moves the part of `from` beyond edge eid into `piece` when a neighbour is
    // there (true), else folds it back onto the border of `from` (false).
    auto split = [&](PtexSeparableKernel& from, int eid, PtexSeparableKernel& piece) {
        if (f.adjface(eid) >= 0) {
            splitAt(from, eid, piece);
            return true;
        }
        mergeAt(from, eid, (eid & 1) ? _uMode : _vMode);
        return false;
    };
    // A side piece first gives up its corner parts (above and below the face).
    // (inlined at both calls, so the edge switches fold away as before)
    auto side = [&](int eid, int topCorner, int bottomCorner) __attribute__((always_inline)) {
        PtexSeparableKernel ka;
        if (!split(k, eid, ka)) return;
        PtexSeparableKernel kc;
        if (top && split(ka, Ptex::e_top, kc)) applyToCorner(kc, faceid, f, topCorner, depth);
        if (bottom && split(ka, Ptex::e_bottom, kc))
            applyToCorner(kc, faceid, f, bottomCorner, depth);
        applyAcrossEdge(ka, faceid, f, eid, depth);
    };
    auto across = [&](int eid) {
        PtexSeparableKernel ka;
        if (split(k, eid, ka)) applyAcrossEdge(ka, faceid, f, eid, depth);
    };
    if (right) side(Ptex::e_right, 2, 1);
    if (left) side(Ptex::e_left, 3, 0);
    if (top) across(Ptex::e_top);
    if (bottom) across(Ptex::e_bottom);
    apply(k, faceid, f);
}

void PtexSeparableFilter::applyAcrossEdge(PtexSeparableKernel& k, int faceid,
                                          const Ptex::FaceInfo& f, int eid, int depth) {
    int g = f.adjface(eid);
    if (g < 0 || g >= _numFaces) return;
    int a = f.adjedge(eid);
    const PtexFilterImpl::FilterSource src(_tx, _reader);
    const Ptex::FaceInfo* gi = &src.faceInfo(g);
    int r = eid - a + 2;

    if (f.isSubface() != gi->isSubface()) {
        if (!f.isSubface()) {
            // regular face next to two subfaces: pick the one the piece lies in
            if (!k.adjustMainToSubface(eid)) {
                int n = (a + 3) & 3;
                g = gi->adjface(n);
                if (g < 0 || g >= _numFaces) return;
                a = gi->adjedge(n);
                gi = &src.faceInfo(g);
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

void PtexSeparableFilter::applyToCorner(PtexSeparableKernel& k, int faceid, const Ptex::FaceInfo& f,
                                        int eid, int depth) {
    // walk clockwise around the corner vertex, recording the faces met
    const int kMaxWalk = 10;
    int cfaceid[kMaxWalk];
    int cedge[kMaxWalk];
    const Ptex::FaceInfo* cinfo[kMaxWalk];

    const PtexFilterImpl::FilterSource src(_tx, _reader);
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
        info = &src.faceInfo(g);
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

void PtexSeparableFilter::applyToCornerFace(PtexSeparableKernel& k, const Ptex::FaceInfo& f,
                                            int eid, int cfaceid, const Ptex::FaceInfo& cf,
                                            int ceid, int depth) {
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

void PtexSeparableFilter::apply(PtexSeparableKernel& k, int faceid, const Ptex::FaceInfo& f) {
    if (k.uw <= 0 || k.vw <= 0) return;
    // Pieces are normally inside the face here; anything still outside (odd
    // adjacency, tiny subfaces) is dropped rather than read out of bounds.
    if (k.u < 0) {
        k.ku -= k.u;
        k.uw += k.u;
        k.u = 0;
    }
    if (k.v < 0) {
        k.kv -= k.v;
        k.vw += k.v;
        k.v = 0;
    }
    if (k.u + k.uw > k.res.u()) k.uw = k.res.u() - k.u;
    if (k.v + k.vw > k.res.v()) k.vw = k.res.v() - k.v;
    if (k.uw <= 0 || k.vw <= 0) return;

    // a coarser face lowers the kernel; a finer one is read through a reduction
    while (k.res.ulog2 > f.res.ulog2 && k.res.ulog2 > 0) k.downresU();
    while (k.res.vlog2 > f.res.vlog2 && k.res.vlog2 > 0) k.downresV();

    using PtexFilterImpl::DataKind;
    const PtexFilterImpl::FaceView d(PtexFilterImpl::FilterSource(_tx, _reader), faceid, k.res);
    if (d.kind() == DataKind::none) return;
    if (d.kind() == DataKind::constant) {
        PtexFilterImpl::addPixel(_result, d.data() + _firstChanOffset, _dt, _nchan,
                                 sum(k.ku, k.uw) * sum(k.kv, k.vw));
        return;
    }

    const bool tanvec = _efm == Ptex::efm_tanvec && _tanvecPass && _nchan >= 2 && k.rot > 0;
    float tmp[kMaxChan];
    float* dst = _result;
    if (tanvec) {
        for (int c = 0; c < _nchan; c++) tmp[c] = 0;
        dst = tmp;
    }

    if (d.kind() == DataKind::tiled) {
        const Ptex::Res T = d.tileRes();
        if (T.ulog2 >= 0 && T.vlog2 >= 0 && T.ulog2 <= k.res.ulog2 && T.vlog2 <= k.res.vlog2 &&
            d.res() == k.res) {
            const int ntu = k.res.ntilesu(T);
            const int tu_w = T.u(), tv_w = T.v();
            const int tu0 = k.u >> T.ulog2, tv0 = k.v >> T.vlog2;
            if (tu0 == (k.u + k.uw - 1) >> T.ulog2 && tv0 == (k.v + k.vw - 1) >> T.vlog2) {
                // the usual case: the whole kernel in one tile
                const PtexFilterImpl::TileView t(d, tv0 * ntu + tu0);
                if (t.kind() == DataKind::constant)
                    PtexFilterImpl::addPixel(dst, t.data() + _firstChanOffset, _dt, _nchan,
                                             sum(k.ku, k.uw) * sum(k.kv, k.vw));
                else if (t.kind() == DataKind::packed && t.res() == T)
                    _applySep(dst, t.data() + _firstChanOffset, tu_w, k.u & (tu_w - 1),
                              k.v & (tv_w - 1), k.uw, k.vw, k.ku, k.kv, _nchan, _ntxchan);
            } else {
                for (int j = 0; j < k.vw;) {
                    const int vpos = k.v + j;
                    const int tv = vpos >> T.vlog2, vo = vpos & (tv_w - 1);
                    const int vn = PtexUtils::min(tv_w - vo, k.vw - j);
                    for (int i = 0; i < k.uw;) {
                        const int upos = k.u + i;
                        const int tu = upos >> T.ulog2, uo = upos & (tu_w - 1);
                        const int un = PtexUtils::min(tu_w - uo, k.uw - i);
                        const PtexFilterImpl::TileView t(d, tv * ntu + tu);
                        if (t.kind() == DataKind::constant) {
                            PtexFilterImpl::addPixel(dst, t.data() + _firstChanOffset, _dt, _nchan,
                                                     sum(k.ku + i, un) * sum(k.kv + j, vn));
                        } else if (t.kind() == DataKind::packed && t.res() == T) {
                            _applySep(dst, t.data() + _firstChanOffset, tu_w, uo, vo, un, vn,
                                      k.ku + i, k.kv + j, _nchan, _ntxchan);
                        }
                        i += un;
                    }
                    j += vn;
                }
            }
        }
    } else if (d.res() == k.res) {
        _applySep(dst, d.data() + _firstChanOffset, k.res.u(), k.u, k.v, k.uw, k.vw, k.ku, k.kv,
                  _nchan, _ntxchan);
    }

    if (tanvec) {
        // tangent vectors turn with the kernel
        switch (k.rot) {
            case 1:
                _result[0] -= tmp[1];
                _result[1] += tmp[0];
                break;
            case 2:
                _result[0] -= tmp[0];
                _result[1] -= tmp[1];
                break;
            case 3:
                _result[0] += tmp[1];
                _result[1] -= tmp[0];
                break;
            default:
                break;
        }
        for (int c = 2; c < _nchan; c++) _result[c] += tmp[c];
    }
}
