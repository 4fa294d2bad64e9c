#include "RenderJob.h"

#include <embree3/rtcore.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <thread>

#include "ProgressLine.h"
#include "PtexLayout.h"
#include "zento/AssetPath.h"
#include "zento/ZentoPluginParameter.h"

using ZUtils::AColor;
using ZUtils::Vector3f;

struct RenderJob::Embree {
    RTCDevice device = nullptr;
    RTCScene scene = nullptr;
    std::string error;
    ~Embree() {
        if (scene) rtcReleaseScene(scene);
        if (device) rtcReleaseDevice(device);
    }
};

struct RenderJob::TileQueue {
    int tilesX = 0, tilesY = 0;
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    std::atomic<int> running{0};  // threads still taking tiles
};

namespace {

constexpr int kTile = 32;

void embreeError(void* user, RTCError, const char* text) {
    auto* e = static_cast<std::string*>(user);
    if (e && e->empty()) *e = text ? text : "Embree error";
}

// Small, fast, deterministic per-pixel random numbers.
uint32_t hash32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

float toUnit(uint32_t x) {
    return float(x >> 8) * (1.0f / 16777216.0f);
}

}  // namespace

RenderJob::RenderJob()
    : embree_(std::make_unique<Embree>()), tiles_(std::make_unique<TileQueue>()) {}

RenderJob::~RenderJob() {
    if (begun_) renderEnd();
    // Instances go before the meshes their contexts pointed at; the session
    // destroys them and unloads the library.
}

