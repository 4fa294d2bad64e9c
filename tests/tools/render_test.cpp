// zento-render: scene files, the renderer as the plugin's host (instances,
// their parameters and geometry, frames), rendered pixels of known faces
// against the texels the file holds there, and the program end to end.
#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFloatAttribute.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfInputFile.h>
#include <OpenEXR/ImfIntAttribute.h>
#include <OpenEXR/ImfStandardAttributes.h>
#include <spawn.h>

#include <cmath>
#include <csignal>
#include <set>
#include <sstream>

#include "ImageOutput.h"
#include "PngImage.h"
#include "RenderJob.h"
#include "Scene.h"
#include "tool_test_util.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoPluginParameter.h"

using namespace tooltest;

namespace {

// A quad and pentagon (mesh from the parameter lists or from the interface, as
// given) and two triangles beside them, each a Ptex file of constant faces; qp.obj.
struct Fixture {
    TempDir dir;
    std::string scene = dir.file("scene.json");
    explicit Fixture(const std::string& firstSource = "parameters") {
        makeFacesPtex(quadAndPentagon(), dir.file("qp.ptx"));  // each file carries its mesh too
        makeFacesPtex(triangleSquare(), dir.file("tri.ptx"));
        std::ofstream(dir.file("qp.obj"))
            << "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 2.5 0.5 0\nv 2 1 0\n"
            << "f 1 2 3 4\nf 2 5 6 7 3\n";  // the quad and pentagon again
        std::ofstream(scene) << R"({"image": {"width": 96, "height": 48, "spp": 1},
  "camera": {"position": [1.75, 0.5, 4], "look_at": [1.75, 0.5, 0], "fov": 40},
  "objects": [{"mesh": "qp.ptx", "mesh_source": ")"
                             << firstSource << R"(",
     "texture": {"ptex_file": "qp.ptx", "filter_type": 0, "color_space": 0, "image_number": "frame"}},
    {"mesh": "tri.ptx", "translate": [3.5, 0, 0], "mesh_source": "interface",
     "texture": {"ptex_file": "tri.ptx", "filter_type": 0, "color_space": 0}}]})";
    }
};

RenderOptions options(int threads) {
    RenderOptions o;
    o.pluginPath = ZENTO_PLUGIN_FILE;
    o.threads = threads;
    return o;
}

// The colour of each (constant) face as the file holds it.
std::vector<std::array<float, 3>> faceColours(const std::string& path) {
    Ptex::String error;
    PtexTexture* tex = PtexTexture::open(path.c_str(), error);
    EXPECT_NE(tex, nullptr) << error;
    std::vector<std::array<float, 3>> colours(tex ? size_t(tex->numFaces()) : 0);
    for (size_t f = 0; f < colours.size(); ++f)
        tex->getPixel(int(f), 0, 0, colours[f].data(), 0, 3);
    if (tex) tex->release();
    return colours;
}

// Keys the other scenes here leave at their defaults, and output paths per frame.
TEST(RenderScene, ReadsEveryKeyAndFramePaths) {
    TempDir dir;
    std::ofstream(dir.file("s.json")) << R"({"image": {"width": 320, "height": 200, "spp": 9,
  "background": [0, 0, 0.3]}, "shading": {"headlight": true, "ambient": 0.5}, "threads": 2,
  "frames": {"start": 3, "end": 7, "fps": 12}, "filter_multiplier": 0.5, "objects": [{"mesh": "a.obj"}]})";
    const Scene s = loadSceneFile(dir.file("s.json"));
    EXPECT_EQ(std::tie(s.width, s.height, s.spp, s.frameStart, s.frameEnd, s.threads),
              std::make_tuple(320, 200, 9, 3, 7, 2));
    EXPECT_TRUE(s.background.z == 0.3f && s.headlight && s.ambient == 0.5f);
    EXPECT_TRUE(s.fps == 12 && s.filterMultiplier == 0.5f && s.objects.size() == 1);
    EXPECT_EQ(framePath("out/img.####.png", 7, true), "out/img.0007.png");
    EXPECT_EQ(framePath("out/img.png", 3, true), "out/img.0003.png");
    EXPECT_EQ(framePath("a##b#.png", -2, true), "a-2b#.png");
}

