#pragma once

#include "plugkit/flatwidgets/UIFilmstripControl.h"

namespace plugkit::flatwidgets {

// A rectangular control drawn from a filmstrip (the editor's vertical sliders): the whole element
// takes clicks (Alt-click or double click resets to the default); a drag over the full height
// changes the normalized value by 1.4. It animates for a moment after a drag begins or ends, so
// that it is redrawn then. The element should have the size of one frame.
class UIFilmstripSlider : public UIFilmstripControl {
public:
    // [editor thread] Listens to parameter; draws in the raw layer and wants animation ticks.
    UIFilmstripSlider(UIContext* context, FloatParameter* parameter, const OwnedImage<RGBA8>* filmstrip,
                      int numFrames);

    // [editor thread] 0 at rest, easing towards 1 while the slider is dragged.
    float pushedAnimation() const { return pushedAnimation_; }

    // [editor thread] Takes every click inside the element (Alt or double click: reset first).
    bool onMouseClick(int x, int y, int button, bool isDoubleClick, MouseState mstate) override;
    // [editor thread] Ends the gesture.
    void onStopDrag() override;
    // [editor thread] Hovering changes nothing on a slider.
    void onMouseEnter() override;
    void onMouseExit() override;
    // [editor thread] Eases pushedAnimation with exp(-30 dt) and marks the slider dirty while it
    // still moves by more than 0.001.
    void onAnimate(double dt, double time) override;

private:
    float pushedAnimation_ = 0.0f;
};

}  // namespace plugkit::flatwidgets
