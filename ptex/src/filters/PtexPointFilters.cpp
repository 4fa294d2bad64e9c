// Point filters: the texel under (u, v) at full resolution, for quad and
// triangle faces. The footprint, width and blur are ignored; no neighbour is read.
#include "PtexFilters.h"

namespace {
// int(x * N) clamped to [0, N-1]; NaN and infinities land on an end texel.
inline int texelIndex(float s, int N) {
    if (!(s > 0)) return 0;
    if (s >= float(N)) return N - 1;
    int i = int(s);
    return i < N ? i : N - 1;
}

inline bool validFace(const Ptex::FaceInfo& f) {
    return f.res.ulog2 >= 0 && f.res.vlog2 >= 0 && f.res.ulog2 < 31 && f.res.vlog2 < 31;
}
}  // namespace

PtexPointFilter::PtexPointFilter(PtexTexture* tx) : _tx(tx) {}

void PtexPointFilter::release() {
    delete this;
}

void PtexPointFilter::eval(float* result, int firstchan, int nchannels, int faceid, float u,
                           float v, float, float, float, float, float, float) {
    if (!_tx || !result || nchannels <= 0 || firstchan < 0) return;
    if (faceid < 0 || faceid >= _tx->numFaces()) return;
    const Ptex::FaceInfo& f = _tx->getFaceInfo(faceid);
    if (!validFace(f)) return;
    const int ui = texelIndex(u * float(f.res.u()), f.res.u());
    const int vi = texelIndex(v * float(f.res.v()), f.res.v());
    _tx->getPixel(faceid, ui, vi, result, firstchan, nchannels);
}

PtexPointFilterTri::PtexPointFilterTri(PtexTexture* tx) : _tx(tx) {}

void PtexPointFilterTri::release() {
    delete this;
}

void PtexPointFilterTri::eval(float* result, int firstchan, int nchannels, int faceid, float u,
                              float v, float, float, float, float, float, float) {
    if (!_tx || !result || nchannels <= 0 || firstchan < 0) return;
    if (faceid < 0 || faceid >= _tx->numFaces()) return;
    const Ptex::FaceInfo& f = _tx->getFaceInfo(faceid);
    if (!validFace(f)) return;
    const int N = f.res.u();
    const float su = u * float(N), sv = v * float(N);
    const int ui = texelIndex(su, N), vi = texelIndex(sv, N);
    const float fu = su - float(ui), fv = sv - float(vi);
    if (fu + fv <= 1)
        _tx->getPixel(faceid, ui, vi, result, firstchan, nchannels);  // even (upright) texel
    else
        _tx->getPixel(faceid, N - 1 - vi, N - 1 - ui, result, firstchan, nchannels);  // odd texel
}
