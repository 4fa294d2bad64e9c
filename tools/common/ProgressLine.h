// ProgressLine: a progress bar with the time spent and an estimate of the time
// left, redrawn in place on one line of a terminal:
//
//   frame 3 [==============                ]  35%  2.1 s, about 3.9 s left
//
// Nothing is drawn unless `enabled` (by default: standard error is a terminal)
// or before the work has run for `delay` seconds, so short work stays silent;
// redraws come at most every 0.1 s. finish() (also run by the destructor)
// redraws a drawn line in its last state and ends it. Used from one thread.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

class ProgressLine {
public:
    explicit ProgressLine(std::string label, bool enabled = defaultEnabled(), double delay = 1.0,
                          FILE* out = stderr);
    ~ProgressLine() { finish(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // `done` of `total` units finished.
    void update(double done, double total);
    void finish();
    double seconds() const;

    static bool defaultEnabled();
    // The line for a fraction done after `seconds` (for tests).
    static std::string format(const std::string& label, double fraction, double seconds);

private:
    void draw(double now);

    using Clock = std::chrono::steady_clock;
    std::string label_;
    bool enabled_;
    double delay_;
    FILE* out_;
    Clock::time_point start_ = Clock::now();
    double lastDraw_ = -1.0;
    double fraction_ = 0.0;
    bool drawn_ = false;
};
