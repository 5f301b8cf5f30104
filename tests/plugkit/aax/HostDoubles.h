#pragma once

// Small stand-ins for the host side of the AAX interfaces, recording what the binding calls.

#include <cstring>
#include <string>
#include <vector>

#include "plugkit/aax/sdk/AAXInterfaces.h"

namespace aaxtest {

namespace sdk = plugkit::aax::sdk;

struct TextOut final : sdk::IString {
    std::string text = "<unset>";
    void Set(const char* t) override { text = t; }
    const char* Get() override { return text.c_str(); }
};

// One object answering controller, transport and automation delegate, as a host's per-instance
// unknown does.
class HostInstance final : public sdk::IController, public sdk::ITransport, public sdk::IAutomationDelegate {
public:
    bool offerDelegate = true;
    int refs = 1;
    float sampleRate = 48000.0f;
    sdk::StemFormat inputFormat = sdk::kStemFormatStereo;
    sdk::StemFormat outputFormat = sdk::kStemFormatStereo;
    sdk::Result controllerResult = 0;
    std::vector<std::int32_t> latencies;
    std::vector<std::string> registered, unregistered, requests;
    double tempo = 96.0;
    sdk::Result transportResult = 0;

    sdk::Result QueryInterface(const sdk::UID& iid, void** out) override {
        *out = nullptr;
        if (iid == sdk::IController::kIID)
            *out = static_cast<sdk::IController*>(this);
        else if (iid == sdk::ITransport::kIID)
            *out = static_cast<sdk::ITransport*>(this);
        else if (iid == sdk::IAutomationDelegate::kIID && offerDelegate)
            *out = static_cast<sdk::IAutomationDelegate*>(this);
        else
            return sdk::kErrorNoInterface;
        ++refs;
        return 0;
    }
    std::uint32_t AddRef() override { return static_cast<std::uint32_t>(++refs); }
    std::uint32_t Release() override { return static_cast<std::uint32_t>(--refs); }
    sdk::IACFUnknown* unknown() { return static_cast<sdk::IController*>(this); }

    sdk::Result GetSampleRate(float* out) override {
        *out = sampleRate;
        return controllerResult;
    }
    sdk::Result GetInputStemFormat(sdk::StemFormat* out) override {
        *out = inputFormat;
        return controllerResult;
    }
    sdk::Result GetOutputStemFormat(sdk::StemFormat* out) override {
        *out = outputFormat;
        return controllerResult;
    }
    sdk::Result SetSignalLatency(std::int32_t samples) override {
        latencies.push_back(samples);
        return 0;
    }

    sdk::Result GetCurrentTempo(double* out) override {
        *out = tempo;
        return transportResult;
    }
    sdk::Result IsTransportPlaying(sdk::Boolean* out) override {
        *out = 1;
        return transportResult;
    }
    sdk::Result GetCurrentNativeSampleLocation(std::int64_t* out) override {
        *out = 4800;
        return transportResult;
    }

