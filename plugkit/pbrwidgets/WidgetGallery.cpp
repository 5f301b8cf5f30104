#include "plugkit/pbrwidgets/WidgetGallery.h"

#include "plugkit/graphics/Draw.h"

namespace plugkit::pbrwidgets {

using graphics::fillRectFloat;

UIGalleryPanel::UIGalleryPanel(UIContext* context, const GalleryBindings& bindings, graphics::Font* font)
    : UIElement(context, gui::flagPBR) {
    knob_ = addNew<UIKnob>(context, bindings.knob);
    slider_ = addNew<UISlider>(context, bindings.slider);
    power_ = addNew<UIOnOffSwitch>(context, bindings.power);
    const char* const captions[3] = {"DRIVE", "LEVEL", "POWER"};
    for (int i = 0; i < 3; ++i) labels_[i] = addNew<UILabel>(context, font, captions[i], 12.0f);
}

void UIGalleryPanel::reflow(Box availableSpace) {
    const int x = availableSpace.min.x, y = availableSpace.min.y;
    UIElement::reflow(Box(x, y, x + kWidth, y + kHeight));
    knob_->reflow(Box(x + 30, y + 35, x + 130, y + 135));
    slider_->reflow(Box(x + 170, y + 20, x + 200, y + 170));
    power_->reflow(Box(x + 240, y + 70, x + 310, y + 96));
    labels_[0]->setCenterAndResize(x + 80, y + 160);
    labels_[1]->setCenterAndResize(x + 185, y + 184);
    labels_[2]->setCenterAndResize(x + 275, y + 118);
}

void UIGalleryPanel::onDrawPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16> depthMap,
                               ImageRef<RGBA8> materialMap, const core::Vec<Box>& dirtyRects) {
    const int w = width(), h = height();
    forEachDirtyRect(diffuseMap, depthMap, materialMap, dirtyRects, [&](const PBRCanvas& c) {
        const Box all = c.box(Box(0, 0, w, h));
        fillRectFloat<true>(c.diffuse, all.min.x, all.min.y, all.max.x, all.max.y, RGBA8{48, 50, 58, 0},
                            1.0f);
        fillRectFloat<true>(c.depth, all.min.x, all.min.y, all.max.x, all.max.y, L16{20000}, 1.0f);
        fillRectFloat<true>(c.material, all.min.x, all.min.y, all.max.x, all.max.y, material(170, 30, 60),
                            1.0f);
        // A two-pixel groove eight pixels inside the edge.
        const Box outer = c.box(Box(8, 8, w - 8, h - 8)), inner = c.box(Box(10, 10, w - 10, h - 10));
        fillRectFloat<true>(c.depth, outer.min.x, outer.min.y, outer.max.x, outer.max.y, L16{18500}, 1.0f);
        fillRectFloat<true>(c.depth, inner.min.x, inner.min.y, inner.max.x, inner.max.y, L16{20000}, 1.0f);
    });
}

UIGalleryPanel* buildGallery(gui::UIElement& parent, UIContext* context, const GalleryBindings& bindings,
                             graphics::Font* font) {
    return parent.addNew<UIGalleryPanel>(context, bindings, font);
}

}  // namespace plugkit::pbrwidgets
