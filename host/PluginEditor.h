#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "plugkit/aax/sdk/AAXInterfaces.h"
#include "plugkit/window/HostedWindow.h"

namespace host {

namespace sdk = plugkit::aax::sdk;

class PluginInstance;
struct PluginDescription;

// The host's container for an editor: hands the plug-in a native parent window as an opaque
// pointer (on Linux an X11 Window id carried in the pointer's bits), or none. A driving container
// hands it a HostedParent instead: the editor's window, headless or an X11 child, then registers
// itself there so that the host can pump it, send it input and read its pixels.
class ViewContainer final : public sdk::IViewContainer {
public:
    explicit ViewContainer(void* nativeParent = nullptr) : parent_(nativeParent) {}
    // [any thread] A container whose parent is the X11 window with this id.
    static ViewContainer forX11Window(unsigned long window) {
        return ViewContainer(reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)));
    }
    // [any thread] A driving container: a headless window (x11Parent 0) or a child of x11Parent.
    static std::unique_ptr<ViewContainer> driving(unsigned long x11Parent) {
        auto container = std::make_unique<ViewContainer>();
        container->driving_ = true;
        container->hosted_.x11Parent = x11Parent;
        return container;
    }
    void* GetPtr() override { return driving_ ? static_cast<void*>(&hosted_) : parent_; }
    // The window the editor registered, null when none is open (or the container does not drive).
    plugkit::window::IHostedWindow* window() const { return driving_ ? hosted_.window : nullptr; }

private:
    void* parent_;
    bool driving_ = false;
    plugkit::window::HostedParent hosted_;
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

    // Opens the editor inside nativeParent (null: none); an open view is closed first.
    sdk::Result open(void* nativeParent);
    // Opens the editor in a window this host drives (see ViewContainer::driving): headless when
    // x11Parent is 0, else as a child of that X11 window. window() then gives it, or null when
    // the plug-in opened none (no editor, no X display).
    sdk::Result openDriven(unsigned long x11Parent = 0);
    plugkit::window::IHostedWindow* window() const { return container_ ? container_->window() : nullptr; }
    // Closes the open view; nothing when none is open.
    sdk::Result close();
    bool isOpen() const { return open_; }
    // The size the editor reports; false (width and height untouched) when it reports none, as a
    // plug-in without an editor does, or before the first open.
    bool size(int& width, int& height);

    sdk::IEffectGUI* effectGUI() const { return gui_; }

private:
    explicit PluginEditor(sdk::IEffectGUI* gui) : gui_(gui) {}
    sdk::Result openIn(std::unique_ptr<ViewContainer> container);

    sdk::IEffectGUI* gui_;
    bool initialized_ = false;
    bool open_ = false;
    std::unique_ptr<ViewContainer> container_;  // valid while open, as the interface requires
};

// [host thread] "W x H" for an editor that reports its size, "none" otherwise: opens the editor in
// a headless window for the question and closes it again.
std::string describeEditor(const PluginDescription& description, PluginInstance& instance);

}  // namespace host
