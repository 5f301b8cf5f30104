// The render callback against Uninitialize on another thread: a render pass never calls a host
// interface the plug-in has already released. ThreadSanitizer checks the same runs for races.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "plugkit/aax/AAXClient.h"
#include "plugkit/aax/AAXDescription.h"
#include "plugkit/aax/AAXRender.h"
#include "plugkit/aax/LiveObjects.h"

namespace aax = plugkit::aax;
namespace sdk = plugkit::aax::sdk;

namespace {

// A host that counts the plug-in's references and every call made while it holds none. The test
// itself keeps one reference. The first stem-format query can be told to linger, which holds a
// render pass open while the other thread uninitialises.
class CountingHost final : public sdk::IController, public sdk::ITransport {
public:
    std::atomic<int> refs{1};
    std::atomic<int> callsWithoutReference{0};
    std::atomic<bool> lingerOnce{false};
    std::atomic<bool> insideRender{false};

    sdk::IACFUnknown* unknown() { return static_cast<sdk::IController*>(this); }
    sdk::Result QueryInterface(const sdk::UID& iid, void** out) override {
        *out = nullptr;
        if (iid == sdk::IController::kIID)
            *out = static_cast<sdk::IController*>(this);
        else if (iid == sdk::ITransport::kIID)
            *out = static_cast<sdk::ITransport*>(this);
        else
            return sdk::kErrorNoInterface;
        refs.fetch_add(1);
        return 0;
    }
    std::uint32_t AddRef() override { return static_cast<std::uint32_t>(refs.fetch_add(1) + 1); }
    std::uint32_t Release() override { return static_cast<std::uint32_t>(refs.fetch_sub(1) - 1); }

    sdk::Result GetSampleRate(float* out) override { return answer(out, 48000.0f); }
    sdk::Result GetInputStemFormat(sdk::StemFormat* out) override {
        insideRender.store(true);
        if (lingerOnce.exchange(false)) std::this_thread::sleep_for(std::chrono::milliseconds(40));
        return answer(out, sdk::kStemFormatStereo);
    }
    sdk::Result GetOutputStemFormat(sdk::StemFormat* out) override {
        return answer(out, sdk::kStemFormatStereo);
    }
    sdk::Result SetSignalLatency(std::int32_t) override { return answer(); }
    sdk::Result GetCurrentTempo(double* out) override { return answer(out, 120.0); }
    sdk::Result IsTransportPlaying(sdk::Boolean* out) override { return answer(out, sdk::Boolean(0)); }
    sdk::Result GetCurrentNativeSampleLocation(std::int64_t* out) override {
        return answer(out, std::int64_t(0));
    }

private:
    template <class T>
    sdk::Result answer(T* out, T value) {
        *out = value;
        return answer();
    }
    sdk::Result answer() {
        if (refs.load() <= 1) callsWithoutReference.fetch_add(1);
        return 0;
    }
};

struct Instance {
    CountingHost host;
    sdk::IEffectParameters* params = nullptr;
    void* slot = nullptr;
    std::int32_t frames = 64;
    std::vector<float> in[2], out[2];
    float* inPtrs[2];
    float* outPtrs[2];
    sdk::ContextField fields[aax::kContextFieldCount] = {};

    Instance() {
        sdk::IACFUnknown* unknown = aax::AAXClient::create();
        params = sdk::queryInterface<sdk::IEffectParameters>(unknown);
        unknown->Release();
        for (int c = 0; c < 2; ++c) {
            in[c].assign(64, 0.25f);
            out[c].assign(64, 0.0f);
            inPtrs[c] = in[c].data();
            outPtrs[c] = out[c].data();
        }
        fields[aax::kFieldAudioIn] = inPtrs;
        fields[aax::kFieldAudioOut] = outPtrs;
        fields[aax::kFieldBufferLength] = &frames;
        fields[aax::kFieldPrivateData] = &slot;
        params->ResetFieldData(aax::kFieldPrivateData, &slot, sizeof(slot));
    }
    ~Instance() { params->Release(); }
    void render() {
        sdk::ContextField* contexts[1] = {fields};
        aax::StaticRenderAudio(contexts, contexts + 1);
    }
};

}  // namespace

TEST(AAXRenderThreads, UninitializeWaitsForTheRenderPassInFlight) {
    Instance t;
    ASSERT_EQ(t.params->Initialize(t.host.unknown()), 0);
    t.host.lingerOnce.store(true);
    std::thread audio([&] { t.render(); });
    while (!t.host.insideRender.load()) std::this_thread::yield();
    t.params->Uninitialize();  // the render pass is still inside the host's controller
    audio.join();
    EXPECT_EQ(t.host.callsWithoutReference.load(), 0);
    EXPECT_EQ(t.host.refs.load(), 1);
}

TEST(AAXRenderThreads, RenderingWhileTheHostReinitializes) {
    Instance t;
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        while (!stop.load()) t.render();
    });
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(t.params->Initialize(t.host.unknown()), 0);
        std::this_thread::yield();
        t.params->Uninitialize();
    }
    stop.store(true);
    audio.join();
    EXPECT_EQ(t.host.callsWithoutReference.load(), 0);
    EXPECT_EQ(t.host.refs.load(), 1);
    for (float v : t.out[0]) ASSERT_TRUE(std::isfinite(v));
}
