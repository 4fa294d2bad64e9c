// ptex-make: writes a Ptex file for an OBJ mesh (see --help).
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "CommandLine.h"
#include "MeshCheck.h"
#include "ProgressLine.h"
#include "PtexMake.h"

namespace {

bool parseRes(const std::string& text, int& u, int& v) {
    int a = 0, b = 0;
    char x = 0;
    const int n = std::sscanf(text.c_str(), "%d%c%d", &a, &x, &b);
    if (n == 1)
        b = a;
    else if (n != 3 || (x != 'x' && x != 'X'))
        return false;
    auto pow2 = [](int t) { return t >= 1 && t <= 32768 && (t & (t - 1)) == 0; };
    if (!pow2(a) || !pow2(b)) return false;
    u = a;
    v = b;
    return true;
}

// "1 vertex", "3 vertices".
std::string plural(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void warn(const std::string& text) {
    std::fprintf(stderr, "warning: %s\n", text.c_str());
}

// Applies the repairs asked for, then reports what the mesh still holds that
// spoils its Ptex faces. Returns the number of warnings.
int checkAndRepair(PolyMesh& mesh, bool quadLayout, bool fixOrientation, double weldDistance) {
    if (weldDistance >= 0) {
        int dropped = 0;
        const int merged = weldVertices(mesh, weldDistance, dropped);
        std::printf("welded %s", plural(merged, "vertex", "vertices").c_str());
        if (dropped > 0)
            std::printf(", dropped %s", plural(dropped, "polygon", "polygons").c_str());
        std::printf("\n");
        if (mesh.counts.empty()) return 0;
    }
    if (fixOrientation) {
        std::printf("reversed %s to match their neighbours\n",
                    plural(fixWinding(mesh), "polygon", "polygons").c_str());
    }
    const MeshReport r = checkMesh(mesh, quadLayout);
    std::printf("mesh: %s, %s, %s (%d on the boundary)\n",
                plural(mesh.numVertices(), "vertex", "vertices").c_str(),
                plural(mesh.numPolygons(), "polygon", "polygons").c_str(),
                plural(r.edges, "edge", "edges").c_str(), r.boundaryEdges.count);
    std::fflush(stdout);
    int warnings = 0;
    auto report = [&](const MeshReport::Count& c, const std::string& text) {
        if (c.count == 0) return;
        warn(text);
        ++warnings;
    };
    const MeshReport::Count& o = r.opposedEdges;
    report(o, plural(o.count, "edge joins", "edges join") +
                  " polygons wound against each other (first: polygons " + std::to_string(o.first) +
                  " and " + std::to_string(o.other) +
                  "): filters show a seam there; --fix-winding orients every polygon like its "
                  "neighbours");
    report(r.nonManifoldEdges, plural(r.nonManifoldEdges.count, "edge is", "edges are") +
                                   " shared by more than two polygons (first at polygon " +
                                   std::to_string(r.nonManifoldEdges.first) +
                                   "): the Ptex faces there get no neighbour");
    report(r.degenerate, plural(r.degenerate.count, "polygon has", "polygons have") +
                             " no area or a repeated vertex (first: polygon " +
                             std::to_string(r.degenerate.first) + ")");
    report(r.folded, plural(r.folded.count, "polygon is", "polygons are") + " so concave that " +
                         std::string(r.folded.count == 1 ? "its" : "their") +
                         " Ptex faces fold (first: polygon " + std::to_string(r.folded.first) +
                         "): texels land outside the polygon");
    report(r.duplicateVertices,
           plural(r.duplicateVertices.count, "vertex repeats", "vertices repeat") +
               " the position of another (first: vertex " +
               std::to_string(r.duplicateVertices.first) +
               "): polygons meeting there are not joined; --weld DIST merges vertices closer "
               "than DIST");
    return warnings;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "ptex-make: writes a Ptex texture (.ptx) for an OBJ mesh.\n"
        "Quads become one Ptex face, other polygons one sub-face per corner, a mesh of\n"
        "triangles a triangle-type file. The mesh travels with the file as the metadata\n"
        "PtexFaceVertCounts, PtexFaceVertIndices and PtexVertPositions."};
    std::string meshPath, outPath, patternName = "labels", typeName = "uint8",
                                   meshTypeName = "auto", resText = "64", imagePath, axisName = "z",
                                   content;
    PtexMakeOptions options;
    bool noMipmaps = false, fixWindingAsked = false;
    double weldDistance = -1;
    app.add_option("mesh", meshPath, "Input mesh (Wavefront OBJ)")->required();
    app.add_option("-o,--output", outPath, "Output Ptex file")->required();
    app.add_option("-p,--pattern", patternName, std::string("Texel pattern: ") + patternKindNames())
        ->capture_default_str();
    app.add_option("-t,--type", typeName, "Data type: uint8, uint16, half, float")
        ->capture_default_str();
    app.add_option("-c,--channels", options.channels, "Number of channels")->capture_default_str();
    app.add_option("-a,--alpha", options.alphaChannel, "Alpha channel index, -1 for none")
        ->capture_default_str();
    app.add_option("-m,--mesh-type", meshTypeName,
                   "Mesh type: auto (triangle if all polygons are), quad, triangle")
        ->capture_default_str();
    app.add_option("-r,--res", resText,
                   "Uniform face resolution N or UxV texels (powers of two); sub-faces get half")
        ->capture_default_str();
    app.add_option("-d,--density", options.density,
                   "Texels per unit length: resolution per face from its size");
    app.add_option("--max-res", options.maxRes, "Largest resolution per side with --density")
        ->capture_default_str();
    app.add_option("--checks", options.pattern.checks, "Squares per face side (checker)")
        ->capture_default_str();
    app.add_option("--cell", options.pattern.cellSize,
                   "Cell size in mesh units (world); default: box size / 8");
    app.add_option("--image", imagePath, "PNG image projected onto the mesh (pattern image)");
    app.add_option("--axis", axisName, "Projection axis for --image: x, y or z")
        ->capture_default_str();
    app.add_option("--content", content, "Text stored as the 'content' metadata");
    app.add_flag("--no-mipmaps", noMipmaps, "Do not store mip-map levels");
    app.add_flag("--fix-winding", fixWindingAsked,
                 "Reverse polygons wound against their neighbours (the winding most have wins)");
    app.add_option("--weld", weldDistance,
                   "Merge vertices closer than DIST (0: at the same position) before writing");
    if (const int status = parseCommandLine(app, argc, argv, "ptex-make"); status >= 0)
        return status;

    auto fail = [](const std::string& msg) { return toolError("ptex-make", msg); };
    if (!parsePatternKind(patternName, options.pattern.kind))
        return fail("unknown pattern '" + patternName + "'");
    if (typeName == "uint8")
        options.dataType = Ptex::dt_uint8;
    else if (typeName == "uint16")
        options.dataType = Ptex::dt_uint16;
    else if (typeName == "half")
        options.dataType = Ptex::dt_half;
    else if (typeName == "float")
        options.dataType = Ptex::dt_float;
    else
        return fail("unknown data type '" + typeName + "'");
    if (meshTypeName == "auto")
        options.meshChoice = PtexMakeOptions::MeshChoice::Automatic;
    else if (meshTypeName == "quad")
        options.meshChoice = PtexMakeOptions::MeshChoice::Quad;
    else if (meshTypeName == "triangle")
        options.meshChoice = PtexMakeOptions::MeshChoice::Triangle;
    else
        return fail("unknown mesh type '" + meshTypeName + "'");
    if (!parseRes(resText, options.resU, options.resV))
        return fail("bad --res '" + resText + "' (N or UxV, powers of two from 1 to 32768)");
    if (app.count("--density") && app.count("--res"))
        return fail("--density and --res exclude each other: give one");
    if (app.count("--density") && !(options.density > 0 && std::isfinite(options.density)))
        return fail("--density must be above 0 texels per unit length, not " +
                    shortNumber(options.density));
    if (options.maxRes < 1 || options.maxRes > 32768)
        return fail("--max-res must be 1 to 32768, not " + std::to_string(options.maxRes));
    if (options.pattern.checks < 1 || options.pattern.checks > 32768)
        return fail("--checks must be 1 to 32768, not " + std::to_string(options.pattern.checks));
    if (app.count("--cell") &&
        !(options.pattern.cellSize > 0 && std::isfinite(options.pattern.cellSize)))
        return fail("--cell must be above 0 mesh units, not " +
                    shortNumber(options.pattern.cellSize));
    if (axisName == "x")
        options.pattern.axis = 0;
    else if (axisName == "y")
        options.pattern.axis = 1;
    else if (axisName == "z")
        options.pattern.axis = 2;
    else
        return fail("bad axis '" + axisName + "'");
    if (app.count("--weld") && !(weldDistance >= 0 && std::isfinite(weldDistance)))
        return fail("--weld must be 0 or more mesh units, not " + shortNumber(weldDistance));
    options.mipmaps = !noMipmaps;
    options.content = content;

    PolyMesh mesh;
    std::string error;
    if (!checkOutputPath(outPath, error)) return fail(error);
    if (!loadObjMesh(meshPath, mesh, error)) return fail(error);
    meshBounds(mesh, options.pattern.boxLo, options.pattern.boxHi);
    if (app.count("--cell") == 0) {
        const double size = length(options.pattern.boxHi - options.pattern.boxLo);
        options.pattern.cellSize = size > 0 ? size / 8.0 : 1.0;
    }
    if (options.pattern.kind == PatternKind::Image) {
        if (imagePath.empty()) return fail("pattern image needs --image FILE.png");
        if (!readPng(imagePath, options.pattern.image, error)) return fail(error);
    }
    const bool quadLayout =
        !(options.meshChoice == PtexMakeOptions::MeshChoice::Triangle ||
          (options.meshChoice == PtexMakeOptions::MeshChoice::Automatic && mesh.allTriangles()));
    const int warnings = checkAndRepair(mesh, quadLayout, fixWindingAsked, weldDistance);
    if (mesh.counts.empty()) return fail("no polygon is left after --weld");

    PtexMakeResult made;
    ProgressLine progress("ptex-make");
    options.progress = [&](int done, int total) { progress.update(done, total); };
    const bool ok = makePtex(mesh, options, outPath, error, &made);
    progress.finish();
    if (!ok) return fail(ptexWriterError(error, outPath));
    int subfaces = 0;
    for (const PtexFaceLayout& f : made.layout.faces) subfaces += f.isSubface();
    std::error_code ec;
    const double kib = double(std::filesystem::file_size(outPath, ec)) / 1024.0;
    const std::string ofThem = subfaces ? " (" + std::to_string(subfaces) + " sub-faces)" : "";
    std::printf("wrote %s: %d polygons, %d %s faces%s, %dx%d to %dx%d texels, %.1f KiB, ",
                outPath.c_str(), mesh.numPolygons(), int(made.layout.faces.size()),
                made.layout.meshType == Ptex::mt_triangle ? "triangle" : "quad", ofThem.c_str(),
                made.minRes.u(), made.minRes.v(), made.maxRes.u(), made.maxRes.v(), kib);
    if (warnings == 0)
        std::printf("no warnings\n");
    else
        std::printf("%d warning%s\n", warnings, warnings == 1 ? "" : "s");
    return 0;
}
