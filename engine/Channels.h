// The channel set-up of a frame and the colour of a shading point.
//
// prepareChannels(params, numChannels, fileAlpha, setup): the file channels
//   that become red, green, blue and alpha, the channel range to filter and
//   the alpha rule, from the parameters and the opened file (its channel count
//   and alpha channel, -1 for none). False (the frame is then not ready) for a
//   file without channels or a range wider than kMaxChannels. Never writes the
//   parameters. Frame preparation only.
//
// mapChannels(setup, params, buffer, sc): the filtered channels (buffer[0] is
//   channel setup.firstChannel) as colour with alpha: the colour space
//   conversion (color_space, gamma), then gain (multiplied) and offset (added)
//   from the textures bound to color_gain and color_offset, asked with the
//   same context. Runs on all render threads; allocates and locks nothing.
#pragma once

#include "zento/AColor.h"

struct PtexParams;
struct ChannelSetup;

namespace ZUtils {
class ShadeContext;
}

// The alpha rule of a frame: the set-up and the filter's result buffer.
using AlphaFunction = float (*)(const ChannelSetup& setup, const float* buffer);

float alphaOne(const ChannelSetup& setup, const float* buffer);
float alphaFromChannel(const ChannelSetup& setup, const float* buffer);
float alphaFromIntensity(const ChannelSetup& setup, const float* buffer);

struct ChannelSetup {
    static constexpr int kMaxChannels = 1024;  // size of the filter result buffer

    int red = 0, green = 1, blue = 2;  // file channels of the colour components
    int alpha = -1;                    // file channel of alpha, -1 none
    int firstChannel = 0, lastChannel = 0;
    AlphaFunction alphaFunction = &alphaFromIntensity;
    bool gammaActive = false;
    float inverseGamma = 1.0f;

    int channelCount() const { return lastChannel - firstChannel + 1; }
};

bool prepareChannels(const PtexParams& params, int numChannels, int fileAlpha, ChannelSetup& setup);
ZUtils::AColor mapChannels(const ChannelSetup& setup, const PtexParams& params, const float* buffer,
                           const ZUtils::ShadeContext& sc);
