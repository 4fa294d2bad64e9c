// ConsoleMessages: the host's ProgressCallback for zento-render. Every plugin
// message is one line on standard error starting with its level ("info: ",
// "warning: ", "verbose: "); verbose lines only when asked for. Lines from
// several threads never interleave. The messages are also counted by level.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>

#include "zento/ProgressCallback.h"

class ConsoleMessages : public ZUtils::FormattingProgressCallback {
public:
    explicit ConsoleMessages(bool showVerbose, FILE* out = stderr)
        : showVerbose_(showVerbose), out_(out) {}
    int count(ZUtils::ProgressLevel level) const { return counts_[int(level)].load(); }

protected:
    void message(ZUtils::ProgressLevel level, const char* text) override;

private:
    bool showVerbose_;
    FILE* out_;
    std::mutex mutex_;
    std::atomic<int> counts_[3] = {0, 0, 0};
};
