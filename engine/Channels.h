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
//   Inline for the common case of linear data without gain or offset (once
//   per shading point, where a call costs as much as the picking itself);
//   convertColor does the rest.
#pragma once

#include "engine/PtexParams.h"
#include "zento/AColor.h"

struct ChannelSetup;

namespace ZUtils {
class ShadeContext;
}

// The alpha rule of a frame: 1, the alpha channel, or the colour's intensity.
enum class AlphaRule { kOne, kChannel, kIntensity };

struct ChannelSetup {
    static constexpr int kMaxChannels = 1024;  // size of the filter result buffer

    int red = 0, green = 1, blue = 2;  // file channels of the colour components
    int alpha = -1;                    // file channel of alpha, -1 none
    int firstChannel = 0, lastChannel = 0;
    AlphaRule alphaRule = AlphaRule::kIntensity;
    bool gammaActive = false;
    float inverseGamma = 1.0f;

    int channelCount() const { return lastChannel - firstChannel + 1; }

    // The alpha of a filtered buffer by the frame's rule.
    float alphaOf(const float* buffer) const {
        switch (alphaRule) {
            case AlphaRule::kOne:
                return 1.0f;
            case AlphaRule::kChannel:
                return buffer[alpha - firstChannel];
            default:
                return (0.3f * buffer[red - firstChannel] + 0.59f * buffer[green - firstChannel]) +
                       0.11f * buffer[blue - firstChannel];
        }
    }
};

bool prepareChannels(const PtexParams& params, int numChannels, int fileAlpha, ChannelSetup& setup);

// Colour space conversion, gain and offset of picked channels.
ZUtils::AColor convertColor(const PtexParams& params, const ChannelSetup& setup, float r, float g,
                            float b, float a, const ZUtils::ShadeContext& sc);

inline ZUtils::AColor mapChannels(const ChannelSetup& s, const PtexParams& params,
                                  const float* buffer, const ZUtils::ShadeContext& sc) {
    const float r = buffer[s.red - s.firstChannel];
    const float g = buffer[s.green - s.firstChannel];
    const float b = buffer[s.blue - s.firstChannel];
    const float a = s.alphaOf(buffer);
    // Linear data: no conversion (colour space 1 converts only with a gamma other than 1).
    const bool converts = params.colorSpace == 2 || (params.colorSpace == 1 && s.gammaActive);
    if (converts || params.colorGain || params.colorOffset)
        return convertColor(params, s, r, g, b, a, sc);
    return ZUtils::AColor(r, g, b, a);
}
