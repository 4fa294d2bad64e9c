// Bounded formatting and the debugger output of the allocation failure report.
//
// boundedSprintf(buffer, size, format, ...): printf-style formatting into a
// buffer of `size` bytes. size <= 0 (or a null buffer) writes nothing and
// returns 0. Otherwise at most size - 1 characters are written and the text is
// always terminated; the result is the number of characters written, or -1
// when the text did not fit in size - 1 characters (it is then cut) or the
// formatting failed (the buffer then holds an empty text).
//
// debugPrintf(format, ...): formats at most 511 characters (always terminated)
// into a 512-byte buffer on the stack and sends the text, as one string, to
// the debugger output sink. Allocates nothing.
//
// The sink is replaceable (setDebugOutputSink; null restores the default,
// which writes the text to stderr with one write call). The sink must not
// allocate: it runs when the heap has just refused a request. Setting the sink
// is meant for start-up and tests; reading it is thread-safe.
#pragma once

#include <cstdarg>

int boundedSprintf(char* buffer, int size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int boundedVsprintf(char* buffer, int size, const char* format, va_list args);

void debugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

using DebugOutputSink = void (*)(const char* text);

// Installs `sink` (null: the default) and returns the previous one.
DebugOutputSink setDebugOutputSink(DebugOutputSink sink);
void debugOutputToStderr(const char* text);

inline constexpr int DEBUG_OUTPUT_BUFFER_SIZE = 512;