    sdk::Result RegisterParameter(sdk::ParamID id) override {
        registered.push_back(id);
        return 0;
    }
    sdk::Result UnregisterParameter(sdk::ParamID id) override {
        unregistered.push_back(id);
        return 0;
    }
    sdk::Result PostTouchRequest(sdk::ParamID id) override {
        requests.push_back(std::string("touch ") + id);
        return 0;
    }
    sdk::Result PostSetValueRequest(sdk::ParamID id, double v) override {
        requests.push_back(std::string("set ") + id + " " + std::to_string(v));
        return 0;
    }
    sdk::Result PostReleaseRequest(sdk::ParamID id) override {
        requests.push_back(std::string("release ") + id);
        return 0;
    }
};

// Description recorder: a collection that is also its own plug-in definition, with descriptors.
struct PropertyMapDouble final : sdk::IPropertyMap {
    std::vector<std::pair<sdk::PropertyID, sdk::PropertyValue>> props;
    sdk::Result AddProperty(sdk::PropertyID p, sdk::PropertyValue v) override {
        props.emplace_back(p, v);
        return 0;
    }
};

struct ComponentDouble final : sdk::IComponentDescriptor {
    std::vector<std::string> fields;  // "<index>:<kind>[:<detail>]" in call order
    PropertyMapDouble properties;
    sdk::RenderProc render = nullptr;
    bool added = false;
    sdk::Result AddAudioIn(sdk::FieldIndex f) override {
        fields.push_back(std::to_string(f) + ":in");
        return 0;
    }
    sdk::Result AddAudioOut(sdk::FieldIndex f) override {
        fields.push_back(std::to_string(f) + ":out");
        return 0;
    }
    sdk::Result AddAudioBufferLength(sdk::FieldIndex f) override {
        fields.push_back(std::to_string(f) + ":len");
        return 0;
    }
    sdk::Result AddMIDINode(sdk::FieldIndex f, std::int32_t type, const char* name,
                            std::uint32_t mask) override {
        fields.push_back(std::to_string(f) + ":midi:" + std::to_string(type) + ":" + name + ":" +
                         std::to_string(mask));
        return 0;
    }
    sdk::Result AddPrivateData(sdk::FieldIndex f, std::int32_t size) override {
        fields.push_back(std::to_string(f) + ":private:" + std::to_string(size));
        return 0;
    }
    sdk::Result AddMeters(sdk::FieldIndex f, const std::uint32_t*, std::uint32_t n) override {
        fields.push_back(std::to_string(f) + ":meters:" + std::to_string(n));
        return 0;
    }
    sdk::IPropertyMap* NewPropertyMap() override { return &properties; }
    sdk::Result AddProcessProc_Native(sdk::RenderProc r, sdk::IPropertyMap* p, sdk::InstanceInitProc i,
                                      sdk::BackgroundProc b, std::uint32_t* id) override {
        render = r;
        return p == &properties && !i && !b && !id ? 0 : -1;
    }
};

struct EffectDouble final : sdk::IEffectDescriptor {
    std::vector<std::string> names;
    std::uint32_t category = 0;
    std::vector<std::pair<sdk::CreateObjectProc, sdk::ProcPtrID>> procs;
    std::vector<ComponentDouble*> components;
    sdk::Result categoryResult = 0;
    ~EffectDouble() {
        for (auto* c : components) delete c;
    }
    sdk::IComponentDescriptor* NewComponentDescriptor() override {
        components.push_back(new ComponentDouble);
        return components.back();
    }
    sdk::Result AddName(const char* n) override {
        names.push_back(n);
        return 0;
    }
    sdk::Result AddCategory(std::uint32_t bits) override {
        category = bits;
        return categoryResult;
    }
    sdk::Result AddProcPtr(sdk::CreateObjectProc f, sdk::ProcPtrID id) override {
        procs.emplace_back(f, id);
        return 0;
    }
    sdk::Result AddComponent(sdk::IComponentDescriptor* c) override {
        static_cast<ComponentDouble*>(c)->added = true;
        return 0;
    }
};

class CollectionDouble final : public sdk::ICollection, public sdk::IACFPluginDefinition {
public:
    bool giveDescriptor = true;
    bool offerDefinition = true;
    int refs = 1;
    EffectDouble effect;
    std::vector<std::string> packageNames;
    std::string bundle = "<none>", manufacturer;
    std::uint32_t version = 0;
    int effectsAdded = 0;

    sdk::Result QueryInterface(const sdk::UID& iid, void** out) override {
        *out = nullptr;
        if (iid == sdk::ICollection::kIID)
            *out = static_cast<sdk::ICollection*>(this);
        else if (iid == sdk::IACFPluginDefinition::kIID && offerDefinition)
            *out = static_cast<sdk::IACFPluginDefinition*>(this);
        else
            return sdk::kErrorNoInterface;
        ++refs;
        return 0;
    }
    std::uint32_t AddRef() override { return static_cast<std::uint32_t>(++refs); }
    std::uint32_t Release() override { return static_cast<std::uint32_t>(--refs); }
    sdk::IACFUnknown* unknown() { return static_cast<sdk::ICollection*>(this); }

    sdk::IEffectDescriptor* NewDescriptor() override { return giveDescriptor ? &effect : nullptr; }
    sdk::Result AddEffect(const char* id, sdk::IEffectDescriptor*) override {
        bundle = id;
        ++effectsAdded;
        return 0;
    }
    sdk::Result AddPackageName(const char* n) override {
        packageNames.push_back(n);
        return 0;
    }
    sdk::Result SetManufacturerName(const char* n) override {
        manufacturer = n;
        return 0;
    }
    sdk::Result SetPackageVersion(std::uint32_t v) override {
        version = v;
        return 0;
    }
};

}  // namespace aaxtest
