#include "plugkit/lv2/LV2Plugin.h"

#include <atomic>
#include <cmath>
#include <cstring>

#include "lv2/atom/atom.h"
#include "plugkit/client/Client.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/FPControl.h"

namespace plugkit::lv2 {

namespace {

// Bits of a NaN that no control port is compared equal to before its first run.
constexpr std::uint32_t kNeverSeen = 0x7fc0dead;

std::uint32_t bitsOf(float v) noexcept {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

const void* findFeature(const LV2_Feature* const* features, const char* uri) {
    for (const LV2_Feature* const* f = features; f && *f; ++f)
        if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
    return nullptr;
}

}  // namespace

LV2Plugin::LV2Plugin(client::Client* client, PortLayout ports, double sampleRate, const char* stateKey,
                     const LV2_Feature* const* features)
    : client_(client), ports_(ports), sampleRate_(sampleRate), lastEnabledBits_(kNeverSeen) {
    latency_ = static_cast<float>(client_->latencySamples(sampleRate_));
    map_ = static_cast<LV2_URID_Map*>(const_cast<void*>(findFeature(features, LV2_URID__map)));
    if (map_ && map_->map) {
        stateKey_ = map_->map(map_->handle, stateKey);
        chunkType_ = map_->map(map_->handle, LV2_ATOM__Chunk);
    } else {
        map_ = nullptr;
    }
    const auto params = static_cast<std::size_t>(ports_.paramCount);
    controls_.resize(params);
    lastControlBits_.resize(params);
    for (std::size_t i = 0; i < params; ++i) lastControlBits_[i] = kNeverSeen;
    audioIn_.resize(static_cast<std::size_t>(ports_.inputs));
    audioOut_.resize(static_cast<std::size_t>(ports_.outputs));
    inputCopy_.resize(static_cast<std::size_t>(ports_.inputs) * kSliceFrames);
    inputPointers_.resize(static_cast<std::size_t>(ports_.inputs));
    outputPointers_.resize(static_cast<std::size_t>(ports_.outputs));
    activate();
}

void LV2Plugin::activate() noexcept {
    client_->resetFromHost(sampleRate_, kSliceFrames, ports_.inputs, ports_.outputs);
}

LV2Plugin::~LV2Plugin() { core::destroyFree(client_); }

void LV2Plugin::connectPort(std::uint32_t port, void* data) noexcept {
    if (port >= static_cast<std::uint32_t>(ports_.portCount())) return;
    const int p = static_cast<int>(port);
    if (p < ports_.paramCount) {
        controls_[port] = static_cast<const float*>(data);
    } else if (p == ports_.enabledPort()) {
        enabledPort_ = static_cast<const float*>(data);
    } else if (p == ports_.latencyPort()) {
        latencyPort_ = static_cast<float*>(data);
    } else if (p < ports_.firstOutput()) {
        audioIn_[static_cast<std::size_t>(p - ports_.firstInput())] = static_cast<const float*>(data);
    } else {
        audioOut_[static_cast<std::size_t>(p - ports_.firstOutput())] = static_cast<float*>(data);
    }
}

void LV2Plugin::applyControlPorts() noexcept {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (!controls_[i]) continue;
        const float v = *controls_[i];
        const std::uint32_t bits = bitsOf(v);
        std::atomic_ref<std::uint32_t> last(lastControlBits_[i]);
        if (bits == last.load(std::memory_order_relaxed)) continue;
        last.store(bits, std::memory_order_relaxed);
        // A NaN leaves the parameter as it was; infinities are clamped like any out-of-range value.
        if (!std::isnan(v)) client_->param(static_cast<int>(i))->storePlainFromAudio(static_cast<double>(v));
    }
}

void LV2Plugin::readEnabledPort() noexcept {
    if (!enabledPort_) {
        bypassed_ = false;
    } else {
        const float v = *enabledPort_;
        const std::uint32_t bits = bitsOf(v);
        if (bits != lastEnabledBits_) {
            lastEnabledBits_ = bits;
            if (!std::isnan(v)) bypassed_ = !(v >= 0.5f);
        }
    }
    // The client crossfades a change, and takes the state at once in the first block after a reset.
    client_->setBypass(bypassed_);
}

void LV2Plugin::run(std::uint32_t frames) noexcept {
    core::FPStateGuard fpState;
    if (latencyPort_) *latencyPort_ = latency_;
    applyControlPorts();
    readEnabledPort();
    for (std::size_t c = 0; c < audioIn_.size(); ++c)
        if (!audioIn_[c]) return;
    for (std::size_t c = 0; c < audioOut_.size(); ++c)
        if (!audioOut_[c]) return;
    std::uint32_t done = 0;
    while (done < frames) {
        const std::uint32_t left = frames - done;
        const int n = left < static_cast<std::uint32_t>(kSliceFrames) ? static_cast<int>(left) : kSliceFrames;
        processSlice(done, n);
        done += static_cast<std::uint32_t>(n);
    }
}

void LV2Plugin::processSlice(std::uint32_t offset, int frames) noexcept {
    const std::size_t bytes = static_cast<std::size_t>(frames) * sizeof(float);
    for (std::size_t c = 0; c < audioIn_.size(); ++c) {
        float* copy = inputCopy_.data() + c * kSliceFrames;
        std::memcpy(copy, audioIn_[c] + offset, bytes);
        inputPointers_[c] = copy;
    }
    // The output pointers start at this slice's offset into the host's buffers.
    for (std::size_t c = 0; c < audioOut_.size(); ++c) outputPointers_[c] = audioOut_[c] + offset;
    client::TimeInfo info;
    client_->processAudioFromHost(inputPointers_.data(), outputPointers_.data(), frames, info);
}

void LV2Plugin::takePendingControlPorts() noexcept {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (!controls_[i]) continue;
        const float v = *controls_[i];
        std::atomic_ref<std::uint32_t> last(lastControlBits_[i]);
        if (bitsOf(v) == last.load(std::memory_order_relaxed) || std::isnan(v)) continue;
        client_->param(static_cast<int>(i))->storePlainFromAudio(static_cast<double>(v));
    }
}

LV2_State_Status LV2Plugin::save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    if (!map_) return LV2_STATE_ERR_NO_FEATURE;
    if (!store || !client_->presetBank()) return LV2_STATE_ERR_UNKNOWN;
    takePendingControlPorts();
    client::ChunkBytes chunk = client_->presetBank()->getStateChunkFromCurrentState();
    if (chunk.empty()) return LV2_STATE_ERR_UNKNOWN;
    return store(handle, stateKey_, chunk.data(), chunk.size(), chunkType_,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status LV2Plugin::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    if (!map_) return LV2_STATE_ERR_NO_FEATURE;
    if (!retrieve || !client_->presetBank()) return LV2_STATE_ERR_UNKNOWN;
    std::size_t size = 0;
    std::uint32_t type = 0;
    std::uint32_t flags = 0;
    const void* data = retrieve(handle, stateKey_, &size, &type, &flags);
    if (!data) return LV2_STATE_ERR_NO_PROPERTY;
    if (type != chunkType_) return LV2_STATE_ERR_BAD_TYPE;
    const client::ChunkResult result =
        client_->presetBank()->loadStateChunk(static_cast<const std::uint8_t*>(data), size);
    return result.ok ? LV2_STATE_SUCCESS : LV2_STATE_ERR_UNKNOWN;
}

}  // namespace plugkit::lv2
