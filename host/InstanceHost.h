#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "host/HostRefCount.h"
#include "plugkit/aax/sdk/AAXInterfaces.h"

namespace host {

namespace sdk = plugkit::aax::sdk;

// The host side of one plug-in instance: its controller (configuration the plug-in reads while
// rendering, latency it reports), its transport and its automation delegate. One object answers
// all three interfaces (and, for the editor object, the instance's effect parameters).
class InstanceHost final : public sdk::IController, public sdk::ITransport, public sdk::IAutomationDelegate {
public:
    InstanceHost() = default;
    InstanceHost(const InstanceHost&) = delete;
    InstanceHost& operator=(const InstanceHost&) = delete;

    // The unknown to pass to Initialize.
    sdk::IACFUnknown* unknown() { return static_cast<sdk::IController*>(this); }
    // [host thread] The instance's effect parameters: target of set-value requests and answer to
    // an editor's query. Not referenced; cleared before the object goes away.
    void setEffectParameters(sdk::IEffectParameters* p) { effect_.store(p, std::memory_order_release); }

    // [host thread] Configuration the controller reports.
    void setConfiguration(uint32_t inputStem, uint32_t outputStem, float sampleRate);
    // [host thread] Makes every controller getter fail, as a host in the middle of a change would.
    void setControllerFailing(bool failing) { failing_.store(failing, std::memory_order_release); }
    // [any thread] Transport state the plug-in reads.
    void setTransport(double tempo, bool playing, int64_t samplePosition);
    // [audio thread] Moves the transport position on by frames while playing.
    void advance(int64_t frames);

    // Latency reports: how many SetSignalLatency calls so far and the last value.
    int32_t latencyReports() const { return latencyReports_.load(std::memory_order_acquire); }
    int32_t latency() const { return latency_.load(std::memory_order_acquire); }

    // Automation bookkeeping. [any thread]
    struct AutomationStats {
        int32_t touches = 0, releases = 0, setValues = 0, setValueFailures = 0, setWithoutTouch = 0;
    };
    AutomationStats automationStats() const;
    std::set<std::string> registeredParameters() const;
    int32_t registerCalls() const;
    int32_t unregisterCalls() const;
    const HostRefCount& refs() const { return refs_; }

    // IACFUnknown
    sdk::Result QueryInterface(const sdk::UID& iid, void** out) override;
    uint32_t AddRef() override { return refs_.add(); }
    uint32_t Release() override { return refs_.release(); }

    // IController [any thread; the getters never block]
    sdk::Result GetSampleRate(float* out) override;
    sdk::Result GetInputStemFormat(sdk::StemFormat* out) override;
    sdk::Result GetOutputStemFormat(sdk::StemFormat* out) override;
    sdk::Result SetSignalLatency(int32_t samples) override;

    // ITransport [any thread; never blocks]
    sdk::Result GetCurrentTempo(double* out) override;
    sdk::Result IsTransportPlaying(sdk::Boolean* out) override;
    sdk::Result GetCurrentNativeSampleLocation(int64_t* out) override;

    // IAutomationDelegate [host and editor threads]: a set-value request is answered at once by
    // setting the value back through the instance's effect parameters.
    sdk::Result RegisterParameter(sdk::ParamID id) override;
    sdk::Result UnregisterParameter(sdk::ParamID id) override;
    sdk::Result PostTouchRequest(sdk::ParamID id) override;
    sdk::Result PostSetValueRequest(sdk::ParamID id, double value) override;
    sdk::Result PostReleaseRequest(sdk::ParamID id) override;

private:
    HostRefCount refs_;
    std::atomic<sdk::IEffectParameters*> effect_{nullptr};
    std::atomic<uint32_t> inputStem_{0}, outputStem_{0};
    std::atomic<float> sampleRate_{0.0f};
    std::atomic<bool> failing_{false};
    std::atomic<int32_t> latencyReports_{0}, latency_{0};
    std::atomic<double> tempo_{120.0};
    std::atomic<bool> playing_{false};
    std::atomic<int64_t> position_{0};

    mutable std::mutex mutex_;  // guards the automation bookkeeping below (never the audio thread)
    std::set<std::string> registered_;
    std::set<std::string> touched_;
    AutomationStats stats_;
    int32_t registerCalls_ = 0, unregisterCalls_ = 0;
};

}  // namespace host
