// The multiband kernel on AVX2 lanes: both channels' compressors and meters in one 8-lane register,
// the second and third crossover splits sharing one. The kernels are the scalar and SSE2 code's own
// (dsp/simd/Kernels.inc, CompressorKernels.inc, MultibandKernel.inc), included here again in an
// unnamed namespace with the avx2 target on every function, so that no AVX2 copy of a kernel can
// be linked in place of another translation unit's. Only the crossover's schedule and the mix are
// this file's own. The file is built without floating-point contraction and the avx2 target does
// not enable FMA, so every result is that of the scalar code bit for bit.

#include <immintrin.h>

#include <cmath>
#include <cstring>
#include <type_traits>

#include "dsp/simd/Avx2.h"
#include "plugin/MultibandKernel.h"

#if DSP_SSE2

namespace plugin {

namespace {
namespace avx2 {
using namespace dsp::simd;
using L = Avx2Lanes;
#define DSP_KERNEL __attribute__((target("avx2"), always_inline)) inline
#include "dsp/simd/Kernels.inc"
#include "tolvacompressor/CompressorKernels.inc"

// Restores, in the lanes of keep's set bits, the state a section had before a step.
template <int keep>
struct BlendBack {
    DSP_KERNEL void operator()(F8& now, const F8& before) const {
        now = _mm256_blend_ps(now.v, before.v, keep);
    }
};

// A section's step(x) in the lanes of keep's clear bits only: the others keep their state.
template <int keep, typename Section>
DSP_KERNEL F8 stepSome(Section& s, F8 x) {
    const Section before = s;
    const F8 out = s.step(x);
    s.eachState(BlendBack<keep>{}, before);
    return out;
}

// Split 1's inputs {channel 1, channel 1, channel 2, channel 2} of frames from to from + n - 1,
// four frames at a time. With one channel, channel 2 is silent.
template <int kChannels>
DSP_KERNEL void feedPairs(const float* const* inputs, int from, int n, F4* feed) {
    const float* in0 = inputs[0] + from;
    const float* in1 = kChannels == 2 ? inputs[1] + from : nullptr;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 a = _mm_loadu_ps(in0 + i);
        const __m128 b = kChannels == 2 ? _mm_loadu_ps(in1 + i) : _mm_setzero_ps();
        const __m128 a01 = _mm_unpacklo_ps(a, a), a23 = _mm_unpackhi_ps(a, a);
        const __m128 b01 = _mm_unpacklo_ps(b, b), b23 = _mm_unpackhi_ps(b, b);
        feed[i] = _mm_movelh_ps(a01, b01);
        feed[i + 1] = _mm_movehl_ps(b01, a01);
        feed[i + 2] = _mm_movelh_ps(a23, b23);
        feed[i + 3] = _mm_movehl_ps(b23, a23);
    }
    for (; i < n; ++i) feed[i] = Sse2Lanes::pairs(in0[i], kChannels == 2 ? in1[i] : 0.0f);
}

// CrossoverQuads' schedule with the second and third splits (and the all-passes at F2 and F3) in
// one 8-lane register each, two samples apart: split 2 of sample i+2 runs beside split 3 of sample
// i. Two apart, not one, so that split 3's input comes from the step before last and the register's
// only one-step recurrence is the sections' own feedback. Every lane does the operations of
// CrossoverQuads on the same values.
struct Crossover8 {
    BiQuadSection<F4> s1;
    BiQuadSection<F8> split23;     // split 2 in lanes 0-3, split 3 in 4-7
    AllpassSection<F8> allpass23;  // all-pass at F2 in lanes 0-3, at F3 in 4-7
    // Split 2's and the F2 all-pass's outputs of the two samples ahead, the nearer first.
    F4 o2Near, o2Far, a2Near, a2Far;

    // Joins two stored quads of a section into one register: JoinQuads(register, low, high).
    struct JoinQuads {
        DSP_KERNEL void operator()(F8& f, const Pack<float, 4>& lo, const Pack<float, 4>& hi) const {
            f = L::join(L::load(lo.r), L::load(hi.r));
        }
    };
    struct StoreHalves {
        DSP_KERNEL void operator()(const F8& f, Pack<float, 4>& lo, Pack<float, 4>& hi) const {
            L::store(lo.r, L::low(f));
            L::store(hi.r, L::high(f));
        }
    };

