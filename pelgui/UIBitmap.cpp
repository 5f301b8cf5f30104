#include "pelgui/UIBitmap.h"

#include "plugkit/flatwidgets/FilmstripBlend.h"

namespace pelgui {

UIBitmap::UIBitmap(plugkit::gui::UIContext* context,
                   const plugkit::graphics::OwnedImage<plugkit::graphics::RGBA8>* image)
    : UIElement(context, plugkit::gui::flagRaw), image_(image) {}

void UIBitmap::onDrawRaw(plugkit::graphics::ImageRef<plugkit::graphics::RGBA8> rawMap,
                         const plugkit::core::Vec<plugkit::graphics::Box>& dirtyRects) {
    plugkit::flatwidgets::blendOver(rawMap, image_->toRef().asConst(), dirtyRects);
}

}  // namespace pelgui
