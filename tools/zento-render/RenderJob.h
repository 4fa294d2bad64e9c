// RenderJob: one render of a scene through the TexFacet plugin.
//
// prepare: loads the plugin (PluginSession), every object's mesh (OBJ, or the
// mesh metadata of a .ptx), makes a HostMesh per object (fan triangulation
// from corner 0, world = mesh + translate) and a TexFacet instance with the
// scene's parameters and the --set overrides; hands the instance the
// geometry lists "vertices", "faces", "origFaces", "origFacesDegree" (mesh
// source "parameters") or leaves it to the hit object's MeshInfoInterface
// (mesh source "interface"); builds the Embree scene and the camera.
//
// renderBegin / renderFrame / renderEnd drive the plugin interfaces exactly as
// a host does: renderBegin once with the thread count, then per frame the
// frame state (number, time = frame / fps), a parameter refresh,
// frameBegin, shading from all threads, frameEnd; renderEnd at the end.
//
// Shading: camera rays through jittered sub-pixel positions (spp per pixel,
// stratified), one ShadeContext per hit filled as the plugin reads it
// (barycentrics, triangle origin and edges, unit normal, face index, thread
// index, result slot 0 and a fresh non-zero key per shading point, the hit
// object, the render setup, dPdx / dPdy from the ray differentials), colour =
// texture colour, times ambient + (1 - ambient) |cos| when the headlight is on.
// The image is split into 32 x 32 tiles taken by the threads in turn; pixels
// hold the mean of their hits, premultiplied by coverage (see Image). When the
// stop flag is raised, each thread finishes its tile and takes no other: the
// frame comes back incomplete, with the tiles done so far.
//
// prepare also warns (through the message callback, so the warnings are
// counted) when a texture's Ptex face count is not the one its mesh needs (see
// ptexFacesNeeded), and when a scene or --set value lies
// outside the parameter's documented range (the plugin still decides what the
// value does).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Camera.h"
#include "ConsoleMessages.h"
#include "ImageOutput.h"
#include "PluginSession.h"
#include "PolyMesh.h"
#include "Scene.h"
#include "ShadingReport.h"
#include "zento/HostMesh.h"
#include "zento/ShadingInterfaces.h"
#include "zento/ZentoRenderer.h"

struct RenderOptions {
    std::string pluginPath;  // "" = the scene's, else the default location
    int threads = -1;        // -1 = the scene's; 0 = all hardware threads
    int spp = 0;             // 0 = the scene's
    int width = 0, height = 0;
    bool progressBar = false;
    bool verbose = false;
    std::vector<std::pair<std::string, std::string>> sets;  // --set NAME=VALUE
    const std::atomic<bool>* stop = nullptr;                // raised: finish the tiles in flight
};

struct RenderStats {
    uint64_t rays = 0;
    uint64_t shadingPoints = 0;
    double seconds = 0;
    int tilesDone = 0, tiles = 0;
    bool complete() const { return tilesDone == tiles; }
};

class RenderJob {
public:
    RenderJob();
    ~RenderJob();
    RenderJob(const RenderJob&) = delete;
    RenderJob& operator=(const RenderJob&) = delete;

    // False with a reason; scene value errors carry file, line and key.
    bool prepare(const Scene& scene, const RenderOptions& options, const char* argv0,
                 std::string& error);

    void renderBegin();
    void renderFrame(int frame, Image& image, RenderStats& stats);
    void renderEnd();

    int width() const { return width_; }
    int height() const { return height_; }
    int threads() const { return threads_; }
    int spp() const { return spp_; }
    // What an image file of a rendered frame records (background, camera, ...).
    ImageFileInfo fileInfo(int frame, const RenderStats& stats) const;
    const Camera& camera() const { return camera_; }
    ConsoleMessages& messages() { return *messages_; }
    ZUtils::ZentoRenderer& renderer() { return renderer_; }
    int numObjects() const { return int(objects_.size()); }
    ZUtils::HostMesh& hostMesh(int i) { return *objects_[size_t(i)].mesh; }
    TextureInstance& texture(int i) { return *objects_[size_t(i)].texture; }
    double frameTime(int frame) const { return frame / fps_; }
    // Each object's shading statistics (of the frame last rendered), named by
    // its index and texture file name.
    std::vector<TextureStats> shadingStats();

    // Traces one camera ray through image position (px, py) and shades it the
    // way renderFrame does (for tests): false when it hits nothing.
    bool shadeRay(float px, float py, int threadIndex, ZUtils::AColor& colour,
                  int* object = nullptr, int* renderFace = nullptr,
                  ZUtils::Vector3d* hitPoint = nullptr);

private:
    struct Object {
        PolyMesh poly;
        std::unique_ptr<ZUtils::HostMesh> mesh;
        TextureInstance* texture = nullptr;
        ZUtils::Vector3f offset;  // world = mesh + offset
    };
    struct Embree;

    void renderTiles(int threadIndex, Image& image, uint32_t seed, uint64_t& rays,
                     uint64_t& points);
    bool stopping() const { return stop_ && stop_->load(std::memory_order_relaxed); }
    void checkFaceCount(const Object& obj, const SceneObject& so);

    std::unique_ptr<ConsoleMessages> messages_;
    PluginSession plugins_;
    std::vector<Object> objects_;
    std::vector<int> geomToObject_;
    std::unique_ptr<Embree> embree_;
    ZUtils::ZentoRenderer renderer_;
    ZUtils::FilterScaleInterface filterScale_;
    Camera camera_;
    int width_ = 0, height_ = 0, spp_ = 1, threads_ = 1;
    double fps_ = 24;
    bool headlight_ = false;
    float ambient_ = 0.25f;
    ZUtils::Vector3f background_;
    bool progressBar_ = false;
    std::map<std::string, std::pair<int, Ptex::MeshType>> faceCounts_;  // by texture file
    const std::atomic<bool>* stop_ = nullptr;
    bool begun_ = false;
    double time_ = 0;
    // Shared by the render threads of one frame.
    struct TileQueue;
    std::unique_ptr<TileQueue> tiles_;
    // Per thread: the last result key handed out, each on its own cache line.
    struct alignas(64) ThreadKey {
        uint32_t value = 0;
    };
    std::vector<ThreadKey> keys_;
};
