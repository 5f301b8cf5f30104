#pragma once

// Four-at-a-time decibel conversions for the band compressors: the logarithm and the power of ten
// are evaluated together for four values in double precision and rounded to float. Their error
// before the final rounding is below 1e-15 relative, so the float results equal the float rounding
// of the exact values except in vanishingly rare ties, and are never more than 1 ulp away.
// Pure functions: no allocation, no lock, no system call; safe on the audio thread.

#include <cmath>

#include "dsp/util/Simd.h"

namespace dsp {

#if DSP_SSE2
namespace fastdb {

// ln(x) for finite normal x > 0, two lanes. x = 2^e * m with m in [sqrt(1/2), sqrt(2)),
// ln(m) = 2 atanh(z) with z = (m - 1) / (m + 1), |z| <= 0.1716; the series in z^2 is replaced by a
// degree-6 Chebyshev fit of atanh(z) / z (relative error 3.4e-16 on that range).
inline __m128d lnPositive(__m128d x) {
    const __m128i bits = _mm_castpd_si128(x);
    const __m128i expMagic = _mm_set1_epi64x(0x4330000000000000LL);  // 2^52 as a double
    const __m128d expOffset = _mm_set1_pd(4503599627370496.0 + 1023.0);
    __m128d e = _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(_mm_srli_epi64(bits, 52), expMagic)), expOffset);
    const __m128i mantissaMask = _mm_set1_epi64x(0x000FFFFFFFFFFFFFLL);
    const __m128i oneBits = _mm_set1_epi64x(0x3FF0000000000000LL);
    const __m128d one = _mm_set1_pd(1.0);
    __m128d m = _mm_castsi128_pd(_mm_or_si128(_mm_and_si128(bits, mantissaMask), oneBits));
    const __m128d big = _mm_cmpgt_pd(m, _mm_set1_pd(1.4142135623730951));
    m = _mm_mul_pd(m, _mm_or_pd(_mm_and_pd(big, _mm_set1_pd(0.5)), _mm_andnot_pd(big, one)));
    e = _mm_add_pd(e, _mm_and_pd(big, one));
    const __m128d z = _mm_div_pd(_mm_sub_pd(m, one), _mm_add_pd(m, one));
    const __m128d u = _mm_mul_pd(z, z);
    __m128d p = _mm_set1_pd(0.08418910155022144);
    p = _mm_add_pd(_mm_mul_pd(p, u), _mm_set1_pd(0.090609598568520716));
    p = _mm_add_pd(_mm_mul_pd(p, u), _mm_set1_pd(0.11111717528128005));
    p = _mm_add_pd(_mm_mul_pd(p, u), _mm_set1_pd(0.14285708006466796));
    p = _mm_add_pd(_mm_mul_pd(p, u), _mm_set1_pd(0.20000000030900977));
    p = _mm_add_pd(_mm_mul_pd(p, u), _mm_set1_pd(0.33333333333276377));
    p = _mm_add_pd(_mm_mul_pd(p, u), _mm_set1_pd(1.0000000000000002));
    const __m128d lnm = _mm_mul_pd(_mm_add_pd(z, z), p);
    return _mm_add_pd(_mm_mul_pd(e, _mm_set1_pd(0.69314718055994531)), lnm);
}

// 2^t, two lanes. t is clamped to [-1000, 1000] (NaN stays NaN), split into the nearest integer n
// and f = t - n in [-1/2, 1/2]; 2^f is a degree-10 Chebyshev fit (relative error 4.6e-16).
inline __m128d exp2Clamped(__m128d t) {
    t = _mm_max_pd(_mm_set1_pd(-1000.0), t);  // the second operand is returned for NaN
    t = _mm_min_pd(_mm_set1_pd(1000.0), t);
    const __m128d roundMagic = _mm_set1_pd(6755399441055744.0);  // 1.5 * 2^52
    const __m128d r = _mm_add_pd(t, roundMagic);
    const __m128d n = _mm_sub_pd(r, roundMagic);
    const __m128i k = _mm_sub_epi64(_mm_castpd_si128(r), _mm_castpd_si128(roundMagic));
    const __m128d f = _mm_sub_pd(t, n);
    __m128d p = _mm_set1_pd(7.0725783209788706e-09);
    p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(1.0208693010130529e-07));
    p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(1.3215442684420189e-06));
    p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(1.5252657247827822e-05));
    p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(0.00015403530441391008));
    p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(0.001333355823018148));
    p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(0.0096181291076073532));
    p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(0.05550410866444766));
    p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(0.24022650695910097));
    p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(0.69314718055994995));
    p = _mm_add_pd(_mm_mul_pd(p, f), _mm_set1_pd(1.0));
    const __m128i scaleBits = _mm_slli_epi64(_mm_add_epi64(k, _mm_set1_epi64x(1023)), 52);
    return _mm_mul_pd(p, _mm_castsi128_pd(scaleBits));
}

