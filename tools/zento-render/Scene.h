// Scene: what zento-render draws, read from a JSON scene file or made from a
// single mesh (OBJ or .ptx with mesh metadata). The format is described in
// the README; every key is optional except "objects".
//
// loadSceneFile throws SceneError with "FILE:LINE: key 'PATH': reason" for a
// file that cannot be read, bad JSON (the line of the syntax error), an
// unknown key, or a value of the wrong type or range. Texture parameter values
// are kept as JSON with their lines: they are checked against the plugin's
// parameter table when they are set (PluginSession).
#pragma once

#include <nlohmann/json.hpp>

#include <stdexcept>
#include <string>
#include <vector>

// The largest image width and height.
constexpr int kMaxImageSide = 16384;

struct SceneError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct SceneVec {
    float x = 0, y = 0, z = 0;
};

// One texture parameter as written in the scene.
struct TextureSetting {
    std::string name;
    nlohmann::json value;
    std::string where;  // "FILE:LINE: key 'PATH'" for messages
};

enum class MeshSource { Parameters, Interface };

struct SceneObject {
    std::string meshPath;  // .obj or .ptx, resolved against the scene's folder
    SceneVec translate;
    MeshSource meshSource = MeshSource::Parameters;
    std::vector<TextureSetting> texture;
    std::string where;
};

struct SceneCamera {
    bool hasPosition = false, hasLookAt = false;
    SceneVec position, lookAt, up{0, 1, 0};
    float fov = 40.0f;  // vertical, degrees
};

struct Scene {
    std::string file;        // the scene file ("" when made from a mesh)
    std::string directory;   // where relative paths are found
    std::string pluginPath;  // "" = the default location
    int width = 640, height = 480, spp = 4;
    SceneVec background{0.18f, 0.18f, 0.2f};
    bool headlight = false;
    float ambient = 0.25f;
    int frameStart = 1, frameEnd = 1;
    double fps = 24.0;
    int threads = 0;  // 0 = all hardware threads
    float filterMultiplier = 1.0f;
    SceneCamera camera;
    std::vector<SceneObject> objects;
};

Scene loadSceneFile(const std::string& path);
// A scene of one mesh; a .ptx mesh also becomes the texture's ptex_file.
Scene sceneFromMesh(const std::string& meshPath);
// Resolves a relative path against a directory when the file exists there.
std::string resolvePath(const std::string& directory, const std::string& path);
