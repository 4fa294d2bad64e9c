// makePtex: writes a Ptex file for a polygon mesh with our PtexWriter.
//
// The Ptex faces and their adjacency come from buildPtexLayout; resolutions
// are uniform (resU x resV for whole faces, half of each for sub-faces, the
// larger of the two for triangles) or, with a texel density, chosen per face
// from its mean edge lengths (rounded to the nearest power of two, clamped to
// 1 .. maxRes). Texels come from a TexelPattern evaluated at texel centres;
// the channels are the pattern's red, green, blue (one channel: their
// luminance), the alpha channel when asked (1, or the label coverage), and
// extra channels take u, v and the face id scaled to [0, 1] in turn. The file
// carries the mesh metadata PtexFaceVertCounts, PtexFaceVertIndices and
// PtexVertPositions. Returns false with a reason; never throws.
#pragma once

#include <Ptexture.h>

#include <functional>
#include <string>

#include "PolyMesh.h"
#include "PtexLayout.h"
#include "TexelPattern.h"

struct PtexMakeOptions {
    // Mesh type: automatic picks triangles when every polygon is a triangle.
    enum class MeshChoice { Automatic, Quad, Triangle } meshChoice = MeshChoice::Automatic;
    Ptex::DataType dataType = Ptex::dt_uint8;
    int channels = 3;
    int alphaChannel = -1;
    int resU = 64, resV = 64;  // texels, powers of two
    double density = 0.0;      // texels per unit length; > 0 chooses per face
    int maxRes = 1024;
    bool mipmaps = true;
    TexelPattern pattern;
    std::string content;  // "content" metadata text; empty: none
    // Called after each face is written with the faces done and their total.
    std::function<void(int, int)> progress;
};

// The resolution a face gets (exposed for tests).
Ptex::Res chooseFaceRes(const PtexMakeOptions& options, const PtexLayout& layout, int faceId,
                        const FaceCorners& corners);

// What was written: the layout and the smallest and largest face resolution
// (by texel count).
struct PtexMakeResult {
    PtexLayout layout;
    Ptex::Res minRes, maxRes;
};

bool makePtex(const PolyMesh& mesh, const PtexMakeOptions& options, const std::string& outPath,
              std::string& error, PtexMakeResult* result = nullptr);
