#ifndef PtexFilters_h
#define PtexFilters_h
// PtexFilters.h - the library's standard filters, public so that other factories
// can build them directly.
//
// Class tree:
//   PtexFilter
//     PtexPointFilter        nearest texel of a quad face
//     PtexPointFilterTri     nearest texel of a triangle face
//     PtexTriangleFilter     gaussian ellipse over triangle faces and neighbours
//     PtexSeparableFilter    rectangular kernel split across quad edges
//       PtexBoxFilter, PtexBilinearFilter
//       PtexWidth4Filter     kernel K(x) with support |x| < 2 filter widths
//         PtexGaussianFilter, PtexBicubicFilter(sharpness)
//
// Contract of every eval (see Ptexture.h for the arguments):
//  - writes only n = min(nchannels, numChannels - firstchan) values; returns
//    without writing for a null texture, nchannels <= 0, a negative firstchan or
//    a face id outside [0, numFaces). The separable and triangle filters also
//    write nothing when firstchan >= numChannels; the point filters clear all
//    nchannels elements first (as PtexTexture::getPixel does);
//  - NaN or infinite positions and widths are clamped, never trusted;
//  - allocates nothing, takes no lock, throws nothing. The filter keeps per-call
//    state in its members: one filter per thread, any number of filters may share
//    one texture.
// Filters keep the texture pointer they were made for; the caller keeps the
// texture alive for the filter's lifetime.
#include "Ptexture.h"

namespace PtexInternal {
class PtexReader;
}

/// A separable kernel: a rectangle of texels at one resolution with one weight
/// per column (ku) and per row (kv); texel (u+i, v+j) weighs ku[i] * kv[j].
/// ku and kv point into the kernel's own buffers.
class PTEXAPI PtexSeparableKernel {
public:
    static constexpr int kmax = 10;  ///< capacity of each weight buffer
    Ptex::Res res;                   ///< resolution the indices refer to
    int u, v;                        ///< first column and row (may lie outside while splitting)
    int uw, vw;                      ///< number of columns and rows
    float* ku;                       ///< first column weight
    float* kv;                       ///< first row weight
    float kubuff[kmax];
    float kvbuff[kmax];
    int rot;  ///< quarter turns applied since the kernel was built

    PtexSeparableKernel() : res(0, 0), u(0), v(0), uw(0), vw(0), ku(kubuff), kv(kvbuff), rot(0) {}
    PtexSeparableKernel(const PtexSeparableKernel& k) {
        set(k.res, k.u, k.v, k.uw, k.vw, k.ku, k.kv, k.rot);
    }
    PtexSeparableKernel& operator=(const PtexSeparableKernel& k) {
        if (this != &k) set(k.res, k.u, k.v, k.uw, k.vw, k.ku, k.kv, k.rot);
        return *this;
    }

    /// Copies the weights into the own buffers (counts are limited to kmax).
    void set(Ptex::Res res_, int u_, int v_, int uw_, int vw_, const float* ku_, const float* kv_,
             int rot_ = 0);
    /// Drops weights exactly 0 at both ends of ku and kv.
    void stripZeros();
    /// (sum of ku) * (sum of kv).
    float weight() const;

    /// Columns left of / right of the face, rows below / above it: folded onto the
    /// border texel (clamp, periodic) or discarded (black). Then dropped.
    void mergeL(Ptex::BorderMode mode);
    void mergeR(Ptex::BorderMode mode);
    void mergeB(Ptex::BorderMode mode);
    void mergeT(Ptex::BorderMode mode);

    /// Moves the part outside one edge into k, placed in a virtual face of the
    /// same res beyond that edge (in this face's orientation).
    void splitL(PtexSeparableKernel& k);
    void splitR(PtexSeparableKernel& k);
    void splitB(PtexSeparableKernel& k);
    void splitT(PtexSeparableKernel& k);

    void flipU();
    void flipV();
    void swapUV();
    /// Quarter turns into the neighbour's frame: 1 = flipU+swapUV, 2 = flipU+flipV,
    /// 3 = flipV+swapUV (r mod 4).
    void rotate(int r);
    void upresU();
    void upresV();
    void downresU();
    void downresV();
    /// Moves a piece in a virtual regular face across edge e into one of the two
    /// subfaces along it; returns true for the primary subface.
    bool adjustMainToSubface(int e);
    /// Moves a piece from a subface's frame into the regular neighbour's frame.
    void adjustSubfaceToMain(int e);
    /// Corner symmetrisation for extraordinary vertices (u = v = 0); returns the
    /// weight of the symmetric kernel (see the filter notes).
    float makeSymmetric(float w0);

