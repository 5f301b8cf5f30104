#pragma once

#include <string>

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
int runProcess(const Options& options);
int runPresets(const Options& options);
int runDemoMix(const Options& options);
// Runs the validation checks (tools/tolva/validate); exit 0 when every check passes, 1 otherwise.
int runValidate(const Options& options);

// A file name for a preset: characters that are unsafe in names (path separators, control
// characters) become '_', and a name that would be empty or a dot name gets a numbered one.
std::string presetFileName(const std::string& presetName, int index);

}  // namespace tolva
