#include "tools/tolva/Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace tolva {

const char* usageText() {
    return "usage: tolva [--plugin LIB] COMMAND [options]\n"
           "\n"
           "commands:\n"
           "  info                      describe the plug-in as a host sees it\n"
           "  process IN.wav OUT.wav    run IN.wav through the plug-in into a 32-bit float WAV\n"
           "  process IN.wav... OUTDIR/ run every input into OUTDIR under its own file name, several\n"
           "                            files at once (one per core); every option applies to each\n"
           "  presets DIR               write one preset file per factory preset into DIR\n"
           "  demo-mix OUT.wav          synthesise a stereo 48 kHz demo mix (drums, bass, hats)\n"
           "  validate                  check the plug-in against what hosts expect (PASS/FAIL per check)\n"
           "  editor OUT.png            draw the plug-in's editor (headless) into a PNG\n"
           "  gui [IN.wav]              open the editor in an X11 window and loop IN.wav (default:\n"
           "                            the demo mix) through the plug-in at real-time pace\n"
           "\n"
           "options:\n"
           "  --plugin LIB              plug-in library (default: the one built beside tolva)\n"
           "  --outputs N               output channels, 1 or 2 (default: the input's count)\n"
           "  --preset NAME             apply a factory preset before any --set\n"
           "  --set NAME=VALUE          set a parameter by name or identifier to a plain value\n"
           "                            (repeatable, applied in order)\n"
           "  --block N                 host block size, 1..1024 (default 512)\n"
           "  --bypass                  engage Master Bypass\n"
           "  --at SECONDS NAME=VALUE   during process, at that time: set a parameter through the\n"
           "                            host's automation; NAME preset loads a factory preset,\n"
           "                            NAME bypass takes on or off (repeatable)\n"
           "  --ramp START END NAME=FROM:TO\n"
           "                            automate a parameter linearly from FROM at START seconds to\n"
           "                            TO at END seconds, one value per host block (repeatable)\n"
           "  --state-in FILE           restore the plug-in state from a chunk file\n"
           "  --state-out FILE          save the plug-in state chunk after processing\n"
           "  --seconds S               length of the demo mix (default 10); gui: close after S\n"
           "  --feed IN.wav             editor: run IN.wav through the plug-in first (live levels)\n"
           "  --quiet                   no progress bar and no summary line\n"
           "  --strictness N            validate: 1 (quick) .. 10 (thorough), default 5\n"
           "  --seed N                  validate: seed of the random values (default: from the clock)\n"
           "  --only GROUPS             validate: comma-separated check groups to run (default: all)\n"
           "  -h, --help                show this help\n"
           "\n"
           "exit status: 0 success, 2 bad input or usage, 1 internal failure; with many files, 2 when any\n"
           "file had bad input (the others are still written), else 1 when any failed\n";
}

bool parseInt(const std::string& text, long lo, long hi, long& out) {
    if (text.empty() || text.size() > 20) return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size() || text[0] == ' ' || text[0] == '\t') return false;
    if (v < lo || v > hi) return false;
    out = v;
    return true;
}

namespace {

// A time in seconds: finite, 0 .. 86400.
bool parseSeconds(const std::string& text, double& out) {
    char* end = nullptr;
    const double s = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(s) || s < 0.0 || s > 86400.0)
        return false;
    out = s;
    return true;
}

bool parseNumber(const std::string& text, double& out) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

// --at SECONDS NAME=VALUE and --ramp START END NAME=FROM:TO, their values already taken.
bool applyTimed(const std::string& name, const std::vector<std::string>& v, Options& out,
                std::string& error) {
    const auto eq = v.back().find('=');
    if (eq == std::string::npos || eq == 0) {
        error = "invalid " + name + " '" + v.back() +
                "' (expected NAME=" + (name == "--at" ? "VALUE)" : "FROM:TO)");
        return false;
    }
    const std::string param = v.back().substr(0, eq), value = v.back().substr(eq + 1);
    if (name == "--at") {
        TimedChange c;
        if (!parseSeconds(v[0], c.seconds)) {
            error = "invalid --at time '" + v[0] + "' (expected seconds, 0 or more)";
            return false;
        }
        c.name = param;
        c.value = value;
        out.changes.push_back(c);
        return true;
    }
    Ramp r;
    const auto colon = value.find(':');
    if (!parseSeconds(v[0], r.start) || !parseSeconds(v[1], r.end) || !(r.start < r.end)) {
        error = "invalid --ramp times '" + v[0] + "' '" + v[1] + "' (expected START < END, in seconds)";
        return false;
    }
    if (colon == std::string::npos || !parseNumber(value.substr(0, colon), r.from) ||
        !parseNumber(value.substr(colon + 1), r.to)) {
        error = "invalid --ramp values '" + value + "' (expected FROM:TO, plain numbers)";
        return false;
    }
    r.name = param;
    out.ramps.push_back(r);
    return true;
}

// --at (two values) or --ramp (three) at argv[i]; i moves to the last value taken.
bool takeTimed(int argc, const char* const* argv, int& i, Options& out, std::string& error) {
    const std::string arg = argv[i];
    const int count = arg == "--at" ? 2 : 3;
    std::vector<std::string> values;
    for (int k = 1; k <= count && i + k < argc && argv[i + k]; ++k) values.push_back(argv[i + k]);
    if (static_cast<int>(values.size()) != count) {
        error = "option " + arg + " needs " + std::to_string(count) + " values";
        return false;
    }
    i += count;
    return applyTimed(arg, values, out, error);
}

