#include "plugin/MultibandComp.h"

#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/CpuInfo.h"

namespace plugin {

using plugkit::client::BoolParameter;
using plugkit::client::FloatParameter;
using plugkit::client::LegalIO;
using plugkit::client::LinearFloatParameter;
using plugkit::client::LogFloatParameter;
using plugkit::client::Parameter;
using plugkit::client::PluginInfo;
using plugkit::client::Preset;
using plugkit::client::TimeInfo;
using plugkit::core::mallocNew;
using plugkit::core::Vec;

namespace {

const char* const kBandSuffix[MultibandComp::kNumBands] = {"L", "LM", "HM", "H"};
const char* const kSoloNames[MultibandComp::kNumBands] = {"Solo Low", "Solo Low-mid", "Solo High-mid",
                                                          "Solo High"};

// 10^(dB / 20): the division in float, the power in double, rounded to float.
float gainFromDecibels(float db) {
    return static_cast<float>(std::pow(10.0, static_cast<double>(db / 20.0f)));
}

// Plain values of one band of a factory preset.
struct BandSetting {
    double threshold, attack, release, ratio, gain;
};

struct FactoryPreset {
    const char* name;
    BandSetting bands[MultibandComp::kNumBands];
    double f1, f2, f3;
};

const FactoryPreset kFactoryPresets[] = {
    {"Soft Master",
     {{-12, 20, 300, 4, 0.6}, {-8, 1, 200, 4, 0}, {-13, 2, 300, 4, 0}, {-22, 1, 500, 4, 1.5}},
     190,
     901,
     4260},
    {"4-Band Limit",
     {{-16, 1, 2000, 100, 5}, {-16.5, 1, 2000, 100, 5}, {-17, 1, 2000, 100, 3}, {-21, 1, 2000, 100, 2.5}},
     190,
     901,
     4260},
    {"Low-End Control",
     {{-16, 11, 150, 4, 1}, {-11.5, 11, 510, 4, 0.5}, {-15.5, 4, 100, 4, 0.5}, {0, 20, 40, 4, 0}},
     80,
     250,
     610},
};

}  // namespace

MultibandComp::MultibandComp() {
    for (int k = 0; k < kNumBands; ++k) compressors[0][k].linkStereo(compressors[1][k]);
    const char* simd = std::getenv("TOLVA_SIMD");
    const bool sse2 = simd && std::strcmp(simd, "sse2") == 0,
               scalar = simd && std::strcmp(simd, "scalar") == 0;
    setVectorPath(scalar ? VectorPath::kScalar : sse2 ? VectorPath::kSse2 : VectorPath::kAvx2);
    initialize();
}

void MultibandComp::setVectorPath(VectorPath wanted) noexcept {
    laneCache.drop();
    if (wanted == VectorPath::kAvx2 && !(DSP_SSE2 && plugkit::core::cpuFeatures().avx2))
        wanted = VectorPath::kSse2;
    if (wanted == VectorPath::kSse2 && !DSP_SSE2) wanted = VectorPath::kScalar;
    path = wanted;
}

MultibandComp::~MultibandComp() { levelSink.store(nullptr, std::memory_order_relaxed); }

PluginInfo MultibandComp::buildPluginInfo() {
    PluginInfo info;
    info.makerName = "PEL";
    std::memcpy(info.makerCode, "PELX", 5);
    info.supportEmail = "support@pel-audio.com";
    info.productName = "Tolva Multiband Compressor";
    info.homepage = "https://www.pel-audio.com/tolva";
    std::memcpy(info.productCode, "pelq", 5);
    info.versionMajor = 2;
    info.versionMinor = 0;
    info.versionPatch = 7;
    info.hasEditor = true;
    info.isInstrument = false;
    info.takesMidi = false;
    info.category = plugkit::client::kCategoryDynamics;
    info.vstBundleId = "com.pel-audio.vst.TolvaMultibandCompressor";
    info.auBundleId = "com.pel-audio.audiounit.TolvaMultibandCompressor";
    info.aaxBundleId = "com.pel-audio.aax.TolvaMultibandCompressor";
    return info;
}

Vec<LegalIO> MultibandComp::buildLegalIO() {
    Vec<LegalIO> ios;
    for (const LegalIO io : {LegalIO{1, 1}, LegalIO{1, 2}, LegalIO{2, 1}, LegalIO{2, 2}}) ios.pushBack(io);
    return ios;
}

Vec<Parameter*> MultibandComp::buildParameters() {
    // The parameters copy their names, so one scratch buffer serves them all.
    Vec<Parameter*> params;
    char name[32];
    for (int b = 0; b < kNumBands; ++b) {
        const int base = b * kParamsPerBand;
        const char* suffix = kBandSuffix[b];
        std::snprintf(name, sizeof name, "Threshold %s", suffix);
        params.pushBack(mallocNew<LinearFloatParameter>(base + kThreshold, name, "dB", -36.0, 0.0, -3.0));
        std::snprintf(name, sizeof name, "Attack %s", suffix);
        params.pushBack(mallocNew<LogFloatParameter>(base + kAttack, name, "ms", 1.0, 2000.0, 20.0));
        std::snprintf(name, sizeof name, "Release %s", suffix);
        params.pushBack(mallocNew<LogFloatParameter>(base + kRelease, name, "ms", 1.0, 2000.0, 40.0));
        std::snprintf(name, sizeof name, "Ratio %s", suffix);
        params.pushBack(mallocNew<LogFloatParameter>(base + kRatio, name, "", 1.0, 100.0, 4.0));
        std::snprintf(name, sizeof name, "Gain %s", suffix);
        params.pushBack(mallocNew<LinearFloatParameter>(base + kGain, name, "dB", 0.0, 12.0, 0.0));
    }
    for (int b = 0; b < kNumBands; ++b)
        params.pushBack(mallocNew<BoolParameter>(kSoloLow + b, kSoloNames[b], false));
    params.pushBack(mallocNew<LogFloatParameter>(kF1, "F1", "Hz", 40.0, 20000.0, 190.0));
    params.pushBack(mallocNew<LogFloatParameter>(kF2, "F2", "Hz", 40.0, 20000.0, 901.0));
    params.pushBack(mallocNew<LogFloatParameter>(kF3, "F3", "Hz", 40.0, 20000.0, 4260.0));
    params.pushBack(mallocNew<BoolParameter>(kAutoGain, "Auto Gain", false));
    params.pushBack(mallocNew<LinearFloatParameter>(kOutputGain, "Output Gain", "dB", -12.0, 12.0, 0.0));
    return params;
}

Vec<Preset*> MultibandComp::buildPresets() {
    Vec<Preset*> presets;
    presets.pushBack(makeDefaultPreset());
    for (const FactoryPreset& preset : kFactoryPresets) {
        double plain[kNumParams] = {};
        for (int b = 0; b < kNumBands; ++b) {
            const BandSetting& s = preset.bands[b];
            double* band = plain + b * kParamsPerBand;
            band[kThreshold] = s.threshold;
            band[kAttack] = s.attack;
            band[kRelease] = s.release;
            band[kRatio] = s.ratio;
            band[kGain] = s.gain;
        }
        plain[kF1] = preset.f1;
        plain[kF2] = preset.f2;
        plain[kF3] = preset.f3;
        // Solo switches and "Auto Gain" off, "Output Gain" 0 dB.
        float normalized[kNumParams];
        for (int i = 0; i < kNumParams; ++i) {
            auto* floatParam = dynamic_cast<FloatParameter*>(param(i));
            normalized[i] = floatParam ? static_cast<float>(floatParam->toNormalized(plain[i])) : 0.0f;
        }
        presets.pushBack(mallocNew<Preset>(preset.name, normalized, kNumParams));
    }
    return presets;
}

void MultibandComp::reset(double sampleRate, int, int numInputs, int numOutputs) {
    laneCache.drop();
    settingsApplied = false;
    const float rate = static_cast<float>(sampleRate);
    numInputChannels = numInputs > 0 ? numInputs : 0;
    numOutputChannels = numOutputs > 0 ? numOutputs : 0;
    maxCrossoverFrequency = kMaxCrossoverFraction * rate;
    precise = sampleRate >= kPreciseCrossoverRate;
    const int steps = static_cast<int>(kGlideSeconds * sampleRate / kGlideStepFrames + 0.5);
    glideSteps = steps > 1 ? steps : 1;
    glidesSettled = false;
    for (int i = 0; i < kNumGlides; ++i) {
        // Frequencies, times and ratios glide geometrically, gains and thresholds linearly in dB.
        const int band = (i - kGlideBand) % kParamsPerBand;
        const bool bandControl = i >= kGlideBand && i < kGlideOutputGain;
        glides[i].geometric = i < kGlideBand || (bandControl && band != kThreshold && band != kGain);
    }
    for (int c = 0; c < 2; ++c) {
        crossovers[c].setSampleRate(rate);
        preciseCrossovers[c].setSampleRate(static_cast<double>(rate));
        for (int k = 0; k < kNumBands; ++k) {
            const float release = k == kNumBands - 1 ? 200.0f : 10.0f;
            compressors[c][k].initialize(rate, 10.0f, release, -20.0f, 10.0f, 0.0f);
        }
    }
    for (int k = 0; k < kNumBands; ++k) {
        inputMeters[k].setSampleRate(rate);
        inputMeters[k].setEnvelope(0.0f, 500.0f);
        outputMeters[k].setSampleRate(rate);
        outputMeters[k].setEnvelope(0.0f, 500.0f);
    }
}

void MultibandComp::Glide::moveTo(float t, int steps) {
    target = t;
    const bool canGlide = steps > 0 && !(value == t) && std::isfinite(value) && std::isfinite(t) &&
                          (!geometric || (value > 0 && t > 0));
    if (!canGlide) {
        value = t;
        remaining = 0;
        return;
    }
    remaining = steps;
    step = geometric ? static_cast<float>(std::pow(static_cast<double>(t) / value, 1.0 / steps))
                     : (t - value) / static_cast<float>(steps);
}

void MultibandComp::Glide::advance() {
    if (remaining == 0) return;
    if (--remaining == 0)
        value = target;
    else
        value = geometric ? value * step : value + step;
}

float MultibandComp::Glide::linearGain() {
    if (!(value == gainDb)) {
        gainDb = value;
        gain = gainFromDecibels(value);
    }
    return gain;
}

void MultibandComp::readTargets(float targets[kNumGlides]) const {
    // A NaN frequency is taken as the limit too.
    const float limit = maxCrossoverFrequency;
    for (int i = 0; i < 3; ++i) {
        const float f = readFloatParamValue(kF1 + i);
        targets[kGlideF1 + i] = f <= limit ? f : limit;
    }
    for (int i = 0; i < kNumBands * kParamsPerBand; ++i) targets[kGlideBand + i] = readFloatParamValue(i);
    targets[kGlideOutputGain] = readFloatParamValue(kOutputGain);
}

bool MultibandComp::takeMoved(int first, int count, bool all) {
    bool any = all;
    for (int i = first; i < first + count; ++i) {
        any = any || !(glides[i].value == appliedValues[i]);
        appliedValues[i] = glides[i].value;
    }
    return any;
}

float MultibandComp::applyGlides() {
    // Only the settings that moved since the last call are applied; all of them after a reset or
    // when Auto Gain was switched. While the lanes hold the live state they are kept, and only
    // the settings that moved are brought into them.
    const bool autoGain = readBoolParamValue(kAutoGain);
    const bool all = !settingsApplied || autoGain != appliedAutoGain;
    settingsApplied = true;
    appliedAutoGain = autoGain;
    bool bandsMoved = false;
    for (int k = 0; k < kNumBands; ++k) {
        const int first = kGlideBand + k * kParamsPerBand;
        if (!takeMoved(first, kParamsPerBand, all)) continue;
        bandsMoved = true;
        const Glide* band = glides + first;
        const float makeup = glides[first + kGain].linearGain();
        for (int c = 0; c < 2; ++c) {
            compressors[c][k].setParams(band[kAttack].value, band[kRelease].value, band[kThreshold].value,
                                        band[kRatio].value, makeup);
            compressors[c][k].setAutoGain(autoGain);
        }
    }
    const bool allpassesMove = takeMoved(kGlideF1 + 1, 2, all);  // F2 and F3 tune all-passes
    if (takeMoved(kGlideF1, 1, all) || allpassesMove) applyCrossoverGlides(allpassesMove);
    if (bandsMoved && !laneCache.isEmpty()) laneCache.reloadCompressorSettings();
    appliedOutputGain = glides[kGlideOutputGain].linearGain();
    return appliedOutputGain;
}

void MultibandComp::applyCrossoverGlides(bool allpassesMove) {
    const float f1 = glides[kGlideF1].value, f2 = glides[kGlideF1 + 1].value, f3 = glides[kGlideF1 + 2].value;
    if (precise) {
        for (auto& crossover : preciseCrossovers) crossover.setFrequencies(f1, f2, f3);
        return;
    }
    if (allpassesMove) laneCache.sync();  // a moved all-pass continues from its live history
    for (Crossover& crossover : crossovers) crossover.setFrequencies(f1, f2, f3);
    if (laneCache.isEmpty()) return;
    // F1 only retunes splits, whose state the new coefficients continue as it is.
    if (allpassesMove)
        laneCache.reloadCrossover();
    else
        laneCache.reloadSplitCoefficients();
}

void MultibandComp::updateAudioModulesWithParamValues() {
    float targets[kNumGlides];
    readTargets(targets);
    for (int i = 0; i < kNumGlides; ++i) glides[i].moveTo(targets[i], 0);
    glidesSettled = true;
    glidesMoving = false;
    applyGlides();
}

void MultibandComp::processAudio(const float* const* inputs, float** outputs, int frames, TimeInfo) {
    // The parameters are read only when a value was stored since the last block, or after a reset.
    const std::uint32_t stores = parameterStores();
    const bool reread = !glidesSettled || stores != parameterStoresSeen;
    parameterStoresSeen = stores;
    bool targetsMoved = !glidesSettled;
    bool moving = glidesMoving;
    const bool wasMoving = glidesMoving;
    if (reread) {
        for (int k = 0; k < kNumBands; ++k) soloSetting[k] = readBoolParamValue(kSoloLow + k);
        autoGainSetting = readBoolParamValue(kAutoGain);
        // Settings glide to new values; right after a reset they are taken at once, and settings
        // that stand still take the direct path below, exactly as without glides.
        float targets[kNumGlides];
        readTargets(targets);
        for (int i = 0; i < kNumGlides; ++i) targetsMoved = targetsMoved || !(targets[i] == glides[i].target);
        if (targetsMoved) {
            moving = false;
            for (int i = 0; i < kNumGlides; ++i) {
                if (!glidesSettled || !(targets[i] == glides[i].target))
                    glides[i].moveTo(targets[i], glidesSettled ? glideSteps : 0);
                moving = moving || glides[i].remaining > 0;
            }
        }
    }
    const bool changed = targetsMoved || !settingsApplied || autoGainSetting != appliedAutoGain;
    glidesSettled = true;
    glidesMoving = moving;
    if (!wasMoving) glideFramesLeft = 0;  // a glide from rest takes its first step at once

    assert(frames <= kMaxFrames && "the client cuts blocks to maxFramesInProcess()");
    int nch = numInputChannels < numOutputChannels ? numInputChannels : numOutputChannels;
    if (nch > 2) nch = 2;
    if (frames > 0) {
        // Settings that stand still were set by an earlier block: applying them again changes nothing.
        if (moving)
            processGliding(inputs, outputs, frames, soloSetting, nch);
        else
            processBlock(inputs, outputs, frames, soloSetting, changed ? applyGlides() : appliedOutputGain,
                         nch);
        for (int c = nch; c < numOutputChannels; ++c) std::memset(outputs[c], 0, sizeof(float) * frames);
        recoverNonFiniteState();
    } else {
        applyGlides();
    }
    sendLevelsToEditor();
}

void MultibandComp::processBlock(const float* const* inputs, float** outputs, int frames,
                                 const bool solo[kNumBands], float outGain, int channels) {
    if (!laneCache.holds(channels)) laneCache.load(channels);
    KernelBlockView view{inputs,
                         outputs,
                         frames,
                         channels,
                         precise,
                         {solo[0], solo[1], solo[2], solo[3]},
                         solo[0] || solo[1] || solo[2] || solo[3],
                         outGain,
                         &MultibandComp::splitPrecise,
                         this};
    const bool finite = path == VectorPath::kAvx2   ? runBlockAvx2(laneCache.lanes, view)
                        : path == VectorPath::kSse2 ? runBlockSse2(laneCache.lanes, view)
                                                    : runBlockScalar(laneCache.lanes, view);
    laneCache.ran(finite);
}

void MultibandComp::processGliding(const float* const* inputs, float** outputs, int frames,
                                   const bool solo[kNumBands], int channels) {
    // The steps run on the sample clock, not on the block edges, so that the output does not
    // depend on how the host cuts its blocks.
    for (int done = 0; done < frames;) {
        if (glideFramesLeft == 0) {
            for (Glide& g : glides) g.advance();
            glideFramesLeft = kGlideStepFrames;
        }
        const int n = frames - done < glideFramesLeft ? frames - done : glideFramesLeft;
        const float outGain = applyGlides();
        const float* ins[2] = {inputs[0] + done, channels == 2 ? inputs[1] + done : nullptr};
        float* outs[2] = {outputs[0] + done, channels == 2 ? outputs[1] + done : nullptr};
        processBlock(ins, outs, n, solo, outGain, channels);
        glideFramesLeft -= n;
        done += n;
    }
    glidesMoving = false;
    for (const Glide& g : glides) glidesMoving = glidesMoving || g.remaining > 0;
}

void MultibandComp::splitPrecise(void* self, const float* const* inputs, int from, int n, float (*bands)[8]) {
    MultibandComp& plug = *static_cast<MultibandComp*>(self);
    const int channels = plug.laneCache.channelCount();
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < 2; ++c) {
            double band[kNumBands] = {};
            if (c < channels)
                plug.preciseCrossovers[c].process(static_cast<double>(inputs[c][from + i]), band);
            for (int k = 0; k < kNumBands; ++k) bands[i][4 * c + k] = static_cast<float>(band[k]);
        }
    }
}

