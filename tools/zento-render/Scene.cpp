#include "Scene.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "CommandLine.h"
#include "JsonLines.h"

namespace fs = std::filesystem;
using nlohmann::json;

std::string resolvePath(const std::string& directory, const std::string& path) {
    if (path.empty() || fs::path(path).is_absolute() || directory.empty()) return path;
    const fs::path candidate = fs::path(directory) / path;
    std::error_code ec;
    if (fs::exists(candidate, ec) || !fs::exists(path, ec))
        return candidate.lexically_normal().string();
    return path;
}

namespace {

bool hasExtension(const std::string& path, const char* ext) {
    std::string e = fs::path(path).extension().string();
    for (char& c : e) c = char(std::tolower(static_cast<unsigned char>(c)));
    return e == ext;
}

class Reader {
public:
    Reader(std::string file, const JsonLines& lines) : file_(std::move(file)), lines_(lines) {}

    std::string where(const std::string& path) const {
        std::ostringstream s;
        s << file_ << ":" << lines_.lineOf(path) << ": key '" << path << "'";
        return s.str();
    }
    [[noreturn]] void fail(const std::string& path, const std::string& why) const {
        throw SceneError(where(path) + ": " + why);
    }

    void onlyKeys(const json& obj, const std::string& path,
                  std::initializer_list<const char*> keys) const {
        if (!obj.is_object()) fail(path, "expected an object");
        std::set<std::string> allowed(keys.begin(), keys.end());
        for (auto it = obj.begin(); it != obj.end(); ++it) {
            if (!allowed.count(it.key())) fail(join(path, it.key()), "unknown key");
        }
    }
    static std::string join(const std::string& path, const std::string& key) {
        return path.empty() ? key : path + "." + key;
    }

    int integer(const json& v, const std::string& path, int lo, int hi) const {
        if (!v.is_number_integer()) fail(path, "expected an integer");
        const long long x = v.get<long long>();
        if (x < lo || x > hi)
            fail(path, "must be between " + std::to_string(lo) + " and " + std::to_string(hi));
        return int(x);
    }
    double number(const json& v, const std::string& path, double lo, double hi) const {
        if (!v.is_number()) fail(path, "expected a number");
        const double x = v.get<double>();
        if (!(x >= lo && x <= hi))
            fail(path, "must be between " + shortNumber(lo) + " and " + shortNumber(hi));
        return x;
    }
    bool boolean(const json& v, const std::string& path) const {
        if (!v.is_boolean()) fail(path, "expected true or false");
        return v.get<bool>();
    }
    std::string string(const json& v, const std::string& path) const {
        if (!v.is_string()) fail(path, "expected a string");
        return v.get<std::string>();
    }
    SceneVec vec3(const json& v, const std::string& path) const {
        if (!v.is_array() || v.size() != 3) fail(path, "expected an array of 3 numbers");
        SceneVec r;
        float* out[3] = {&r.x, &r.y, &r.z};
        for (size_t i = 0; i < 3; ++i) {
            *out[i] = float(number(v[i], path + "[" + std::to_string(i) + "]", -1e30, 1e30));
        }
        return r;
    }

private:
    std::string file_;
    const JsonLines& lines_;
};

}  // namespace

