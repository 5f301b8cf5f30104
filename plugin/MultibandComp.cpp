#include "plugin/MultibandComp.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "plugkit/core/AlignedAlloc.h"

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
using plugkit::core::destroyFree;
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
    for (int c = 0; c < 2; ++c) {
        lowSplitLP[c] = mallocNew<LP>();
        lowSplitHP[c] = mallocNew<HP>();
        midSplitLP[c] = mallocNew<LP>();
        midSplitHP[c] = mallocNew<HP>();
        highSplitLP[c] = mallocNew<LP>();
        highSplitHP[c] = mallocNew<HP>();
        lowAllpassMid[c] = mallocNew<AP>();
        lowAllpassHigh[c] = mallocNew<AP>();
        lowMidAllpassHigh[c] = mallocNew<AP>();
        for (int k = 0; k < kNumBands; ++k) bandCompressors[k][c] = mallocNew<Compressor>();
    }
    for (int k = 0; k < kNumBands; ++k) {
        inputMeters[k] = mallocNew<Meter>();
        outputMeters[k] = mallocNew<Meter>();
        bandCompressors[k][0]->linkStereo(*bandCompressors[k][1]);
    }
    allpassMidFrequency = allpassHighFrequency = std::numeric_limits<float>::quiet_NaN();
    initialize();
}

MultibandComp::~MultibandComp() {
    levelSink.store(nullptr, std::memory_order_relaxed);
    for (int k = 0; k < kNumBands; ++k) {
        destroyFree(outputMeters[k]);
        destroyFree(inputMeters[k]);
    }
    for (int c = 0; c < 2; ++c) {
        for (int k = 0; k < kNumBands; ++k) destroyFree(bandCompressors[k][c]);
        destroyFree(lowMidAllpassHigh[c]);
        destroyFree(lowAllpassHigh[c]);
        destroyFree(lowAllpassMid[c]);
        destroyFree(highSplitHP[c]);
        destroyFree(highSplitLP[c]);
        destroyFree(midSplitHP[c]);
        destroyFree(midSplitLP[c]);
        destroyFree(lowSplitHP[c]);
        destroyFree(lowSplitLP[c]);
    }
}

plugkit::client::IGraphics* MultibandComp::createGraphics() { return nullptr; }

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
    info.category = kCategoryDynamics;
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
    const float rate = static_cast<float>(sampleRate);
    numInputChannels = numInputs > 0 ? numInputs : 0;
    numOutputChannels = numOutputs > 0 ? numOutputs : 0;
    maxCrossoverFrequency = kMaxCrossoverFraction * rate;
    allpassMidFrequency = allpassHighFrequency = std::numeric_limits<float>::quiet_NaN();
    for (int c = 0; c < 2; ++c) {
        lowSplitLP[c]->setSampleRate(rate);
        lowSplitHP[c]->setSampleRate(rate);
        midSplitLP[c]->setSampleRate(rate);
        midSplitHP[c]->setSampleRate(rate);
        highSplitLP[c]->setSampleRate(rate);
        highSplitHP[c]->setSampleRate(rate);
        lowAllpassMid[c]->setSampleRate(rate);
        lowAllpassHigh[c]->setSampleRate(rate);
        lowMidAllpassHigh[c]->setSampleRate(rate);
        for (int k = 0; k < kNumBands; ++k) {
            const float release = k == kNumBands - 1 ? 200.0f : 10.0f;
            bandCompressors[k][c]->initialize(rate, 10.0f, release, -20.0f, 10.0f, 0.0f);
        }
    }
    for (int k = 0; k < kNumBands; ++k) {
        inputMeters[k]->setSampleRate(rate);
        inputMeters[k]->setEnvelope(0.0f, 500.0f);
        outputMeters[k]->setSampleRate(rate);
        outputMeters[k]->setEnvelope(0.0f, 500.0f);
    }
}

