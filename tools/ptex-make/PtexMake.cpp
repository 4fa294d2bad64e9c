#include "PtexMake.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

int log2Floor(int v) {
    int l = 0;
    while ((1 << (l + 1)) <= v) ++l;
    return l;
}

int8_t log2Of(double texels, int maxLog2) {
    if (!(texels > 1.0)) return 0;
    const int l = int(std::lround(std::log2(texels)));
    return int8_t(std::clamp(l, 0, maxLog2));
}

}  // namespace

Ptex::Res chooseFaceRes(const PtexMakeOptions& options, const PtexLayout& layout, int faceId,
                        const FaceCorners& corners) {
    const bool triangle = layout.meshType == Ptex::mt_triangle;
    const int maxLog2 = log2Floor(std::max(options.maxRes, 1));
    if (options.density > 0.0) {
        double ulen = 0, vlen = 0;
        faceEdgeLengths(corners, triangle, ulen, vlen);
        int8_t ul = log2Of(ulen * options.density, maxLog2),
               vl = log2Of(vlen * options.density, maxLog2);
        if (triangle) ul = vl = std::max(ul, vl);
        return Ptex::Res(ul, vl);
    }
    int ul = log2Floor(std::max(options.resU, 1)), vl = log2Floor(std::max(options.resV, 1));
    if (triangle) {
        ul = vl = std::max(ul, vl);
    } else if (layout.faces[size_t(faceId)].isSubface()) {
        // A sub-face is a quarter of a virtual face of twice its size.
        ul = std::max(ul - 1, 0);
        vl = std::max(vl - 1, 0);
    }
    return Ptex::Res(int8_t(std::min(ul, maxLog2)), int8_t(std::min(vl, maxLog2)));
}

bool makePtex(const PolyMesh& mesh, const PtexMakeOptions& options, const std::string& outPath,
              std::string& error, PtexMakeResult* result) {
    if (options.channels < 1 || options.channels > 64) {
        error = "channel count must be 1 to 64";
        return false;
    }
    if (options.alphaChannel < -1 || options.alphaChannel >= options.channels) {
        error = "alpha channel must be -1 or below the channel count";
        return false;
    }
    Ptex::MeshType mt = Ptex::mt_quad;
    if (options.meshChoice == PtexMakeOptions::MeshChoice::Triangle ||
        (options.meshChoice == PtexMakeOptions::MeshChoice::Automatic && mesh.allTriangles())) {
        mt = Ptex::mt_triangle;
    }
    PtexLayout layout;
    if (!buildPtexLayout(mesh, mt, layout, error)) return false;
    const bool triangle = mt == Ptex::mt_triangle;

    Ptex::String ptexError;
    PtexWriter* writer = PtexWriter::open(outPath.c_str(), mt, options.dataType, options.channels,
                                          options.alphaChannel, int(layout.faces.size()), ptexError,
                                          options.mipmaps);
    if (!writer) {
        error = ptexError;
        return false;
    }
    // The writer is released on every path out.
    struct Release {
        PtexWriter*& w;
        ~Release() {
            if (w) w->release();
        }
    } releaseWriter{writer};

    const std::vector<int> starts = mesh.polygonStarts();
    const int nch = options.channels;
    const int pixelBytes = Ptex::DataSize(options.dataType) * nch;
    // Which pattern channel each file channel takes: 0..2 colour, 3 alpha,
    // 4.. extra values; one colour channel is the luminance (-1).
    std::vector<int> source(static_cast<size_t>(nch));
    {
        int colour = 0, extra = 0;
        const int colourChannels = nch - (options.alphaChannel >= 0 ? 1 : 0);
        for (int c = 0; c < nch; ++c) {
            if (c == options.alphaChannel) {
                source[size_t(c)] = 3;
            } else if (colourChannels == 1) {
                source[size_t(c)] = -1;
            } else if (colour < 3) {
                source[size_t(c)] = colour++;
            } else {
                source[size_t(c)] = 4 + extra++;
            }
        }
    }

    std::vector<float> texel(static_cast<size_t>(nch));
    std::vector<uint8_t> data;
    Ptex::Res minRes(15, 15), maxRes(0, 0);
    for (int f = 0; f < int(layout.faces.size()); ++f) {
        const FaceCorners corners = faceCorners(mesh, starts, layout, f);
        const Ptex::Res res = chooseFaceRes(options, layout, f, corners);
        const int U = res.u(), V = res.v();
        if (res.size() < minRes.size()) minRes = res;
        if (res.size() > maxRes.size()) maxRes = res;
        data.resize(size_t(U) * size_t(V) * size_t(pixelBytes));
        for (int j = 0; j < V; ++j) {
            for (int i = 0; i < U; ++i) {
                double u = (i + 0.5) / U, v = (j + 0.5) / V;
                if (triangle) {
                    // Even texels in the lower-left half, odd ones mirrored.
                    if (i + j <= U - 1) {
                        u = (i + 1.0 / 3.0) / U;
                        v = (j + 1.0 / 3.0) / U;
                    } else {
                        u = (U - 1 - j + 2.0 / 3.0) / U;
                        v = (U - 1 - i + 2.0 / 3.0) / U;
                    }
                }
                const Vec3 p = facePoint(corners, triangle, u, v);
                const std::array<float, 3> rgb = options.pattern.sample(f, u, v, p, triangle);
                const float extras[3] = {
                    float(u), float(v),
                    layout.faces.size() > 1 ? float(f) / float(layout.faces.size() - 1) : 0.0f};
                for (int c = 0; c < nch; ++c) {
                    const int s = source[size_t(c)];
                    float value = 0;
                    if (s == -1)
                        value = 0.2126f * rgb[0] + 0.7152f * rgb[1] + 0.0722f * rgb[2];
                    else if (s < 3)
                        value = rgb[size_t(s)];
                    else if (s == 3)
                        value = 1.0f;
                    else
                        value = extras[size_t((s - 4) % 3)];
                    texel[size_t(c)] = value;
                }
                Ptex::ConvertFromFloat(
                    &data[(size_t(j) * size_t(U) + size_t(i)) * size_t(pixelBytes)], texel.data(),
                    options.dataType, nch);
            }
        }
        const PtexFaceLayout& fl = layout.faces[size_t(f)];
        int adjfaces[4], adjedges[4];
        for (int e = 0; e < 4; ++e) {
            adjfaces[e] = fl.adjfaces[e];
            adjedges[e] = fl.adjedges[e];
        }
        Ptex::FaceInfo info(res, adjfaces, adjedges, fl.isSubface());
        if (!writer->writeFace(f, info, data.data())) {
            writer->close(ptexError);
            error = ptexError.empty() ? "cannot write face " + std::to_string(f)
                                      : std::string(ptexError);
            return false;
        }
        if (options.progress) options.progress(f + 1, int(layout.faces.size()));
    }

    writer->writeMeta("PtexFaceVertCounts", mesh.counts.data(), int(mesh.counts.size()));
    writer->writeMeta("PtexFaceVertIndices", mesh.indices.data(), int(mesh.indices.size()));
    writer->writeMeta("PtexVertPositions", mesh.positions.data(), int(mesh.positions.size()));
    if (!options.content.empty()) writer->writeMeta("content", options.content.c_str());
    if (!writer->close(ptexError)) {
        error = ptexError;
        return false;
    }
    if (result) *result = PtexMakeResult{std::move(layout), minRes, maxRes};
    return true;
}
