#include "dsp/filter/FourBandCrossoverLanes.h"

namespace dsp {

// Calls visit(lanes' section, lane, crossover section or null) for every lane of every section,
// in the lanes' order (see kernel::CrossoverQuads).
struct FourBandCrossoverLaneAccess {
    template <typename Lanes, typename C, typename Visit>
    static void each(Lanes& lanes, C& first, C* second, const Visit& visit) {
        for (int c = 0; c < 2; ++c) {
            C* x = c == 0 ? &first : second;
            visit(lanes.s1, 2 * c, x ? &x->lowLP : nullptr),
                visit(lanes.s1, 2 * c + 1, x ? &x->lowHP : nullptr);
            visit(lanes.s2, 2 * c, x ? &x->midLP : nullptr),
                visit(lanes.s2, 2 * c + 1, x ? &x->midHP : nullptr);
            visit(lanes.s3, 2 * c, x ? &x->highLP : nullptr),
                visit(lanes.s3, 2 * c + 1, x ? &x->highHP : nullptr);
            visit(lanes.ap2, c, x ? &x->lowAllpassMid : nullptr);
            visit(lanes.ap2, 2 + c, decltype (&x->lowAllpassMid)(nullptr));
            visit(lanes.ap3, 2 * c, x ? &x->lowAllpassHigh : nullptr);
            visit(lanes.ap3, 2 * c + 1, x ? &x->lowMidAllpassHigh : nullptr);
        }
    }
};

void loadCrossoverLanes(CrossoverLanes& lanes, const FourBandCrossover<float>& first,
                        const FourBandCrossover<float>* second, bool withState) {
    FourBandCrossoverLaneAccess::each(
        lanes, first, second, [withState](auto& quad, int i, const auto* section) {
            // A lane without a section is zero, coefficients and state.
            const typename std::remove_cvref_t<decltype(*section)>::Section zero{};
            const auto& s = section ? section->section() : zero;
            quad.eachCoefficient(simd::IntoLane{i}, s);
            if (withState || !section) quad.eachState(simd::IntoLane{i}, s);
        });
}

void storeCrossoverLanes(const CrossoverLanes& lanes, FourBandCrossover<float>& first,
                         FourBandCrossover<float>* second) {
    FourBandCrossoverLaneAccess::each(lanes, first, second, [](const auto& quad, int i, auto* section) {
        if (section) section->liveSection().eachState(simd::FromLane{i}, quad);
    });
}

}  // namespace dsp
