#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "dsp/filter/Allpass.h"
#include "dsp/filter/LinkwitzRileyHP.h"
#include "dsp/filter/LinkwitzRileyLP.h"
#include "tests/dsp/ToneAnalysis.h"

namespace {

constexpr double kRate = 48000.0;

struct SplitPair {
    dsp::LinkwitzRileyLP<float> lp;
    dsp::LinkwitzRileyHP<float> hp;
    explicit SplitPair(float f) {
        lp.setSampleRate(static_cast<float>(kRate));
        hp.setSampleRate(static_cast<float>(kRate));
        lp.setFrequency(f);
        hp.setFrequency(f);
    }
};

TEST(LinkwitzRiley, EachSectionIsSixDecibelsDownAtItsCorner) {
    for (float f : {100.0f, 1000.0f, 10000.0f}) {
        SplitPair s(f);
        const auto lp = tests::measureTone([&](float x) { return s.lp.getNextSample(x); }, f, kRate);
        const auto hp = tests::measureTone([&](float x) { return s.hp.getNextSample(x); }, f, kRate);
        EXPECT_NEAR(lp.gainDb, -6.02, 0.01) << f;
        EXPECT_NEAR(hp.gainDb, -6.02, 0.01) << f;
    }
}

TEST(LinkwitzRiley, PassAndStopBands) {
    SplitPair s(1000.0f);
    EXPECT_NEAR(tests::measureTone([&](float x) { return s.lp.getNextSample(x); }, 50, kRate).gainDb, 0.0,
                0.05);
    EXPECT_NEAR(tests::measureTone([&](float x) { return s.hp.getNextSample(x); }, 15000, kRate).gainDb, 0.0,
                0.05);
    // 12 dB per octave: well over 30 dB down three octaves away.
    EXPECT_LT(tests::measureTone([&](float x) { return s.lp.getNextSample(x); }, 8000, kRate).gainDb, -30.0);
    EXPECT_LT(tests::measureTone([&](float x) { return s.hp.getNextSample(x); }, 125, kRate).gainDb, -30.0);
}

TEST(LinkwitzRiley, LowMinusHighIsAllPassAndTheirSumHasANotch) {
    SplitPair s(1000.0f);
    for (double f : {30.0, 200.0, 700.0, 1000.0, 1400.0, 5000.0, 18000.0}) {
        SplitPair d(1000.0f);
        const auto diff = tests::measureTone(
            [&](float x) { return d.lp.getNextSample(x) - d.hp.getNextSample(x); }, f, kRate);
        EXPECT_NEAR(diff.gainDb, 0.0, 0.01) << f;
    }
    const auto sum = tests::measureTone(
        [&](float x) { return s.lp.getNextSample(x) + s.hp.getNextSample(x); }, 1000.0, kRate);
    EXPECT_LT(sum.gainDb, -60.0);
}

TEST(LinkwitzRiley, SampleRateClearsStateButFrequencyDoesNot) {
    dsp::LinkwitzRileyLP<float> lp;
    lp.setSampleRate(48000.0f);
    lp.setFrequency(500.0f);
    for (int i = 0; i < 10; ++i) lp.getNextSample(1.0f);
    lp.setFrequency(800.0f);
    auto s = lp.section();
    EXPECT_EQ(s.x1, 1.0f);
    EXPECT_NE(s.y1, 0.0f);
    const float a0 = s.a0;
    lp.setFrequency(800.0f);  // unchanged: same coefficients, state kept
    EXPECT_EQ(lp.section().a0, a0);
    lp.setSampleRate(44100.0f);
    s = lp.section();
    EXPECT_EQ(s.x1, 0.0f);
    EXPECT_EQ(s.x2, 0.0f);
    EXPECT_EQ(s.y1, 0.0f);
    EXPECT_EQ(s.y2, 0.0f);
    EXPECT_NE(s.a0, a0);  // recomputed for the new rate
    EXPECT_EQ(lp.getFrequency(), 800.0f);
}

TEST(LinkwitzRiley, WetDryMixFromInitialize) {
    dsp::LinkwitzRileyLP<float> section;
    // Only the dry path: out = 0.5 * x whatever the filter coefficients.
    section.initialize(1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f);
    EXPECT_EQ(section.getNextSample(2.0f), 1.0f);
    // The mixed output is fed back: y1 is 1, so with b1 = -1 the next wet value includes it.
    section.initialize(0.0f, 0.0f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f);
    EXPECT_EQ(section.getNextSample(0.0f), 1.0f);
}

TEST(LinkwitzRiley, ProcessBuffersMatchesSampleCallsAndZeroFramesWritesNothing) {
    SplitPair a(300.0f), b(300.0f);
    float in[64], out[64], ref[64];
    for (int i = 0; i < 64; ++i) in[i] = std::sin(0.3f * i);
    a.lp.processBuffers(in, out, 64);
    for (int i = 0; i < 64; ++i) ref[i] = b.lp.getNextSample(in[i]);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(out[i], ref[i]);
    float untouched[4] = {7, 7, 7, 7};
    a.lp.processBuffers(in, untouched, 0);
    for (float v : untouched) EXPECT_EQ(v, 7.0f);
}

TEST(Allpass, UnitMagnitudeAndMinus180DegreesAtCentre) {
    for (double f : {40.0, 300.0, 1000.0, 3000.0, 12000.0, 20000.0}) {
        dsp::Allpass<float> ap;
        ap.setSampleRate(static_cast<float>(kRate));
        ap.setFrequency(1000.0f);
        EXPECT_NEAR(tests::measureTone([&](float x) { return ap.getNextSample(x); }, f, kRate).gainDb, 0.0,
                    0.01)
            << f;
    }
    dsp::Allpass<float> ap;
    ap.setSampleRate(static_cast<float>(kRate));
    ap.setFrequency(1000.0f);
    const auto r = tests::measureTone([&](float x) { return ap.getNextSample(x); }, 1000.0, kRate);
    EXPECT_NEAR(std::fabs(r.phaseDeg), 180.0, 0.1);
}

TEST(Allpass, CoefficientsFollowTheRateOnlyOnTheNextTuning) {
    dsp::Allpass<float> ap;
    ap.setFrequency(1000.0f);  // no rate yet: NaN coefficients
    ap.setSampleRate(48000.0f);
    EXPECT_TRUE(std::isnan(ap.getNextSample(1.0f)));
    ap.reset();
    ap.setFrequency(1000.0f);
    EXPECT_TRUE(std::isfinite(ap.getNextSample(1.0f)));
    const auto at48 = ap.section();
    ap.setSampleRate(96000.0f);  // state cleared, coefficients kept
    auto s = ap.section();
    EXPECT_EQ(s.a1, at48.a1);
    EXPECT_EQ(s.s1, 0.0f);
    EXPECT_EQ(s.y, 0.0f);
    ap.setFrequency(1000.0f);  // recomputed every time
    EXPECT_NE(ap.section().a1, at48.a1);
    EXPECT_EQ(ap.section().b2, 1.0f);
}

TEST(Allpass, RetuningUnderASignalStaysBoundedAndContinuous) {
    // A low corner's direct-form-II state is large; kept as it was across a jump it blasts (40 to
    // 901 Hz: 26.8 for a 0.5 tone). The state is rebuilt from the last inputs and outputs instead:
    // the output stays within twice the input and, for a moderate jump, continuous. (A jump to
    // the top of the range still rings near Nyquist; the plug-in glides its frequencies.)
    for (const auto& [from, to] :
         {std::pair{40.0f, 901.0f}, std::pair{901.0f, 40.0f}, std::pair{40.0f, 20000.0f}}) {
        dsp::Allpass<float> ap;
        ap.setSampleRate(48000.0f);
        ap.reset();
        ap.setFrequency(from);
        const double w = 2 * std::numbers::pi * 100.0 / 48000.0;
        float last = 0, peak = 0, step = 0;
        for (int i = 0; i < 96000; ++i) {
            if (i == 48000) ap.setFrequency(to);
            const float y = ap.getNextSample(static_cast<float>(0.5 * std::sin(w * i)));
            if (i >= 48000) {
                peak = std::max(peak, std::abs(y));
                step = std::max(step, std::abs(y - last));
            }
            last = y;
        }
        EXPECT_LT(peak, 1.0f) << from << " to " << to;
        if (to < 20000.0f) {
            EXPECT_LT(step, 0.05f) << from << " to " << to;  // the tone's own: 0.0065
        }
    }
}

TEST(Allpass, FreshObjectWithRateOnlyOutputsZero) {
    // Coefficients start at 0: until tuned, the all-pass outputs silence.
    dsp::Allpass<float> ap;
    ap.setSampleRate(48000.0f);
    EXPECT_EQ(ap.getNextSample(1.0f), 0.0f);
}

}  // namespace
