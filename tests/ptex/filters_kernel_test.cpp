// The separable filters' fast building blocks against their plain forms, bit
// for bit: the width-4 kernels built for both axes at once against one axis at a
// time, and the texel loops unrolled for narrow kernels against the loop for any
// channel count. Box kernels against the texel coverage they stand for.
#include "PtexFilters.h"
#include "PtexKernelApply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

// Exposes the kernel builders of a width-4 filter.
template <class Filter>
class Probe : public Filter {
public:
    template <class... A>
    explicit Probe(A... a) : Filter(nullptr, PtexFilter::Options(), a...) {}
    using Filter::buildKernel;
    using Filter::buildKernelAxis;
};

template <class Filter, class... A>
int countWidth4Mismatches(A... args) {
    Probe<Filter> f(args...);
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> pos(-0.1f, 1.1f), lw(-14.0f, 0.0f);
    std::uniform_int_distribution<int> lres(0, 12);
    int mismatches = 0;
    for (int i = 0; i < 4000; i++) {
        const float u = pos(rng), v = pos(rng), uw = std::exp2(lw(rng)), vw = std::exp2(lw(rng));
        const Ptex::Res res(int8_t(lres(rng)), int8_t(lres(rng)));
        PtexSeparableKernel k, ku, kv;
        f.buildKernel(k, u, v, uw, vw, res);
        const int lu = f.buildKernelAxis(ku.u, ku.uw, ku.kubuff, u, uw, res.ulog2);
        const int lv = f.buildKernelAxis(kv.v, kv.vw, kv.kvbuff, v, vw, res.vlog2);
        const bool same = k.res.ulog2 == lu && k.res.vlog2 == lv && k.u == ku.u && k.uw == ku.uw &&
                          k.v == kv.v && k.vw == kv.vw &&
                          std::memcmp(k.ku, ku.kubuff, sizeof(float) * size_t(k.uw)) == 0 &&
                          std::memcmp(k.kv, kv.kvbuff, sizeof(float) * size_t(k.vw)) == 0;
        mismatches += !same;
    }
    return mismatches;
}

TEST(SeparableKernelTest, Width4KernelsBuildBothAxesAsOneAxisAtATime) {
    EXPECT_EQ(countWidth4Mismatches<PtexGaussianFilter>(), 0);
    for (float sharpness : {0.0f, 0.5f, 2.0f / 3.0f, 1.0f})
        EXPECT_EQ(countWidth4Mismatches<PtexBicubicFilter>(sharpness), 0) << sharpness;
}

// Largest difference between a box kernel's weights along one axis and the
// coverage of each texel [i, i+1) of its level by the footprint [x - w/2, x + w/2]
// (w clamped to one texel of the face .. the face, so that it spans 1-2 texels),
// in units of the float rounding of the footprint's ends; 1e9 for a wrong level.
double boxAxisError(int first, int count, const float* kw, int level, double x, double w,
                    int faceLog2) {
    w = std::clamp(w, std::exp2(-faceLog2), 1.0);
    if (level != -int(std::floor(std::log2(w)))) return 1e9;
    const double r = std::exp2(level), a = (x - w / 2) * r, b = (x + w / 2) * r;
    double err = 0;
    const int lo = std::min(first, int(std::floor(a))),
              hi = std::max(first + count, int(std::ceil(b)));
    for (int i = lo; i < hi; i++) {
        const double cover = std::max(0.0, std::min(b, i + 1.0) - std::max(a, double(i)));
        err =
            std::max(err, std::fabs(cover - (i >= first && i < first + count ? kw[i - first] : 0)));
    }
    return err / (std::max(1.0, std::fabs(b)) * 0x1p-22);
}

// Exposes the kernel builder of a box or bilinear filter and the weight it hands on.
template <class Filter>
class PlainProbe : public Filter {
public:
    PlainProbe() : Filter(nullptr, PtexFilter::Options()) {}
    using Filter::buildKernel;
    // builds k; false when a weight handed on differs from the kernel's (in bits)
    bool build(PtexSeparableKernel& k, float u, float v, float uw, float vw, Ptex::Res res) {
        this->_builtWeight = -1;
        buildKernel(k, u, v, uw, vw, res);
        if (this->_builtWeight < 0) return true;
        float su = 0, sv = 0;
        for (int i = 0; i < k.uw; i++) su += k.ku[i];
        for (int i = 0; i < k.vw; i++) sv += k.kv[i];
        const float w = su * sv;
        return k.ku[0] != 0 && k.kv[0] != 0 && k.ku[k.uw - 1] != 0 && k.kv[k.vw - 1] != 0 &&
               std::memcmp(&w, &this->_builtWeight, sizeof w) == 0;
    }
};

