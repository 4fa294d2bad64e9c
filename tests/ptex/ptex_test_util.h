#ifndef PtexTestUtil_h
#define PtexTestUtil_h
// Helpers shared by the Ptex tests: a scratch directory unique to the process
// (ctest runs test cases as parallel processes, so fixed temp names collide),
// file bytes, deterministic face images, an error collector and the golden data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PtexHalf.h"
#include "Ptexture.h"

namespace PtexTest {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

class ScratchDir {
public:
    ScratchDir() {
        std::string p = (fs::temp_directory_path() / "ptex-test-XXXXXX").string();
        if (mkdtemp(p.data())) _path = p;
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!_path.empty()) fs::remove_all(_path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    bool ok() const { return !_path.empty(); }
    std::string file(const std::string& name) const { return _path + "/" + name; }
    const std::string& path() const { return _path; }

private:
    std::string _path;
};

inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

struct Collect : public PtexErrorHandler {
    std::vector<std::string> errors;
    void reportError(const char* e) override { errors.push_back(e); }
};

// Deterministic generator (xorshift), so failures reproduce.
struct Rng {
    uint32_t s;
    uint32_t next() { return s ^= s << 13, s ^= s >> 17, s ^= s << 5; }
    float unit() { return float(next() & 0xffffff) / float(0x1000000); }
};

// Gradients plus noise, never uniform beyond one texel; integer samples wrap,
// half and float ones span [-1, 3].
inline Bytes makeImage(Ptex::Res res, Ptex::DataType dt, int nch, uint32_t seed) {
    Rng rng{seed | 1};
    const size_t ss = size_t(Ptex::DataSize(dt));
    Bytes img(size_t(res.size()) * nch * ss);
    for (size_t i = 0; i < img.size() / ss; i++) {
        const size_t u = i / nch % res.u(), v = i / nch / res.u(), c = i % nch;
        const float g =
            (float(u) / res.u() + float(v) / res.v() * (c + 1)) * 0.4f + rng.unit() * 0.2f;
        const float f = g * 4.0f - 1.0f;
        const uint16_t h =
            dt == Ptex::dt_half ? PtexHalf::fromFloat(f) : uint16_t(uint32_t(g * 65535));
        if (dt == Ptex::dt_uint8)
            img[i] = uint8_t(uint32_t(g * 255));
        else
            std::memcpy(&img[i * ss], dt == Ptex::dt_float ? static_cast<const void*>(&f) : &h, ss);
    }
    return img;
}

inline Ptex::FaceInfo quadInfo(int ulog2, int vlog2, int f0 = -1, int f1 = -1, int f2 = -1,
                               int f3 = -1, int e0 = 0, int e1 = 0, int e2 = 0, int e3 = 0) {
    Ptex::FaceInfo info{Ptex::Res(int8_t(ulog2), int8_t(vlog2))};
    info.setadjfaces(f0, f1, f2, f3);
    info.setadjedges(e0, e1, e2, e3);
    return info;
}

inline std::string goldenDir() {
    return std::string(ZENTO_TESTDATA_DIR) + "/ptex";
}
inline bool haveGolden() {
    return fs::is_directory(goldenDir());
}

// Golden .ptx paths sorted by name, or {"missing"} so a parameterised suite
// still instantiates and skips with a message.
inline std::vector<std::string> goldenParams() {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(goldenDir(), ec))
        if (e.path().extension() == ".ptx") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    if (files.empty()) files.push_back("missing");
    return files;
}

inline std::string paramName(const ::testing::TestParamInfo<std::string>& info) {
    std::string n = info.param.substr(info.param.find_last_of('/') + 1);
    for (char& c : n)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
}

#define PTEX_REQUIRE_GOLDEN(path)                       \
    if ((path) == "missing" || !PtexTest::haveGolden()) \
        GTEST_SKIP() << "golden Ptex data not found in " << PtexTest::goldenDir();

}  // namespace PtexTest

#endif
