// Helpers for the Mitchell filter tests: small quad meshes written as Ptex files, faces read
// back as floats, and an independent direct Mitchell-Netravali kernel sum over a texel image.
#pragma once

#include <PtexFilters.h>
#include <Ptexture.h>
#include <gtest/gtest.h>

#include "filters/PtexFilterFactory.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace mtest {

/// Owns a Ptex object that is given back with release().
struct Releaser {
    template <class T>
    void operator()(T* p) const {
        p->release();
    }
};
template <class T>
using Own = std::unique_ptr<T, Releaser>;

inline Own<PtexTexture> openTex(const std::string& path) {
    Ptex::String err;
    Own<PtexTexture> t(PtexTexture::open(path.c_str(), err));
    EXPECT_TRUE(t) << path << ": " << err;
    return t;
}

/// Options choosing the Mitchell filter (type -1) with a sharpness; the
/// plugin's filter types join the factory first, as the plugin does at load.
inline PtexFilter::Options mitchell(float sharpness) {
    EXPECT_TRUE(registerPluginFilterTypes());
    return {PtexFilter::FilterType(kMitchellFilterType), false, sharpness};
}

/// A scratch directory removed with its contents at scope end.
struct TempDir {
    std::string path = "/tmp/zt-mitchell-XXXXXX";
    TempDir() { EXPECT_NE(mkdtemp(path.data()), nullptr); }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string file(const std::string& name) const { return path + "/" + name; }
};

/// Adjacency of quads given by their corner vertex ids (counter-clockwise; edge e: corner e to e +
/// 1).
inline std::vector<Ptex::FaceInfo> quadAdjacency(const std::vector<std::array<int, 4>>& quads,
                                                 const std::vector<Ptex::Res>& res) {
    std::map<std::pair<int, int>, std::pair<int, int>> edges;
    for (int f = 0; f < int(quads.size()); ++f)
        for (int e = 0; e < 4; ++e) edges[{quads[f][e], quads[f][(e + 1) % 4]}] = {f, e};
    std::vector<Ptex::FaceInfo> infos;
    for (int f = 0; f < int(quads.size()); ++f) {
        int adjf[4], adje[4];
        for (int e = 0; e < 4; ++e) {
            auto it = edges.find({quads[f][(e + 1) % 4], quads[f][e]});
            adjf[e] = it == edges.end() ? -1 : it->second.first;
            adje[e] = it == edges.end() ? 0 : it->second.second;
        }
        infos.emplace_back(res[size_t(f) % res.size()], adjf, adje);
    }
    return infos;
}

/// A grid of nu x nv quads, face id = row * nu + column, unrotated; res gives the resolutions in
/// turn.
inline std::vector<Ptex::FaceInfo> grid(int nu, int nv, const std::vector<Ptex::Res>& res) {
    std::vector<std::array<int, 4>> q;
    for (int j = 0, w = nu + 1; j < nv; ++j)
        for (int i = 0; i < nu; ++i)
            q.push_back({j * w + i, j * w + i + 1, (j + 1) * w + i + 1, (j + 1) * w + i});
    return quadAdjacency(q, res);
}

/// Texel value: face, texel column, row, channel, face res -> value in [0, 1].
using TexelFn = std::function<double(int face, int x, int y, int c, Ptex::Res res)>;

/// Channel 0 is 1 everywhere (it shows the weight sum), the others a smooth,
/// face-dependent pattern in [0.05, 0.95].
inline double onesAndPattern(int face, int x, int y, int c, Ptex::Res r) {
    const double s = (x + 0.5) / r.u(), t = (y + 0.5) / r.v();
    return c == 0 ? 1.0
                  : 0.5 + 0.45 * std::sin(6.2831853 * (s + 2 * t) + face + 0.7 * c) *
                              std::cos(3.1 * s * t + c);
}

/// Writes a texture with mipmaps (uniform faces are stored constant); returns "" or the error text.
inline std::string writeTexture(const std::string& path, Ptex::DataType dt, int nchan,
                                const std::vector<Ptex::FaceInfo>& faces,
                                const TexelFn& texel = onesAndPattern,
                                Ptex::MeshType mt = Ptex::mt_quad) {
    Ptex::String err;
    Own<PtexWriter> w(
        PtexWriter::open(path.c_str(), mt, dt, nchan, -1, int(faces.size()), err, true));
    const int ps = Ptex::DataSize(dt) * nchan;
    std::vector<float> px(static_cast<size_t>(nchan));
    for (int f = 0; w && f < int(faces.size()); ++f) {
        const Ptex::Res r = faces[f].res;
        std::vector<uint8_t> data(size_t(r.size()) * ps);
        for (int i = 0; i < r.size(); ++i) {
            for (int c = 0; c < nchan; ++c) px[c] = float(texel(f, i % r.u(), i / r.u(), c, r));
            Ptex::ConvertFromFloat(&data[size_t(i) * ps], px.data(), dt, nchan);
        }
        w->writeFace(f, faces[f], data.data());
    }
    return w && w->close(err) ? "" : "write failed: " + err;
}

/// Channel c of a face at res as normalised floats, row by row.
inline std::vector<float> readFace(PtexTexture* tx, int face, Ptex::Res res, int c = 1) {
    std::vector<float> px(static_cast<size_t>(res.size()));
    for (int i = 0; i < res.size(); ++i)
        tx->getPixel(face, i % res.u(), i / res.u(), &px[size_t(i)], c, 1, res);
    return px;
}

/// The Mitchell-Netravali cubic in its textbook (B, C) form with C = (1 - B) / 2.
inline double mitchellKernel(double x, float sharpness) {
    const double B = double(1.0f - sharpness), C = (1.0 - B) / 2.0;
    x = std::fabs(x);
    if (x < 1)
        return ((12 - 9 * B - 6 * C) * x * x * x + (-18 + 12 * B + 6 * C) * x * x + (6 - 2 * B)) /
               6.0;
    if (x < 2)
        return ((-B - 6 * C) * x * x * x + (6 * B + 30 * C) * x * x + (-12 * B - 48 * C) * x +
                (8 * B + 24 * C)) /
               6.0;
    return 0.0;
}

/// Direct kernel sum at (u, v) of a texel image of resU x resV cells whose
/// texels outside the face come from `texel` (which does the clamping or the
/// neighbour placement): widths in texels, normalised by the weight sums.
inline double directKernel(float u, float v, int resU, int resV, double wu, double wv, float s,
                           const std::function<double(int x, int y)>& texel) {
    const double mu = double(u * float(resU)) - 0.5, mv = double(v * float(resV)) - 0.5;
    const int fu = int(std::ceil(mu - 2 * wu)), fv = int(std::ceil(mv - 2 * wv));
    const int nu = int(std::ceil(mu + 2 * wu)) - fu, nv = int(std::ceil(mv + 2 * wv)) - fv;
    double sum = 0, weights = 0;
    for (int j = 0; j < nv; ++j)
        for (int i = 0; i < nu; ++i) {
            const double k =
                mitchellKernel((fu + i - mu) / wu, s) * mitchellKernel((fv + j - mv) / wv, s);
            sum += k * texel(fu + i, fv + j);
            weights += k;
        }
    return sum / weights;
}

}  // namespace mtest
