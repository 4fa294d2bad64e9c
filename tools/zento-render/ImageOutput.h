// ImageOutput: rendered images and their files.
//
// An Image holds linear RGBA floats, rows top to bottom. writeImage picks the
// format by extension: .png is 8-bit RGB with the sRGB curve (alpha dropped:
// the background is part of the picture), .exr is linear half-float RGBA
// (alpha = coverage). False with a reason on any failure; never throws.
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

bool writeImage(const std::string& path, const Image& image, std::string& error);
std::string framePath(const std::string& pattern, int frame, bool numbered);
bool isSupportedImagePath(const std::string& path);
