// PtexMitchellFilter::lookup: one kernel evaluation at one resolution. The
// weights form an outer-product table on the stack; the parts beyond the face's
// edges are views into it, handed to the neighbours or folded back onto the
// face's border, and every part is accumulated from its face's texels.
#include "filters/PtexMitchellFilter.h"

#include <PtexHalf.h>

#include <cmath>
#include <cstring>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

const int kMaxTaps = 8;     // per direction; the width clamps keep kernels within it
const int kChanChunk = 16;  // channels accumulated per pass over a piece

template <typename T>
inline double sampleValue(const T* p) {
    return double(*p);
}
template <>
inline double sampleValue<PtexHalf>(const PtexHalf* p) {
    return double(PtexHalf::toFloat(p->bits));
}

// Where a piece's cell (x, y), in a W x H face in the main face's orientation,
// lies in the rotated face's own texels: col = c0 + i*ci + j*cj, row = r0 + i*ri + j*rj
// for cell (piece.u + i, piece.v + j).
struct CellMap {
    int c0, ci, cj, r0, ri, rj;
    CellMap(int rotation, int pu, int pv, int W, int H) {
        switch (rotation & 3) {
            case 0:
                c0 = pu;
                ci = 1;
                cj = 0;
                r0 = pv;
                ri = 0;
                rj = 1;
                break;
            case 1:
                c0 = H - 1 - pv;
                ci = 0;
                cj = -1;
                r0 = pu;
                ri = 1;
                rj = 0;
                break;
            case 2:
                c0 = W - 1 - pu;
                ci = -1;
                cj = 0;
                r0 = H - 1 - pv;
                ri = 0;
                rj = -1;
                break;
            default:
                c0 = pv;
                ci = 0;
                cj = 1;
                r0 = W - 1 - pu;
                ri = -1;
                rj = 0;
                break;
        }
    }
};

#if defined(__SSE2__)
// Four samples as two pairs of doubles (exact conversions), for the 4-channel
// sums: each lane does the scalar multiply and add, so the sums are unchanged.
template <typename T>
constexpr bool kPairs =
    std::is_same_v<T, uint8_t> || std::is_same_v<T, uint16_t> || std::is_same_v<T, float>;

template <typename T>
inline void load4d(const T* p, __m128d& lo, __m128d& hi) {
    if constexpr (std::is_same_v<T, float>) {
        const __m128 v = _mm_loadu_ps(p);
        lo = _mm_cvtps_pd(v);
        hi = _mm_cvtps_pd(_mm_movehl_ps(v, v));
    } else {
        __m128i v;
        if constexpr (std::is_same_v<T, uint8_t>) {
            int32_t x;
            std::memcpy(&x, p, 4);
            v = _mm_unpacklo_epi8(_mm_cvtsi32_si128(x), _mm_setzero_si128());
        } else {
            v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        }
        v = _mm_unpacklo_epi16(v, _mm_setzero_si128());
        lo = _mm_cvtepi32_pd(v);
        hi = _mm_cvtepi32_pd(_mm_shuffle_epi32(v, 0xee));
    }
}

// (lo, hi) += w * the four samples at px.
template <typename T>
inline void addPairs(const T* px, __m128d w, __m128d& lo, __m128d& hi) {
    __m128d a, b;
    load4d(px, a, b);
    lo = _mm_add_pd(lo, _mm_mul_pd(w, a));
    hi = _mm_add_pd(hi, _mm_mul_pd(w, b));
}

// result[k] = float(result[k] + sum k), as the scalar sums end.
inline void storePairs(__m128d lo, __m128d hi, float* result) {
    double acc[4];
    _mm_storeu_pd(acc, lo);
    _mm_storeu_pd(acc + 2, hi);
    for (int k = 0; k < 4; ++k) result[k] = float(double(result[k]) + acc[k]);
}
#endif

