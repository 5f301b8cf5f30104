#include "plugin/MultibandComp.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "gui/MultibandCompGUI.h"
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

plugkit::client::IGraphics* MultibandComp::createGraphics() {
    return plugkit::core::mallocNew<tolvagui::MultibandCompGUI>(this);
}

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

#if DSP_LANES4_SSE2 && DSP_FAST_DECIBELS_SSE2
namespace {

namespace l4 = dsp::lanes4;

// Up to four biquad sections in the lanes of SSE registers for the length of a block; each lane
// does BiQuad::getNextSample's float operations in the same order. A lane without a section has
// zero coefficients and is never stored back.
struct BiQuadLanes {
    __m128 a0, a1, a2, b1, b2, c0, d0;
    __m128 x1, x2, y1, y2;

    explicit BiQuadLanes(const dsp::BiQuad<float>* const* sections) {
        alignas(16) float v[11][4];
        for (int k = 0; k < 4; ++k) {
            dsp::BiQuad<float>::Snapshot s{};
            if (sections[k]) s = sections[k]->snapshot();  // else all zero, c0 included
            const float values[11] = {s.a0, s.a1, s.a2, s.b1, s.b2, s.c0, s.d0, s.x1, s.x2, s.y1, s.y2};
            for (int j = 0; j < 11; ++j) v[j][k] = values[j];
        }
        __m128* const fields[11] = {&a0, &a1, &a2, &b1, &b2, &c0, &d0, &x1, &x2, &y1, &y2};
        for (int j = 0; j < 11; ++j) *fields[j] = _mm_load_ps(v[j]);
    }

    void store(dsp::BiQuad<float>* const* sections) const {
        alignas(16) float v[4][4];
        _mm_store_ps(v[0], x1);
        _mm_store_ps(v[1], x2);
        _mm_store_ps(v[2], y1);
        _mm_store_ps(v[3], y2);
        for (int k = 0; k < 4; ++k)
            if (sections[k]) sections[k]->setState(v[0][k], v[1][k], v[2][k], v[3][k]);
    }

    __m128 step(__m128 x) {
        __m128 v = _mm_add_ps(_mm_mul_ps(a0, x), _mm_mul_ps(a1, x1));
        v = _mm_add_ps(v, _mm_mul_ps(a2, x2));
        v = _mm_sub_ps(v, _mm_mul_ps(b1, y1));
        v = _mm_sub_ps(v, _mm_mul_ps(b2, y2));
        const __m128 out = _mm_add_ps(_mm_mul_ps(d0, x), _mm_mul_ps(c0, v));
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = out;
        return out;
    }
};

// Up to four all-passes in SSE lanes, each doing Allpass::getNextSample's float operations in order.
struct AllpassLanes {
    __m128 a1, a2, b0, b1, b2;
    __m128 w, s1, s2, y;

    explicit AllpassLanes(const dsp::Allpass<float>* const* sections) {
        alignas(16) float v[9][4];
        for (int k = 0; k < 4; ++k) {
            dsp::Allpass<float>::Snapshot s{};
            if (sections[k]) s = sections[k]->snapshot();
            const float values[9] = {s.a1, s.a2, s.b0, s.b1, s.b2, s.w, s.s1, s.s2, s.y};
            for (int j = 0; j < 9; ++j) v[j][k] = values[j];
        }
        __m128* const fields[9] = {&a1, &a2, &b0, &b1, &b2, &w, &s1, &s2, &y};
        for (int j = 0; j < 9; ++j) *fields[j] = _mm_load_ps(v[j]);
    }

    void store(dsp::Allpass<float>* const* sections) const {
        alignas(16) float v[4][4];
        _mm_store_ps(v[0], w);
        _mm_store_ps(v[1], s1);
        _mm_store_ps(v[2], s2);
        _mm_store_ps(v[3], y);
        for (int k = 0; k < 4; ++k)
            if (sections[k]) sections[k]->setState(v[0][k], v[1][k], v[2][k], v[3][k]);
    }

