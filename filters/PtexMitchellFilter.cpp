// PtexMitchellFilter: construction, eval (width clamps, level choice, the
// blend of weights between resolutions) and the analysis of the neighbourhood
// of the current corner. The single-resolution kernel lookup is in
// PtexMitchellLookup.cpp.
#include "filters/PtexMitchellFilter.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace {

double smoothstep(double x, double lo, double hi) {
    if (x < lo) return 0.0;
    if (x >= hi) return 1.0;
    double s = (x - lo) / (hi - lo);
    return s * s * (3.0 - 2.0 * s);
}

double smootherstep(double x, double lo, double hi) {
    if (x < lo) return 0.0;
    if (x >= hi) return 1.0;
    double s = (x - lo) / (hi - lo);
    return s * s * s * (s * (6.0 * s - 15.0) + 10.0);
}

// [0, 1], NaN counting as 0.
float clamp01(float x) {
    if (!(x > 0.0f)) return 0.0f;
    return x > 1.0f ? 1.0f : x;
}

// A non-finite footprint component counts as no footprint (NaN) or as the
// widest one (infinity) - never reaches an integer conversion.
float finiteAbs(float x) {
    if (std::isnan(x)) return 0.0f;
    return std::fabs(x);
}

// Filter width in face units: scaled and blurred, at most 0.25 (a 4-texel
// level), at least one texel of the face's full resolution.
float clampWidth(float w, int faceLog2) {
    if (std::isnan(w)) w = 0.0f;
    if (w > 0.25f) w = 0.25f;
    float texel = 1.0f / float(1 << faceLog2);
    if (!(w >= texel)) w = texel;
    return w;
}

// The level whose texel is at most the width: ceil(log2(1 / w)), within [0, max].
int8_t levelFor(float w, int maxLog2) {
    static const double invLn2 = 1.0 / std::log(2.0);
    const double x = 1.0 / double(w);
    // Away from powers of two, log2(x) lies well inside (e, e + 1) for x's binary
    // exponent e, and the rounded logarithm's ceiling is e + 1; near them the
    // logarithm itself decides.
    const uint64_t bits = std::bit_cast<uint64_t>(x);  // x is finite and positive
    const uint64_t frac = bits & ((uint64_t(1) << 52) - 1);
    const uint64_t margin = uint64_t(1) << 24;  // about 4e-9 of the mantissa
    const int e = int((bits >> 52) & 0x7ff) - 1023;
    // exact powers of two (the width clamps make them common): the logarithm's
    // answer for each, worked out once
    static const struct PowerLevels {
        double l[64];
        PowerLevels() {
            for (int k = 0; k < 64; ++k) l[k] = std::ceil(std::log(std::ldexp(1.0, k)) * invLn2);
        }
    } powers;
    double l;
    if (frac > margin && frac < (uint64_t(1) << 52) - margin)
        l = double(e + 1);
    else if (frac == 0 && e >= 0 && e < 64)
        l = powers.l[e];
    else
        l = std::ceil(std::log(x) * invLn2);
    if (!(l >= 0.0)) l = 0.0;
    if (l > double(maxLog2)) l = double(maxLog2);
    return int8_t(l);
}

// 2^-log2 exactly (log2 within [0, 24]).
double texelSize(int log2) {
    return 1.0 / double(1 << log2);
}

}  // namespace

PtexMitchellFilter::PtexMitchellFilter(PtexTexture* texture_, float sharpness_)
    : texture(texture_),
      result(nullptr),
      firstChan(0),
      nChan(0),
      numChannels(texture_ ? texture_->numChannels() : 0),
      dataType(texture_ ? texture_->dataType() : 0),
      numFaces(texture_ ? texture_->numFaces() : 0),
      faceId(-1),
      u(0),
      v(0),
      uWidth(0),
      vWidth(0),
      isConstant(false),
      cornerReached(false),
      uBlend(0),
      vBlend(0),
      sharpness(std::isfinite(sharpness_) ? sharpness_ : 0.0f) {
    double B = double(1.0f - sharpness);
    coefficients[0] = 1.5 - B;
    coefficients[1] = 1.5 * B - 2.5;
    coefficients[2] = 1.0 - B / 3.0;
    coefficients[3] = B / 3.0 - 0.5;
    coefficients[4] = 2.5 - 1.5 * B;
    coefficients[5] = 2.0 * B - 4.0;
    coefficients[6] = 2.0 - 2.0 * B / 3.0;
}