void MultibandComp::updateAudioModulesWithParamValues() {
    // A NaN frequency is taken as the limit too.
    const float limit = maxCrossoverFrequency;
    auto crossover = [&](int index) {
        const float f = readFloatParamValue(index);
        return f <= limit ? f : limit;
    };
    const float f1 = crossover(kF1);
    const float f2 = crossover(kF2);
    const float f3 = crossover(kF3);
    float threshold[kNumBands], attack[kNumBands], release[kNumBands], ratio[kNumBands], makeup[kNumBands];
    for (int k = 0; k < kNumBands; ++k) {
        const int base = k * kParamsPerBand;
        threshold[k] = readFloatParamValue(base + kThreshold);
        attack[k] = readFloatParamValue(base + kAttack);
        release[k] = readFloatParamValue(base + kRelease);
        ratio[k] = readFloatParamValue(base + kRatio);
        makeup[k] = gainFromDecibels(readFloatParamValue(base + kGain));
    }
    const bool autoGain = readBoolParamValue(kAutoGain);

    // The all-passes' coefficients depend only on their frequency and the rate, which changes only
    // in reset (where the remembered frequencies are forgotten), so they are re-tuned on a change.
    const bool retuneMid = !(f2 == allpassMidFrequency);
    const bool retuneHigh = !(f3 == allpassHighFrequency);
    allpassMidFrequency = f2;
    allpassHighFrequency = f3;
    for (int c = 0; c < 2; ++c) {
        lowSplitLP[c]->setFrequency(f1);
        lowSplitHP[c]->setFrequency(f1);
        midSplitLP[c]->setFrequency(f2);
        midSplitHP[c]->setFrequency(f2);
        if (retuneMid) lowAllpassMid[c]->setFrequency(f2);
        highSplitLP[c]->setFrequency(f3);
        highSplitHP[c]->setFrequency(f3);
        if (retuneHigh) {
            lowAllpassHigh[c]->setFrequency(f3);
            lowMidAllpassHigh[c]->setFrequency(f3);
        }
        for (int k = 0; k < kNumBands; ++k)
            bandCompressors[k][c]->setParams(attack[k], release[k], threshold[k], ratio[k], makeup[k]);
        for (int k = 0; k < kNumBands; ++k) bandCompressors[k][c]->autoGainEnabled(autoGain);
    }
}

void MultibandComp::processAudio(const float* const* inputs, float** outputs, int frames, TimeInfo) {
    bool solo[kNumBands];
    for (int k = 0; k < kNumBands; ++k) solo[k] = readBoolParamValue(kSoloLow + k);
    const float outGain = gainFromDecibels(readFloatParamValue(kOutputGain));
    updateAudioModulesWithParamValues();

    int nch = numInputChannels < numOutputChannels ? numInputChannels : numOutputChannels;
    if (nch > 2) nch = 2;
    if (frames > 0) {
        // The client never passes more than 256 frames; a direct caller that does is served in
        // pieces of 256 rather than overrunning the local result buffer.
        for (int start = 0; start < frames; start += kMaxFrames) {
            const int n = frames - start < kMaxFrames ? frames - start : kMaxFrames;
            const float* ins[2] = {nch > 0 ? inputs[0] + start : nullptr,
                                   nch > 1 ? inputs[1] + start : nullptr};
            float* outs[2] = {nch > 0 ? outputs[0] + start : nullptr, nch > 1 ? outputs[1] + start : nullptr};
            if (nch == 2) {
                processFrames<2>(ins, outs, n, solo, outGain);
            } else if (nch == 1) {
                processFrames<1>(ins, outs, n, solo, outGain);
            }
        }
        for (int c = nch; c < numOutputChannels; ++c) std::memset(outputs[c], 0, sizeof(float) * frames);
        recoverNonFiniteState();
    }
    sendLevelsToEditor();
}