Scene loadSceneFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw SceneError("cannot open scene file: " + path);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& e) {
        const int line = lineAtOffset(text, e.byte > 0 ? size_t(e.byte - 1) : 0);
        std::string what = e.what();
        // Keep the parser's own explanation after its position prefix.
        const size_t colon = what.find(": ", what.find("parse error"));
        if (colon != std::string::npos) what = what.substr(colon + 2);
        throw SceneError(path + ":" + std::to_string(line) + ": bad JSON: " + what);
    }
    const JsonLines lines(text);
    const Reader r(path, lines);

    Scene scene;
    scene.file = path;
    scene.directory = fs::path(path).parent_path().string();
    r.onlyKeys(root, "",
               {"plugin", "image", "camera", "shading", "frames", "threads", "filter_multiplier",
                "objects"});
    if (root.contains("plugin"))
        scene.pluginPath = resolvePath(scene.directory, r.string(root["plugin"], "plugin"));
    if (root.contains("threads")) scene.threads = r.integer(root["threads"], "threads", 0, 1024);
    if (root.contains("filter_multiplier")) {
        scene.filterMultiplier =
            float(r.number(root["filter_multiplier"], "filter_multiplier", 0.0, 1e6));
    }
    if (root.contains("image")) {
        const json& im = root["image"];
        r.onlyKeys(im, "image", {"width", "height", "spp", "background"});
        if (im.contains("width"))
            scene.width = r.integer(im["width"], "image.width", 1, kMaxImageSide);
        if (im.contains("height"))
            scene.height = r.integer(im["height"], "image.height", 1, kMaxImageSide);
        if (im.contains("spp")) scene.spp = r.integer(im["spp"], "image.spp", 1, 4096);
        if (im.contains("background"))
            scene.background = r.vec3(im["background"], "image.background");
    }
    if (root.contains("camera")) {
        const json& cam = root["camera"];
        r.onlyKeys(cam, "camera", {"position", "look_at", "up", "fov"});
        if (cam.contains("position")) {
            scene.camera.position = r.vec3(cam["position"], "camera.position");
            scene.camera.hasPosition = true;
        }
        if (cam.contains("look_at")) {
            scene.camera.lookAt = r.vec3(cam["look_at"], "camera.look_at");
            scene.camera.hasLookAt = true;
        }
        if (cam.contains("up")) scene.camera.up = r.vec3(cam["up"], "camera.up");
        if (cam.contains("fov"))
            scene.camera.fov = float(r.number(cam["fov"], "camera.fov", 1.0, 170.0));
    }
    if (root.contains("shading")) {
        const json& sh = root["shading"];
        r.onlyKeys(sh, "shading", {"headlight", "ambient"});
        if (sh.contains("headlight"))
            scene.headlight = r.boolean(sh["headlight"], "shading.headlight");
        if (sh.contains("ambient"))
            scene.ambient = float(r.number(sh["ambient"], "shading.ambient", 0.0, 1.0));
    }
    if (root.contains("frames")) {
        const json& fr = root["frames"];
        r.onlyKeys(fr, "frames", {"start", "end", "fps"});
        if (fr.contains("start"))
            scene.frameStart = r.integer(fr["start"], "frames.start", -1000000, 1000000);
        scene.frameEnd = scene.frameStart;
        if (fr.contains("end"))
            scene.frameEnd = r.integer(fr["end"], "frames.end", -1000000, 1000000);
        if (fr.contains("fps")) scene.fps = r.number(fr["fps"], "frames.fps", 1e-3, 1e6);
        if (scene.frameEnd < scene.frameStart)
            r.fail("frames.end", "must not be before frames.start");
    }
    if (!root.contains("objects")) throw SceneError(path + ":1: key 'objects' is missing");
    const json& objects = root["objects"];
    if (!objects.is_array() || objects.empty())
        r.fail("objects", "expected a non-empty array of objects");
    for (size_t i = 0; i < objects.size(); ++i) {
        const std::string op = "objects[" + std::to_string(i) + "]";
        const json& o = objects[i];
        r.onlyKeys(o, op, {"mesh", "translate", "mesh_source", "texture"});
        SceneObject obj;
        obj.where = r.where(op);
        if (!o.contains("mesh")) r.fail(op, "has no \"mesh\"");
        obj.meshPath = resolvePath(scene.directory, r.string(o["mesh"], op + ".mesh"));
        if (o.contains("translate")) obj.translate = r.vec3(o["translate"], op + ".translate");
        if (o.contains("mesh_source")) {
            const std::string s = r.string(o["mesh_source"], op + ".mesh_source");
            if (s == "parameters")
                obj.meshSource = MeshSource::Parameters;
            else if (s == "interface")
                obj.meshSource = MeshSource::Interface;
            else
                r.fail(op + ".mesh_source", "must be \"parameters\" or \"interface\"");
        }
        bool hasFile = false;
        if (o.contains("texture")) {
            const json& t = o["texture"];
            if (!t.is_object()) r.fail(op + ".texture", "expected an object of plugin parameters");
            for (auto it = t.begin(); it != t.end(); ++it) {
                const std::string tp = op + ".texture." + it.key();
                TextureSetting s{it.key(), it.value(), r.where(tp)};
                if (it.key() == "ptex_file") {
                    s.value = resolvePath(scene.directory, r.string(it.value(), tp));
                    hasFile = true;
                }
                obj.texture.push_back(std::move(s));
            }
        }
        if (!hasFile && hasExtension(obj.meshPath, ".ptx")) {
            obj.texture.push_back(TextureSetting{"ptex_file", obj.meshPath, obj.where});
        }
        scene.objects.push_back(std::move(obj));
    }
    return scene;
}

Scene sceneFromMesh(const std::string& meshPath) {
    Scene scene;
    SceneObject obj;
    obj.meshPath = meshPath;
    obj.where = meshPath;
    if (hasExtension(meshPath, ".ptx"))
        obj.texture.push_back(TextureSetting{"ptex_file", meshPath, meshPath});
    scene.objects.push_back(std::move(obj));
    return scene;
}
