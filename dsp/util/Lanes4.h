#pragma once

// Four-lane SSE helpers for running several identical one-pole recurrences side by side (the four
// bands of a channel, or the two channels of a filter pair). Every lane does exactly the float
// operations of the scalar code, in the same order, so the results are the same bit for bit.
// Pure inline functions: no allocation, no lock, no system call; safe on the audio thread.

#include "dsp/util/Simd.h"

#if DSP_SSE2

namespace dsp::lanes4 {

// Lane by lane (x > y) ? a : b, as selectIfGreater (NaN gives b).
inline __m128 selectIfGreater(__m128 x, __m128 y, __m128 a, __m128 b) {
    const __m128 mask = _mm_cmpgt_ps(x, y);
    return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
}

// Lane by lane |x| (clears the sign bit, as std::abs).
inline __m128 abs(__m128 x) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), x); }

// EnvelopeDetector's follow() on four lanes: one step of envelope towards the rectified value v.
inline __m128 follow(__m128& envelope, __m128 v, __m128 attackCoef, __m128 releaseCoef) {
    const __m128 c = selectIfGreater(v, envelope, attackCoef, releaseCoef);
    const __m128 held = _mm_mul_ps(c, envelope);
    const __m128 moved = _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(1.0f), c), v);
    envelope = _mm_add_ps(moved, held);
    return envelope;
}

}  // namespace dsp::lanes4

#endif
