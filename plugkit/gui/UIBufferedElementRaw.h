#pragma once

#include <atomic>

#include "plugkit/graphics/OwnedImage.h"
#include "plugkit/gui/UIElement.h"

namespace plugkit::gui {

// An element that draws its whole raw content once into private buffers (colour and opacity) and
// then only blends those buffers into the dirty areas until it is marked dirty or resized.
class UIBufferedElementRaw : public UIElement {
public:
    UIBufferedElementRaw(UIContext* context, std::uint32_t flags);

    // [any thread] As UIElement's, and the buffers are redrawn at the next draw.
    void setDirtyWhole(UILayer layer = UILayer::guessFromFlags) override;
    void setDirty(Box rect, UILayer layer = UILayer::guessFromFlags) override;
    // [editor or pool thread] Resizes and redraws the buffers when needed, then blends them:
    // target = (buffer * m + target * (255 - m) + 127) / 255 per channel, m the opacity byte.
    void onDrawRaw(ImageRef<RGBA8> rawMap, const core::Vec<Box>& dirtyRects) override;

    // [editor or pool thread] Draws the whole element into the buffers (element-sized, colour
    // cleared to (0, 0, 0, 255), opacity to 0).
    virtual void onDrawBufferedRaw(ImageRef<RGBA8> rawMap, ImageRef<L8> opacity) = 0;

    bool mustBeRedrawn() const { return mustBeRedrawn_; }

private:
    graphics::OwnedImage<RGBA8> rawBuffer_;
    graphics::OwnedImage<L8> opacityBuffer_;
    std::atomic<bool> mustBeRedrawn_{false};  // set from any thread by dirty marking
};

}  // namespace plugkit::gui
