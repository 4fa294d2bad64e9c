// Writes the seed corpora of the fuzz targets: make_seeds OUTDIR
// creates OUTDIR/<target>/seedN for every target. Run at build time.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

void put(const fs::path& dir, int index, const std::string& bytes)
{
    fs::create_directories(dir);
    const fs::path file = dir / ("seed" + std::to_string(index));
    FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) return;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
}

template <class T>
std::string raw(T value)
{
    std::string bytes(sizeof value, '\0');
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

// Sequence name input: number, 16-bit buffer size, probe choice, pattern.
std::string sequenceSeed(int32_t number, uint16_t size, uint8_t choice, const std::string& pattern)
{
    return raw(number) + raw(size) + raw(choice) + pattern;
}

// List input: end condition, start frame, rate, list text.
std::string listSeed(int8_t condition, int32_t start, float rate, const std::string& text)
{
    return raw(condition) + raw(start) + raw(rate) + text;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds OUTDIR\n");
        return 2;
    }
    const fs::path root = argv[1];

    const std::vector<std::string> names = {
        "abc", "caf\xC3\xA9.ptx", "\xF0\x9F\x98\x80", "\xC0\x80", "\xE9x", "\xF4\x80\x81\x81",
        "\xED\xA0\x80\xED\xB0\x80", "\xFF\xFE\xF8\x88\x80\x80\x80",
    };
    for (size_t i = 0; i < names.size(); ++i) put(root / "fuzz_utf8", int(i), names[i]);

    const std::vector<std::string> sequences = {
        sequenceSeed(12, 1024, 6, "tex/wall_0001.ptx"), sequenceSeed(123, 1024, 1, "wall_01.ptx"),
        sequenceSeed(0, 1024, 3, "wall_0001.ptx"),      sequenceSeed(5, 1024, 0, "shot2/wall.ptx"),
        sequenceSeed(-5, 1024, 9, "wall_0001.ptx"),     sequenceSeed(INT32_MIN, 12, 2, "w1.ptx"),
        sequenceSeed(7, 1024, 6, "wall.ptx"),
    };
    for (size_t i = 0; i < sequences.size(); ++i) put(root / "fuzz_sequence_name", int(i), sequences[i]);

    const std::vector<std::string> lists = {
        listSeed(0, 0, 1.0f, "a.ptx 3\nb.ptx\na.ptx\n"),
        listSeed(1, 10, 0.5f, "a.ptx   4   ; four frames\r\nc d.ptx 2\nsub/e.ptx\n"),
        listSeed(2, -3, -1.0f, "nested.ifl\nsub/deep.IFL 5\nlist.ifl\n"),
        listSeed(0, 0, 1.0f, "a.ptx 5000\n; only a comment\n\n \t \nb.ptx 0\n"),
        listSeed(1, 0, 2.0f, "a.ptx\nmissing.ptx\n"),
        listSeed(3, 0, 1.0f, "a.ptx\n"),
    };
    for (size_t i = 0; i < lists.size(); ++i) put(root / "fuzz_image_file_list", int(i), lists[i]);
    return 0;
}
