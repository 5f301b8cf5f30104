// The three code paths (scalar lanes, SSE2, AVX2) against each other and against themselves at
// other host block sizes, over a long signal with settings that glide, switches that flip and
// bursts of NaN and infinity.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "plugin/MultibandComp.h"
#include "plugkit/core/AlignedAlloc.h"

namespace {

using plugin::MultibandComp;
using Path = MultibandComp::VectorPath;
using plugkit::client::FloatParameter;
using Channels = std::vector<std::vector<float>>;

constexpr double kRates[] = {44100.0, 96000.0};  // float and double-precision crossovers
constexpr int kFrames = 94 * 256;
constexpr int kChangeEvery = 2560;  // a multiple of every block size below

// With faults, NaN and infinity bursts (recovered from at the end of the host block, so the output
// then depends on the block size).
Channels makeInput(int channels, bool faults) {
    std::mt19937 rng(99);
    std::normal_distribution<float> noise(0.0f, 0.3f);
    Channels in(static_cast<std::size_t>(channels), std::vector<float>(kFrames));
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < kFrames; ++i) {
            const float loud = (i / 3000) % 2 ? 2.5f : 0.2f;  // compressing and resting stretches
            in[c][i] = loud * (noise(rng) + 0.5f * static_cast<float>(std::sin(0.01 * i + c)));
        }
    if (faults) {
        for (int i = 9000; i < 9006; ++i) in[0][i] = i % 2 ? std::nanf("") : HUGE_VALF;
        in[static_cast<std::size_t>(channels - 1)][15001] = -HUGE_VALF;
    }
    for (int i = 20000; i < 20400; ++i) in[0][i] = 0.0f;  // silence on one channel
    return in;
}

// Step k of the automation: thresholds, ratios, attack, F1, output gain, auto gain and a solo.
void applyStep(MultibandComp& plug, int k) {
    auto set = [&](int index, double plain) {
        auto* f = static_cast<FloatParameter*>(plug.param(index));
        f->setFromHost(f->toNormalized(plain));
    };
    for (int b = 0; b < 4; ++b) {
        set(5 * b + MultibandComp::kThreshold, -30.0 + 4.0 * ((k + b) % 5));
        set(5 * b + MultibandComp::kRatio, 2.0 + 9.0 * ((k * 3 + b) % 4));
    }
    set(MultibandComp::kAttack, 1.0 + 30.0 * (k % 3));
    set(MultibandComp::kF1, 100.0 + 150.0 * (k % 4));
    if (k % 4 == 2) set(MultibandComp::kF3, 5000.0 + 1500.0 * (k % 3));
    set(MultibandComp::kOutputGain, -3.0 + 2.0 * (k % 4));
    plug.param(MultibandComp::kAutoGain)->setFromHost(k % 3 == 1 ? 1.0 : 0.0);
    plug.param(MultibandComp::kSoloHighMid)->setFromHost(k == 5 ? 1.0 : 0.0);
}

struct Rendered {
    Channels out;
    std::vector<float> state;  // meters, then every compressor's envelope and followers
};

// With reload, the plug-in drops its lane state before every block (setVectorPath does), so that
// each block starts from state and settings gathered afresh from the filters and compressors.
Rendered render(Path path, double rate, const Channels& in, int block, bool reload = false) {
    MultibandComp* plug = plugkit::client::Client::create<MultibandComp>();
    plug->setVectorPath(path);
    const int channels = static_cast<int>(in.size());
    plug->resetFromHost(rate, 256, channels, channels);
    Rendered run;
    run.out.assign(in.size(), std::vector<float>(kFrames));
    for (int start = 0; start < kFrames; start += block) {
        if (start % kChangeEvery == 0) applyStep(*plug, start / kChangeEvery);
        // Halfway through a step only the Auto Gain switch flips: no glide starts.
        if (start % kChangeEvery == kChangeEvery / 2)
            plug->param(MultibandComp::kAutoGain)->setFromHost(start / kChangeEvery % 3 == 1 ? 0.0 : 1.0);
        float* ins[2];
        float* outs[2];
        for (int c = 0; c < channels; ++c) {
            ins[c] = const_cast<float*>(in[c].data()) + start;
            outs[c] = run.out[c].data() + start;
        }
        if (reload) plug->setVectorPath(path);
        plug->processAudioFromHost(ins, outs, block, plugkit::client::TimeInfo{});
        if (start % kChangeEvery == kChangeEvery / 2) {
            EXPECT_EQ(plug->bandCompressor(3, 1).isAutoGainEnabled(),
                      plug->readBoolParamValue(MultibandComp::kAutoGain))
                << "at frame " << start;
        }
    }
    for (int k = 0; k < 4; ++k) {
        run.state.push_back(plug->inputMeterLevel(k));
        run.state.push_back(plug->outputMeterLevel(k));
        for (int c = 0; c < 2; ++c) {
            const auto& comp = plug->bandCompressor(k, c);
            run.state.push_back(comp.getEnvelope());
            run.state.push_back(comp.inputFollower().getEnvelope());
            run.state.push_back(comp.outputFollower().getEnvelope());
        }
    }
    plugkit::core::destroyFree(plug);
    return run;
}

