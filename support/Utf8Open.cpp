#include "support/Utf8Open.h"

#include "support/Utf8.h"

#include <cerrno>

FILE* utf8Open(const char* path, const char* mode) {
    // Fixed stack scratch rather than a runtime-sized block: a hostile name cannot
    // exhaust the stack, and nothing touches the heap.
    char16_t widePath[kMaxWideUnits + 2];
    char16_t wideMode[kMaxModeUnits + 2];
    const size_t pathUnits = utf8ToUtf16(path, nullptr, 0);
    const size_t modeUnits = utf8ToUtf16(mode, nullptr, 0);
    if (pathUnits > kMaxWideUnits || modeUnits > kMaxModeUnits) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    utf8ToUtf16(path, widePath, pathUnits + 2);
    utf8ToUtf16(mode, wideMode, modeUnits + 2);
    return wideOpen(widePath, wideMode);
}

FILE* wideOpen(const char16_t* path, const char16_t* mode) {
#ifdef _WIN32
    return _wfopen(reinterpret_cast<const wchar_t*>(path), reinterpret_cast<const wchar_t*>(mode));
#else
    char narrowPath[kMaxNarrowBytes + 1];
    char narrowMode[kMaxModeUnits * 3 + 1];
    const size_t pathBytes = utf16ToUtf8(path, nullptr, 0);
    const size_t modeBytes = utf16ToUtf8(mode, nullptr, 0);
    if (pathBytes > kMaxNarrowBytes || modeBytes > kMaxModeUnits * 3) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    utf16ToUtf8(path, narrowPath, pathBytes + 1);
    utf16ToUtf8(mode, narrowMode, modeBytes + 1);
    return std::fopen(narrowPath, narrowMode);
#endif
}
