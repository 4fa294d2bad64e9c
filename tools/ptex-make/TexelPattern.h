// TexelPattern: the colour a generated Ptex texel takes.
//
// Patterns (by name):
//   checker   a checker board in face coordinates, `checks` squares per side,
//             in the face's colour and a darker shade of it
//   gradient  red = u, green = v, blue from the face id
//   faces     one flat colour per Ptex face
//   labels    the face colour with the Ptex face id written on it (inside
//             the triangle on triangle faces)
//   world     a checker board in space (cells of `cellSize`), continuous
//             across faces
//   image     a PNG projected along an axis onto the mesh's bounding box
//
// Colours are linear RGB in [0, 1]; PNG images are decoded from sRGB.
// sample() is pure and thread-safe once the pattern is set up.
#pragma once

#include <array>
#include <string>

#include "FaceGeometry.h"
#include "PngImage.h"

enum class PatternKind { Checker, Gradient, Faces, Labels, World, Image };

bool parsePatternKind(const std::string& name, PatternKind& kind);
const char* patternKindNames();  // "checker, gradient, ..." for help texts

struct TexelPattern {
    PatternKind kind = PatternKind::Labels;
    int checks = 8;
    double cellSize = 0.25;
    // Planar projection: the image, the axis (0 x, 1 y, 2 z) it is projected
    // along and the box it covers.
    PngImage image;
    int axis = 2;
    Vec3 boxLo, boxHi;

    // The colour of the texel at face coordinates (u, v) and point p, on a
    // quad face or, with `triangle`, a triangle face (u + v <= 1).
    std::array<float, 3> sample(int faceId, double u, double v, const Vec3& p,
                                bool triangle = false) const;
};

// The flat colour of a face: well-separated hues, never too dark.
std::array<float, 3> faceColour(int faceId);
