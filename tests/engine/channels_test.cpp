// Channel choice per frame and colour processing per shading point.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "Ptexture.h"
#include "engine/Channels.h"
#include "engine/PtexParams.h"
#include "engine_test_files.h"
#include "zento/ShadeContext.h"
#include "zento/TextureInterface.h"

using ZUtils::AColor;

namespace {

// A frame's channel set-up with the parameters and file it comes from.
struct Engine : ChannelSetup {
    PtexParams params;
    PtexTexture* texture = nullptr;

    // Opens a file as the frame's texture.
    bool open(const std::string& path) {
        Ptex::String error;
        texture = PtexTexture::open(path.c_str(), error);
        return texture != nullptr;
    }
    bool prepareChannels() {
        return ::prepareChannels(params, texture ? texture->numChannels() : 0,
                                 texture ? texture->alphaChannel() : -1, *this);
    }
    AColor mapChannels(const float* buffer, const ZUtils::ShadeContext& sc) const {
        return ::mapChannels(*this, params, buffer, sc);
    }
    ~Engine() {
        if (texture) texture->release();
    }
};

struct Layout {
    int channels, alphaChannel;
    int r, g, b, a;       // with the defaults
    int first, last;      // alpha_type -1
    int firstA1, lastA1;  // alpha_type 1
    AlphaRule ruleA1;
};

class ConstantTexture : public ZUtils::TextureInterface {
public:
    explicit ConstantTexture(AColor c) : color(c) {}
    ZUtils::InterfaceID getInterfaceID() const override { return ZUtils::EXT_TEXTURE; }
    PluginBase* getPlugin() override { return nullptr; }
    AColor getTexColor(const ZUtils::ShadeContext&) override {
        ++calls;
        return color;
    }
    void getTexColorBounds(AColor& l, AColor& u) override { l = u = color; }
    AColor color;
    int calls = 0;
};

}  // namespace

// The table of files by channel count, defaults on.
TEST(PrepareChannels, FilesByChannelCount) {
    const Layout layouts[] = {
        {1, -1, 0, 0, 0, -1, 0, 0, 0, 0, AlphaRule::kIntensity},
        {1, 0, 0, 1, 2, 0, 0, 0, 0, 0,
         AlphaRule::kChannel},  // rgb from the parameters, clamped to 0
        {2, 1, 0, 0, 0, 1, 0, 0, 0, 1, AlphaRule::kChannel},
        {2, -1, 0, 0, 0, -1, 0, 0, 0, 0, AlphaRule::kIntensity},
        {3, -1, 0, 1, 2, -1, 0, 2, 0, 2, AlphaRule::kIntensity},
        {3, 2, 0, 1, 2, 2, 0, 2, 0, 2, AlphaRule::kChannel},
        {4, 3, 0, 1, 2, 3, 0, 2, 0, 3, AlphaRule::kChannel},
        {4, 0, 1, 2, 3, 0, 1, 3, 0, 3, AlphaRule::kChannel},
        {5, 4, 0, 1, 2, 4, 0, 2, 0, 4, AlphaRule::kChannel},
        {6, 1, 0, 1, 2, 1, 0, 2, 0, 2, AlphaRule::kChannel},
    };
    for (const Layout& l : layouts) {
        const std::string name =
            "ch" + std::to_string(l.channels) + "_a" + std::to_string(l.alphaChannel) + ".ptx";
        const std::string path = writeTestTexture(name, l.channels, l.alphaChannel);
        ASSERT_FALSE(path.empty()) << name;
        Engine e;
        ASSERT_TRUE(e.open(path)) << name;
        ASSERT_TRUE(e.prepareChannels()) << name;
        const int r = l.channels == 1 && l.alphaChannel == 0 ? 0 : l.r;  // clamped
        const int g = l.channels == 1 && l.alphaChannel == 0 ? 0 : l.g;
        const int b = l.channels == 1 && l.alphaChannel == 0 ? 0 : l.b;
        EXPECT_EQ(e.red, r) << name;
        EXPECT_EQ(e.green, g) << name;
        EXPECT_EQ(e.blue, b) << name;
        EXPECT_EQ(e.alpha, l.a) << name;
        EXPECT_EQ(e.firstChannel, l.first) << name;
        EXPECT_EQ(e.lastChannel, l.last) << name;
        EXPECT_EQ(e.alphaRule, AlphaRule::kIntensity) << name;
        e.params.alphaType = 1;
        ASSERT_TRUE(e.prepareChannels());
        EXPECT_EQ(e.firstChannel, l.firstA1) << name;
        EXPECT_EQ(e.lastChannel, l.lastA1) << name;
        EXPECT_EQ(e.alphaRule, l.ruleA1) << name;
        e.params.alphaType = 0;
        ASSERT_TRUE(e.prepareChannels());
        EXPECT_EQ(e.alphaRule, AlphaRule::kOne) << name;
        EXPECT_EQ(e.firstChannel, l.first) << name;
        EXPECT_EQ(e.lastChannel, l.last) << name;
    }
}

