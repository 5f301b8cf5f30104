#pragma once

#include "plugkit/graphics/OwnedImage.h"
#include "plugkit/gui/UIElement.h"

namespace pelgui {

// An image drawn at its own size over what lies below, blended with its alpha, in the raw layer.
// The image is not owned and must outlive the element; parts of the element beyond the image are
// left untouched. Takes no input.
class UIBitmap : public plugkit::gui::UIElement {
public:
    // [editor thread]
    UIBitmap(plugkit::gui::UIContext* context,
             const plugkit::graphics::OwnedImage<plugkit::graphics::RGBA8>* image);

    // [editor or pool thread] Blends image pixel (x, y) over local pixel (x, y) of each dirty rectangle.
    void onDrawRaw(plugkit::graphics::ImageRef<plugkit::graphics::RGBA8> rawMap,
                   const plugkit::core::Vec<plugkit::graphics::Box>& dirtyRects) override;

    const plugkit::graphics::OwnedImage<plugkit::graphics::RGBA8>* image() const { return image_; }

private:
    const plugkit::graphics::OwnedImage<plugkit::graphics::RGBA8>* image_;
};

}  // namespace pelgui
