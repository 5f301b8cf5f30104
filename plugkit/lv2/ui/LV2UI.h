#pragma once

#include <cstdint>

#include "lv2/core/lv2.h"
#include "lv2/ui/ui.h"
#include "plugkit/client/ClientTypes.h"
#include "plugkit/lv2/LV2Bundle.h"

namespace plugkit::client {
class Client;
}

namespace plugkit::lv2 {

// The plug-in's editor as an LV2 UI. It has a client of its own, which only holds parameter values
// for the editor: the plug-in is reached through its control ports alone. An edit in the editor is
// written to the port of the parameter (port index = parameter index, plain value as float) with the
// host's write function; a port event from the host sets the parameter without writing back.
//
// Threads: everything runs on the host's UI thread, which also drives the X11 window through idle().
class LV2UI final : public client::IHostCommand {
public:
    // [editor thread] Creates the client and its editor and opens the editor in the ui:parent window
    // (top-level without it). Null when the client has no editor or the window does not open.
    // *widget receives the X11 window id.
    static LV2UI* create(LV2UI_Write_Function write, LV2UI_Controller controller,
                         const LV2_Feature* const* features, LV2UI_Widget* widget);
    ~LV2UI() override;
    LV2UI(const LV2UI&) = delete;
    LV2UI& operator=(const LV2UI&) = delete;

    // [editor thread] A control port changed in the plug-in: float values of parameter ports move
    // the editor's parameter; other ports and formats are ignored.
    void portEvent(std::uint32_t port, std::uint32_t bufferSize, std::uint32_t format, const void* buffer);
    // [editor thread] Handles the window's pending events and timer ticks. 1 once the window was
    // closed or destroyed from outside, else 0.
    int idle();

    // client::IHostCommand, called by the editor's parameters.
    void beginParamEdit(int) override {}
    // [editor thread] Writes the parameter's plain value to its port.
    void paramAutomate(int paramIndex, float normalized) override;
    void endParamEdit(int) override {}
    // [editor thread] Asks the host through ui:resize; false without it.
    bool requestResize(int width, int height) override;
    client::DAW getDAW() override { return client::DAW::unknown; }

    client::Client* pluginClient() const { return client_; }

    // [editor thread] Takes ownership of client; the window opens in create.
    LV2UI(client::Client* client, LV2UI_Write_Function write, LV2UI_Controller controller);

private:
    bool open(const LV2_Feature* const* features, LV2UI_Widget* widget);

    client::Client* client_;
    LV2UI_Write_Function write_;
    LV2UI_Controller controller_;
    LV2UI_Resize* resize_ = nullptr;
    bool open_ = false;
};

// [editor thread] The UI descriptor: index 0 is the editor under uiURI of the bundle's base URI;
// null past it. For the UI library's lv2ui_descriptor.
const LV2UI_Descriptor* uiDescriptorAt(std::uint32_t index);

}  // namespace plugkit::lv2
