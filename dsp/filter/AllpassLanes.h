#pragma once

#include "dsp/filter/Allpass.h"
#include "dsp/filter/SectionSnapshots.h"
#include "dsp/util/Simd.h"

#if DSP_SSE2
namespace dsp {

// Up to four float all-passes in SSE lanes, each doing Allpass::getNextSample's float operations
// in the same order (bit for bit the section's results). Null lanes compute on zero coefficients
// and are never stored back. Audio thread; never allocates.
struct AllpassLanes {
    __m128 a1, a2, b0, b1, b2;
    __m128 w, s1, s2, y;
    __m128 x1, x2, y2;

    AllpassLanes() = default;
    // [audio thread] Copies the coefficients and state of sections[0..3] into the lanes.
    explicit AllpassLanes(const Allpass<float>* const sections[4]) {
        using Snapshot = Allpass<float>::Snapshot;
        const SectionSnapshots<Allpass<float>> gather(sections);
        a1 = gather(&Snapshot::a1), a2 = gather(&Snapshot::a2), b0 = gather(&Snapshot::b0);
        b1 = gather(&Snapshot::b1), b2 = gather(&Snapshot::b2), w = gather(&Snapshot::w);
        s1 = gather(&Snapshot::s1), s2 = gather(&Snapshot::s2), y = gather(&Snapshot::y);
        x1 = gather(&Snapshot::x1), x2 = gather(&Snapshot::x2), y2 = gather(&Snapshot::y2);
    }

    // [audio thread] Puts the state back into the sections the lanes were loaded from.
    void store(Allpass<float>* const sections[4]) const {
        alignas(16) float v[7][4];
        const __m128 fields[7] = {w, s1, s2, y, x1, x2, y2};
        for (int j = 0; j < 7; ++j) _mm_store_ps(v[j], fields[j]);
        for (int k = 0; k < 4; ++k)
            if (sections[k])
                sections[k]->setState(v[0][k], v[1][k], v[2][k], v[3][k], v[4][k], v[5][k], v[6][k]);
    }

    // [audio thread] Lane by lane 0 while the lane's state is finite, NaN otherwise.
    __m128 finiteProbe() const {
        const __m128 z = _mm_setzero_ps();
        const __m128 a = _mm_add_ps(_mm_mul_ps(w, z), _mm_mul_ps(s1, z));
        const __m128 b = _mm_add_ps(_mm_mul_ps(s2, z), _mm_mul_ps(y, z));
        const __m128 c = _mm_add_ps(_mm_mul_ps(x1, z), _mm_mul_ps(x2, z));
        return _mm_add_ps(_mm_add_ps(a, b), _mm_add_ps(c, _mm_mul_ps(y2, z)));
    }

    // [audio thread] One sample in every lane.
    [[gnu::always_inline]] __m128 step(__m128 x) {
        y2 = y;
        w = _mm_sub_ps(x, _mm_mul_ps(a1, s1));
        w = _mm_sub_ps(w, _mm_mul_ps(a2, s2));
        y = _mm_add_ps(_mm_mul_ps(b0, w), _mm_mul_ps(b1, s1));
        y = _mm_add_ps(_mm_mul_ps(b2, s2), y);
        s2 = s1;
        s1 = w;
        x2 = x1;
        x1 = x;
        return y;
    }
};

}  // namespace dsp
#endif
