#pragma once

#include "plugkit/client/Parameter.h"
#include "plugkit/gui/UIElement.h"
#include "plugkit/pbrwidgets/PBRCanvas.h"
#include "plugkit/pbrwidgets/ValueDrag.h"

namespace plugkit::pbrwidgets {

using gui::MouseState;
using gui::UIContext;

// A rotary knob bound to a float parameter, drawn into the PBR maps: a bevelled metal cap with an
// indicator at the value's angle, inside a groove whose lit trail runs from the base angle to the
// value (the trail glows: its diffuse alpha is emissive). Angles are radians with y downwards
// (clockwise on screen); the range runs from down-left through the top to down-right.
class UIKnob : public gui::UIElement, public client::IParameterListener {
public:
    static constexpr float kDefaultSensitivity = 0.25f;

    // [editor thread] Listens to param (not owned; it must outlive the knob).
    UIKnob(UIContext* context, client::FloatParameter* param);
    ~UIKnob() override;

    // [any thread] Angle of the lowest and highest values, of the trail's start, and of the value.
    virtual float getMinAngle() const;
    virtual float getMaxAngle() const;
    virtual float getBaseAngle() const;
    virtual float getValueAngle() const;
    // [any thread] The parameter's normalised value (lock-free read).
    float normalizedValue() const;

    // [editor thread] Only points on the knob's disc (the largest centred circle) hit it.
    bool contains(int x, int y) override;
    // [editor thread] Alt-click or double click resets to the default in one gesture; any click
    // on the disc starts a drag.
    bool onMouseClick(int x, int y, int button, bool isDoubleClick, MouseState mstate) override;
    void onBeginDrag() override;
    // [editor thread] Vertical drag: a drag over the knob's height changes the value by the sensitivity.
    void onMouseDrag(int x, int y, int dx, int dy, MouseState mstate) override;
    void onStopDrag() override;

    // [editor or pool thread]
    void onDrawPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA8> materialMap,
                   const core::Vec<Box>& dirtyRects) override;

    // [any thread] The value changed: redraw.
    void onParameterChanged(client::Parameter*) override { setDirtyWhole(); }
    void onBeginParameterEdit(client::Parameter*) override {}
    void onEndParameterEdit(client::Parameter*) override {}

    float sensivity() const { return drag_.sensitivity(); }
    void sensivity(float s) { drag_.setSensitivity(s); }

protected:
    // Draws the groove and the trail from the base angle to the value angle.
    virtual void drawTrail(const PBRCanvas& c, float cx, float cy, float radius);
    // Draws the cap and the indicator.
    virtual void drawKnob(const PBRCanvas& c, float cx, float cy, float radius);

private:
    void disc(float& cx, float& cy, float& radius) const;

    client::FloatParameter* param_;
    ValueDrag drag_{kDefaultSensitivity};
};

}  // namespace plugkit::pbrwidgets
