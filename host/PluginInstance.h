#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/InstanceHost.h"
#include "host/PluginDescription.h"
#include "plugkit/aax/sdk/AAXInterfaces.h"

namespace host {

class PluginLibrary;

// What the host knows of one parameter.
struct ParameterInfo {
    std::string id;  // "MasterBypassID", "0", "1", ...
    std::string name;
    double defaultNormalized = 0.0;
    std::string defaultText;  // the default as the plug-in displays it
    int32_t steps = 0;
    int32_t type = 0;  // 0 discrete, 1 continuous
};

// One plug-in instance created through the plug-in's effect-parameters factory and driven only
// through its effect-parameters interface and the render callback of the component that matches
// the current channel layout. Result-returning operations pass the plug-in's codes on.
// Created by PluginLibrary::createInstance; must be destroyed before its library.
class PluginInstance {
public:
    ~PluginInstance();  // Uninitialize, then the final Release
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    // ---- configuration [host thread, not while rendering]

    // Switches to the component of (inputs, outputs) and the sample rate. Fails (false, error set)
    // for a layout the plug-in did not describe or a rate outside 1 Hz .. 1 MHz. A new layout
    // rebuilds the algorithm context and refills its private-data fields through ResetFieldData.
    bool configure(int inputs, int outputs, double sampleRate, std::string& error);
    int inputs() const { return inputs_; }
    int outputs() const { return outputs_; }
    double sampleRate() const { return sampleRate_; }
    const ComponentDescription& component() const { return *component_; }

    // ---- parameters [host thread]

    const std::vector<ParameterInfo>& parameters() const { return parameters_; }
    const std::string& masterBypassId() const { return masterBypassId_; }
    // Finds a parameter by identifier or exact name; null when there is none.
    const ParameterInfo* findParameter(const std::string& nameOrId) const;
    sdk::Result getNormalized(const std::string& id, double& value) const;
    sdk::Result setNormalized(const std::string& id, double value);
    sdk::Result valueString(const std::string& id, std::string& text) const;
    sdk::Result stringFromValue(const std::string& id, double normalized, std::string& text) const;
    // Converts a plain value text to a normalized value without applying it. Besides the plug-in's
    // own checks, a text reading as a non-finite number, a normalized result that is not a finite
    // value in 0..1, and any text but "on" and "off" for Master Bypass are refused with
    // kErrorInvalidStringConversion.
    sdk::Result valueFromString(const std::string& id, const std::string& text, double& normalized) const;
    // valueFromString, then setNormalized.
    sdk::Result setFromString(const std::string& id, const std::string& text);
    void setBypass(bool bypassed);

    // ---- state [host thread]

    sdk::Result getChunk(std::vector<uint8_t>& bytes) const;
    // Loads a state chunk. A chunk the plug-in refuses changes nothing: the state from before the
    // call is put back (the plug-in may have applied part of it before finding the fault).
    sdk::Result setChunk(const std::vector<uint8_t>& bytes);
    sdk::Result compareChunk(const std::vector<uint8_t>& bytes, bool& equal) const;
    int32_t numberOfChanges() const;

    // ---- rendering [audio thread: one thread at a time; no allocation, no lock]

    // Renders frames frames (any count; split into host blocks of at most 1024) from inputs()
    // channel buffers into outputs() channel buffers. Output buffers the plug-in does not write
    // (for example when it skips the call) keep their contents.
    void render(const float* const* in, float* const* out, int64_t frames);
    // Calls the render callback once with this instance's context but a null private-data field,
    // as a host does for an instance whose data is not ready: the plug-in must skip it.
    void renderWithoutPrivateData(const float* const* in, float* const* out, int frames);

    // ---- host side and raw access

    InstanceHost& host() { return *host_; }
    const InstanceHost& host() const { return *host_; }
    sdk::IEffectParameters* effectParameters() const { return effect_; }

private:
    friend class PluginLibrary;
    PluginInstance(const PluginDescription& description, sdk::IEffectParameters* effect);
    bool start(int inputs, int outputs, double sampleRate, std::string& error);
    void buildContext();
    void renderBlock(int frames, bool nullPrivateData);

    static constexpr int kMaxHostBlock = 1024;

    const PluginDescription& description_;
    std::unique_ptr<InstanceHost> host_;
    sdk::IEffectParameters* effect_ = nullptr;
    bool initialized_ = false;

    std::vector<ParameterInfo> parameters_;
    std::string masterBypassId_;

    const ComponentDescription* component_ = nullptr;
    int inputs_ = 0, outputs_ = 0;
    double sampleRate_ = 0.0;

    // The algorithm context, laid out as the component registered it.
    std::vector<void*> context_;
    std::vector<std::vector<uint64_t>> privateBlocks_;  // one zero-filled block per private field
    std::vector<const float*> inPtrs_;
    std::vector<float*> outPtrs_;
    std::vector<float> meters_;
    std::vector<sdk::MidiNode> midiNodes_;
    int32_t bufferLength_ = 0;
};

}  // namespace host