    /// dst[c] += sum of texel(u+i, v+j)[c] * ku[i] * kv[j]; data points at the
    /// first evaluated sample of pixel (0,0) of a packed image at res.
    void apply(float* dst, const void* data, Ptex::DataType dt, int nChan, int nTxChan) const;
    /// dst[c] += pixel[c] * weight().
    void applyConst(float* dst, const void* pixel, Ptex::DataType dt, int nChan) const;
};

/// Nearest texel of a quad face (footprint ignored, no neighbours read).
class PTEXAPI PtexPointFilter : public PtexFilter {
public:
    explicit PtexPointFilter(PtexTexture* tx);
    void release() override;
    void eval(float* result, int firstchan, int nchannels, int faceid, float u, float v, float uw1,
              float vw1, float uw2, float vw2, float width = 1, float blur = 0) override;

protected:
    ~PtexPointFilter() override {}
    PtexTexture* _tx;
};

/// Nearest triangular texel of a triangle face.
class PTEXAPI PtexPointFilterTri : public PtexFilter {
public:
    explicit PtexPointFilterTri(PtexTexture* tx);
    void release() override;
    void eval(float* result, int firstchan, int nchannels, int faceid, float u, float v, float uw1,
              float vw1, float uw2, float vw2, float width = 1, float blur = 0) override;

protected:
    ~PtexPointFilterTri() override {}
    PtexTexture* _tx;
};

/// Base of the quad filters with separable kernels: builds the kernel (per
/// subclass), splits it across edges, corners and resolution changes, applies it
/// and normalises by the tracked total weight.
class PTEXAPI PtexSeparableFilter : public PtexFilter {
public:
    /// Channels evaluated per pass; wider requests run in several passes.
    static constexpr int kMaxChan = 64;

    void release() override;
    void eval(float* result, int firstchan, int nchannels, int faceid, float u, float v, float uw1,
              float vw1, float uw2, float vw2, float width = 1, float blur = 0) override;

protected:
    PtexSeparableFilter(PtexTexture* tx, const PtexFilter::Options& opts);
    ~PtexSeparableFilter() override {}

    /// Builds the kernel for a footprint of uw x vw face units centred at (u, v)
    /// on a face of resolution faceRes.
    virtual void buildKernel(PtexSeparableKernel& k, float u, float v, float uw, float vw,
                             Ptex::Res faceRes) = 0;

    void splitAndApply(PtexSeparableKernel& k, int faceid, const Ptex::FaceInfo& f, int depth);
    void applyAcrossEdge(PtexSeparableKernel& k, int faceid, const Ptex::FaceInfo& f, int eid,
                         int depth);
    void applyToCorner(PtexSeparableKernel& k, int faceid, const Ptex::FaceInfo& f, int eid,
                       int depth);
    void applyToCornerFace(PtexSeparableKernel& k, const Ptex::FaceInfo& f, int eid, int cfaceid,
                           const Ptex::FaceInfo& cf, int ceid, int depth);
    void apply(PtexSeparableKernel& k, int faceid, const Ptex::FaceInfo& f);

    PtexTexture* _tx;
    PtexInternal::PtexReader* _reader;  ///< _tx when it is our reader (inline data lookups)
    PtexFilter::Options _options;
    // cache-line aligned (the whole object then is too), so filters of different
    // threads never share a line of per-call state
    alignas(64) float _result[kMaxChan];  ///< accumulation of the current pass
    float _weight;                        ///< normalising total of the current pass
    int _firstChanOffset;                 ///< byte offset of the first evaluated sample in a pixel
    int _nchan;                           ///< channels evaluated in the current pass
    int _ntxchan;                         ///< channels of the texture (pixel stride in samples)
    int _numFaces;
    Ptex::DataType _dt;
    Ptex::BorderMode _uMode, _vMode;
    Ptex::EdgeFilterMode _efm;
    bool _tanvecPass;  ///< the current pass holds the first two evaluated channels
    /// Left by buildKernel when it knows the kernel's weight (the sums of ku and
    /// of kv, each added in order, multiplied) and that no end weight is 0, which
    /// saves eval a pass over the weights; negative otherwise.
    float _builtWeight = -1;
    bool _clampsPositions = true;  ///< neither border mode is periodic or black
    /// the kernel loop of the current pass (data type and channel count)
    void (*_applySep)(float* dst, const void* data, int rowPixels, int u, int v, int uw, int vw,
                      const float* ku, const float* kv, int nChan, int nTxChan);
};

/// Box filter: area-weighted texels at a level where the footprint is 1-2 texels.
class PTEXAPI PtexBoxFilter : public PtexSeparableFilter {
public:
    PtexBoxFilter(PtexTexture* tx, const PtexFilter::Options& opts)
        : PtexSeparableFilter(tx, opts) {}

protected:
    void buildKernel(PtexSeparableKernel& k, float u, float v, float uw, float vw,
                     Ptex::Res faceRes) override;
};

