// Writes the seed corpora of the fuzz targets: make_seeds OUTDIR
// creates OUTDIR/<target>/seedN for every target. Run at build time.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Ptexture.h"

namespace {

namespace fs = std::filesystem;

void put(const fs::path& dir, int index, const std::string& bytes) {
    fs::create_directories(dir);
    const fs::path file = dir / ("seed" + std::to_string(index));
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) return;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
}

template <class T>
std::string raw(T value) {
    std::string bytes(sizeof value, '\0');
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

// Sequence name input: number, 16-bit buffer size, probe choice, pattern.
std::string sequenceSeed(int32_t number, uint16_t size, uint8_t choice,
                         const std::string& pattern) {
    return raw(number) + raw(size) + raw(choice) + pattern;
}

// List input: end condition, start frame, rate, list text.
std::string listSeed(int8_t condition, int32_t start, float rate, const std::string& text) {
    return raw(condition) + raw(start) + raw(rate) + text;
}

// Writer input: bytes of a small deterministic generator (the target reads them
// as a texture description, so any bytes make some texture).
std::string writerSeed(uint32_t seed, size_t length) {
    std::string bytes(length, '\0');
    for (char& c : bytes) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        c = char(seed >> 11);
    }
    return bytes;
}

// Small .ptx files from our writer: each mesh and data type, alpha, constant and
// unwritten faces, a tiled face, metadata of every type (small and large) and
// incremental edits.
struct PtexSeed {
    Ptex::MeshType mt;
    Ptex::DataType dt;
    int nchan, alpha, nfaces;
    bool mipmaps;
    int maxLog2;  // faces 0.. get res growing up to this
    bool tiled;   // face 0 large enough to be stored in tiles
};

void fillFace(std::vector<uint8_t>& data, const PtexSeed& s, Ptex::Res res, int face) {
    const int psize = Ptex::DataSize(s.dt) * s.nchan;
    data.resize(size_t(res.size()) * size_t(psize));
    std::vector<float> pixel(size_t(s.nchan));
    for (int v = 0; v < res.v(); v++)
        for (int u = 0; u < res.u(); u++) {
            for (int c = 0; c < s.nchan; c++)
                pixel[size_t(c)] = float((u * (c + 1) + v * 5 + face * 7) % 31) / 30.0f;
            Ptex::ConvertFromFloat(&data[(size_t(v) * size_t(res.u()) + size_t(u)) * size_t(psize)],
                                   pixel.data(), s.dt, s.nchan);
        }
}

