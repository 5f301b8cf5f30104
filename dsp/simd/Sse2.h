#pragma once

// SSE2 registers as lane types: F4 (four floats) and D2 (two doubles), with the operations of
// dsp/simd/Pack.h lane by lane, and Sse2Lanes, the kernels' quads and frames on them. Every x86-64
// processor has SSE2. Pure inline functions: no allocation, no lock, no system call.

#include "dsp/simd/Pack.h"
#include "dsp/util/Simd.h"

#if DSP_SSE2
namespace dsp::simd {

struct F4 {
    __m128 v;
    F4() = default;
    F4(__m128 x) : v(x) {}
    explicit F4(float x) : v(_mm_set1_ps(x)) {}
};
struct D2 {
    __m128d v;
    D2() = default;
    D2(__m128d x) : v(x) {}
    explicit D2(double x) : v(_mm_set1_pd(x)) {}
};

#define DSP_FORCE_INLINE [[gnu::always_inline]] inline
DSP_FORCE_INLINE F4 operator+(F4 a, F4 b) { return _mm_add_ps(a.v, b.v); }
DSP_FORCE_INLINE F4 operator-(F4 a, F4 b) { return _mm_sub_ps(a.v, b.v); }
DSP_FORCE_INLINE F4 operator*(F4 a, F4 b) { return _mm_mul_ps(a.v, b.v); }
DSP_FORCE_INLINE F4 operator/(F4 a, F4 b) { return _mm_div_ps(a.v, b.v); }
// Masks are registers with all bits set in the lanes where the comparison holds.
DSP_FORCE_INLINE F4 greater(F4 a, F4 b) { return _mm_cmpgt_ps(a.v, b.v); }
DSP_FORCE_INLINE F4 less(F4 a, F4 b) { return _mm_cmplt_ps(a.v, b.v); }
DSP_FORCE_INLINE F4 equal(F4 a, F4 b) { return _mm_cmpeq_ps(a.v, b.v); }
DSP_FORCE_INLINE F4 select(F4 m, F4 a, F4 b) {
    return _mm_or_ps(_mm_and_ps(m.v, a.v), _mm_andnot_ps(m.v, b.v));
}
DSP_FORCE_INLINE F4 keepIf(F4 m, F4 a) { return _mm_and_ps(m.v, a.v); }
DSP_FORCE_INLINE F4 bitAnd(F4 a, F4 b) { return _mm_and_ps(a.v, b.v); }
DSP_FORCE_INLINE F4 abs(F4 a) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), a.v); }
DSP_FORCE_INLINE F4 bothOf(F4 a, F4 b) { return _mm_and_ps(a.v, b.v); }
DSP_FORCE_INLINE bool allOf(F4 m) { return _mm_movemask_ps(m.v) == 15; }

DSP_FORCE_INLINE D2 operator+(D2 a, D2 b) { return _mm_add_pd(a.v, b.v); }
DSP_FORCE_INLINE D2 operator-(D2 a, D2 b) { return _mm_sub_pd(a.v, b.v); }
DSP_FORCE_INLINE D2 operator*(D2 a, D2 b) { return _mm_mul_pd(a.v, b.v); }
DSP_FORCE_INLINE D2 operator/(D2 a, D2 b) { return _mm_div_pd(a.v, b.v); }
DSP_FORCE_INLINE D2 greater(D2 a, D2 b) { return _mm_cmpgt_pd(a.v, b.v); }
DSP_FORCE_INLINE D2 less(D2 a, D2 b) { return _mm_cmplt_pd(a.v, b.v); }
DSP_FORCE_INLINE D2 select(D2 m, D2 a, D2 b) {
    return _mm_or_pd(_mm_and_pd(m.v, a.v), _mm_andnot_pd(m.v, b.v));
}
DSP_FORCE_INLINE D2 keepIf(D2 m, D2 a) { return _mm_and_pd(m.v, a.v); }
DSP_FORCE_INLINE D2 bothOf(D2 a, D2 b) { return _mm_and_pd(a.v, b.v); }
DSP_FORCE_INLINE D2 maxOf(D2 a, D2 b) { return _mm_max_pd(a.v, b.v); }
DSP_FORCE_INLINE D2 minOf(D2 a, D2 b) { return _mm_min_pd(a.v, b.v); }
DSP_FORCE_INLINE bool allOf(D2 m) { return _mm_movemask_pd(m.v) == 3; }
DSP_FORCE_INLINE void splitExponent(D2 x, D2& m, D2& e) {
    const __m128i bits = _mm_castpd_si128(x.v);
    const __m128i expMagic = _mm_set1_epi64x(kTwoTo52Bits);
    e = _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(_mm_srli_epi64(bits, 52), expMagic)),
                   _mm_set1_pd(kTwoTo52PlusBias));
    m = _mm_castsi128_pd(
        _mm_or_si128(_mm_and_si128(bits, _mm_set1_epi64x(kMantissaBits)), _mm_set1_epi64x(kOneBits)));
}
DSP_FORCE_INLINE D2 powerOfTwo(D2 r) {
    const __m128i n = _mm_sub_epi64(_mm_castpd_si128(r.v), _mm_castpd_si128(_mm_set1_pd(kRoundMagic)));
    return _mm_castsi128_pd(_mm_slli_epi64(_mm_add_epi64(n, _mm_set1_epi64x(1023)), 52));
}

