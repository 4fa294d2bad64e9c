// Helpers for the Mitchell filter tests: small quad meshes with adjacency,
// writing them as Ptex files, reading faces back as floats, and an independent
// direct computation of the Mitchell-Netravali kernel sum over a texel image.
#pragma once

#include <PtexFilters.h>
#include <Ptexture.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace mtest {

/// A scratch directory removed with its contents at scope end.
struct TempDir {
    std::filesystem::path path;
    TempDir()
    {
        char tmpl[] = "/tmp/zt-mitchell-XXXXXX";
        char* p = mkdtemp(tmpl);
        path = p ? p : "/tmp";
    }
    ~TempDir()
    {
        std::error_code ec;
        if (path != "/tmp") std::filesystem::remove_all(path, ec);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

/// Adjacency of quads given by their corner vertex ids (counter-clockwise):
/// edge e runs from corner e to corner e + 1; the neighbour across it holds the
/// same vertices in the other direction.
inline std::vector<Ptex::FaceInfo> quadAdjacency(const std::vector<std::array<int, 4>>& quads,
                                                 const std::vector<Ptex::Res>& res)
{
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
        infos.emplace_back(res[f], adjf, adje);
    }
    return infos;
}

/// A grid of nu x nv quads, face id = row * nu + column, all rotation 0.
inline std::vector<std::array<int, 4>> gridQuads(int nu, int nv)
{
    std::vector<std::array<int, 4>> q;
    auto vid = [&](int i, int j) { return j * (nu + 1) + i; };
    for (int j = 0; j < nv; ++j)
        for (int i = 0; i < nu; ++i) q.push_back({vid(i, j), vid(i + 1, j), vid(i + 1, j + 1), vid(i, j + 1)});
    return q;
}

/// The six faces of a cube (every vertex of valence 3, mixed rotations).
inline std::vector<std::array<int, 4>> cubeQuads()
{
    return {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 4, 7, 3}, {1, 2, 6, 5}};
}

/// Texel value function: face, texel column, row, channel, face res -> value in [0, 1].
using TexelFn = std::function<double(int face, int x, int y, int c, Ptex::Res res)>;

/// Writes a quad (or triangle) texture; returns "" on success or the error text.
inline std::string writeTexture(const std::string& path, Ptex::DataType dt, int nchan,
                                const std::vector<Ptex::FaceInfo>& faces, const TexelFn& texel,
                                const std::vector<bool>& constant = {}, Ptex::MeshType mt = Ptex::mt_quad,
                                bool mipmaps = true)
{
    Ptex::String err;
    PtexWriter* w = PtexWriter::open(path.c_str(), mt, dt, nchan, -1, int(faces.size()), err, mipmaps);
    if (!w) return "open: " + err;
    const int ds = Ptex::DataSize(dt);
    for (int f = 0; f < int(faces.size()); ++f) {
        const Ptex::Res r = faces[f].res;
        std::vector<float> px(static_cast<size_t>(nchan));
        if (f < int(constant.size()) && constant[f]) {
            for (int c = 0; c < nchan; ++c) px[c] = float(texel(f, 0, 0, c, r));
            std::vector<uint8_t> one(size_t(ds) * nchan);
            Ptex::ConvertFromFloat(one.data(), px.data(), dt, nchan);
            w->writeConstantFace(f, faces[f], one.data());
            continue;
        }
        std::vector<uint8_t> data(size_t(r.size()) * ds * nchan);
        for (int y = 0; y < r.v(); ++y)
            for (int x = 0; x < r.u(); ++x) {
                for (int c = 0; c < nchan; ++c) px[c] = float(texel(f, x, y, c, r));
                Ptex::ConvertFromFloat(&data[(size_t(y) * r.u() + x) * ds * nchan], px.data(), dt, nchan);
            }
        w->writeFace(f, faces[f], data.data());
    }
    bool ok = w->close(err);
    w->release();
    return ok ? "" : "close: " + err;
}

/// Face data at res as normalised floats, texel-major with nchan channels.
struct FaceImage {
    int W = 0, H = 0, nchan = 0;
    std::vector<double> px;
    double at(int x, int y, int c) const { return px[(size_t(y) * W + x) * nchan + c]; }
};

inline FaceImage readFace(PtexTexture* tx, int face, Ptex::Res res)
{
    FaceImage img;
    img.W = res.u();
    img.H = res.v();
    img.nchan = tx->numChannels();
    const Ptex::DataType dt = tx->dataType();
    const int ps = Ptex::DataSize(dt) * img.nchan;
    std::vector<uint8_t> raw(size_t(res.size()) * ps);
    tx->getData(face, raw.data(), 0, res);
    img.px.resize(size_t(res.size()) * img.nchan);
    std::vector<float> f(size_t(img.nchan));
    for (int i = 0; i < res.size(); ++i) {
        Ptex::ConvertToFloat(f.data(), &raw[size_t(i) * ps], dt, img.nchan);
        for (int c = 0; c < img.nchan; ++c) img.px[size_t(i) * img.nchan + c] = f[c];
    }
    return img;
}

/// The Mitchell-Netravali cubic in its textbook (B, C) form with C = (1 - B) / 2.
inline double mitchellKernel(double x, float sharpness)
{
    const double B = double(1.0f - sharpness), C = (1.0 - B) / 2.0;
    x = std::fabs(x);
    if (x < 1)
        return ((12 - 9 * B - 6 * C) * x * x * x + (-18 + 12 * B + 6 * C) * x * x + (6 - 2 * B)) / 6.0;
    if (x < 2)
        return ((-B - 6 * C) * x * x * x + (6 * B + 30 * C) * x * x + (-12 * B - 48 * C) * x + (8 * B + 24 * C)) /
               6.0;
    return 0.0;
}

/// Direct kernel sum at (u, v) of a texel image of resU x resV cells whose
/// texels outside the face come from `texel` (which does the clamping or the
/// neighbour placement): widths in texels, normalised by the weight sums.
inline double directKernel(float u, float v, int resU, int resV, double wu, double wv, float sharpness,
                           const std::function<double(int x, int y)>& texel)
{
    const double mu = double(u * float(resU)) - 0.5, mv = double(v * float(resV)) - 0.5;
    const int fu = int(std::ceil(mu - 2 * wu)), fv = int(std::ceil(mv - 2 * wv));
    const int nu = int(std::ceil(mu + 2 * wu)) - fu, nv = int(std::ceil(mv + 2 * wv)) - fv;
    double sum = 0, su = 0, sv = 0;
    for (int i = 0; i < nu; ++i) su += mitchellKernel((fu + i - mu) / wu, sharpness);
    for (int j = 0; j < nv; ++j) sv += mitchellKernel((fv + j - mv) / wv, sharpness);
    for (int j = 0; j < nv; ++j)
        for (int i = 0; i < nu; ++i)
            sum += mitchellKernel((fu + i - mu) / wu, sharpness) * mitchellKernel((fv + j - mv) / wv, sharpness) *
                   texel(fu + i, fv + j);
    return sum / (su * sv);
}

inline int clampi(int x, int lo, int hi) { return x < lo ? lo : (x > hi ? hi : x); }

/// A smooth, face-dependent texel pattern in [0.05, 0.95].
inline double pattern(int face, int x, int y, int c, Ptex::Res r)
{
    const double s = (x + 0.5) / r.u(), t = (y + 0.5) / r.v();
    return 0.5 + 0.45 * std::sin(6.2831853 * (s + 2 * t) + face + 0.7 * c) * std::cos(3.1 * s * t + c);
}

}  // namespace mtest