TEST(PrepareChannels, ParametersAreNeverRewritten) {
    const std::string four = writeTestTexture("keep4.ptx", 4, 0);
    const std::string three = writeTestTexture("keep3.ptx", 3, -1);
    Engine e;
    ASSERT_TRUE(e.open(four));
    ASSERT_TRUE(e.prepareChannels());
    EXPECT_EQ(e.red, 1);
    EXPECT_EQ(e.params.rChannel, 0);
    EXPECT_EQ(e.params.aChannel, -1);
    e.texture->release();
    e.texture = nullptr;
    // A later frame with another layout starts from the parameters again.
    ASSERT_TRUE(e.open(three));
    e.params.autoColor = 0;
    ASSERT_TRUE(e.prepareChannels());
    EXPECT_EQ(e.red, 0);
    EXPECT_EQ(e.green, 1);
    EXPECT_EQ(e.blue, 2);
}

TEST(PrepareChannels, ManualChannelsAreClamped) {
    const std::string path = writeTestTexture("manual3.ptx", 3, -1);
    Engine e;
    ASSERT_TRUE(e.open(path));
    e.params.autoColor = 0;
    e.params.rChannel = 9;
    e.params.gChannel = -4;
    ASSERT_TRUE(e.prepareChannels());
    EXPECT_EQ(e.red, 2);
    EXPECT_EQ(e.green, 0);
}

TEST(PrepareChannels, AlphaOutsideTheFileIsNone) {
    const std::string path = writeTestTexture("alpha4.ptx", 4, 3);
    Engine e;
    ASSERT_TRUE(e.open(path));
    e.params.autoAlpha = 0;
    e.params.aChannel = 7;
    e.params.alphaType = 1;
    ASSERT_TRUE(e.prepareChannels());
    EXPECT_EQ(e.alpha, -1);
    EXPECT_EQ(e.alphaRule, AlphaRule::kIntensity);
    // Also with auto_color off: an out-of-range alpha never widens the range.
    e.params.autoColor = 0;
    ASSERT_TRUE(e.prepareChannels());
    EXPECT_EQ(e.alpha, -1);
    EXPECT_EQ(e.lastChannel, 2);
    // In range and auto_color off: kept, auto_alpha ignored.
    e.params.autoAlpha = 1;
    e.params.aChannel = 1;
    ASSERT_TRUE(e.prepareChannels());
    EXPECT_EQ(e.alpha, 1);
}

TEST(PrepareChannels, NoTextureMeansNoFrame) {
    Engine e;
    EXPECT_FALSE(e.prepareChannels());
}

TEST(PrepareChannels, GammaFlagAndReciprocal) {
    Engine e;
    e.params.gamma = 2.0f;
    e.prepareChannels();
    EXPECT_TRUE(e.gammaActive);
    EXPECT_EQ(e.inverseGamma, 0.5f);
    e.params.gamma = 1.0000005f;
    e.prepareChannels();
    EXPECT_FALSE(e.gammaActive);
}

