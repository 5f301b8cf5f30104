// `tolva validate`: runs every check group against the plug-in library and sums up.
#include <chrono>
#include <cstdio>
#include <sstream>

#include "host/realtime/RealtimeProbe.h"
#include "tools/tolva/Commands.h"
#include "tools/tolva/validate/Checks.h"

namespace tolva {

namespace {

struct Group {
    const char* name;
    void (*run)(validate::Session&);
};

constexpr Group kGroups[] = {
    {"description", validate::checkDescription},  {"lifecycle", validate::checkLifecycle},
    {"render", validate::checkRendering},         {"state", validate::checkState},
    {"storm", validate::checkAutomationStorm},    {"badaudio", validate::checkBadAudio},
    {"startup", validate::checkStartupAndBypass},
};

bool selected(const std::string& only, const char* name) {
    if (only.empty()) return true;
    std::stringstream list(only);
    std::string item;
    while (std::getline(list, item, ','))
        if (item == name) return true;
    return false;
}

}  // namespace

int runValidate(const Options& options) {
    std::stringstream list(options.only);
    for (std::string item; std::getline(list, item, ',');) {
        bool known = false;
        for (const auto& g : kGroups) known = known || item == g.name;
        if (!known) {
            std::fprintf(
                stderr,
                "tolva: unknown check group '%s' (groups: description, lifecycle, render, state, storm, "
                "badaudio, startup)\n",
                item.c_str());
            return kExitInput;
        }
    }
    const uint64_t seed =
        options.seed >= 0
            ? static_cast<uint64_t>(options.seed)
            : static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count() & 0x7FFFFFFF);
    const std::string path = options.plugin.empty() ? defaultPluginPath() : options.plugin;
    std::printf("validating %s\nstrictness %d, seed %llu (repeat with --seed %llu)\n", path.c_str(),
                options.strictness, static_cast<unsigned long long>(seed),
                static_cast<unsigned long long>(seed));
    std::printf(
        "audio-thread allocation and lock counting: %s\n\n",
        host::realtime::realtimeHooksWork() ? "active" : "not available in this build (sanitizer allocator)");

    const auto start = std::chrono::steady_clock::now();
    validate::Session session(path, options.strictness, seed);
    if (!session.open()) return kExitInput;
    for (const auto& g : kGroups)
        if (selected(options.only, g.name)) g.run(session);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("\n%d passed, %d failed (%.1f s)\n", session.passes(), session.failures(), wall);
    return session.failures() == 0 ? kExitOk : kExitInternal;
}

}  // namespace tolva
