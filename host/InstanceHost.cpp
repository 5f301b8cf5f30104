#include "host/InstanceHost.h"

namespace host {

void InstanceHost::setConfiguration(uint32_t inputStem, uint32_t outputStem, float sampleRate) {
    inputStem_.store(inputStem, std::memory_order_release);
    outputStem_.store(outputStem, std::memory_order_release);
    sampleRate_.store(sampleRate, std::memory_order_release);
}

void InstanceHost::setTransport(double tempo, bool playing, int64_t samplePosition) {
    tempo_.store(tempo, std::memory_order_release);
    playing_.store(playing, std::memory_order_release);
    position_.store(samplePosition, std::memory_order_release);
}

void InstanceHost::advance(int64_t frames) {
    if (playing_.load(std::memory_order_acquire)) position_.fetch_add(frames, std::memory_order_acq_rel);
}

sdk::Result InstanceHost::QueryInterface(const sdk::UID& iid, void** out) {
    if (!out) return sdk::kErrorNullObject;
    *out = nullptr;
    if (iid == sdk::IController::kIID) {
        *out = static_cast<sdk::IController*>(this);
    } else if (iid == sdk::ITransport::kIID) {
        *out = static_cast<sdk::ITransport*>(this);
    } else if (iid == sdk::IAutomationDelegate::kIID) {
        *out = static_cast<sdk::IAutomationDelegate*>(this);
    } else if (iid == sdk::IEffectParameters::kIID) {
        // The editor object asks for its instance's effect parameters: hand out the plug-in's own
        // object (its QueryInterface adds the reference).
        sdk::IEffectParameters* effect = effect_.load(std::memory_order_acquire);
        if (!effect) return sdk::kErrorNoInterface;
        return effect->QueryInterface(iid, out);
    } else {
        return sdk::kErrorNoInterface;
    }
    refs_.add();
    return sdk::kSuccess;
}

sdk::Result InstanceHost::GetSampleRate(float* out) {
    if (!out) return sdk::kErrorNullObject;
    if (failing_.load(std::memory_order_acquire)) return sdk::kErrorNotInitialized;
    *out = sampleRate_.load(std::memory_order_acquire);
    return sdk::kSuccess;
}

sdk::Result InstanceHost::GetInputStemFormat(sdk::StemFormat* out) {
    if (!out) return sdk::kErrorNullObject;
    if (failing_.load(std::memory_order_acquire)) return sdk::kErrorNotInitialized;
    *out = inputStem_.load(std::memory_order_acquire);
    return sdk::kSuccess;
}

sdk::Result InstanceHost::GetOutputStemFormat(sdk::StemFormat* out) {
    if (!out) return sdk::kErrorNullObject;
    if (failing_.load(std::memory_order_acquire)) return sdk::kErrorNotInitialized;
    *out = outputStem_.load(std::memory_order_acquire);
    return sdk::kSuccess;
}

sdk::Result InstanceHost::SetSignalLatency(int32_t samples) {
    latency_.store(samples, std::memory_order_release);
    latencyReports_.fetch_add(1, std::memory_order_acq_rel);
    return sdk::kSuccess;
}

sdk::Result InstanceHost::GetCurrentTempo(double* out) {
    if (!out) return sdk::kErrorNullObject;
    *out = tempo_.load(std::memory_order_acquire);
    return sdk::kSuccess;
}

sdk::Result InstanceHost::IsTransportPlaying(sdk::Boolean* out) {
    if (!out) return sdk::kErrorNullObject;
    *out = playing_.load(std::memory_order_acquire) ? 1 : 0;
    return sdk::kSuccess;
}

sdk::Result InstanceHost::GetCurrentNativeSampleLocation(int64_t* out) {
    if (!out) return sdk::kErrorNullObject;
    *out = position_.load(std::memory_order_acquire);
    return sdk::kSuccess;
}

sdk::Result InstanceHost::RegisterParameter(sdk::ParamID id) {
    if (!id) return sdk::kErrorNullObject;
    std::lock_guard<std::mutex> lock(mutex_);
    ++registerCalls_;
    registered_.insert(id);
    return sdk::kSuccess;
}

sdk::Result InstanceHost::UnregisterParameter(sdk::ParamID id) {
    if (!id) return sdk::kErrorNullObject;
    std::lock_guard<std::mutex> lock(mutex_);
    ++unregisterCalls_;
    registered_.erase(id);
    return sdk::kSuccess;
}

sdk::Result InstanceHost::PostTouchRequest(sdk::ParamID id) {
    if (!id) return sdk::kErrorNullObject;
    std::lock_guard<std::mutex> lock(mutex_);
    ++stats_.touches;
    touched_.insert(id);
    return sdk::kSuccess;
}

sdk::Result InstanceHost::PostSetValueRequest(sdk::ParamID id, double value) {
    if (!id) return sdk::kErrorNullObject;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++stats_.setValues;
        if (!touched_.count(id)) ++stats_.setWithoutTouch;
    }
    // The plug-in's lock is taken by SetParameterNormalizedValue; ours is not held meanwhile.
    sdk::IEffectParameters* effect = effect_.load(std::memory_order_acquire);
    const sdk::Result r = effect ? effect->SetParameterNormalizedValue(id, value) : sdk::kErrorNullObject;
    if (r != sdk::kSuccess) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++stats_.setValueFailures;
    }
    return r;
}

sdk::Result InstanceHost::PostReleaseRequest(sdk::ParamID id) {
    if (!id) return sdk::kErrorNullObject;
    std::lock_guard<std::mutex> lock(mutex_);
    ++stats_.releases;
    touched_.erase(id);
    return sdk::kSuccess;
}

InstanceHost::AutomationStats InstanceHost::automationStats() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stats_;
}

std::set<std::string> InstanceHost::registeredParameters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return registered_;
}

int32_t InstanceHost::registerCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return registerCalls_;
}

int32_t InstanceHost::unregisterCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return unregisterCalls_;
}

}  // namespace host
