#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "dsp/filter/FourBandCrossover.h"
#include "dsp/filter/FourBandCrossoverLanes.h"

namespace {

using Crossover = dsp::FourBandCrossover<float>;

void setUp(Crossover& x) {
    x.setSampleRate(44100.0f);
    x.setFrequencies(150.0f, 1200.0f, 6000.0f);
}

// CrossoverQuads (on plain lanes and, where the build has them, SSE2 registers) against the
// crossover's own per-sample function: same bands and same final state, bit for bit, with
// frequency moves between blocks and one channel as well as two.
template <typename L>
void expectQuadsMatchTheCrossover() {
    for (const bool stereo : {true, false}) {
        Crossover lanes[2], single[2];
        for (Crossover* x : {&lanes[0], &lanes[1], &single[0], &single[1]}) setUp(*x);
        std::mt19937 rng(3);
        std::uniform_real_distribution<float> d(-1.0f, 1.0f);
        for (int block = 0; block < 8; ++block) {
            dsp::CrossoverLanes stored;
            dsp::loadCrossoverLanes(stored, lanes[0], stereo ? &lanes[1] : nullptr, true);
            dsp::kernel::CrossoverQuads<L> run;
            run.eachCoefficient(dsp::kernel::LoadLanes<L>{}, stored);
            run.eachState(dsp::kernel::LoadLanes<L>{}, stored);
            for (int i = 0; i < 500; ++i) {
                const float x[2] = {d(rng), d(rng)};
                typename L::Q b[2];
                run.step(x[0], x[1], b[0], b[1]);
                for (int c = 0; c < (stereo ? 2 : 1); ++c) {
                    float got[4], want[4];
                    L::store(got, b[c]);
                    single[c].process(x[c], want);
                    for (int k = 0; k < 4; ++k) ASSERT_EQ(got[k], want[k]) << block << " " << i << " " << k;
                }
            }
            run.eachState(dsp::kernel::StoreLanes<L>{}, stored);
            dsp::storeCrossoverLanes(stored, lanes[0], stereo ? &lanes[1] : nullptr);
            const float f1 = 150.0f + 40.0f * block;
            for (Crossover* x : {&lanes[0], &lanes[1], &single[0], &single[1]})
                x->setFrequencies(f1, 1200.0f, 6000.0f - 300.0f * block);
        }
        // The stored state carries on exactly where the scalar one is.
        float got[4], want[4];
        lanes[0].process(0.25f, got);
        single[0].process(0.25f, want);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(got[k], want[k]);
        if (!stereo) {
            Crossover untouched;
            setUp(untouched);
            untouched.setFrequencies(150.0f + 280.0f, 1200.0f, 6000.0f - 2100.0f);
            lanes[1].process(0.25f, got);
            untouched.process(0.25f, want);
            for (int k = 0; k < 4; ++k) EXPECT_EQ(got[k], want[k]);  // the unused channel kept its state
        }
    }
}

TEST(CrossoverQuads, MatchTheCrossoverBitForBit) {
    expectQuadsMatchTheCrossover<dsp::simd::ScalarLanes>();
#if DSP_SSE2
    expectQuadsMatchTheCrossover<dsp::simd::Sse2Lanes>();
#endif
}

}  // namespace
