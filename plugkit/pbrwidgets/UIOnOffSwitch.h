#pragma once

#include <atomic>

#include "plugkit/client/Parameter.h"
#include "plugkit/gui/UIElement.h"
#include "plugkit/pbrwidgets/PBRCanvas.h"

namespace plugkit::pbrwidgets {

using gui::MouseState;
using gui::UIContext;

// A two-state switch bound to a boolean parameter: a sunken rounded track and a raised lever that
// slides to the right when on, where the track glows. The lever eases between the two ends over
// about a tenth of a second.
class UIOnOffSwitch : public gui::UIElement, public client::IParameterListener {
public:
    // [editor thread] Listens to param (not owned; it must outlive the switch).
    UIOnOffSwitch(UIContext* context, client::BoolParameter* param);
    ~UIOnOffSwitch() override;

    // [any thread] The parameter's value (lock-free read).
    bool getState() const { return param_->valueAtomic(); }
    // [editor thread] Lever position: 0 at the off end, 1 at the on end.
    float leverPosition() const { return lever_; }

    // [editor thread] Toggles in one gesture; with Alt, sets the default instead.
    bool onMouseClick(int x, int y, int button, bool isDoubleClick, MouseState mstate) override;
    // [editor thread] Moves the lever towards the state and redraws while it moves.
    void onAnimate(double dt, double time) override;

    // [editor or pool thread]
    void onDrawPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA8> materialMap,
                   const core::Vec<Box>& dirtyRects) override;

    // [any thread but audio]
    void onParameterChanged(client::Parameter*) override { setDirtyWhole(); }
    void onBeginParameterEdit(client::Parameter*) override {}
    void onEndParameterEdit(client::Parameter*) override {}

private:
    client::BoolParameter* param_;
    float lever_;
};

}  // namespace plugkit::pbrwidgets
