// Fuzz target: UTF-8 to UTF-16 conversion and back.
// Checks: the counting pass equals the conversion; no unit is written past the
// capacity, at every capacity tried; a cut never splits a pair it produced; converting
// back and forth is exact for names without encoded surrogates.
#include "support/Utf8.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data),
                           strnlen(reinterpret_cast<const char*>(data), size));
    const char* source = text.c_str();

    const bool hasSurrogateForms = text.find('\xED') != std::string::npos;
    const size_t count = utf8ToUtf16(source, nullptr, 0);
    require(count <= 2 * text.size());
    std::vector<char16_t> full(count + 1, 0x7777);
    require(utf8ToUtf16(source, full.data(), full.size()) == count);
    require(full[count] == 0);

    // A few cut capacities, with guard units behind them.
    const size_t caps[] = {0, 1, count / 2, count > 0 ? count - 1 : 0, count};
    for (size_t capacity : caps) {
        std::vector<char16_t> out(capacity + 4, 0x7777);
        const size_t n = utf8ToUtf16(source, out.data(), capacity);
        require(n <= capacity);
        for (size_t i = capacity; i < out.size(); ++i) require(out[i] == 0x7777);
        for (size_t i = 0; i < n; ++i) require(out[i] == full[i]);
        // Without encoded surrogates in the text every pair was produced as a pair.
        if (n > 0 && n < count && !hasSurrogateForms) {
            require(!(full[n - 1] >= 0xD800 && full[n - 1] <= 0xDBFF));
        }
    }

    // Back to bytes.
    const size_t bytes = utf16ToUtf8(full.data(), nullptr, 0);
    std::string back(bytes + 1, '\x55');
    require(utf16ToUtf8(full.data(), back.data(), back.size()) == bytes);
    require(back[bytes] == 0);
    back.resize(bytes);
    if (!hasSurrogateForms) require(back == text);

    // Names spelling surrogates as 3-byte forms may alias other names (a 3-byte high
    // and low surrogate can spell an escaped byte), so stability is only asked of the rest.
    if (!hasSurrogateForms) {
        const size_t again = utf8ToUtf16(back.c_str(), nullptr, 0);
        std::vector<char16_t> second(again + 1);
        utf8ToUtf16(back.c_str(), second.data(), second.size());
        require(again == count &&
                std::memcmp(second.data(), full.data(), count * sizeof(char16_t)) == 0);
    }
    return 0;
}
