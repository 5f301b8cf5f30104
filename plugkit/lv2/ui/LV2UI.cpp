#include "plugkit/lv2/ui/LV2UI.h"

#include <cstring>

#include "plugkit/client/Client.h"
#include "plugkit/client/Parameter.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/HostCallGuard.h"
#include "plugkit/gui/GUIGraphics.h"

namespace plugkit::lv2 {

namespace {

const void* findFeature(const LV2_Feature* const* features, const char* uri) {
    for (int i = 0; features && features[i]; ++i)
        if (features[i]->URI && std::strcmp(features[i]->URI, uri) == 0) return features[i]->data;
    return nullptr;
}

gui::GUIGraphics* editorOf(client::Client* client) {
    return dynamic_cast<gui::GUIGraphics*>(client->editor());
}

}  // namespace

LV2UI::LV2UI(client::Client* client, LV2UI_Write_Function write, LV2UI_Controller controller)
    : client_(client), write_(write), controller_(controller) {
    client_->setHostCommand(this);
}

LV2UI* LV2UI::create(LV2UI_Write_Function write, LV2UI_Controller controller,
                     const LV2_Feature* const* features, LV2UI_Widget* widget) {
    client::Client* client = plugkitCreateClient();
    if (!client) return nullptr;
    LV2UI* ui = core::mallocNew<LV2UI>(client, write, controller);
    if (!ui->open(features, widget)) {
        core::destroyFree(ui);
        return nullptr;
    }
    return ui;
}

bool LV2UI::open(const LV2_Feature* const* features, LV2UI_Widget* widget) {
    client::IGraphics* editor = client_->hasGUI() ? client_->getOrCreateEditor() : nullptr;
    if (!editor) return false;
    void* parent = const_cast<void*>(findFeature(features, LV2_UI__parent));
    resize_ = static_cast<LV2UI_Resize*>(const_cast<void*>(findFeature(features, LV2_UI__resize)));
    void* view = editor->openUI(parent, nullptr, client::DAW::unknown, client::kGraphicsBackendDefault);
    if (!view) return false;
    open_ = true;
    if (widget) *widget = view;
    int width = 0, height = 0;
    editor->getGUISize(&width, &height);
    if (gui::GUIGraphics* g = editorOf(client_); g && g->currentWindow()) {
        width *= g->currentWindow()->scaleFactor();
        height *= g->currentWindow()->scaleFactor();
    }
    if (resize_ && resize_->ui_resize) resize_->ui_resize(resize_->handle, width, height);
    return true;
}

LV2UI::~LV2UI() {
    if (open_) client_->editor()->closeUI();
    core::destroyFree(client_);
}

void LV2UI::portEvent(std::uint32_t port, std::uint32_t bufferSize, std::uint32_t format,
                      const void* buffer) {
    if (format != 0 || bufferSize != sizeof(float) || !buffer) return;
    if (port >= static_cast<std::uint32_t>(client_->paramCount())) return;
    float plain;
    std::memcpy(&plain, buffer, sizeof plain);
    client::Parameter* p = client_->param(static_cast<int>(port));
    const double normalized = normalizedFromPlain(*p, plain);
    if (normalized == normalized) p->setFromHost(normalized);  // NaN ignored; never written back
}

int LV2UI::idle() {
    gui::GUIGraphics* g = editorOf(client_);
    window::IWindow* w = g ? g->currentWindow() : nullptr;
    if (!w) return 1;
    w->dispatchPendingEvents();
    return w->terminated() ? 1 : 0;
}

void LV2UI::paramAutomate(int paramIndex, float normalized) {
    if (paramIndex < 0 || paramIndex >= client_->paramCount() || !write_) return;
    const auto value = static_cast<float>(plainFromNormalized(*client_->param(paramIndex), normalized));
    write_(controller_, static_cast<std::uint32_t>(paramIndex), sizeof value, 0, &value);
}

bool LV2UI::requestResize(int width, int height) {
    return resize_ && resize_->ui_resize && resize_->ui_resize(resize_->handle, width, height) == 0;
}

// --- Descriptor ----------------------------------------------------------------------------------

namespace {

LV2UI* self(LV2UI_Handle handle) { return static_cast<LV2UI*>(handle); }

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features) {
    core::HostCallGuard guard;
    return LV2UI::create(write, controller, features, widget);
}

void cleanup(LV2UI_Handle handle) {
    core::HostCallGuard guard;
    core::destroyFree(self(handle));
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    core::HostCallGuard guard;
    self(handle)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle) {
    core::HostCallGuard guard;
    return self(handle)->idle();
}

const LV2UI_Idle_Interface kIdleInterface = {idle};

const void* extensionData(const char* uri) {
    if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdleInterface;
    return nullptr;
}

}  // namespace

const LV2UI_Descriptor* uiDescriptorAt(std::uint32_t index) {
    static char uri[Variant::kMaxURI + 8];
    static const LV2UI_Descriptor descriptor = [] {
        uiURI(plugkitLV2Bundle().uri, uri, sizeof uri);
        return LV2UI_Descriptor{uri, instantiate, cleanup, portEvent, extensionData};
    }();
    return index == 0 ? &descriptor : nullptr;
}

}  // namespace plugkit::lv2