// Adds the cells of the piece that fall in the texel rectangle [c0, c1) x [r0, r1),
// data being that rectangle packed (dataU texels a row), to result. Pieces wholly
// inside the rectangle (the common case) walk the texels by fixed strides, with
// the channel count fixed for 1 to 4 channels so the sums stay in registers.
template <typename T, int N>
void accumulateInside(const double* weights, int stride, int uw, int vw, const CellMap& m,
                      const T* data, int dataU, int c0, int r0, int nTxChan, int firstChan,
                      int nChan, float* result) {
    const long stepI = (long(m.ri) * dataU + m.ci) * nTxChan;
    const long stepJ = (long(m.rj) * dataU + m.cj) * nTxChan;
    const T* base = data + (long(m.r0 - r0) * dataU + (m.c0 - c0)) * nTxChan + firstChan;
#if defined(__SSE2__)
    if constexpr (N == 4 && kPairs<T>) {
        __m128d lo = _mm_setzero_pd(), hi = _mm_setzero_pd();
        for (int j = 0; j < vw; ++j) {
            const double* wrow = weights + j * stride;
            const T* px = base + j * stepJ;
            for (int i = 0; i < uw; ++i, px += stepI) addPairs(px, _mm_set1_pd(wrow[i]), lo, hi);
        }
        storePairs(lo, hi, result);
        return;
    }
#endif
    if constexpr (N > 0) {
        double acc[N] = {};
        for (int j = 0; j < vw; ++j) {
            const double* wrow = weights + j * stride;
            const T* px = base + j * stepJ;
            for (int i = 0; i < uw; ++i, px += stepI) {
                const double w = wrow[i];
                for (int k = 0; k < N; ++k) acc[k] += w * sampleValue(px + k);
            }
        }
        for (int k = 0; k < N; ++k) result[k] = float(double(result[k]) + acc[k]);
    } else {
        double acc[kChanChunk];
        for (int k0 = 0; k0 < nChan; k0 += kChanChunk) {
            const int nc = nChan - k0 < kChanChunk ? nChan - k0 : kChanChunk;
            for (int k = 0; k < nc; ++k) acc[k] = 0.0;
            for (int j = 0; j < vw; ++j) {
                const double* wrow = weights + j * stride;
                const T* px = base + j * stepJ + k0;
                for (int i = 0; i < uw; ++i, px += stepI) {
                    const double w = wrow[i];
                    for (int k = 0; k < nc; ++k) acc[k] += w * sampleValue(px + k);
                }
            }
            for (int k = 0; k < nc; ++k) result[k0 + k] = float(double(result[k0 + k]) + acc[k]);
        }
    }
}

template <typename T>
void accumulatePacked(const double* weights, int stride, int uw, int vw, const CellMap& m,
                      const T* data, int dataU, int c0, int r0, int c1, int r1, int nTxChan,
                      int firstChan, int nChan, float* result) {
    // The mapping is linear, so two opposite cells bound the piece.
    const int ca = m.c0, cb = m.c0 + (uw - 1) * m.ci + (vw - 1) * m.cj;
    const int ra = m.r0, rb = m.r0 + (uw - 1) * m.ri + (vw - 1) * m.rj;
    if ((ca < cb ? ca : cb) >= c0 && (ca < cb ? cb : ca) < c1 && (ra < rb ? ra : rb) >= r0 &&
        (ra < rb ? rb : ra) < r1) {
        switch (nChan) {
            case 1:
                accumulateInside<T, 1>(weights, stride, uw, vw, m, data, dataU, c0, r0, nTxChan,
                                       firstChan, nChan, result);
                break;
            case 2:
                accumulateInside<T, 2>(weights, stride, uw, vw, m, data, dataU, c0, r0, nTxChan,
                                       firstChan, nChan, result);
                break;
            case 3:
                accumulateInside<T, 3>(weights, stride, uw, vw, m, data, dataU, c0, r0, nTxChan,
                                       firstChan, nChan, result);
                break;
            case 4:
                accumulateInside<T, 4>(weights, stride, uw, vw, m, data, dataU, c0, r0, nTxChan,
                                       firstChan, nChan, result);
                break;
            default:
                accumulateInside<T, 0>(weights, stride, uw, vw, m, data, dataU, c0, r0, nTxChan,
                                       firstChan, nChan, result);
                break;
        }
        return;
    }
    // Partly inside (a piece spanning tiles): test every cell.
    double acc[kChanChunk];
    for (int k0 = 0; k0 < nChan; k0 += kChanChunk) {
        const int nc = nChan - k0 < kChanChunk ? nChan - k0 : kChanChunk;
        for (int k = 0; k < nc; ++k) acc[k] = 0.0;
        for (int j = 0; j < vw; ++j) {
            const double* wrow = weights + j * stride;
            for (int i = 0; i < uw; ++i) {
                const int col = m.c0 + i * m.ci + j * m.cj;
                const int row = m.r0 + i * m.ri + j * m.rj;
                if (col < c0 || col >= c1 || row < r0 || row >= r1) continue;
                const double w = wrow[i];
                const T* px =
                    data + (size_t(row - r0) * size_t(dataU) + size_t(col - c0)) * size_t(nTxChan) +
                    size_t(firstChan + k0);
                for (int k = 0; k < nc; ++k) acc[k] += w * sampleValue(px + k);
            }
        }
        for (int k = 0; k < nc; ++k) result[k0 + k] = float(double(result[k0 + k]) + acc[k]);
    }
}

