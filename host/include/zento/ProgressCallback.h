// ZUtils::ProgressCallback: how plugins send messages to the host.
//
// Three printf-style operations, in this order among the virtual operations:
// info, warning, verbose. A plugin calls them only at frame preparation, never
// while shading. Implementations here:
//  - FormattingProgressCallback: formats the text once and hands it to one
//    virtual sink (message); the other two derive from it.
//  - StderrProgressCallback: prints to stderr every message up to a level.
//  - RecordingProgressCallback: keeps every message (level and text) for
//    tests; safe to call from several threads.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "zento/Export.h"

namespace ZUtils {

// Message levels in order of verbosity: a threshold shows its own level and
// all levels below it.
enum class ProgressLevel { Warning = 0, Info = 1, Verbose = 2 };

ZENTO_API const char* progressLevelName(ProgressLevel level);

class ProgressCallback {
public:
    virtual ~ProgressCallback() = default;
    virtual void info(const char* format, ...) __attribute__((format(printf, 2, 3))) = 0;
    virtual void warning(const char* format, ...) __attribute__((format(printf, 2, 3))) = 0;
    virtual void verbose(const char* format, ...) __attribute__((format(printf, 2, 3))) = 0;
};

class ZENTO_API FormattingProgressCallback : public ProgressCallback {
public:
    void info(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    void warning(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    void verbose(const char* format, ...) override __attribute__((format(printf, 2, 3)));

protected:
    // Receives each message, fully formatted (no trailing newline is added).
    virtual void message(ProgressLevel level, const char* text) = 0;

private:
    void deliver(ProgressLevel level, const char* format, va_list args);
};

class ZENTO_API StderrProgressCallback : public FormattingProgressCallback {
public:
    explicit StderrProgressCallback(ProgressLevel threshold = ProgressLevel::Info);
    void setThreshold(ProgressLevel threshold) { threshold_ = threshold; }
    ProgressLevel threshold() const { return threshold_; }

protected:
    void message(ProgressLevel level, const char* text) override;

private:
    ProgressLevel threshold_;
};

class ZENTO_API RecordingProgressCallback : public FormattingProgressCallback {
public:
    RecordingProgressCallback();
    ~RecordingProgressCallback() override;
    RecordingProgressCallback(const RecordingProgressCallback&) = delete;
    RecordingProgressCallback& operator=(const RecordingProgressCallback&) = delete;

    size_t count() const;
    // Level and text of message i (0 = first); text is valid until clear().
    ProgressLevel level(size_t i) const;
    const char* text(size_t i) const;
    // Number of messages of a level whose text equals `text` exactly.
    size_t countOf(ProgressLevel level, const char* text) const;
    void clear();

protected:
    void message(ProgressLevel level, const char* text) override;

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace ZUtils
