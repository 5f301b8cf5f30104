#include "plugkit/aax/AAXRender.h"

#include <cmath>
#include <cstring>

#include "plugkit/aax/AAXClient.h"
#include "plugkit/aax/AAXDescription.h"
#include "plugkit/client/Client.h"
#include "plugkit/core/HostCallGuard.h"

namespace plugkit::aax {

void StaticRenderAudio(sdk::ContextField* const instancesBegin[], const void* instancesEnd) {
    core::HostCallGuard guard;
    const auto* end = static_cast<sdk::ContextField* const*>(instancesEnd);
    for (sdk::ContextField* const* instance = instancesBegin; instance < end; ++instance) {
        const sdk::ContextField* context = *instance;
        if (!context || !context[kFieldPrivateData]) continue;
        AAXClient* object = nullptr;
        std::memcpy(&object, context[kFieldPrivateData], sizeof(object));
        if (object) object->renderAudio(context);
    }
}

void AAXClient::renderAudio(sdk::ContextField const* context) noexcept {
    // Announce the pass before looking at the host references: Uninitialize clears hostReady_ and
    // then waits for every announced pass, so a pass that sees hostReady_ set uses references that
    // stay held until it ends. Both sides use sequentially consistent order (a store-then-load
    // handshake on two variables).
    rendersInFlight_.fetch_add(1, std::memory_order_seq_cst);
    if (hostReady_.load(std::memory_order_seq_cst)) renderWithHost(context);
    rendersInFlight_.fetch_sub(1, std::memory_order_release);
}

void AAXClient::renderWithHost(sdk::ContextField const* context) noexcept {
    sdk::IController* controller = controller_.get();
    if (!controller) return;
    sdk::StemFormat inputFormat = 0;
    sdk::StemFormat outputFormat = 0;
    float sampleRate = 0.0f;
    if (controller->GetInputStemFormat(&inputFormat) != sdk::kSuccess) return;
    if (controller->GetOutputStemFormat(&outputFormat) != sdk::kSuccess) return;
    if (controller->GetSampleRate(&sampleRate) != sdk::kSuccess) return;
    // A rate the plug-in cannot be reset with is treated like a failed read.
    if (!std::isfinite(sampleRate) || sampleRate <= 0.0f) return;

    const auto* frameCount = static_cast<const std::int32_t*>(context[kFieldBufferLength]);
    auto* const* hostInputs = static_cast<float* const*>(context[kFieldAudioIn]);
    auto* const* hostOutputs = static_cast<float* const*>(context[kFieldAudioOut]);
    const int frames = frameCount ? *frameCount : 0;
    const int numInputs = sdk::stemChannelCount(inputFormat);
    const int numOutputs = sdk::stemChannelCount(outputFormat);
    // Only layouts the plug-in declared can be served from the scratch buffers sized at
    // construction; anything wider, or missing channel arrays, renders nothing.
    if (numInputs > client_->maxInputs() || numOutputs > client_->maxOutputs()) return;
    if ((numInputs > 0 && !hostInputs) || (numOutputs > 0 && !hostOutputs)) return;

    // A plain load first: the request is rare, and the locked exchange would cost every block.
    const bool resetRequested =
        needsReset_.load(std::memory_order_acquire) && needsReset_.exchange(false, std::memory_order_acq_rel);
    const bool rateChanged = !(sampleRate == lastSampleRate_);  // a NaN last rate always differs
    if (resetRequested || numInputs != lastInputCount_ || numOutputs != lastOutputCount_ || rateChanged) {
        client_->resetFromHost(static_cast<double>(sampleRate), kMaxBlockFrames, numInputs, numOutputs);
        lastInputCount_ = numInputs;
        lastOutputCount_ = numOutputs;
        if (rateChanged)
            controller->SetSignalLatency(client_->latencySamples(static_cast<double>(sampleRate)));
        lastSampleRate_ = sampleRate;
    }
    if (client_->info().takesMidi) queueMidi(context);
    // Master Bypass drives the client's own bypass, which crossfades and keeps the plug-in running.
    client_->setBypass(isBypassed());
    renderSlices(hostInputs, hostOutputs, numInputs, numOutputs, frames, readTransport());
}

void AAXClient::queueMidi(sdk::ContextField const* context) noexcept {
    const auto* node = static_cast<const sdk::MidiNode*>(context[kFieldInputMIDI]);
    if (!node || !node->buffer) return;
    for (std::uint32_t i = 0; i < node->bufferSize; ++i) {
        const sdk::MidiPacket& packet = node->buffer[i];
        client::MidiMessage message;
        message.offset = static_cast<std::int32_t>(packet.timestamp);
        message.status = packet.data[0];
        message.data1 = packet.data[1];
        message.data2 = packet.data[2];
        client_->enqueueMIDIFromHost(message);
    }
}

client::TimeInfo AAXClient::readTransport() noexcept {
    client::TimeInfo timeInfo;
    if (!transport_) return timeInfo;
    double tempo = 0.0;
    sdk::Boolean playing = 0;
    std::int64_t position = 0;
    if (transport_->GetCurrentTempo(&tempo) == sdk::kSuccess) timeInfo.tempo = tempo;
    if (transport_->IsTransportPlaying(&playing) == sdk::kSuccess) timeInfo.isPlaying = playing != 0;
    if (transport_->GetCurrentNativeSampleLocation(&position) == sdk::kSuccess)
        timeInfo.samplePosition = position;
    return timeInfo;
}

void AAXClient::renderSlices(float* const* hostInputs, float* const* hostOutputs, int numInputs,
                             int numOutputs, int frames, client::TimeInfo timeInfo) noexcept {
    inputPointers_.resize(static_cast<std::size_t>(numInputs));
    outputPointers_.resize(static_cast<std::size_t>(numOutputs));
    // The client renders into scratch buffers, not into the host's: a host may hand the same buffer
    // as an input and an output, and a client may write an output channel before it has read every
    // input channel. Hosts deliver at most kMaxBlockFrames per call; a longer block is rendered in
    // slices so the scratch buffers are never overrun.
    for (int done = 0; done < frames; done += kMaxBlockFrames) {
        const int n = frames - done < kMaxBlockFrames ? frames - done : kMaxBlockFrames;
        const std::size_t bytes = static_cast<std::size_t>(n) * sizeof(float);
        float* scratch = outputScratch_.data();
        for (int c = 0; c < numInputs; ++c) inputPointers_[c] = hostInputs[c] + done;
        for (int c = 0; c < numOutputs; ++c)
            outputPointers_[c] = scratch + static_cast<std::size_t>(c) * kMaxBlockFrames;

        client::TimeInfo sliceInfo = timeInfo;
        sliceInfo.samplePosition += done;
        client_->processAudioFromHost(inputPointers_.data(), outputPointers_.data(), n, sliceInfo);

        for (int c = 0; c < numOutputs; ++c) std::memcpy(hostOutputs[c] + done, outputPointers_[c], bytes);
    }
}

}  // namespace plugkit::aax
