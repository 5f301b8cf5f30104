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
#include "tools/tolva/Timeline.h"

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

int applySettings(const Options& options, const host::PluginLibrary& lib, host::PluginInstance& instance) {
    std::string error;
    if (!options.stateIn.empty()) {
        std::vector<uint8_t> chunk;
        if (!host::readWholeFile(options.stateIn, chunk, error, 1u << 20))
            return fail(kExitInput, "bad state file: " + error);
        if (instance.setChunk(chunk) != 0)
            return fail(kExitInput, "bad state file '" + options.stateIn + "': the plug-in refused it");
    }
    if (!options.preset.empty()) {
        const auto presets = lib.enumeratePresets();
        const host::PresetFile* p = findPreset(presets, options.preset);
        if (!p)
            return fail(kExitInput,
                        "unknown preset '" + options.preset + "' (presets: " + presetNames(presets) + ")");
        if (p->bytes.size() < plugkit::aax::sdk::kPresetFileHeaderSize)
            return fail(kExitInternal, "the plug-in's preset '" + options.preset + "' is malformed");
        const std::vector<uint8_t> chunk(p->bytes.begin() + plugkit::aax::sdk::kPresetFileHeaderSize,
                                         p->bytes.end());
        if (instance.setChunk(chunk) != 0)
            return fail(kExitInternal, "the plug-in refused its own preset '" + options.preset + "'");
    }
    for (const auto& [name, value] : options.sets) {
        const host::ParameterInfo* p = instance.findParameter(name);
        if (!p) return fail(kExitInput, "unknown parameter '" + name + "'");
        if (instance.setFromString(p->id, value) != 0)
            return fail(kExitInput, "invalid value '" + value + "' for parameter '" + p->name + "'");
    }
    if (options.bypass) instance.setBypass(true);

    return kExitOk;
}

namespace {

// Renders one host block of n frames starting at sample position, cut where the timeline changes
// something so that each change lands on its sample.
void renderBlock(host::PluginInstance& instance, Timeline& timeline, const std::vector<float*>& in,
                 const std::vector<float*>& out, int64_t position, int64_t n) {
    std::vector<const float*> ins(in.size());
    std::vector<float*> outs(out.size());
    for (int64_t offset = 0; offset < n;) {
        timeline.apply(position + offset, offset == 0, instance);
        const int64_t next = std::min(n, timeline.nextAfter(position + offset) - position);
        for (std::size_t c = 0; c < in.size(); ++c) ins[c] = in[c] + offset;
        for (std::size_t c = 0; c < out.size(); ++c) outs[c] = out[c] + offset;
        instance.render(ins.data(), outs.data(), next - offset);
        offset = next;
    }
}

// What stream() went through: frames, wall-clock seconds and the levels on both sides.
struct Streamed {
    int64_t frames = 0;
    double wall = 0;
    LevelMeter inLevel, outLevel;
};

// Runs the whole input through the instance in host blocks of options.block frames into the writer,
// with the timeline's changes. Returns kExitOk or the exit code of the failure it reported.
int stream(host::WavReader& reader, host::WavWriter& writer, host::PluginInstance& instance,
           Timeline& timeline, const Options& options, Streamed& out) {
    std::string error;
    const int block = options.block;
    const std::size_t inputs = static_cast<std::size_t>(reader.channels());
    const std::size_t outputs = static_cast<std::size_t>(instance.outputs());
    std::vector<std::vector<float>> inBuf(inputs, std::vector<float>(block));
    std::vector<std::vector<float>> outBuf(outputs, std::vector<float>(block));
    std::vector<float*> inPtr, outPtr;
    for (auto& b : inBuf) inPtr.push_back(b.data());
    for (auto& b : outBuf) outPtr.push_back(b.data());

    ProgressBar progress(reader.frames(), !options.quiet);
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const int64_t n = reader.read(inPtr.data(), block, error);
        if (n < 0) return fail(kExitInput, "unreadable input '" + options.positional[0] + "': " + error);
        if (n == 0) break;
        for (auto& b : outBuf) std::fill(b.begin(), b.end(), 0.0f);
        renderBlock(instance, timeline, inPtr, outPtr, out.frames, n);
        for (std::size_t c = 0; c < inputs; ++c) out.inLevel.add(inPtr[c], n);
        for (std::size_t c = 0; c < outputs; ++c) out.outLevel.add(outPtr[c], n);
        if (!writer.write(outPtr.data(), n, error)) return fail(kExitInput, error);
        out.frames += n;
        progress.update(out.frames);
    }
    out.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    progress.finish();
    return kExitOk;
}

}  // namespace

int runProcess(const Options& options) {
    const std::string& inPath = options.positional[0];
    const std::string& outPath = options.positional[1];
    std::string error;

    host::WavReader reader;
    if (!reader.open(inPath, error)) return fail(kExitInput, error);
    const int inputs = reader.channels();
    if (inputs != 1 && inputs != 2)
        return fail(kExitInput, "unsupported input '" + inPath + "': " + std::to_string(inputs) +
                                    " channels (1 or 2 are supported)");
    const double rate = reader.sampleRate();
    const int outputs = options.outputs > 0 ? options.outputs : inputs;

    int code = kExitOk;
    auto lib = loadPlugin(options, code);
    if (!lib) return code;
    if (!lib->description().componentFor(inputs, outputs))
        return fail(kExitInput, "illegal channel layout: " + std::to_string(inputs) + " in, " +
                                    std::to_string(outputs) + " out is not supported by the plug-in");
    auto instance = lib->createInstance(inputs, outputs, rate, error);
    if (!instance) return fail(kExitInternal, error);

    if (const int settingsCode = applySettings(options, *lib, *instance); settingsCode != kExitOk)
        return settingsCode;
    Timeline timeline;
    if (!timeline.build(options, *lib, *instance, rate, error)) return fail(kExitInput, error);

    host::WavWriter writer;
    if (!writer.open(outPath, outputs, static_cast<int>(rate), error)) return fail(kExitInput, error);

    Streamed streamed;
    if (const int streamCode = stream(reader, writer, *instance, timeline, options, streamed);
        streamCode != kExitOk)
        return streamCode;

    if (!options.stateOut.empty()) {
        std::vector<uint8_t> chunk;
        if (instance->getChunk(chunk) != 0)
            return fail(kExitInternal, "the plug-in did not return its state");
        if (!host::writeFileAtomically(options.stateOut, chunk, error)) return fail(kExitInput, error);
    }
    if (!writer.commit(error)) return fail(kExitInput, error);

    instance.reset();
    const int32_t live = lib->close();
    if (live != 0)
        std::fprintf(stderr, "tolva: warning: the plug-in reports %d live objects at unload\n", live);
    if (!options.quiet) {
        const double seconds = static_cast<double>(streamed.frames) / rate;
        std::fprintf(stderr, "%s\n",
                     summaryLine(seconds, streamed.wall, streamed.inLevel, streamed.outLevel).c_str());
    }
    return kExitOk;
}

}  // namespace tolva
