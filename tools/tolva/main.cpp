// tolva: command-line host of the Tolva Multiband Compressor plug-in library.
#include <cstdio>
#include <exception>
#include <new>

#include "tools/tolva/Commands.h"
#include "tools/tolva/Options.h"

int main(int argc, char** argv) {
    try {
        tolva::Options options;
        std::string error;
        if (!tolva::parseOptions(argc, argv, options, error)) {
            std::fprintf(stderr, "tolva: %s\n", error.c_str());
            return tolva::kExitInput;
        }
        if (options.help) {
            std::fputs(tolva::usageText(), stdout);
            return tolva::kExitOk;
        }
        if (options.command == "info") return tolva::runInfo(options);
        if (options.command == "process") return tolva::runProcess(options);
        if (options.command == "presets") return tolva::runPresets(options);
        if (options.command == "demo-mix") return tolva::runDemoMix(options);
        if (options.command == "validate") return tolva::runValidate(options);
        if (options.command == "editor") return tolva::runEditor(options);
        if (options.command == "gui") return tolva::runGui(options);
        std::fprintf(stderr, "tolva: unknown command '%s'\n", options.command.c_str());
        return tolva::kExitInput;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tolva: out of memory\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolva: internal error: %s\n", e.what());
    }
    return tolva::kExitInternal;
}