bool RenderJob::prepare(const Scene& scene, const RenderOptions& options, const char* argv0,
                        std::string& error) {
    messages_ = std::make_unique<ConsoleMessages>(options.verbose);
    width_ = options.width > 0 ? options.width : scene.width;
    height_ = options.height > 0 ? options.height : scene.height;
    spp_ = options.spp > 0 ? options.spp : scene.spp;
    threads_ = options.threads >= 0 ? options.threads : scene.threads;
    if (threads_ <= 0) threads_ = int(std::max(1u, std::thread::hardware_concurrency()));
    fps_ = scene.fps;
    headlight_ = scene.headlight;
    ambient_ = scene.ambient;
    background_ = {scene.background.x, scene.background.y, scene.background.z};
    progressBar_ = options.progressBar;
    stop_ = options.stop;

    std::string pluginPath = options.pluginPath;
    if (pluginPath.empty()) pluginPath = scene.pluginPath;
    if (pluginPath.empty()) pluginPath = defaultPluginPath(argv0);
    if (!plugins_.load(pluginPath, error)) return false;
    if (!scene.directory.empty()) ZUtils::addAssetSearchPath(scene.directory.c_str());

    try {
        // Overrides are checked once, before any object.
        std::vector<std::pair<std::string, nlohmann::json>> overrides;
        for (const auto& [name, text] : options.sets) {
            overrides.emplace_back(name, plugins_.parseSetValue(name, text));
            const std::string outside = plugins_.rangeWarning(name, overrides.back().second);
            if (!outside.empty())
                messages_->warning("--set %s=%s: %s", name.c_str(), text.c_str(), outside.c_str());
        }

        for (const SceneObject& so : scene.objects) {
            Object obj;
            std::string meshError;
            const std::string ext = std::filesystem::path(so.meshPath).extension().string();
            const bool fromPtx = ext == ".ptx" || ext == ".PTX";
            if (!(fromPtx ? loadPtxMesh(so.meshPath, obj.poly, meshError)
                          : loadObjMesh(so.meshPath, obj.poly, meshError))) {
                error = (scene.file.empty() ? "" : so.where + ": ") + meshError;
                return false;
            }
            std::vector<Vector3f> verts(size_t(obj.poly.numVertices()));
            for (size_t i = 0; i < verts.size(); ++i) {
                verts[i] = {obj.poly.positions[i * 3], obj.poly.positions[i * 3 + 1],
                            obj.poly.positions[i * 3 + 2]};
            }
            obj.mesh = std::make_unique<ZUtils::HostMesh>();
            if (!obj.mesh->setPolygons(verts.data(), int(verts.size()), obj.poly.counts.data(),
                                       obj.poly.numPolygons(), obj.poly.indices.data(),
                                       int(obj.poly.indices.size()))) {
                error = so.where + ": the mesh cannot be triangulated";
                return false;
            }
            obj.offset = {so.translate.x, so.translate.y, so.translate.z};
            obj.mesh->setWorldOffset(obj.offset);

            obj.texture = plugins_.createTexture(error);
            if (!obj.texture) return false;
            for (const TextureSetting& s : so.texture) {
                plugins_.setParameter(*obj.texture, s.name, s.value, s.where);
                const std::string outside = plugins_.rangeWarning(s.name, s.value);
                if (!outside.empty())
                    messages_->warning("%s: %s", s.where.c_str(), outside.c_str());
            }
            for (const auto& [name, value] : overrides) {
                plugins_.setParameter(*obj.texture, name, value, "--set " + name);
            }
            const ZUtils::CharString file =
                obj.texture->pluginInterface->getParameter("ptex_file")
                    ? obj.texture->pluginInterface->getParameter("ptex_file")->readString(0.0)
                    : ZUtils::CharString();
            if (!file.ptr() || !*file.ptr()) {
                error = so.where +
                        ": no texture: set \"ptex_file\" in the scene or --set ptex_file=FILE.ptx";
                return false;
            }
            if (so.meshSource == MeshSource::Parameters) {
                auto* pi = obj.texture->pluginInterface;
                if (auto* p = pi->getParameter("vertices"))
                    p->setVectorList(verts.data(), int(verts.size()));
                if (auto* p = pi->getParameter("origFaces")) {
                    p->setIntList(obj.poly.indices.data(), int(obj.poly.indices.size()));
                }
                if (auto* p = pi->getParameter("origFacesDegree")) {
                    p->setIntList(obj.poly.counts.data(), obj.poly.numPolygons());
                }
                if (auto* p = pi->getParameter("faces")) {
                    p->setIntList(obj.mesh->triangleIndices(), obj.mesh->numTriangles() * 3);
                }
            }
            checkFaceCount(obj, so);
            objects_.push_back(std::move(obj));
        }
    } catch (const SceneError& e) {
        error = e.what();
        return false;
    }

    // Embree scene: one triangle geometry per object, in world space.
    embree_->device = rtcNewDevice(nullptr);
    if (!embree_->device) {
        error = "cannot start Embree";
        return false;
    }
    rtcSetDeviceErrorFunction(embree_->device, embreeError, &embree_->error);
    embree_->scene = rtcNewScene(embree_->device);
    Vector3f lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    for (size_t o = 0; o < objects_.size(); ++o) {
        ZUtils::HostMesh& mesh = *objects_[o].mesh;
        const int nv = mesh.getNumVertices(0.0), nt = mesh.numTriangles();
        if (nt == 0) continue;
        RTCGeometry geom = rtcNewGeometry(embree_->device, RTC_GEOMETRY_TYPE_TRIANGLE);
        auto* vb = static_cast<float*>(rtcSetNewGeometryBuffer(
            geom, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, 3 * sizeof(float), size_t(nv)));
        auto* ib = static_cast<unsigned*>(rtcSetNewGeometryBuffer(
            geom, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, 3 * sizeof(unsigned), size_t(nt)));
        if (!vb || !ib) {
            rtcReleaseGeometry(geom);
            error = "Embree: " + embree_->error;
            return false;
        }
        const Vector3f offset = objects_[o].offset;
        for (int i = 0; i < nv; ++i) {
            const Vector3f p = mesh.getVertex(0.0, i) + offset;
            vb[i * 3] = p.x;
            vb[i * 3 + 1] = p.y;
            vb[i * 3 + 2] = p.z;
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        }
        std::copy(mesh.triangleIndices(), mesh.triangleIndices() + size_t(nt) * 3, ib);
        rtcCommitGeometry(geom);
        const unsigned id = rtcAttachGeometry(embree_->scene, geom);
        rtcReleaseGeometry(geom);
        if (geomToObject_.size() <= id) geomToObject_.resize(id + 1, -1);
        geomToObject_[id] = int(o);
    }
    rtcCommitScene(embree_->scene);
    if (!embree_->error.empty()) {
        error = "Embree: " + embree_->error;
        return false;
    }
    if (geomToObject_.empty()) {
        error = "the scene has no triangles to render";
        return false;
    }

    if (scene.camera.hasPosition || scene.camera.hasLookAt) {
        const Vector3f centre = (lo + hi) * 0.5f;
        Vector3f pos{scene.camera.position.x, scene.camera.position.y, scene.camera.position.z};
        Vector3f at{scene.camera.lookAt.x, scene.camera.lookAt.y, scene.camera.lookAt.z};
        if (!scene.camera.hasLookAt) at = centre;
        if (!scene.camera.hasPosition) {
            Camera framing;
            framing.frameBounds(lo, hi, scene.camera.fov, width_, height_);
            pos = framing.origin() - centre + at;
        }
        camera_.set(pos, at, {scene.camera.up.x, scene.camera.up.y, scene.camera.up.z},
                    scene.camera.fov, width_, height_);
    } else {
        camera_.frameBounds(lo, hi, scene.camera.fov, width_, height_);
    }

    ZUtils::RenderSetup& setup = renderer_.getRenderSetup();
    setup.progress = messages_.get();
    setup.threadCount = threads_;
    filterScale_.filterMultiplier = scene.filterMultiplier;
    setup.setInterface(ZUtils::FilterScaleInterface::ID, &filterScale_);
    keys_.assign(size_t(threads_), ThreadKey{});
    return true;
}