void PtexMitchellFilter::release() {
    delete this;
}

bool PtexMitchellFilter::validRes(Res r) const {
    // Larger faces than 2^24 texels a side cannot come from a sane file.
    return r.ulog2 >= 0 && r.vlog2 >= 0 && r.ulog2 <= 24 && r.vlog2 <= 24;
}

void PtexMitchellFilter::eval(float* result_, int firstChan_, int nChannels, int faceId_, float u_,
                              float v_, float uw1, float vw1, float uw2, float vw2, float width,
                              float blur) {
    if (!result_) return;
    for (int i = 0; i < nChannels; ++i) result_[i] = 0.0f;
    result = result_;
    firstChan = firstChan_;
    faceId = faceId_;
    if (!texture) return;

    long long avail = (long long)numChannels - (long long)firstChan;
    nChan = int(nChannels < avail ? nChannels : avail);

    u = clamp01(u_);
    v = clamp01(v_);
    uWidth = finiteAbs(uw1) + finiteAbs(uw2);
    vWidth = finiteAbs(vw1) + finiteAbs(vw2);

    if (nChan < 1 || firstChan < 0 || faceId < 0 || faceId >= numFaces) return;
    if (dataType < 0 || dataType > 3) return;

    const double W = dataType == dt_uint8    ? 1.0 / 255.0
                     : dataType == dt_uint16 ? 1.0 / 65535.0
                                             : 1.0;

    const FaceInfo& f = texture->getFaceInfo(faceId);
    if (!validRes(f.res)) return;

    if (!std::isfinite(width)) width = 1.0f;
    if (!std::isfinite(blur)) blur = 0.0f;
    uWidth = clampWidth(uWidth * width + blur, f.res.ulog2);
    vWidth = clampWidth(vWidth * width + blur, f.res.vlog2);

    isConstant = f.isConstant();

    mainLookup.valid = true;
    mainLookup.lowerRes = false;
    mainLookup.faceId = faceId;
    mainLookup.rotation = 0;
    mainLookup.res = Res(levelFor(uWidth, f.res.ulog2), levelFor(vWidth, f.res.vlog2));

    analyzeNeighborhood(f);

    if (isConstant) {
        PtexFaceData* data = texture->getData(faceId, Res(0, 0));
        const void* pixel = data ? data->getData() : nullptr;
        if (pixel) {
            ConvertToFloat(
                result,
                static_cast<const char*>(pixel) + size_t(firstChan) * DataSize(DataType(dataType)),
                DataType(dataType), nChan);
            data->release();
            return;
        }
        // No pixel after all: evaluate normally (the kernel path skips missing data).
        if (data) data->release();
        isConstant = false;
    }

    if (!uNeighbor.valid && !vNeighbor.valid) {
        lookup(mainLookup.res, W, uWidth, vWidth);
        return;
    }

    // Split the weight between the main level and the neighbours' levels.
    const double a = uBlend, b = vBlend;
    double toMain = (1 - a) * (1 - b) * W;
    double toU = a * (1 - b) * W;
    double toV = (1 - a) * b * W;
    double toCorner = a * b * W;

    if (toCorner != 0) {
        if (cornerNeighbor.valid && cornerNeighbor.lowerRes) {
            if (cornerNeighbor.res == uNeighbor.res)
                toU += toCorner;
            else if (cornerNeighbor.res == vNeighbor.res)
                toV += toCorner;
            else
                lookup(cornerNeighbor.res, toCorner, float(texelSize(cornerNeighbor.res.ulog2)),
                       float(texelSize(cornerNeighbor.res.vlog2)));
        } else {
            toMain += toCorner;
        }
    }
    if (toU != 0) {
        if (uNeighbor.lowerRes) {
            if (vNeighbor.valid && vNeighbor.res == uNeighbor.res)
                toV += toU;
            else
                lookup(uNeighbor.res, toU, float(texelSize(uNeighbor.res.ulog2)),
                       float(texelSize(uNeighbor.res.vlog2)));
        } else {
            toMain += toU;
        }
    }
    if (toV != 0) {
        if (vNeighbor.lowerRes)
            lookup(vNeighbor.res, toV, float(texelSize(vNeighbor.res.ulog2)),
                   float(texelSize(vNeighbor.res.vlog2)));
        else
            toMain += toV;
    }
    if (toMain != 0) lookup(mainLookup.res, toMain, uWidth, vWidth);
}

