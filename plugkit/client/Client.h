#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

#include "plugkit/client/ClientTypes.h"
#include "plugkit/client/Parameter.h"
#include "plugkit/client/Preset.h"
#include "plugkit/client/PresetBank.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/Vec.h"

namespace plugkit::client {

// The format-neutral plug-in. A concrete plug-in derives from it and supplies its description,
// parameters, presets, legal layouts, editor and audio processing; a host binding owns it and
// drives it through the *FromHost operations.
//
// Two-phase construction: the build hooks are virtual, and C++ does not dispatch to the derived
// class inside the base constructor, so they run in initialize(). Create a plug-in with
// Client::create<T>(...), or call initialize() at the end of the derived constructor (it runs once).
class Client {
public:
    static constexpr int kMidiQueueCapacity = 511;
    // Most channels on each side that processAudioFromHost passes on (a 9.1.6 stem has 16).
    static constexpr int kMaxChannels = 32;

    Client();
    virtual ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // [host thread] Creates a T with core::mallocNew and initializes it. Destroy with core::destroyFree.
    template <class T, class... Args>
    static T* create(Args&&... args) {
        T* client = core::mallocNew<T>(std::forward<Args>(args)...);
        client->initialize();
        return client;
    }

    // [host thread] Runs the build hooks once: info, legal layouts, parameters, presets, frame limit,
    // channel maxima, empty MIDI queue. Later calls do nothing.
    void initialize();
    bool isInitialized() const { return initialized_; }

    // --- Overridable operations, in slot order ---------------------------------------------------

    // [host thread] Sets parameter index from a normalized value (index not checked).
    virtual void setParameterFromHost(int index, float value);
    // [editor thread] Builds the editor (with core::mallocNew); null when the plug-in has none.
    virtual IGraphics* createGraphics();
    // [audio thread] Prepares for processing; maxFrames is the most frames one processAudio sees.
    virtual void reset(double sampleRate, int maxFrames, int numInputs, int numOutputs);
    // [host thread] Latency in samples; 0 by default.
    virtual int latencySamples(double sampleRate);
    // [host thread] Tail in seconds; 0.8 by default.
    virtual float tailSizeInSeconds();
    // [any thread] Most frames per processAudio call; 0 means no limit.
    virtual int maxFramesInProcess() const;
    // [audio thread] Processes frames (<= the frame limit) of audio; never blocks or allocates.
    virtual void processAudio(const float* const* inputs, float** outputs, int frames, TimeInfo info);
    // [audio thread] Value of the integer or enum parameter at index, one atomic load.
    virtual int readEnumParamValue(int index) const;
    // [audio thread] Queues a message at frameCounter + offset; dropped when 511 are queued.
    virtual void enqueueMIDIFromHost(MidiMessage message);
    // [audio thread] Cuts the block into sub-blocks of at most the frame limit and calls
    // processAudio for each. The arrays hold at least the channel counts of the last resetFromHost;
    // the sub-blocks get pointer arrays of their own, the caller's are never changed. Processing
    // before the first resetFromHost is a caller error and stops the process with a message.
    // Runs with flush-to-zero and denormals-are-zero whatever the caller's floating-point mode (the
    // caller's mode is restored on return), and applies the bypass (see setBypass).
    virtual void processAudioFromHost(const float* const* inputs, float* const* outputs, int frames,
                                      TimeInfo info);
    // [audio thread] Clears the MIDI queue, sets the channel counts processAudioFromHost relies on
    // (at most kMaxChannels each) and calls reset with min(maxFrames, frame limit). The bypass
    // state in force is taken as it is, without a crossfade, by the next block.
    virtual void resetFromHost(double sampleRate, int maxFrames, int numInputs, int numOutputs);
    // [host thread, from initialize] The parameters (each from core::mallocNew), index = position.
    virtual core::Vec<Parameter*> buildParameters();
    // [host thread, from initialize] The presets (each from core::mallocNew).
    virtual core::Vec<Preset*> buildPresets();
    // [host thread, from initialize]
    virtual PluginInfo buildPluginInfo();
    // [host thread, from initialize]
    virtual core::Vec<LegalIO> buildLegalIO();

    // --- Accessors -------------------------------------------------------------------------------

    // [any thread] index not checked.
    Parameter* param(int index) const { return params_[static_cast<std::size_t>(index)]; }
    Parameter* const* params() const { return params_.data(); }
    int paramCount() const { return static_cast<int>(params_.size()); }
    const PluginInfo& info() const { return info_; }
    PresetBank* presetBank() const { return presetBank_; }
    const LegalIO* legalIOs() const { return legalIOs_.data(); }
    int legalIOCount() const { return static_cast<int>(legalIOs_.size()); }
    int maxInputs() const { return maxInputs_; }
    int maxOutputs() const { return maxOutputs_; }
    int frameLimit() const { return frameLimit_; }
    bool hasGUI() const { return info_.hasEditor; }

