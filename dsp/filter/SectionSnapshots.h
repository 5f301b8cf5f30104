#pragma once

#include "dsp/util/Simd.h"

#if DSP_SSE2
namespace dsp {

// The snapshots of up to four sections (all zero for a missing one), and from them one SSE
// register per field, for loading sections into lanes. Each register is built from the four
// values: storing lane by lane and loading the whole would stall the load on every field.
template <typename Section>
struct SectionSnapshots {
    using Snapshot = typename Section::Snapshot;
    Snapshot s[4] = {};

    explicit SectionSnapshots(const Section* const sections[4]) {
        for (int k = 0; k < 4; ++k)
            if (sections[k]) s[k] = sections[k]->snapshot();
    }

    __m128 operator()(float Snapshot::*field) const {
        return _mm_setr_ps(s[0].*field, s[1].*field, s[2].*field, s[3].*field);
    }
};

}  // namespace dsp
#endif
