// The plug-in called directly: crossover precision at high rates, a non-finite sample on one
// linked channel, and subnormals when the caller runs without a floating-point guard.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "dsp/filter/FourBandCrossover.h"
#include "plugin/MultibandComp.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/FPControl.h"
#include "tests/plugin/PluginUnderTest.h"

namespace {

using plugin::MultibandComp;
using plugkit::client::FloatParameter;
using plugkit::client::TimeInfo;

using plugin::testing::Plugin;
using plugin::testing::sine;

TEST(MultibandCompRobustness, CrossoverPrecisionAtHighRates) {
    // Uncompressed, the output is the crossover's band sum; against the same crossover in long
    // double the error stays 90 dB down, and the 20 Hz level is that of the ideal (flat) sum.
    for (double rate : {88200.0, 96000.0, 192000.0}) {
        Plugin plug;
        for (int b = 0; b < 4; ++b) plug.setPlain(5 * b + MultibandComp::kRatio, 1.0);
        plug.setPlain(MultibandComp::kF1, 40.0);
        plug.setPlain(MultibandComp::kF2, 45.0);
        plug.setPlain(MultibandComp::kF3, 2000.0);
        plug->resetFromHost(rate, 512, 2, 2);
        const std::size_t frames = static_cast<std::size_t>(rate);
        std::mt19937 rng(3);
        std::normal_distribution<float> noise(0.0f, 0.1f);
        std::vector<float> x = sine(30.0, rate, frames, 0.4);
        for (float& v : x) v += noise(rng);
        const auto out = plug.render({x, x});

        dsp::FourBandCrossover<long double> ideal;
        ideal.setSampleRate(rate);
        ideal.setFrequencies(plug->readFloatParamValue(MultibandComp::kF1),
                             plug->readFloatParamValue(MultibandComp::kF2),
                             plug->readFloatParamValue(MultibandComp::kF3));
        long double err = 0, sig = 0;
        for (std::size_t i = 0; i < frames; ++i) {
            long double band[4];
            ideal.process(x[i], band);
            const long double y = band[3] + ((band[0] + band[1]) + band[2]);
            err += (out[0][i] - y) * (out[0][i] - y);
            sig += y * y;
        }
        EXPECT_LT(10.0 * std::log10(static_cast<double>(err / sig)), -90.0) << rate;

        Plugin low;
        for (int b = 0; b < 4; ++b) low.setPlain(5 * b + MultibandComp::kRatio, 1.0);
        low.setPlain(MultibandComp::kF1, 40.0);
        low->resetFromHost(rate, 512, 2, 2);
        const auto tone = sine(20.0, rate, frames * 2, 0.5);
        const auto y = low.render({tone, tone});
        float peak = 0;
        for (std::size_t i = frames; i < frames * 2; ++i) peak = std::max(peak, std::abs(y[0][i]));
        EXPECT_NEAR(20.0 * std::log10(peak / 0.5), 0.0, 0.05) << rate;
    }
}

TEST(MultibandCompRobustness, CrossoverJumpsKeepEveryBandBounded) {
    // F1 thrown between the ends of its range at every host block under a -6 dBFS bass tone: the
    // bands themselves (their meters follow the peaks) stay within the input peak + 6 dB.
    Plugin plug;
    plug->resetFromHost(48000.0, 1024, 2, 2);
    const auto tone = sine(50.0, 48000.0, 1024 * 200, 0.5);
    float worst = 0;
    for (int block = 0; block < 200; ++block) {
        plug.setPlain(MultibandComp::kF1, block % 2 ? 40.0 : 20000.0);
        const std::vector<float> part(tone.begin() + 1024 * block, tone.begin() + 1024 * (block + 1));
        plug.render({part, part});
        for (int k = 0; k < 4; ++k) worst = std::max(worst, plug->inputMeterLevel(k));
    }
    EXPECT_LE(worst, 1.0f);
}

TEST(MultibandCompRobustness, LinkedChannelKeepsItsReductionWhenThePartnerGoesNonFinite) {
    // A loud tone on both channels, compressed; one NaN on channel 1. Channel 2 is to stay as it
    // was without the NaN (its detector falls back to its own envelope, equal to the partner's).
    const std::size_t frames = 48000 / 2;
    const auto x = sine(1000.0, 48000.0, frames, 0.9);
    auto bad = x;
    bad[frames / 2 + 10] = std::nanf("");
    Plugin clean, faulty;
    for (Plugin* p : {&clean, &faulty}) {
        for (int b = 0; b < 4; ++b) p->setPlain(5 * b + MultibandComp::kThreshold, -24.0);
        (*p)->resetFromHost(48000.0, 512, 2, 2);
    }
    const auto reference = clean.render({x, x});
    const auto out = faulty.render({bad, x});
    float worst = 0;
    for (std::size_t i = frames / 2; i < frames / 2 + 256; ++i)
        worst = std::max(worst, std::abs(out[1][i]) - std::abs(reference[1][i]));
    EXPECT_LT(worst, 0.01f);
}

TEST(MultibandCompRobustness, NoSubnormalsWithoutTheCallersGuard) {
    // The caller keeps the default floating-point mode (subnormals on): loud, then a long silence.
    const std::uint32_t saved = plugkit::core::getSSEControlState();
    plugkit::core::setSSEControlState(0x1F80);
    Plugin plug;
    plug.setPlain(MultibandComp::kF1, 40.0);
    plug->resetFromHost(48000.0, 512, 2, 2);
    auto x = sine(50.0, 48000.0, 48000 * 8, 0.9);
    for (std::size_t i = 48000; i < x.size(); ++i) x[i] = 0;
    const auto out = plug.render({x, x});
    EXPECT_EQ(plugkit::core::getSSEControlState() & 0x8040u, 0u);  // the caller's mode is back
    plugkit::core::setSSEControlState(saved);
    for (const auto& ch : out)
        for (float v : ch) ASSERT_NE(std::fpclassify(v), FP_SUBNORMAL);
    for (int k = 0; k < 4; ++k)
        for (int c = 0; c < 2; ++c) {
            const auto& comp = plug->bandCompressor(k, c);
            EXPECT_NE(std::fpclassify(comp.getEnvelope()), FP_SUBNORMAL);
            EXPECT_NE(std::fpclassify(comp.inputFollower().getEnvelope()), FP_SUBNORMAL);
        }
}

}  // namespace
