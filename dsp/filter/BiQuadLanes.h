#pragma once

#include "dsp/filter/BiQuad.h"
#include "dsp/filter/SectionSnapshots.h"
#include "dsp/util/Simd.h"

#if DSP_SSE2
namespace dsp {

// Up to four float biquad sections in the lanes of SSE registers for the length of a block; each
// lane does BiQuad::getNextSample's float operations in the same order, so its outputs and final
// state are those of the section bit for bit. A lane without a section (null) has zero
// coefficients and is never stored back. Audio thread; never allocates.
struct BiQuadLanes {
    __m128 a0, a1, a2, b1, b2, c0, d0;
    __m128 x1, x2, y1, y2;

    BiQuadLanes() = default;
    // [audio thread] Copies the coefficients and state of sections[0..3] into the lanes.
    explicit BiQuadLanes(const BiQuad<float>* const sections[4]) { load(sections, true); }

    // [audio thread] Copies the sections' coefficients into the lanes, keeping the lanes' state
    // (for sections whose frequency moved while the lanes ran).
    void loadCoefficients(const BiQuad<float>* const sections[4]) { load(sections, false); }

    // [audio thread] Puts the state back into the sections the lanes were loaded from.
    void store(BiQuad<float>* const sections[4]) const {
        alignas(16) float v[4][4];
        _mm_store_ps(v[0], x1);
        _mm_store_ps(v[1], x2);
        _mm_store_ps(v[2], y1);
        _mm_store_ps(v[3], y2);
        for (int k = 0; k < 4; ++k)
            if (sections[k]) sections[k]->setState(v[0][k], v[1][k], v[2][k], v[3][k]);
    }

    // [audio thread] Lane by lane 0 while the lane's state is finite, NaN otherwise.
    __m128 finiteProbe() const {
        const __m128 zero = _mm_setzero_ps();
        return _mm_add_ps(_mm_add_ps(_mm_mul_ps(x1, zero), _mm_mul_ps(x2, zero)),
                          _mm_add_ps(_mm_mul_ps(y1, zero), _mm_mul_ps(y2, zero)));
    }

    // [audio thread] One sample in every lane.
    [[gnu::always_inline]] __m128 step(__m128 x) {
        __m128 v = _mm_add_ps(_mm_mul_ps(a0, x), _mm_mul_ps(a1, x1));
        v = _mm_add_ps(v, _mm_mul_ps(a2, x2));
        v = _mm_sub_ps(v, _mm_mul_ps(b1, y1));
        v = _mm_sub_ps(v, _mm_mul_ps(b2, y2));
        const __m128 out = _mm_add_ps(_mm_mul_ps(d0, x), _mm_mul_ps(c0, v));
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = out;
        return out;
    }

private:
    void load(const BiQuad<float>* const sections[4], bool withState) {
        using Snapshot = BiQuad<float>::Snapshot;
        // A missing section's lane is zero, c0 included.
        const SectionSnapshots<BiQuad<float>> gather(sections);
        a0 = gather(&Snapshot::a0), a1 = gather(&Snapshot::a1), a2 = gather(&Snapshot::a2);
        b1 = gather(&Snapshot::b1), b2 = gather(&Snapshot::b2), c0 = gather(&Snapshot::c0);
        d0 = gather(&Snapshot::d0);
        if (!withState) return;
        x1 = gather(&Snapshot::x1), x2 = gather(&Snapshot::x2);
        y1 = gather(&Snapshot::y1), y2 = gather(&Snapshot::y2);
    }
};

}  // namespace dsp
#endif
