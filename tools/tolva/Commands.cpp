#include "tools/tolva/Commands.h"

#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "host/DemoMix.h"
#include "host/PluginEditor.h"
#include "host/PluginLibrary.h"
#include "host/WavFile.h"
#include "plugkit/aax/sdk/AAXEntryPoints.h"
#include "tools/tolva/Report.h"

namespace tolva {

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "tolva: %s\n", message.c_str());
    return code;
}

std::unique_ptr<host::PluginLibrary> loadPlugin(const Options& options, int& exitCode) {
    const bool chosen = !options.plugin.empty();
    const std::string path = chosen ? options.plugin : defaultPluginPath();
    std::string error;
    auto lib = host::PluginLibrary::open(path, error);
    if (!lib) {
        // A library the user named is input; a missing default one is a broken installation.
        exitCode = fail(chosen ? kExitInput : kExitInternal, error);
    }
    return lib;
}

namespace {

std::string categoryText(uint32_t bits) {
    struct Name {
        uint32_t bit;
        const char* text;
    };
    namespace sdk = plugkit::aax::sdk;
    static const Name names[] = {
        {sdk::kCategoryEQ, "eq"},
        {sdk::kCategoryDynamics, "dynamics"},
        {sdk::kCategoryPitchShift, "pitch shift"},
        {sdk::kCategoryReverb, "reverb"},
        {sdk::kCategoryDelay, "delay"},
        {sdk::kCategoryModulation, "modulation"},
        {sdk::kCategoryHarmonic, "harmonic"},
        {sdk::kCategorySoundField, "sound field"},
        {sdk::kCategorySWGenerators, "sw generators"},
        {sdk::kCategoryEffect, "effect"},
    };
    std::string out;
    for (const auto& n : names)
        if (bits & n.bit) out += (out.empty() ? "" : ", ") + std::string(n.text);
    return out.empty() ? "none" : out;
}

const host::PresetFile* findPreset(const std::vector<host::PresetFile>& presets, const std::string& name) {
    for (const auto& p : presets)
        if (p.name == name) return &p;
    return nullptr;
}

std::string presetNames(const std::vector<host::PresetFile>& presets) {
    std::string s;
    for (const auto& p : presets) s += (s.empty() ? "\"" : ", \"") + p.name + "\"";
    return s;
}

}  // namespace

// The build defines TOLVA_PLUGIN_FILE_NAME and TOLVA_PLUGIN_BUILD_PATH (tools/tolva/CMakeLists.txt).
std::string defaultPluginPath() {
    char exe[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        exe[n] = '\0';
        const std::filesystem::path beside =
            std::filesystem::path(exe).parent_path() / TOLVA_PLUGIN_FILE_NAME;
        std::error_code ec;
        if (std::filesystem::exists(beside, ec)) return beside.string();
    }
    return TOLVA_PLUGIN_BUILD_PATH;
}

std::string presetFileName(const std::string& presetName, int index) {
    std::string name;
    for (unsigned char c : presetName) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == ' ' || c == '-' || c == '_' || c == '.' || c == '(' || c == ')' || c == '+';
        name += safe ? static_cast<char>(c) : '_';
    }
    if (name.size() > 100) name.resize(100);
    if (name.empty() || name.find_first_not_of(". ") == std::string::npos)
        name = "preset-" + std::to_string(index);
    return name + ".tfx";
}

// ---------------------------------------------------------------------------------------------

int runInfo(const Options& options) {
    int code = kExitOk;
    auto lib = loadPlugin(options, code);
    if (!lib) return code;
    const host::PluginDescription& d = lib->description();
    std::string error;
    const host::ComponentDescription& first = d.components.front();
    auto instance = lib->createInstance(first.inputs(), first.outputs(), 48000.0, error);
    if (!instance) return fail(kExitInternal, error);
    const auto presets = lib->enumeratePresets();
    uint64_t sdkVersion = 0;
    lib->sdkVersion(sdkVersion);

    std::printf("product: %s\n", d.names.empty() ? "?" : d.names.front().c_str());
    std::printf("maker: %s\n", d.manufacturerName.c_str());
    std::printf("category: %s\n", categoryText(d.categories.empty() ? 0 : d.categories.front()).c_str());
    std::printf("bundle: %s\n", d.bundleId.c_str());
    std::string names, packages;
    for (const auto& n : d.names) names += (names.empty() ? "\"" : ", \"") + n + "\"";
    for (const auto& n : d.packageNames) packages += (packages.empty() ? "\"" : ", \"") + n + "\"";
    std::printf("names: %s\n", names.c_str());
    std::printf("package names: %s (package version %d)\n", packages.c_str(), d.packageVersion);
    std::printf("editor: %s\n", host::describeEditor(d, *instance).c_str());
    std::printf("sdk version: 0x%016llx\n", static_cast<unsigned long long>(sdkVersion));
    std::printf("\ncomponents:\n");
    for (const auto& c : d.components) {
        std::printf("  %d in / %d out   native %s   audiosuite %s   manufacturer %s   product %s\n",
                    c.inputs(), c.outputs(), host::fourCCText(c.nativeId()).c_str(),
                    c.hasProperty(host::property::kAudioSuitePlugInID)
                        ? host::fourCCText(c.audioSuiteId()).c_str()
                        : "none",
                    host::fourCCText(uint32_t(c.propertyOr(host::property::kManufacturerID, 0))).c_str(),
                    host::fourCCText(uint32_t(c.propertyOr(host::property::kProductID, 0))).c_str());
    }
    std::printf("\nparameters:\n");
    std::printf("  %-15s %-18s %-12s %s\n", "identifier", "name", "default", "steps");
    for (const auto& p : instance->parameters()) {
        std::printf("  %-15s %-18s %-12s %d\n", p.id.c_str(), ("\"" + p.name + "\"").c_str(),
                    p.defaultText.c_str(), p.steps);
    }
    std::printf("\npresets:\n");
    for (std::size_t i = 0; i < presets.size(); ++i)
        std::printf("  %zu \"%s\"\n", i, presets[i].name.c_str());
    std::fflush(stdout);
    instance.reset();
    lib->close();
    return kExitOk;
}

