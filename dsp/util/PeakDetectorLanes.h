#pragma once

#include "dsp/util/Lanes4.h"
#include "dsp/util/PeakDetector.h"

#if DSP_SSE2
namespace dsp {

// Four float peak detectors in SSE lanes, each doing PeakDetector::detect's float operations in the
// same order (bit for bit the detector's envelope). Audio thread; never allocates.
struct PeakDetectorLanes {
    __m128 envelope, attackCoef, releaseCoef;

    PeakDetectorLanes() = default;
    // [audio thread] Copies the envelopes and coefficients of detectors[0..3].
    explicit PeakDetectorLanes(const PeakDetector<float> detectors[4]) {
        const PeakDetector<float>* d = detectors;
        envelope =
            _mm_setr_ps(d[0].getEnvelope(), d[1].getEnvelope(), d[2].getEnvelope(), d[3].getEnvelope());
        attackCoef = _mm_setr_ps(d[0].getAttackCoef(), d[1].getAttackCoef(), d[2].getAttackCoef(),
                                 d[3].getAttackCoef());
        releaseCoef = _mm_setr_ps(d[0].getReleaseCoef(), d[1].getReleaseCoef(), d[2].getReleaseCoef(),
                                  d[3].getReleaseCoef());
    }

    // [audio thread] Puts the envelopes back into the detectors the lanes were loaded from.
    void store(PeakDetector<float> detectors[4]) const {
        alignas(16) float v[4];
        _mm_store_ps(v, envelope);
        for (int k = 0; k < 4; ++k) detectors[k].restoreEnvelope(v[k]);
    }

    // [audio thread] detect(x) in every lane.
    void detect(__m128 x) { lanes4::follow(envelope, lanes4::abs(x), attackCoef, releaseCoef); }
};

}  // namespace dsp
#endif
