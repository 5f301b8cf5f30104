#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "dsp/util/FastDecibels.h"

namespace {

// Distance in units in the last place between two finite floats of the same sign.
int64_t ulpDistance(float a, float b) {
    int32_t ia, ib;
    std::memcpy(&ia, &a, 4);
    std::memcpy(&ib, &b, 4);
    if (ia < 0) ia = std::numeric_limits<int32_t>::min() - ia;
    if (ib < 0) ib = std::numeric_limits<int32_t>::min() - ib;
    return std::llabs(static_cast<int64_t>(ia) - ib);
}

TEST(FastDecibels, LogarithmWithinOneUlpOfTheRoundedLibraryResult) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> exponent(-120.0, 20.0);  // amplitudes from 1e-6 to 10
    long exact = 0, total = 0;
    for (int n = 0; n < 250000; ++n) {
        double x[4];
        for (double& v : x)
            v = static_cast<double>(static_cast<float>(std::pow(10.0, exponent(rng) / 20.0))) * 0.5;
        float got[4];
        dsp::decibelsFromAmplitude4(x, got);
        for (int i = 0; i < 4; ++i) {
            const float want = static_cast<float>(20.0 * std::log10(x[i]));
            ASSERT_LE(ulpDistance(got[i], want), 1) << x[i];
            exact += got[i] == want;
            ++total;
        }
    }
    EXPECT_GE(exact, total - total / 100000);
}

TEST(FastDecibels, LogarithmSpecialValues) {
    const double x[4] = {0.0, HUGE_VAL, std::nan(""), 1.0};
    float out[4];
    dsp::decibelsFromAmplitude4(x, out);
    EXPECT_EQ(out[0], -HUGE_VALF);
    EXPECT_EQ(out[1], HUGE_VALF);
    EXPECT_TRUE(std::isnan(out[2]));
    EXPECT_EQ(out[3], 0.0f);
}

TEST(FastDecibels, PowerOfTenWithinOneUlpOfTheRoundedLibraryResult) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> db(-120.0f, 12.0f);
    long exact = 0, total = 0;
    for (int n = 0; n < 250000; ++n) {
        double e[4];
        for (double& v : e) v = static_cast<double>(db(rng)) / 20.0;
        float got[4];
        dsp::powerOfTen4(e, got);
        for (int i = 0; i < 4; ++i) {
            const float want = static_cast<float>(std::pow(10.0, e[i]));
            ASSERT_LE(ulpDistance(got[i], want), 1) << e[i];
            exact += got[i] == want;
            ++total;
        }
    }
    EXPECT_GE(exact, total - total / 100000);
}

TEST(FastDecibels, PowerOfTenEdges) {
    const double e[4] = {0.0, -HUGE_VAL, 400.0, std::nan("")};
    float out[4];
    dsp::powerOfTen4(e, out);
    EXPECT_EQ(out[0], 1.0f);  // no reduction is exactly unity gain
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(out[2], HUGE_VALF);
    EXPECT_TRUE(std::isnan(out[3]));
}

}  // namespace