// Both mesh sources: the instance gets the scene's parameters (and, from the
// parameter lists, the host's triangulation); pixels of known faces show the
// texels the file holds there; frames drive frameBegin with number and time.
TEST(RenderHost, InstancesPixelsOfKnownFacesAndFrames) {
    for (const char* source : {"parameters", "interface"}) {
        SCOPED_TRACE(source);
        Fixture fx(source);
        RenderJob job;
        std::string err;
        ASSERT_TRUE(job.prepare(loadSceneFile(fx.scene), options(2), "", err)) << err;
        ASSERT_EQ(job.numObjects(), 2);
        auto* pi = job.texture(0).pluginInterface;
        EXPECT_STREQ(pi->getParameter("ptex_file")->readString(0.0).ptr(),
                     fx.dir.file("qp.ptx").c_str());
        const ZUtils::IntListValue faces =
            pi->getParameter("faces")->readIntList(0.0);  // fanned from corner 0
        const std::vector<int> fan = {0, 1, 2, 0, 2, 3, 1, 4, 5, 1, 5, 6, 1, 6, 2};
        EXPECT_EQ(std::vector<int>(faces.data, faces.data + faces.count),
                  source[0] == 'p' ? fan : std::vector<int>());
        EXPECT_EQ(pi->getParameter("vertices")->readCount(0.0), source[0] == 'p' ? 7 : 0);
        EXPECT_NE(job.hostMesh(1).getInterface(ZUtils::EXT_MESH_INFO),
                  nullptr);  // "interface" answers instead
        EXPECT_NE(job.renderer().getRenderSetup().getInterface(ZUtils::EXT_FILTER_SCALE), nullptr);
        job.renderBegin();
        job.renderer().getFrameState().frameNumber = 1;
        for (int i : {0, 1}) job.texture(i).pluginInterface->frameBegin(&job.renderer());
        const auto qp = faceColours(fx.dir.file("qp.ptx")),
                   tri = faceColours(fx.dir.file("tri.ptx"));
        ASSERT_TRUE(qp.size() == 6 && tri.size() == 2);
        int hits = 0;
        std::set<int> seen;
        for (int y = 2; y < 48; y += 3) {
            for (int x = 1; x < 96; x += 2) {
                ZUtils::AColor c;
                int object = -1, face = -1;
                if (!job.shadeRay(float(x) + 0.5f, float(y) + 0.5f, 0, c, &object, &face)) continue;
                ++hits;
                const int poly = job.hostMesh(object).getOrigFaceIndex(0.0, face);
                seen.insert(object * 100 + poly);
                // The quad is face 0, the pentagon's sub-faces 1 to 5; each triangle its own face.
                bool match = false;
                for (int f = object ? poly
                             : poly ? 1
                                    : 0;
                     f <= (object ? poly
                           : poly ? 5
                                  : 0);
                     ++f) {
                    const auto& a = object ? tri[size_t(f)] : qp[size_t(f)];
                    match |= std::fabs(a[0] - c.r) < 1e-5f && std::fabs(a[1] - c.g) < 1e-5f &&
                             std::fabs(a[2] - c.b) < 1e-5f;
                }
                EXPECT_TRUE(match)
                    << "pixel " << x << "," << y << " object " << object << " polygon " << poly
                    << ": " << c.r << " " << c.g << " " << c.b;
            }
        }
        for (int i : {0, 1}) job.texture(i).pluginInterface->frameEnd(&job.renderer());
        EXPECT_GT(hits, 100);
        EXPECT_EQ(seen.size(), 4u);  // quad, pentagon, both triangles
        for (int f = 4; f <= 5; ++f) {
            Image img;
            RenderStats st;
            job.renderFrame(f, img, st);
            EXPECT_EQ(job.renderer().getFrameState().frameNumber, f);
            EXPECT_EQ(pi->getParameter("image_number")->readInt(0.0),
                      f);  // "frame" follows the frame
            EXPECT_DOUBLE_EQ(pi->getParameterList()->getCacheTime(), f / 24.0);
            EXPECT_TRUE(st.rays == uint64_t(96 * 48) && st.shadingPoints > 0 &&
                        st.shadingPoints < st.rays);
        }
        job.renderEnd();
        EXPECT_EQ(job.renderer().getNumPluginFrameBegins(),
                  2 + 4);  // the base ran per instance and frame
    }
}

