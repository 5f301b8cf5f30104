#include <gtest/gtest.h>

#include <cmath>

#include "dsp/util/MovingAverage.h"
#include "dsp/util/PeakDetector.h"

namespace {

TEST(PeakDetector, InstantAttackAndReleaseToOneOverE) {
    dsp::PeakDetector<float> d;
    d.setSampleRate(48000.0f);
    d.setEnvelope(0.0f, 500.0f);
    EXPECT_EQ(d.getAttackCoef(), 0.0f);
    for (int i = 0; i < 100; ++i) d.detect(0.0f);
    EXPECT_EQ(d.detect(-1.0f), 1.0f);  // rectified, exact jump
    for (int i = 0; i < 24000; ++i) d.detect(0.0f);
    EXPECT_NEAR(d.getEnvelope(), std::exp(-1.0), 1e-4);
}

TEST(PeakDetector, AttackTimeConstantCoversSixtyThreePercentOfAStep) {
    dsp::PeakDetector<float> d;
    d.setSampleRate(48000.0f);
    d.setEnvelope(10.0f, 1000.0f);
    for (int i = 0; i < 480; ++i) d.detect(1.0f);
    EXPECT_NEAR(d.getEnvelope(), 1.0 - std::exp(-1.0), 1e-3);
}

TEST(PeakDetector, EqualInputUsesReleaseAndResetKeepsCoefficients) {
    dsp::PeakDetector<float> d;
    d.setSampleRate(1000.0f);
    d.setEnvelope(1.0f, 2.0f);
    const float attack = d.getAttackCoef(), release = d.getReleaseCoef();
    EXPECT_FLOAT_EQ(attack, std::exp(-1.0f));
    EXPECT_FLOAT_EQ(release, std::exp(-0.5f));
    d.detect(1.0f);
    const float e = d.getEnvelope();
    // Input equal to the envelope: the release coefficient applies, and the value stays put.
    EXPECT_EQ(d.detect(e), (1 - release) * e + release * e);
    d.reset();
    EXPECT_EQ(d.getEnvelope(), 0.0f);
    EXPECT_EQ(d.getAttackCoef(), attack);
    EXPECT_EQ(d.getReleaseCoef(), release);
}

TEST(MovingAverage, RampsUpOverTheWindowThenHolds) {
    dsp::MovingAverage<float> avg(50);
    for (int i = 1; i <= 50; ++i) {
        const float m = avg.process(1.0);
        EXPECT_NEAR(m, 0.02 * i, 1e-6) << i;
    }
    EXPECT_NEAR(avg.getAverage(), 1.0f, 1e-6);
    for (int i = 0; i < 500; ++i) avg.process(1.0);
    EXPECT_NEAR(avg.getAverage(), 1.0f, 1e-5);
    EXPECT_EQ(avg.size(), 50u);
}

TEST(MovingAverage, FiftyFirstValuePushesOutExactlyTheFirst) {
    dsp::MovingAverage<float> avg(50);
    avg.process(100.0);
    for (int i = 1; i < 50; ++i) avg.process(1.0);
    EXPECT_NEAR(avg.getAverage(), (100.0 + 49.0) / 50.0, 1e-4);
    EXPECT_NEAR(avg.process(1.0), 1.0, 1e-4);
}

}  // namespace