    DSP_KERNEL explicit Crossover8(dsp::CrossoverLanes& c) {
        s1.eachCoefficient(LoadLanes<L>{}, c.s1);
        s1.eachState(LoadLanes<L>{}, c.s1);
        split23.eachCoefficient(JoinQuads{}, c.s2, c.s3);
        split23.eachState(JoinQuads{}, c.s2, c.s3);
        allpass23.eachCoefficient(JoinQuads{}, c.ap2, c.ap3);
        allpass23.eachState(JoinQuads{}, c.ap2, c.ap3);
        o2Near = o2Far = a2Near = a2Far = F4(0.0f);
    }

    DSP_KERNEL void save(dsp::CrossoverLanes& c, const FiniteProbe<L>& probe) {
        s1.eachState(StoreLanes<L>{}, c.s1);
        split23.eachState(StoreHalves{}, c.s2, c.s3);
        allpass23.eachState(StoreHalves{}, c.ap2, c.ap3);
        s1.eachState(probe);
        split23.eachState(probe);
        allpass23.eachState(probe);
    }

    // Split 1 and the first half of the pipeline for one of the first two samples of a block.
    DSP_KERNEL void prime(float x0, float x1) {
        const F4 o1 = s1.step(Sse2Lanes::pairs(x0, x1));
        o2Near = o2Far;
        a2Near = a2Far;
        o2Far = L::low(stepSome<0xF0>(split23, L::join(Sse2Lanes::oddLanes(o1), o1)));
        a2Far = L::low(stepSome<0xF0>(allpass23, L::join(Sse2Lanes::evenLanes(o1), o1)));
    }

    // Primes the pipeline with the block's first samples.
    template <int kChannels>
    DSP_KERNEL void start(const float* const* inputs, int frames) {
        for (int i = 0; i < 2 && i < frames; ++i) prime(inputs[0][i], kChannels == 2 ? inputs[1][i] : 0.0f);
        if (frames == 1) o2Near = o2Far, a2Near = a2Far;
    }

    // The bands of frames start to start + n - 1 of a block of `frames` frames: split 1 runs two
    // samples ahead of the bands.
    template <int kChannels>
    DSP_KERNEL void split(const float* const* inputs, int start, int n, int frames, F8* x) {
        int fed = frames - (start + 2);
        fed = fed < 0 ? 0 : fed > n ? n : fed;
        alignas(16) F4 feed[32];
        feedPairs<kChannels>(inputs, start + 2, fed, feed);
        int i = 0;
        for (; i < fed; ++i) x[i] = next(feed[i]);
        for (; i < n; ++i) x[i] = drain();
    }

private:
    // The bands of the nearer sample ahead, split 1 taking in the sample two further on.
    DSP_KERNEL F8 next(F4 feed) {
        const F4 o1 = s1.step(feed);
        const F8 o23 = split23.step(L::join(Sse2Lanes::oddLanes(o1), in3()));
        const F8 a23 = allpass23.step(L::join(Sse2Lanes::evenLanes(o1), inAllpass3()));
        return advance(o23, a23);
    }

    // The bands of the nearer sample ahead when no sample two further on is in the block.
    DSP_KERNEL F8 drain() {
        const F4 in = in3(), inAllpass = inAllpass3();
        return advance(stepSome<0x0F>(split23, L::join(in, in)),
                       stepSome<0x0F>(allpass23, L::join(inAllpass, inAllpass)));
    }

    DSP_KERNEL F4 in3() const { return Sse2Lanes::oddLanes(o2Near); }
    DSP_KERNEL F4 inAllpass3() const {
        return Sse2Lanes::interleaveLow(a2Near, Sse2Lanes::evenLanes(o2Near));
    }