const std::string kRender = std::string(ZENTO_RENDER_EXE) + " --plugin " + ZENTO_PLUGIN_FILE + " ";

// The program end to end: it loads the plugin, and every pixel of the image it
// writes is the background or, in sRGB, the colour of one of the file's faces.
TEST(RenderCli, WritesImagesWhosePixelsShowTheTexture) {
    Fixture fx;
    expectRun(kRender + fx.dir.file("qp.obj") + " --set ptex_file=" + fx.dir.file("qp.ptx") +
                  " --set filter_type=0 --set color_space=0 -o " + fx.dir.file("a.png") +
                  " --size 64x40 --spp 1",
              0, {"wrote "});
    PngImage img;
    std::string err;
    ASSERT_TRUE(readPng(fx.dir.file("a.png"), img, err)) << err;
    ASSERT_EQ(img.width * img.height, 64 * 40);
    std::vector<std::array<float, 3>> allowed = faceColours(fx.dir.file("qp.ptx"));
    allowed.push_back({0.18f, 0.18f, 0.2f});  // the background
    std::set<size_t> seen;
    for (size_t p = 0; p < size_t(64 * 40); ++p) {
        auto same = [&](const std::array<float, 3>& a) {
            bool near = true;
            for (size_t c = 0; c < 3; ++c)
                near &= std::fabs(img.rgba[p * 4 + c] - linearToSrgb(a[c]) * 255) <= 1;
            return near;
        };
        const size_t which =
            size_t(std::find_if(allowed.begin(), allowed.end(), same) - allowed.begin());
        EXPECT_LT(which, allowed.size()) << "pixel " << p % 64 << "," << p / 64;
        seen.insert(which);
    }
    EXPECT_GE(seen.size(), 4u);  // the background, the quad and pentagon sub-faces
    // A .ptx alone is a scene; frames with their total time, and EXR output.
    expectRun(kRender + fx.dir.file("qp.ptx") + " -o " + fx.dir.file("f#.exr") +
                  " --frames 2..3 --size 8x8",
              0, {"wrote ", "rendered 2 frames in "});
    EXPECT_TRUE(fs::exists(fx.dir.file("f2.exr")) && fs::exists(fx.dir.file("f3.exr")));
}

