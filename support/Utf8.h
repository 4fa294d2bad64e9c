#pragma once
// Conversion between the module's UTF-8 file names and UTF-16 code units; invalid
// bytes travel through an escape plane instead of being lost.
//
// size_t utf8ToUtf16(const char* source, char16_t* destination, size_t capacity)
//   Converts the NUL-terminated byte string `source` (null counts as empty) and returns
//   the number of code units produced, not counting the terminating zero unit.
//   - destination == nullptr: counting mode; `capacity` is ignored and nothing is written.
//   - otherwise at most `capacity` units are written, never more. A unit, or a surrogate
//     pair, that no longer fits stops the conversion (a pair is never split); the result
//     is then the number of units written and no terminator follows. When the whole text
//     fits and room is left, a zero unit is written after it. A caller that passes the
//     count of a counting pass plus one (or more) gets the whole text and its terminator.
//   The conversion is total: every byte of an invalid sequence (stray continuation byte,
//   truncated sequence, overlong form, value of U+110000 or more, or a value inside the
//   escape plane U+100000..U+1000FF) is emitted, in order, as the surrogate pair of
//   U+100000 + byte (0xDBC0, 0xDC00 + byte). A byte that breaks a sequence is not
//   consumed: it is read again as the next lead byte. Valid values up to U+FFFF, lone
//   surrogate values included, give one unit; higher values give a surrogate pair.
//
// size_t utf16ToUtf8(const char16_t* source, char* destination, size_t capacity)
//   The inverse, for platforms whose file calls take bytes: escape-plane pairs turn back
//   into their raw bytes, pairs into 4-byte sequences, other units into 1 to 3 bytes.
//   Same counting mode and capacity rules (a sequence is never split). Stops at a zero
//   unit, or at an escaped 0x00 byte (a NUL-terminated name cannot hold one).
//   utf16ToUtf8(utf8ToUtf16(s)) == s for every byte string s without the byte 0xED.
//   A name that spells surrogates as 3-byte sequences can come back different: two of
//   them give a surrogate pair, read back as a 4-byte sequence or, for U+DBC0 followed
//   by U+DC00..U+DCFF, as an escaped raw byte. On a platform with a wide-character open
//   such names denote the same file as the name that comes back.

#include <cstddef>

size_t utf8ToUtf16(const char* source, char16_t* destination, size_t capacity);

size_t utf16ToUtf8(const char16_t* source, char* destination, size_t capacity);
