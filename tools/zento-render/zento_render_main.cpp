// zento-render: renders a scene textured by the TexFacet plugin (see --help).
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include "CommandLine.h"
#include "RenderJob.h"

namespace {

int fail(const std::string& msg) {
    return toolError("zento-render", msg);
}

// Raised by the first Ctrl-C: the render finishes the tiles in flight and the
// frame is written. The handler then falls back to the default, so a second
// Ctrl-C ends the program at once.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void onInterrupt(int) {
    interrupted.store(true);
}

void catchInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool parseFrames(const std::string& text, int& a, int& b) {
    int x = 0, y = 0, used = 0;
    if (std::sscanf(text.c_str(), "%d..%d%n", &x, &y, &used) == 2 && size_t(used) == text.size() &&
        y >= x) {
        a = x;
        b = y;
        return true;
    }
    if (std::sscanf(text.c_str(), "%d%n", &x, &used) == 1 && size_t(used) == text.size()) {
        a = b = x;
        return true;
    }
    return false;
}

std::string lowerExt(const std::string& path) {
    std::string e = std::filesystem::path(path).extension().string();
    for (char& c : e) c = char(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

}  // namespace

int main(int argc, char** argv) {
    catchInterrupt();
    CLI::App app{
        "zento-render: renders meshes textured by the TexFacet Ptex plugin, loaded as a host loads "
        "it.\n"
        "SCENE is a JSON scene file, an OBJ mesh (give the texture with --set "
        "ptex_file=FILE.ptx),\n"
        "or a .ptx that carries its mesh (PtexFaceVertCounts, PtexFaceVertIndices, "
        "PtexVertPositions)."};
    std::string scenePath, outPath, framesText, sizeText, pluginPath;
    std::vector<std::string> sets;
    RenderOptions options;
    std::string exrType = "half";
    bool listParams = false, noProgress = false, strict = false, showStats = false;
    app.add_option("scene", scenePath,
                   "Scene file (.json), mesh (.obj) or Ptex file with a mesh (.ptx)");
    app.add_option("-o,--output", outPath,
                   "Output image (.png sRGB, .exr linear); '#' stands for the frame number");
    app.add_option("--exr-type", exrType, "Sample type of .exr output: half or float")
        ->check(CLI::IsMember({"half", "float"}))
        ->capture_default_str();
    app.add_option("--frames", framesText, "Frames to render: A..B or A (default: the scene's)");
    app.add_option("--set", sets,
                   "Set a plugin parameter of every texture: NAME=VALUE (repeatable)");
    app.add_option("--threads", options.threads,
                   "Render threads, 0 for all hardware threads (default: the scene's, all)");
    app.add_option("--spp", options.spp, "Samples per pixel (default: the scene's, 4)");
    app.add_option("--size", sizeText, "Image size WxH (default: the scene's, 640x480)");
    app.add_option("--plugin", pluginPath,
                   "The plugin library (default: ../lib/libzento_TexFacet.so beside the program)");
    app.add_flag("-v,--verbose", options.verbose, "Show the plugin's verbose messages");
    app.add_flag("--strict", strict,
                 "End with status 1 after any warning (missing or damaged texture, texture and "
                 "mesh that do not match); the images are still written");
    app.add_flag("--stats", showStats,
                 "Print the shading statistics after each frame (with -v, per texture)");
    app.add_flag("--no-progress", noProgress, "Do not draw the progress bar");
    app.add_flag("--list-params", listParams, "List the plugin's parameters and exit");
    if (const int status = parseCommandLine(app, argc, argv, "zento-render"); status >= 0)
        return status;

    options.pluginPath = pluginPath;
    if (listParams) {
        PluginSession session;
        std::string error;
        if (!session.load(pluginPath.empty() ? defaultPluginPath(argv[0]) : pluginPath, error))
            return fail(error);
        std::printf("TexFacet parameters:\n%s", session.describeTable().c_str());
        return 0;
    }
    if (scenePath.empty()) return fail("no SCENE given (see --help)");
    if (outPath.empty()) return fail("no output image given: -o OUT.png (see --help)");
    if (!isSupportedImagePath(outPath))
        return fail("unknown image format for " + outPath + " (use .png or .exr)");
    if (app.count("--threads") && (options.threads < 0 || options.threads > 1024))
        return fail("--threads must be 0 (all hardware threads) to 1024, not " +
                    std::to_string(options.threads));
    if (app.count("--spp") && (options.spp < 1 || options.spp > 4096))
        return fail("--spp must be 1 to 4096, not " + std::to_string(options.spp));
    if (!sizeText.empty()) {
        long w = 0, h = 0;
        int used = 0;
        if (std::sscanf(sizeText.c_str(), "%ldx%ld%n", &w, &h, &used) != 2 ||
            size_t(used) != sizeText.size()) {
            return fail("bad --size '" + sizeText + "' (expected WxH, e.g. 1280x720)");
        }
        if (w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide) {
            return fail("--size " + sizeText + ": width and height must be 1 to " +
                        std::to_string(kMaxImageSide));
        }
        options.width = int(w);
        options.height = int(h);
    }
    for (const std::string& s : sets) {
        const size_t eq = s.find('=');
        if (eq == std::string::npos || eq == 0)
            return fail("bad --set '" + s + "' (expected NAME=VALUE)");
        options.sets.emplace_back(s.substr(0, eq), s.substr(eq + 1));
    }
    options.progressBar = !noProgress && ::isatty(2);

    Scene scene;
    try {
        const std::string ext = lowerExt(scenePath);
        if (ext == ".obj" || ext == ".ptx") {
            if (!std::filesystem::exists(scenePath))
                return fail("cannot open " + scenePath + ": no such file");
            scene = sceneFromMesh(scenePath);
        } else {
            scene = loadSceneFile(scenePath);
        }
    } catch (const SceneError& e) {
        return fail(e.what());
    }
    int first = scene.frameStart, last = scene.frameEnd;
    if (!framesText.empty() && !parseFrames(framesText, first, last)) {
        return fail("bad --frames '" + framesText + "' (expected A..B with A <= B)");
    }

    // Every output is checked before the first tile, not after the render.
    std::string error;
    for (int frame = first; frame <= last; ++frame) {
        if (!checkOutputPath(framePath(outPath, frame, last > first), error)) return fail(error);
    }

    RenderJob job;
    options.stop = &interrupted;
    if (!job.prepare(scene, options, argv[0], error)) return fail(error);
    std::fprintf(stderr, "info: rendering %dx%d, %d spp, %d thread%s, frames %d..%d\n", job.width(),
                 job.height(), job.spp(), job.threads(), job.threads() == 1 ? "" : "s", first,
                 last);
    const auto start = std::chrono::steady_clock::now();
    job.renderBegin();
    int status = 0, frames = 0;
    for (int frame = first; frame <= last && !interrupted; ++frame) {
        Image image;
        RenderStats stats;
        job.renderFrame(frame, image, stats);
        const std::string path = framePath(outPath, frame, last > first);
        ImageFileInfo info = job.fileInfo(frame, stats);
        info.exrFloat = exrType == "float";
        if (!writeImage(path, image, info, error)) {
            status = fail(error);
            break;
        }
        ++frames;
        if (stats.complete()) {
            std::printf("wrote %s (frame %d, %.2f s, %.2f Mrays/s)\n", path.c_str(), frame,
                        stats.seconds,
                        stats.seconds > 0 ? double(stats.rays) / stats.seconds * 1e-6 : 0.0);
        } else {
            std::printf("wrote %s (frame %d, interrupted: %d of %d tiles rendered)\n", path.c_str(),
                        frame, stats.tilesDone, stats.tiles);
        }
        if (showStats)
            std::fputs(shadingReport(frame, job.shadingStats(), options.verbose).c_str(), stdout);
    }
    job.renderEnd();
    std::fflush(stdout);
    if (frames > 1) {
        std::printf(
            "rendered %d frames in %.2f s\n", frames,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        std::fflush(stdout);
    }
    if (interrupted) {
        std::fprintf(stderr, "zento-render: interrupted\n");
        return 130;
    }
    const int warnings = job.messages().count(ZUtils::ProgressLevel::Warning);
    if (warnings > 0 && status == 0) {
        const std::string counted =
            std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings");
        if (strict)
            return fail(counted +
                        " with --strict: the images were written but are not to be trusted");
        std::fprintf(stderr, "%s%s\n", counted.c_str(),
                     options.verbose ? "" : "; rerun with -v for details");
    }
    return status;
}
