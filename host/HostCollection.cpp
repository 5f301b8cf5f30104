#include "host/HostCollection.h"

#include <algorithm>

namespace host {

// Property map: records (number, value) pairs in the order added.
class HostPropertyMap final : public sdk::IPropertyMap {
public:
    sdk::Result AddProperty(sdk::PropertyID property, sdk::PropertyValue value) override {
        properties.emplace_back(property, value);
        return sdk::kSuccess;
    }
    std::vector<std::pair<uint32_t, int32_t>> properties;
};

// Component descriptor: records field registrations, its property map and render callback.
class HostComponentDescriptor final : public sdk::IComponentDescriptor {
public:
    explicit HostComponentDescriptor(HostCollection& owner) : owner_(owner) {}

    sdk::Result AddAudioIn(sdk::FieldIndex field) override {
        return add(FieldRegistration::Kind::AudioIn, field);
    }
    sdk::Result AddAudioOut(sdk::FieldIndex field) override {
        return add(FieldRegistration::Kind::AudioOut, field);
    }
    sdk::Result AddAudioBufferLength(sdk::FieldIndex field) override {
        return add(FieldRegistration::Kind::BufferLength, field);
    }
    sdk::Result AddMIDINode(sdk::FieldIndex field, int32_t nodeType, const char* name,
                            uint32_t mask) override {
        FieldRegistration* f = addField(FieldRegistration::Kind::MidiNode, field);
        if (!f) return sdk::kErrorInvalidParameterIndex;
        f->midiNodeType = nodeType;
        f->midiNodeName = name ? name : "";
        f->midiChannelMask = mask;
        return sdk::kSuccess;
    }
    sdk::Result AddPrivateData(sdk::FieldIndex field, int32_t byteSize) override {
        if (byteSize < 0 || byteSize > (1 << 20)) return sdk::kErrorIncorrectSize;
        FieldRegistration* f = addField(FieldRegistration::Kind::PrivateData, field);
        if (!f) return sdk::kErrorInvalidParameterIndex;
        f->size = static_cast<uint32_t>(byteSize);
        return sdk::kSuccess;
    }
    sdk::Result AddMeters(sdk::FieldIndex field, const uint32_t* ids, uint32_t count) override {
        if (count > 0 && !ids) return sdk::kErrorNullObject;
        if (count > 4096) return sdk::kErrorIncorrectSize;
        FieldRegistration* f = addField(FieldRegistration::Kind::Meters, field);
        if (!f) return sdk::kErrorInvalidParameterIndex;
        f->meterIds.assign(ids, ids + count);
        return sdk::kSuccess;
    }
    sdk::IPropertyMap* NewPropertyMap() override { return owner_.newPropertyMap(); }
    sdk::Result AddProcessProc_Native(sdk::RenderProc render, sdk::IPropertyMap* properties,
                                      sdk::InstanceInitProc initProc, sdk::BackgroundProc backgroundProc,
                                      uint32_t* outProcID) override {
        if (!render) return sdk::kErrorNullObject;
        description.renderCallback = reinterpret_cast<void*>(render);
        description.hasInitProc = initProc != nullptr;
        description.hasBackgroundProc = backgroundProc != nullptr;
        if (properties) description.properties = static_cast<HostPropertyMap*>(properties)->properties;
        if (outProcID) *outProcID = 0;
        return sdk::kSuccess;
    }

    ComponentDescription description;

private:
    sdk::Result add(FieldRegistration::Kind kind, sdk::FieldIndex field) {
        return addField(kind, field) ? sdk::kSuccess : sdk::kErrorInvalidParameterIndex;
    }
    // A field index is a slot of the context array: it must be small and registered once.
    FieldRegistration* addField(FieldRegistration::Kind kind, sdk::FieldIndex field) {
        if (field < 0 || field >= 256 || description.field(static_cast<uint32_t>(field))) return nullptr;
        FieldRegistration f;
        f.kind = kind;
        f.index = static_cast<uint32_t>(field);
        description.fields.push_back(f);
        return &description.fields.back();
    }

