// The renderer as the plugin's host: loading, instances and their parameters,
// the render and frame calls, and rendered pixels of known faces compared with
// the texels the file holds there.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <set>

#include "PngImage.h"
#include "RenderJob.h"
#include "render_test_util.h"
#include "zento/ZentoParameterList.h"
#include "zento/ZentoPluginParameter.h"

using namespace rendertest;

namespace {

struct Fixture {
    TempDir dir;
    std::string scenePath;
    Fixture(const std::string& firstSource = "parameters", int frames = 1) {
        writeObj(dir.file("qp.obj"), quadAndPentagon());
        makeFacesPtex(quadAndPentagon(), dir.file("qp.ptx"));
        writeObj(dir.file("tri.obj"), triangleSquare());
        makeFacesPtex(triangleSquare(), dir.file("tri.ptx"));
        scenePath = dir.file("scene.json");
        std::ofstream(scenePath) << R"({
  "image": {"width": 96, "height": 48, "spp": 1},
  "camera": {"position": [1.75, 0.5, 4], "look_at": [1.75, 0.5, 0], "fov": 40},
  "frames": {"start": 1, "end": )" << frames
                                 << R"(},
  "objects": [
    {"mesh": "qp.obj", "mesh_source": ")"
                                 << firstSource << R"(",
     "texture": {"ptex_file": "qp.ptx", "filter_type": 0, "color_space": 0, "image_number": "frame"}},
    {"mesh": "tri.obj", "translate": [3.5, 0, 0], "mesh_source": "interface",
     "texture": {"ptex_file": "tri.ptx", "filter_type": 0, "color_space": 0}}
  ]
})";
    }
};

RenderOptions quietOptions(int threads = 2) {
    RenderOptions o;
    o.pluginPath = ZENTO_PLUGIN_FILE;
    o.threads = threads;
    return o;
}

// Texel colour of a (constant) face as the file holds it.
std::array<float, 3> fileColour(PtexTexture* tex, int face) {
    float px[3] = {0, 0, 0};
    tex->getPixel(face, 0, 0, px, 0, 3);
    return {px[0], px[1], px[2]};
}

TEST(RenderHost, PreparesInstancesWithSceneParametersAndGeometry) {
    Fixture fx;
    RenderJob job;
    std::string err;
    ASSERT_TRUE(job.prepare(loadSceneFile(fx.scenePath), quietOptions(), "", err)) << err;
    ASSERT_EQ(job.numObjects(), 2);
    auto* pi = job.texture(0).pluginInterface;
    EXPECT_EQ(pi->getParameter("filter_type")->readInt(0.0), 0);
    EXPECT_EQ(pi->getParameter("color_space")->readInt(0.0), 0);
    EXPECT_STREQ(pi->getParameter("ptex_file")->readString(0.0).ptr(), fx.dir.file("qp.ptx").c_str());
    // Mesh source "parameters": the four geometry lists of the host triangulation.
    EXPECT_EQ(pi->getParameter("vertices")->readCount(0.0), 7);
    EXPECT_EQ(pi->getParameter("origFacesDegree")->readCount(0.0), 2);
    EXPECT_EQ(pi->getParameter("origFaces")->readCount(0.0), 9);
    const ZUtils::IntListValue faces = pi->getParameter("faces")->readIntList(0.0);
    ASSERT_EQ(faces.count, 15);  // 2 + 3 triangles, fanned from corner 0
    const int expected[15] = {0, 1, 2, 0, 2, 3, 1, 4, 5, 1, 5, 6, 1, 6, 2};
    for (int i = 0; i < 15; ++i) EXPECT_EQ(faces[i], expected[i]) << i;
    // Mesh source "interface": no lists, the hit object answers instead.
    EXPECT_EQ(job.texture(1).pluginInterface->getParameter("vertices")->readCount(0.0), 0);
    EXPECT_NE(job.hostMesh(1).getInterface(ZUtils::EXT_MESH_INFO), nullptr);
    EXPECT_EQ(job.renderer().getRenderSetup().threadCount, 2);
    EXPECT_NE(job.renderer().getRenderSetup().getInterface(ZUtils::EXT_FILTER_SCALE), nullptr);
}