// The whole kernel on one block of texels in the face's own orientation: each
// row summed with the column weights, then added with its row weight (the
// weights of the table are these products; only the order of the double sums
// differs). data points at the first channel of texel (0, 0) of the kernel.
template <typename T, int N>
void accumulateRows(const double* ku, const double* kv, int nu, int nv, double scale, const T* data,
                    long rowStride, int nTxChan, int nChan, float* result) {
#if defined(__SSE2__)
    if constexpr (N == 4 && kPairs<T>) {
        __m128d lo = _mm_setzero_pd(), hi = _mm_setzero_pd();
        for (int j = 0; j < nv; ++j, data += rowStride) {
            __m128d rlo = _mm_setzero_pd(), rhi = _mm_setzero_pd();
            const T* px = data;
            for (int i = 0; i < nu; ++i, px += nTxChan) addPairs(px, _mm_set1_pd(ku[i]), rlo, rhi);
            const __m128d wv = _mm_set1_pd(kv[j] * scale);
            lo = _mm_add_pd(lo, _mm_mul_pd(wv, rlo));
            hi = _mm_add_pd(hi, _mm_mul_pd(wv, rhi));
        }
        storePairs(lo, hi, result);
        return;
    }
#endif
    const int nc = N > 0 ? N : nChan;
    for (int k0 = 0; k0 < nc; k0 += kChanChunk) {
        const int n = nc - k0 < kChanChunk ? nc - k0 : kChanChunk;
        double acc[kChanChunk] = {}, row[kChanChunk];
        const T* rowp = data + k0;
        for (int j = 0; j < nv; ++j, rowp += rowStride) {
            for (int k = 0; k < n; ++k) row[k] = 0.0;
            const T* px = rowp;
            for (int i = 0; i < nu; ++i, px += nTxChan)
                for (int k = 0; k < n; ++k) row[k] += ku[i] * sampleValue(px + k);
            const double wv = kv[j] * scale;
            for (int k = 0; k < n; ++k) acc[k] += wv * row[k];
        }
        for (int k = 0; k < n; ++k) result[k0 + k] = float(double(result[k0 + k]) + acc[k]);
    }
}

template <typename T>
void accumulateRowsN(const double* ku, const double* kv, int nu, int nv, double scale,
                     const void* data, long rowStride, int nTxChan, int nChan, float* result) {
    const T* d = static_cast<const T*>(data);
    switch (nChan) {
        case 1:
            return accumulateRows<T, 1>(ku, kv, nu, nv, scale, d, rowStride, nTxChan, 1, result);
        case 2:
            return accumulateRows<T, 2>(ku, kv, nu, nv, scale, d, rowStride, nTxChan, 2, result);
        case 3:
            return accumulateRows<T, 3>(ku, kv, nu, nv, scale, d, rowStride, nTxChan, 3, result);
        case 4:
            return accumulateRows<T, 4>(ku, kv, nu, nv, scale, d, rowStride, nTxChan, 4, result);
        default:
            return accumulateRows<T, 0>(ku, kv, nu, nv, scale, d, rowStride, nTxChan, nChan,
                                        result);
    }
}

template <typename T>
void accumulateConstant(double sum, const T* pixel, int firstChan, int nChan, float* result) {
    for (int k = 0; k < nChan; ++k)
        result[k] = float(double(result[k]) + sum * sampleValue(pixel + firstChan + k));
}

}  // namespace

