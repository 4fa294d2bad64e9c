// The TexFacet parameters: one table (kTexFacetParams) from which the plugin
// registers them with the host and binds them, and from which the members of
// an instance (PtexParams) take their first values.
//
// kTexFacetParams lists the 30 parameters in registration order, the order the
// host shows them. Each row gives the name, how it is registered (kind; for
// the geometry lists the element type), the registered default, the
// description and interface hints (null means none; "" is an empty text), its
// place in the binding order (1..25; 26 is the output "color", bound to the
// instance's texture interface; 0: not bound) and the member that receives the
// value. The four geometry lists are not bound: the mesh builder reads them
// each frame.
//
// PtexParams: one member per bound input parameter. A new PtexParams holds
// every number at its registered default (bools as 0 or 1), ptex_file without
// text and no gain or offset texture, so an instance without a parameter list,
// or before its first caching, reads sound values. The caching at render begin
// overwrites them; the engine only reads them. Bool parameters are 32-bit ints:
// any non-zero value counts as true.
#pragma once

#include <variant>

#include "zento/CharString.h"
#include "zento/ParameterTypes.h"

namespace ZUtils {
class TextureInterface;
}

struct PtexParams {
    PtexParams();

    ZUtils::CharString ptexFile;
    int useImageSequence;
    int imageNumber;
    int imageOffset;
    int iflStartFrame;
    float iflPlaybackRate;
    int iflEndCondition;
    int filterType;
    float width;
    float blur;
    float sharpness;
    int lerp;
    int reverseVertices;
    int cacheSize;  // MB
    int rChannel;
    int gChannel;
    int bChannel;
    int aChannel;
    int autoColor;
    int autoAlpha;
    int alphaType;
    int colorSpace;
    float gamma;
    ZUtils::TextureInterface* colorGain;    // null: no texture connected
    ZUtils::TextureInterface* colorOffset;  // null: no texture connected
};

using ParamMember =
    std::variant<std::monostate, ZUtils::CharString PtexParams::*, int PtexParams::*,
                 float PtexParams::*, ZUtils::TextureInterface * PtexParams::*>;

struct ParamRow {
    const char* name;
    ZUtils::ParamKind kind;
    ZUtils::ZentoParameterType listType;  // Generic rows: the element type
    float value;                          // default of Int, Float, Bool; Texture: every component
    const char* text;                     // default of String
    const char* description;
    const char* hints;
    int binding;
    ParamMember member;  // std::monostate: not bound to a member
};

namespace texfacet_params {
using K = ZUtils::ParamKind;
using P = PtexParams;

constexpr ParamRow value(const char* name, K kind, float value, const char* description,
                         int binding, ParamMember member) {
    return {name, kind, ZUtils::TYPE_INT, value, "", description, nullptr, binding, member};
}
constexpr ParamRow text(const char* name, const char* value, const char* description,
                        const char* hints, int binding, ParamMember member) {
    return {name, K::String, ZUtils::TYPE_STRING, 0, value, description, hints, binding, member};
}
constexpr ParamRow list(const char* name, ZUtils::ZentoParameterType type) {
    return {name, K::Generic, type, 0, "", nullptr, nullptr, 0, {}};
}
constexpr ParamRow output(const char* name, const char* description, int binding) {
    return {
        name, K::OutputTexture, ZUtils::TYPE_OUTPUT_TEXTURE, 0, "", description, nullptr, binding,
        {}};
}

// In registration order.
inline constexpr ParamRow kRows[] = {
    text("ptex_file", "", "The Ptex texture file", "fileAsset=(ptx);", 1, &P::ptexFile),
    value("use_image_sequence", K::Int, 0, "", 2, &P::useImageSequence),
    value("image_number", K::Int, 0, "", 3, &P::imageNumber),
    value("image_offset", K::Int, 0, "", 4, &P::imageOffset),
    value("ifl_start_frame", K::Int, 0, nullptr, 12, &P::iflStartFrame),
    value("ifl_playback_rate", K::Float, 1, nullptr, 13, &P::iflPlaybackRate),
    value("ifl_end_condition", K::Int, 0,
          "Image file list (IFL) end condition: 0 - Loop; 1 - Ping Pong; 2 - Hold;", 14,
          &P::iflEndCondition),
    value("filter_type", K::Int, 0, "Type of filter used for the texture", 5, &P::filterType),
    value("width", K::Float, 1, "width parameter used for filtering", 6, &P::width),
    value("blur", K::Float, 0, "blur parameter used for filtering", 7, &P::blur),
    value("sharpness", K::Float, 0, "Sharpness parameter for the general bicubic filter", 8,
          &P::sharpness),
    value("lerp", K::Bool, 0, "Interpolation between mipmap levels", 9, &P::lerp),
    value("reverse_vertices", K::Bool, 0, "Reverses the order of vertices", 10,
          &P::reverseVertices),
    value("cache_size", K::Int, 50, "The size of the texture cache(in MB)", 11, &P::cacheSize),
    value("r_channel", K::Int, 0, "The index of the channel which will be used as a red channel.",
          15, &P::rChannel),
    value("g_channel", K::Int, 1, "The index of the channel which will be used as a green channel.",
          16, &P::gChannel),
    value("b_channel", K::Int, 2, "The index of the channel which will be used as a blue channel.",
          17, &P::bChannel),
    value("a_channel", K::Int, -1,
          "The index of the channel which will be used as a alpha channel.", 18, &P::aChannel),
    value("auto_color", K::Bool, 1, "Use automatic color channel selection.", 19, &P::autoColor),
    value("auto_alpha", K::Bool, 1, "Use automatic alpha channel selection.", 20, &P::autoAlpha),
    value("alpha_type", K::Int, -1, "Where to take the alpha from.", 21, &P::alphaType),
    value("color_space", K::Int, 1, "0 - linear, 1 - gamma corrected, 2 - sRGB", 23,
          &P::colorSpace),
    value("gamma", K::Float, 1, nullptr, 22, &P::gamma),
    list("vertices", ZUtils::TYPE_VECTOR),
    list("origFaces", ZUtils::TYPE_INT),
    list("faces", ZUtils::TYPE_INT),
    list("origFacesDegree", ZUtils::TYPE_INT),
    output("color", "The final texture color", 26),
    value("color_gain", K::Texture, 1, "A multiplier for the texture color", 24, &P::colorGain),
    value("color_offset", K::Texture, 0, "An additional offset for the texture color", 25,
          &P::colorOffset),
};
}  // namespace texfacet_params

inline constexpr const auto& kTexFacetParams = texfacet_params::kRows;

// Bound members and the output "color".
inline constexpr int kTexFacetBindingCount = [] {
    int n = 0;
    for (const ParamRow& row : kTexFacetParams) n += row.binding > 0 ? 1 : 0;
    return n;
}();
