#pragma once

#include <cstdint>

#include "lv2/core/lv2.h"
#include "lv2/state/state.h"
#include "lv2/urid/urid.h"
#include "plugkit/core/Vec.h"
#include "plugkit/lv2/LV2Bundle.h"

namespace plugkit::client {
class Client;
}

namespace plugkit::lv2 {

// One LV2 instance around one plug-in client. Control ports are the host's word on the parameters:
// run() stores a port's value into its parameter whenever the port changed since the last run
// (NaN ignored, other values clamped to the parameter's range), so a state restored between runs
// is kept until the host moves a port. The enabled port drives the client's own bypass (see
// client::Client::setBypass): output c carries input c (an output without an input is silent, as when
// processing), crossfaded when the port switches; the first run after activation takes the port's
// value at once. The latency port reports the client's latency; the state is the client's state
// chunk under one key.
//
// Threads: the constructor, activate, deactivate and restore run in LV2's instantiation class
// (never concurrently with run); save may run concurrently with run; connectPort and run on the
// audio thread.
class LV2Plugin {
public:
    // Host blocks are processed in slices of at most this many frames through the input copy,
    // which makes in-place processing (an output buffer that is an input buffer) safe.
    static constexpr int kSliceFrames = 1024;

    // [host thread] Takes ownership of client and resets it for this layout and rate, so that no run
    // can reach a client that was never reset. stateKey is the URI of the state property (copied).
    // urid:map is looked up in features; without it, save and restore report a missing feature.
    LV2Plugin(client::Client* client, PortLayout ports, double sampleRate, const char* stateKey,
              const LV2_Feature* const* features);
    ~LV2Plugin();
    LV2Plugin(const LV2Plugin&) = delete;
    LV2Plugin& operator=(const LV2Plugin&) = delete;

    // [audio thread] Remembers the buffer of port; unknown ports are ignored.
    void connectPort(std::uint32_t port, void* data) noexcept;
    // [host thread] Resets the client: the next run starts from a cleared processing state.
    void activate() noexcept;
    // [audio thread] Processes frames frames with denormals flushed and FP exceptions masked,
    // whatever the calling thread's mode; no allocation, lock or system call.
    void run(std::uint32_t frames) noexcept;

    // [host thread] LV2 state: the client's state chunk as one atom:Chunk property. Save may run
    // while run() does: it first takes the port values that run() has not applied yet (a host may
    // save right after moving a port), so the chunk holds what the next block will use. Restore
    // changes nothing when the property is missing, of another type or not a valid chunk.
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    // [any thread]
    client::Client* pluginClient() const { return client_; }
    const PortLayout& ports() const { return ports_; }
    bool isBypassed() const { return bypassed_; }  // the enabled port's last valid value, inverted

private:
    void applyControlPorts() noexcept;
    void readEnabledPort() noexcept;
    void takePendingControlPorts() noexcept;
    void processSlice(std::uint32_t offset, int frames) noexcept;

    client::Client* client_;
    PortLayout ports_;
    double sampleRate_;
    float latency_;
    LV2_URID_Map* map_ = nullptr;
    LV2_URID stateKey_ = 0;
    LV2_URID chunkType_ = 0;
    bool bypassed_ = false;
    std::uint32_t lastEnabledBits_;
    core::Vec<const float*> controls_;  // parameter ports
    // Value of each port at the last run, as bits; written by run(), read by save() (atomic_ref).
    core::Vec<std::uint32_t> lastControlBits_;
    const float* enabledPort_ = nullptr;
    float* latencyPort_ = nullptr;
    core::Vec<const float*> audioIn_;
    core::Vec<float*> audioOut_;
    core::Vec<float> inputCopy_;  // inputs * kSliceFrames
    core::Vec<float*> inputPointers_;
    core::Vec<float*> outputPointers_;
};

}  // namespace plugkit::lv2
