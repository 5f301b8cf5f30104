#pragma once

#include <cstddef>

#include "plugkit/graphics/OwnedImage.h"
#include "plugkit/gui/GUIGraphics.h"

namespace plugkit::flatwidgets {

// An editor drawn over one full-window picture: the background image (decoded from embedded PNG
// bytes, owned) is copied opaque into the raw layer under every child, replacing whatever the
// compositor produced there. The editor places its children itself; laying the editor out moves
// only the editor.
class FlatBackgroundGUI : public gui::GUIGraphics {
public:
    // [editor thread] An editor of width x height drawing in the raw layer, over the image that
    // backgroundBytes (PNG, from the plug-in's embedded resources) decode to. Bytes that do not
    // decode are a fatal error: they are built into the binary.
    FlatBackgroundGUI(int width, int height, const unsigned char* backgroundBytes, std::size_t size);
    ~FlatBackgroundGUI() override;

    // [editor thread] Takes availableSpace as the editor's position and copies the background's
    // part that fits in it; the children keep the positions the editor gave them.
    void reflow(gui::Box availableSpace) override;
    // [editor or pool thread] Copies the background into each dirty rectangle; areas beyond the
    // image are skipped.
    void onDrawRaw(gui::ImageRef<gui::RGBA8> rawMap, const core::Vec<gui::Box>& dirtyRects) override;

    // [editor thread] The window area the background image covers: its pixels replace everything.
    gui::Box opaqueRawArea() const override;

    const graphics::OwnedImage<gui::RGBA8>& background() const { return *background_; }

private:
    graphics::OwnedImage<gui::RGBA8>* background_;
    gui::Box srcRect_;                // area of the background that is shown
    gui::Box dstRect_;                // where it goes in the window
    gui::Point offset_{0, 0};         // added to a window rectangle to find its background pixels
    core::Vec<gui::Box> childBoxes_;  // scratch for reflow
};

}  // namespace plugkit::flatwidgets
