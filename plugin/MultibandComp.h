#pragma once

#include <atomic>
#include <limits>

#include "dsp/filter/FourBandCrossover.h"
#include "dsp/util/PeakDetector.h"
#include "plugin/IBandLevelSink.h"
#include "plugin/MultibandKernel.h"
#include "plugkit/client/Client.h"
#include "tolvacompressor/LaneCache.h"
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
    // From this rate up the crossover runs in double precision: in float, a low corner's poles sit
    // so close to 1 that rounding leaves the error only 45 to 70 dB below the signal at 192 kHz and
    // bends the low end. Below it the float crossover is kept as it always was.
    static constexpr double kPreciseCrossoverRate = 88200.0;

    // [host thread] Links the two channels' compressors of each band and runs the client's build
    // hooks (exhausted memory is fatal).
    MultibandComp();
    ~MultibandComp() override;

    // [editor thread] The editor from the installed factory (plugin/EditorFactory.h), owned by the
    // client from then on; null when no factory is installed.
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

    // [audio thread] Pushes the current parameter values into the filters and compressors at once,
    // without gliding (the glides then start from these values).
    void updateAudioModulesWithParamValues();

    // Time in which a continuous setting glides to a new value, and the frames between the glide's
    // steps (every step retunes the filters and compressors).
    static constexpr double kGlideSeconds = 0.02;
    static constexpr int kGlideStepFrames = 8;

    // [editor thread] Registers the display that receives the band levels (null to stop). Call it
    // while building the editor; the sink must stay valid until the editor is destroyed.
    void setBandLevelSink(IBandLevelSink* sink) noexcept { levelSink.store(sink, std::memory_order_release); }

    // The code the audio path runs: the same kernel on scalar lanes, on 4 float lanes (SSE2, every
    // x86-64) or on 8 (AVX2, both channels' bands in one register). All three give the same output
    // bit for bit.
    enum class VectorPath { kScalar, kSse2, kAvx2 };
    // [host thread, before audio runs] Picks the path: kSse2 only where the build has SSE2, kAvx2
    // only when the processor has AVX2 too (otherwise the best of the others). The constructor picks
    // the best unless the environment variable TOLVA_SIMD is "sse2" or "scalar".
    void setVectorPath(VectorPath path) noexcept;
    // [any thread] The path in use.
    VectorPath vectorPath() const noexcept { return path; }

    // [audio thread] Current meter envelopes, bands 1 to 4 (for tests and tools). Brings the
    // objects up to date with the live state first.
    float inputMeterLevel(int band) { return objectsUpToDate().inputMeters[band].getEnvelope(); }
    float outputMeterLevel(int band) { return objectsUpToDate().outputMeters[band].getEnvelope(); }
    // [audio thread] The compressor of a band (0 to 3) on a channel (0 or 1), for inspection.
    const tolvacompressor::TolvaCompressor<float>& bandCompressor(int band, int channel) {
        return objectsUpToDate().compressors[channel][band];
    }

private:
    // The continuous settings the audio path uses, in the order of the glides: F1..F3, the five
    // controls of each band, Output Gain.
    static constexpr int kGlideF1 = 0;
    static constexpr int kGlideBand = 3;
    static constexpr int kGlideOutputGain = kGlideBand + kNumBands * kParamsPerBand;
    static constexpr int kNumGlides = kGlideOutputGain + 1;

    // One setting moving towards its target in equal steps (geometric for frequencies, times and
    // ratios, linear in dB for gains and thresholds), landing on the target exactly.
    struct Glide {
        float value = 0, target = 0, step = 0;
        int remaining = 0;
        bool geometric = false;
        // [audio thread] Starts a glide to t over steps steps (0: jump).
        void moveTo(float t, int steps);
        // [audio thread] One step.
        void advance();
        // [audio thread] The value (in dB) as a linear factor, recomputed only when it changed.
        float linearGain();
        float gainDb = std::numeric_limits<float>::quiet_NaN(), gain = 0;
    };

    using Crossover = dsp::FourBandCrossover<float>;
    using Compressor = tolvacompressor::TolvaCompressor<float>;
    using Meter = dsp::PeakDetector<float>;

    // The targets of the glides from the parameters (crossover frequencies limited).
    void readTargets(float targets[kNumGlides]) const;
    // Sets the filters and compressors to the glides' current values; returns the output gain.
    // Only what moved since the last call is set.
    float applyGlides();
    // Whether glides first..first+count-1 moved since they were last applied (all: as if they
    // had); records their values as applied.
    bool takeMoved(int first, int count, bool all);
    // Sets the crossovers (and their lanes) to the glides' frequencies; allpassesMove when F2 or
    // F3 moved.
    void applyCrossoverGlides(bool allpassesMove);
    // One block on channels (1 or 2) channels with settings that stand still.
    void processBlock(const float* const* inputs, float** outputs, int frames, const bool solo[kNumBands],
                      float outGain, int channels);
    // One block in steps of kGlideStepFrames, the glides advancing before each step.
    void processGliding(const float* const* inputs, float** outputs, int frames, const bool solo[kNumBands],
                        int channels);
    // KernelBlockView::splitPrecise: the bands from the double-precision crossovers, rounded to float.
    static void splitPrecise(void* self, const float* const* inputs, int from, int n, float (*bands)[8]);
    // Clears every filter, envelope and meter state that became infinite or NaN.
    void recoverNonFiniteState();
    // True when no filter, envelope or meter state is infinite or NaN, as the last block left it.
    bool stateIsFinite();
    // This object with the filters, compressors and meters brought up to date from the lanes.
    MultibandComp& objectsUpToDate() {
        laneCache.sync();
        return *this;
    }
    void sendLevelsToEditor();

    Crossover crossovers[2];
    dsp::FourBandCrossover<double> preciseCrossovers[2];
    bool precise = false;  // the rate is at least kPreciseCrossoverRate
    VectorPath path = VectorPath::kScalar;
    Compressor compressors[2][kNumBands];  // [channel][band]
    Meter inputMeters[kNumBands];
    Meter outputMeters[kNumBands];
    // The live state between blocks while the kernels run (see LaneCache for its states).
    tolvacompressor::LaneCache laneCache{{crossovers, compressors, inputMeters, outputMeters}};
    // What applyGlides last set, so that a block whose settings stand still skips it.
    bool settingsApplied = false;
    bool appliedAutoGain = false;
    float appliedValues[kNumGlides] = {};  // the glide values last applied
    float appliedOutputGain = 1;

    int numInputChannels = 0;
    int numOutputChannels = 0;
    float maxCrossoverFrequency = 0;
    Glide glides[kNumGlides];
    int glideSteps = 1;
    int glideFramesLeft = 0;     // frames until the glides' next step
    bool glidesSettled = false;  // false after reset: the next block jumps to its settings
    bool glidesMoving = false;   // some glide has steps left
    // The switches as last read, and the client's store count then.
    bool soloSetting[kNumBands] = {};
    bool autoGainSetting = false;
    std::uint32_t parameterStoresSeen = 0;
    std::atomic<IBandLevelSink*> levelSink{nullptr};
};

}  // namespace plugin