void PtexMitchellFilter::lookup(Res res, double weight, float uW, float vW) {
    if (!validRes(res)) return;
    const int resU = res.u(), resV = res.v();
    if (resU < 4 || resV < 4) {
        // Too small for the kernel: the face's average.
        double w = weight;
        KernelPart one;
        one.valid = true;
        one.res = Res(0, 0);
        one.uw = one.vw = 1;
        one.weights = &w;
        one.stride = 1;
        applyKernel(one, faceId, 0);
        return;
    }

    // Position and width in texel units, first tap and tap count per direction.
    const double mu = double(u * float(resU)) - 0.5;
    const double wu = double(float(resU) * uW);
    const double mv = double(v * float(resV)) - 0.5;
    const double wv = double(float(resV) * vW);
    if (!(wu > 0.0) || !(wv > 0.0) || !std::isfinite(wu) || !std::isfinite(wv)) return;
    const double fu = std::ceil(mu - 2.0 * wu), fv = std::ceil(mv - 2.0 * wv);
    const double nuD = std::ceil(mu + 2.0 * wu) - fu, nvD = std::ceil(mv + 2.0 * wv) - fv;
    if (!(nuD >= 1.0 && nuD <= kMaxTaps && nvD >= 1.0 && nvD <= kMaxTaps)) return;
    int firstU = int(fu), firstV = int(fv);
    int nu = int(nuD), nv = int(nvD);

    double ku[kMaxTaps], kv[kMaxTaps];
    for (int i = 0; i < nu; ++i) ku[i] = kernel(std::fabs(i / wu + (firstU - mu) / wu));
    for (int j = 0; j < nv; ++j) kv[j] = kernel(std::fabs(j / wv + (firstV - mv) / wv));

    // Zero taps at the ends would only widen the pieces.
    int su = 0, sv = 0;
    while (su < nu && ku[su] == 0.0) ++su;
    while (nu > su && ku[nu - 1] == 0.0) --nu;
    while (sv < nv && kv[sv] == 0.0) ++sv;
    while (nv > sv && kv[nv - 1] == 0.0) --nv;
    firstU += su;
    firstV += sv;
    nu -= su;
    nv -= sv;
    if (nu < 1 || nv < 1) return;
    // A kernel wider than a neighbour-sized face cannot be placed.
    if (firstU < -resU || firstU + nu > 2 * resU || firstV < -resV || firstV + nv > 2 * resV)
        return;

    double sumU = 0.0, sumV = 0.0;
    for (int i = 0; i < nu; ++i) sumU += ku[su + i];
    for (int j = 0; j < nv; ++j) sumV += kv[sv + j];
    const double total = sumU * sumV;
    if (total == 0.0 || !std::isfinite(total)) return;
    const double scale = weight / total;

    // Inside the face (the usual case) nothing is split or folded: the kernel is
    // applied row by row without its table.
    if (firstU >= 0 && firstV >= 0 && firstU + nu <= resU && firstV + nv <= resV &&
        applyInside(res, firstU, firstV, nu, nv, ku + su, kv + sv, scale))
        return;

    double table[kMaxTaps * kMaxTaps];
    for (int j = 0; j < nv; ++j) {
        const double rowScale = kv[sv + j] * scale;
        double* row = table + j * nu;
        int i = 0;
#if defined(__SSE2__)
        const __m128d rs = _mm_set1_pd(rowScale);
        for (; i + 1 < nu; i += 2)
            _mm_storeu_pd(row + i, _mm_mul_pd(_mm_loadu_pd(ku + su + i), rs));
#endif
        for (; i < nu; ++i) row[i] = ku[su + i] * rowScale;
    }

    KernelPart mainPart;
    mainPart.valid = true;
    mainPart.edge = 0;
    mainPart.res = res;
    mainPart.u = firstU;
    mainPart.v = firstV;
    mainPart.uw = nu;
    mainPart.vw = nv;
    mainPart.weights = table;
    mainPart.stride = nu;
    KernelPart uPart, vPart, cornerPart;
    splitKernel(mainPart, uPart, vPart, cornerPart);

    if (!uPart.valid && !vPart.valid) {
        applyKernel(mainPart, faceId, 0);
        return;
    }

    if (cornerPart.valid) {
        if (cornerNeighbor.valid && cornerNeighbor.res >= res) {
            // read from the diagonal face
        } else if (!cornerNeighbor.valid && cornerReached) {
            // A vertex without a single diagonal face: leave the corner out and
            // scale the rest back up to the full weight.
            double cornerSum = 0.0;
            for (int j = 0; j < cornerPart.vw; ++j)
                for (int i = 0; i < cornerPart.uw; ++i)
                    cornerSum += cornerPart.weights[j * cornerPart.stride + i];
            const double rest = 1.0 - cornerSum / weight;
            if (rest > 1e-12 && std::isfinite(rest)) {
                const double f = 1.0 / rest;
                for (int c = 0; c < nu * nv; ++c) table[c] *= f;
            }
            cornerPart.valid = false;
        } else {
            if (uNeighbor.valid) {
                if (vNeighbor.valid) {
                    foldKernel(cornerPart, uPart, vPart.edge, 0.5);
                    foldKernel(cornerPart, vPart, uPart.edge, 0.5);
                } else {
                    foldKernel(cornerPart, uPart, vPart.edge);
                }
            } else {
                foldKernel(cornerPart, vPart, uPart.edge);
            }
            cornerPart.valid = false;
        }
    }
    if (uPart.valid && !(uNeighbor.valid && uNeighbor.res >= res)) {
        foldKernel(uPart, mainPart, uPart.edge);
        uPart.valid = false;
    }
    if (vPart.valid && !(vNeighbor.valid && vNeighbor.res >= res)) {
        foldKernel(vPart, mainPart, vPart.edge);
        vPart.valid = false;
    }

    if (uPart.valid) applyKernel(uPart, uNeighbor.faceId, uNeighbor.rotation);
    if (vPart.valid) applyKernel(vPart, vNeighbor.faceId, vNeighbor.rotation);
    if (cornerPart.valid && cornerNeighbor.valid)
        applyKernel(cornerPart, cornerNeighbor.faceId, cornerNeighbor.rotation);
    applyKernel(mainPart, faceId, 0);
}

