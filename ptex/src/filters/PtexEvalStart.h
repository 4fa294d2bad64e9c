#ifndef PtexEvalStart_h
#define PtexEvalStart_h
// The common start of the kernel filters' eval (separable and triangle):
//
// startEval(src, numFaces, ntxchan, dt, result, firstchan, nchannels, faceid, face)
//   Refuses requests outside the texture (no texture or result, no channels,
//   bad face id or first channel, a face resolution no texture could hold) and
//   answers a face whose whole neighbourhood is constant straight from its
//   constant value. Returns the channel count to filter (clipped to the
//   texture) with face set to the face's info, or 0 when the call is finished
//   (result untouched on refusal, written for a constant neighbourhood).
// Inline and allocation-free: it runs on every filter evaluation.
//
// copyOptions(dst, src, withNoEdgeBlend): the options a kernel filter keeps;
//   noedgeblend only when asked for and present in the caller's (maybe older,
//   shorter) Options, false otherwise.
// textureFacts(tx, ntxchan, numFaces, dt): channel count, face count and data
//   type of tx, read once at construction (left as they are without a texture).
#include "PtexFilterSource.h"
#include "PtexUtils.h"
#include "Ptexture.h"

#include <cstddef>

namespace PtexFilterImpl {

inline void copyOptions(PtexFilter::Options& dst, const PtexFilter::Options& src,
                        bool withNoEdgeBlend) {
    dst.filter = src.filter;
    dst.lerp = src.lerp;
    dst.sharpness = src.sharpness;
    dst.noedgeblend =
        withNoEdgeBlend &&
        size_t(src.__structSize) >= offsetof(PtexFilter::Options, noedgeblend) + sizeof(bool) &&
        src.noedgeblend;
}

inline void textureFacts(PtexTexture* tx, int& ntxchan, int& numFaces, Ptex::DataType& dt) {
    if (!tx) return;
    ntxchan = tx->numChannels();
    numFaces = tx->numFaces();
    dt = tx->dataType();
}

inline int startEval(const FilterSource& src, int numFaces, int ntxchan, Ptex::DataType dt,
                     float* result, int firstchan, int nchannels, int faceid,
                     const Ptex::FaceInfo*& face) {
    if (!src.texture() || !result || nchannels <= 0 || faceid < 0 || faceid >= numFaces) return 0;
    if (firstchan < 0 || firstchan >= ntxchan) return 0;
    const int n = PtexUtils::min(nchannels, ntxchan - firstchan);
    const Ptex::FaceInfo& f = src.faceInfo(faceid);
    // resolutions a texture could not hold are refused (texture sources other than our reader)
    // (a negative log2 is 128 or more as a byte)
    if (uint8_t(f.res.ulog2) > 24 || uint8_t(f.res.vlog2) > 24) return 0;

    if (f.isNeighborhoodConstant()) {
        const FaceView d(src, faceid, Ptex::Res(0, 0));
        if (d.data())
            Ptex::ConvertToFloat(result, d.data() + firstchan * Ptex::DataSize(dt), dt, n);
        return 0;
    }
    face = &f;
    return n;
}

}  // namespace PtexFilterImpl

#endif
