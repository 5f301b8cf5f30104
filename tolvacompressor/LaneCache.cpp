#include "tolvacompressor/LaneCache.h"

#include <bit>
#include <cstdint>

namespace tolvacompressor {

namespace {

void loadMeters(kernel::MeterBank<dsp::simd::ScalarLanes>& m, const dsp::PeakDetector<float>* in,
                const dsp::PeakDetector<float>* out) {
    for (int k = 0; k < 4; ++k) {
        const dsp::PeakDetector<float>* d[2] = {&in[k], &out[k]};
        for (int j = 0; j < 2; ++j) {
            m.envelope.r[4 * j + k] = d[j]->getEnvelope();
            m.attackCoef.r[4 * j + k] = d[j]->getAttackCoef();
            m.releaseCoef.r[4 * j + k] = d[j]->getReleaseCoef();
        }
    }
}

// ORs the exponent bits that mark infinity and NaN over every lane.
struct NonFiniteBits {
    std::uint32_t* bits;
    template <int N, typename... Rest>
    void operator()(const dsp::simd::Pack<float, N>& p, const Rest&...) const {
        for (int i = 0; i < N; ++i) {
            const std::uint32_t b = std::bit_cast<std::uint32_t>(p.r[i]);
            *bits |= (b & 0x7F800000u) == 0x7F800000u;
        }
    }
};

}  // namespace

void LaneCache::load(int channelCount) {
    drop();
    channels = channelCount;
    dsp::loadCrossoverLanes(lanes.split, objects.crossovers[0], second(), true);
    for (int c = 0; c < 2; ++c)
        TolvaCompressor<float>::loadBank(lanes.bands, c, objects.compressors[c], true);
    loadMeters(lanes.meters, objects.inputMeters, objects.outputMeters);
    state = State::kCurrent;
    finite = probeState();
}

void LaneCache::sync() {
    if (state != State::kAhead) return;
    dsp::storeCrossoverLanes(lanes.split, objects.crossovers[0], second());
    for (int c = 0; c < channels; ++c)
        TolvaCompressor<float>::storeBank(lanes.bands, c, objects.compressors[c]);
    for (int k = 0; k < 4; ++k) {
        objects.inputMeters[k].restoreEnvelope(lanes.meters.envelope.r[k]);
        objects.outputMeters[k].restoreEnvelope(lanes.meters.envelope.r[4 + k]);
    }
    state = State::kCurrent;
}

void LaneCache::reloadCompressorSettings() {
    for (int c = 0; c < 2; ++c)
        TolvaCompressor<float>::loadBank(lanes.bands, c, objects.compressors[c], false);
}

bool LaneCache::probeState() {
    std::uint32_t bits = 0;
    lanes.split.eachState(NonFiniteBits{&bits});
    lanes.bands.eachState(NonFiniteBits{&bits});
    lanes.meters.eachState(NonFiniteBits{&bits});
    return bits == 0;
}

}  // namespace tolvacompressor
