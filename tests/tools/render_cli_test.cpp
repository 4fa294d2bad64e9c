// The zento-render program: help, messages, errors and the images it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>

#include "PngImage.h"
#include "render_test_util.h"

using namespace rendertest;

namespace {

int run(const std::string& args, std::string& output) {
    const std::string cmd = std::string(ZENTO_RENDER_EXE) + " --plugin " + ZENTO_PLUGIN_FILE + " " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return -1;
    char buf[512];
    output.clear();
    while (std::fgets(buf, sizeof buf, p)) output += buf;
    const int status = ::pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RenderCli, HelpAndParameterList) {
    std::string out;
    EXPECT_EQ(run("--help", out), 0);
    EXPECT_NE(out.find("--frames"), std::string::npos);
    EXPECT_NE(out.find("--set"), std::string::npos);
    EXPECT_EQ(run("--list-params", out), 0);
    EXPECT_NE(out.find("ptex_file (string"), std::string::npos) << out;
    EXPECT_NE(out.find("color_gain (texture"), std::string::npos) << out;
}

TEST(RenderCli, RendersAnObjWithATextureAndAPtxAlone) {
    TempDir dir;
    writeObj(dir.file("m.obj"), quadAndPentagon());
    makeFacesPtex(quadAndPentagon(), dir.file("m.ptx"));
    std::string out;
    ASSERT_EQ(run(dir.file("m.obj") + " --set ptex_file=" + dir.file("m.ptx") + " -o " + dir.file("a.png") +
                      " --size 64x40 --spp 2 --threads 2 --no-progress",
                  out),
              0)
        << out;
    EXPECT_NE(out.find("wrote "), std::string::npos) << out;
    PngImage img;
    std::string err;
    ASSERT_TRUE(readPng(dir.file("a.png"), img, err)) << err;
    EXPECT_EQ(img.width, 64);
    EXPECT_EQ(img.height, 40);
    // The mesh is framed: the centre pixel is on it, a corner on the background.
    const uint8_t* centre = &img.rgba[(20 * 64 + 32) * 4];
    const uint8_t* corner = &img.rgba[0];
    EXPECT_NE(centre[0], corner[0]);
    // A .ptx alone is a scene; frames and EXR output.
    ASSERT_EQ(run(dir.file("m.ptx") + " -o " + dir.file("f#.exr") + " --frames 2..3 --size 16x16 --spp 1", out), 0) << out;
    EXPECT_TRUE(fs::exists(dir.file("f2.exr")));
    EXPECT_TRUE(fs::exists(dir.file("f3.exr")));
}

TEST(RenderCli, ClearErrorsNeverACrash) {
    TempDir dir;
    writeObj(dir.file("m.obj"), quadAndPentagon());
    std::string out;
    EXPECT_EQ(run(dir.file("missing.obj") + " -o " + dir.file("x.png"), out), 1);
    EXPECT_NE(out.find("error: cannot open"), std::string::npos) << out;
    EXPECT_EQ(run(dir.file("m.obj") + " -o " + dir.file("x.png"), out), 1);
    EXPECT_NE(out.find("no texture"), std::string::npos) << out;
    EXPECT_EQ(run(dir.file("m.obj") + " --set ptex_file=" + dir.file("none.ptx") + " -o " + dir.file("x.png") +
                      " --size 8x8 --no-progress",
                  out),
              0)
        << out;  // a texture that cannot be opened is the plugin's to report; the render goes on
    std::ofstream(dir.file("bad.json")) << "{\n  \"objects\": [\n    {\"mesh\": 3}\n  ]\n}\n";
    EXPECT_EQ(run(dir.file("bad.json") + " -o " + dir.file("x.png"), out), 1);
    EXPECT_NE(out.find("bad.json:3: key 'objects[0].mesh': expected a string"), std::string::npos) << out;
    EXPECT_EQ(run(dir.file("m.obj") + " -o " + dir.file("x.jpg"), out), 1);
    EXPECT_EQ(run(dir.file("m.obj") + " -o " + dir.file("x.png") + " --size 0x5", out), 1);
    EXPECT_EQ(run(dir.file("m.obj") + " -o " + dir.file("x.png") + " --frames 5..2", out), 1);
    EXPECT_EQ(run(dir.file("m.obj") + " -o " + dir.file("x.png") + " --set nothing", out), 1);
    EXPECT_EQ(run(dir.file("m.obj") + " -o " + dir.file("x.png") + " --set bogus=1", out), 1);
    EXPECT_NE(out.find("unknown plugin parameter"), std::string::npos) << out;
    EXPECT_EQ(run(dir.file("m.obj"), out), 1);
    EXPECT_NE(out.find("no output image"), std::string::npos) << out;
}

}  // namespace
