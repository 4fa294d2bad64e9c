#ifndef filters_PtexMitchellFilter_h
#define filters_PtexMitchellFilter_h
// PtexMitchellFilter - a bicubic Mitchell-Netravali reconstruction filter for quad
// Ptex textures that stays continuous across changes of face resolution.
//
// Contract:
//  - Created for one quad texture (not owned; the caller keeps it alive) and a
//    sharpness: B = 1 - sharpness, C = (1 - B) / 2 (0 = cubic B-spline,
//    1 = Catmull-Rom, 2/3 = Mitchell). Destroyed with release().
//  - eval() writes nChannels values: channels firstChan.. of the texture, the
//    rest (and everything when the request cannot be served) zero. Integer data
//    comes out normalised to [0, 1].
//  - The mip level follows the footprint (between 4 texels and the face's own
//    resolution). Within 1.5 texels of an edge towards a coarser neighbour the
//    value comes from the neighbour's resolution, beyond 2.5 texels from the
//    face's own, smoothly blended between, so both sides agree at the edge.
//  - The kernel reaches into the neighbours across edges and corners; where no
//    usable neighbour exists the border texels are repeated (weights folded),
//    and at a corner vertex of valence other than 4 the corner share is
//    dropped and the rest renormalised.
//  - Hostile input (bad face ids, NaN or infinite coordinates and widths, bad
//    adjacency, unusable resolutions, missing face data) never reads out of
//    bounds: it yields zeros or a reduced contribution.
//  - eval() allocates nothing, takes no lock and throws nothing. It keeps its
//    scratch state in the object: one filter per thread.
#include <Ptexture.h>

#include <cstdint>

class PtexMitchellFilter : public PtexFilter, public Ptex {
public:
    PtexMitchellFilter(PtexTexture* texture, float sharpness);

    void release() override;
    void eval(float* result, int firstChan, int nChannels, int faceId, float u, float v, float uw1,
              float vw1, float uw2, float vw2, float width = 1, float blur = 0) override;

    float getSharpness() const { return sharpness; }
    /// The kernel at distance x (>= 0): 0 from 2 on.
    double kernel(double x) const {
        const double* c = coefficients;
        if (x < 1.0) return (c[0] * x + c[1]) * x * x + c[2];
        if (x < 2.0) return ((c[3] * x + c[4]) * x + c[5]) * x + c[6];
        return 0.0;
    }

    /// The longest walk around a corner vertex, in faces.
    static const int kMaxCornerFaces = 10;

protected:
    ~PtexMitchellFilter() override {}

    /// A face taking part in the evaluation, with its resolution in the main
    /// face's orientation.
    struct FaceLookup {
        bool valid = false;
        bool lowerRes = false;  ///< coarser than the face it was compared with
        int faceId = -1;
        int rotation = 0;  ///< quarter turns from the main face's frame
        Res res;
    };

    /// The faces met around the corner vertex; fixed capacity, so the walk
    /// never allocates.
    struct CornerFaces {
        FaceLookup items[kMaxCornerFaces];
        int count = 0;
        void clear() { count = 0; }
        bool push(const FaceLookup& f) {
            if (count >= kMaxCornerFaces) return false;
            items[count++] = f;
            return true;
        }
        int size() const { return count; }
        const FaceLookup& operator[](int i) const { return items[i]; }
    };

    /// A rectangular view into a lookup's kernel table, placed on a face.
    struct KernelPart {
        bool valid = false;
        int edge = 0;  ///< edge crossed by a piece beyond the face (0 for the main piece)
        Res res;
        int u = 0, v = 0;    ///< first cell's texel position
        int uw = 0, vw = 0;  ///< size in cells
        double* weights = nullptr;
        int stride = 0;  ///< doubles between rows of the table
    };

    void analyzeNeighborhood(const FaceInfo& f);
    bool findNeighbor(const FaceInfo& f, int edge, FaceLookup& out, bool& outConstant);
    void lookup(Res res, double weight, float uWidth, float vWidth);
    void splitKernel(KernelPart& main, KernelPart& uPart, KernelPart& vPart,
                     KernelPart& cornerPart);
    static void foldKernel(const KernelPart& source, KernelPart& target, int edge,
                           double factor = 1.0);
    void applyKernel(const KernelPart& piece, int faceId, int rotation);
    /// The whole kernel (taps ku x kv at (u0, v0), scaled) on the face's packed
    /// data or one of its tiles; false (nothing added) for anything else.
    bool applyInside(Res res, int u0, int v0, int nu, int nv, const double* ku, const double* kv,
                     double scale);
    void applyConstant(const KernelPart& piece, const void* pixel);
    /// Accumulates the cells of the piece whose texels fall in [c0, c1) x [r0, r1)
    /// of an image at (dataU x dataV) packed in data, with (c0, r0) at its origin.
    void applyPacked(const KernelPart& piece, int rotation, const void* data, int dataU, int c0,
                     int r0, int c1, int r1);
    bool validRes(Res r) const;

    // Field order as documented: texture first, the kernel's coefficients last.
    PtexTexture* texture;
    float* result;
    int32_t firstChan;
    int32_t nChan;
    int32_t numChannels;
    int32_t dataType;
    int32_t numFaces;  ///< the texture's facts, read once at construction
    int32_t faceId;
    float u, v;
    float uWidth, vWidth;
    bool isConstant;
    bool cornerReached;
    double uBlend, vBlend;
    FaceLookup mainLookup, uNeighbor, vNeighbor, cornerNeighbor;
    CornerFaces cornerFaces;
    float sharpness;
    double coefficients[7];
};

#endif