bool MultibandComp::stateIsFinite() {
    // The double-precision crossovers run (and so can go non-finite) only when precise is set.
    const bool preciseFinite =
        !precise || (preciseCrossovers[0].hasFiniteState() && preciseCrossovers[1].hasFiniteState());
    return laneCache.isFinite() && preciseFinite;
}

void MultibandComp::recoverNonFiniteState() {
    // One cheap test for the whole plug-in; the per-object clean-up runs only after a fault.
    if (stateIsFinite()) return;
    laneCache.drop();

    for (int c = 0; c < 2; ++c) {
        crossovers[c].clearNonFiniteState();
        preciseCrossovers[c].clearNonFiniteState();
        for (int k = 0; k < kNumBands; ++k) compressors[c][k].clearNonFiniteState();
    }
    for (int k = 0; k < kNumBands; ++k) {
        if (!std::isfinite(inputMeters[k].getEnvelope())) inputMeters[k].reset();
        if (!std::isfinite(outputMeters[k].getEnvelope())) outputMeters[k].reset();
    }
}

void MultibandComp::sendLevelsToEditor() {
    if (!editorTryAcquire()) return;
    if (IBandLevelSink* sink = levelSink.load(std::memory_order_acquire)) {
        laneCache.sync();
        float levels[kNumBands];
        for (int k = 0; k < kNumBands; ++k) levels[k] = inputMeters[k].getEnvelope();
        sink->setInputValues(levels);
        for (int k = 0; k < kNumBands; ++k) levels[k] = outputMeters[k].getEnvelope();
        sink->setOutputValues(levels);
    }
    editorRelease();
}

}  // namespace plugin
