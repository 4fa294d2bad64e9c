// The TexFacet parameter table and its binding to instance members.
//
// registerTexFacetParameters(desc): the 30 registrations, in table order:
//   1 ptex_file (string ""), 2-4 use_image_sequence / image_number /
//   image_offset (int 0, description ""), 5 ifl_start_frame (int 0),
//   6 ifl_playback_rate (float 1), 7 ifl_end_condition (int 0), 8 filter_type,
//   9 width, 10 blur, 11 sharpness, 12 lerp, 13 reverse_vertices,
//   14 cache_size (50), 15-18 r/g/b/a_channel (0, 1, 2, -1), 19 auto_color,
//   20 auto_alpha, 21 alpha_type (-1), 22 color_space (1), 23 gamma (1),
//   24 vertices (list, vector type), 25-27 origFaces / faces / origFacesDegree
//   (lists, int type), 28 color (output texture), 29 color_gain (texture,
//   (1,1,1,1)), 30 color_offset (texture, (0,0,0,0)).
// Single values use count -1, lists count 0. Descriptions and hints are as
// the table in the .cpp gives them; null means none, "" is an empty text.
//
// TexFacetParamListDesc: a parameter list description filled with that table
// while it is constructed (the library's static description).
//
// bindTexFacetParameters(list, params, imageList, self): the 26 bindings in
// order (25 members, then the output "color" to the instance's own texture
// interface). Does nothing for a null list. The geometry lists are not bound;
// the mesh builder reads them each frame.
#pragma once

#include "zento/ZentoParameterListDesc.h"

namespace ZUtils {
class ZentoParameterList;
class TextureInterface;
}  // namespace ZUtils

struct PtexParams;
class ImageFileList;

inline constexpr int TEXFACET_PARAM_COUNT = 30;
inline constexpr int TEXFACET_BINDING_COUNT = 26;

void registerTexFacetParameters(ZUtils::ZentoParameterListDesc& desc);

class TexFacetParamListDesc : public ZUtils::ZentoParameterListDesc {
public:
    TexFacetParamListDesc() { registerTexFacetParameters(*this); }
};

void bindTexFacetParameters(ZUtils::ZentoParameterList* list, PtexParams& params,
                            ImageFileList& imageList, ZUtils::TextureInterface* self);
