// Scene files: values, defaults, and errors that name the file, line and key;
// the JSON line index; output paths per frame; camera differentials.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "Camera.h"
#include "ImageOutput.h"
#include "JsonLines.h"
#include "Scene.h"

namespace fs = std::filesystem;

namespace {

struct SceneFile {
    fs::path path;
    explicit SceneFile(const std::string& text) {
        path = fs::temp_directory_path() /
               ("render-scene-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".json");
        std::ofstream(path) << text;
    }
    ~SceneFile() {
        std::error_code ec;
        fs::remove(path, ec);
    }
};

std::string errorOf(const std::string& text) {
    SceneFile f(text);
    try {
        loadSceneFile(f.path.string());
    } catch (const SceneError& e) {
        return e.what();
    }
    return "";
}

TEST(RenderScene, ReadsEveryKey) {
    SceneFile f(R"({
  "image": {"width": 320, "height": 200, "spp": 9, "background": [0.1, 0.2, 0.3]},
  "camera": {"position": [0, 1, 5], "look_at": [0, 0, 0], "up": [0, 1, 0], "fov": 30},
  "shading": {"headlight": true, "ambient": 0.5},
  "frames": {"start": 3, "end": 7, "fps": 12},
  "threads": 2, "filter_multiplier": 0.5,
  "objects": [{"mesh": "a.obj", "translate": [1, 2, 3], "mesh_source": "interface",
               "texture": {"ptex_file": "t.ptx", "filter_type": 1, "lerp": true}}]
})");
    const Scene s = loadSceneFile(f.path.string());
    EXPECT_EQ(s.width, 320);
    EXPECT_EQ(s.height, 200);
    EXPECT_EQ(s.spp, 9);
    EXPECT_FLOAT_EQ(s.background.z, 0.3f);
    EXPECT_TRUE(s.camera.hasPosition);
    EXPECT_FLOAT_EQ(s.camera.fov, 30.0f);
    EXPECT_TRUE(s.headlight);
    EXPECT_EQ(s.frameStart, 3);
    EXPECT_EQ(s.frameEnd, 7);
    EXPECT_DOUBLE_EQ(s.fps, 12.0);
    EXPECT_EQ(s.threads, 2);
    EXPECT_FLOAT_EQ(s.filterMultiplier, 0.5f);
    ASSERT_EQ(s.objects.size(), 1u);
    EXPECT_EQ(s.objects[0].meshSource, MeshSource::Interface);
    EXPECT_FLOAT_EQ(s.objects[0].translate.y, 2.0f);
    EXPECT_EQ(fs::path(s.objects[0].meshPath).filename(), "a.obj");
    ASSERT_EQ(s.objects[0].texture.size(), 3u);
    // Relative paths are taken from the scene's folder.
    for (const TextureSetting& t : s.objects[0].texture) {
        if (t.name == "ptex_file") {
            EXPECT_EQ(fs::path(t.value.get<std::string>()).parent_path(), f.path.parent_path());
        }
        EXPECT_NE(t.where.find(":8:"), std::string::npos) << t.where;
    }
}

TEST(RenderScene, DefaultsAndPtxMeshAsTexture) {
    SceneFile f(R"({"objects": [{"mesh": "/x/tex.ptx"}]})");
    const Scene s = loadSceneFile(f.path.string());
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.spp, 4);
    EXPECT_EQ(s.frameStart, 1);
    EXPECT_FALSE(s.headlight);
    ASSERT_EQ(s.objects[0].texture.size(), 1u);
    EXPECT_EQ(s.objects[0].texture[0].name, "ptex_file");
    EXPECT_EQ(s.objects[0].texture[0].value, "/x/tex.ptx");
}

