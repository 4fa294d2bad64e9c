// ShadingReport: the block zento-render --stats prints after each frame, from
// the texture instances' shading statistics (EXT_SHADING_STATS).
//
// shadingReport(frame, textures, perTexture) -> the block as text: a title
// line, a table with one row "total" (the counts of every texture added up;
// faces touched then counts each texture's faces apart) and, with
// perTexture, one row per texture named by its `name`, then the Ptex cache's
// figures (files opened, bytes read, peak memory; the cache is shared, so
// they are given once, from the first texture that answered). Columns are
// right-aligned to their widest entry. A texture without the interface
// shows "(no statistics)" in its row and adds nothing.
#pragma once

#include <string>
#include <vector>

#include "zento/ShadingStatsInterface.h"

struct TextureStats {
    std::string name;
    bool answered = false;  // the instance offered the interface
    ZUtils::ShadingStats stats;
};

std::string shadingReport(int frame, const std::vector<TextureStats>& textures, bool perTexture);