bool needsValue(const std::string& name) {
    return name == "--plugin" || name == "--outputs" || name == "--preset" || name == "--set" ||
           name == "--block" || name == "--state-in" || name == "--state-out" || name == "--seconds" ||
           name == "--strictness" || name == "--seed" || name == "--only" || name == "--feed";
}

bool applyOption(const std::string& name, const std::string& value, Options& out, std::string& error) {
    long n = 0;
    if (name == "--plugin") {
        out.plugin = value;
    } else if (name == "--outputs") {
        if (!parseInt(value, 1, 64, n)) {
            error = "invalid --outputs value '" + value + "' (expected 1 or 2)";
            return false;
        }
        out.outputs = static_cast<int>(n);
    } else if (name == "--preset") {
        out.preset = value;
    } else if (name == "--set") {
        const auto eq = value.find('=');
        if (eq == std::string::npos || eq == 0) {
            error = "invalid --set '" + value + "' (expected NAME=VALUE)";
            return false;
        }
        out.sets.emplace_back(value.substr(0, eq), value.substr(eq + 1));
    } else if (name == "--block") {
        if (!parseInt(value, 1, 1024, n)) {
            error = "invalid --block value '" + value + "' (expected 1..1024)";
            return false;
        }
        out.block = static_cast<int>(n);
    } else if (name == "--state-in") {
        out.stateIn = value;
    } else if (name == "--state-out") {
        out.stateOut = value;
    } else if (name == "--strictness") {
        if (!parseInt(value, 1, 10, n)) {
            error = "invalid --strictness value '" + value + "' (expected 1..10)";
            return false;
        }
        out.strictness = static_cast<int>(n);
    } else if (name == "--seed") {
        if (!parseInt(value, 0, 0x7FFFFFFFL, n)) {
            error = "invalid --seed value '" + value + "' (expected 0..2147483647)";
            return false;
        }
        out.seed = n;
    } else if (name == "--only") {
        out.only = value;
    } else if (name == "--seconds") {
        char* end = nullptr;
        const double s = std::strtod(value.c_str(), &end);
        if (value.empty() || end != value.c_str() + value.size() || !std::isfinite(s) || s <= 0.0 ||
            s > 3600.0) {
            error = "invalid --seconds value '" + value + "' (expected 0 < S <= 3600)";
            return false;
        }
        out.seconds = s;
        out.secondsGiven = true;
    } else if (name == "--feed") {
        out.feed = value;
    }
    return true;
}

// The command is known and has its number of operands.
bool checkOperands(const Options& out, std::string& error) {
    if (out.command.empty()) {
        error = "no command given (see tolva --help)";
        return false;
    }
    std::size_t wanted = 0;
    if (out.command == "info" || out.command == "validate") {
        wanted = 0;
    } else if (out.command == "process") {
        // IN.wav OUT.wav, or any number of inputs and an output folder.
        wanted = out.positional.size() > 2 ? out.positional.size() : 2;
    } else if (out.command == "presets" || out.command == "demo-mix" || out.command == "editor") {
        wanted = 1;
    } else if (out.command == "gui") {
        wanted = out.positional.empty() ? 0 : 1;
    } else {
        error = "unknown command '" + out.command + "' (see tolva --help)";
        return false;
    }
    if (out.positional.size() != wanted) {
        error = "'" + out.command + "' expects " + std::to_string(wanted) + " operand" +
                (wanted == 1 ? "" : "s") + ", got " + std::to_string(out.positional.size());
        return false;
    }
    return true;
}

}  // namespace

bool parseOptions(int argc, const char* const* argv, Options& out, std::string& error) {
    out = Options{};
    bool operandsOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (!operandsOnly && arg == "--") {
            operandsOnly = true;
            continue;
        }
        if (!operandsOnly && arg.size() > 1 && arg[0] == '-') {
            if (arg == "-h" || arg == "--help") {
                out.help = true;
                continue;
            }
            if (arg == "--bypass") {
                out.bypass = true;
                continue;
            }
            if (arg == "--quiet") {
                out.quiet = true;
                continue;
            }
            if (arg == "--at" || arg == "--ramp") {
                if (!takeTimed(argc, argv, i, out, error)) return false;
                continue;
            }
            std::string name = arg, value;
            const auto eq = arg.find('=');
            const bool inlineValue = arg.rfind("--", 0) == 0 && eq != std::string::npos;
            if (inlineValue) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
            }
            if (!needsValue(name)) {
                error = "unknown option '" + name + "' (see tolva --help)";
                return false;
            }
            if (!inlineValue) {
                if (i + 1 >= argc || !argv[i + 1]) {
                    error = "option " + name + " needs a value";
                    return false;
                }
                value = argv[++i];
            }
            if (!applyOption(name, value, out, error)) return false;
            continue;
        }
        if (out.command.empty())
            out.command = arg;
        else
            out.positional.push_back(arg);
    }
    if (out.help) return true;
    return checkOperands(out, error);
}

}  // namespace tolva
