// Progress callbacks: formatting once, printing to stderr, recording for tests.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "zento/ProgressCallback.h"

namespace ZUtils {

const char* progressLevelName(ProgressLevel level) {
    switch (level) {
        case ProgressLevel::Warning:
            return "warning";
        case ProgressLevel::Info:
            return "info";
        case ProgressLevel::Verbose:
            return "verbose";
    }
    return "unknown";
}

void FormattingProgressCallback::deliver(ProgressLevel level, const char* format, va_list args) {
    if (!format) return;
    char local[1024];
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(local, sizeof local, format, copy);
    va_end(copy);
    if (needed < 0) return;
    if (static_cast<size_t>(needed) < sizeof local) {
        message(level, local);
        return;
    }
    std::string text(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(needed));
    message(level, text.c_str());
}

void FormattingProgressCallback::info(const char* format, ...) {
    va_list args;
    va_start(args, format);
    deliver(ProgressLevel::Info, format, args);
    va_end(args);
}

void FormattingProgressCallback::warning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    deliver(ProgressLevel::Warning, format, args);
    va_end(args);
}

void FormattingProgressCallback::verbose(const char* format, ...) {
    va_list args;
    va_start(args, format);
    deliver(ProgressLevel::Verbose, format, args);
    va_end(args);
}

StderrProgressCallback::StderrProgressCallback(ProgressLevel threshold) : threshold_(threshold) {}

void StderrProgressCallback::message(ProgressLevel level, const char* text) {
    if (static_cast<int>(level) > static_cast<int>(threshold_)) return;
    const size_t length = std::strlen(text);
    const bool newline = length > 0 && text[length - 1] == '\n';
    std::fprintf(stderr, "[%s] %s%s", progressLevelName(level), text, newline ? "" : "\n");
}

struct RecordingProgressCallback::Impl {
    struct Record {
        ProgressLevel level;
        std::string text;
    };
    mutable std::mutex mutex;
    std::vector<Record> records;
};

RecordingProgressCallback::RecordingProgressCallback() : impl_(new Impl) {}

RecordingProgressCallback::~RecordingProgressCallback() {
    delete impl_;
}

size_t RecordingProgressCallback::count() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->records.size();
}

ProgressLevel RecordingProgressCallback::level(size_t i) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return i < impl_->records.size() ? impl_->records[i].level : ProgressLevel::Verbose;
}

const char* RecordingProgressCallback::text(size_t i) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return i < impl_->records.size() ? impl_->records[i].text.c_str() : nullptr;
}

size_t RecordingProgressCallback::countOf(ProgressLevel level, const char* text) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    size_t n = 0;
    for (const auto& r : impl_->records) {
        if (r.level == level && text && r.text == text) ++n;
    }
    return n;
}

void RecordingProgressCallback::clear() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->records.clear();
}

void RecordingProgressCallback::message(ProgressLevel level, const char* text) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->records.push_back({level, text});
}

}  // namespace ZUtils