// Scene files, options and plugin values that cannot be used: exit status 1 and
// a message naming the file, line and key where there is one; never a crash.
TEST(RenderCli, ClearErrorsNeverACrash) {
    Fixture fx;
    const std::string obj = kRender + fx.dir.file("qp.obj") + " ",
                      png = " -o " + fx.dir.file("x.png");
    const std::string q = "{\"objects\": [{\"mesh\": \"qp.obj\"";  // qp.obj with ...
    const std::pair<std::string, std::string> scenes[] = {
        {"{\n  \"objects\": [\n    {\"mesh\": \"qp.obj\", \"colour\": 1}\n  ]\n}\n",
         ":3: key 'objects[0].colour': unknown key"},
        {"{\n\"image\": {\n  \"width\": \"wide\"\n},\n\"objects\": [{\"mesh\": \"qp.obj\"}]}",
         ":3: key 'image.width': expected an integer"},
        {"{\n\"objects\": [\n{\"mesh\": \"qp.obj\",}\n]}", ":3: bad JSON"},
        {q + ", \"translate\": [1, 2]}]}", "array of 3 numbers"},
        {"{\"camera\": {\"fov\": 0}, \"objects\": []}", "'camera.fov': must be between 1 and 170"},
        {"{\"objects\": [{\"mesh\": \"missing.obj\", \"texture\": {}}]}", "cannot open mesh file"},
        {q + ",\n \"texture\": {\"ptex_file\": \"qp.ptx\",\n \"filter_typ\": 1}}]}",
         ":3: key 'objects[0].texture.filter_typ': unknown plugin parameter"},
        {q + ", \"texture\": {\"width\": \"big\"}}]}", "expected a number"},
        {q + ", \"texture\": {\"faces\": [1]}}]}", "set by the renderer"},
        {q + "}]}", "no texture"},
    };
    for (const auto& [text, message] : scenes) {
        std::ofstream(fx.dir.file("bad.json")) << text;
        expectRun(kRender + fx.dir.file("bad.json") + png, 1, {message});
    }
    expectRun(kRender + fx.dir.file("missing.obj") + png, 1, {"error: cannot open"});
    fs::copy_file(fx.dir.file("qp.ptx"), fx.dir.file("cut.ptx"));
    fs::resize_file(fx.dir.file("cut.ptx"), fs::file_size(fx.dir.file("qp.ptx")) - 40);
    expectRun(kRender + fx.dir.file("cut.ptx") + png, 1,
              {"cannot read the mesh of", "read failed"});
    expectRun(obj + png + " --set lerp=maybe", 1, {"--set lerp=maybe: expected true or false"});
    expectRun(obj + png + " --set bogus=1", 1, {"unknown plugin parameter"});
    expectRun(obj, 1, {"no output image"});
    for (const std::string& bad :
         {"-o " + fx.dir.file("x.jpg"), png + " --size 0x5", png + " --frames 5..2"}) {
        expectRun(obj + bad, 1);
    }
    expectRun(std::string(ZENTO_RENDER_EXE) + " --plugin " + fx.dir.file("none.so ") +
                  fx.dir.file("qp.obj") + png,
              1, {"cannot load the plugin library"});
}

// Warnings are counted (a missing or damaged texture, a texture made for another mesh, a value
// outside a parameter's documented range); --strict turns any of them into status 1, the image
// still written. Outputs are checked before anything is rendered.
TEST(RenderCli, WarningsStrictModeAndOutputChecks) {
    Fixture fx;
    std::ofstream(fx.dir.file("junk.ptx")) << "not a texture";
    // Files of constant faces have no mip-maps, which the plugin warns about: these have them.
    std::string err;
    ASSERT_TRUE(makePtex(quadAndPentagon(), PtexMakeOptions(), fx.dir.file("qp.ptx"), err)) << err;
    ASSERT_TRUE(makePtex(triangleSquare(), PtexMakeOptions(), fx.dir.file("tri.ptx"), err)) << err;
    const std::string obj = kRender + fx.dir.file("qp.obj") + " --size 8x8 --no-progress ";
    const struct {
        std::string args;
        int status;
        std::vector<std::string> said;
    } cases[] = {
        {"--set ptex_file=" + fx.dir.file("qp.ptx"), 0, {"wrote "}},
        {"--set ptex_file=" + fx.dir.file("none.ptx"),
         0,
         {"warning: Can't open ptex file", "1 warning; rerun with -v for details"}},
        {"--set ptex_file=" + fx.dir.file("none.ptx") + " --strict",
         1,
         {"error: 1 warning with --strict: the images were written but are not to be trusted"}},
        {"--set ptex_file=" + fx.dir.file("junk.ptx") + " --strict", 1, {"Not a ptex file"}},
        {"--set ptex_file=" + fx.dir.file("tri.ptx"),
         0,
         {"tri.ptx has 2 Ptex faces, the mesh needs 6", "1 warning;"}},
        {"--set ptex_file=" + fx.dir.file("tri.ptx") + " --strict", 1, {"1 warning with --strict"}},
        {"--set ptex_file=" + fx.dir.file("qp.ptx") + " --set filter_type=9 -v",
         0,
         {"warning: --set filter_type=9: 9 is outside the documented range of filter_type (-1 to "
          "7); the plugin decides",
          "1 warning\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        fs::remove(fx.dir.file("x.png"));
        const std::string out =
            expectRun(obj + c.args + " -o " + fx.dir.file("x.png"), c.status, c.said);
        EXPECT_TRUE(fs::exists(fx.dir.file("x.png")));
        EXPECT_EQ(out.find("warning") == std::string::npos, c.said[0] == "wrote ") << out;
    }
    // A scene's values get the same range warning, and a mismatch names the scene's object.
    std::ofstream(fx.dir.file("s.json")) << R"({"objects": [{"mesh": "qp.obj",
      "texture": {"ptex_file": "tri.ptx", "color_space": 5}}]})";
    expectRun(kRender + fx.dir.file("s.json") + " --size 8x8 -o " + fx.dir.file("x.png"), 0,
              {"s.json:2: key 'objects[0].texture.color_space': 5 is outside the documented range",
               "key 'objects[0]': the texture " + fx.dir.file("tri.ptx") +
                   " has 2 Ptex faces, the mesh " + fx.dir.file("qp.obj") + " needs 6",
               "2 warnings;"});
    std::ofstream(fx.dir.file("file")) << "x";
    const std::string said =
        expectRun(obj + "-o " + fx.dir.file("file/f#.png") + " --frames 1..2", 1,
                  {"cannot write " + fx.dir.file("file/f1.png") + ": Not a directory"});
    EXPECT_EQ(said.find("rendering"), std::string::npos) << said;
}

