#pragma once

#include "plugkit/graphics/Font.h"
#include "plugkit/gui/UIElement.h"
#include "plugkit/pbrwidgets/PBRCanvas.h"

namespace plugkit::pbrwidgets {

using gui::UIContext;

// A line of text painted into the PBR diffuse map (so that the compositor lights it like the
// panel it is printed on), with a font, size, letter spacing and colour; the colour's alpha is the
// text's emissive amount. The text is copied (up to 127 bytes).
class UILabel : public gui::UIElement {
public:
    // [editor thread] font is not owned and must outlive the label.
    UILabel(UIContext* context, graphics::Font* font, const char* text, float textSize = 12.0f,
            graphics::RGBA8 color = graphics::RGBA8{220, 220, 225, 0}, float letterSpacing = 0.5f);

    // [editor thread] Replaces the text and redraws.
    void setText(const char* text);
    const char* text() const { return text_; }
    // [editor thread] Sizes the label to its text's extent and centres it on (x, y), in the parent's
    // (window) coordinates.
    void setCenterAndResize(int x, int y);

    // [editor or pool thread]
    void onDrawPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA8> materialMap,
                   const core::Vec<Box>& dirtyRects) override;

private:
    graphics::Font* font_;
    char text_[128] = {};
    float textSize_;
    graphics::RGBA8 color_;
    float letterSpacing_;
};

}  // namespace plugkit::pbrwidgets