int runPresets(const Options& options) {
    int code = kExitOk;
    auto lib = loadPlugin(options, code);
    if (!lib) return code;
    const std::string dir = options.positional[0];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec))
        return fail(kExitInput, "cannot create folder '" + dir + "'");
    const auto presets = lib->enumeratePresets();
    std::vector<std::string> used;
    for (std::size_t i = 0; i < presets.size(); ++i) {
        std::string file = presetFileName(presets[i].name, static_cast<int>(i));
        for (const auto& u : used)
            if (u == file) file = file.substr(0, file.size() - 4) + "-" + std::to_string(i) + ".tfx";
        used.push_back(file);
        const std::string path = dir + "/" + file;
        std::string error;
        if (!host::writeFileAtomically(path, presets[i].bytes, error)) return fail(kExitInput, error);
        std::printf("%s\n", path.c_str());
    }
    lib->close();
    return kExitOk;
}

int runDemoMix(const Options& options) {
    const auto start = std::chrono::steady_clock::now();
    const host::AudioData mix = host::makeDemoMix(options.seconds, 48000.0);
    std::string error;
    if (!host::writeAudioFile(options.positional[0], mix, error)) return fail(kExitInput, error);
    if (!options.quiet) {
        LevelMeter meter;
        for (const auto& ch : mix.samples) meter.add(ch.data(), static_cast<int64_t>(ch.size()));
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::fprintf(stderr, "demo mix: %.2f s, 48000 Hz, 2 channels, peak %s dBFS, rms %s dBFS (%.3f s)\n",
                     options.seconds, formatDb(meter.peakDb()).c_str(), formatDb(meter.rmsDb()).c_str(),
                     wall);
    }
    return kExitOk;
}

int applySettings(const Options& options, const host::PluginLibrary& lib, host::PluginInstance& instance,
                  std::string& error) {
    if (!options.stateIn.empty()) {
        std::vector<uint8_t> chunk;
        if (!host::readWholeFile(options.stateIn, chunk, error, 1u << 20)) {
            error = "bad state file: " + error;
            return kExitInput;
        }
        if (instance.setChunk(chunk) != 0) {
            error = "bad state file '" + options.stateIn + "': the plug-in refused it";
            return kExitInput;
        }
    }
    if (!options.preset.empty()) {
        const auto presets = lib.enumeratePresets();
        const host::PresetFile* p = findPreset(presets, options.preset);
        if (!p) {
            error = "unknown preset '" + options.preset + "' (presets: " + presetNames(presets) + ")";
            return kExitInput;
        }
        if (p->bytes.size() < plugkit::aax::sdk::kPresetFileHeaderSize) {
            error = "the plug-in's preset '" + options.preset + "' is malformed";
            return kExitInternal;
        }
        const std::vector<uint8_t> chunk(p->bytes.begin() + plugkit::aax::sdk::kPresetFileHeaderSize,
                                         p->bytes.end());
        if (instance.setChunk(chunk) != 0) {
            error = "the plug-in refused its own preset '" + options.preset + "'";
            return kExitInternal;
        }
    }
    for (const auto& [name, value] : options.sets) {
        const host::ParameterInfo* p = instance.findParameter(name);
        if (!p) {
            error = "unknown parameter '" + name + "'";
            return kExitInput;
        }
        if (instance.setFromString(p->id, value) != 0) {
            error = "invalid value '" + value + "' for parameter '" + p->name + "'";
            return kExitInput;
        }
    }
    if (options.bypass) instance.setBypass(true);
    return kExitOk;
}

int applySettings(const Options& options, const host::PluginLibrary& lib, host::PluginInstance& instance) {
    std::string error;
    const int code = applySettings(options, lib, instance, error);
    return code == kExitOk ? code : fail(code, error);
}

}  // namespace tolva
