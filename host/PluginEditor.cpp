#include "host/PluginEditor.h"

#include <cmath>

#include "host/PluginDescription.h"
#include "host/PluginInstance.h"

namespace host {

std::unique_ptr<PluginEditor> PluginEditor::create(const PluginDescription& description,
                                                   PluginInstance& instance, std::string& error) {
    auto factory = reinterpret_cast<sdk::CreateObjectProc>(description.proc(sdk::kProcIDEffectGUI));
    if (!factory) {
        error = "the plug-in offers no editor";
        return nullptr;
    }
    sdk::IACFUnknown* unknown = factory();
    if (!unknown) {
        error = "the plug-in's editor factory returned nothing";
        return nullptr;
    }
    sdk::IEffectGUI* gui = sdk::queryInterface<sdk::IEffectGUI>(unknown);
    unknown->Release();
    if (!gui) {
        error = "the plug-in's editor object has no editor interface";
        return nullptr;
    }
    std::unique_ptr<PluginEditor> editor(new PluginEditor(gui));
    if (gui->Initialize(instance.host().unknown()) != sdk::kSuccess) {
        error = "the plug-in's editor object failed to initialise";
        return nullptr;
    }
    editor->initialized_ = true;
    return editor;
}

PluginEditor::~PluginEditor() {
    close();
    if (initialized_) gui_->Uninitialize();
    gui_->Release();
}

sdk::Result PluginEditor::open(void* nativeParent) {
    return openIn(std::make_unique<ViewContainer>(nativeParent));
}

sdk::Result PluginEditor::openDriven(unsigned long x11Parent) {
    return openIn(ViewContainer::driving(x11Parent));
}

sdk::Result PluginEditor::openIn(std::unique_ptr<ViewContainer> container) {
    // The new container replaces the old one only after the plug-in has let go of it.
    const sdk::Result result = gui_->SetViewContainer(container.get());
    container_ = std::move(container);
    open_ = true;
    return result;
}

sdk::Result PluginEditor::close() {
    if (!open_) return sdk::kSuccess;
    const sdk::Result result = gui_->SetViewContainer(nullptr);
    open_ = false;
    container_.reset();
    return result;
}

bool PluginEditor::size(int& width, int& height) {
    const float unset = std::nanf("");
    sdk::Point point{unset, unset};
    if (gui_->GetViewSize(&point) != sdk::kSuccess) return false;
    if (!std::isfinite(point.horz) || !std::isfinite(point.vert) || point.horz < 0.0f || point.vert < 0.0f)
        return false;
    width = static_cast<int>(std::lround(point.horz));
    height = static_cast<int>(std::lround(point.vert));
    return true;
}

std::string describeEditor(const PluginDescription& description, PluginInstance& instance) {
    std::string error;
    auto editor = PluginEditor::create(description, instance, error);
    if (!editor) return "none";
    editor->openDriven(0);
    int width = 0, height = 0;
    const bool known = editor->size(width, height);
    editor->close();
    if (!known || width <= 0 || height <= 0) return "none";
    return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace host
