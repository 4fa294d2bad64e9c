#include "engine_test_files.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "Ptexture.h"

namespace {

// The folder and everything written into it go when the test program ends.
struct ScratchDir {
    std::string path;
    ScratchDir() {
        char pattern[] = "/tmp/zento-engine-XXXXXX";
        if (const char* made = ::mkdtemp(pattern)) path = made;
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::string& testFileDir() {
    static const ScratchDir dir;
    return dir.path;
}

std::string writeTestTexture(const std::string& name, int channels, int alphaChannel,
                             bool mipmaps) {
    const std::string path = testFileDir() + "/" + name;
    Ptex::String error;
    PtexWriter* w = PtexWriter::open(path.c_str(), Ptex::mt_quad, Ptex::dt_float, channels,
                                     alphaChannel, 1, error, mipmaps);
    if (!w) return "";
    std::vector<float> texels(static_cast<size_t>(64 * channels));
    for (int t = 0; t < 64; ++t) {
        for (int c = 0; c < channels; ++c)
            texels[static_cast<size_t>(t * channels + c)] = (c + 1) / 10.0f + t * 0.001f;
    }
    Ptex::FaceInfo info(Ptex::Res(3, 3));
    const bool ok = w->writeFace(0, info, texels.data());
    const bool closed = w->close(error);
    w->release();
    return ok && closed ? path : "";
}