    HostCollection& owner_;
};

// Effect descriptor: names, categories, factories and the components it adds.
class HostEffectDescriptor final : public sdk::IEffectDescriptor {
public:
    explicit HostEffectDescriptor(HostCollection& owner) : owner_(owner) {}

    sdk::IComponentDescriptor* NewComponentDescriptor() override { return owner_.newComponent(); }
    sdk::Result AddName(const char* name) override {
        if (!name) return sdk::kErrorNullObject;
        names.emplace_back(name);
        return sdk::kSuccess;
    }
    sdk::Result AddCategory(uint32_t bits) override {
        categories.push_back(bits);
        return sdk::kSuccess;
    }
    sdk::Result AddProcPtr(sdk::CreateObjectProc factory, sdk::ProcPtrID procID) override {
        if (!factory) return sdk::kErrorNullObject;
        procs.emplace_back(procID, reinterpret_cast<void*>(factory));
        return sdk::kSuccess;
    }
    sdk::Result AddComponent(sdk::IComponentDescriptor* component) override {
        if (!component) return sdk::kErrorNullObject;
        components.push_back(static_cast<HostComponentDescriptor*>(component)->description);
        return sdk::kSuccess;
    }

    std::vector<std::string> names;
    std::vector<uint32_t> categories;
    std::vector<std::pair<int32_t, void*>> procs;
    std::vector<ComponentDescription> components;

private:
    HostCollection& owner_;
};

HostCollection::HostCollection() = default;
HostCollection::~HostCollection() = default;

sdk::Result HostCollection::QueryInterface(const sdk::UID& iid, void** out) {
    if (!out) return sdk::kErrorNullObject;
    *out = nullptr;
    if (iid == sdk::ICollection::kIID)
        *out = static_cast<sdk::ICollection*>(this);
    else if (iid == sdk::IACFPluginDefinition::kIID)
        *out = static_cast<sdk::IACFPluginDefinition*>(this);
    else
        return sdk::kErrorNoInterface;
    refs_.add();
    return sdk::kSuccess;
}

sdk::IEffectDescriptor* HostCollection::NewDescriptor() {
    if (refuseDescriptors_) return nullptr;
    effects_.push_back(std::make_unique<HostEffectDescriptor>(*this));
    return effects_.back().get();
}

sdk::Result HostCollection::AddEffect(const char* bundleID, sdk::IEffectDescriptor* effect) {
    if (!effect) return sdk::kErrorNullObject;
    auto it =
        std::find_if(effects_.begin(), effects_.end(), [&](const auto& e) { return e.get() == effect; });
    if (it == effects_.end()) return sdk::kErrorNullObject;  // not one of ours
    const HostEffectDescriptor& e = **it;
    description_.effectAdded = true;
    description_.bundleId = bundleID ? bundleID : "";
    description_.names = e.names;
    description_.categories = e.categories;
    description_.procs = e.procs;
    description_.components = e.components;
    return sdk::kSuccess;
}

sdk::Result HostCollection::AddPackageName(const char* name) {
    if (!name) return sdk::kErrorNullObject;
    description_.packageNames.emplace_back(name);
    return sdk::kSuccess;
}

sdk::Result HostCollection::SetManufacturerName(const char* name) {
    if (!name) return sdk::kErrorNullObject;
    description_.manufacturerName = name;
    return sdk::kSuccess;
}

sdk::Result HostCollection::SetPackageVersion(uint32_t version) {
    description_.packageVersion = static_cast<int32_t>(version);
    return sdk::kSuccess;
}

HostComponentDescriptor* HostCollection::newComponent() {
    components_.push_back(std::make_unique<HostComponentDescriptor>(*this));
    return components_.back().get();
}

HostPropertyMap* HostCollection::newPropertyMap() {
    propertyMaps_.push_back(std::make_unique<HostPropertyMap>());
    return propertyMaps_.back().get();
}

PluginDescription HostCollection::takeDescription() { return description_; }

}  // namespace host
