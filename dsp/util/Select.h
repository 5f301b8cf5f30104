#pragma once

#include <type_traits>

#include "dsp/util/Simd.h"

namespace dsp {

// (x > y) ? a : b for float without a branch. Envelope followers choose between attack and
// release on every sample from the signal itself; as a branch that choice is mispredicted often
// enough to dominate their cost. The value returned is exactly a or b (also for NaN: b).
template <typename T>
inline T selectIfGreater(T x, T y, T a, T b) {
#if DSP_SSE2
    if constexpr (std::is_same_v<T, float>) {
        const __m128 mask = _mm_cmpgt_ss(_mm_set_ss(x), _mm_set_ss(y));
        return _mm_cvtss_f32(_mm_or_ps(_mm_and_ps(mask, _mm_set_ss(a)), _mm_andnot_ps(mask, _mm_set_ss(b))));
    }
#endif
    return x > y ? a : b;
}

}  // namespace dsp