namespace {

// An engine with a fixed 3-channel set-up for mapChannels.
Engine& rgbEngine(Engine& e, int colorSpace, float gamma, int alphaType) {
    e.params.colorSpace = colorSpace;
    e.params.gamma = gamma;
    e.gammaActive = std::fabs(gamma - 1.0f) > 1e-6f;
    e.inverseGamma = 1.0f / gamma;
    e.red = 0;
    e.green = 1;
    e.blue = 2;
    e.alpha = alphaType == 1 ? 3 : -1;
    e.firstChannel = 0;
    e.lastChannel = alphaType == 1 ? 3 : 2;
    e.alphaRule = alphaType == 0 ? AlphaRule::kOne
                                 : (alphaType == 1 ? AlphaRule::kChannel : AlphaRule::kIntensity);
    return e;
}

}  // namespace

TEST(MapChannels, DefaultsPassValuesThrough) {
    Engine e;
    rgbEngine(e, 1, 1.0f, -1);
    const float buffer[3] = {0.2f, 0.4f, 0.6f};
    const AColor c = e.mapChannels(buffer, ZUtils::ShadeContext());
    EXPECT_EQ(c.r, 0.2f);
    EXPECT_EQ(c.g, 0.4f);
    EXPECT_EQ(c.b, 0.6f);
    EXPECT_EQ(c.a, (0.3f * 0.2f + 0.59f * 0.4f) + 0.11f * 0.6f);
}

TEST(MapChannels, GammaCorrected) {
    Engine e;
    rgbEngine(e, 1, 2.0f, 0);
    const float buffer[3] = {0.25f, 0.0005f, 0.001f};
    const AColor c = e.mapChannels(buffer, ZUtils::ShadeContext());
    EXPECT_FLOAT_EQ(c.r, 0.5f);
    EXPECT_EQ(c.g, 0.0005f);
    EXPECT_EQ(c.b, 0.001f);
    EXPECT_EQ(c.a, 1.0f);
}

TEST(MapChannels, SrgbToLinear) {
    Engine e;
    rgbEngine(e, 2, 1.0f, 0);
    const float buffer[3] = {0.04f, 0.5f, 1.0f};
    const AColor c = e.mapChannels(buffer, ZUtils::ShadeContext());
    EXPECT_NEAR(c.r, 0.0030960f, 1e-6);
    EXPECT_NEAR(c.g, 0.21404f, 1e-5);
    EXPECT_FLOAT_EQ(c.b, 1.0f);
    const float negative[3] = {-0.5f, 0.0f, 0.0f};
    EXPECT_FLOAT_EQ(e.mapChannels(negative, ZUtils::ShadeContext()).r, -0.5f / 12.92f);
}

TEST(MapChannels, AlphaIsTakenBeforeConversion) {
    Engine e;
    rgbEngine(e, 2, 1.0f, 1);
    const float buffer[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    const AColor c = e.mapChannels(buffer, ZUtils::ShadeContext());
    EXPECT_EQ(c.a, 0.5f);
    EXPECT_NEAR(c.r, 0.21404f, 1e-5);
}

TEST(MapChannels, GreyIntensityIsTheValue) {
    Engine e;
    rgbEngine(e, 1, 1.0f, -1);
    e.green = e.blue = 0;
    e.lastChannel = 0;
    const float buffer[1] = {0.5f};
    const AColor c = e.mapChannels(buffer, ZUtils::ShadeContext());
    EXPECT_EQ(c, AColor(0.5f, 0.5f, 0.5f, 0.5f));
}

TEST(MapChannels, GainThenOffsetWithTheSameContext) {
    Engine e;
    rgbEngine(e, 0, 1.0f, 0);
    ConstantTexture gain(AColor(2, 2, 2, 0)), offset(AColor(0.1f, 0.1f, 0.1f, 7));
    e.params.colorGain = &gain;
    e.params.colorOffset = &offset;
    const float buffer[3] = {0.2f, 0.3f, 0.4f};
    const AColor c = e.mapChannels(buffer, ZUtils::ShadeContext());
    EXPECT_FLOAT_EQ(c.r, 0.5f);
    EXPECT_FLOAT_EQ(c.g, 0.7f);
    EXPECT_FLOAT_EQ(c.b, 0.9f);
    EXPECT_EQ(c.a, 1.0f);
    EXPECT_EQ(gain.calls, 1);
    EXPECT_EQ(offset.calls, 1);
}