void RenderJob::renderBegin() {
    for (const auto& inst : plugins_.instances()) inst->pluginInterface->renderBegin(&renderer_);
    begun_ = true;
}

void RenderJob::renderEnd() {
    if (!begun_) return;
    for (const auto& inst : plugins_.instances()) inst->pluginInterface->renderEnd(&renderer_);
    begun_ = false;
}

bool RenderJob::shadeRay(float px, float py, int threadIndex, AColor& colour, int* objectOut,
                         int* faceOut, ZUtils::Vector3d* hitOut) {
    const Vector3f org = camera_.origin();
    const Vector3f dir = camera_.rayDirection(px, py);
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRayHit rh;
    rh.ray.org_x = org.x;
    rh.ray.org_y = org.y;
    rh.ray.org_z = org.z;
    rh.ray.dir_x = dir.x;
    rh.ray.dir_y = dir.y;
    rh.ray.dir_z = dir.z;
    rh.ray.tnear = 0.0f;
    rh.ray.tfar = std::numeric_limits<float>::infinity();
    rh.ray.time = 0.0f;
    rh.ray.mask = 0xFFFFFFFFu;
    rh.ray.id = 0;
    rh.ray.flags = 0;
    rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rh.hit.primID = RTC_INVALID_GEOMETRY_ID;
    rh.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(embree_->scene, &context, &rh);
    if (rh.hit.geomID == RTC_INVALID_GEOMETRY_ID || rh.hit.geomID >= geomToObject_.size())
        return false;
    const int o = geomToObject_[rh.hit.geomID];
    if (o < 0) return false;
    Object& obj = objects_[size_t(o)];
    ZUtils::ShadeContext sc;
    if (!obj.mesh->fillHit(sc, int(rh.hit.primID), rh.hit.u, rh.hit.v)) return false;
    sc.threadIndex = threadIndex;
    sc.rayTime = time_;
    sc.rayFlags = 0;
    sc.resultSlot = 0;
    uint32_t& key = keys_[size_t(threadIndex)].value;
    key = key == 0xFFFFFFFFu ? 1u : key + 1u;
    sc.resultKey = key;
    sc.renderSetup = &renderer_.getRenderSetup();
    sc.dPdx = transferDifferential(dir, camera_.dDdx(), rh.ray.tfar, sc.hitNormal);
    sc.dPdy = transferDifferential(dir, camera_.dDdy(), rh.ray.tfar, sc.hitNormal);
    AColor c = obj.texture->texture->getTexColor(sc);
    if (headlight_) {
        const float len = std::sqrt(ZUtils::dot(dir, dir));
        const float cosine = len > 0 ? std::fabs(ZUtils::dot(dir, sc.hitNormal)) / len : 1.0f;
        const float k = ambient_ + (1.0f - ambient_) * cosine;
        c.r *= k;
        c.g *= k;
        c.b *= k;
    }
    colour = c;
    if (objectOut) *objectOut = o;
    if (faceOut) *faceOut = int(rh.hit.primID);
    if (hitOut) *hitOut = sc.shadePoint;
    return true;
}

