#include "plugkit/aax/AAXEffectGUI.h"

#include "plugkit/aax/AAXClient.h"
#include "plugkit/client/Client.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/HostCallGuard.h"

namespace plugkit::aax {

AAXEffectGUI::~AAXEffectGUI() {
    // A host that drops its last reference while the view is still open: close it here so the
    // editor's window never outlives the host's container.
    if (viewContainer_) deleteViewContainer();
}

sdk::IACFUnknown* AAXEffectGUI::create() {
    core::HostCallGuard guard;
    return static_cast<sdk::IEffectGUI*>(core::mallocNew<AAXEffectGUI>());
}

sdk::Result AAXEffectGUI::QueryInterface(const sdk::UID& iid, void** outInterface) {
    if (!outInterface) return sdk::kErrorNullObject;
    *outInterface = nullptr;
    if (!(iid == sdk::IACFUnknown::kIID || iid == sdk::IEffectGUI::kIID)) return sdk::kErrorNoInterface;
    *outInterface = static_cast<sdk::IEffectGUI*>(this);
    addReference();
    return sdk::kSuccess;
}

std::uint32_t AAXEffectGUI::AddRef() { return addReference(); }

std::uint32_t AAXEffectGUI::Release() {
    const std::uint32_t remaining = dropReference();
    if (remaining == 0) core::destroyFree(this);
    return remaining;
}

sdk::Result AAXEffectGUI::Initialize(sdk::IACFUnknown* host) {
    if (!host) return sdk::kErrorNotInitialized;
    controller_.reset(sdk::queryInterface<sdk::IController>(host));
    effectParameters_.reset(sdk::queryInterface<sdk::IEffectParameters>(host));
    transport_.reset(sdk::queryInterface<sdk::ITransport>(host));
    return sdk::kSuccess;
}

sdk::Result AAXEffectGUI::Uninitialize() {
    if (viewContainer_) deleteViewContainer();
    effectParameters_.reset();
    transport_.reset();
    controller_.reset();
    return sdk::kSuccess;
}

sdk::Result AAXEffectGUI::SetViewContainer(sdk::IViewContainer* container) {
    // Two opening containers in a row: the first view is closed before the second opens, so that
    // openUI and closeUI stay paired and the client reference is not taken twice.
    if (viewContainer_) deleteViewContainer();
    if (container) {
        viewContainer_ = container;
        createViewContainer();
    }
    return sdk::kSuccess;
}

client::Client* AAXEffectGUI::pluginClient() const {
    return clientInterface_ ? clientInterface_->pluginClient() : nullptr;
}

void AAXEffectGUI::createViewContainer() {
    clientInterface_.reset(sdk::queryInterface<IClientAccess>(effectParameters_.get()));
    client::Client* client = pluginClient();
    if (!client) return;
    void* parent = viewContainer_->GetPtr();
    // Created at most once per client; the client publishes it to the audio thread only once it
    // is stored.
    client::IGraphics* editor = client->getOrCreateEditor();
    if (!editor) return;  // a plug-in without an editor: the host's view stays empty
    const client::DAW daw = client->hostCommand() ? client->hostCommand()->getDAW() : client::DAW::protools;
    editor->openUI(parent, nullptr, daw, client::kGraphicsBackendDefault);
}

void AAXEffectGUI::deleteViewContainer() {
    client::Client* client = pluginClient();
    if (client && client->editor()) client->editor()->closeUI();
    clientInterface_.reset();
    viewContainer_ = nullptr;
}

sdk::Result AAXEffectGUI::GetViewSize(sdk::Point* outSize) {
    if (!outSize) return sdk::kErrorNullObject;
    client::Client* client = pluginClient();
    if (!client && effectParameters_) {
        // Asked before the first open: the editor may still exist from an earlier editor object.
        HostRef<IClientAccess> access(sdk::queryInterface<IClientAccess>(effectParameters_.get()));
        if (access) client = access->pluginClient();
    }
    if (!client) return sdk::kSuccess;
    // The audio thread may hold the editor for one sub-block; the size is then not reported.
    client::IGraphics* editor = client->editorTryAcquire();
    if (!editor) return sdk::kSuccess;
    int width = 0, height = 0;
    editor->getGUISize(&width, &height);
    client->editorRelease();
    outSize->horz = static_cast<float>(width);
    outSize->vert = static_cast<float>(height);
    return sdk::kSuccess;
}

sdk::Result AAXEffectGUI::NotificationReceived(sdk::TypeID, const void*, std::uint32_t) {
    return sdk::kSuccess;
}
sdk::Result AAXEffectGUI::Draw(sdk::Rect*) { return sdk::kSuccess; }
sdk::Result AAXEffectGUI::TimerWakeup() { return sdk::kSuccess; }
sdk::Result AAXEffectGUI::ParameterUpdated(sdk::ParamID) { return sdk::kSuccess; }
sdk::Result AAXEffectGUI::GetCustomLabel(sdk::TypeID, sdk::IString*) { return sdk::kErrorNullObject; }
sdk::Result AAXEffectGUI::SetControlHighlightInfo(sdk::ParamID, sdk::Boolean, std::int32_t) {
    return sdk::kSuccess;
}

}  // namespace plugkit::aax
