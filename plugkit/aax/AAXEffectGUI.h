#pragma once

#include <cstdint>

#include "plugkit/aax/HostRef.h"
#include "plugkit/aax/LiveObjects.h"
#include "plugkit/aax/sdk/AAXInterfaces.h"

namespace plugkit::client {
class Client;
}

namespace plugkit::aax {

class IClientAccess;

// The per-instance editor object the host creates through the factory at proc id 1. It connects
// the host's view-container life cycle to the plug-in client's editor: the editor is created once
// per client (on the first open) and then kept by the client; every non-null container opens it
// inside the container's native parent view, a null container closes it. Reference counted; the
// creator holds the first reference. Every operation runs on the host's user-interface thread.
class AAXEffectGUI final : public sdk::IEffectGUI, private LiveObject {
public:
    AAXEffectGUI() = default;
    ~AAXEffectGUI();

    // [editor thread] The factory handed to the host (proc id 1): creates an AAXEffectGUI inside the
    // floating-point guard and returns its unknown with one reference for the caller.
    static sdk::IACFUnknown* create();

    // IACFUnknown [any thread]
    sdk::Result QueryInterface(const sdk::UID& iid, void** outInterface) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;

    // [editor thread] Takes the controller, transport and the instance's effect parameters from host;
    // kErrorNotInitialized when host is null. A host that does not answer the effect parameters
    // gets an editor object that never opens anything.
    sdk::Result Initialize(sdk::IACFUnknown* host) override;
    // [editor thread] Closes the editor if it is still open, then drops every host reference.
    sdk::Result Uninitialize() override;
    // [editor thread] Non-null: opens the client's editor inside container->GetPtr() (closing a
    // previous container's view first). Null: closes the editor if open. Always kSuccess.
    sdk::Result SetViewContainer(sdk::IViewContainer* container) override;
    // [editor thread] Writes the editor's size (horz = width, vert = height) when the editor exists
    // and is not held by the audio thread at this moment; writes nothing otherwise. Always kSuccess
    // (kErrorNullObject for a null outSize).
    sdk::Result GetViewSize(sdk::Point* outSize) override;

    // [editor thread] Not used: the editor redraws from its own timer and follows parameters through
    // their listeners. All return kSuccess but GetCustomLabel (kErrorNullObject).
    sdk::Result NotificationReceived(sdk::TypeID type, const void* data, std::uint32_t size) override;
    sdk::Result Draw(sdk::Rect* area) override;
    sdk::Result TimerWakeup() override;
    sdk::Result ParameterUpdated(sdk::ParamID id) override;
    sdk::Result GetCustomLabel(sdk::TypeID selector, sdk::IString* outLabel) override;
    sdk::Result SetControlHighlightInfo(sdk::ParamID id, sdk::Boolean highlighted,
                                        std::int32_t color) override;

    // [editor thread] True between an opening and a closing container.
    bool isOpen() const { return viewContainer_ != nullptr; }

private:
    void createViewContainer();
    void deleteViewContainer();
    // The plug-in client reached through clientInterface_, or null.
    client::Client* pluginClient() const;

    HostRef<sdk::IController> controller_;
    HostRef<sdk::ITransport> transport_;
    HostRef<sdk::IEffectParameters> effectParameters_;
    HostRef<IClientAccess> clientInterface_;
    sdk::IViewContainer* viewContainer_ = nullptr;  // owned by the host, valid while set
};

}  // namespace plugkit::aax