bool writePtexSeed(const std::string& path, const PtexSeed& s, bool edit) {
    Ptex::String error;
    PtexWriter* w =
        PtexWriter::open(path.c_str(), s.mt, s.dt, s.nchan, s.alpha, s.nfaces, error, s.mipmaps);
    if (!w) return false;
    const int psize = Ptex::DataSize(s.dt) * s.nchan;
    std::vector<uint8_t> data;
    for (int f = 0; f < s.nfaces; f++) {
        if (f == s.nfaces - 1 && s.nfaces > 2) continue;  // left unwritten
        int8_t ul = int8_t(std::min(s.maxLog2, 1 + f)),
               vl = s.mt == Ptex::mt_triangle ? ul : int8_t(std::max(0, ul - f % 2));
        if (f == 0 && s.tiled) ul = vl = 7;
        int adj[4] = {(f + 1) % s.nfaces, -1, f > 0 ? f - 1 : -1, -1};
        int edges[4] = {2, 0, 0, 0};
        Ptex::FaceInfo info(Ptex::Res(ul, vl), adj, edges, f == 1);
        if (f == 2) {
            std::vector<uint8_t> pixel(size_t(psize), uint8_t(0x40));
            w->writeConstantFace(f, info, pixel.data());
        } else {
            fillFace(data, s, info.res, f);
            w->writeFace(f, info, data.data());
        }
    }
    const int8_t i8[] = {-1, 2, 3};
    const int16_t i16[] = {-300, 7};
    const int32_t i32[] = {1 << 20};
    const float f32[] = {0.5f, -2.0f};
    const double f64[] = {1e-300, 3.25};
    w->writeMeta("name", "seed");
    w->writeMeta("i8", i8, 3);
    w->writeMeta("i16", i16, 2);
    w->writeMeta("i32", i32, 1);
    w->writeMeta("f32", f32, 2);
    w->writeMeta("f64", f64, 2);
    std::vector<int32_t> large(400);
    for (size_t i = 0; i < large.size(); i++) large[i] = int32_t(i * i);
    w->writeMeta("large", large.data(), int(large.size()));
    w->setBorderModes(Ptex::m_clamp, Ptex::m_periodic);
    bool ok = w->close(error);
    w->release();
    if (!ok || !edit) return ok;

    w = PtexWriter::edit(path.c_str(), true, s.mt, s.dt, s.nchan, s.alpha, s.nfaces, error,
                         s.mipmaps);
    if (!w) return false;
    int adj[4] = {-1, -1, -1, -1}, edges[4] = {0, 0, 0, 0};
    Ptex::FaceInfo info(Ptex::Res(2, 2), adj, edges);
    fillFace(data, s, info.res, 9);
    w->writeFace(0, info, data.data());
    std::vector<uint8_t> pixel(size_t(psize), uint8_t(0x11));
    w->writeConstantFace(1, info, pixel.data());
    w->writeMeta("name", "edited");
    ok = w->close(error);
    w->release();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds OUTDIR\n");
        return 2;
    }
    const fs::path root = argv[1];

    const std::vector<std::string> names = {
        "abc",   "caf\xC3\xA9.ptx",  "\xF0\x9F\x98\x80",         "\xC0\x80",
        "\xE9x", "\xF4\x80\x81\x81", "\xED\xA0\x80\xED\xB0\x80", "\xFF\xFE\xF8\x88\x80\x80\x80",
    };
    for (size_t i = 0; i < names.size(); ++i) put(root / "fuzz_utf8", int(i), names[i]);

    const std::vector<std::string> sequences = {
        sequenceSeed(12, 1024, 6, "tex/wall_0001.ptx"), sequenceSeed(123, 1024, 1, "wall_01.ptx"),
        sequenceSeed(0, 1024, 3, "wall_0001.ptx"),      sequenceSeed(5, 1024, 0, "shot2/wall.ptx"),
        sequenceSeed(-5, 1024, 9, "wall_0001.ptx"),     sequenceSeed(INT32_MIN, 12, 2, "w1.ptx"),
        sequenceSeed(7, 1024, 6, "wall.ptx"),
    };
    for (size_t i = 0; i < sequences.size(); ++i)
        put(root / "fuzz_sequence_name", int(i), sequences[i]);

    const std::vector<std::string> lists = {
        listSeed(0, 0, 1.0f, "a.ptx 3\nb.ptx\na.ptx\n"),
        listSeed(1, 10, 0.5f, "a.ptx   4   ; four frames\r\nc d.ptx 2\nsub/e.ptx\n"),
        listSeed(2, -3, -1.0f, "nested.ifl\nsub/deep.IFL 5\nlist.ifl\n"),
        listSeed(0, 0, 1.0f, "a.ptx 5000\n; only a comment\n\n \t \nb.ptx 0\n"),
        listSeed(1, 0, 2.0f, "a.ptx\nmissing.ptx\n"),
        listSeed(3, 0, 1.0f, "a.ptx\n"),
    };
    for (size_t i = 0; i < lists.size(); ++i) put(root / "fuzz_image_file_list", int(i), lists[i]);

    const size_t writerLengths[] = {16, 40, 64, 100, 160, 256, 400, 700, 1200, 2000};
    for (size_t i = 0; i < sizeof writerLengths / sizeof writerLengths[0]; ++i)
        put(root / "fuzz_ptex_writer", int(i),
            writerSeed(uint32_t(0x9E3779B9u * (i + 1)), writerLengths[i]));

    const PtexSeed ptexSeeds[] = {
        {Ptex::mt_quad, Ptex::dt_uint8, 3, -1, 5, true, 4, false},
        {Ptex::mt_triangle, Ptex::dt_float, 1, -1, 4, false, 3, false},
        {Ptex::mt_quad, Ptex::dt_half, 4, 3, 4, true, 4, false},
        {Ptex::mt_quad, Ptex::dt_uint16, 4, 0, 2, true, 3, true},
        {Ptex::mt_triangle, Ptex::dt_uint8, 2, 1, 5, true, 4, false},
    };
    fs::create_directories(root / "fuzz_ptex_reader");
    int index = 0;
    for (const PtexSeed& s : ptexSeeds) {
        for (bool edit : {false, true}) {
            const fs::path file =
                root / "fuzz_ptex_reader" / ("seed" + std::to_string(index++) + ".ptx");
            if (!writePtexSeed(file.string(), s, edit)) {
                std::fprintf(stderr, "make_seeds: could not write %s\n", file.c_str());
                return 1;
            }
        }
    }
    return 0;
}
