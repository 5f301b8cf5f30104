// A small plug-in library for testing `tolva validate`: the binding's entry points around a one-gain
// client, stereo and mono. The environment variable TOLVA_DOUBLE_FAULT, read when a client is made,
// injects one fault:
//   alloc  processAudio allocates and frees a block
//   nan    processAudio writes NaN
//   state  every value is stored a little below the one given, so a state round trip differs
// Its Client base is deliberately not its first base.
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "plugkit/aax/ClientFactory.h"
#include "plugkit/client/Client.h"

namespace {

namespace pc = plugkit::client;
namespace core = plugkit::core;

enum class Fault { none, alloc, nan, state };

Fault faultFromEnvironment() {
    const char* v = std::getenv("TOLVA_DOUBLE_FAULT");
    if (!v) return Fault::none;
    if (std::strcmp(v, "alloc") == 0) return Fault::alloc;
    if (std::strcmp(v, "nan") == 0) return Fault::nan;
    if (std::strcmp(v, "state") == 0) return Fault::state;
    return Fault::none;
}

std::atomic<void*> gSink{nullptr};

class DriftingParameter : public pc::LinearFloatParameter {
public:
    DriftingParameter(bool drift) : LinearFloatParameter(0, "Gain", "dB", -24.0, 12.0, 0.0), drift_(drift) {}
    void setNormalized(double n) override { LinearFloatParameter::setNormalized(drift_ ? n * 0.97 : n); }

private:
    bool drift_;
};

struct Tally {
    virtual ~Tally() = default;
    long blocks = 0;
};

class FaultyClient : public Tally, public pc::Client {
public:
    FaultyClient() : fault_(faultFromEnvironment()) {}

    pc::PluginInfo buildPluginInfo() override {
        pc::PluginInfo info;
        info.makerName = "PEL";
        std::memcpy(info.makerCode, "PELX", 5);
        info.productName = "Validate Double";
        std::memcpy(info.productCode, "pelv", 5);
        info.versionMajor = 1;
        info.category = pc::kCategoryHarmonic;
        info.aaxBundleId = "com.pel-audio.aax.ValidateDouble";
        return info;
    }
    core::Vec<pc::LegalIO> buildLegalIO() override {
        core::Vec<pc::LegalIO> ios;
        ios.pushBack({1, 1});
        ios.pushBack({2, 2});
        return ios;
    }
    core::Vec<pc::Parameter*> buildParameters() override {
        core::Vec<pc::Parameter*> p;
        p.pushBack(core::mallocNew<DriftingParameter>(fault_ == Fault::state));
        return p;
    }
    core::Vec<pc::Preset*> buildPresets() override {
        core::Vec<pc::Preset*> presets;
        presets.pushBack(makeDefaultPreset());
        return presets;
    }
    void reset(double, int, int numInputs, int numOutputs) override {
        inputs_ = numInputs;
        outputs_ = numOutputs;
    }
    void processAudio(const float* const* in, float** out, int frames, pc::TimeInfo) override {
        ++blocks;
        if (fault_ == Fault::alloc) std::free(gSink.exchange(std::malloc(64)));
        const float gain = static_cast<float>(std::pow(10.0, readFloatParamValue(0) / 20.0));
        const float nan = std::numeric_limits<float>::quiet_NaN();
        for (int c = 0; c < outputs_; ++c) {
            const float* x = c < inputs_ ? in[c] : nullptr;
            for (int n = 0; n < frames; ++n)
                out[c][n] = fault_ == Fault::nan ? nan : (x ? gain * x[n] : 0.0f);
        }
    }

private:
    Fault fault_;
    int inputs_ = 0, outputs_ = 0;
};

}  // namespace

plugkit::client::Client* plugkitCreateClient() { return pc::Client::create<FaultyClient>(); }
