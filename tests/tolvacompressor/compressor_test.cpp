#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "tolvacompressor/TolvaCompressor.h"

namespace {

using Compressor = tolvacompressor::TolvaCompressor<float>;
constexpr float kRate = 48000.0f;

float dbToAmp(double db) { return static_cast<float>(std::pow(10.0, db / 20.0)); }
double ampToDb(double a) { return 20.0 * std::log10(a); }

// Feeds a steady DC level for one second and returns the settled output in dB.
double settledOutputDb(Compressor& c, float level) {
    float y = 0;
    for (int i = 0; i < 48000; ++i) y = c.process(level);
    return ampToDb(std::fabs(y));
}

TEST(TolvaCompressor, SettlesAtTheStaticCurve) {
    Compressor c;
    c.initialize(kRate, 1.0f, 50.0f, -20.0f, 4.0f, 1.0f);
    // -10 dB at the detector, 10 dB over the threshold: reduced by 7.5 dB to -17.5 dB.
    EXPECT_NEAR(settledOutputDb(c, dbToAmp(-10.0)), -17.5, 0.01);
    EXPECT_NEAR(c.detectorVal(), -10.0, 0.01);
    // Below the threshold nothing changes.
    Compressor quiet;
    quiet.initialize(kRate, 1.0f, 50.0f, -20.0f, 4.0f, 1.0f);
    EXPECT_NEAR(settledOutputDb(quiet, dbToAmp(-30.0)), -30.0, 1e-4);
    // Makeup is applied after the reduction.
    Compressor made;
    made.initialize(kRate, 1.0f, 50.0f, -20.0f, 4.0f, dbToAmp(6.0));
    EXPECT_NEAR(settledOutputDb(made, dbToAmp(-10.0)), -11.5, 0.01);
}

TEST(TolvaCompressor, CoefficientsReachOnePercentInTheSetTime) {
    Compressor c;
    c.initialize(kRate, 1.0f, 100.0f, -20.0f, 4.0f, 1.0f);
    EXPECT_NEAR(c.getAttackCoef(), 0.90852, 5e-6);
    EXPECT_FLOAT_EQ(c.getAttackCoef(), static_cast<float>(std::exp(std::log(0.01) / 48.0)));
    // A step of 1 after silence: after 100 ms of release the envelope is at 1 % of the step.
    for (int i = 0; i < 4800; ++i) c.process(1.0f);
    for (int i = 0; i < 4800; ++i) c.process(0.0f);
    EXPECT_NEAR(c.getEnvelope(), 0.01, 1e-4);
    // setParams changes the times without touching the envelope.
    const float env = c.getEnvelope();
    c.setParams(2.0f, 10.0f, -20.0f, 4.0f, 1.0f);
    EXPECT_EQ(c.getEnvelope(), env);
    EXPECT_FLOAT_EQ(c.getReleaseCoef(), static_cast<float>(std::exp(std::log(0.01) / 480.0)));
}

TEST(TolvaCompressor, UnityGainCases) {
    Compressor ratioOne;
    ratioOne.initialize(kRate, 1.0f, 10.0f, -40.0f, 1.0f, 1.0f);
    for (int i = 0; i < 1000; ++i) {
        const float x = 0.9f * std::sin(0.01f * i);
        EXPECT_EQ(ratioOne.process(x), x);
    }
    Compressor silent;
    silent.initialize(kRate, 1.0f, 10.0f, -40.0f, 4.0f, 1.0f);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(silent.process(0.0f), 0.0f);
    EXPECT_EQ(silent.getEnvelope(), 0.0f);
    EXPECT_EQ(silent.detectorVal(), -HUGE_VALF);
}

TEST(TolvaCompressor, LinkedChannelsShareTheMeanOfTheirEnvelopes) {
    Compressor single, left, right;
    single.initialize(kRate, 1.0f, 50.0f, -20.0f, 4.0f, 1.0f);
    left.initialize(kRate, 1.0f, 50.0f, -20.0f, 4.0f, 1.0f);
    right.initialize(kRate, 1.0f, 50.0f, -20.0f, 4.0f, 1.0f);
    left.linkStereo(right);
    EXPECT_EQ(left.getPartner(), &right);
    EXPECT_EQ(right.getPartner(), &left);
    const float x = dbToAmp(-6.0);
    float ys = 0, yl = 0, yr = 0;
    for (int i = 0; i < 48000; ++i) {
        ys = single.process(x);
        yl = left.process(x);
        yr = right.process(x);
    }
    EXPECT_NEAR(yl, ys, 1e-6);
    EXPECT_NEAR(yr, ys, 1e-6);

    // One channel silent: both detect 6.02 dB below the loud channel and reduce alike.
    Compressor a, b;
    a.initialize(kRate, 1.0f, 50.0f, -20.0f, 4.0f, 1.0f);
    b.initialize(kRate, 1.0f, 50.0f, -20.0f, 4.0f, 1.0f);
    a.linkStereo(b);
    float ya = 0;
    for (int i = 0; i < 48000; ++i) {
        ya = a.process(x);
        b.process(0.0f);
    }
    EXPECT_NEAR(a.detectorVal(), -6.0 - 6.0206, 0.01);
    EXPECT_NEAR(b.detectorVal(), a.detectorVal(), 1e-3);
    // -12.02 dB is 7.98 dB over: reduced by 5.985 dB.
    EXPECT_NEAR(ampToDb(ya), -6.0 - 0.75 * 7.9794, 0.01);
}

TEST(TolvaCompressor, AutoGain) {
    Compressor off;
    off.initialize(kRate, 1.0f, 50.0f, -20.0f, 4.0f, 2.0f);
    Compressor ref;
    ref.initialize(kRate, 1.0f, 50.0f, -20.0f, 4.0f, 1.0f);
    for (int i = 0; i < 2000; ++i) {
        const float x = 0.8f * std::sin(0.05f * i);
        const float reduced = ref.process(x);  // makeup 1: x * gain
        EXPECT_EQ(off.process(x), reduced * 2.0f);
    }
    Compressor on;
    on.initialize(kRate, 1.0f, 50.0f, -20.0f, 4.0f, 1.0f);
    on.setAutoGain(true);
    EXPECT_EQ(on.calcAutoGain(), 1.0f);  // both followers still equal
    Compressor twin;                     // same settings without automatic gain
    twin.initialize(kRate, 1.0f, 50.0f, -20.0f, 4.0f, 1.0f);
    float y = 0, reduced = 0;
    const float x = dbToAmp(-6.0);
    for (int i = 0; i < 5 * 48000; ++i) {
        y = on.process(x);
        reduced = twin.process(x);
    }
    // The factor is 10^((in - out) / 20) of the two one-second followers.
    const double in = on.inputFollower().getEnvelope(), out = on.outputFollower().getEnvelope();
    EXPECT_GT(in, out);
    EXPECT_NEAR(on.calcAutoGain(), std::pow(10.0, (in - out) / 20.0), 1e-6);
    EXPECT_FLOAT_EQ(y, reduced * on.calcAutoGain());
    EXPECT_GT(on.calcAutoGain(), 1.0f);
}

// The compressor bank of the vector kernels (on plain lanes and, where the build has them, SSE2
// registers) against process() on every band of both channels, linked stereo, with automatic gain
// on two bands, on a signal that crosses the threshold often: same outputs and states bit for bit.
template <typename L>
void expectBankMatchesProcess() {
    Compressor lanes[2][4], single[2][4];
    for (int k = 0; k < 4; ++k) {
        for (int c = 0; c < 2; ++c) {
            for (Compressor* comp : {&lanes[c][k], &single[c][k]}) {
                comp->initialize(kRate, 1.0f + k, 30.0f + 20 * k, -24.0f + 4 * k, 2.0f + 2 * k, 1.5f);
                comp->setAutoGain(k % 2 == 0);
            }
        }
        lanes[0][k].linkStereo(lanes[1][k]);
        single[0][k].linkStereo(single[1][k]);
    }
    Compressor::Bank stored;
    for (int c = 0; c < 2; ++c) Compressor::loadBank(stored, c, lanes[c], true);
    tolvacompressor::kernel::CompressorBank<L> bank;
    bank.eachSetting(dsp::kernel::LoadLanes<L>{}, stored);
    bank.eachState(dsp::kernel::LoadLanes<L>{}, stored);
    bank.anyAutoGain = stored.anyAutoGain;
    for (int i = 0; i < 96000; ++i) {
        float x[8], y[8];
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < 4; ++k)
                x[4 * c + k] =
                    static_cast<float>(0.7 * std::sin(0.001 * (k + 1) * i + c) * std::sin(0.00003 * i));
        const typename L::F in = L::loadFrame(x);
        const typename L::F sum = bank.template detect<2>(in);
        L::store(y, bank.template reduce<2>(in, bank.template gain<2>(sum), bank.inEnvelope));
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < 4; ++k)
                ASSERT_EQ(y[4 * c + k], single[c][k].process(x[4 * c + k])) << i << " " << k;
    }
    bank.eachState(dsp::kernel::StoreLanes<L>{}, stored);
    for (int c = 0; c < 2; ++c) Compressor::storeBank(stored, c, lanes[c]);
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(lanes[c][k].getEnvelope(), single[c][k].getEnvelope());
            EXPECT_EQ(lanes[c][k].outputFollower().getEnvelope(),
                      single[c][k].outputFollower().getEnvelope());
        }
}

TEST(TolvaCompressor, KernelBankMatchesProcessBitForBit) {
    expectBankMatchesProcess<dsp::simd::ScalarLanes>();
#if DSP_SSE2
    expectBankMatchesProcess<dsp::simd::Sse2Lanes>();
#endif
}

TEST(TolvaCompressor, NonFiniteStateIsDetectedAndCleared) {
    Compressor c;
    c.initialize(kRate, 1.0f, 50.0f, -20.0f, 4.0f, 1.0f);
    c.process(0.5f);
    EXPECT_TRUE(c.hasFiniteState());
    c.process(std::nanf(""));
    EXPECT_FALSE(c.hasFiniteState());
    c.clearNonFiniteState();
    EXPECT_TRUE(c.hasFiniteState());
    EXPECT_EQ(c.getEnvelope(), 0.0f);
    EXPECT_TRUE(std::isfinite(c.process(0.5f)));
}

}  // namespace
