// ZUtils::CharString: the host's reference-counted, immutable text.
//
// Copies share one block (the count is atomic, so copies may live on several
// threads). An unset string has no text: ptr() returns null. An empty text
// ("") is set and not the same as unset. The text block is taken from the
// runtime heap (malloc) inside libzento, never through a module's operator new,
// so strings may travel freely between the host and any plugin.
#pragma once

#include <cstddef>

#include "zento/Export.h"

namespace ZUtils {

class ZENTO_API CharString {
public:
    CharString() noexcept = default;
    CharString(const char* text);  // null gives an unset string
    CharString(const char* text, size_t length);
    CharString(const CharString& other) noexcept;
    CharString(CharString&& other) noexcept;
    CharString& operator=(const CharString& other) noexcept;
    CharString& operator=(CharString&& other) noexcept;
    CharString& operator=(const char* text);
    ~CharString();

    // The characters, NUL-terminated; null when unset.
    const char* ptr() const noexcept;
    // Length in bytes without the NUL; 0 when unset.
    size_t length() const noexcept;
    bool isSet() const noexcept { return rep_ != nullptr; }
    // True when unset or empty.
    bool empty() const noexcept { return length() == 0; }
    // Number of CharString objects sharing this text (0 when unset).
    int useCount() const noexcept;

    void set(const char* text);
    void clear() noexcept;

    friend ZENTO_API bool operator==(const CharString& a, const CharString& b) noexcept;

private:
    struct Rep;
    Rep* rep_ = nullptr;
};

}  // namespace ZUtils
