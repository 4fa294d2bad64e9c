#pragma once
// Opening files named by UTF-8 byte strings through the wide-character file interface.
//
// FILE* utf8Open(const char* path, const char* mode)
//   Counts the UTF-16 units of path and of mode (utf8ToUtf16 in counting mode), converts
//   both into scratch storage of count + 2 units on the stack, and opens with wideOpen.
//   Names of any bytes, invalid UTF-8 included, open the file they name. Returns null
//   with errno set when the platform refuses; a name longer than kMaxWideUnits units
//   (or a mode longer than kMaxModeUnits) fails with ENAMETOOLONG. No heap allocation
//   of its own.
//
// FILE* wideOpen(const char16_t* path, const char16_t* mode)
//   The platform's wide-character open. Where file calls take byte strings (Linux), the
//   units are turned back into the original bytes (utf16ToUtf8: escaped bytes come back
//   unchanged) and opened with fopen; a name of more than kMaxNarrowBytes bytes fails
//   with ENAMETOOLONG. A name spelling surrogates as 3-byte sequences (see Utf8.h) may
//   then reach another file than its bytes name; the byte-string open has no such limit.

#include <cstddef>
#include <cstdio>

// Scratch limits: a 4096-byte name gives at most 8192 units.
inline constexpr size_t kMaxWideUnits = 8192;
inline constexpr size_t kMaxModeUnits = 16;
inline constexpr size_t kMaxNarrowBytes = 4096;

FILE* utf8Open(const char* path, const char* mode);

FILE* wideOpen(const char16_t* path, const char16_t* mode);