void RenderJob::renderTiles(int threadIndex, Image& image, uint32_t seed, uint64_t& raysOut,
                            uint64_t& pointsOut) {
    uint64_t rays = 0, points = 0;
    const int total = tiles_->tilesX * tiles_->tilesY;
    const int strata = std::max(1, int(std::sqrt(double(spp_))));
    while (!stopping()) {
        const int t = tiles_->next.fetch_add(1);
        if (t >= total) break;
        const int x0 = (t % tiles_->tilesX) * kTile, y0 = (t / tiles_->tilesX) * kTile;
        const int x1 = std::min(x0 + kTile, width_), y1 = std::min(y0 + kTile, height_);
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                float sum[4] = {0, 0, 0, 0};
                uint32_t rng = hash32(seed ^ hash32(uint32_t(y) * 65537u + uint32_t(x)));
                for (int s = 0; s < spp_; ++s) {
                    float jx = 0.5f, jy = 0.5f;
                    if (spp_ > 1) {
                        rng = hash32(rng + 0x9e3779b9u);
                        const float a = toUnit(rng);
                        rng = hash32(rng + 0x9e3779b9u);
                        const float b = toUnit(rng);
                        if (s < strata * strata) {
                            jx = (float(s % strata) + a) / float(strata);
                            jy = (float(s / strata) + b) / float(strata);
                        } else {
                            jx = a;
                            jy = b;
                        }
                    }
                    AColor c;
                    ++rays;
                    // A miss adds nothing: transparent black.
                    if (shadeRay(float(x) + jx, float(y) + jy, threadIndex, c)) {
                        ++points;
                        sum[0] += c.r;
                        sum[1] += c.g;
                        sum[2] += c.b;
                        sum[3] += 1.0f;
                    }
                }
                float* px = image.pixel(x, y);
                for (int c = 0; c < 4; ++c) px[c] = sum[c] / float(spp_);
            }
        }
        tiles_->done.fetch_add(1);
    }
    raysOut = rays;
    pointsOut = points;
    tiles_->running.fetch_sub(1);
}

