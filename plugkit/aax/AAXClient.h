#pragma once

#include <atomic>
#include <cstdint>

#include "plugkit/aax/AAXHostCommand.h"
#include "plugkit/aax/HostRef.h"
#include "plugkit/aax/LiveObjects.h"
#include "plugkit/aax/sdk/AAXInterfaces.h"
#include "plugkit/client/Parameter.h"
#include "plugkit/core/Vec.h"

namespace plugkit::client {
class Client;
}

namespace plugkit::aax {

// Private interface of the effect-parameters object through which the instance's editor object
// reaches the plug-in client. Only the binding's own objects ask for it.
class IClientAccess : public sdk::IACFUnknown {
public:
    static constexpr sdk::UID kIID = {
        {0xd5, 0xc1, 0x9a, 0x47, 0x95, 0x6b, 0x65, 0x43, 0xb2, 0xad, 0x0f, 0xc8, 0x05, 0x9c, 0x17, 0x7e}};

    // [any thread] The plug-in client, owned by the effect-parameters object.
    virtual client::Client* pluginClient() = 0;

protected:
    ~IClientAccess() = default;
};

// Counts parameter changes for the host's change polling.
class AAXParameterListener final : public client::IParameterListener {
public:
    explicit AAXParameterListener(std::atomic<std::uint32_t>& changeCount) : changeCount_(changeCount) {}
    // [any thread] Adds 1 to the change count.
    void onParameterChanged(client::Parameter*) override;
    void onBeginParameterEdit(client::Parameter*) override {}
    void onEndParameterEdit(client::Parameter*) override {}

private:
    std::atomic<std::uint32_t>& changeCount_;
};

// The per-instance effect-parameters object: owns one plug-in client, shows its parameters to the
// host under the identifiers "0", "1", ... plus "MasterBypassID" (host index 0), keeps the Master
// Bypass state, saves and restores the state as the chunk "Pkit", and renders audio for the
// render callback. Reference counted; the creator holds the first reference.
class AAXClient final : public sdk::IEffectParameters, public IClientAccess, private LiveObject {
public:
    static constexpr const char* kMasterBypassID = "MasterBypassID";
    static constexpr const char* kMasterBypassName = "Master Bypass";
    static constexpr int kMaxBlockFrames = 1024;     // host block size the scratch buffers hold
    static constexpr int kContinuousSteps = 2048;    // steps announced for float parameters
    static constexpr int kValueStringCapacity = 32;  // text buffer of the value conversions

    // [host thread] Takes ownership of client (from Client::create). Adds the change listener to
    // every parameter and sizes the scratch buffers.
    explicit AAXClient(client::Client* client);
    ~AAXClient();

    // [host thread] The factory handed to the host (proc id 0): creates a plug-in client with
    // plugkitCreateClient and an AAXClient around it, inside the floating-point guard. Returns the
    // object's unknown with one reference for the caller, or null.
    static sdk::IACFUnknown* create();

    // IACFUnknown [any thread]
    sdk::Result QueryInterface(const sdk::UID& iid, void** outInterface) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;

    // IClientAccess [any thread]
    client::Client* pluginClient() override { return client_; }

    // Lifecycle [host thread]. Initialize takes the controller, transport and automation delegate
    // from host, then runs EffectInit: registers every client parameter with the automation
    // delegate and reports the latency at the current sample rate. Uninitialize (and Initialize,
    // before it replaces them) stops render passes from using the host references and waits for
    // the passes in flight, so a render callback on another thread never uses a released one.
    sdk::Result Initialize(sdk::IACFUnknown* host) override;
    sdk::Result Uninitialize() override;
    sdk::Result NotificationReceived(sdk::TypeID type, const void* data, std::uint32_t size) override;
    sdk::Result EffectInit();
    sdk::Result EffectUninit();

