#include "ImageOutput.h"

#include <OpenEXR/ImfRgbaFile.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "PngImage.h"

namespace {

std::string lowerExtension(const std::string& path) {
    std::string e = std::filesystem::path(path).extension().string();
    for (char& c : e) c = char(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

}  // namespace

bool isSupportedImagePath(const std::string& path) {
    const std::string e = lowerExtension(path);
    return e == ".png" || e == ".exr";
}

bool writeImage(const std::string& path, const Image& image, std::string& error) {
    const std::string ext = lowerExtension(path);
    if (image.width <= 0 || image.height <= 0) {
        error = "empty image";
        return false;
    }
    const size_t n = size_t(image.width) * size_t(image.height);
    if (ext == ".png") {
        std::vector<uint8_t> bytes(n * 3);
        for (size_t i = 0; i < n; ++i) {
            for (int c = 0; c < 3; ++c) {
                bytes[i * 3 + size_t(c)] =
                    uint8_t(linearToSrgb(image.rgba[i * 4 + size_t(c)]) * 255.0f + 0.5f);
            }
        }
        return writePng(path, image.width, image.height, 3, bytes.data(), error);
    }
    if (ext == ".exr") {
        try {
            std::vector<Imf::Rgba> px(n);
            for (size_t i = 0; i < n; ++i) {
                px[i] = Imf::Rgba(image.rgba[i * 4], image.rgba[i * 4 + 1], image.rgba[i * 4 + 2],
                                  image.rgba[i * 4 + 3]);
            }
            Imf::RgbaOutputFile file(path.c_str(), image.width, image.height, Imf::WRITE_RGBA);
            file.setFrameBuffer(px.data(), 1, size_t(image.width));
            file.writePixels(image.height);
        } catch (const std::exception& e) {
            error = "cannot write image " + path + ": " + e.what();
            return false;
        }
        return true;
    }
    error = "unknown image format for " + path + " (use .png or .exr)";
    return false;
}

std::string framePath(const std::string& pattern, int frame, bool numbered) {
    const size_t first = pattern.find('#');
    if (first != std::string::npos) {
        size_t last = first;
        while (last < pattern.size() && pattern[last] == '#') ++last;
        char digits[32];
        std::snprintf(digits, sizeof digits, "%0*d", int(last - first), frame);
        return pattern.substr(0, first) + digits + pattern.substr(last);
    }
    if (!numbered) return pattern;
    const std::filesystem::path p(pattern);
    char digits[32];
    std::snprintf(digits, sizeof digits, ".%04d", frame);
    return (p.parent_path() / (p.stem().string() + digits + p.extension().string())).string();
}