    // [host thread] The binding's command interface (not owned); null until set.
    void setHostCommand(IHostCommand* command) { hostCommand_ = command; }
    IHostCommand* hostCommand() const { return hostCommand_; }

    // [audio thread] Current values, one atomic load each, no lock. The parameter at index must
    // be a FloatParameter / BoolParameter respectively.
    // Inline: a plug-in reads every parameter once per sub-block.
    float readFloatParamValue(int index) const {
        return static_cast<float>(static_cast<const FloatParameter*>(param(index))->valueAtomic());
    }
    bool readBoolParamValue(int index) const {
        return static_cast<const BoolParameter*>(param(index))->valueAtomic();
    }

    // [audio thread] How many times a parameter value has been stored (wrapping). A plug-in that
    // finds it unchanged since its last block can skip reading its parameters: every store counts
    // after the value is in place, so a changed count makes the new values visible.
    std::uint32_t parameterStores() const noexcept {
        return parameterStores_.load(std::memory_order_acquire);
    }
    // [any thread] Counts one store; parameters call it after each.
    void noteParameterStored() noexcept { parameterStores_.fetch_add(1, std::memory_order_release); }

    // --- Bypass ----------------------------------------------------------------------------------

    // Length of the crossfade between the processed signal and the input when the bypass changes.
    static constexpr double kBypassFadeSeconds = 0.02;
    // [audio thread] Engages or releases the bypass; may also be called from any other thread (one
    // atomic store). processAudio keeps running while bypassed, so that the states follow the signal
    // and the return is seamless; the output crossfades to the input (input channel c to output c,
    // outputs without an input silent) over kBypassFadeSeconds. The first block after a reset takes
    // the requested state at once, so a file processed bypassed from the start is its input exactly.
    void setBypass(bool bypassed) noexcept { bypassRequested_.store(bypassed, std::memory_order_relaxed); }
    // [any thread] The requested state (the output may still be fading towards it).
    bool isBypassRequested() const noexcept { return bypassRequested_.load(std::memory_order_relaxed); }

    // [host thread] A preset named "Default" with every parameter's default normalized value.
    Preset* makeDefaultPreset() const;

    // --- Editor ----------------------------------------------------------------------------------

    // [editor thread] The editor, created with createGraphics on first call and then kept.
    IGraphics* getOrCreateEditor();
    // [editor thread] The editor or null, without creating it.
    IGraphics* editor() const { return editor_; }
    // [audio thread] Takes the editor without waiting; null when it is absent or busy. A non-null
    // result must be followed by exactly one editorRelease.
    IGraphics* editorTryAcquire() noexcept;
    // [audio thread] Gives back the editor taken by editorTryAcquire.
    void editorRelease() noexcept;

    // --- MIDI queue (inspection) -----------------------------------------------------------------

    // [audio thread] Number of queued messages.
    int midiQueueLength() const { return heapCount_; }
    // [audio thread] The earliest queued message (smallest absolute offset); queue must not be empty.
    const MidiMessage& midiQueueTop() const { return heap_[1]; }
    // [audio thread] Removes and returns the earliest message; false when empty.
    bool popMIDI(MidiMessage& out) noexcept;

private:
    // Frames of the dry copy kept per channel while the bypass is engaged or fading.
    static constexpr int kDryFrames = 256;
    // The sub-blocks of processAudioFromHost while the bypass is engaged or fading: the input is
    // copied first (outputs may alias inputs), then mixed with the processed output.
    void processWithBypass(const float** ins, float** outs, int frames, int limit, TimeInfo info);
    // Output channel c from the dry copy (silence when the input channel does not exist) mixed with
    // the processed output, the mix moving one step per frame towards the requested state.
    void mixBypass(float** outs, int frames);

    IGraphics* editor_ = nullptr;
    std::atomic<uint8_t> editorFree_{0};
    IHostCommand* hostCommand_ = nullptr;
    PluginInfo info_;
    core::Vec<Parameter*> params_;
    PresetBank* presetBank_ = nullptr;
    core::Vec<LegalIO> legalIOs_;
    int maxInputs_ = 0;
    int maxOutputs_ = 0;
    int frameLimit_ = 0;
    int numInputs_ = -1;  // channel counts of the last resetFromHost (-1 before the first)
    int numOutputs_ = -1;
    bool initialized_ = false;
    int32_t frameCounter_ = 0;
    int heapCount_ = 0;
    MidiMessage heap_[kMidiQueueCapacity + 1];  // 1-based binary min-heap on offset
    std::atomic<bool> bypassRequested_{false};
    std::atomic<std::uint32_t> parameterStores_{0};
    bool audioSinceReset_ = false;
    float bypassMix_ = 0;   // 0: processed output, 1: input
    float bypassStep_ = 1;  // change of bypassMix_ per frame while fading
    core::Vec<float> dry_;  // kMaxChannels channels of kDryFrames, allocated in initialize
};

}  // namespace plugkit::client