// EXR colour is premultiplied by coverage over transparent black: the background pixel reads
// 0 0 0 0, and an edge pixel composited over the background gives the PNG of the same render.
// The header records what made the image.
TEST(RenderCli, ExrIsPremultipliedOverTransparentBlack) {
    Fixture fx;
    std::ofstream(fx.scene) << R"({"image": {"width": 48, "height": 32, "spp": 16,
  "background": [0.5, 0.25, 0.75]}, "frames": {"start": 7, "fps": 25},
  "objects": [{"mesh": "qp.ptx", "texture": {"filter_type": 0, "color_space": 0}}]})";
    const std::string base = kRender + fx.scene + " --no-progress -o ";
    expectRun(base + fx.dir.file("a.png"), 0);
    expectRun(base + fx.dir.file("a.exr") + " --exr-type float", 0);
    expectRun(base + fx.dir.file("h.exr"), 0);
    PngImage png;
    std::string err;
    ASSERT_TRUE(readPng(fx.dir.file("a.png"), png, err)) << err;
    Imf::InputFile exr(fx.dir.file("a.exr").c_str());
    const Imf::Header& h = exr.header();
    EXPECT_EQ(h.channels().findChannel("A")->type, Imf::FLOAT);
    EXPECT_EQ(
        Imf::InputFile(fx.dir.file("h.exr").c_str()).header().channels().findChannel("R")->type,
        Imf::HALF);
    EXPECT_EQ(h.typedAttribute<Imf::IntAttribute>("samplesPerPixel").value(), 16);
    EXPECT_EQ(h.typedAttribute<Imf::IntAttribute>("frame").value(), 7);
    EXPECT_EQ(h.typedAttribute<Imf::FloatAttribute>("cameraFov").value(), 40.0f);
    EXPECT_GT(h.typedAttribute<Imf::FloatAttribute>("renderTime").value(), 0.0f);
    EXPECT_EQ(Imf::framesPerSecond(h), Imf::Rational(25, 1));
    ASSERT_TRUE(Imf::hasWorldToCamera(h));
    std::vector<float> px(48 * 32 * 4);
    Imf::FrameBuffer frame;
    const char* names[4] = {"R", "G", "B", "A"};
    for (size_t c = 0; c < 4; ++c) {
        frame.insert(names[c], Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(&px[c]),
                                          4 * sizeof(float), 4 * sizeof(float) * 48));
    }
    exr.setFrameBuffer(frame);
    exr.readPixels(0, 31);
    EXPECT_EQ(std::vector<float>(px.begin(), px.begin() + 4), std::vector<float>(4, 0.0f));
    const float background[3] = {0.5f, 0.25f, 0.75f};
    int edges = 0;
    for (size_t p = 0; p < 48 * 32; ++p) {
        const float* e = &px[p * 4];
        edges += e[3] > 0 && e[3] < 1;
        for (size_t c = 0; c < 3; ++c) {
            const float over = e[c] + (1 - e[3]) * background[c];
            EXPECT_NEAR(linearToSrgb(over) * 255, png.rgba[p * 4 + c], 0.51) << "pixel " << p;
        }
    }
    EXPECT_GT(edges, 20);
}

