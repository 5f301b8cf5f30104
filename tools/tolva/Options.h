#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tolva {

// A change during playback: --at SECONDS NAME=VALUE (NAME may be "preset" or "bypass").
struct TimedChange {
    double seconds = 0;
    std::string name, value;
};

// A linear automation ramp: --ramp START END NAME=FROM:TO (plain values).
struct Ramp {
    double start = 0, end = 0;
    std::string name;
    double from = 0, to = 0;
};

// The parsed command line of `tolva`.
struct Options {
    std::string command;  // "info", "process", "presets", "demo-mix", "validate", "editor", "gui" or ""
                          // with help
    std::vector<std::string> positional;  // operands after the command
    std::string plugin;                   // --plugin LIB, empty: the library built beside tolva
    int outputs = 0;                      // --outputs N, 0: as many as the input has
    std::string preset;                   // --preset NAME
    std::vector<std::pair<std::string, std::string>> sets;  // --set NAME=VALUE, in order
    int block = 512;                                        // --block N, 1..1024
    bool bypass = false;                                    // --bypass
    std::vector<TimedChange> changes;                       // --at, in order
    std::vector<Ramp> ramps;                                // --ramp, in order
    std::string stateIn, stateOut;                          // --state-in FILE, --state-out FILE
    double seconds = 10.0;                                  // --seconds S (demo-mix, gui)
    bool secondsGiven = false;                              // --seconds was given
    std::string feed;                                       // --feed IN.wav (editor)
    bool help = false;                                      // --help or -h
    bool quiet = false;                                     // --quiet: no progress bar and no summary line
    int strictness = 5;                                     // --strictness N, 1..10 (validate)
    long seed = -1;                                         // --seed N (validate), -1: from the clock
    std::string only;                                       // --only GROUPS (validate), empty: all
};

// Parses argv into out. On a usage error returns false with a one-line reason in error.
bool parseOptions(int argc, const char* const* argv, Options& out, std::string& error);

// The text printed by --help.
const char* usageText();

// Strict decimal integer parse: the whole text must be one integer within [lo, hi].
bool parseInt(const std::string& text, long lo, long hi, long& out);

}  // namespace tolva
