#pragma once

#include "dsp/filter/FourBandCrossover.h"
#include "dsp/filter/FourBandCrossoverLanes.h"
#include "dsp/util/PeakDetector.h"
#include "tolvacompressor/CompressorKernels.h"
#include "tolvacompressor/TolvaCompressor.h"

namespace tolvacompressor {

// The whole state of the multiband audio path in the vector kernels' lane layout, as plain floats:
// the float crossovers of both channels, the eight compressors (channel 1's four bands in lanes
// 0-3, channel 2's in 4-7), and the band meters (input levels in lanes 0-3, output levels in 4-7).
struct BandLanes {
    dsp::CrossoverLanes split;
    TolvaCompressor<float>::Bank bands;
    kernel::MeterBank<dsp::simd::ScalarLanes> meters;
};

// The objects whose state BandLanes holds: two channels' float crossovers and compressors, and
// the four input and four output meters.
struct BandObjects {
    dsp::FourBandCrossover<float>* crossovers;  // [2]
    TolvaCompressor<float> (*compressors)[4];   // [2][4]
    dsp::PeakDetector<float>* inputMeters;      // [4]
    dsp::PeakDetector<float>* outputMeters;     // [4]
};

// Keeps the live state of the audio path in lane layout between blocks, so that a block (however
// short) neither gathers it from the objects nor scatters it back. Audio thread only. States:
//   empty    the objects hold the live state; the lanes hold nothing. After construction and drop().
//   current  the lanes hold the live state of channelCount() channels, and the objects the same state.
//            After load() and sync().
//   ahead    the lanes ran since the objects were last brought up to date (ran()): the objects'
//            state is old, their settings are still those of the lanes.
// Settings always change in the objects first; the owner then brings them into the lanes
// (reloadCompressorSettings, reloadSplitCoefficients, reloadCrossover) or drops the lanes.
class LaneCache {
public:
    explicit LaneCache(BandObjects objects) : objects(objects) {}

    // True in state current or ahead for this channel count.
    bool holds(int channelCount) const { return state != State::kEmpty && channels == channelCount; }
    int channelCount() const { return channels; }
    bool isEmpty() const { return state == State::kEmpty; }

    // Any state -> current: drops what the lanes hold (bringing the objects up to date) and loads
    // the objects' state and settings for channelCount (1 or 2) channels.
    void load(int channelCount);
    // current or ahead -> ahead: the kernels ran on the lanes, leaving their state finite or not.
    void ran(bool stateFinite) {
        state = State::kAhead;
        finite = stateFinite;
    }
    // ahead -> current: copies the lanes' state into the objects (channel 2's only with two
    // channels). Does nothing in the other states.
    void sync();
    // Any state -> empty, bringing the objects up to date first.
    void drop() {
        sync();
        state = State::kEmpty;
    }
    // In state current or ahead: the compressors' settings moved in the objects; brings them into
    // the lanes around the live envelopes.
    void reloadCompressorSettings();
    // In state current or ahead: the crossovers' split frequencies moved in the objects (no
    // all-pass did); brings the coefficients into the lanes around the live state.
    void reloadSplitCoefficients() {
        dsp::loadCrossoverLanes(lanes.split, objects.crossovers[0], second(), false);
    }
    // In state current or ahead: the crossovers' all-passes moved (they continue from their own
    // history, so the objects must be up to date first: call sync() before moving them); reloads
    // the crossovers' state and coefficients.
    void reloadCrossover() { dsp::loadCrossoverLanes(lanes.split, objects.crossovers[0], second(), true); }

    // True when no state value in the lanes was infinite or NaN when the kernels last ran on them
    // (or when they were last loaded); dropping keeps the answer, as the objects take that state.
    bool isFinite() const { return finite; }

    BandLanes lanes{};

private:
    enum class State { kEmpty, kCurrent, kAhead };
    dsp::FourBandCrossover<float>* second() const { return channels == 2 ? &objects.crossovers[1] : nullptr; }

    BandObjects objects;
    // Checks every state value of the lanes.
    bool probeState();

    State state = State::kEmpty;
    int channels = 0;
    bool finite = true;
};

}  // namespace tolvacompressor
