// The TexFacet parameter table (registration order matters: it is the order
// the host lists and the order of the bindings below).
#include "plugin/ParameterTable.h"

#include "engine/PtexParams.h"
#include "sequence/ImageFileList.h"
#include "zento/ParameterTypes.h"
#include "zento/TextureInterface.h"
#include "zento/ZentoParameterList.h"

using ZUtils::AColor;
using ZUtils::PARAM_COUNT_LIST;
using ZUtils::PARAM_COUNT_SINGLE;

void registerTexFacetParameters(ZUtils::ZentoParameterListDesc& d) {
    constexpr int one = PARAM_COUNT_SINGLE;
    d.addParamString("ptex_file", "", one, "The Ptex texture file", "fileAsset=(ptx);");
    d.addParamInt("use_image_sequence", 0, one, "", nullptr);
    d.addParamInt("image_number", 0, one, "", nullptr);
    d.addParamInt("image_offset", 0, one, "", nullptr);
    d.addParamInt("ifl_start_frame", 0, one, nullptr, nullptr);
    d.addParamFloat("ifl_playback_rate", 1.0f, one, nullptr, nullptr);
    d.addParamInt("ifl_end_condition", 0, one,
                  "Image file list (IFL) end condition: 0 - Loop; 1 - Ping Pong; 2 - Hold;",
                  nullptr);
    d.addParamInt("filter_type", 0, one, "Type of filter used for the texture", nullptr);
    d.addParamFloat("width", 1.0f, one, "width parameter used for filtering", nullptr);
    d.addParamFloat("blur", 0.0f, one, "blur parameter used for filtering", nullptr);
    d.addParamFloat("sharpness", 0.0f, one, "Sharpness parameter for the general bicubic filter",
                    nullptr);
    d.addParamBool("lerp", false, one, "Interpolation between mipmap levels", nullptr);
    d.addParamBool("reverse_vertices", false, one, "Reverses the order of vertices", nullptr);
    d.addParamInt("cache_size", 50, one, "The size of the texture cache(in MB)", nullptr);
    d.addParamInt("r_channel", 0, one,
                  "The index of the channel which will be used as a red channel.", nullptr);
    d.addParamInt("g_channel", 1, one,
                  "The index of the channel which will be used as a green channel.", nullptr);
    d.addParamInt("b_channel", 2, one,
                  "The index of the channel which will be used as a blue channel.", nullptr);
    d.addParamInt("a_channel", -1, one,
                  "The index of the channel which will be used as a alpha channel.", nullptr);
    d.addParamBool("auto_color", true, one, "Use automatic color channel selection.", nullptr);
    d.addParamBool("auto_alpha", true, one, "Use automatic alpha channel selection.", nullptr);
    d.addParamInt("alpha_type", -1, one, "Where to take the alpha from.", nullptr);
    d.addParamInt("color_space", 1, one, "0 - linear, 1 - gamma corrected, 2 - sRGB", nullptr);
    d.addParamFloat("gamma", 1.0f, one, nullptr, nullptr);
    d.addParam("vertices", ZUtils::TYPE_VECTOR, PARAM_COUNT_LIST, nullptr, nullptr);
    d.addParam("origFaces", ZUtils::TYPE_INT, PARAM_COUNT_LIST, nullptr, nullptr);
    d.addParam("faces", ZUtils::TYPE_INT, PARAM_COUNT_LIST, nullptr, nullptr);
    d.addParam("origFacesDegree", ZUtils::TYPE_INT, PARAM_COUNT_LIST, nullptr, nullptr);
    d.addOutputParamTexture("color", "The final texture color", nullptr);
    d.addParamTexture("color_gain", AColor(1.0f, 1.0f, 1.0f, 1.0f), one,
                      "A multiplier for the texture color", nullptr);
    d.addParamTexture("color_offset", AColor(0.0f, 0.0f, 0.0f, 0.0f), one,
                      "An additional offset for the texture color", nullptr);
}

void bindTexFacetParameters(ZUtils::ZentoParameterList* list, PtexParams& p,
                            ImageFileList& imageList, ZUtils::TextureInterface* self) {
    if (!list) return;
    list->setParamCache("ptex_file", &p.ptexFile);
    list->setParamCache("use_image_sequence", &p.useImageSequence);
    list->setParamCache("image_number", &p.imageNumber);
    list->setParamCache("image_offset", &p.imageOffset);
    list->setParamCache("filter_type", &p.filterType);
    list->setParamCache("width", &p.width);
    list->setParamCache("blur", &p.blur);
    list->setParamCache("sharpness", &p.sharpness);
    list->setParamCache("lerp", &p.lerp);
    list->setParamCache("reverse_vertices", &p.reverseVertices);
    list->setParamCache("cache_size", &p.cacheSize);
    list->setParamCache("ifl_start_frame", &imageList.startFrame);
    list->setParamCache("ifl_playback_rate", &imageList.playbackRate);
    list->setParamCache("ifl_end_condition", &imageList.endCondition);
    list->setParamCache("r_channel", &p.rChannel);
    list->setParamCache("g_channel", &p.gChannel);
    list->setParamCache("b_channel", &p.bChannel);
    list->setParamCache("a_channel", &p.aChannel);
    list->setParamCache("auto_color", &p.autoColor);
    list->setParamCache("auto_alpha", &p.autoAlpha);
    list->setParamCache("alpha_type", &p.alphaType);
    list->setParamCache("gamma", &p.gamma);
    list->setParamCache("color_space", &p.colorSpace);
    list->setParamCache("color_gain", &p.colorGain);
    list->setParamCache("color_offset", &p.colorOffset);
    list->setOutputParamCache("color", self);
}
