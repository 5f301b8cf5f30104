#pragma once

#include <cstdint>

#include "plugkit/graphics/Box.h"
#include "plugkit/window/IWindow.h"

// The parts of the macOS window that need no system: coordinate, key, wheel and modifier
// translation, the repaint rectangle and the view class name. All [any thread], no state.
namespace plugkit::window {

using graphics::Point;

// A rectangle in the view's coordinates (y axis up), laid out as NSRect.
struct CocoaRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    constexpr bool operator==(const CocoaRect&) const = default;
};

// Editor pixel of a point given in window coordinates (y up) when the buffer is bufferHeight rows
// high: x - 2, bufferHeight - 3 - y, after dropping the fractions.
Point cocoaMousePosition(double windowX, double windowY, int bufferHeight);

// Buttons from NSEvent's pressedMouseButtons (bit 0 left, 1 right, 2 middle) and modifiers from the
// event's modifierFlags (bit 17 shift, 18 control, 19 option). The extra buttons stay false.
MouseState cocoaMouseState(std::uint64_t pressedButtons, std::uint64_t modifierFlags);

// Wheel delta in tenths of a notch: integer part of (delta * 10 + 0.5).
int cocoaWheelDelta(double delta);

// Key of a key event: keyCode first (enter, backspace, escape, keypad digits, arrows), otherwise the
// first character of charactersIgnoringModifiers (charCount 0 when the string is empty): digits and
// letters, everything else unsupported.
Key cocoaTranslateKey(std::uint16_t keyCode, std::uint64_t charCount, std::uint16_t firstChar);

// "otherMouseDown:" / "otherMouseUp:" act only for the middle button (buttonNumber 2).
constexpr bool cocoaOtherButtonIsMiddle(std::int64_t buttonNumber) { return buttonNumber == 2; }

// The rectangle a timer tick asks to repaint for dirty area in editor pixels (y down) when the
// view's bounds are boundsHeight high; false (and out unchanged) when dirty is empty.
bool cocoaRepaintRect(const Box& dirty, double boundsHeight, CocoaRect* out);

// Size of a view class name: "PlugkitView_", a 36-character UUID and the terminating zero.
constexpr int kCocoaViewClassNameSize = 49;

// Writes "PlugkitView_" and a fresh random UUID to dest, so that every window registers a view
// class of its own (a plug-in loaded twice must not meet a class of another copy).
void makeCocoaViewClassName(char (&dest)[kCocoaViewClassNameSize]);

}  // namespace plugkit::window