    // Parameters [host thread]. An unknown identifier gives kErrorInvalidParameterID and changes
    // nothing; a NaN value or delta changes nothing.
    sdk::Result GetNumberOfParameters(std::int32_t* outCount) override;
    sdk::Result GetMasterBypassParameter(sdk::IString* outID) override;
    sdk::Result GetParameterIsAutomatable(sdk::ParamID id, sdk::Boolean* outAutomatable) override;
    sdk::Result GetParameterNumberOfSteps(sdk::ParamID id, std::int32_t* outSteps) override;
    sdk::Result GetParameterName(sdk::ParamID id, sdk::IString* outName) override;
    sdk::Result GetParameterNameOfLength(sdk::ParamID id, sdk::IString* outName,
                                         std::int32_t length) override;
    sdk::Result GetParameterDefaultNormalizedValue(sdk::ParamID id, double* outValue) override;
    sdk::Result SetParameterDefaultNormalizedValue(sdk::ParamID id, double value) override;
    sdk::Result GetParameterType(sdk::ParamID id, std::int32_t* outType) override;
    sdk::Result GetParameterOrientation(sdk::ParamID id, std::int32_t* outOrientation) override;
    sdk::Result GetParameter(sdk::ParamID id, void** outParameter) override;
    sdk::Result GetParameterIndex(sdk::ParamID id, std::int32_t* outIndex) override;
    sdk::Result GetParameterIDFromIndex(std::int32_t index, sdk::IString* outID) override;
    sdk::Result GetParameterValueInfo(sdk::ParamID id, std::int32_t selector,
                                      std::int32_t* outValue) override;
    sdk::Result GetParameterValueFromString(sdk::ParamID id, double* outValue, const char* text) override;
    sdk::Result GetParameterStringFromValue(sdk::ParamID id, double value, sdk::IString* outText,
                                            std::int32_t maxLength) override;
    sdk::Result GetParameterValueString(sdk::ParamID id, sdk::IString* outText,
                                        std::int32_t maxLength) override;
    sdk::Result GetParameterNormalizedValue(sdk::ParamID id, double* outValue) override;
    sdk::Result SetParameterNormalizedValue(sdk::ParamID id, double value) override;
    sdk::Result SetParameterNormalizedRelative(sdk::ParamID id, double delta) override;
    sdk::Result TouchParameter(sdk::ParamID id) override;
    sdk::Result ReleaseParameter(sdk::ParamID id) override;
    sdk::Result UpdateParameterTouch(sdk::ParamID id, sdk::Boolean touched) override;
    sdk::Result UpdateParameterNormalizedValue(sdk::ParamID id, double value, std::int32_t source) override;
    sdk::Result UpdateParameterNormalizedRelative(sdk::ParamID id, double delta) override;
    sdk::Result GenerateCoefficients() override;

    // [host thread] Sets the reset request; for the private-data field writes this object's
    // address into data, which must hold a pointer (kErrorIncorrectSize otherwise, nothing written).
    sdk::Result ResetFieldData(sdk::FieldIndex field, void* data, std::uint32_t size) override;

    // Chunks [host thread]. GetChunk expects room for GetChunkSize bytes and sets the size; a record
    // whose size field announces less room (or a negative one) is refused with kErrorIncorrectSize,
    // a size field left at 0 announces nothing. SetChunk reads only the announced bytes and changes
    // nothing when the chunk cannot be loaded (kErrorInvalidChunkID).
    sdk::Result GetNumberOfChunks(std::int32_t* outCount) override;
    sdk::Result GetChunkIDFromIndex(std::int32_t index, sdk::TypeID* outID) override;
    sdk::Result GetChunkSize(sdk::TypeID id, std::uint32_t* outSize) override;
    sdk::Result GetChunk(sdk::TypeID id, sdk::PlugInChunk* chunk) override;
    sdk::Result SetChunk(sdk::TypeID id, const sdk::PlugInChunk* chunk) override;
    sdk::Result CompareActiveChunk(const sdk::PlugInChunk* chunk, sdk::Boolean* outEqual) override;
    sdk::Result GetNumberOfChanges(std::int32_t* outCount) override;

