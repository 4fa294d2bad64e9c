#include "support/Utf8.h"

#include <bit>
#include <cstdint>

namespace {

// Largest value that is still overlong for a sequence of (index + 2) bytes. The last
// entry makes every 8-byte sequence invalid.
constexpr uint64_t kOverlongMax[7] = {0x7F,      0x7FF,      0xFFFF,    0x1FFFFF,
                                      0x3FFFFFF, 0x7FFFFFFF, 0xFFFFFFFF};

// Raw bytes travel through UTF-16 as U+100000 + byte.
constexpr uint32_t kEscapeFirst = 0x100000;
constexpr uint32_t kEscapeLast = 0x1000FF;
constexpr char16_t kEscapeHigh = 0xDBC0;
constexpr char16_t kLowBase = 0xDC00;

bool isHighSurrogate(uint32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(uint32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

size_t utf8ToUtf16(const char* source, char16_t* destination, size_t capacity) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(source ? source : "");
    size_t count = 0;
    // count never exceeds capacity while writing, so the subtraction cannot wrap.
    auto fits = [&](size_t units) { return !destination || capacity - count >= units; };

    while (*s) {
        if (destination && count >= capacity) return count;
        const unsigned lead = *s;
        const int n = std::countl_one(static_cast<uint8_t>(lead));
        if (n == 0) {
            if (destination) destination[count] = static_cast<char16_t>(lead);
            ++count;
            ++s;
            continue;
        }

        // Gather the sequence; a byte that is not a continuation byte ends it unconsumed
        // (the terminating zero is such a byte, so reading never passes the end).
        int consumed = 1;
        bool valid = false;
        uint64_t value = 0;
        if (n >= 2) {
            value = lead & (0x3Fu >> (n - 1));
            while (consumed < n && (s[consumed] & 0xC0) == 0x80) {
                value = (value << 6) | (s[consumed] & 0x3F);
                ++consumed;
            }
            valid = consumed == n && value > kOverlongMax[n - 2] &&
                    !(value >= kEscapeFirst && value <= kEscapeLast) && value < 0x110000;
        }

        if (valid) {
            if (value <= 0xFFFF) {
                if (!fits(1)) return count;
                if (destination) destination[count] = static_cast<char16_t>(value);
                count += 1;
            } else {
                if (!fits(2)) return count;
                if (destination) {
                    destination[count] = static_cast<char16_t>((value >> 10) + 0xD7C0);
                    destination[count + 1] = static_cast<char16_t>((value & 0x3FF) + kLowBase);
                }
                count += 2;
            }
        } else {
            for (int i = 0; i < consumed; ++i) {
                if (!fits(2)) return count;
                if (destination) {
                    destination[count] = kEscapeHigh;
                    destination[count + 1] = static_cast<char16_t>(kLowBase + s[i]);
                }
                count += 2;
            }
        }
        s += consumed;
    }
    if (destination && count < capacity) destination[count] = 0;
    return count;
}

size_t utf16ToUtf8(const char16_t* source, char* destination, size_t capacity) {
    static const char16_t kEmpty[1] = {0};
    const char16_t* s = source ? source : kEmpty;
    size_t count = 0;
    unsigned char bytes[4];

    while (*s) {
        const uint32_t u = *s;
        int length = 0;
        if (isHighSurrogate(u) && isLowSurrogate(s[1])) {
            const uint32_t cp = ((u - 0xD7C0) << 10) + (s[1] - kLowBase);
            s += 2;
            if (cp >= kEscapeFirst && cp <= kEscapeLast) {
                const uint32_t raw = cp - kEscapeFirst;
                if (raw == 0) break;  // a byte string cannot carry it
                bytes[0] = static_cast<unsigned char>(raw);
                length = 1;
            } else {
                bytes[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
                bytes[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
                bytes[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
                bytes[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
                length = 4;
            }
        } else {
            ++s;
            if (u < 0x80) {
                bytes[0] = static_cast<unsigned char>(u);
                length = 1;
            } else if (u < 0x800) {
                bytes[0] = static_cast<unsigned char>(0xC0 | (u >> 6));
                bytes[1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
                length = 2;
            } else {
                bytes[0] = static_cast<unsigned char>(0xE0 | (u >> 12));
                bytes[1] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
                bytes[2] = static_cast<unsigned char>(0x80 | (u & 0x3F));
                length = 3;
            }
        }
        if (destination) {
            if (capacity - count < static_cast<size_t>(length)) return count;
            for (int i = 0; i < length; ++i) destination[count + i] = static_cast<char>(bytes[i]);
        }
        count += length;
    }
    if (destination && count < capacity) destination[count] = 0;
    return count;
}
