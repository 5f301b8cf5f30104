#include "plugkit/pbrwidgets/UILabel.h"

#include <cstring>

#include "plugkit/graphics/TextRendering.h"

namespace plugkit::pbrwidgets {

using graphics::HorizontalAlignment;
using graphics::VerticalAlignment;

UILabel::UILabel(UIContext* context, graphics::Font* font, const char* text, float textSize,
                 graphics::RGBA8 color, float letterSpacing)
    : UIElement(context, gui::flagPBR),
      font_(font),
      textSize_(textSize),
      color_(color),
      letterSpacing_(letterSpacing) {
    setText(text);
}

void UILabel::setText(const char* text) {
    std::strncpy(text_, text ? text : "", sizeof text_ - 1);
    text_[sizeof text_ - 1] = '\0';
    setDirtyWhole();
}

void UILabel::setCenterAndResize(int x, int y) {
    const Box extent = font_->measureText(text_, textSize_, letterSpacing_);
    // One pixel of room on each side for anti-aliasing.
    const int w = extent.width() + 2, h = extent.height() + 2;
    reflow(Box(x - w / 2, y - h / 2, x - w / 2 + w, y - h / 2 + h));
    setDirtyWhole();
}

void UILabel::onDrawPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16>, ImageRef<RGBA8>,
                        const core::Vec<Box>& dirtyRects) {
    const float cx = static_cast<float>(width()) * 0.5f, cy = static_cast<float>(height()) * 0.5f;
    for (const Box& r : dirtyRects) {
        graphics::fillText(diffuseMap.crop(r), *font_, text_, textSize_, letterSpacing_, color_,
                           cx - static_cast<float>(r.min.x), cy - static_cast<float>(r.min.y),
                           HorizontalAlignment::center, VerticalAlignment::center);
    }
}

}  // namespace plugkit::pbrwidgets
