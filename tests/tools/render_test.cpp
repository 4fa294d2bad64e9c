// zento-render: scene files, the renderer as the plugin's host (instances,
// their parameters and geometry, frames), rendered pixels of known faces
// against the texels the file holds there, and the program end to end.
#include <cmath>
#include <set>

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
    // A .ptx alone is a scene; frames and EXR output.
    expectRun(kRender + fx.dir.file("qp.ptx") + " -o " + fx.dir.file("f#.exr") +
                  " --frames 2..3 --size 8x8",
              0);
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
    // A texture that cannot be opened is the plugin's to report; the render goes on.
    expectRun(obj + "--set ptex_file=" + fx.dir.file("none.ptx") + png + " --size 8x8", 0);
}

}  // namespace