TEST(RenderHost, FramesDriveFrameBeginWithNumberAndTime) {
    Fixture fx("parameters", 3);
    RenderJob job;
    std::string err;
    ASSERT_TRUE(job.prepare(loadSceneFile(fx.scenePath), quietOptions(1), "", err)) << err;
    job.renderBegin();
    for (int f = 4; f <= 6; ++f) {
        Image img;
        RenderStats st;
        job.renderFrame(f, img, st);
        EXPECT_EQ(job.renderer().getFrameState().frameNumber, f);
        EXPECT_DOUBLE_EQ(job.renderer().getFrameState().time, f / 24.0);
        // "frame" parameters follow the frame and are cached for it.
        EXPECT_EQ(job.texture(0).pluginInterface->getParameter("image_number")->readInt(0.0), f);
        EXPECT_DOUBLE_EQ(job.texture(0).pluginInterface->getParameterList()->getCacheTime(), f / 24.0);
        EXPECT_EQ(st.rays, uint64_t(96 * 48));
        EXPECT_GT(st.shadingPoints, 0u);
        EXPECT_LT(st.shadingPoints, st.rays);
    }
    job.renderEnd();
    // The base frameBegin ran once per instance and frame.
    EXPECT_EQ(job.renderer().getNumPluginFrameBegins(), 6);
}

TEST(RenderHost, PixelsOfKnownFacesShowTheirTexels) {
    for (const char* source : {"parameters", "interface"}) {
        SCOPED_TRACE(source);
        Fixture fx(source);
        RenderJob job;
        std::string err;
        ASSERT_TRUE(job.prepare(loadSceneFile(fx.scenePath), quietOptions(), "", err)) << err;
        job.renderBegin();
        Image img;
        RenderStats st;
        job.renderFrame(1, img, st);
        ASSERT_EQ(img.width, 96);
        ASSERT_EQ(img.height, 48);

        // The same requests again, one ray at a time, inside the frame.
        job.renderer().getFrameState().frameNumber = 1;
        for (const auto& inst : {&job.texture(0), &job.texture(1)}) inst->pluginInterface->frameBegin(&job.renderer());
        Ptex::String perr;
        PtexTexture* qp = PtexTexture::open(fx.dir.file("qp.ptx").c_str(), perr);
        PtexTexture* tri = PtexTexture::open(fx.dir.file("tri.ptx").c_str(), perr);
        ASSERT_TRUE(qp && tri) << perr;
        int hits = 0, white = 0, compared = 0;
        std::set<int> facesSeen;
        for (int y = 2; y < 48; y += 3) {
            for (int x = 1; x < 96; x += 2) {
                ZUtils::AColor c;
                int object = -1, face = -1;
                if (!job.shadeRay(float(x) + 0.5f, float(y) + 0.5f, 0, c, &object, &face)) continue;
                ++hits;
                if (c == ZUtils::AColor(1, 1, 1, 1)) ++white;
                const int poly = job.hostMesh(object).getOrigFaceIndex(0.0, face);
                std::vector<std::array<float, 3>> allowed;
                if (object == 0 && poly == 0) allowed.push_back(fileColour(qp, 0));
                if (object == 0 && poly == 1) {
                    for (int s = 1; s <= 5; ++s) allowed.push_back(fileColour(qp, s));
                }
                if (object == 1) allowed.push_back(fileColour(tri, poly));
                ASSERT_FALSE(allowed.empty());
                facesSeen.insert(object * 100 + poly);
                bool match = false;
                for (const auto& a : allowed) {
                    match = match || (std::fabs(a[0] - c.r) < 1e-5f && std::fabs(a[1] - c.g) < 1e-5f &&
                                      std::fabs(a[2] - c.b) < 1e-5f);
                }
                if (c == ZUtils::AColor(1, 1, 1, 1)) continue;
                ++compared;
                EXPECT_TRUE(match) << "pixel " << x << "," << y << " object " << object << " polygon " << poly
                                   << ": " << c.r << " " << c.g << " " << c.b;
            }
        }
        for (const auto& inst : {&job.texture(0), &job.texture(1)}) inst->pluginInterface->frameEnd(&job.renderer());
        job.renderEnd();
        qp->release();
        tri->release();
        EXPECT_GT(hits, 100);
        EXPECT_EQ(facesSeen.size(), 4u);  // quad, pentagon, both triangles
        if (white == hits) {
            // The plugin answers (1, 1, 1, 1) until its lookup is in: the host
            // side still ran every request.
            RecordProperty("texture_lookup", "not in the plugin yet");
        } else {
            EXPECT_EQ(compared, hits);
        }
    }
}

