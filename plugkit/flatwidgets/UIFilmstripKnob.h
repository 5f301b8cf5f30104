#pragma once

#include "plugkit/flatwidgets/UIFilmstripControl.h"

namespace plugkit::flatwidgets {

// A round control drawn from a filmstrip: clicks inside the disc inscribed in the element start a
// drag (Alt-click or double click resets to the default); a drag over the full height changes the
// normalized value by 0.25. The element should have the size of one frame.
class UIFilmstripKnob : public UIFilmstripControl {
public:
    // [editor thread] Listens to parameter; draws in the raw layer only.
    UIFilmstripKnob(UIContext* context, FloatParameter* parameter, const OwnedImage<RGBA8>* filmstrip,
                    int numFrames);

    // [any thread] Euclidean distance between (x1, y1) and (x2, y2).
    static float distance(float x1, float x2, float y1, float y2);
    // [editor thread] True when the local point lies strictly inside the disc inscribed in the
    // largest centred square of the element.
    bool insideDisc(int x, int y) const;

    // [editor thread] Declines clicks outside the disc so that they reach the elements below.
    bool onMouseClick(int x, int y, int button, bool isDoubleClick, MouseState mstate) override;
    // [editor thread] Hovering changes nothing on a knob.
    void onMouseMove(int x, int y, int dx, int dy, MouseState mstate) override;
    // [editor thread] Ends the gesture and forgets the crossing rows.
    void onStopDrag() override;
    // [editor thread] Nothing.
    void onMouseExit() override;
};

}  // namespace plugkit::flatwidgets
