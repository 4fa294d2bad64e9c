// Channel choice (once per frame) and colour processing (per shading point).
#include <algorithm>
#include <cmath>

#include "Ptexture.h"
#include "engine/PtexBase.h"
#include "zento/TextureInterface.h"

float alphaOne(const PtexBase&, const float*) {
    return 1.0f;
}

float alphaFromChannel(const PtexBase& base, const float* buffer) {
    return buffer[base.alpha - base.firstChannel];
}

float alphaFromIntensity(const PtexBase& base, const float* buffer) {
    const float r = buffer[base.red - base.firstChannel];
    const float g = buffer[base.green - base.firstChannel];
    const float b = buffer[base.blue - base.firstChannel];
    return (0.3f * r + 0.59f * g) + 0.11f * b;
}

bool PtexBase::prepareChannels() {
    const PtexParams& p = params;
    gammaActive = std::fabs(p.gamma - 1.0f) > 1e-6f;
    if (gammaActive) inverseGamma = 1.0f / p.gamma;

    const int n = texture ? texture->numChannels() : 0;
    const int f = texture ? texture->alphaChannel() : -1;
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
    if (lastChannel - firstChannel + 1 > kMaxChannels) return false;

    if (p.alphaType == 0) {
        alphaFunction = &alphaOne;
    } else if (p.alphaType == 1 && alpha != -1) {
        alphaFunction = &alphaFromChannel;
    } else {
        alphaFunction = &alphaFromIntensity;
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

ZUtils::AColor PtexBase::mapChannels(const float* buffer, const ZUtils::ShadeContext& sc) const {
    const int space = params.colorSpace;
    float r = toLinear(buffer[red - firstChannel], space, gammaActive, inverseGamma);
    float g = toLinear(buffer[green - firstChannel], space, gammaActive, inverseGamma);
    float b = toLinear(buffer[blue - firstChannel], space, gammaActive, inverseGamma);
    const float a = alphaFunction(*this, buffer);
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
