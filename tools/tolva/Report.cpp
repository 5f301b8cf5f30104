#include "tools/tolva/Report.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace tolva {

void LevelMeter::add(const float* x, int64_t n) {
    // Four independent lanes, so that the sum does not wait on one addition chain per sample.
    float p[4] = {peak, 0.0f, 0.0f, 0.0f};
    double s[4] = {};
    int64_t i = 0;
    for (; i + 4 <= n; i += 4)
        for (int k = 0; k < 4; ++k) {
            const float a = std::fabs(x[i + k]);
            p[k] = a > p[k] ? a : p[k];
            s[k] += static_cast<double>(x[i + k]) * x[i + k];
        }
    for (; i < n; ++i) {
        const float a = std::fabs(x[i]);
        p[0] = a > p[0] ? a : p[0];
        s[0] += static_cast<double>(x[i]) * x[i];
    }
    peak = std::max(std::max(p[0], p[1]), std::max(p[2], p[3]));
    sumSquares += (s[0] + s[1]) + (s[2] + s[3]);
    samples += n;
}

void LevelMeter::merge(const LevelMeter& other) {
    peak = std::max(peak, other.peak);
    sumSquares += other.sumSquares;
    samples += other.samples;
}

double LevelMeter::peakDb() const {
    return peak > 0.0f ? 20.0 * std::log10(static_cast<double>(peak)) : -INFINITY;
}

double LevelMeter::rmsDb() const {
    if (samples == 0 || sumSquares <= 0.0) return -INFINITY;
    return 10.0 * std::log10(sumSquares / static_cast<double>(samples));
}

std::string formatDb(double db) {
    if (std::isnan(db)) return "nan";
    if (std::isinf(db)) return db < 0 ? "-inf" : "inf";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", db);
    return buf;
}

ProgressBar::ProgressBar(int64_t totalFrames, bool enabled)
    : total_(totalFrames), enabled_(enabled && totalFrames > 0 && ::isatty(STDERR_FILENO) == 1) {
    start_ = lastDraw_ = std::chrono::steady_clock::now();
}

ProgressBar::~ProgressBar() { finish(); }

void ProgressBar::update(int64_t doneFrames) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < std::chrono::milliseconds(500)) return;
    if (shown_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    shown_ = true;
    const double fraction =
        std::clamp(static_cast<double>(doneFrames) / static_cast<double>(total_), 0.0, 1.0);
    constexpr int kWidth = 40;
    const int filled = static_cast<int>(fraction * kWidth);
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '-';
    bar[kWidth] = '\0';
    std::fprintf(stderr, "\r[%s] %3d%%", bar, static_cast<int>(fraction * 100.0));
    std::fflush(stderr);
}

void ProgressBar::finish() {
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    shown_ = false;
}

std::string summaryLine(double audioSeconds, double wallSeconds, const LevelMeter& in,
                        const LevelMeter& out) {
    char speed[32];
    if (wallSeconds > 0.0)
        std::snprintf(speed, sizeof speed, "%.1fx", audioSeconds / wallSeconds);
    else
        std::snprintf(speed, sizeof speed, "inf x");
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "done: %.2f s of audio in %.3f s (%s real time), peak in %s dBFS, peak out %s dBFS, "
                  "rms in %s dBFS, rms out %s dBFS",
                  audioSeconds, wallSeconds, speed, formatDb(in.peakDb()).c_str(),
                  formatDb(out.peakDb()).c_str(), formatDb(in.rmsDb()).c_str(),
                  formatDb(out.rmsDb()).c_str());
    return buf;
}

}  // namespace tolva
