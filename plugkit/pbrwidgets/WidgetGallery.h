#pragma once

#include "plugkit/client/Parameter.h"
#include "plugkit/graphics/Font.h"
#include "plugkit/gui/UIElement.h"
#include "plugkit/pbrwidgets/UIKnob.h"
#include "plugkit/pbrwidgets/UILabel.h"
#include "plugkit/pbrwidgets/UIOnOffSwitch.h"
#include "plugkit/pbrwidgets/UISlider.h"

namespace plugkit::pbrwidgets {

// The parameters the gallery's widgets control (not owned).
struct GalleryBindings {
    client::FloatParameter* knob = nullptr;
    client::FloatParameter* slider = nullptr;
    client::BoolParameter* power = nullptr;
};

// A matte panel holding one of each lit widget with its caption. Its reflow lays them out at fixed
// offsets from the panel's corner; the panel itself takes kWidth x kHeight of the space it is given.
class UIGalleryPanel : public gui::UIElement {
public:
    static constexpr int kWidth = 340;
    static constexpr int kHeight = 200;

    // [editor thread] Creates the widgets as its children.
    UIGalleryPanel(UIContext* context, const GalleryBindings& bindings, graphics::Font* font);

    // [editor thread] Takes kWidth x kHeight at the corner of availableSpace and places the widgets.
    void reflow(Box availableSpace) override;
    // [editor or pool thread] The panel: flat, matte, with a sunken frame.
    void onDrawPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA8> materialMap,
                   const core::Vec<Box>& dirtyRects) override;

    UIKnob* knob() const { return knob_; }
    UISlider* slider() const { return slider_; }
    UIOnOffSwitch* powerSwitch() const { return power_; }

private:
    UIKnob* knob_;
    UISlider* slider_;
    UIOnOffSwitch* power_;
    UILabel* labels_[3];
};

// [editor thread] Adds the gallery panel to parent and returns it.
UIGalleryPanel* buildGallery(gui::UIElement& parent, UIContext* context, const GalleryBindings& bindings,
                             graphics::Font* font);

}  // namespace plugkit::pbrwidgets
