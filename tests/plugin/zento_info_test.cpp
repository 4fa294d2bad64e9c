// zento-info output: what a host sees of the plugin library.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct InfoRun {
    int status = -1;
    std::vector<std::string> lines;
};

InfoRun runInfo(const std::string& args) {
    InfoRun run;
    const std::string command = std::string(ZENTO_INFO_PATH) + " " + args + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) run.lines.push_back(line);
    return run;
}

bool hasLine(const InfoRun& run, const std::string& line) {
    for (const auto& l : run.lines) {
        if (l == line) return true;
    }
    return false;
}

const char* const kOrder[30] = {
    "ptex_file",   "use_image_sequence", "image_number", "image_offset", "ifl_start_frame",
    "ifl_playback_rate", "ifl_end_condition", "filter_type", "width", "blur",
    "sharpness",   "lerp",      "reverse_vertices", "cache_size", "r_channel",
    "g_channel",   "b_channel", "a_channel", "auto_color", "auto_alpha",
    "alpha_type",  "color_space", "gamma",   "vertices",   "origFaces",
    "faces",       "origFacesDegree", "color", "color_gain", "color_offset",
};

}  // namespace

TEST(ZentoInfo, PrintsLibraryPluginAndInterfaces) {
    const InfoRun run = runInfo(ZENTO_PLUGIN_PATH);
    ASSERT_EQ(run.status, 0);
    EXPECT_TRUE(hasLine(run, "Library: TexFacet"));
    EXPECT_TRUE(hasLine(run, "Description: Ptex texture for Zento"));
    EXPECT_TRUE(hasLine(run, "Plugin: TexFacet"));
    EXPECT_TRUE(hasLine(run, "Plugin id: 20100607000"));
    EXPECT_TRUE(hasLine(run, "  0x77780002 EXT_TEXTURE"));
    EXPECT_TRUE(hasLine(run, "  0x7776FFFF EXT_ZENTO_PLUGIN"));
    EXPECT_TRUE(hasLine(run, "Parameters (30):"));
}

TEST(ZentoInfo, PrintsTheParameterTableInOrder) {
    const InfoRun run = runInfo(ZENTO_PLUGIN_PATH);
    ASSERT_EQ(run.status, 0);
    std::vector<std::string> names;
    for (const auto& l : run.lines) {
        if (l.rfind("  ", 0) != 0 || l.find(". ") == std::string::npos || l.find("type=") == std::string::npos) {
            continue;
        }
        const size_t start = l.find(". ") + 2;
        names.push_back(l.substr(start, l.find("  ", start) - start));
    }
    ASSERT_EQ(names.size(), 30u);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(names[static_cast<size_t>(i)], kOrder[i]) << "entry " << i + 1;
    EXPECT_TRUE(hasLine(run, "  1. ptex_file  type=string  default=\"\"  description=\"The Ptex texture file\"  "
                             "hints=\"fileAsset=(ptx);\""));
    EXPECT_TRUE(hasLine(run, "  2. use_image_sequence  type=int  default=0  description=\"\"  hints=(none)"));
    EXPECT_TRUE(hasLine(run, "  6. ifl_playback_rate  type=float  default=1.0  description=(none)  hints=(none)"));
    EXPECT_TRUE(hasLine(run, "  18. a_channel  type=int  default=-1  description=\"The index of the channel which "
                             "will be used as a alpha channel.\"  hints=(none)"));
    EXPECT_TRUE(hasLine(run, "  19. auto_color  type=bool  default=true  description=\"Use automatic color channel "
                             "selection.\"  hints=(none)"));
    EXPECT_TRUE(hasLine(run, "  24. vertices  type=list of vector (type code 4)  default=-  description=(none)  "
                             "hints=(none)"));
    EXPECT_TRUE(hasLine(run, "  28. color  type=output texture  default=-  description=\"The final texture color\"  "
                             "hints=(none)"));
    EXPECT_TRUE(hasLine(run, "  29. color_gain  type=texture  default=(1.0, 1.0, 1.0, 1.0)  description=\"A "
                             "multiplier for the texture color\"  hints=(none)"));
}

TEST(ZentoInfo, DefaultPathFindsTheBuiltLibrary) {
    const InfoRun run = runInfo("");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(hasLine(run, "Library: TexFacet"));
}

TEST(ZentoInfo, MissingLibraryFails) {
    const InfoRun run = runInfo("/nonexistent/libzento_TexFacet.so");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.lines.empty());
}