/// Bilinear interpolation between the four nearest texel centres of the level.
class PTEXAPI PtexBilinearFilter : public PtexSeparableFilter {
public:
    PtexBilinearFilter(PtexTexture* tx, const PtexFilter::Options& opts)
        : PtexSeparableFilter(tx, opts) {}

protected:
    void buildKernel(PtexSeparableKernel& k, float u, float v, float uw, float vw,
                     Ptex::Res faceRes) override;
};

/// Filters with a kernel function K(x) of support |x| < 2 filter widths, with
/// optional lerp towards the next coarser level.
class PTEXAPI PtexWidth4Filter : public PtexSeparableFilter {
public:
    typedef float KernelFn(float x, const float* c);

    PtexWidth4Filter(PtexTexture* tx, const PtexFilter::Options& opts, KernelFn k)
        : PtexSeparableFilter(tx, opts), _k(k) {}

    /// Two-unit cubic Hermite used for wide footprints.
    static float blendWeight(float x) {
        float ax = x < 0 ? -x : x;
        return ax < 1 ? (2 * ax - 3) * x * x + 1 : 0.0f;
    }

protected:
    void buildKernel(PtexSeparableKernel& k, float u, float v, float uw, float vw,
                     Ptex::Res faceRes) override;
    /// One direction of the kernel; returns the level.
    int buildKernelAxis(int& k_u, int& k_uw, float* ku, float u, float uw, int faceLog2);

    KernelFn* _k;
    float _c[7] = {0, 0, 0, 0, 0, 0, 0};  ///< kernel coefficients (bicubic)
};

/// Gaussian: K(x) = exp(-2 x^2).
class PTEXAPI PtexGaussianFilter : public PtexWidth4Filter {
public:
    PtexGaussianFilter(PtexTexture* tx, const PtexFilter::Options& opts)
        : PtexWidth4Filter(tx, opts, kernelFn) {}
    static float kernelFn(float x, const float* c);
};

/// Mitchell-Netravali cubic with B = 1 - sharpness, C = (1 - B) / 2: sharpness 0
/// is the cubic B-spline, 1 Catmull-Rom, 2/3 Mitchell.
class PTEXAPI PtexBicubicFilter : public PtexWidth4Filter {
public:
    PtexBicubicFilter(PtexTexture* tx, const PtexFilter::Options& opts, float sharpness);
    static float kernelFn(float x, const float* c);
};

/// Triangle-mesh filter: an elliptical gaussian footprint in the face's
/// equilateral frame, carried across edges to the neighbours, normalised by the
/// weights actually applied.
class PTEXAPI PtexTriangleFilter : public PtexFilter {
public:
    static constexpr int kMaxChan = 64;

    PtexTriangleFilter(PtexTexture* tx, const PtexFilter::Options& opts);
    void release() override;
    void eval(float* result, int firstchan, int nchannels, int faceid, float u, float v, float uw1,
              float vw1, float uw2, float vw2, float width = 1, float blur = 0) override;

    /// The footprint region and ellipse in one face's coordinates.
    struct Kernel {
        Ptex::Res res;
        float u, v;        ///< centre
        float u1, v1, w1;  ///< lower bounds of the barycentric coordinates
        float u2, v2, w2;  ///< upper bounds
        float A, B, C;     ///< ellipse A u^2 + B u v + C v^2 (in kernel units)
        /// Re-expresses the kernel in the frame of the neighbour across edge e,
        /// met at its edge a; false for an invalid edge pair.
        bool reorient(int e, int a);
    };

protected:
    ~PtexTriangleFilter() override {}
    void buildKernel(Kernel& k, float u, float v, float uw1, float vw1, float uw2, float vw2,
                     float width, float blur, Ptex::Res faceRes) const;
    void splitAndApply(Kernel& k, int faceid, const Ptex::FaceInfo& f, int depth);
    void applyAcrossEdge(Kernel& k, const Ptex::FaceInfo& f, int eid, int depth);
    void apply(Kernel& k, int faceid, const Ptex::FaceInfo& f);

    PtexTexture* _tx;
    PtexInternal::PtexReader* _reader;  ///< _tx when it is our reader (inline data lookups)
    PtexFilter::Options _options;
    alignas(64) float _result[kMaxChan];  ///< accumulation (cache-line aligned, see above)
    float _weight;
    int _firstChanOffset;
    int _nchan;
    int _ntxchan;
    int _numFaces;
    Ptex::DataType _dt;
};

#endif
