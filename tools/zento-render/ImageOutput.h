// ImageOutput: rendered images and their files.
//
// An Image holds linear RGBA floats, rows top to bottom, with the colour
// premultiplied by coverage over transparent black: a pixel no ray hit is
// 0 0 0 0, a pixel half covered holds half the surface colour and alpha 0.5.
// writeImage picks the format by extension:
//  - .png: 8-bit RGB with the sRGB curve, the image composited over
//    `background` (the background is part of the picture; alpha dropped);
//  - .exr: RGBA as stored (premultiplied, alpha = coverage), half floats or,
//    with `exrFloat`, 32-bit floats; the header carries the render time,
//    samples per pixel, frame, frame rate, the camera (the standard
//    worldToCamera matrix, camera looking along -z, and cameraFov, the
//    vertical field of view in degrees).
// False with a reason on any failure; never throws.
//
// framePath replaces the first run of '#' in a path by the frame number,
// zero-padded to the run's length; a path without '#' gets ".NNNN" before its
// extension when `numbered` is set, and is kept as it is otherwise.
#pragma once

#include <string>
#include <vector>

struct Image {
    int width = 0, height = 0;
    std::vector<float> rgba;
    void resize(int w, int h) {
        width = w;
        height = h;
        rgba.assign(size_t(w) * size_t(h) * 4, 0.0f);
    }
    float* pixel(int x, int y) { return &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4]; }
    const float* pixel(int x, int y) const {
        return &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
    }
};

struct ImageFileInfo {
    float background[3] = {0, 0, 0};  // PNG only
    bool exrFloat = false;
    // EXR header attributes.
    float renderSeconds = 0;
    int samplesPerPixel = 1;
    int frame = 1;
    double framesPerSecond = 24;
    float worldToCamera[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    float cameraFov = 40;
};

bool writeImage(const std::string& path, const Image& image, const ImageFileInfo& info,
                std::string& error);
std::string framePath(const std::string& pattern, int frame, bool numbered);
bool isSupportedImagePath(const std::string& path);
