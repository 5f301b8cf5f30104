#pragma once

#include <atomic>

#include "dsp/filter/FourBandCrossover.h"
#include "dsp/util/PeakDetector.h"
#include "plugin/IBandLevelSink.h"
#include "plugkit/client/Client.h"
#include "tolvacompressor/TolvaCompressor.h"

namespace plugin {

// The Tolva Multiband Compressor: splits each channel into four bands with Linkwitz-Riley
// crossovers at F1 < F2 < F3 (all-passes align the phase of the two lower bands, bands 2 and 4 are
// negated so that the plain sum is nearly flat), compresses every band with its own stereo-linked
// compressor, sums all bands or only the soloed ones, applies the output gain and meters every band.
//
// Create it with plugkit::client::Client::create<MultibandComp>() (or mallocNew: the constructor
// runs the client's build hooks itself); destroy it with core::destroyFree.
class MultibandComp : public plugkit::client::Client {
public:
    // Parameter indices. Band b (0 to 3) has its five controls at 5 * b + kThreshold.. kGain and
    // its solo switch at kSoloLow + b.
    enum ParamIndex : int {
        kThreshold = 0,
        kAttack = 1,
        kRelease = 2,
        kRatio = 3,
        kGain = 4,
        kParamsPerBand = 5,
        kSoloLow = 20,
        kSoloLowMid = 21,
        kSoloHighMid = 22,
        kSoloHigh = 23,
        kF1 = 24,
        kF2 = 25,
        kF3 = 26,
        kAutoGain = 27,
        kOutputGain = 28,
        kNumParams = 29,
    };
    static constexpr int kNumBands = 4;
    static constexpr int kMaxFrames = 256;
    // Crossover frequencies are limited to this fraction of the sample rate so that no section
    // is asked for a corner at or above half the rate.
    static constexpr float kMaxCrossoverFraction = 0.49f;

    // [host thread] Links the two channels' compressors of each band and runs the client's build
    // hooks (exhausted memory is fatal).
    MultibandComp();
    ~MultibandComp() override;

    // [editor thread] The editor (MultibandCompGUI), owned by the client from then on.
    plugkit::client::IGraphics* createGraphics() override;
    // [audio thread] Sets every filter to the rate (clearing its state), re-initialises the
    // compressors with start values and sets the meters to instant attack, 500 ms release.
    // Remembers the channel counts for processAudio.
    void reset(double sampleRate, int maxFrames, int numInputs, int numOutputs) override;
    // [any thread] 256.
    int maxFramesInProcess() const override { return kMaxFrames; }
    // [audio thread] Processes at most 256 frames (the client's frame limit; a larger block is a
    // caller error, checked in debug builds); never blocks or allocates. Output channels beyond
    // the processed ones are zero-filled. At the end the band meter levels go to the editor's level
    // sink if the editor can be taken without waiting (also for a block of 0 frames).
    void processAudio(const float* const* inputs, float** outputs, int frames,
                      plugkit::client::TimeInfo info) override;
    // [host thread, from initialize]
    plugkit::core::Vec<plugkit::client::Parameter*> buildParameters() override;
    plugkit::core::Vec<plugkit::client::Preset*> buildPresets() override;
    plugkit::client::PluginInfo buildPluginInfo() override;
    plugkit::core::Vec<plugkit::client::LegalIO> buildLegalIO() override;

    // [audio thread] Pushes the current parameter values into the filters and compressors.
    void updateAudioModulesWithParamValues();

    // [editor thread] Registers the display that receives the band levels (null to stop). Call it
    // while building the editor; the sink must stay valid until the editor is destroyed.
    void setBandLevelSink(IBandLevelSink* sink) noexcept { levelSink.store(sink, std::memory_order_release); }

    // [audio thread] Current meter envelopes, bands 1 to 4 (for tests and tools).
    float inputMeterLevel(int band) const { return inputMeters[band].getEnvelope(); }
    float outputMeterLevel(int band) const { return outputMeters[band].getEnvelope(); }
    // [audio thread] The compressor of a band (0 to 3) on a channel (0 or 1), for inspection.
    const tolvacompressor::TolvaCompressor<float>& bandCompressor(int band, int channel) const {
        return compressors[channel][band];
    }

private:
    using Crossover = dsp::FourBandCrossover<float>;
    using Compressor = tolvacompressor::TolvaCompressor<float>;
    using Meter = dsp::PeakDetector<float>;

    template <int kChannels>
    void processFrames(const float* const* inputs, float** outputs, int frames, const bool solo[kNumBands],
                       float outGain);
    // Clears every filter, envelope and meter state that became infinite or NaN.
    void recoverNonFiniteState();
    void sendLevelsToEditor();

    Crossover crossovers[2];
    Compressor compressors[2][kNumBands];  // [channel][band]
    Meter inputMeters[kNumBands];
    Meter outputMeters[kNumBands];

    int numInputChannels = 0;
    int numOutputChannels = 0;
    float maxCrossoverFrequency = 0;
    std::atomic<IBandLevelSink*> levelSink{nullptr};
};

}  // namespace plugin
