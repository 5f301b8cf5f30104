// lv2host: runs an audio file through one LV2 plug-in in fixed blocks, with lilv.
//   lv2host [--block N] [--preset NAME|URI] [--set SYMBOL=VALUE]... PLUGIN-URI IN OUT
//   lv2host --list PLUGIN-URI
// Prints the processing time (plug-in runs only, files excluded) and the speed relative to real
// time on stdout. Exits with 2 on bad input, 1 on other failures.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/WavFile.h"
#include "host/lv2/BlockHost.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: lv2host [--block N] [--preset NAME|URI] [--set SYMBOL=VALUE]... PLUGIN-URI IN OUT\n"
                 "       lv2host --list PLUGIN-URI\n");
    return 2;
}

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "lv2host: %s\n", message.c_str());
    return code;
}

int list(const std::string& uri) {
    host::lv2::BlockHost host;
    std::string error;
    if (!host.load(uri, 48000.0, 512, error)) return fail(2, error);
    std::printf("audio: %d in, %d out\ncontrols:\n", host.audioInputs(), host.audioOutputs());
    for (const std::string& s : host.controlSymbols()) std::printf("  %s = %g\n", s.c_str(), host.control(s));
    std::printf("presets:\n");
    for (const auto& [uri, label] : host.presets())
        std::printf("  \"%s\" <%s>\n", label.c_str(), uri.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int block = 512;
    std::string preset;
    std::vector<std::pair<std::string, float>> settings;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--list" && i + 1 < argc) return list(argv[i + 1]);
        if (a == "--block" && i + 1 < argc) {
            block = std::atoi(argv[++i]);
            if (block <= 0 || block > (1 << 20)) return fail(2, "bad block length");
        } else if (a == "--preset" && i + 1 < argc) {
            preset = argv[++i];
        } else if (a == "--set" && i + 1 < argc) {
            const std::string s = argv[++i];
            const std::size_t eq = s.find('=');
            char* end = nullptr;
            const float v = eq == std::string::npos ? 0.0f : std::strtof(s.c_str() + eq + 1, &end);
            if (eq == std::string::npos || !end || *end) return fail(2, "bad setting \"" + s + "\"");
            settings.emplace_back(s.substr(0, eq), v);
        } else if (!a.empty() && a[0] == '-') {
            return usage();
        } else {
            args.push_back(a);
        }
    }
    if (args.size() != 3) return usage();

    std::string error;
    host::AudioData in;
    if (!host::readAudioFile(args[1], in, error)) return fail(2, error);
    host::lv2::BlockHost host;
    if (!host.load(args[0], in.sampleRate, block, error)) return fail(2, error);
    if (!preset.empty() && !host.applyPreset(preset, error)) return fail(2, error);
    for (const auto& [symbol, value] : settings)
        if (!host.setControl(symbol, value)) return fail(2, "no control port \"" + symbol + "\"");

    const long frames = static_cast<long>(in.frames());
    std::vector<const float*> inputs(static_cast<std::size_t>(host.audioInputs()), nullptr);
    for (int c = 0; c < host.audioInputs() && c < in.channels; ++c)
        inputs[static_cast<std::size_t>(c)] = in.samples[c].data();
    host::AudioData out;
    out.channels = host.audioOutputs();
    out.sampleRate = in.sampleRate;
    out.samples.assign(static_cast<std::size_t>(out.channels),
                       std::vector<float>(static_cast<std::size_t>(frames)));
    std::vector<float*> outputs;
    for (auto& channel : out.samples) outputs.push_back(channel.data());

    const auto start = std::chrono::steady_clock::now();
    host.process(inputs.data(), outputs.data(), frames);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!host::writeAudioFile(args[2], out, error)) return fail(1, error);

    const double audioSeconds = static_cast<double>(frames) / in.sampleRate;
    std::printf("%s: %.3f s of audio in %.4f s (%.1fx real time)\n", args[0].c_str(), audioSeconds, seconds,
                seconds > 0 ? audioSeconds / seconds : 0.0);
    return 0;
}
