#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/PluginLibrary.h"

namespace tolva::validate {

// A channel layout the plug-in described.
struct Layout {
    int inputs = 0, outputs = 0;
    std::string text() const;  // "2in/2out"
};

// Channel buffers of one length with the pointer arrays the host library takes.
class Buffers {
public:
    Buffers(int channels, int64_t frames);
    int channels() const { return static_cast<int>(data_.size()); }
    int64_t frames() const { return frames_; }
    std::vector<float>& channel(int c) { return data_[static_cast<std::size_t>(c)]; }
    const std::vector<float>& channel(int c) const { return data_[static_cast<std::size_t>(c)]; }
    // Pointers to every channel, offset by frame.
    const float* const* in(int64_t frame);
    float* const* out(int64_t frame);
    void fill(float value);

private:
    int64_t frames_;
    std::vector<std::vector<float>> data_;
    std::vector<float*> ptrs_;
};

// The state of one validation run: the plug-in library, the settings, the random source and the
// report, which prints every result as it comes. [the thread that runs the checks]
class Session {
public:
    Session(std::string pluginPath, int strictness, uint64_t seed);
    ~Session();

    // Loads the library (false with a FAIL line when it cannot be loaded); close unloads it and
    // returns what the plug-in reported as live objects right before.
    bool open();
    int32_t close();
    // Host references the plug-in still held when the library was last closed.
    int32_t leakedAtLastClose() const { return leaked_; }
    host::PluginLibrary& library() { return *library_; }
    const std::string& pluginPath() const { return path_; }
    std::vector<Layout> layouts() const;
    // A stereo layout when there is one, else the first.
    Layout mainLayout() const;
    // A new instance; null with a FAIL line under check when the plug-in refuses it.
    std::unique_ptr<host::PluginInstance> instance(const Layout& layout, double rate,
                                                   const std::string& check);

    int strictness() const { return strictness_; }
    // A duration that grows linearly with the strictness, from atOne (1) to atTen (10).
    double seconds(double atOne, double atTen) const;
    std::mt19937_64& rng() { return rng_; }
    double uniform();  // in [0, 1)

    void pass(const std::string& check, const std::string& detail);
    void fail(const std::string& check, const std::string& reason);
    // A check that does not apply (or is not switched on): reported, never a failure.
    void skip(const std::string& check, const std::string& reason);
    int failures() const { return failures_; }
    int passes() const { return passes_; }

private:
    void print(const char* status, const std::string& check, const std::string& text);

    std::string path_;
    int strictness_;
    std::mt19937_64 rng_;
    std::unique_ptr<host::PluginLibrary> library_;
    int failures_ = 0, passes_ = 0;
    int32_t leaked_ = 0;
};

// ---- helpers shared by the checks

// A music-like test signal: two sines and a little noise per channel, peak about amplitude.
void makeTestSignal(Buffers& buffers, double rate, float amplitude, uint64_t seed);
// Renders in into out through instance in blocks of block frames, from frame `from` to `to`.
// When audioThread is set, every call is marked as made on the audio thread (host/realtime/RealtimeProbe.h).
void renderRange(host::PluginInstance& instance, Buffers& in, Buffers& out, int block, int64_t from,
                 int64_t to, bool audioThread);
// True when every sample of out in [from, to) is finite; first gets the first bad frame.
bool allFinite(const Buffers& out, int64_t from, int64_t to, int64_t& first);
// Largest magnitude and RMS of out in [from, to), over every channel.
float peak(const Buffers& out, int64_t from, int64_t to);
double rms(const Buffers& out, int64_t from, int64_t to);
// Levels as text in dBFS.
std::string dbText(double amplitude);
// Sets every parameter except Master Bypass to a random normalized value.
void randomize(Session& session, host::PluginInstance& instance);

}  // namespace tolva::validate
