#include "plugkit/pbrwidgets/UIOnOffSwitch.h"

#include <cmath>

#include "plugkit/graphics/Draw.h"

namespace plugkit::pbrwidgets {

using graphics::aaFillRectFloat;
using graphics::aaSoftDisc;

UIOnOffSwitch::UIOnOffSwitch(UIContext* context, client::BoolParameter* param)
    : UIElement(context, gui::flagPBR | gui::flagAnimated),
      param_(param),
      lever_(param->valueAtomic() ? 1.0f : 0.0f) {
    param_->addListener(this);
}

UIOnOffSwitch::~UIOnOffSwitch() { param_->removeListener(this); }

bool UIOnOffSwitch::onMouseClick(int, int, int, bool, MouseState mstate) {
    param_->beginParamEdit();
    param_->setFromGUI(mstate.altHeld ? param_->defaultValue() : !param_->value());
    param_->endParamEdit();
    return true;
}

void UIOnOffSwitch::onAnimate(double dt, double) {
    const float target = getState() ? 1.0f : 0.0f;
    const float e = static_cast<float>(std::exp(-30.0 * dt));
    float next = lever_ * e + target * (1.0f - e);
    if (std::fabs(next - target) < 0.002f) next = target;
    if (next != lever_) {
        lever_ = next;
        setDirtyWhole();
    }
}

void UIOnOffSwitch::onDrawPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA8> materialMap,
                              const core::Vec<Box>& dirtyRects) {
    const float w = static_cast<float>(width()), h = static_cast<float>(height());
    const float r = h * 0.5f;  // track end radius
    const float leverX = r + lever_ * (w - 2 * r);
    // The track glows in proportion to how far the lever has travelled.
    const auto glow = static_cast<std::uint8_t>(std::lround(lever_ * 200.0f));
    const RGBA8 track{static_cast<std::uint8_t>(20 + lever_ * 40),
                      static_cast<std::uint8_t>(22 + lever_ * 180),
                      static_cast<std::uint8_t>(26 + lever_ * 90), glow};
    forEachDirtyRect(diffuseMap, depthMap, materialMap, dirtyRects, [&](const PBRCanvas& c) {
        // Track: a rectangle between two half discs, sunk into the panel.
        aaFillRectFloat<true>(c.diffuse, c.x(r), c.y(1), c.x(w - r), c.y(h - 1), track);
        aaFillRectFloat<true>(c.depth, c.x(r), c.y(1), c.x(w - r), c.y(h - 1), L16{15000});
        aaFillRectFloat<true>(c.material, c.x(r), c.y(1), c.x(w - r), c.y(h - 1), material(190, 0, 40));
        for (float ex : {r, w - r}) {
            aaSoftDisc(c.diffuse, c.x(ex), c.y(r), r - 2, r - 1, track, 1.0f);
            aaSoftDisc(c.depth, c.x(ex), c.y(r), r - 2, r - 1, L16{15000}, 1.0f);
            aaSoftDisc(c.material, c.x(ex), c.y(r), r - 2, r - 1, material(190, 0, 40), 1.0f);
        }
        // Lever: a domed metal disc.
        aaSoftDisc(c.depth, c.x(leverX), c.y(r), r * 0.5f, r - 1, L16{33000}, 1.0f, 1.2f);
        aaSoftDisc(c.diffuse, c.x(leverX), c.y(r), r - 3, r - 2, RGBA8{150, 152, 160, 0}, 1.0f);
        aaSoftDisc(c.material, c.x(leverX), c.y(r), r - 3, r - 2, material(60, 210, 220), 1.0f);
    });
}

}  // namespace plugkit::pbrwidgets