TEST(RenderScene, ErrorsNameLineAndKey) {
    std::string e = errorOf("{\n  \"objects\": [\n    {\"mesh\": \"a.obj\", \"colour\": 1}\n  ]\n}\n");
    EXPECT_NE(e.find(":3: key 'objects[0].colour': unknown key"), std::string::npos) << e;
    e = errorOf("{\n\"image\": {\n  \"width\": \"wide\"\n},\n\"objects\": [{\"mesh\": \"a.obj\"}]}");
    EXPECT_NE(e.find(":3: key 'image.width': expected an integer"), std::string::npos) << e;
    e = errorOf("{\"camera\": {\"fov\": 500}, \"objects\": [{\"mesh\": \"a.obj\"}]}");
    EXPECT_NE(e.find("key 'camera.fov': must be between"), std::string::npos) << e;
    e = errorOf("{\n\"objects\": [\n{\"mesh\": \"a.obj\",}\n]}");
    EXPECT_NE(e.find(":3: bad JSON"), std::string::npos) << e;
    e = errorOf("{\"image\": {}}");
    EXPECT_NE(e.find("'objects' is missing"), std::string::npos) << e;
    e = errorOf("{\"objects\": []}");
    EXPECT_NE(e.find("non-empty array"), std::string::npos) << e;
    e = errorOf("{\"objects\": [{\"texture\": {}}]}");
    EXPECT_NE(e.find("has no \"mesh\""), std::string::npos) << e;
    e = errorOf("{\"frames\": {\"start\": 5, \"end\": 2}, \"objects\": [{\"mesh\": \"a.obj\"}]}");
    EXPECT_NE(e.find("frames.end"), std::string::npos) << e;
    e = errorOf("{\"objects\": [{\"mesh\": \"a.obj\", \"translate\": [1, 2]}]}");
    EXPECT_NE(e.find("array of 3 numbers"), std::string::npos) << e;
    e = errorOf("{\"objects\": [{\"mesh\": \"a.obj\", \"mesh_source\": \"magic\"}]}");
    EXPECT_NE(e.find("mesh_source"), std::string::npos) << e;
    e = errorOf("[1, 2]");
    EXPECT_NE(e.find("expected an object"), std::string::npos) << e;
    e = errorOf("");
    EXPECT_NE(e.find("bad JSON"), std::string::npos) << e;
    try {
        loadSceneFile("/no/such/scene.json");
        ADD_FAILURE();
    } catch (const SceneError& err) {
        EXPECT_NE(std::string(err.what()).find("cannot open scene file"), std::string::npos);
    }
}

TEST(RenderScene, JsonLinesFindsNestedPaths) {
    const JsonLines lines("{\n \"a\": 1,\n \"b\": [\n  {\"c\": \"x\\\"y\"},\n  {\n   \"d\": [1,\n 2]}\n ]\n}");
    EXPECT_EQ(lines.lineOf(""), 1);
    EXPECT_EQ(lines.lineOf("a"), 2);
    EXPECT_EQ(lines.lineOf("b"), 3);
    EXPECT_EQ(lines.lineOf("b[0]"), 4);
    EXPECT_EQ(lines.lineOf("b[0].c"), 4);
    EXPECT_EQ(lines.lineOf("b[1]"), 5);
    EXPECT_EQ(lines.lineOf("b[1].d"), 6);
    EXPECT_EQ(lines.lineOf("b[1].d[1]"), 7);
    EXPECT_EQ(lines.lineOf("nope"), 0);
    EXPECT_EQ(lineAtOffset("a\nb\nc", 4), 3);
}

TEST(RenderScene, FramePaths) {
    EXPECT_EQ(framePath("out/img.####.png", 7, true), "out/img.0007.png");
    EXPECT_EQ(framePath("img#.exr", 12, false), "img12.exr");
    EXPECT_EQ(framePath("out/img.png", 3, true), "out/img.0003.png");
    EXPECT_EQ(framePath("out/img.png", 3, false), "out/img.png");
    EXPECT_EQ(framePath("a##b#.png", -2, true), "a-2b#.png");
    EXPECT_TRUE(isSupportedImagePath("x.PNG"));
    EXPECT_FALSE(isSupportedImagePath("x.jpg"));
}

TEST(RenderScene, CameraDifferentialsLieOnTheSurface) {
    Camera cam;
    cam.set({0, 0, 10}, {0, 0, 0}, {0, 1, 0}, 90.0f, 200, 100);
    // Centre ray straight down -z; one pixel spans 2 * tan(45) / 100 at distance 1.
    const ZUtils::Vector3f d = cam.rayDirection(100, 50);
    EXPECT_NEAR(d.x, 0, 1e-6);
    EXPECT_NEAR(d.z, -1, 1e-6);
    const ZUtils::Vector3f dx = transferDifferential(d, cam.dDdx(), 10.0f, {0, 0, 1});
    const ZUtils::Vector3f dy = transferDifferential(d, cam.dDdy(), 10.0f, {0, 0, 1});
    EXPECT_NEAR(dx.x, 0.2f, 1e-5);
    EXPECT_NEAR(dx.z, 0.0f, 1e-6);
    EXPECT_NEAR(dy.y, -0.2f, 1e-5);
    // A tilted plane: the offset stays in the plane.
    const ZUtils::Vector3f n{0, 0.6f, 0.8f};
    const ZUtils::Vector3f t = transferDifferential(d, cam.dDdy(), 10.0f, n);
    EXPECT_NEAR(ZUtils::dot(t, n), 0.0f, 1e-5);
    // Framing keeps a box in view.
    cam.frameBounds({-1, -1, -1}, {1, 1, 1}, 40.0f, 100, 100);
    const ZUtils::Vector3f o = cam.origin();
    EXPECT_GT(std::sqrt(ZUtils::dot(o, o)), std::sqrt(3.0f) / std::sin(20.0f * 3.14159f / 180.0f));
}

}  // namespace