// --stats: the camera looks straight at two objects that fill the view, half each: on the
// left a quad whose texture is missing, on the right two quads whose texture has one face
// only. At one sample per pixel on one thread every pixel centre hits a known face, so the
// counts are exact: 16 lookups without texture, 8 on the texture's face, 8 on the face it
// lacks. The second frame counts afresh.
TEST(RenderCli, StatsCountFallbacksByReason) {
    TempDir dir;
    std::ofstream(dir.file("a.obj")) << "v -10 -10 0\nv 0 -10 0\nv 0 10 0\nv -10 10 0\nf 1 2 3 4\n";
    std::ofstream(dir.file("b.obj"))
        << "v 0 -10 0\nv 10 -10 0\nv 10 0 0\nv 0 0 0\nv 10 10 0\nv 0 10 0\nf 1 2 3 4\nf 4 3 5 6\n";
    makeFacesPtex(PolyMesh{{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {4}, {0, 1, 2, 3}},
                  dir.file("one.ptx"));
    std::ofstream(dir.file("s.json")) << R"({"image": {"width": 8, "height": 4, "spp": 1},
  "camera": {"position": [0, 0, 5], "look_at": [0, 0, 0], "fov": 40}, "threads": 1,
  "objects": [{"mesh": "a.obj", "texture": {"ptex_file": "none.ptx"}},
              {"mesh": "b.obj", "texture": {"ptex_file": "one.ptx", "filter_type": 0}}]})";
    const std::string out = expectRun(
        kRender + dir.file("s.json") + " --stats -v --frames 1..2 -o " + dir.file("s#.png"), 0,
        {"stats, frame 1 (2 textures):", "stats, frame 2"});
    // Each row with its runs of blanks made one.
    std::vector<std::string> rows;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::string row;
        for (char c : line)
            if (c != ' ' || (!row.empty() && row.back() != ' ')) row += c;
        rows.push_back(row);
    }
    auto count = [&](const std::string& row) { return std::count(rows.begin(), rows.end(), row); };
    EXPECT_EQ(count("lookups cache hits filtered faces no texture no mesh unmappable bad thread "
                    "refused"),
              2)
        << out;
    EXPECT_EQ(count("total 32 0 8 1 16 0 8 0 0"), 2) << out;
    EXPECT_EQ(count("[0] none.ptx 16 0 0 0 16 0 0 0 0"), 2) << out;
    EXPECT_EQ(count("[1] one.ptx 16 0 8 1 0 0 8 0 0"), 2) << out;
    EXPECT_NE(out.find("Ptex cache: 1 file opened, "), std::string::npos) << out;
    // Without -v the total only.
    const std::string brief =
        expectRun(kRender + dir.file("s.json") + " --stats -o " + dir.file("s.png"), 0);
    EXPECT_NE(brief.find("  total "), std::string::npos) << brief;
    EXPECT_EQ(brief.find("[0]"), std::string::npos) << brief;
}

// Ctrl-C: the tiles in flight are finished, the image of what was rendered is written and the
// program ends with status 130.
TEST(RenderCli, InterruptWritesWhatWasRendered) {
    Fixture fx;
    const std::string log = fx.dir.file("log"), out = fx.dir.file("i.png");
    const std::string command = "exec " + kRender + fx.dir.file("qp.ptx") +
                                " --size 1500x1500 --spp 512 --threads 2 -o " + out + " > " + log +
                                " 2>&1";
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    auto said = [&] {
        std::ifstream in(log);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (int i = 0; i < 600 && said().find("info: rendering") == std::string::npos; ++i)
        usleep(50000);
    usleep(300000);
    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << said();
    EXPECT_NE(said().find("tiles rendered)\nzento-render: interrupted"), std::string::npos)
        << said();
    PngImage img;
    std::string err;
    EXPECT_TRUE(readPng(out, img, err) && img.width == 1500) << err;
}

}  // namespace
