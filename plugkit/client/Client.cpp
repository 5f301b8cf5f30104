#include "plugkit/client/Client.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

#include "plugkit/core/FPModeScope.h"
#include "plugkit/core/Fatal.h"

namespace plugkit::client {

namespace {

// Destroys a polymorphic object from core::mallocNew and frees the block it was allocated in,
// which need not start at the interface's sub-object.
template <class T>
void destroyFreePolymorphic(T* object) noexcept {
    if (!object) return;
    void* block = dynamic_cast<void*>(object);
    object->~T();
    std::free(block);
}

// mix moved by step towards target (0 or 1), landing on it exactly.
float moveTowards(float mix, float target, float step) {
    if (target > mix) return mix + step < target ? mix + step : target;
    if (target < mix) return mix - step > target ? mix - step : target;
    return target;
}

}  // namespace

Client::Client() = default;

void Client::initialize() {
    if (initialized_) return;
    initialized_ = true;
    info_ = buildPluginInfo();
    legalIOs_ = buildLegalIO();
    params_ = buildParameters();
    for (std::size_t i = 0; i < params_.size(); ++i) {
        if (!params_[i]) core::fatalError("buildParameters returned a null parameter");
        params_[i]->setClient(this, static_cast<int>(i));
    }
    presetBank_ = core::mallocNew<PresetBank>(buildPresets(), this);
    frameLimit_ = maxFramesInProcess();
    if (frameLimit_ < 0) frameLimit_ = 0;
    maxInputs_ = 0;
    maxOutputs_ = 0;
    for (const LegalIO& io : legalIOs_) {
        if (io.inputs > maxInputs_) maxInputs_ = io.inputs;
        if (io.outputs > maxOutputs_) maxOutputs_ = io.outputs;
    }
    frameCounter_ = 0;
    heapCount_ = 0;
    dry_.resize(static_cast<std::size_t>(kMaxChannels) * kDryFrames);
}

Client::~Client() {
    if (editor_) {
        // The audio thread may hold the editor for the length of one sub-block.
        uint8_t expected = 1;
        while (!editorFree_.compare_exchange_weak(expected, 0, std::memory_order_acquire)) expected = 1;
        destroyFreePolymorphic(editor_);
        editor_ = nullptr;
    }
    core::destroyFree(presetBank_);
    presetBank_ = nullptr;
    for (Parameter* p : params_) destroyFreePolymorphic(p);
    params_.clear();
}

void Client::setParameterFromHost(int index, float value) {
    param(index)->setFromHost(static_cast<double>(value));
}

IGraphics* Client::createGraphics() { return nullptr; }

void Client::reset(double, int, int, int) {}

int Client::latencySamples(double) { return 0; }

float Client::tailSizeInSeconds() { return 0.8f; }

int Client::maxFramesInProcess() const { return 0; }

void Client::processAudio(const float* const*, float**, int, TimeInfo) {}

int Client::readEnumParamValue(int index) const {
    return static_cast<const IntegerParameter*>(param(index))->valueAtomic();
}

void Client::enqueueMIDIFromHost(MidiMessage message) {
    if (heapCount_ >= kMidiQueueCapacity) return;
    message.offset += frameCounter_;
    int pos = ++heapCount_;
    // Sift up; equal offsets stay below their parent, so arrival order is kept against it.
    while (pos > 1 && message.offset < heap_[pos / 2].offset) {
        heap_[pos] = heap_[pos / 2];
        pos /= 2;
    }
    heap_[pos] = message;
}

bool Client::popMIDI(MidiMessage& out) noexcept {
    if (heapCount_ == 0) return false;
    out = heap_[1];
    const MidiMessage last = heap_[heapCount_--];
    int pos = 1;
    for (;;) {
        int child = pos * 2;
        if (child > heapCount_) break;
        if (child + 1 <= heapCount_ && heap_[child + 1].offset < heap_[child].offset) ++child;
        if (!(heap_[child].offset < last.offset)) break;
        heap_[pos] = heap_[child];
        pos = child;
    }
    if (heapCount_ > 0) heap_[pos] = last;
    return true;
}

void Client::processAudioFromHost(const float* const* inputs, float* const* outputs, int frames,
                                  TimeInfo info) {
    // Without a reset the frame does not know how many channels the arrays hold, and neither does
    // the plug-in: fail loudly on the first block instead of processing the wrong samples.
    if (numInputs_ < 0) core::fatalError("processAudioFromHost called before resetFromHost");
    if (frames <= 0) return;
    // Flush-to-zero and denormals-are-zero whatever mode the caller runs in: decaying filter and
    // envelope states would otherwise sink into subnormals after silence and slow everything down.
    core::FPModeScope fpMode;
    assert((inputs || numInputs_ == 0) && (outputs || numOutputs_ == 0));
    // processAudio takes writable output pointer arrays; the frame's own copies are the ones it gets.
    const float* ins[kMaxChannels];
    float* outs[kMaxChannels];
    for (int c = 0; c < numInputs_; ++c) ins[c] = inputs[c];
    for (int c = 0; c < numOutputs_; ++c) outs[c] = outputs[c];
    const int limit = frameLimit_ > 0 ? frameLimit_ : frames;
    const float target = bypassRequested_.load(std::memory_order_relaxed) ? 1.0f : 0.0f;
    if (!audioSinceReset_) bypassMix_ = target;
    audioSinceReset_ = true;
    if (bypassMix_ != 0.0f || target != 0.0f) {
        processWithBypass(ins, outs, frames, limit, info);
        return;
    }
    for (int done = 0; done < frames; done += limit) {
        const int n = frames - done < limit ? frames - done : limit;
        processAudio(ins, outs, n, info);
        for (int c = 0; c < numInputs_; ++c)
            if (ins[c]) ins[c] += n;
        for (int c = 0; c < numOutputs_; ++c)
            if (outs[c]) outs[c] += n;
        info.samplePosition += n;
    }
}

void Client::processWithBypass(const float** ins, float** outs, int frames, int limit, TimeInfo info) {
    const int copied = numInputs_ < numOutputs_ ? numInputs_ : numOutputs_;
    const int chunk = limit < kDryFrames ? limit : kDryFrames;
    for (int done = 0; done < frames; done += chunk) {
        const int n = frames - done < chunk ? frames - done : chunk;
        for (int c = 0; c < copied; ++c) {
            float* dry = dry_.data() + static_cast<std::size_t>(c) * kDryFrames;
            if (ins[c])
                std::memcpy(dry, ins[c], sizeof(float) * static_cast<std::size_t>(n));
            else
                std::memset(dry, 0, sizeof(float) * static_cast<std::size_t>(n));
        }
        processAudio(ins, outs, n, info);
        mixBypass(outs, n);
        for (int c = 0; c < numInputs_; ++c)
            if (ins[c]) ins[c] += n;
        for (int c = 0; c < numOutputs_; ++c)
            if (outs[c]) outs[c] += n;
        info.samplePosition += n;
    }
}

void Client::mixBypass(float** outs, int frames) {
    const int copied = numInputs_ < numOutputs_ ? numInputs_ : numOutputs_;
    const float target = bypassRequested_.load(std::memory_order_relaxed) ? 1.0f : 0.0f;
    if (bypassMix_ == 1.0f && target == 1.0f) {
        // Fully bypassed: the input exactly, whatever the processed output holds.
        for (int c = 0; c < numOutputs_; ++c) {
            if (!outs[c]) continue;
            if (c < copied)
                std::memcpy(outs[c], dry_.data() + static_cast<std::size_t>(c) * kDryFrames,
                            sizeof(float) * static_cast<std::size_t>(frames));
            else
                std::memset(outs[c], 0, sizeof(float) * static_cast<std::size_t>(frames));
        }
        return;
    }
    const float start = bypassMix_;
    for (int c = 0; c < numOutputs_; ++c) {
        if (!outs[c]) continue;
        const float* dry = c < copied ? dry_.data() + static_cast<std::size_t>(c) * kDryFrames : nullptr;
        float mix = start;
        for (int i = 0; i < frames; ++i) {
            mix = moveTowards(mix, target, bypassStep_);
            if (mix == 1.0f) {  // landed: the input exactly, as when fully bypassed
                outs[c][i] = dry ? dry[i] : 0.0f;
                continue;
            }
            const float wet = outs[c][i] * (1.0f - mix);
            outs[c][i] = dry && mix != 0.0f ? wet + dry[i] * mix : wet;
        }
        bypassMix_ = mix;
    }
    if (numOutputs_ == 0) bypassMix_ = moveTowards(start, target, bypassStep_ * static_cast<float>(frames));
}

void Client::resetFromHost(double sampleRate, int maxFrames, int numInputs, int numOutputs) {
    frameCounter_ = 0;
    heapCount_ = 0;
    assert(numInputs <= kMaxChannels && numOutputs <= kMaxChannels);
    numInputs_ = numInputs < 0 ? 0 : numInputs > kMaxChannels ? kMaxChannels : numInputs;
    numOutputs_ = numOutputs < 0 ? 0 : numOutputs > kMaxChannels ? kMaxChannels : numOutputs;
    audioSinceReset_ = false;
    const double fadeFrames = kBypassFadeSeconds * sampleRate;
    bypassStep_ = fadeFrames > 1.0 ? static_cast<float>(1.0 / fadeFrames) : 1.0f;
    const int m = (frameLimit_ != 0 && maxFrames >= frameLimit_) ? frameLimit_ : maxFrames;
    reset(sampleRate, m, numInputs, numOutputs);
}

core::Vec<Parameter*> Client::buildParameters() { return core::Vec<Parameter*>(); }

core::Vec<Preset*> Client::buildPresets() { return core::Vec<Preset*>(); }

PluginInfo Client::buildPluginInfo() { return {}; }

core::Vec<LegalIO> Client::buildLegalIO() { return core::Vec<LegalIO>(); }

Preset* Client::makeDefaultPreset() const {
    core::Vec<float> values;
    values.resize(params_.size());
    for (std::size_t i = 0; i < params_.size(); ++i)
        values[i] = static_cast<float>(params_[i]->getNormalizedDefault());
    return core::mallocNew<Preset>("Default", values.data(), static_cast<int>(values.size()));
}

IGraphics* Client::getOrCreateEditor() {
    if (!editor_) {
        editor_ = createGraphics();
        if (editor_) editorFree_.store(1, std::memory_order_release);
    }
    return editor_;
}

IGraphics* Client::editorTryAcquire() noexcept {
    // A plain load first: without an editor, or with the editor busy, the locked exchange of every
    // sub-block is saved.
    if (editorFree_.load(std::memory_order_relaxed) != 1) return nullptr;
    uint8_t expected = 1;
    if (editorFree_.compare_exchange_strong(expected, 0, std::memory_order_acquire)) return editor_;
    return nullptr;
}

void Client::editorRelease() noexcept { editorFree_.store(1, std::memory_order_release); }

}  // namespace plugkit::client
