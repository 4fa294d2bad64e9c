#include "ProgressLine.h"

#include <unistd.h>

#include <algorithm>

ProgressLine::ProgressLine(std::string label, bool enabled, double delay, FILE* out)
    : label_(std::move(label)), enabled_(enabled), delay_(delay), out_(out) {}

bool ProgressLine::defaultEnabled() {
    return ::isatty(2) != 0;
}

double ProgressLine::seconds() const {
    return std::chrono::duration<double>(Clock::now() - start_).count();
}

std::string ProgressLine::format(const std::string& label, double fraction, double seconds) {
    fraction = std::clamp(fraction, 0.0, 1.0);
    constexpr int kWidth = 30;
    const int filled = int(fraction * kWidth);
    std::string line = label + " [" + std::string(size_t(filled), '=') +
                       std::string(size_t(kWidth - filled), ' ') + "]";
    char tail[96];
    std::snprintf(tail, sizeof tail, " %3d%% %5.1f s", int(fraction * 100.0), seconds);
    line += tail;
    // The estimate assumes the rest goes as fast as what is done.
    if (fraction > 0.0 && fraction < 1.0) {
        std::snprintf(tail, sizeof tail, ", about %.1f s left",
                      seconds * (1.0 - fraction) / fraction);
        line += tail;
    }
    return line;
}

void ProgressLine::update(double done, double total) {
    if (!enabled_) return;
    fraction_ = total > 0 ? done / total : 1.0;
    const double now = seconds();
    if (now < delay_ || (drawn_ && now - lastDraw_ < 0.1)) return;
    draw(now);
}

void ProgressLine::draw(double now) {
    // Padding clears what a longer line before left behind.
    std::fprintf(out_, "\r%-78s", format(label_, fraction_, now).c_str());
    std::fflush(out_);
    lastDraw_ = now;
    drawn_ = true;
}

void ProgressLine::finish() {
    if (!drawn_) return;
    draw(seconds());  // the last state, however soon after the previous redraw
    std::fputc('\n', out_);
    std::fflush(out_);
    drawn_ = false;
}
