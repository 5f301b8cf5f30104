#pragma once

#include <cstdint>
#include <string_view>

#include "plugkit/client/Parameter.h"
#include "plugkit/core/RecursiveMutex.h"
#include "plugkit/graphics/Font.h"
#include "plugkit/gui/UIElement.h"

namespace pelgui {

using plugkit::client::FloatParameter;
using plugkit::graphics::Box;
using plugkit::graphics::Font;
using plugkit::graphics::RGBA8;

// A text label showing a float parameter's value and unit ("-3.00dB", "4.00 "), centred in the
// element and drawn transparently (glyphs only) in the raw layer. It follows the parameter as a
// listener, from whatever thread changes it; a redraw shows either the previous or the new text
// whole. Parameter and font are not owned and must outlive the label.
class UIParamLabel : public plugkit::gui::UIElement, public plugkit::client::IParameterListener {
public:
    static constexpr int kTextBufferSize = 256;

    // [editor thread] decimals is the preferred number of decimals, maxDigits the most digits of
    // integer part (sign included) and decimals together; separator goes between number and unit.
    // Listens to parameter and formats the first text.
    UIParamLabel(plugkit::gui::UIContext* context, FloatParameter* parameter, Font* font, RGBA8 textColor,
                 int textSize, int decimals, int maxDigits, const char* separator = " ");
    // [editor thread] Stops listening to the parameter.
    ~UIParamLabel() override;

    // [editor thread] Formats the current value into the label's buffer and returns a view of it,
    // valid until the next formatting: precision = decimals while digits of the integer part plus
    // decimals stay below maxDigits, else what maxDigits leaves (at least 0); then separator, unit.
    std::string_view paramString();
    // [any thread] Digits of n, plus one for a minus sign; 0 for 0.
    static int numDigits(int n);
    // [any thread] A copy of the text shown (zero-terminated, cut to size).
    void copyText(char* buffer, int size);

    // [any thread] Reformats the text and marks the label dirty; the edit notifications change nothing.
    void onParameterChanged(plugkit::client::Parameter* parameter) override;
    void onBeginParameterEdit(plugkit::client::Parameter* parameter) override;
    void onEndParameterEdit(plugkit::client::Parameter* parameter) override;
    // [editor thread] As onParameterChanged (the label does not ask for animation ticks).
    void onAnimate(double dt, double time) override;
    // [editor or pool thread] Draws the text centred on the element, clipped to each dirty rectangle.
    void onDrawRaw(plugkit::graphics::ImageRef<RGBA8> rawMap,
                   const plugkit::core::Vec<Box>& dirtyRects) override;

private:
    // Formats into textBuffer_; the caller holds textLock_.
    std::string_view formatLocked();

    FloatParameter* param_;
    std::string_view text_;
    RGBA8 textColor_;
    Font* font_;
    int textSize_;
    int decimals_;
    int maxDigits_;
    char* separator_;
    // Guards textBuffer_ and text_: held only while formatting and while the drawing copies the text.
    plugkit::core::RecursiveMutex textLock_;
    char textBuffer_[kTextBufferSize] = {};
};

}  // namespace pelgui
