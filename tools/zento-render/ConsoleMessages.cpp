#include "ConsoleMessages.h"

#include <cstring>

void ConsoleMessages::message(ZUtils::ProgressLevel level, const char* text) {
    ++counts_[int(level)];
    if (level == ZUtils::ProgressLevel::Verbose && !showVerbose_) return;
    const char* name = level == ZUtils::ProgressLevel::Info      ? "info"
                       : level == ZUtils::ProgressLevel::Warning ? "warning"
                                                                 : "verbose";
    // One line per message: a trailing newline of the text is not repeated and
    // inner newlines are shown as spaces.
    std::lock_guard<std::mutex> lock(mutex_);
    std::fprintf(out_, "%s: ", name);
    size_t len = text ? std::strlen(text) : 0;
    while (len > 0 && (text[len - 1] == '\n' || text[len - 1] == '\r')) --len;
    for (size_t i = 0; i < len; ++i) std::fputc(text[i] == '\n' ? ' ' : text[i], out_);
    // A second object on a file that failed to open gets the cache's empty
    // error text as its warning.
    if (len == 0) std::fputs("(empty message)", out_);
    std::fputc('\n', out_);
    std::fflush(out_);
}