void RenderJob::renderFrame(int frame, Image& image, RenderStats& stats) {
    const auto start = std::chrono::steady_clock::now();
    ZUtils::FrameState& fs = renderer_.getFrameState();
    fs.frameNumber = frame;
    fs.time = frameTime(frame);
    time_ = fs.time;
    // The host refreshes the parameters of the frame, then starts it.
    plugins_.refreshForFrame(frame, fs.time);
    for (const auto& inst : plugins_.instances()) inst->pluginInterface->frameBegin(&renderer_);

    image.resize(width_, height_);
    tiles_->tilesX = (width_ + kTile - 1) / kTile;
    tiles_->tilesY = (height_ + kTile - 1) / kTile;
    tiles_->next = 0;
    tiles_->done = 0;
    tiles_->running = threads_;
    std::vector<uint64_t> rays(size_t(threads_), 0), points(size_t(threads_), 0);
    std::vector<std::thread> workers;
    const uint32_t seed = hash32(uint32_t(frame) + 12345u);
    for (int t = 1; t < threads_; ++t) {
        workers.emplace_back([this, t, &image, seed, &rays, &points] {
            renderTiles(t, image, seed, rays[size_t(t)], points[size_t(t)]);
        });
    }
    const int total = tiles_->tilesX * tiles_->tilesY;
    if (progressBar_) {
        // Thread 0's share runs on a helper so that this thread can draw the bar.
        std::thread first([this, &image, seed, &rays, &points] {
            renderTiles(0, image, seed, rays[0], points[0]);
        });
        ProgressLine progress("frame " + std::to_string(frame));
        while (tiles_->running.load() > 0) {
            progress.update(tiles_->done.load(), total);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        progress.update(tiles_->done.load(), total);
        first.join();
    } else {
        renderTiles(0, image, seed, rays[0], points[0]);
    }
    for (std::thread& w : workers) w.join();

    for (const auto& inst : plugins_.instances()) inst->pluginInterface->frameEnd(&renderer_);
    stats = RenderStats{};
    stats.tiles = total;
    stats.tilesDone = tiles_->done.load();
    for (int t = 0; t < threads_; ++t) {
        stats.rays += rays[size_t(t)];
        stats.shadingPoints += points[size_t(t)];
    }
    stats.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<TextureStats> RenderJob::shadingStats() {
    std::vector<TextureStats> all;
    for (size_t i = 0; i < objects_.size(); ++i) {
        TextureInstance& inst = *objects_[i].texture;
        TextureStats t;
        t.name = "[" + std::to_string(i) + "]";
        if (ZUtils::ZentoPluginParameter* file = inst.pluginInterface->getParameter("ptex_file")) {
            const ZUtils::CharString name = file->readString(time_);
            if (name.ptr()) t.name += " " + std::filesystem::path(name.ptr()).filename().string();
        }
        if (ZUtils::ShadingStatsInterface* iface = ZUtils::getShadingStatsInterface(inst.plugin)) {
            iface->getShadingStats(t.stats);
            t.answered = true;
        }
        all.push_back(std::move(t));
    }
    return all;
}

ImageFileInfo RenderJob::fileInfo(int frame, const RenderStats& stats) const {
    ImageFileInfo info;
    info.background[0] = background_.x;
    info.background[1] = background_.y;
    info.background[2] = background_.z;
    info.renderSeconds = float(stats.seconds);
    info.samplesPerPixel = spp_;
    info.frame = frame;
    info.framesPerSecond = fps_;
    camera_.worldToCamera(info.worldToCamera);
    info.cameraFov = camera_.fovDegrees();
    return info;
}

void RenderJob::checkFaceCount(const Object& obj, const SceneObject& so) {
    ZUtils::ZentoPluginInterface& plugin = *obj.texture->pluginInterface;
    ZUtils::ZentoPluginParameter* file = plugin.getParameter("ptex_file");
    ZUtils::ZentoPluginParameter* sequence = plugin.getParameter("use_image_sequence");
    if (!file || (sequence && sequence->readInt(0.0) != 0)) return;  // the name changes per frame
    const ZUtils::CharString name = file->readString(0.0);
    std::string path = name.ptr() ? name.ptr() : "";
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".ifl") == 0) return;
    // Found the way the plugin finds it; a file it cannot open is its own to report.
    std::vector<char> buffer(path.begin(), path.end());
    buffer.resize(std::max<size_t>(buffer.size() + 1, 4096), '\0');
    if (ZUtils::checkAssetPath(buffer.data(), int(buffer.size()), nullptr, false))
        path = buffer.data();
    // Many objects may share one file: it is read once.
    auto known = faceCounts_.find(path);
    if (known == faceCounts_.end()) {
        int faces = -1;
        Ptex::MeshType type = Ptex::mt_quad;
        if (!readPtexFaceCount(path, faces, type)) faces = -1;
        known = faceCounts_.emplace(path, std::make_pair(faces, type)).first;
    }
    const auto [faces, type] = known->second;
    if (faces < 0) return;
    const int needed = ptexFacesNeeded(obj.poly, type);
    if (faces == needed) return;
    const std::string mesh = so.where == so.meshPath ? "" : " " + so.meshPath;
    messages_->warning("%s: the texture %s has %d Ptex faces, the mesh%s needs %d",
                       so.where.c_str(), path.c_str(), faces, mesh.c_str(), needed);
}
