#pragma once

#include <atomic>

#include "plugkit/graphics/OwnedImage.h"
#include "plugkit/gui/UIElement.h"

namespace plugkit::gui {

// The PBR counterpart of UIBufferedElementRaw: three private maps, each with its own opacity,
// drawn once and blended into the editor's maps until the element is marked dirty or resized.
class UIBufferedElementPBR : public UIElement {
public:
    UIBufferedElementPBR(UIContext* context, std::uint32_t flags);

    // [any thread] As UIElement's, and the buffers are redrawn at the next draw.
    void setDirtyWhole(UILayer layer = UILayer::guessFromFlags) override;
    void setDirty(Box rect, UILayer layer = UILayer::guessFromFlags) override;
    // [editor or pool thread] Resizes and redraws the buffers when needed, then blends each map
    // with its opacity: 8-bit maps as UIBufferedElementRaw, depth with 16-bit weights
    // target = (m * 257 * buffer + (65535 - m * 257) * target + 32768) / 65536.
    void onDrawPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA8> materialMap,
                   const core::Vec<Box>& dirtyRects) override;

    // [editor or pool thread] Draws the whole element into the buffers. Before the call the
    // opacities are 0, diffuse (128, 128, 128, 0), depth 15000, material (128, 255, 128, 255).
    virtual void onDrawBufferedPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16> depthMap,
                                   ImageRef<RGBA8> materialMap, ImageRef<L8> diffuseOpacity,
                                   ImageRef<L8> depthOpacity, ImageRef<L8> materialOpacity) = 0;

    bool mustBeRedrawn() const { return mustBeRedrawn_; }

private:
    graphics::OwnedImage<RGBA8> diffuseBuffer_;
    graphics::OwnedImage<L16> depthBuffer_;
    graphics::OwnedImage<RGBA8> materialBuffer_;
    graphics::OwnedImage<L8> diffuseOpacityBuffer_;
    graphics::OwnedImage<L8> depthOpacityBuffer_;
    graphics::OwnedImage<L8> materialOpacityBuffer_;
    std::atomic<bool> mustBeRedrawn_{false};  // set from any thread by dirty marking
};

}  // namespace plugkit::gui
