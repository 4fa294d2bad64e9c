// Bounded formatting and the replaceable debugger output sink.
#include "support/alloc_debug.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

std::atomic<DebugOutputSink> g_sink{&debugOutputToStderr};

}  // namespace

int boundedVsprintf(char* buffer, int size, const char* format, va_list args) {
    if (!buffer || size <= 0) return 0;
    if (!format) {
        buffer[0] = '\0';
        return -1;
    }
    const int n = std::vsnprintf(buffer, static_cast<size_t>(size), format, args);
    if (n < 0) {
        buffer[0] = '\0';
        return -1;
    }
    return n < size ? n : -1;  // vsnprintf has cut and terminated the text
}

int boundedSprintf(char* buffer, int size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = boundedVsprintf(buffer, size, format, args);
    va_end(args);
    return n;
}

void debugOutputToStderr(const char* text) {
    if (!text) return;
    size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, text, left);
        if (written <= 0) return;
        text += written;
        left -= static_cast<size_t>(written);
    }
}

DebugOutputSink setDebugOutputSink(DebugOutputSink sink) {
    return g_sink.exchange(sink ? sink : &debugOutputToStderr);
}

void debugPrintf(const char* format, ...) {
    char line[DEBUG_OUTPUT_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    boundedVsprintf(line, sizeof line, format, args);  // a cut line is still sent
    va_end(args);
    g_sink.load(std::memory_order_acquire)(line);
}
