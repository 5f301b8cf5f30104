#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tolva {

// Running level statistics of one signal: peak and mean square over every sample seen.
struct LevelMeter {
    float peak = 0.0f;
    double sumSquares = 0.0;
    int64_t samples = 0;

    void add(const float* x, int64_t n);
    void merge(const LevelMeter& other);  // as if other's samples had been added here
    double peakDb() const;                // dBFS, -inf for silence
    double rmsDb() const;                 // dBFS, -inf for silence
};

// Formats a level in dBFS with one decimal ("-inf" for silence).
std::string formatDb(double db);

// Progress bar on stderr for long runs, shown only when stderr is a terminal and the run has
// taken more than half a second. Redraws at most ten times a second. [one thread]
class ProgressBar {
public:
    explicit ProgressBar(int64_t totalFrames, bool enabled);
    ~ProgressBar();
    void update(int64_t doneFrames);
    void finish();  // erases the bar
    bool enabled() const { return enabled_; }

private:
    int64_t total_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_, lastDraw_;
};

// The one summary line of a run: duration of audio, speed as times faster than real time, peak
// (and RMS) of input and output in dBFS.
std::string summaryLine(double audioSeconds, double wallSeconds, const LevelMeter& in, const LevelMeter& out);

}  // namespace tolva