template <int kChannels>
void MultibandComp::processFrames(const float* const* inputs, float** outputs, int frames,
                                  const bool solo[kNumBands], float outGain) {
    const bool anySolo = solo[0] || solo[1] || solo[2] || solo[3];
    // Dividing by 1 or 2 and multiplying by 1 or 0.5 give the same float.
    const float channelShare = kChannels == 2 ? 0.5f : 1.0f;
    // Results go to a local buffer first: stores through the host's float pointers could alias the
    // filter states as far as the compiler knows, and would force every state to be reloaded.
    float result[kChannels][kMaxFrames];
    for (int i = 0; i < frames; ++i) {
        float inputSum[kNumBands] = {0, 0, 0, 0};
        float outputSum[kNumBands] = {0, 0, 0, 0};
        for (int c = 0; c < kChannels; ++c) {
            const float x = inputs[c][i];
            float band[kNumBands];
            band[0] = lowAllpassHigh[c]->getNextSample(
                lowAllpassMid[c]->getNextSample(lowSplitLP[c]->getNextSample(x)));
            const float h = lowSplitHP[c]->getNextSample(x);
            band[1] = -lowMidAllpassHigh[c]->getNextSample(midSplitLP[c]->getNextSample(h));
            const float h2 = midSplitHP[c]->getNextSample(h);
            band[2] = highSplitLP[c]->getNextSample(h2);
            band[3] = -highSplitHP[c]->getNextSample(h2);
            for (int k = 0; k < kNumBands; ++k) inputSum[k] = inputSum[k] + band[k];

            Compressor* const compressors[kNumBands] = {bandCompressors[0][c], bandCompressors[1][c],
                                                        bandCompressors[2][c], bandCompressors[3][c]};
            float y[kNumBands];
            Compressor::processFour(compressors, band, y);
            float out = 0;
            for (int k = 0; k < kNumBands; ++k) {
                outputSum[k] = outputSum[k] + y[k];
                if (solo[k]) out = y[k] + out;
            }
            if (!anySolo) out = y[3] + ((y[0] + y[1]) + y[2]);
            result[c][i] = out * outGain;
        }
        for (int k = 0; k < kNumBands; ++k) inputMeters[k]->detect(inputSum[k] * channelShare);
        for (int k = 0; k < kNumBands; ++k) outputMeters[k]->detect(outputSum[k] * channelShare);
    }
    for (int c = 0; c < kChannels; ++c) std::memcpy(outputs[c], result[c], sizeof(float) * frames);
}

void MultibandComp::recoverNonFiniteState() {
    // One cheap test for the whole plug-in; the per-object clean-up runs only after a fault.
    bool finite = true;
    for (int c = 0; c < 2; ++c) {
        finite = finite && lowSplitLP[c]->hasFiniteState() && lowSplitHP[c]->hasFiniteState() &&
                 midSplitLP[c]->hasFiniteState() && midSplitHP[c]->hasFiniteState() &&
                 highSplitLP[c]->hasFiniteState() && highSplitHP[c]->hasFiniteState() &&
                 lowAllpassMid[c]->hasFiniteState() && lowAllpassHigh[c]->hasFiniteState() &&
                 lowMidAllpassHigh[c]->hasFiniteState();
        for (int k = 0; k < kNumBands; ++k) finite = finite && bandCompressors[k][c]->hasFiniteState();
    }
    for (int k = 0; k < kNumBands; ++k)
        finite = finite && std::isfinite(inputMeters[k]->getEnvelope()) &&
                 std::isfinite(outputMeters[k]->getEnvelope());
    if (finite) return;

    auto clearFilter = [](auto* filter) {
        if (!filter->hasFiniteState()) filter->reset();
    };
    for (int c = 0; c < 2; ++c) {
        clearFilter(lowSplitLP[c]);
        clearFilter(lowSplitHP[c]);
        clearFilter(midSplitLP[c]);
        clearFilter(midSplitHP[c]);
        clearFilter(highSplitLP[c]);
        clearFilter(highSplitHP[c]);
        clearFilter(lowAllpassMid[c]);
        clearFilter(lowAllpassHigh[c]);
        clearFilter(lowMidAllpassHigh[c]);
        for (int k = 0; k < kNumBands; ++k) bandCompressors[k][c]->clearNonFiniteState();
    }
    for (int k = 0; k < kNumBands; ++k) {
        if (!std::isfinite(inputMeters[k]->getEnvelope())) inputMeters[k]->reset();
        if (!std::isfinite(outputMeters[k]->getEnvelope())) outputMeters[k]->reset();
    }
}

void MultibandComp::sendLevelsToEditor() {
    if (!editorTryAcquire()) return;
    if (IBandLevelSink* sink = levelSink.load(std::memory_order_acquire)) {
        float levels[kNumBands];
        for (int k = 0; k < kNumBands; ++k) levels[k] = inputMeters[k]->getEnvelope();
        sink->setInputValues(levels);
        for (int k = 0; k < kNumBands; ++k) levels[k] = outputMeters[k]->getEnvelope();
        sink->setOutputValues(levels);
    }
    editorRelease();
}

}  // namespace plugin
