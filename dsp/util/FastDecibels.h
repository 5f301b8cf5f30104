#pragma once

// Decibel conversions for the band compressors: the logarithm and the power of ten are evaluated
// in double precision by the lane kernels (dsp/simd/Kernels.inc) and rounded to float. Their error
// before the final rounding is below 1e-15 relative, so the float results equal the float rounding
// of the exact values except in vanishingly rare ties, and are never more than 1 ulp away; every
// lane type gives the same floats. Pure functions: no allocation, no lock, no system call.

#include "dsp/simd/Kernels.h"

namespace dsp {

// [any thread] float(20 * log10(x)) (0 gives minus infinity).
inline float decibelsFromAmplitude(double x) { return kernel::decibelsOf<simd::OneLane>(x); }

// [any thread] float(10^e) (beyond +-301 the float result is 0 or infinity in any case).
inline float powerOfTen(double e) { return kernel::powerOfTenOf<simd::OneLane>(e); }

// [any thread] The same for four values at a time.
inline void decibelsFromAmplitude4(const double x[4], float out[4]) {
#if DSP_SSE2
    using L = simd::Sse2Lanes;
    L::store(out, kernel::decibelsOf<L>({{_mm_loadu_pd(x), _mm_loadu_pd(x + 2)}}));
#else
    using L = simd::ScalarLanes;
    L::store(out, kernel::decibelsOf<L>({{x[0], x[1], x[2], x[3]}}));
#endif
}
inline void powerOfTen4(const double e[4], float out[4]) {
#if DSP_SSE2
    using L = simd::Sse2Lanes;
    L::store(out, kernel::powerOfTenOf<L>({{_mm_loadu_pd(e), _mm_loadu_pd(e + 2)}}));
#else
    using L = simd::ScalarLanes;
    L::store(out, kernel::powerOfTenOf<L>({{e[0], e[1], e[2], e[3]}}));
#endif
}

}  // namespace dsp
