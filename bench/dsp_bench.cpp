// Speed of one stereo MultibandComp at 48 kHz on one core, as a multiple of real time
// (counter x_realtime: seconds of audio processed per second), with the host's floating-point
// guard around every call as in the audio callback. Every case runs on the widest lanes the
// processor allows (.../avx2 where it has AVX2), on SSE2 (.../sse2) and on plain floats
// (.../scalar) side by side;
// the _Block cases call the plug-in with small host blocks.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "plugin/MultibandComp.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/FPControl.h"
#include "plugkit/core/HostCallGuard.h"

namespace {

using plugin::MultibandComp;

constexpr double kRate = 48000.0;
constexpr int kHostBlock = 1024;  // cut into 256-frame sub-blocks by the client
using Path = MultibandComp::VectorPath;
constexpr int kSignalFrames = 48000;

enum class Signal { Programme, Hot, SilenceAfterLoud, Automated };

// A programme-like stereo signal: noise shaped by a slow envelope plus a bass line, peaking near
// -3 dBFS, so that the default settings (-3 dB, 4:1) compress now and then. "Hot" is 12 dB louder,
// so that every band is compressed most of the time.
std::vector<float> makeSignal(int channel, Signal kind) {
    std::vector<float> v(kSignalFrames);
    if (kind == Signal::SilenceAfterLoud) return v;
    if (kind == Signal::Automated) kind = Signal::Programme;
    std::mt19937 rng(17 + channel);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    const float gain = kind == Signal::Hot ? 2.8f : 0.7f;
    for (int i = 0; i < kSignalFrames; ++i) {
        const double t = i / kRate;
        const double env = 0.5 + 0.5 * std::sin(2 * M_PI * 2.0 * t);
        const double bass = 0.4 * std::sin(2 * M_PI * 55.0 * t + channel);
        v[i] = static_cast<float>(gain * (0.15 * env * noise(rng) + bass * (0.6 + 0.4 * env)));
    }
    return v;
}

void runPlugin(benchmark::State& state, bool autoGain, Signal kind, Path path, int hostBlock = kHostBlock) {
    plugkit::core::FPStateGuard guard;
    MultibandComp* plug = plugkit::client::Client::create<MultibandComp>();
    plug->setVectorPath(path);
    plug->param(MultibandComp::kAutoGain)->setFromHost(autoGain ? 1.0 : 0.0);
    plug->resetFromHost(kRate, kHostBlock, 2, 2);
    std::vector<float> in[2] = {makeSignal(0, kind), makeSignal(1, kind)};
    std::vector<float> out[2] = {std::vector<float>(kHostBlock), std::vector<float>(kHostBlock)};
    if (kind == Signal::SilenceAfterLoud) {
        // Leave every state decaying from a loud passage, so that silence drives it towards denormals.
        std::vector<float> loud[2] = {makeSignal(0, Signal::Hot), makeSignal(1, Signal::Hot)};
        for (int pos = 0; pos + kHostBlock <= kSignalFrames; pos += kHostBlock) {
            float* ins[2] = {loud[0].data() + pos, loud[1].data() + pos};
            float* outs[2] = {out[0].data(), out[1].data()};
            plug->processAudioFromHost(ins, outs, kHostBlock, plugkit::client::TimeInfo{});
        }
    }
    int pos = 0;
    std::int64_t frames = 0;
    int block = 0;
    for (auto _ : state) {
        if (kind == Signal::Automated) {
            // Output Gain and F1 move at every host block, so the settings glide all the time.
            ++block;
            plug->param(MultibandComp::kOutputGain)->setFromHost(0.5 + 0.1 * ((block % 20) / 10.0));
            plug->param(MultibandComp::kF1)->setFromHost(0.2 + 0.2 * ((block % 8) / 7.0));
        }
        plugkit::core::HostCallGuard callbackGuard;  // as the render callback does
        float* ins[2] = {in[0].data() + pos, in[1].data() + pos};
        float* outs[2] = {out[0].data(), out[1].data()};
        plug->processAudioFromHost(ins, outs, hostBlock, plugkit::client::TimeInfo{});
        benchmark::DoNotOptimize(out[0].data());
        benchmark::ClobberMemory();
        pos += hostBlock;
        if (pos + hostBlock > kSignalFrames) pos = 0;
        frames += hostBlock;
    }
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(frames) / kRate, benchmark::Counter::kIsRate);
    plugkit::core::destroyFree(plug);
}

const char* pathName(Path p) { return p == Path::kAvx2 ? "avx2" : p == Path::kSse2 ? "sse2" : "scalar"; }

// Registers one case on each vector path.
template <typename F>
void registerCase(const char* name, F run) {
    for (const Path path : {Path::kAvx2, Path::kSse2, Path::kScalar}) {
        MultibandComp* probe = plugkit::client::Client::create<MultibandComp>();
        probe->setVectorPath(path);
        const bool available = probe->vectorPath() == path;
        plugkit::core::destroyFree(probe);
        if (!available) continue;
        const std::string full = std::string(name) + "/" + pathName(path);
        benchmark::RegisterBenchmark(full.c_str(), [run, path](benchmark::State& s) { run(s, path); });
    }
}

const int registered = [] {
    registerCase("BM_Defaults",
                 [](benchmark::State& s, Path p) { runPlugin(s, false, Signal::Programme, p); });
    registerCase("BM_AutoGain",
                 [](benchmark::State& s, Path p) { runPlugin(s, true, Signal::Programme, p); });
    registerCase("BM_DefaultsHot", [](benchmark::State& s, Path p) { runPlugin(s, false, Signal::Hot, p); });
    registerCase("BM_AutoGainHot", [](benchmark::State& s, Path p) { runPlugin(s, true, Signal::Hot, p); });
    registerCase("BM_SilenceAfterLoud",
                 [](benchmark::State& s, Path p) { runPlugin(s, false, Signal::SilenceAfterLoud, p); });
    registerCase("BM_Automated",
                 [](benchmark::State& s, Path p) { runPlugin(s, false, Signal::Automated, p); });
    for (const int block : {1, 4, 16}) {
        const std::string name = "BM_Defaults_Block" + std::to_string(block);
        registerCase(name.c_str(), [block](benchmark::State& s, Path p) {
            runPlugin(s, false, Signal::Programme, p, block);
        });
    }
    return 0;
}();

}  // namespace

BENCHMARK_MAIN();
