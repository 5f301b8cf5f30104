#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "plugkit/aax/sdk/AAXInterfaces.h"

namespace host {

namespace sdk = plugkit::aax::sdk;

class PluginInstance;
struct PluginDescription;

// The host's container for an editor: hands the plug-in a native parent window as an opaque
// pointer (on Linux an X11 Window id carried in the pointer's bits), or none for a headless editor.
class ViewContainer final : public sdk::IViewContainer {
public:
    explicit ViewContainer(void* nativeParent = nullptr) : parent_(nativeParent) {}
    // [any thread] A container whose parent is the X11 window with this id.
    static ViewContainer forX11Window(unsigned long window) {
        return ViewContainer(reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)));
    }
    void* GetPtr() override { return parent_; }

private:
    void* parent_;
};

// One instance's editor object, created through the plug-in's editor factory (proc id 1) and
// initialised with the instance's host unknown (controller, transport, effect parameters). open
// and close drive the view-container life cycle; the plug-in keeps its editor between them.
// Must be destroyed before its instance. [host user-interface thread]
class PluginEditor {
public:
    ~PluginEditor();  // closes an open view, Uninitialize, then the final Release
    PluginEditor(const PluginEditor&) = delete;
    PluginEditor& operator=(const PluginEditor&) = delete;

    // Null with a one-line reason in error when the plug-in offers no editor factory, the factory
    // returns nothing, or the object refuses the editor interface or Initialize.
    static std::unique_ptr<PluginEditor> create(const PluginDescription& description,
                                                PluginInstance& instance, std::string& error);

    // Opens the editor inside nativeParent (null: headless); an open view is closed first.
    sdk::Result open(void* nativeParent);
    // Closes the open view; nothing when none is open.
    sdk::Result close();
    bool isOpen() const { return open_; }
    // The size the editor reports; false (width and height untouched) when it reports none, as a
    // plug-in without an editor does, or before the first open.
    bool size(int& width, int& height);

    sdk::IEffectGUI* effectGUI() const { return gui_; }

private:
    explicit PluginEditor(sdk::IEffectGUI* gui) : gui_(gui) {}

    sdk::IEffectGUI* gui_;
    bool initialized_ = false;
    bool open_ = false;
    std::unique_ptr<ViewContainer> container_;  // valid while open, as the interface requires
};

// [host thread] "W x H" for an editor that reports its size, "none" otherwise: opens the editor
// headless for the question and closes it again.
std::string describeEditor(const PluginDescription& description, PluginInstance& instance);

}  // namespace host