void PtexMitchellFilter::splitKernel(KernelPart& main, KernelPart& uPart, KernelPart& vPart,
                                     KernelPart& cornerPart) {
    uPart = KernelPart();
    vPart = KernelPart();
    cornerPart = KernelPart();
    const int resU = main.res.u(), resV = main.res.v();

    if (main.u < 0) {
        const int n = -main.u < main.uw ? -main.u : main.uw;
        uPart = main;
        uPart.edge = 3;
        uPart.u = resU + main.u;
        uPart.uw = n;
        main.weights += n;
        main.uw -= n;
        main.u = 0;
    } else if (main.u + main.uw > resU) {
        const int n = main.u + main.uw - resU < main.uw ? main.u + main.uw - resU : main.uw;
        uPart = main;
        uPart.edge = 1;
        uPart.u = 0;
        uPart.uw = n;
        uPart.weights = main.weights + (main.uw - n);
        main.uw -= n;
    }

    if (main.v < 0) {
        const int n = -main.v < main.vw ? -main.v : main.vw;
        vPart = main;
        vPart.edge = 0;
        vPart.v = resV + main.v;
        vPart.vw = n;
        main.weights += n * main.stride;
        main.vw -= n;
        main.v = 0;
        if (uPart.valid) {
            cornerPart = uPart;
            cornerPart.edge = 0;
            cornerPart.v = resV + uPart.v;
            cornerPart.vw = n;
            uPart.weights += n * uPart.stride;
            uPart.vw -= n;
            uPart.v = 0;
        }
    } else if (main.v + main.vw > resV) {
        const int n = main.v + main.vw - resV < main.vw ? main.v + main.vw - resV : main.vw;
        vPart = main;
        vPart.edge = 2;
        vPart.v = 0;
        vPart.vw = n;
        vPart.weights = main.weights + (main.vw - n) * main.stride;
        main.vw -= n;
        if (uPart.valid) {
            cornerPart = uPart;
            cornerPart.edge = 2;
            cornerPart.v = 0;
            cornerPart.vw = n;
            cornerPart.weights = uPart.weights + (uPart.vw - n) * uPart.stride;
            uPart.vw -= n;
        }
    }
}

