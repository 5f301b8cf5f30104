#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/PluginInstance.h"
#include "host/PluginLibrary.h"
#include "tools/tolva/Options.h"

namespace tolva {

// The changes of --at and --ramp on the sample clock of one render, resolved against the plug-in
// before any audio runs, so that a bad name or value fails before the output is touched.
// Parameters move through the host's automation path (touch, set, release); presets load as state
// chunks; bypass goes through Master Bypass.
class Timeline {
public:
    // [host thread] Resolves every change for a render at rate. False with a one-line reason when
    // a parameter, preset or value is unknown or invalid.
    bool build(const Options& options, const host::PluginLibrary& lib, const host::PluginInstance& instance,
               double rate, std::string& error);

    // [host thread] The first sample after position at which something changes (INT64_MAX: none).
    // The caller starts a render call there so that the change lands on that sample.
    int64_t nextAfter(int64_t position) const;

    // [host thread] Applies what happens at position, which the caller reaches in increasing order:
    // the --at changes due there, in command-line order, then the ramps (a ramp sets its first value
    // at START, one value at every host block start inside, and TO at END).
    void apply(int64_t position, bool hostBlockStart, host::PluginInstance& instance);

    // [host thread] True once nothing is left to apply: the caller may render without asking.
    bool finished() const { return next_ >= events_.size() && finishedRamps_ == ramps_.size(); }

private:
    enum class Kind { Parameter, Preset, Bypass };
    struct Event {
        int64_t sample = 0;
        Kind kind = Kind::Parameter;
        std::string id;
        double normalized = 0;
        std::vector<uint8_t> chunk;
        bool bypass = false;
    };
    struct Track {
        int64_t start = 0, end = 0;
        std::string id;
        double from = 0, to = 0;
        bool touched = false, finished = false;
    };
    // Resolves one --at change into e (whose sample is set); false with a reason in error.
    static bool resolveChange(const TimedChange& c, const host::PluginLibrary& lib,
                              const host::PluginInstance& instance, Event& e, std::string& error);
    // Sets a ramp's parameter to a plain value (checked in build, so it converts).
    static void setPlain(host::PluginInstance& instance, const Track& track, double plain);

    std::vector<Event> events_;  // by sample, command-line order within a sample
    std::vector<Track> ramps_;
    std::size_t next_ = 0;
    std::size_t finishedRamps_ = 0;
};

}  // namespace tolva