// The first sample whose bits differ (two NaNs count as equal: which NaN x86 returns when two meet
// depends on the operand order the compiler picked), or -1.
long firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        std::uint32_t x, y;
        std::memcpy(&x, &a[i], 4);
        std::memcpy(&y, &b[i], 4);
        if (x != y && !(std::isnan(a[i]) && std::isnan(b[i]))) return static_cast<long>(i);
    }
    return -1;
}

void expectSame(const Rendered& got, const Rendered& want, const std::string& what) {
    for (std::size_t c = 0; c < want.out.size(); ++c) {
        const long at = firstDifference(got.out[c], want.out[c]);
        EXPECT_EQ(at, -1) << what << ", channel " << c << ": " << (at < 0 ? 0.0f : got.out[c][at]) << " vs "
                          << (at < 0 ? 0.0f : want.out[c][at]);
    }
    EXPECT_EQ(firstDifference(got.state, want.state), -1) << what << ", final state";
}

// The paths this build and processor have: scalar always, SSE2 on x86-64, AVX2 where the
// processor has it.
std::vector<Path> availablePaths() {
    std::vector<Path> paths;
    for (const Path path : {Path::kScalar, Path::kSse2, Path::kAvx2}) {
        MultibandComp* probe = plugkit::client::Client::create<MultibandComp>();
        probe->setVectorPath(path);
        if (probe->vectorPath() == path) paths.push_back(path);
        plugkit::core::destroyFree(probe);
    }
    return paths;
}

const char* pathName(Path path) {
    return path == Path::kAvx2 ? "avx2" : path == Path::kSse2 ? "sse2" : "scalar";
}

TEST(MultibandCompVectorPaths, EveryPathMatchesScalarWithGlidesAndNonFiniteBursts) {
    const std::vector<Path> paths = availablePaths();
    for (const double rate : kRates)
        for (const int channels : {1, 2}) {
            const Channels in = makeInput(channels, true);
            for (const int block : {1, 16, 256}) {
                const std::string what = std::to_string(rate) + " Hz, " + std::to_string(channels) +
                                         " ch, block " + std::to_string(block);
                const Rendered scalar = render(Path::kScalar, rate, in, block);
                // The burst reached the output and the plug-in recovered from it.
                EXPECT_FALSE(std::isfinite(scalar.out[0][9005])) << what;
                EXPECT_TRUE(std::isfinite(scalar.out[0][kFrames - 1])) << what;
                for (const Path path : paths)
                    if (path != Path::kScalar)
                        expectSame(render(path, rate, in, block), scalar, what + ", " + pathName(path));
            }
        }
}

TEST(MultibandCompVectorPaths, SmallHostBlocksGiveTheResultsOfLargeOnes) {
    for (const double rate : kRates)
        for (const int channels : {1, 2}) {
            const Channels in = makeInput(channels, false);
            for (const Path path : availablePaths()) {
                const std::string what =
                    std::to_string(rate) + " Hz, " + std::to_string(channels) + " ch, " + pathName(path);
                const Rendered large = render(path, rate, in, 256);
                for (const int block : {1, 4, 16}) expectSame(render(path, rate, in, block), large, what);
            }
        }
}

// Settings that glide are brought into the live lanes as they move; with 4-frame blocks every glide
// step falls in a block that reloads everything, which must give the same.
TEST(MultibandCompVectorPaths, SettingsMovedIntoLiveLanesMatchAFreshLoad) {
    for (const int channels : {1, 2}) {
        const Channels in = makeInput(channels, false);
        for (const Path path : availablePaths()) {
            const std::string what = std::to_string(channels) + " ch, " + pathName(path);
            expectSame(render(path, kRates[0], in, 4), render(path, kRates[0], in, 4, true), what);
        }
    }
}

}  // namespace
