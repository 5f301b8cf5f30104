#pragma once

// AVX2 registers as lane types: F8 (eight floats) and D4 (four doubles), with the operations of
// dsp/simd/Pack.h lane by lane, and Avx2Lanes, the kernels' quads and frames on them: a frame is
// one register, a quad an SSE register in VEX encoding. Every function carries the avx2 target
// attribute and is always inlined, so only code that is itself compiled for AVX2 can use them:
// include this header only in the translation unit that holds the AVX2 kernels. No function here
// enables FMA, so no multiply and add is ever fused.

#include <immintrin.h>

#include "dsp/simd/Sse2.h"

#if DSP_SSE2
#define DSP_AVX2 __attribute__((target("avx2"), always_inline)) inline

namespace dsp::simd {

struct F8 {
    __m256 v;
    F8() = default;
    DSP_AVX2 F8(__m256 x) : v(x) {}
    DSP_AVX2 explicit F8(float x) : v(_mm256_set1_ps(x)) {}
};
struct D4 {
    __m256d v;
    D4() = default;
    DSP_AVX2 D4(__m256d x) : v(x) {}
    DSP_AVX2 explicit D4(double x) : v(_mm256_set1_pd(x)) {}
};

DSP_AVX2 F8 operator+(F8 a, F8 b) { return _mm256_add_ps(a.v, b.v); }
DSP_AVX2 F8 operator-(F8 a, F8 b) { return _mm256_sub_ps(a.v, b.v); }
DSP_AVX2 F8 operator*(F8 a, F8 b) { return _mm256_mul_ps(a.v, b.v); }
DSP_AVX2 F8 operator/(F8 a, F8 b) { return _mm256_div_ps(a.v, b.v); }
DSP_AVX2 F8 greater(F8 a, F8 b) { return _mm256_cmp_ps(a.v, b.v, _CMP_GT_OQ); }
DSP_AVX2 F8 less(F8 a, F8 b) { return _mm256_cmp_ps(a.v, b.v, _CMP_LT_OQ); }
DSP_AVX2 F8 equal(F8 a, F8 b) { return _mm256_cmp_ps(a.v, b.v, _CMP_EQ_OQ); }
DSP_AVX2 F8 select(F8 m, F8 a, F8 b) { return _mm256_blendv_ps(b.v, a.v, m.v); }
DSP_AVX2 F8 keepIf(F8 m, F8 a) { return _mm256_and_ps(m.v, a.v); }
DSP_AVX2 F8 bitAnd(F8 a, F8 b) { return _mm256_and_ps(a.v, b.v); }
DSP_AVX2 F8 abs(F8 a) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), a.v); }
DSP_AVX2 F8 bothOf(F8 a, F8 b) { return _mm256_and_ps(a.v, b.v); }
DSP_AVX2 bool allOf(F8 m) { return _mm256_movemask_ps(m.v) == 255; }

DSP_AVX2 D4 operator+(D4 a, D4 b) { return _mm256_add_pd(a.v, b.v); }
DSP_AVX2 D4 operator-(D4 a, D4 b) { return _mm256_sub_pd(a.v, b.v); }
DSP_AVX2 D4 operator*(D4 a, D4 b) { return _mm256_mul_pd(a.v, b.v); }
DSP_AVX2 D4 operator/(D4 a, D4 b) { return _mm256_div_pd(a.v, b.v); }
DSP_AVX2 D4 greater(D4 a, D4 b) { return _mm256_cmp_pd(a.v, b.v, _CMP_GT_OQ); }
DSP_AVX2 D4 less(D4 a, D4 b) { return _mm256_cmp_pd(a.v, b.v, _CMP_LT_OQ); }
DSP_AVX2 D4 select(D4 m, D4 a, D4 b) { return _mm256_blendv_pd(b.v, a.v, m.v); }
DSP_AVX2 D4 keepIf(D4 m, D4 a) { return _mm256_and_pd(m.v, a.v); }
DSP_AVX2 D4 bothOf(D4 a, D4 b) { return _mm256_and_pd(a.v, b.v); }
DSP_AVX2 D4 maxOf(D4 a, D4 b) { return _mm256_max_pd(a.v, b.v); }
DSP_AVX2 D4 minOf(D4 a, D4 b) { return _mm256_min_pd(a.v, b.v); }
DSP_AVX2 bool allOf(D4 m) { return _mm256_movemask_pd(m.v) == 15; }
DSP_AVX2 void splitExponent(D4 x, D4& m, D4& e) {
    const __m256i bits = _mm256_castpd_si256(x.v);
    const __m256i expMagic = _mm256_set1_epi64x(kTwoTo52Bits);
    e = _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(_mm256_srli_epi64(bits, 52), expMagic)),
                      _mm256_set1_pd(kTwoTo52PlusBias));
    m = _mm256_castsi256_pd(_mm256_or_si256(_mm256_and_si256(bits, _mm256_set1_epi64x(kMantissaBits)),
                                            _mm256_set1_epi64x(kOneBits)));
}
DSP_AVX2 D4 powerOfTwo(D4 r) {
    const __m256i n =
        _mm256_sub_epi64(_mm256_castpd_si256(r.v), _mm256_castpd_si256(_mm256_set1_pd(kRoundMagic)));
    return _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_add_epi64(n, _mm256_set1_epi64x(1023)), 52));
}

struct Avx2Lanes {
    using Scalar = float;
    using Q = F4;
    using QD = D4;
    using F = F8;
    static constexpr int kQuadLanes = 4;

    DSP_AVX2 static QD widen(Q q) { return _mm256_cvtps_pd(q.v); }
    DSP_AVX2 static Q narrow(QD d) { return _mm256_cvtpd_ps(d.v); }
    DSP_AVX2 static Q low(F f) { return _mm256_castps256_ps128(f.v); }
    DSP_AVX2 static Q high(F f) { return _mm256_extractf128_ps(f.v, 1); }
    DSP_AVX2 static F join(Q lo, Q hi) { return _mm256_set_m128(hi.v, lo.v); }
    DSP_AVX2 static F crossHalves(F a, F b) { return _mm256_permute2f128_ps(a.v, b.v, 0x21); }
    DSP_AVX2 static F frameLows(F a, F b) { return _mm256_permute2f128_ps(a.v, b.v, 0x20); }
    DSP_AVX2 static F frameHighs(F a, F b) { return _mm256_permute2f128_ps(a.v, b.v, 0x31); }
    DSP_AVX2 static Q half(F f, int c) { return c ? high(f) : low(f); }
    DSP_AVX2 static int maskBits(F m) { return _mm256_movemask_ps(m.v); }
    DSP_AVX2 static void store(double* out, QD d) { _mm256_storeu_pd(out, d.v); }
    DSP_AVX2 static void store(float* out, Q q) { _mm_storeu_ps(out, q.v); }
    DSP_AVX2 static void store(float* out, F f) { _mm256_storeu_ps(out, f.v); }
    DSP_AVX2 static Q load(const float* in) { return _mm_loadu_ps(in); }
    DSP_AVX2 static F loadFrame(const float* in) { return _mm256_loadu_ps(in); }
    DSP_AVX2 static Q splat(float v) { return F4(v); }
    DSP_AVX2 static F splatFrame(float v) { return F8(v); }
};

}  // namespace dsp::simd
#endif