    __m128 step(__m128 x) {
        w = _mm_sub_ps(x, _mm_mul_ps(a1, s1));
        w = _mm_sub_ps(w, _mm_mul_ps(a2, s2));
        y = _mm_add_ps(_mm_mul_ps(b0, w), _mm_mul_ps(b1, s1));
        y = _mm_add_ps(_mm_mul_ps(b2, s2), y);
        s2 = s1;
        s1 = w;
        return y;
    }
};

// Four peak meters in SSE lanes.
struct MeterLanes {
    __m128 envelope, attackCoef, releaseCoef;

    explicit MeterLanes(const dsp::PeakDetector<float>* const* meters) {
        envelope = _mm_setr_ps(meters[0]->getEnvelope(), meters[1]->getEnvelope(), meters[2]->getEnvelope(),
                               meters[3]->getEnvelope());
        attackCoef = _mm_setr_ps(meters[0]->getAttackCoef(), meters[1]->getAttackCoef(),
                                 meters[2]->getAttackCoef(), meters[3]->getAttackCoef());
        releaseCoef = _mm_setr_ps(meters[0]->getReleaseCoef(), meters[1]->getReleaseCoef(),
                                  meters[2]->getReleaseCoef(), meters[3]->getReleaseCoef());
    }

    void store(dsp::PeakDetector<float>* const* meters) const {
        alignas(16) float v[4];
        _mm_store_ps(v, envelope);
        for (int k = 0; k < 4; ++k) meters[k]->restoreEnvelope(v[k]);
    }

    void detect(__m128 x) { l4::follow(envelope, l4::abs(x), attackCoef, releaseCoef); }
};

}  // namespace

