// Channel choice (once per frame) and colour processing (per shading point).
#include <algorithm>
#include <cmath>

#include "engine/Channels.h"
#include "engine/PtexParams.h"
#include "zento/TextureInterface.h"

bool prepareChannels(const PtexParams& p, int numChannels, int fileAlpha, ChannelSetup& s) {
    int& red = s.red;
    int& green = s.green;
    int& blue = s.blue;
    int& alpha = s.alpha;
    int& firstChannel = s.firstChannel;
    int& lastChannel = s.lastChannel;
    s.gammaActive = std::fabs(p.gamma - 1.0f) > 1e-6f;
    if (s.gammaActive) s.inverseGamma = 1.0f / p.gamma;

    const int n = numChannels;
    const int f = fileAlpha;
    red = p.rChannel;
    green = p.gChannel;
    blue = p.bChannel;
    alpha = p.aChannel;
    if (p.autoColor) {
        if (f == -1) {
            red = 0;
            green = n >= 3 ? 1 : 0;
            blue = n >= 3 ? 2 : 0;
        } else if (n == 4) {
            red = f <= 0 ? 1 : 0;
            green = f <= 1 ? 2 : 1;
            blue = f <= 2 ? 3 : 2;
        } else if (n == 2) {
            red = green = blue = 1 - f;
        } else if (n > 4) {
            red = 0;
            green = 1;
            blue = 2;
        }
        if (p.autoAlpha) alpha = f;
    }
    // Alpha must name a channel of the file, whoever chose it.
    if (alpha < 0 || alpha >= n) alpha = -1;
    if (n <= 0) return false;  // nothing to read
    auto clampChannel = [n](int c) { return c > n - 1 ? n - 1 : (c <= 0 ? 0 : c); };
    red = clampChannel(red);
    green = clampChannel(green);
    blue = clampChannel(blue);

    firstChannel = std::min({red, green, blue});
    lastChannel = std::max({red, green, blue});
    if (p.alphaType == 1 && alpha != -1) {
        firstChannel = std::min(firstChannel, alpha);
        lastChannel = std::max(lastChannel, alpha);
    }
    if (s.channelCount() > ChannelSetup::kMaxChannels) return false;

    if (p.alphaType == 0) {
        s.alphaRule = AlphaRule::kOne;
    } else if (p.alphaType == 1 && alpha != -1) {
        s.alphaRule = AlphaRule::kChannel;
    } else {
        s.alphaRule = AlphaRule::kIntensity;
    }
    return true;
}

namespace {

inline float toLinear(float v, int colorSpace, bool gammaActive, float inverseGamma) {
    if (colorSpace == 1) {
        if (gammaActive && v > 0.001f) return std::pow(v, inverseGamma);
    } else if (colorSpace == 2) {
        if (v < 0.04045f) return v / 12.92f;
        return std::pow((v + 0.055f) / 1.055f, 2.4f);
    }
    return v;
}

}  // namespace

ZUtils::AColor convertColor(const PtexParams& params, const ChannelSetup& s, float r, float g,
                            float b, float a, const ZUtils::ShadeContext& sc) {
    const int space = params.colorSpace;
    r = toLinear(r, space, s.gammaActive, s.inverseGamma);
    g = toLinear(g, space, s.gammaActive, s.inverseGamma);
    b = toLinear(b, space, s.gammaActive, s.inverseGamma);
    if (ZUtils::TextureInterface* gain = params.colorGain) {
        const ZUtils::AColor k = gain->getTexColor(sc);
        r *= k.r;
        g *= k.g;
        b *= k.b;
    }
    if (ZUtils::TextureInterface* offset = params.colorOffset) {
        const ZUtils::AColor o = offset->getTexColor(sc);
        r += o.r;
        g += o.g;
        b += o.b;
    }
    return ZUtils::AColor(r, g, b, a);
}
