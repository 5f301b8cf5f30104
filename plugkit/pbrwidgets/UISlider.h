#pragma once

#include "plugkit/client/Parameter.h"
#include "plugkit/gui/UIBufferedElementPBR.h"
#include "plugkit/pbrwidgets/PBRCanvas.h"
#include "plugkit/pbrwidgets/ValueDrag.h"

namespace plugkit::pbrwidgets {

using gui::MouseState;
using gui::UIContext;

// A vertical slider bound to a float parameter: a sunken slot whose part below the value glows,
// and a raised, bevelled cap at the value. Drawn once into private PBR buffers and redrawn only
// when the value changes or a drag starts or ends.
class UISlider : public gui::UIBufferedElementPBR, public client::IParameterListener {
public:
    static constexpr float kDefaultSensitivity = 1.4f;
    static constexpr int kCapHeight = 16;
    static constexpr int kPadding = 4;

    // [editor thread] Listens to param (not owned; it must outlive the slider).
    UISlider(UIContext* context, client::FloatParameter* param);
    ~UISlider() override;

    // [any thread] The parameter's normalised value (lock-free read).
    float normalizedValue() const;
    // [editor thread] Top row of the cap for a normalised value.
    int capTop(float normalized) const;

    // [editor thread] Alt-click or double click resets to the default; any click starts a drag.
    bool onMouseClick(int x, int y, int button, bool isDoubleClick, MouseState mstate) override;
    void onBeginDrag() override;
    // [editor thread] Vertical drag: a drag over the slider's height changes the value by the sensitivity.
    void onMouseDrag(int x, int y, int dx, int dy, MouseState mstate) override;
    void onStopDrag() override;

    // [editor or pool thread]
    void onDrawBufferedPBR(ImageRef<RGBA8> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA8> materialMap,
                           ImageRef<L8> diffuseOpacity, ImageRef<L8> depthOpacity,
                           ImageRef<L8> materialOpacity) override;

    // [any thread but audio]
    void onParameterChanged(client::Parameter*) override { setDirtyWhole(); }
    void onBeginParameterEdit(client::Parameter*) override {}
    void onEndParameterEdit(client::Parameter*) override {}

    float sensivity() const { return drag_.sensitivity(); }
    void sensivity(float s) { drag_.setSensitivity(s); }

private:
    client::FloatParameter* param_;
    ValueDrag drag_{kDefaultSensitivity};
};

}  // namespace plugkit::pbrwidgets
