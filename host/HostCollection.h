#pragma once

#include <deque>
#include <memory>

#include "host/HostRefCount.h"
#include "host/PluginDescription.h"
#include "plugkit/aax/sdk/AAXInterfaces.h"

namespace host {

namespace sdk = plugkit::aax::sdk;

class HostEffectDescriptor;
class HostComponentDescriptor;
class HostPropertyMap;

// The collection handed to ACFRegisterPlugin. Records everything the plug-in describes into a
// PluginDescription; also answers the plug-in definition interface that the plug-in hands back.
// Descriptors and property maps it creates live as long as the collection. [host thread]
class HostCollection final : public sdk::ICollection, public sdk::IACFPluginDefinition {
public:
    HostCollection();
    ~HostCollection();
    HostCollection(const HostCollection&) = delete;
    HostCollection& operator=(const HostCollection&) = delete;

    // The unknown to pass to ACFRegisterPlugin.
    sdk::IACFUnknown* unknown() { return static_cast<sdk::ICollection*>(this); }
    // The description as recorded so far (components in the order the effect added them).
    PluginDescription takeDescription();
    const HostRefCount& refs() const { return refs_; }

    // Makes NewDescriptor return null, as a host that cannot describe would (for tests).
    void refuseDescriptors(bool refuse) { refuseDescriptors_ = refuse; }

    sdk::Result QueryInterface(const sdk::UID& iid, void** out) override;
    uint32_t AddRef() override { return refs_.add(); }
    uint32_t Release() override { return refs_.release(); }

    sdk::IEffectDescriptor* NewDescriptor() override;
    sdk::Result AddEffect(const char* bundleID, sdk::IEffectDescriptor* effect) override;
    sdk::Result AddPackageName(const char* name) override;
    sdk::Result SetManufacturerName(const char* name) override;
    sdk::Result SetPackageVersion(uint32_t version) override;

    // Used by the descriptors it owns.
    HostComponentDescriptor* newComponent();
    HostPropertyMap* newPropertyMap();

private:
    HostRefCount refs_;
    PluginDescription description_;
    bool refuseDescriptors_ = false;
    std::deque<std::unique_ptr<HostEffectDescriptor>> effects_;
    std::deque<std::unique_ptr<HostComponentDescriptor>> components_;
    std::deque<std::unique_ptr<HostPropertyMap>> propertyMaps_;
};

}  // namespace host
