// ConstantTexture: a host texture of one colour, for texture parameters
// ("color_gain", "color_offset") given as a colour in the scene. It answers
// every request with its colour; it belongs to no plugin instance.
#pragma once

#include "zento/TextureInterface.h"

class ConstantTexture : public ZUtils::TextureInterface {
public:
    explicit ConstantTexture(const ZUtils::AColor& colour) : colour_(colour) {}
    ZUtils::AColor getTexColor(const ZUtils::ShadeContext&) override { return colour_; }
    void getTexColorBounds(ZUtils::AColor& lower, ZUtils::AColor& upper) override {
        lower = colour_;
        upper = colour_;
    }
    PluginBase* getPlugin() override { return nullptr; }
    void release() override {}

private:
    ZUtils::AColor colour_;
};