TEST(RenderHost, ClearErrorsForMissingPiecesAndBadValues) {
    TempDir dir;
    writeObj(dir.file("q.obj"), quadAndPentagon());
    makeFacesPtex(quadAndPentagon(), dir.file("q.ptx"));
    auto prepareError = [&](const std::string& sceneText, RenderOptions opts = quietOptions()) {
        const std::string path = dir.file("s.json");
        std::ofstream(path) << sceneText;
        RenderJob job;
        std::string err;
        EXPECT_FALSE(job.prepare(loadSceneFile(path), opts, "", err));
        return err;
    };
    std::string e = prepareError(R"({"objects": [{"mesh": "missing.obj", "texture": {"ptex_file": "q.ptx"}}]})");
    EXPECT_NE(e.find("cannot open mesh file"), std::string::npos) << e;
    e = prepareError(R"({"objects": [{"mesh": "q.obj"}]})");
    EXPECT_NE(e.find("no texture"), std::string::npos) << e;
    e = prepareError("{\"objects\": [{\"mesh\": \"q.obj\",\n \"texture\": {\"ptex_file\": \"q.ptx\",\n \"filter_typ\": 1}}]}");
    EXPECT_NE(e.find(":3: key 'objects[0].texture.filter_typ': unknown plugin parameter"), std::string::npos) << e;
    e = prepareError(R"({"objects": [{"mesh": "q.obj", "texture": {"ptex_file": "q.ptx", "width": "big"}}]})");
    EXPECT_NE(e.find("expected a number"), std::string::npos) << e;
    e = prepareError(R"({"objects": [{"mesh": "q.obj", "texture": {"ptex_file": "q.ptx", "faces": [1]}}]})");
    EXPECT_NE(e.find("set by the renderer"), std::string::npos) << e;
    {
        Ptex::String perr;
        PtexWriter* w = PtexWriter::open(dir.file("nomesh.ptx").c_str(), Ptex::mt_quad, Ptex::dt_uint8, 1, -1, 1, perr);
        ASSERT_NE(w, nullptr) << perr;
        const uint8_t v = 9;
        w->writeConstantFace(0, Ptex::FaceInfo(Ptex::Res(1, 1)), &v);
        ASSERT_TRUE(w->close(perr)) << perr;
        w->release();
    }
    e = prepareError(R"({"objects": [{"mesh": "nomesh.ptx"}]})");
    EXPECT_NE(e.find("carries no mesh"), std::string::npos) << e;
    RenderOptions setBad = quietOptions();
    setBad.sets = {{"lerp", "maybe"}};
    e = prepareError(R"({"objects": [{"mesh": "q.obj", "texture": {"ptex_file": "q.ptx"}}]})", setBad);
    EXPECT_NE(e.find("--set lerp=maybe: expected true or false"), std::string::npos) << e;
    RenderOptions badPlugin = quietOptions();
    badPlugin.pluginPath = dir.file("no-such-plugin.so");
    e = prepareError(R"({"objects": [{"mesh": "q.obj", "texture": {"ptex_file": "q.ptx"}}]})", badPlugin);
    EXPECT_NE(e.find("cannot load the plugin library"), std::string::npos) << e;
}

