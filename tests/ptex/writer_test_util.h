#ifndef PtexWriterTestUtil_h
#define PtexWriterTestUtil_h
// Helpers shared by the writer, round-trip and bad-input tests: a scratch
// directory removed with its contents, deterministic face images, and file
// byte access.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "PtexHalf.h"
#include "Ptexture.h"

namespace PtexWriterTest {

class ScratchDir {
public:
    ScratchDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ptexwriter-test-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data())) _path = buf.data();
    }
    ~ScratchDir()
    {
        std::error_code ec;
        if (!_path.empty()) std::filesystem::remove_all(_path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    bool ok() const { return !_path.empty(); }
    std::string file(const std::string& name) const { return _path + "/" + name; }
    const std::string& path() const { return _path; }

private:
    std::string _path;
};

inline bool fileExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

inline std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

// Small deterministic generator (xorshift), so failures reproduce.
class Rng {
public:
    explicit Rng(uint32_t seed) : _s(seed ? seed : 1) {}
    uint32_t next()
    {
        _s ^= _s << 13;
        _s ^= _s >> 17;
        _s ^= _s << 5;
        return _s;
    }
    float unit() { return float(next() & 0xffffff) / float(0x1000000); }

private:
    uint32_t _s;
};

// A face image of res at data type dt: smooth gradients plus noise, never
// uniform unless the face has a single texel. Half/float values span [-1, 3].
inline std::vector<uint8_t> makeImage(Ptex::Res res, Ptex::DataType dt, int nch, uint32_t seed)
{
    Rng rng(seed);
    const int ss = Ptex::DataSize(dt);
    std::vector<uint8_t> img(size_t(res.size()) * nch * ss);
    for (int v = 0; v < res.v(); v++)
        for (int u = 0; u < res.u(); u++)
            for (int c = 0; c < nch; c++) {
                const float g = (float(u) / float(res.u()) + float(v) / float(res.v()) * (c + 1)) * 0.4f + rng.unit() * 0.2f;
                uint8_t* p = &img[((size_t(v) * res.u() + u) * nch + c) * ss];
                switch (dt) {
                case Ptex::dt_uint8: *p = uint8_t(g * 255.0f); break;
                case Ptex::dt_uint16: {
                    uint16_t x = uint16_t(g * 65535.0f);
                    std::memcpy(p, &x, 2);
                    break;
                }
                case Ptex::dt_half: {
                    uint16_t x = PtexHalf::fromFloat(g * 4.0f - 1.0f);
                    std::memcpy(p, &x, 2);
                    break;
                }
                case Ptex::dt_float: {
                    float x = g * 4.0f - 1.0f;
                    std::memcpy(p, &x, 4);
                    break;
                }
                }
            }
    return img;
}

inline Ptex::FaceInfo quadInfo(int ulog2, int vlog2, int f0 = -1, int f1 = -1, int f2 = -1, int f3 = -1,
                               int e0 = 0, int e1 = 0, int e2 = 0, int e3 = 0)
{
    Ptex::FaceInfo info{Ptex::Res(int8_t(ulog2), int8_t(vlog2))};
    info.setadjfaces(f0, f1, f2, f3);
    info.setadjedges(e0, e1, e2, e3);
    return info;
}

inline std::string testdataDir()
{
#ifdef ZENTO_TESTDATA_DIR
    return std::string(ZENTO_TESTDATA_DIR) + "/ptex";
#else
    return std::string();
#endif
}

// Golden .ptx files, sorted by name; empty when the directory is missing.
inline std::vector<std::string> goldenFiles()
{
    std::vector<std::string> files;
    const std::string dir = testdataDir();
    std::error_code ec;
    if (dir.empty() || !std::filesystem::is_directory(dir, ec)) return files;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        if (entry.path().extension() == ".ptx") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace PtexWriterTest

#endif
