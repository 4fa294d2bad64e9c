#include "ImageOutput.h"

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFloatAttribute.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfIntAttribute.h>
#include <OpenEXR/ImfOutputFile.h>
#include <OpenEXR/ImfStandardAttributes.h>
#include <half.h>

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

namespace {

bool writeExr(const std::string& path, const Image& image, const ImageFileInfo& info) {
    Imf::Header header(image.width, image.height);
    const Imf::PixelType type = info.exrFloat ? Imf::FLOAT : Imf::HALF;
    const char* const names[4] = {"R", "G", "B", "A"};
    for (const char* name : names) header.channels().insert(name, Imf::Channel(type));
    header.insert("renderTime", Imf::FloatAttribute(info.renderSeconds));
    header.insert("samplesPerPixel", Imf::IntAttribute(info.samplesPerPixel));
    header.insert("frame", Imf::IntAttribute(info.frame));
    header.insert("cameraFov", Imf::FloatAttribute(info.cameraFov));
    Imf::addFramesPerSecond(header, Imf::Rational(info.framesPerSecond));
    Imf::addWorldToCamera(header, Imath::M44f(info.worldToCamera));

    // The frame buffer must have the file's channel type.
    std::vector<half> halves;
    char* base = reinterpret_cast<char*>(const_cast<float*>(image.rgba.data()));
    size_t sampleBytes = sizeof(float);
    if (!info.exrFloat) {
        halves.assign(image.rgba.begin(), image.rgba.end());
        base = reinterpret_cast<char*>(halves.data());
        sampleBytes = sizeof(half);
    }
    Imf::FrameBuffer frame;
    for (size_t c = 0; c < 4; ++c) {
        frame.insert(names[c], Imf::Slice(type, base + c * sampleBytes, 4 * sampleBytes,
                                          4 * sampleBytes * size_t(image.width)));
    }
    Imf::OutputFile file(path.c_str(), header);
    file.setFrameBuffer(frame);
    file.writePixels(image.height);
    return true;
}

}  // namespace

bool writeImage(const std::string& path, const Image& image, const ImageFileInfo& info,
                std::string& error) {
    const std::string ext = lowerExtension(path);
    if (image.width <= 0 || image.height <= 0) {
        error = "empty image";
        return false;
    }
    const size_t n = size_t(image.width) * size_t(image.height);
    if (ext == ".png") {
        std::vector<uint8_t> bytes(n * 3);
        for (size_t i = 0; i < n; ++i) {
            const float* px = &image.rgba[i * 4];
            for (size_t c = 0; c < 3; ++c) {
                const float over = px[c] + (1.0f - px[3]) * info.background[c];
                bytes[i * 3 + c] = uint8_t(linearToSrgb(over) * 255.0f + 0.5f);
            }
        }
        return writePng(path, image.width, image.height, 3, bytes.data(), error);
    }
    if (ext == ".exr") {
        try {
            return writeExr(path, image, info);
        } catch (const std::exception& e) {
            error = "cannot write image " + path + ": " + e.what();
            return false;
        }
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