    // Other host operations [host thread]: no effect, or kErrorUnimplemented.
    sdk::Result TimerWakeup() override;
    sdk::Result GetCurveData(sdk::TypeID curveType, const float* values, std::uint32_t count,
                             float* outValues) override;
    sdk::Result GetCurveDataMeterIds(sdk::TypeID curveType, std::uint32_t* outXMeterID,
                                     std::uint32_t* outYMeterID) override;
    sdk::Result GetCurveDataDisplayRange(sdk::TypeID curveType, float* outXMin, float* outXMax,
                                         float* outYMin, float* outYMax) override;
    sdk::Result GetCustomData(sdk::TypeID type, std::uint32_t size, void* data,
                              std::uint32_t* outWritten) override;
    sdk::Result SetCustomData(sdk::TypeID type, std::uint32_t size, const void* data) override;
    sdk::Result DoMIDITransfers() override;
    sdk::Result UpdateMIDINodes(sdk::FieldIndex field, const sdk::MidiPacket* packet) override;
    sdk::Result UpdateControlMIDINodes(sdk::TypeID nodeID, const sdk::MidiPacket* packet) override;
    sdk::Result RenderAudio_Hybrid(void* renderInfo) override;

    // [audio thread] Renders one instance from its algorithm context (see AAXRender.cpp). Resets
    // the client on the first call and on every change of channel counts or sample rate; reports
    // the latency only when the sample rate changed. Never blocks or allocates.
    void renderAudio(sdk::ContextField const* context) noexcept;

    // [any thread] State shared with the audio thread, for the host's queries and for tests.
    bool isBypassed() const { return bypassed_.load(std::memory_order_acquire); }
    AAXHostCommand& hostCommand() { return *hostCommand_; }

private:
    // [audio thread] Parts of renderAudio: the host's MIDI packets into the client's queue, the
    // transport's tempo, play state and position, and the block rendered through the scratch buffers
    // in slices of at most kMaxBlockFrames (the client itself crossfades to the input when bypassed).
    void queueMidi(sdk::ContextField const* context) noexcept;
    client::TimeInfo readTransport() noexcept;
    void renderSlices(float* const* hostInputs, float* const* hostOutputs, int numInputs, int numOutputs,
                      int frames, client::TimeInfo timeInfo) noexcept;

    static constexpr int kMasterBypass = -1;  // resolveID result for "MasterBypassID"
    static constexpr int kInvalidID = -2;     // resolveID result for an unknown identifier

    // [audio thread] renderAudio's work, run only while the host references are held.
    void renderWithHost(sdk::ContextField const* context) noexcept;
    // [host thread] Makes new render passes skip the instance and waits for those in flight.
    void stopRenderingWithHost();
    // [any thread] kMasterBypass, a client parameter index, or kInvalidID.
    int resolveID(sdk::ParamID id) const;
    void setBypassFromNormalized(double value);
    sdk::Result setNormalized(sdk::ParamID id, double value);
    sdk::Result setNormalizedRelative(sdk::ParamID id, double delta);

    client::Client* client_;
    AAXHostCommand* hostCommand_;
    AAXParameterListener* parameterListener_;
    HostRef<sdk::IController> controller_;
    HostRef<sdk::IAutomationDelegate> automationDelegate_;
    HostRef<sdk::ITransport> transport_;
    std::atomic<bool> bypassed_{false};
    std::atomic<bool> needsReset_{true};
    std::atomic<bool> hostReady_{false};  // render passes may use the host references
    std::atomic<std::int32_t> rendersInFlight_{0};
    std::atomic<std::uint32_t> changeCount_{0};
    std::int32_t lastInputCount_ = 0;
    std::int32_t lastOutputCount_ = 0;
    float lastSampleRate_;
    core::Vec<float*> inputPointers_;
    core::Vec<float*> outputPointers_;
    core::Vec<float> outputScratch_;  // maxOutputs channels of kMaxBlockFrames samples, back to back
};

}  // namespace plugkit::aax
