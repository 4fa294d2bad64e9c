// Fuzz target: numbered sequence file names.
// Input: 4 bytes of sequence number, 2 bytes of buffer size, 1 byte choosing which
// probe the asset check accepts (and whether it rewrites the path), then the pattern.
// Checks: the result is terminated inside the buffer, nothing is written past it, at
// most six probes are made, and a pattern without digits is copied unchanged.
#include "sequence/SequenceName.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int probes = 0;
int acceptAt = -1;
bool rewrite = false;

void require(bool condition) {
    if (!condition) std::abort();
}

bool check(char* path, int size, ZUtils::ProgressCallback*, bool flag) {
    require(!flag);
    require(std::memchr(path, 0, static_cast<size_t>(size)) != nullptr);
    if (probes++ != acceptAt) return false;
    if (rewrite) {
        std::memset(path, 'r', static_cast<size_t>(size - 1));
        path[size - 1] = 0;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 7) return 0;
    int32_t number;
    std::memcpy(&number, data, 4);
    const int outSize = (data[4] | (data[5] << 8)) % 1100;
    acceptAt = (data[6] & 7) < 6 ? (data[6] & 7) : -1;
    rewrite = (data[6] & 8) != 0;
    const std::string pattern(reinterpret_cast<const char*>(data + 7),
                              strnlen(reinterpret_cast<const char*>(data + 7), size - 7));

    std::vector<char> out(static_cast<size_t>(outSize) + 8, '\x7E');
    probes = 0;
    makeSequenceFileName(pattern.c_str(), number, outSize > 0 ? out.data() : nullptr, outSize,
                         nullptr, &check);
    if (outSize <= 0) return 0;
    for (size_t i = static_cast<size_t>(outSize); i < out.size(); ++i) require(out[i] == '\x7E');
    const char* end =
        static_cast<const char*>(std::memchr(out.data(), 0, static_cast<size_t>(outSize)));
    require(end != nullptr);
    require(probes <= 6);
    const size_t kept = pattern.size() < static_cast<size_t>(outSize - 1)
                            ? pattern.size()
                            : static_cast<size_t>(outSize - 1);
    if (pattern.find_first_of("0123456789") == std::string::npos) {
        require(probes == 0);
        require(std::string(out.data()) == pattern.substr(0, kept));
    }
    (void)sequenceNumber(number, static_cast<int>(pattern.size()));
    return 0;
}
