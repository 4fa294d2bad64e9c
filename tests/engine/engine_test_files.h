// Small Ptex files for engine tests, written with our writer into a temporary folder.
#pragma once

#include <string>

// A one-face quad file of 8x8 texels; channel c of every texel holds
// (c + 1) / 10, alpha channel `alphaChannel` (-1 none). Returns the path, or ""
// when writing failed.
std::string writeTestTexture(const std::string& name, int channels, int alphaChannel,
                             bool mipmaps = true);

// The temporary folder of this test run (created on first use).
const std::string& testFileDir();
