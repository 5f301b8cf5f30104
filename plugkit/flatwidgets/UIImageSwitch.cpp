#include "plugkit/flatwidgets/UIImageSwitch.h"

#include "plugkit/flatwidgets/FilmstripBlend.h"

namespace plugkit::flatwidgets {

UIImageSwitch::UIImageSwitch(gui::UIContext* context, client::BoolParameter* parameter,
                             const graphics::OwnedImage<graphics::RGBA8>* onImage,
                             const graphics::OwnedImage<graphics::RGBA8>* offImage)
    : UIElement(context, gui::flagRaw),
      param_(parameter),
      onImage_(onImage),
      offImage_(offImage),
      width_(onImage->width()),
      height_(onImage->height()) {
    param_->addListener(this);
}

UIImageSwitch::~UIImageSwitch() { param_->removeListener(this); }

bool UIImageSwitch::getState() { return param_->value(); }

void UIImageSwitch::onParameterChanged(client::Parameter*) { setDirtyWhole(); }
void UIImageSwitch::onBeginParameterEdit(client::Parameter*) {}
void UIImageSwitch::onEndParameterEdit(client::Parameter*) {}

bool UIImageSwitch::onMouseClick(int, int, int, bool, gui::MouseState mstate) {
    param_->beginParamEdit();
    param_->setFromGUI(mstate.altHeld ? param_->defaultValue() : !param_->value());
    param_->endParamEdit();
    return true;
}

void UIImageSwitch::onMouseMove(int, int, int, int, gui::MouseState) {}
void UIImageSwitch::onBeginDrag() {}
void UIImageSwitch::onMouseDrag(int, int, int, int, gui::MouseState) {}
void UIImageSwitch::onStopDrag() {}
void UIImageSwitch::onMouseEnter() { setDirtyWhole(); }
void UIImageSwitch::onMouseExit() { setDirtyWhole(); }

void UIImageSwitch::onDrawRaw(graphics::ImageRef<graphics::RGBA8> rawMap,
                              const core::Vec<graphics::Box>& dirtyRects) {
    const graphics::OwnedImage<graphics::RGBA8>* image = getState() ? onImage_ : offImage_;
    blendOver(rawMap, image->toRef().asConst(), dirtyRects);
}

}  // namespace plugkit::flatwidgets