void PtexMitchellFilter::foldKernel(const KernelPart& source, KernelPart& target, int edge,
                                    double factor) {
    if (!source.valid || !target.valid || target.uw < 1 || target.vw < 1) return;
    for (int j = 0; j < source.vw; ++j) {
        for (int i = 0; i < source.uw; ++i) {
            int ti, tj;
            switch (edge & 3) {
                case 0:
                    ti = i;
                    tj = 0;
                    break;
                case 2:
                    ti = i;
                    tj = target.vw - 1;
                    break;
                case 1:
                    ti = target.uw - 1;
                    tj = j;
                    break;
                default:
                    ti = 0;
                    tj = j;
                    break;
            }
            if (ti >= target.uw || tj >= target.vw) continue;
            target.weights[tj * target.stride + ti] +=
                factor * source.weights[j * source.stride + i];
        }
    }
}

bool PtexMitchellFilter::applyInside(Res res, int u0, int v0, int nu, int nv, const double* ku,
                                     const double* kv, double scale) {
    PtexFaceData* data = texture->getData(faceId, res);
    if (!data) return false;
    const char* base = nullptr;
    int rowPixels = 0;
    PtexFaceData* tile = nullptr;
    if (data->isConstant()) {
        // the table's path
    } else if (data->isTiled()) {
        const Res tres = data->tileRes();
        if (tres.ulog2 >= 0 && tres.vlog2 >= 0 && tres.ulog2 <= res.ulog2 &&
            tres.vlog2 <= res.vlog2) {
            const int tu = u0 >> tres.ulog2, tv = v0 >> tres.vlog2;
            if (tu == (u0 + nu - 1) >> tres.ulog2 && tv == (v0 + nv - 1) >> tres.vlog2) {
                tile = data->getTile(tv * res.ntilesu(tres) + tu);
                if (tile && !tile->isConstant() && tile->res() == tres) {
                    base = static_cast<const char*>(tile->getData());
                    rowPixels = tres.u();
                    u0 &= rowPixels - 1;
                    v0 &= tres.v() - 1;
                }
            }
        }
    } else if (data->res() == res) {
        base = static_cast<const char*>(data->getData());
        rowPixels = res.u();
    }
    if (base) {
        const int sampleSize = DataSize(DataType(dataType));
        const void* first =
            base + ((size_t(v0) * size_t(rowPixels) + size_t(u0)) * size_t(numChannels) +
                    size_t(firstChan)) *
                       size_t(sampleSize);
        const long rowStride = long(rowPixels) * numChannels;
        switch (dataType) {
            case dt_uint8:
                accumulateRowsN<uint8_t>(ku, kv, nu, nv, scale, first, rowStride, numChannels,
                                         nChan, result);
                break;
            case dt_uint16:
                accumulateRowsN<uint16_t>(ku, kv, nu, nv, scale, first, rowStride, numChannels,
                                          nChan, result);
                break;
            case dt_half:
                accumulateRowsN<PtexHalf>(ku, kv, nu, nv, scale, first, rowStride, numChannels,
                                          nChan, result);
                break;
            default:
                accumulateRowsN<float>(ku, kv, nu, nv, scale, first, rowStride, numChannels, nChan,
                                       result);
                break;
        }
    }
    if (tile) tile->release();
    data->release();
    return base != nullptr;
}

void PtexMitchellFilter::applyConstant(const KernelPart& piece, const void* pixel) {
    double sum = 0.0;
    for (int j = 0; j < piece.vw; ++j)
        for (int i = 0; i < piece.uw; ++i) sum += piece.weights[j * piece.stride + i];
    switch (dataType) {
        case dt_uint8:
            accumulateConstant(sum, static_cast<const uint8_t*>(pixel), firstChan, nChan, result);
            break;
        case dt_uint16:
            accumulateConstant(sum, static_cast<const uint16_t*>(pixel), firstChan, nChan, result);
            break;
        case dt_half:
            accumulateConstant(sum, static_cast<const PtexHalf*>(pixel), firstChan, nChan, result);
            break;
        default:
            accumulateConstant(sum, static_cast<const float*>(pixel), firstChan, nChan, result);
            break;
    }
}

