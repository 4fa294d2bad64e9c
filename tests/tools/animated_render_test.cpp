// Animated textures through the loaded plugin: zento-render over --frames with
// a numbered sequence and with an image file list; the plugin's verbose
// "PTex file \"...\" loaded." messages tell which file each frame opened.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PtexMake.h"

namespace fs = std::filesystem;

namespace {

struct Scratch {
    fs::path dir = fs::temp_directory_path() / ("animated-render-" + std::to_string(::getpid()));
    Scratch() { fs::create_directories(dir); }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string file(const std::string& name) const { return (dir / name).string(); }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(file(name)) << text;
    }
};

// One quad facing +z; each file of the animation gets another pattern.
void makeQuadPtex(const std::string& path, PatternKind kind) {
    PolyMesh m;
    m.positions = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    m.counts = {4};
    m.indices = {0, 1, 2, 3};
    PtexMakeOptions opt;
    opt.pattern.kind = kind;
    opt.resU = opt.resV = 8;
    std::string err;
    ASSERT_TRUE(makePtex(m, opt, path, err)) << err;
}

// Renders the scene over the frames and returns, in order, the file names
// (without folder) of the "loaded" messages.
std::vector<std::string> loadedFiles(const Scratch& s, const std::string& texture,
                                     const std::string& frames) {
    s.write("scene.json", R"({"image": {"width": 8, "height": 8, "spp": 1},
 "objects": [{"mesh": "a.ptx", "texture": )" +
                              texture + "}]}");
    const std::string cmd = std::string(ZENTO_RENDER_EXE) + " --plugin " + ZENTO_PLUGIN_FILE + " " +
                            s.file("scene.json") + " -o " + s.file("f#.png") + " --frames " +
                            frames + " --threads 2 -v --no-progress 2>&1";
    std::vector<std::string> files;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return files;
    const std::string key = "PTex file \"";
    char buf[2048];
    std::string all;
    while (std::fgets(buf, sizeof buf, p)) {
        const std::string line = buf;
        all += line;
        const size_t at = line.find(key);
        if (line.rfind("verbose: ", 0) != 0 || at == std::string::npos) continue;
        const size_t end = line.find("\" loaded.", at + key.size());
        if (end != std::string::npos)
            files.push_back(
                fs::path(line.substr(at + key.size(), end - at - key.size())).filename());
    }
    const int status = ::pclose(p);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << all;
    return files;
}

class AnimatedRender : public ::testing::Test {
protected:
    Scratch s;
    void SetUp() override {
        makeQuadPtex(s.file("a.ptx"), PatternKind::Faces);
        makeQuadPtex(s.file("b.ptx"), PatternKind::Checker);
        makeQuadPtex(s.file("c.ptx"), PatternKind::Gradient);
    }
};

using Files = std::vector<std::string>;

TEST_F(AnimatedRender, NumberedSequenceFollowsTheFrameNumber) {
    fs::copy_file(s.file("a.ptx"), s.file("wall_0002.ptx"));
    fs::copy_file(s.file("b.ptx"), s.file("wall_0003.ptx"));
    fs::copy_file(s.file("c.ptx"), s.file("wall_4.ptx"));  // the unpadded form is found too
    const std::string tex =
        R"({"ptex_file": "wall_0001.ptx", "use_image_sequence": 1, "image_number": "frame"})";
    EXPECT_EQ(loadedFiles(s, tex, "2..4"), (Files{"wall_0002.ptx", "wall_0003.ptx", "wall_4.ptx"}));
    // image_offset shifts the number: frame 1 shows wall_0003.
    const std::string shifted =
        R"({"ptex_file": "wall_0001.ptx", "use_image_sequence": 1, "image_number": "frame", "image_offset": 2})";
    EXPECT_EQ(loadedFiles(s, shifted, "1..1"), (Files{"wall_0003.ptx"}));
    // Each frame's image shows its own file: the three frames differ.
    std::ifstream f2(s.file("f2.png"), std::ios::binary), f3(s.file("f3.png"), std::ios::binary);
    const std::string i2((std::istreambuf_iterator<char>(f2)), {}),
        i3((std::istreambuf_iterator<char>(f3)), {});
    EXPECT_FALSE(i2.empty());
    EXPECT_NE(i2, i3);
}

TEST_F(AnimatedRender, ImageFileListPicksTheEntryOfEachFrame) {
    // Entries a a b c: a repeat count, a comment, a nested list with relative entries.
    s.write("sub.ifl", "b.ptx\r\nc.ptx\n");
    s.write("anim.ifl", "; the test animation\na.ptx 2\n\nsub.ifl\n");
    const std::string loop = R"({"ptex_file": "anim.ifl", "ifl_start_frame": 1})";
    EXPECT_EQ(loadedFiles(s, loop, "1..5"), (Files{"a.ptx", "a.ptx", "b.ptx", "c.ptx", "a.ptx"}));
    // Ping Pong runs back from the end, showing the last entry twice.
    const std::string pingPong =
        R"({"ptex_file": "anim.ifl", "ifl_start_frame": 1, "ifl_end_condition": 1})";
    EXPECT_EQ(loadedFiles(s, pingPong, "3..7"),
              (Files{"b.ptx", "c.ptx", "c.ptx", "b.ptx", "a.ptx"}));
    // Hold keeps the first entry before the start and the last one after the end.
    const std::string hold =
        R"({"ptex_file": "anim.ifl", "ifl_start_frame": 2, "ifl_end_condition": 2})";
    EXPECT_EQ(loadedFiles(s, hold, "0..1"), (Files{"a.ptx", "a.ptx"}));
    EXPECT_EQ(loadedFiles(s, hold, "5..6"), (Files{"c.ptx", "c.ptx"}));
    // Half speed: two frames per entry.
    const std::string half = R"({"ptex_file": "anim.ifl", "ifl_playback_rate": 0.5})";
    EXPECT_EQ(loadedFiles(s, half, "4..7"), (Files{"b.ptx", "b.ptx", "c.ptx", "c.ptx"}));
}

}  // namespace