TEST(RenderHost, SetOverridesAndColourTextures) {
    Fixture fx;
    RenderOptions o = quietOptions();
    o.sets = {{"filter_type", "2"}, {"lerp", "true"}, {"width", "0.5"}, {"color_gain", "0.5,0.25,1"}};
    RenderJob job;
    std::string err;
    ASSERT_TRUE(job.prepare(loadSceneFile(fx.scenePath), o, "", err)) << err;
    for (int i = 0; i < 2; ++i) {
        auto* pi = job.texture(i).pluginInterface;
        EXPECT_EQ(pi->getParameter("filter_type")->readInt(0.0), 2);
        EXPECT_TRUE(pi->getParameter("lerp")->readBool(0.0));
        EXPECT_FLOAT_EQ(pi->getParameter("width")->readFloat(0.0), 0.5f);
        ZUtils::TextureInterface* gain = pi->getParameter("color_gain")->readTexture(0.0);
        ASSERT_NE(gain, nullptr);
        EXPECT_EQ(gain->getTexColor(ZUtils::ShadeContext{}), ZUtils::AColor(0.5f, 0.25f, 1.0f, 1.0f));
    }
}

}  // namespace

namespace {

// A gradient texture read with the point filter: every pixel on the quad
// equals the library's own point-filter evaluation at the hit's face
// coordinates (the quad is the unit square, so (u, v) is the hit's x, y).
TEST(RenderHost, QuadPixelsEqualDirectFilterEvaluations) {
    TempDir dir;
    writeObj(dir.file("qp.obj"), quadAndPentagon());
    PtexMakeOptions opt;
    opt.pattern.kind = PatternKind::Gradient;
    opt.resU = opt.resV = 32;
    opt.dataType = Ptex::dt_float;
    std::string err;
    ASSERT_TRUE(makePtex(quadAndPentagon(), opt, dir.file("qp.ptx"), err)) << err;
    std::ofstream(dir.file("s.json")) << R"({
  "image": {"width": 64, "height": 64, "spp": 1},
  "camera": {"position": [0.5, 0.5, 3], "look_at": [0.5, 0.5, 0], "fov": 30},
  "objects": [{"mesh": "qp.obj", "texture": {"ptex_file": "qp.ptx", "filter_type": 0, "color_space": 0}}]
})";
    RenderJob job;
    ASSERT_TRUE(job.prepare(loadSceneFile(dir.file("s.json")), quietOptions(1), "", err)) << err;
    job.renderBegin();
    job.renderer().getFrameState().frameNumber = 1;
    job.texture(0).pluginInterface->frameBegin(&job.renderer());
    Ptex::String perr;
    PtexTexture* tex = PtexTexture::open(dir.file("qp.ptx").c_str(), perr);
    ASSERT_NE(tex, nullptr) << perr;
    PtexFilter* filter = PtexFilter::getFilter(tex, PtexFilter::Options(PtexFilter::f_point));
    ASSERT_NE(filter, nullptr);
    int hits = 0, white = 0, matched = 0;
    for (int y = 4; y < 64; y += 5) {
        for (int x = 4; x < 64; x += 5) {
            ZUtils::AColor c;
            int object = -1, face = -1;
            ZUtils::Vector3d p;
            if (!job.shadeRay(float(x) + 0.5f, float(y) + 0.5f, 0, c, &object, &face, &p)) continue;
            if (job.hostMesh(0).getOrigFaceIndex(0.0, face) != 0) continue;
            ++hits;
            if (c == ZUtils::AColor(1, 1, 1, 1)) {
                ++white;
                continue;
            }
            float expected[3] = {0, 0, 0};
            filter->eval(expected, 0, 3, 0, float(p.x), float(p.y), 0, 0, 0, 0, 1.0f, 0.0f);
            const bool same = std::fabs(expected[0] - c.r) < 1e-4f && std::fabs(expected[1] - c.g) < 1e-4f &&
                              std::fabs(expected[2] - c.b) < 1e-4f;
            matched += same;
            EXPECT_TRUE(same) << "at " << p.x << "," << p.y << ": " << c.r << " " << c.g << " " << c.b << " vs "
                              << expected[0] << " " << expected[1] << " " << expected[2];
        }
    }
    filter->release();
    tex->release();
    job.texture(0).pluginInterface->frameEnd(&job.renderer());
    job.renderEnd();
    EXPECT_GT(hits, 50);
    if (white == hits) RecordProperty("texture_lookup", "not in the plugin yet");
    else EXPECT_EQ(matched, hits);
}

}  // namespace