// The kernels' quads and frames on SSE2: a quad is one register, a frame two.
struct Sse2Lanes {
    using Scalar = float;
    using Q = F4;
    using QD = Pack<D2, 2>;
    using F = Pack<F4, 2>;
    static constexpr int kQuadLanes = 4;

    DSP_FORCE_INLINE static QD widen(Q q) {
        return {{_mm_cvtps_pd(q.v), _mm_cvtps_pd(_mm_movehl_ps(q.v, q.v))}};
    }
    DSP_FORCE_INLINE static Q narrow(const QD& d) {
        return _mm_movelh_ps(_mm_cvtpd_ps(d.r[0].v), _mm_cvtpd_ps(d.r[1].v));
    }
    DSP_FORCE_INLINE static Q low(const F& f) { return f.r[0]; }
    DSP_FORCE_INLINE static Q high(const F& f) { return f.r[1]; }
    DSP_FORCE_INLINE static F join(Q lo, Q hi) { return {{lo, hi}}; }
    DSP_FORCE_INLINE static F crossHalves(const F& a, const F& b) { return {{a.r[1], b.r[0]}}; }
    DSP_FORCE_INLINE static F frameLows(const F& a, const F& b) { return {{a.r[0], b.r[0]}}; }
    DSP_FORCE_INLINE static F frameHighs(const F& a, const F& b) { return {{a.r[1], b.r[1]}}; }
    DSP_FORCE_INLINE static Q half(const F& f, int c) { return f.r[c]; }
    DSP_FORCE_INLINE static int maskBits(const F& m) {
        return _mm_movemask_ps(m.r[0].v) | _mm_movemask_ps(m.r[1].v) << 4;
    }
    DSP_FORCE_INLINE static void store(double* out, const QD& d) {
        _mm_storeu_pd(out, d.r[0].v);
        _mm_storeu_pd(out + 2, d.r[1].v);
    }
    DSP_FORCE_INLINE static void store(float* out, Q q) { _mm_storeu_ps(out, q.v); }
    DSP_FORCE_INLINE static void store(float* out, const F& f) {
        _mm_storeu_ps(out, f.r[0].v);
        _mm_storeu_ps(out + 4, f.r[1].v);
    }
    DSP_FORCE_INLINE static Q load(const float* in) { return _mm_loadu_ps(in); }
    DSP_FORCE_INLINE static QD load(const double* in) { return {{_mm_loadu_pd(in), _mm_loadu_pd(in + 2)}}; }
    DSP_FORCE_INLINE static F loadFrame(const float* in) {
        return {{_mm_loadu_ps(in), _mm_loadu_ps(in + 4)}};
    }
    DSP_FORCE_INLINE static Q splat(float v) { return F4(v); }
    DSP_FORCE_INLINE static F splatFrame(float v) { return {{F4(v), F4(v)}}; }

    DSP_FORCE_INLINE static Q pairs(float a, float b) { return _mm_setr_ps(a, a, b, b); }
    DSP_FORCE_INLINE static Q oddLanes(Q v) { return _mm_shuffle_ps(v.v, v.v, _MM_SHUFFLE(3, 3, 1, 1)); }
    DSP_FORCE_INLINE static Q evenLanes(Q v) { return _mm_shuffle_ps(v.v, v.v, _MM_SHUFFLE(2, 0, 2, 0)); }
    DSP_FORCE_INLINE static Q interleaveLow(Q a, Q b) { return _mm_unpacklo_ps(a.v, b.v); }
    DSP_FORCE_INLINE static Q lowHalves(Q a, Q b) { return _mm_movelh_ps(a.v, b.v); }
    DSP_FORCE_INLINE static Q highHalves(Q a, Q b) { return _mm_movehl_ps(b.v, a.v); }
    DSP_FORCE_INLINE static Q negateOdd(Q v) {
        return _mm_xor_ps(v.v, _mm_setr_ps(0.0f, -0.0f, 0.0f, -0.0f));
    }
};
#undef DSP_FORCE_INLINE

}  // namespace dsp::simd
#endif