bool PtexMitchellFilter::findNeighbor(const FaceInfo& f, int edge, FaceLookup& out,
                                      bool& outConstant) {
    int id = f.adjfaces[edge];
    if (id < 0 || id >= numFaces) return false;
    const FaceInfo& nf = texture->getFaceInfo(id);
    if (!validRes(nf.res)) return false;
    out.valid = true;
    out.faceId = id;
    out.rotation = (int(f.adjedge(edge)) - edge + 2) & 3;
    out.res = (out.rotation & 1) ? nf.res.swappeduv() : nf.res;
    out.lowerRes = out.res.ulog2 < mainLookup.res.ulog2 || out.res.vlog2 < mainLookup.res.vlog2;
    out.res.clamp(mainLookup.res);
    outConstant = nf.isConstant();
    return true;
}

void PtexMitchellFilter::analyzeNeighborhood(const FaceInfo& f) {
    uNeighbor = FaceLookup();
    vNeighbor = FaceLookup();
    cornerNeighbor = FaceLookup();
    cornerFaces.clear();
    uBlend = vBlend = 0.0;
    cornerReached = false;

    // The nearer edge in each direction; u = 0.5 counts as near u = 1.
    const int eu = u < 0.5f ? 3 : 1;
    const double du = u < 0.5f ? double(u) : 1.0 - double(u);
    const int ev = v < 0.5f ? 0 : 2;
    const double dv = v < 0.5f ? double(v) : 1.0 - double(v);
    const double tu = texelSize(mainLookup.res.ulog2);
    const double tv = texelSize(mainLookup.res.vlog2);
    double loU = 0, hiU = 0, loV = 0, hiV = 0;

    bool uConst = false, vConst = false;
    const bool hasU = findNeighbor(f, eu, uNeighbor, uConst);
    if (hasU) {
        loU = std::fmin(1.5 * tu, 0.375);
        hiU = std::fmin(2.5 * tu, 0.5);
    }
    const bool hasV = findNeighbor(f, ev, vNeighbor, vConst);
    if (hasV) {
        loV = std::fmin(1.5 * tv, 0.375);
        hiV = std::fmin(2.5 * tv, 0.5);
    }

    // Near a corner the band along one edge follows the other neighbour's
    // texel size, so the two bands meet without a seam.
    if (hasU && hasV) {
        if (vNeighbor.res.ulog2 != mainLookup.res.ulog2) {
            double t = smoothstep(dv, loV, hiV);
            double tp = texelSize(vNeighbor.res.ulog2);
            loU = t * loU + (1 - t) * std::fmin(1.5 * tp, 0.375);
            hiU = t * hiU + (1 - t) * std::fmin(2.5 * tp, 0.5);
        }
        if (uNeighbor.res.vlog2 != mainLookup.res.vlog2) {
            double t = smoothstep(du, loU, hiU);
            double tp = texelSize(uNeighbor.res.vlog2);
            loV = t * loV + (1 - t) * std::fmin(1.5 * tp, 0.375);
            hiV = t * hiV + (1 - t) * std::fmin(2.5 * tp, 0.5);
        }
    }

    const bool blendU = hasU && du < hiU;
    const bool blendV = hasV && dv < hiV;
    if (blendU) {
        uBlend = 1.0 - smootherstep(du, loU, hiU);
        if (!uConst) isConstant = false;
    } else {
        uNeighbor.valid = false;
        uNeighbor.lowerRes = false;
    }
    if (blendV) {
        vBlend = 1.0 - smootherstep(dv, loV, hiV);
        if (!vConst) isConstant = false;
    } else {
        vNeighbor.valid = false;
        vNeighbor.lowerRes = false;
    }

    if (blendU && blendV) {
        // Walk around the corner vertex from the u-neighbour towards the v-neighbour.
        const int dir = (ev == ((eu + 1) & 3)) ? 3 : 1;
        int entry = f.adjedge(eu);
        int rotation = uNeighbor.rotation;
        int current = uNeighbor.faceId;
        bool reached = false;
        for (int step = 0; step < kMaxCornerFaces; ++step) {
            const FaceInfo& cf = texture->getFaceInfo(current);
            const int next = (entry + dir) & 3;
            const int id = cf.adjfaces[next];
            if (id == vNeighbor.faceId) {
                reached = true;
                break;
            }
            if (id < 0 || id >= numFaces) break;
            const int newEntry = cf.adjedge(next);
            const FaceInfo& nf = texture->getFaceInfo(id);
            if (!validRes(nf.res)) break;
            rotation = (rotation - next + newEntry + 2) & 3;
            entry = newEntry;
            current = id;
            FaceLookup face;
            face.valid = true;
            face.faceId = id;
            face.rotation = rotation;
            face.res = (rotation & 1) ? nf.res.swappeduv() : nf.res;
            cornerFaces.push(face);
            if (!nf.isConstant()) isConstant = false;
        }
        if (!reached) cornerFaces.clear();

        if (reached) {
            cornerReached = true;
            if (cornerFaces.size() == 1) {
                cornerNeighbor = cornerFaces[0];
                Res r = cornerNeighbor.res;
                cornerNeighbor.lowerRes =
                    r.ulog2 < uNeighbor.res.ulog2 || r.vlog2 < uNeighbor.res.vlog2 ||
                    r.ulog2 < vNeighbor.res.ulog2 || r.vlog2 < vNeighbor.res.vlog2 ||
                    uNeighbor.lowerRes || vNeighbor.lowerRes;
                r.clamp(uNeighbor.res);
                r.clamp(vNeighbor.res);
                cornerNeighbor.res = r;
            }
        }
    }

    // A constant answer needs every face taking part to hold the same pixel.
    if (isConstant) {
        const size_t pixelSize = size_t(DataSize(DataType(dataType))) * size_t(numChannels);
        PtexFaceData* mainData = texture->getData(faceId, Res(0, 0));
        const void* mainPixel = mainData ? mainData->getData() : nullptr;
        auto samePixel = [&](int id) {
            PtexFaceData* d = texture->getData(id, Res(0, 0));
            const void* p = d ? d->getData() : nullptr;
            bool same = p && std::memcmp(p, mainPixel, pixelSize) == 0;
            if (d) d->release();
            return same;
        };
        if (!mainPixel) {
            isConstant = false;
        } else {
            if (uNeighbor.valid && !samePixel(uNeighbor.faceId)) isConstant = false;
            if (isConstant && vNeighbor.valid && !samePixel(vNeighbor.faceId)) isConstant = false;
            for (int i = 0; isConstant && i < cornerFaces.size(); ++i)
                if (!samePixel(cornerFaces[i].faceId)) isConstant = false;
        }
        if (mainData) mainData->release();
    }
}
