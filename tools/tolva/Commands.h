#pragma once

#include <memory>
#include <string>

#include "host/PluginLibrary.h"
#include "tools/tolva/Options.h"

namespace tolva {

// Exit codes of tolva.
constexpr int kExitOk = 0;
constexpr int kExitInternal = 1;  // the plug-in or the machine failed
constexpr int kExitInput = 2;     // bad command line, input file, parameter text or state file

// The plug-in library tolva loads when --plugin is not given: the one built beside the binary.
std::string defaultPluginPath();

// Each command prints its own output on stdout, one error line on stderr, and returns the exit code.
int runInfo(const Options& options);
// tolva process IN.wav OUT.wav, or IN1.wav IN2.wav ... OUTDIR/ (files spread over the cores).
int runProcess(const Options& options);
int runPresets(const Options& options);
int runDemoMix(const Options& options);
// Runs the validation checks (tools/tolva/validate); exit 0 when every check passes, 1 otherwise.
int runValidate(const Options& options);
// tolva editor OUT.png: the editor in a headless window after the settings (and --feed audio).
int runEditor(const Options& options);
// tolva gui [IN.wav]: the editor in an X11 window while the file loops at real-time pace.
int runGui(const Options& options);

// Prints "tolva: message" on stderr and returns code.
int fail(int code, const std::string& message);
// The plug-in library of --plugin (or the default one); null with exitCode set and reported.
std::unique_ptr<host::PluginLibrary> loadPlugin(const Options& options, int& exitCode);
// Applies --state-in, --preset, every --set in order, then --bypass: later settings win. Returns
// kExitOk, or the exit code after reporting the fault.
int applySettings(const Options& options, const host::PluginLibrary& lib, host::PluginInstance& instance);
// The same, reporting the fault in error instead of on stderr.
int applySettings(const Options& options, const host::PluginLibrary& lib, host::PluginInstance& instance,
                  std::string& error);

// A file name for a preset: characters that are unsafe in names (path separators, control
// characters) become '_', and a name that would be empty or a dot name gets a numbered one.
std::string presetFileName(const std::string& presetName, int index);

}  // namespace tolva