// float(20 * log10(x)) for two lanes; zero, negative, infinite and NaN lanes take the library path.
inline __m128 decibels2(__m128d x) {
    const __m128d finitePositive =
        _mm_and_pd(_mm_cmpgt_pd(x, _mm_setzero_pd()), _mm_cmplt_pd(x, _mm_set1_pd(HUGE_VAL)));
    const __m128d db = _mm_mul_pd(lnPositive(x), _mm_set1_pd(8.6858896380650366));  // 20 / ln(10)
    __m128 out = _mm_cvtpd_ps(db);
    if (_mm_movemask_pd(finitePositive) != 3) {
        alignas(16) double lanes[2];
        alignas(16) float results[4];
        _mm_store_pd(lanes, x);
        _mm_store_ps(results, out);
        const int ok = _mm_movemask_pd(finitePositive);
        for (int i = 0; i < 2; ++i)
            if (!(ok & (1 << i))) results[i] = static_cast<float>(20.0 * std::log10(lanes[i]));
        out = _mm_load_ps(results);
    }
    return out;
}

}  // namespace fastdb
#endif

// [any thread] float(20 * log10(x)) (0 gives minus infinity): the same evaluation as one lane of
// decibelsFromAmplitude4, so scalar and four-lane code give the same float.
inline float decibelsFromAmplitude(double x) {
#if DSP_SSE2
    return _mm_cvtss_f32(fastdb::decibels2(_mm_set1_pd(x)));
#else
    return static_cast<float>(20.0 * std::log10(x));
#endif
}

// [any thread] float(10^e): the same evaluation as one lane of powerOfTen4.
inline float powerOfTen(double e) {
#if DSP_SSE2
    const __m128d t = _mm_mul_sd(_mm_set_sd(e), _mm_set_sd(3.3219280948873622));  // log2(10)
    return _mm_cvtss_f32(_mm_cvtpd_ps(fastdb::exp2Clamped(t)));
#else
    return static_cast<float>(std::pow(10.0, e));
#endif
}

// [any thread] out[i] = float(20 * log10(x[i])) for four amplitudes (0 gives minus infinity).
inline void decibelsFromAmplitude4(const double x[4], float out[4]) {
#if DSP_SSE2
    const __m128 lo = fastdb::decibels2(_mm_loadu_pd(x));
    const __m128 hi = fastdb::decibels2(_mm_loadu_pd(x + 2));
    _mm_storeu_ps(out, _mm_movelh_ps(lo, hi));
#else
    for (int i = 0; i < 4; ++i) out[i] = static_cast<float>(20.0 * std::log10(x[i]));
#endif
}

// [any thread] out[i] = float(10^e[i]) for four exponents (beyond +-301 the float result is 0 or
// infinity in any case).
inline void powerOfTen4(const double e[4], float out[4]) {
#if DSP_SSE2
    const __m128d log2Of10 = _mm_set1_pd(3.3219280948873622);
    const __m128d lo = fastdb::exp2Clamped(_mm_mul_pd(_mm_loadu_pd(e), log2Of10));
    const __m128d hi = fastdb::exp2Clamped(_mm_mul_pd(_mm_loadu_pd(e + 2), log2Of10));
    _mm_storeu_ps(out, _mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi)));
#else
    for (int i = 0; i < 4; ++i) out[i] = static_cast<float>(std::pow(10.0, e[i]));
#endif
}

}  // namespace dsp
