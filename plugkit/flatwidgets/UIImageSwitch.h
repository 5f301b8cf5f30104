#pragma once

#include "plugkit/client/Parameter.h"
#include "plugkit/graphics/OwnedImage.h"
#include "plugkit/gui/UIElement.h"

namespace plugkit::flatwidgets {

// A two-state button bound to a boolean parameter, drawn from one image per state (blended with the
// image's alpha). A click toggles the value, an Alt-click sets the default, each as one edit gesture
// through the parameter's editor path. Listens to the parameter and marks itself dirty on changes.
// Parameter and images are not owned and must outlive the switch.
class UIImageSwitch : public gui::UIElement, public client::IParameterListener {
public:
    // [editor thread] Listens to parameter; draws in the raw layer only. width and height are those
    // of onImage.
    UIImageSwitch(gui::UIContext* context, client::BoolParameter* parameter,
                  const graphics::OwnedImage<graphics::RGBA8>* onImage,
                  const graphics::OwnedImage<graphics::RGBA8>* offImage);
    // [editor thread] Stops listening to the parameter.
    ~UIImageSwitch() override;

    // [editor or pool thread] The parameter's current value.
    bool getState();
    client::BoolParameter* param() const { return param_; }
    int imageWidth() const { return width_; }
    int imageHeight() const { return height_; }

    // [any thread] Marks the switch dirty; the edit notifications change nothing.
    void onParameterChanged(client::Parameter* parameter) override;
    void onBeginParameterEdit(client::Parameter* parameter) override;
    void onEndParameterEdit(client::Parameter* parameter) override;

    // [editor thread] Toggles (or resets with Alt); always takes the click.
    bool onMouseClick(int x, int y, int button, bool isDoubleClick, gui::MouseState mstate) override;
    // [editor thread] A switch does not drag: these four do nothing.
    void onMouseMove(int x, int y, int dx, int dy, gui::MouseState mstate) override;
    void onBeginDrag() override;
    void onMouseDrag(int x, int y, int dx, int dy, gui::MouseState mstate) override;
    void onStopDrag() override;
    // [editor thread] Both mark the switch dirty.
    void onMouseEnter() override;
    void onMouseExit() override;
    // [editor or pool thread] Blends the image of the current state (pixels beyond it are left alone).
    void onDrawRaw(graphics::ImageRef<graphics::RGBA8> rawMap,
                   const core::Vec<graphics::Box>& dirtyRects) override;

private:
    client::BoolParameter* param_;
    const graphics::OwnedImage<graphics::RGBA8>* onImage_;
    const graphics::OwnedImage<graphics::RGBA8>* offImage_;
    int width_;
    int height_;
};

}  // namespace plugkit::flatwidgets
