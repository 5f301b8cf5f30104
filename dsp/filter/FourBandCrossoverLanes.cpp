#include "dsp/filter/FourBandCrossoverLanes.h"

namespace dsp {

// Reads the crossovers' sections in the lanes' order (see kernel::CrossoverQuads); null where a
// lane has none.
struct FourBandCrossoverLaneAccess {
    template <typename C, typename B, typename A>
    static void sections(C& first, C* second, B* splits[3][4], A* ap2[4], A* ap3[4]) {
        B* const lanes[3][4] = {
            {&first.lowLP, &first.lowHP, second ? &second->lowLP : nullptr, second ? &second->lowHP : nullptr},
            {&first.midLP, &first.midHP, second ? &second->midLP : nullptr, second ? &second->midHP : nullptr},
            {&first.highLP, &first.highHP, second ? &second->highLP : nullptr, second ? &second->highHP : nullptr}};
        for (int s = 0; s < 3; ++s)
            for (int i = 0; i < 4; ++i) splits[s][i] = lanes[s][i];
        ap2[0] = &first.lowAllpassMid;
        ap2[1] = second ? &second->lowAllpassMid : nullptr;
        ap2[2] = ap2[3] = nullptr;
        ap3[0] = &first.lowAllpassHigh;
        ap3[1] = &first.lowMidAllpassHigh;
        ap3[2] = second ? &second->lowAllpassHigh : nullptr;
        ap3[3] = second ? &second->lowMidAllpassHigh : nullptr;
    }
};

namespace {

template <typename Lanes, typename Section>
void loadLane(Lanes& lanes, int i, const Section* section, bool withState) {
    const typename Section::Section zero{};
    const auto& s = section ? section->section() : zero;
    lanes.eachCoefficient(simd::IntoLane{i}, s);
    if (withState || !section) lanes.eachState(simd::IntoLane{i}, s);
}

template <typename Lanes, typename Section>
void storeLane(const Lanes& lanes, int i, Section* section) {
    if (section) section->liveSection().eachState(simd::FromLane{i}, lanes);
}

}  // namespace

void loadCrossoverLanes(CrossoverLanes& lanes, const FourBandCrossover<float>& first,
                        const FourBandCrossover<float>* second, bool withState) {
    const BiQuad<float>* splits[3][4];
    const Allpass<float>* ap2[4];
    const Allpass<float>* ap3[4];
    FourBandCrossoverLaneAccess::sections(first, second, splits, ap2, ap3);
    for (int i = 0; i < 4; ++i) {
        loadLane(lanes.s1, i, splits[0][i], withState);
        loadLane(lanes.s2, i, splits[1][i], withState);
        loadLane(lanes.s3, i, splits[2][i], withState);
        loadLane(lanes.ap2, i, ap2[i], withState);
        loadLane(lanes.ap3, i, ap3[i], withState);
    }
}

void storeCrossoverLanes(const CrossoverLanes& lanes, FourBandCrossover<float>& first,
                         FourBandCrossover<float>* second) {
    BiQuad<float>* splits[3][4];
    Allpass<float>* ap2[4];
    Allpass<float>* ap3[4];
    FourBandCrossoverLaneAccess::sections(first, second, splits, ap2, ap3);
    for (int i = 0; i < 4; ++i) {
        storeLane(lanes.s1, i, splits[0][i]);
        storeLane(lanes.s2, i, splits[1][i]);
        storeLane(lanes.s3, i, splits[2][i]);
        storeLane(lanes.ap2, i, ap2[i]);
        storeLane(lanes.ap3, i, ap3[i]);
    }
}

}  // namespace dsp
