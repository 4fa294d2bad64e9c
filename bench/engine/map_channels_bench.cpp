// mapChannels per shading point for the colour spaces and alpha rules, with
// and without gain and offset textures.
#include <benchmark/benchmark.h>

#include "engine/Channels.h"
#include "engine/PtexParams.h"
#include "zento/ShadeContext.h"
#include "zento/TextureInterface.h"

namespace {

class Constant : public ZUtils::TextureInterface {
public:
    ZUtils::InterfaceID getInterfaceID() const override { return ZUtils::EXT_TEXTURE; }
    PluginBase* getPlugin() override { return nullptr; }
    ZUtils::AColor getTexColor(const ZUtils::ShadeContext&) override {
        return ZUtils::AColor(0.5f, 0.5f, 0.5f, 1);
    }
    void getTexColorBounds(ZUtils::AColor& l, ZUtils::AColor& u) override {
        l = u = ZUtils::AColor();
    }
};

void mapChannels(benchmark::State& state) {
    const int space = static_cast<int>(state.range(0));
    const bool textures = state.range(1) != 0;
    PtexParams params;
    ChannelSetup e;
    Constant gain, offset;
    params.colorSpace = space;
    params.gamma = 2.2f;
    params.alphaType = 1;
    params.colorGain = textures ? &gain : nullptr;
    params.colorOffset = textures ? &offset : nullptr;
    e.gammaActive = true;
    e.inverseGamma = 1.0f / 2.2f;
    e.red = 0;
    e.green = 1;
    e.blue = 2;
    e.alpha = 3;
    e.firstChannel = 0;
    e.lastChannel = 3;
    e.alphaRule = AlphaRule::kChannel;
    float buffer[4] = {0.2f, 0.4f, 0.6f, 0.8f};
    ZUtils::ShadeContext sc;
    for (auto _ : state) {
        benchmark::DoNotOptimize(buffer);
        ZUtils::AColor c = ::mapChannels(e, params, buffer, sc);
        benchmark::DoNotOptimize(c);
        buffer[0] += 1e-7f;
    }
    state.SetLabel(space == 0 ? "linear" : (space == 1 ? "gamma" : "sRGB"));
}

}  // namespace

BENCHMARK(mapChannels)->ArgsProduct({{0, 1, 2}, {0, 1}});

BENCHMARK_MAIN();