    DSP_KERNEL F8 advance(F8 o23, F8 a23) {
        o2Near = o2Far;
        a2Near = a2Far;
        o2Far = L::low(o23);
        a2Far = L::low(a23);
        const F4 o3 = L::high(o23), a3 = L::high(a23);
        return L::join(Sse2Lanes::negateOdd(Sse2Lanes::lowHalves(a3, o3)),
                       Sse2Lanes::negateOdd(Sse2Lanes::highHalves(a3, o3)));
    }
};

// The mix of a chunk's band outputs: with no band soloed, four frames are transposed at a time so
// that each addition serves four frames of both channels, y3 + ((y0 + y1) + y2) as mixBands.
struct Mixer8 {
    template <int kChannels>
    DSP_KERNEL static void mix(const F8* y, int n, const KernelBlockView& b, float (*result)[256],
                               int start) {
        if (b.anySolo) {
            for (int i = 0; i < n; ++i) {
                alignas(32) float ys[8];
                L::store(ys, y[i]);
                for (int c = 0; c < kChannels; ++c)
                    result[c][start + i] = mixBands(ys + 4 * c, b.solo, b.anySolo) * b.outGain;
            }
            return;
        }
        const __m256 gain = _mm256_set1_ps(b.outGain);
        int i = 0;
        for (; i + 4 <= n; i += 4) {
            const __m256 ab01 = _mm256_unpacklo_ps(y[i].v, y[i + 1].v),
                         ab23 = _mm256_unpackhi_ps(y[i].v, y[i + 1].v);
            const __m256 cd01 = _mm256_unpacklo_ps(y[i + 2].v, y[i + 3].v);
            const __m256 cd23 = _mm256_unpackhi_ps(y[i + 2].v, y[i + 3].v);
            const __m256 band0 = _mm256_shuffle_ps(ab01, cd01, _MM_SHUFFLE(1, 0, 1, 0));
            const __m256 band1 = _mm256_shuffle_ps(ab01, cd01, _MM_SHUFFLE(3, 2, 3, 2));
            const __m256 band2 = _mm256_shuffle_ps(ab23, cd23, _MM_SHUFFLE(1, 0, 1, 0));
            const __m256 band3 = _mm256_shuffle_ps(ab23, cd23, _MM_SHUFFLE(3, 2, 3, 2));
            const __m256 mixed =
                _mm256_mul_ps(_mm256_add_ps(band3, _mm256_add_ps(_mm256_add_ps(band0, band1), band2)), gain);
            _mm_storeu_ps(result[0] + start + i, _mm256_castps256_ps128(mixed));
            if constexpr (kChannels == 2)
                _mm_storeu_ps(result[1] + start + i, _mm256_extractf128_ps(mixed, 1));
        }
        for (; i < n; ++i) {
            const __m256 v = y[i].v;
            const __m256 sum01 = _mm256_add_ps(v, _mm256_permute_ps(v, _MM_SHUFFLE(2, 3, 0, 1)));
            const __m256 sum012 = _mm256_add_ps(sum01, _mm256_permute_ps(v, _MM_SHUFFLE(3, 3, 3, 2)));
            const __m256 mixed =
                _mm256_mul_ps(_mm256_add_ps(_mm256_permute_ps(v, _MM_SHUFFLE(3, 3, 3, 3)), sum012), gain);
            result[0][start + i] = _mm256_cvtss_f32(mixed);
            if constexpr (kChannels == 2)
                result[1][start + i] = _mm_cvtss_f32(_mm256_extractf128_ps(mixed, 1));
        }
    }
};

#include "plugin/MultibandKernel.inc"
#undef DSP_KERNEL
}  // namespace avx2
}  // namespace

__attribute__((target("avx2"))) bool runBlockAvx2(tolvacompressor::BandLanes& state,
                                                  const KernelBlockView& view) {
    return avx2::runBlockFor<avx2::L, avx2::Crossover8, avx2::Mixer8>(state, view);
}

}  // namespace plugin

#else

namespace plugin {
bool runBlockAvx2(tolvacompressor::BandLanes& state, const KernelBlockView& view) {
    return runBlockSse2(state, view);
}
}  // namespace plugin

#endif
