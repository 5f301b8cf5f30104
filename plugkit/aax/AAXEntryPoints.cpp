// The library's exported entry points. Every one except ACFRegisterComponent and
// ACFGetClassFactory runs inside the floating-point guard.

#include "plugkit/aax/sdk/AAXEntryPoints.h"

#include "plugkit/aax/AAXClient.h"
#include "plugkit/aax/AAXDescription.h"
#include "plugkit/aax/AAXEffectGUI.h"
#include "plugkit/aax/AAXRender.h"
#include "plugkit/aax/ClientFactory.h"
#include "plugkit/aax/HostRef.h"
#include "plugkit/aax/LiveObjects.h"
#include "plugkit/aax/PresetFile.h"
#include "plugkit/client/Client.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/HostCallGuard.h"

#define PLUGKIT_AAX_EXPORT extern "C" __attribute__((visibility("default")))

namespace sdk = plugkit::aax::sdk;

namespace {

// The host's services, kept from ACFStartup to ACFShutdown. Entry points are not called
// concurrently with those two, so no lock guards it. A plain pointer: a static destructor must
// not call into a host that may already be gone when the library is unloaded.
sdk::IACFUnknown* gHostServices = nullptr;

void dropHostServices() {
    if (gHostServices) gHostServices->Release();
    gHostServices = nullptr;
}

// The editor object's factory, offered when the plug-in says it has an editor.
constexpr sdk::CreateObjectProc kEffectGUIFactory = &plugkit::aax::AAXEffectGUI::create;

}  // namespace

PLUGKIT_AAX_EXPORT sdk::Result ACFStartup(sdk::IACFUnknown* host) {
    plugkit::core::HostCallGuard guard;
    if (!host) {
        dropHostServices();
    } else if (!gHostServices) {
        host->AddRef();
        gHostServices = host;
    }
    return sdk::kSuccess;
}

PLUGKIT_AAX_EXPORT sdk::Result ACFShutdown() {
    plugkit::core::HostCallGuard guard;
    dropHostServices();
    return sdk::kSuccess;
}

PLUGKIT_AAX_EXPORT sdk::Result ACFRegisterPlugin(sdk::IACFUnknown* host,
                                                 sdk::IACFPluginDefinition** outDefinition) {
    plugkit::core::HostCallGuard guard;
    if (outDefinition) *outDefinition = nullptr;
    plugkit::aax::HostRef<sdk::ICollection> collection(sdk::queryInterface<sdk::ICollection>(host));
    if (!collection) return sdk::kErrorNullObject;

    plugkit::client::Client* client = plugkitCreateClient();
    if (!client) return sdk::kErrorNullObject;
    plugkit::aax::PluginProcs procs;
    procs.render = &plugkit::aax::StaticRenderAudio;
    procs.effectParameters = &plugkit::aax::AAXClient::create;
    procs.effectGUI = kEffectGUIFactory;
    const sdk::Result result = plugkit::aax::describePlugin(*collection.get(), *client, procs);
    plugkit::core::destroyFree(client);
    if (result != sdk::kSuccess) return result;

    sdk::IACFPluginDefinition* definition = sdk::queryInterface<sdk::IACFPluginDefinition>(collection.get());
    if (!definition) return sdk::kErrorNullObject;
    if (outDefinition)
        *outDefinition = definition;
    else
        definition->Release();
    return sdk::kSuccess;
}

PLUGKIT_AAX_EXPORT sdk::Result ACFRegisterComponent(sdk::IACFUnknown*, const sdk::UID*,
                                                    sdk::IACFUnknown** outComponent) {
    if (outComponent) *outComponent = nullptr;
    return sdk::kSuccess;
}

PLUGKIT_AAX_EXPORT sdk::Result ACFGetClassFactory(sdk::IACFUnknown*, const sdk::UID*, const sdk::UID*,
                                                  void** outFactory) {
    if (outFactory) *outFactory = nullptr;
    return sdk::kErrorUnimplemented;
}

PLUGKIT_AAX_EXPORT sdk::Result ACFCanUnloadNow() {
    plugkit::core::HostCallGuard guard;
    return plugkit::aax::liveObjectCount();
}

PLUGKIT_AAX_EXPORT sdk::Result ACFGetSDKVersion(std::uint64_t* outVersion) {
    plugkit::core::HostCallGuard guard;
    if (!outVersion) return sdk::kErrorNullObject;
    *outVersion = sdk::kSDKVersion;
    return sdk::kSuccess;
}

PLUGKIT_AAX_EXPORT void PlugkitEnumerateTFX(sdk::TFXCallback callback, void* userData) {
    plugkit::core::HostCallGuard guard;
    if (!callback) return;
    plugkit::client::Client* client = plugkitCreateClient();
    if (!client) return;
    plugkit::aax::enumeratePresetFiles(*client, callback, userData);
    plugkit::core::destroyFree(client);
}
