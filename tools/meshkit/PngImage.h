// PngImage: 8-bit PNG reading and writing through libpng.
//
// readPng loads any PNG (palette, grey, 16-bit and alpha are expanded) as RGBA,
// 8 bits per channel, rows top to bottom. writePng stores RGBA (or RGB when
// channels is 3) 8-bit rows top to bottom. Both return false with a reason,
// never throw and never abort on a damaged file.
//
// srgbToLinear / linearToSrgb: the sRGB transfer curve on [0, 1] values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PngImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // width * height * 4
};

bool readPng(const std::string& path, PngImage& image, std::string& error);
bool writePng(const std::string& path, int width, int height, int channels, const uint8_t* pixels,
              std::string& error);

float srgbToLinear(float v);
float linearToSrgb(float v);