void PtexMitchellFilter::applyPacked(const KernelPart& piece, int rotation, const void* data,
                                     int dataU, int c0, int r0, int c1, int r1) {
    const CellMap m(rotation, piece.u, piece.v, piece.res.u(), piece.res.v());
    switch (dataType) {
        case dt_uint8:
            accumulatePacked(piece.weights, piece.stride, piece.uw, piece.vw, m,
                             static_cast<const uint8_t*>(data), dataU, c0, r0, c1, r1, numChannels,
                             firstChan, nChan, result);
            break;
        case dt_uint16:
            accumulatePacked(piece.weights, piece.stride, piece.uw, piece.vw, m,
                             static_cast<const uint16_t*>(data), dataU, c0, r0, c1, r1, numChannels,
                             firstChan, nChan, result);
            break;
        case dt_half:
            accumulatePacked(piece.weights, piece.stride, piece.uw, piece.vw, m,
                             static_cast<const PtexHalf*>(data), dataU, c0, r0, c1, r1, numChannels,
                             firstChan, nChan, result);
            break;
        default:
            accumulatePacked(piece.weights, piece.stride, piece.uw, piece.vw, m,
                             static_cast<const float*>(data), dataU, c0, r0, c1, r1, numChannels,
                             firstChan, nChan, result);
            break;
    }
}

void PtexMitchellFilter::applyKernel(const KernelPart& piece, int face, int rotation) {
    if (!piece.valid || piece.uw < 1 || piece.vw < 1) return;
    Res dres = (rotation & 1) ? piece.res.swappeduv() : piece.res;
    PtexFaceData* data = texture->getData(face, dres);
    if (!data) return;

    if (data->isConstant()) {
        if (const void* pixel = data->getData()) applyConstant(piece, pixel);
    } else if (data->isTiled()) {
        const Res tres = data->tileRes();
        if (tres.ulog2 >= 0 && tres.vlog2 >= 0 && tres.ulog2 <= dres.ulog2 &&
            tres.vlog2 <= dres.vlog2) {
            const int TU = tres.u(), TV = tres.v();
            const int ntu = dres.ntilesu(tres);
            // The texel rectangle the piece covers, in the face's own orientation.
            const CellMap m(rotation, piece.u, piece.v, piece.res.u(), piece.res.v());
            const int ca = m.c0, cb = m.c0 + (piece.uw - 1) * m.ci + (piece.vw - 1) * m.cj;
            const int ra = m.r0, rb = m.r0 + (piece.uw - 1) * m.ri + (piece.vw - 1) * m.rj;
            int cmin = ca < cb ? ca : cb, cmax = ca < cb ? cb : ca;
            int rmin = ra < rb ? ra : rb, rmax = ra < rb ? rb : ra;
            if (cmin < 0) cmin = 0;
            if (rmin < 0) rmin = 0;
            if (cmax > dres.u() - 1) cmax = dres.u() - 1;
            if (rmax > dres.v() - 1) rmax = dres.v() - 1;
            for (int tr = rmin / TV; tr <= rmax / TV && rmin <= rmax; ++tr) {
                for (int tc = cmin / TU; tc <= cmax / TU && cmin <= cmax; ++tc) {
                    PtexFaceData* tile = data->getTile(tr * ntu + tc);
                    if (!tile) continue;
                    const int c0 = tc * TU, r0 = tr * TV;
                    if (tile->isConstant()) {
                        if (const void* pixel = tile->getData()) {
                            // Only the cells of this tile carry its value.
                            double sum = 0.0;
                            for (int j = 0; j < piece.vw; ++j)
                                for (int i = 0; i < piece.uw; ++i) {
                                    const int col = m.c0 + i * m.ci + j * m.cj;
                                    const int row = m.r0 + i * m.ri + j * m.rj;
                                    if (col >= c0 && col < c0 + TU && row >= r0 && row < r0 + TV)
                                        sum += piece.weights[j * piece.stride + i];
                                }
                            KernelPart one;
                            one.valid = true;
                            one.uw = one.vw = 1;
                            one.weights = &sum;
                            one.stride = 1;
                            applyConstant(one, pixel);
                        }
                    } else if (tile->res() == tres) {
                        if (const void* tdata = tile->getData())
                            applyPacked(piece, rotation, tdata, TU, c0, r0, c0 + TU, r0 + TV);
                    }
                    tile->release();
                }
            }
        }
    } else if (data->res() == dres) {
        if (const void* pixels = data->getData())
            applyPacked(piece, rotation, pixels, dres.u(), 0, 0, dres.u(), dres.v());
    }
    data->release();
}
