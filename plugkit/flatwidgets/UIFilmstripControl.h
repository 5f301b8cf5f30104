#pragma once

#include "plugkit/client/Parameter.h"
#include "plugkit/graphics/OwnedImage.h"
#include "plugkit/gui/UIElement.h"

namespace plugkit::flatwidgets {

using client::FloatParameter;
using graphics::Box;
using graphics::OwnedImage;
using graphics::RGBA8;
using gui::MouseState;
using gui::UIContext;

// [any thread] The frame of a numFrames filmstrip that shows a normalized value: (numFrames - 1) * v
// in single precision, rounded half away from zero, kept within 0 .. numFrames - 1.
int filmstripFrame(double normalized, int numFrames);

// What knob and slider share: a float parameter shown as one frame of a filmstrip (frames stacked
// vertically, frame 0 at the top) and changed by vertical drags through the parameter's editor
// path, each drag being one edit gesture. The element listens to the parameter and marks itself
// dirty on every change; the frame is read from the parameter at each drawing. Parameter and
// filmstrip are not owned and must outlive the element.
class UIFilmstripControl : public gui::UIElement, public client::IParameterListener {
public:
    // [editor thread] Stops listening to the parameter.
    ~UIFilmstripControl() override;

    // [editor thread] Value change of a drag over the element's full height at modifier 1.
    float sensivity() const { return sensitivity_; }
    void sensivity(float sensitivity) { sensitivity_ = sensitivity; }
    // [editor thread] A disabled control ignores drags; Alt-clicks and double clicks still reset it.
    void disable(bool disabled = true) { disabled_ = disabled; }
    bool isDisabled() const { return disabled_; }
    // [editor or pool thread] Recomputes the current frame and its source rectangle from the parameter.
    void setCurrentImage();
    // [editor thread] Forgets where the value last hit 0 or 1 (see onMouseDrag).
    void clearCrosspoints();

    // [editor thread] Frame chosen by the last setCurrentImage, its rectangle in the filmstrip.
    int currentFrame() const { return currentFrame_; }
    Box currentImageRect() const { return Box(imageX1_, imageY1_, imageX2_, imageY2_); }
    int frameWidth() const { return frameWidth_; }
    int frameHeight() const { return frameHeight_; }
    FloatParameter* param() const { return param_; }

    // [any thread] Marks the element dirty; the edit notifications change nothing.
    void onParameterChanged(client::Parameter* parameter) override;
    void onBeginParameterEdit(client::Parameter* parameter) override;
    void onEndParameterEdit(client::Parameter* parameter) override;

    // [editor thread] Starts the edit gesture; a fresh drag starts with no crossing recorded.
    void onBeginDrag() override;
    // [editor thread] Moves the value by -dy / height * sensitivity (a tenth of that with Control or
    // Shift; Alt gives the default), clamped to 0..1. Once the value hits 0 (or 1) at pointer row
    // y, the pointer has to come back to y before the value follows it again.
    void onMouseDrag(int x, int y, int dx, int dy, MouseState mstate) override;
    // [editor or pool thread] Blends the current frame over the dirty rectangles with its alpha.
    void onDrawRaw(graphics::ImageRef<RGBA8> rawMap, const core::Vec<Box>& dirtyRects) override;

protected:
    // [editor thread] Listens to parameter. numFrames below 1 counts as 1.
    UIFilmstripControl(UIContext* context, std::uint32_t flags, FloatParameter* parameter,
                       const OwnedImage<RGBA8>* filmstrip, int numFrames, float sensitivity);
    // [editor thread] A click taken by the control: with Alt or as a double click, sets the default
    // inside its own begin/end gesture. Always true.
    bool takeClick(bool isDoubleClick, MouseState mstate);

private:
    FloatParameter* param_;
    const OwnedImage<RGBA8>* filmstrip_;
    int numFrames_;
    int imageX1_ = 0, imageX2_ = 0, imageY1_ = 0, imageY2_ = 0;
    int currentFrame_ = 0;
    int frameWidth_;
    int frameHeight_;
    float sensitivity_;
    // Pointer rows where the current drag drove the value to 0 / to 1; +inf / -inf (or NaN) for none.
    float mousePosOnLast0Cross_;
    float mousePosOnLast1Cross_;
    bool disabled_ = false;
};

}  // namespace plugkit::flatwidgets
