#pragma once

// A small plug-in used by the client tests: one parameter of every class, two presets, two
// layouts, a frame limit chosen per test, and a record of every call the frame makes.

#include <vector>

#include "plugkit/client/Client.h"

namespace plugkit::client::testing {

enum TestParam { kGain, kFreq, kMix, kSteps, kMode, kBypass, kOut, kCurve, kParamCount };

class TestPlugin : public Client {
public:
    explicit TestPlugin(int frameLimit = 256) : limitForBuild_(frameLimit) {}

    struct Call {
        int frames;
        int64_t samplePosition;
        const float* in0;
        float* out0;
    };
    std::vector<Call> calls;
    int resetFrames = -1;

    int maxFramesInProcess() const override { return limitForBuild_; }

    PluginInfo buildPluginInfo() override {
        PluginInfo info;
        info.productName = "Test";
        info.versionMajor = 2;
        info.versionMinor = 0;
        info.versionPatch = 7;
        info.hasEditor = true;
        return info;
    }

    core::Vec<LegalIO> buildLegalIO() override {
        core::Vec<LegalIO> ios;
        ios.pushBack({1, 1});
        ios.pushBack({2, 2});
        return ios;
    }

    core::Vec<Parameter*> buildParameters() override {
        static const char* const modes[] = {"A", "B", "C"};
        core::Vec<Parameter*> p;
        p.pushBack(core::mallocNew<LinearFloatParameter>(kGain, "Gain", "dB", -36.0, 0.0, -3.0));
        p.pushBack(core::mallocNew<LogFloatParameter>(kFreq, "Freq", "Hz", 20.0, 2000.0, 200.0));
        p.pushBack(core::mallocNew<LinearFloatParameter>(kMix, "Mix", "%", 0.0, 100.0, 50.0));
        p.pushBack(core::mallocNew<IntegerParameter>(kSteps, "Steps", "", -10, 10, 0));
        p.pushBack(core::mallocNew<EnumParameter>(kMode, "Mode", modes, 3, 1));
        p.pushBack(core::mallocNew<BoolParameter>(kBypass, "Bypass", false));
        p.pushBack(core::mallocNew<GainParameter>(kOut, "Out", 12.0, 0.0, 2.0));
        p.pushBack(core::mallocNew<PowFloatParameter>(kCurve, "Curve", "ms", 1.0, 101.0, 26.0, 2.0));
        return p;
    }

    core::Vec<Preset*> buildPresets() override {
        core::Vec<Preset*> presets;
        presets.pushBack(makeDefaultPreset());
        float values[kParamCount] = {0.25f, 0.75f, 0.1f, 1.0f, 0.0f, 1.0f, 0.5f, 0.9f};
        presets.pushBack(core::mallocNew<Preset>("Second", values, static_cast<int>(kParamCount)));
        return presets;
    }

    void reset(double, int maxFrames, int, int) override { resetFrames = maxFrames; }

    void processAudio(const float* const* inputs, float** outputs, int frames, TimeInfo info) override {
        calls.push_back(
            {frames, info.samplePosition, inputs ? inputs[0] : nullptr, outputs ? outputs[0] : nullptr});
    }

private:
    int limitForBuild_;
};

// Records what the plug-in tells the host, with the parameter's lock state at each call.
class RecordingHost : public IHostCommand {
public:
    struct Event {
        char kind;  // 'b' begin, 'a' automate, 'e' end
        int index;
        float value;
    };
    std::vector<Event> events;

    void beginParamEdit(int paramIndex) override { events.push_back({'b', paramIndex, 0.0f}); }
    void paramAutomate(int paramIndex, float value) override { events.push_back({'a', paramIndex, value}); }
    void endParamEdit(int paramIndex) override { events.push_back({'e', paramIndex, 0.0f}); }
    bool requestResize(int, int) override { return false; }
    DAW getDAW() override { return DAW::unknown; }
};

}  // namespace plugkit::client::testing