TEST(SeparableKernelTest, BilinearWeightHandedOnIsTheKernels) {
    PlainProbe<PtexBilinearFilter> f;
    std::mt19937 rng(4);
    std::uniform_real_distribution<float> pos(0.0f, 1.0f), lw(-14.0f, 0.5f);
    int wrong = 0;
    for (int i = 0; i < 4000; i++) {
        PtexSeparableKernel k;
        // every tenth position on a texel centre, where one weight is 0
        const float u = i % 10 ? pos(rng) : 0.5f / 16;
        wrong += !f.build(k, u, pos(rng), std::exp2(lw(rng)), std::exp2(lw(rng)), Ptex::Res(4, 9));
    }
    EXPECT_EQ(wrong, 0);
}

TEST(SeparableKernelTest, BoxWeightsAreTexelCoverage) {
    PlainProbe<PtexBoxFilter> f;
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> pos(0.0f, 1.0f), lw(-14.0f, 0.5f);
    std::uniform_int_distribution<int> lres(0, 12);
    double worst = 0;
    for (int i = 0; i < 4000; i++) {
        const float u = pos(rng), v = pos(rng), uw = std::exp2(lw(rng)), vw = std::exp2(lw(rng));
        const Ptex::Res res(int8_t(lres(rng)), int8_t(lres(rng)));
        PtexSeparableKernel k;
        ASSERT_TRUE(f.build(k, u, v, uw, vw, res));
        worst = std::max({worst, boxAxisError(k.u, k.uw, k.ku, k.res.ulog2, u, uw, res.ulog2),
                          boxAxisError(k.v, k.vw, k.kv, k.res.vlog2, v, vw, res.vlog2)});
    }
    EXPECT_LT(worst, 1.0);
}

// Sums of every narrow rectangle (1-4 columns and rows) of random texels of
// type T and NC of 5 channels, by applySepFixed<T, NC> and by the any-count loop.
template <typename T, int NC>
void expectNarrowLoopsMatch() {
    SCOPED_TRACE(NC);
    const int nTx = 5, rowPixels = 8;
    std::mt19937 rng(5);
    std::vector<T> data(size_t(rowPixels * rowPixels * nTx));
    for (T& x : data) x = T(float(rng() % 65536) / (sizeof(T) == 1 ? 257.0f : 1.0f));
    const float ku[4] = {0.25f, 1.0f, 0.7f, 0.05f}, kv[4] = {0.6f, 1.0f, 0.3f, 0.125f};
    for (int uw = 1; uw <= 4; uw++)
        for (int vw = 1; vw <= 4; vw++) {
            float a[4] = {}, b[4] = {};
            PtexFilterImpl::applySepFixed<T, NC>(a, data.data() + 1, rowPixels, 2, 3, uw, vw, ku,
                                                 kv, NC, nTx);
            PtexFilterImpl::applySepN<T>(b, static_cast<const T*>(data.data() + 1), rowPixels, 2, 3,
                                         uw, vw, ku, kv, NC, nTx);
            EXPECT_EQ(std::memcmp(a, b, sizeof a), 0) << uw << "x" << vw;
        }
}

template <typename T>
void expectNarrowLoopsMatchAllCounts() {
    expectNarrowLoopsMatch<T, 1>();
    expectNarrowLoopsMatch<T, 2>();
    expectNarrowLoopsMatch<T, 3>();
    expectNarrowLoopsMatch<T, 4>();
}

TEST(SeparableKernelTest, NarrowKernelLoopsSumAsTheGeneralLoop) {
    expectNarrowLoopsMatchAllCounts<uint8_t>();
    expectNarrowLoopsMatchAllCounts<uint16_t>();
    expectNarrowLoopsMatchAllCounts<PtexHalf>();
    expectNarrowLoopsMatchAllCounts<float>();
}

}  // namespace