template <int kChannels>
void MultibandComp::processFrames(const float* const* inputs, float** outputs, int frames,
                                  const bool solo[kNumBands], float outGain) {
    const bool anySolo = solo[0] || solo[1] || solo[2] || solo[3];
    // Dividing by 1 or 2 and multiplying by 1 or 0.5 give the same float.
    const __m128 channelShare = _mm_set1_ps(kChannels == 2 ? 0.5f : 1.0f);
    // Every section, compressor and meter runs in SSE lanes for the whole block, with the state in
    // registers; each lane does the scalar float operations in the same order, so the results are
    // those of the objects' own per-sample functions. In mono the channel-2 lanes compute on
    // silence and are not stored back.
    //   split 1: lanes {LP, HP} of channel 1, then of channel 2, both fed x
    //   split 2: {LP, HP} of each channel fed the first high-pass h; all-pass at F2 fed the first
    //            low-pass (lanes 0, 1 = channels 1, 2)
    //   split 3: {LP, HP} of each channel fed the second high-pass h2; all-passes at F3 fed the
    //            low band and the low-mid band: {low, low-mid} of channel 1, then of channel 2
    const int c1 = kChannels == 2 ? 1 : 0;
    dsp::BiQuad<float>* const split1[4] = {lowSplitLP[0], lowSplitHP[0],
                                           kChannels == 2 ? lowSplitLP[1] : nullptr,
                                           kChannels == 2 ? lowSplitHP[1] : nullptr};
    dsp::BiQuad<float>* const split2[4] = {midSplitLP[0], midSplitHP[0],
                                           kChannels == 2 ? midSplitLP[1] : nullptr,
                                           kChannels == 2 ? midSplitHP[1] : nullptr};
    dsp::BiQuad<float>* const split3[4] = {highSplitLP[0], highSplitHP[0],
                                           kChannels == 2 ? highSplitLP[1] : nullptr,
                                           kChannels == 2 ? highSplitHP[1] : nullptr};
    AP* const allpass2[4] = {lowAllpassMid[0], kChannels == 2 ? lowAllpassMid[1] : nullptr, nullptr, nullptr};
    AP* const allpass3[4] = {lowAllpassHigh[0], lowMidAllpassHigh[0],
                             kChannels == 2 ? lowAllpassHigh[1] : nullptr,
                             kChannels == 2 ? lowMidAllpassHigh[1] : nullptr};
    BiQuadLanes s1(split1), s2(split2), s3(split3);
    AllpassLanes ap2(allpass2), ap3(allpass3);
    Compressor* const comp0[kNumBands] = {bandCompressors[0][0], bandCompressors[1][0], bandCompressors[2][0],
                                          bandCompressors[3][0]};
    Compressor* const comp1[kNumBands] = {bandCompressors[0][1], bandCompressors[1][1], bandCompressors[2][1],
                                          bandCompressors[3][1]};
    Compressor::Lanes bands0 = Compressor::loadLanes(comp0);
    Compressor::Lanes bands1 = Compressor::loadLanes(comp1);
    MeterLanes inMeters(inputMeters), outMeters(outputMeters);
    const __m128 negateOdd = _mm_setr_ps(0.0f, -0.0f, 0.0f, -0.0f);

    // Results go to a local buffer first: stores through the host's float pointers could alias the
    // states as far as the compiler knows.
    float result[kChannels][kMaxFrames];
    for (int i = 0; i < frames; ++i) {
        const float x0 = inputs[0][i];
        const float x1 = kChannels == 2 ? inputs[c1][i] : 0.0f;
        const __m128 o1 = s1.step(_mm_setr_ps(x0, x0, x1, x1));                       // {l, h, l, h}
        const __m128 o2 = s2.step(_mm_shuffle_ps(o1, o1, _MM_SHUFFLE(3, 3, 1, 1)));   // {ml, h2, ml, h2}
        const __m128 a2 = ap2.step(_mm_shuffle_ps(o1, o1, _MM_SHUFFLE(2, 0, 2, 0)));  // {l', l', ..}
        const __m128 o3 = s3.step(_mm_shuffle_ps(o2, o2, _MM_SHUFFLE(3, 3, 1, 1)));   // {band 3, -band 4, ..}
        const __m128 a3 = ap3.step(
            _mm_unpacklo_ps(a2, _mm_shuffle_ps(o2, o2, _MM_SHUFFLE(2, 0, 2, 0))));  // {band 1, -band 2}
        const __m128 band0 = _mm_xor_ps(_mm_movelh_ps(a3, o3), negateOdd);
        const __m128 band1 = _mm_xor_ps(_mm_movehl_ps(o3, a3), negateOdd);

        // Channel 1 sees channel 2's envelopes of the previous sample, channel 2 those of this one.
        const __m128 y0 = Compressor::processLanes(bands0, band0, bands1.envelope);
        __m128 inputSum = _mm_add_ps(_mm_setzero_ps(), band0);
        __m128 outputSum = _mm_add_ps(_mm_setzero_ps(), y0);
        __m128 y1 = y0;
        if constexpr (kChannels == 2) {
            y1 = Compressor::processLanes(bands1, band1, bands0.envelope);
            inputSum = _mm_add_ps(inputSum, band1);
            outputSum = _mm_add_ps(outputSum, y1);
        }
        inMeters.detect(_mm_mul_ps(inputSum, channelShare));
        outMeters.detect(_mm_mul_ps(outputSum, channelShare));

        const __m128 ys[2] = {y0, y1};
        for (int c = 0; c < kChannels; ++c) {
            alignas(16) float y[kNumBands];
            _mm_store_ps(y, ys[c]);
            float out = 0;
            if (anySolo) {
                for (int k = 0; k < kNumBands; ++k)
                    if (solo[k]) out = y[k] + out;
            } else {
                out = y[3] + ((y[0] + y[1]) + y[2]);
            }
            result[c][i] = out * outGain;
        }
    }
    s1.store(split1);
    s2.store(split2);
    s3.store(split3);
    ap2.store(allpass2);
    ap3.store(allpass3);
    Compressor::storeLanes(bands0, comp0);
    if constexpr (kChannels == 2) Compressor::storeLanes(bands1, comp1);
    inMeters.store(inputMeters);
    outMeters.store(outputMeters);
    for (int c = 0; c < kChannels; ++c) std::memcpy(outputs[c], result[c], sizeof(float) * frames);
}
#else
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

#endif

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
