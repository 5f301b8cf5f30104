#pragma once

#include <cstddef>
#include <cstdint>

#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/ImageRef.h"
#include "plugkit/window/IWindow.h"

// The parts of the X11 window that need no display: the scale factor of a high-density screen,
// coordinate mapping, key and button translation and the enlarged copy of the rendered buffer.
// All [any thread], no state.
namespace plugkit::window {

// What decides the scale factor, gathered from the environment and the X server.
struct ScaleInputs {
    const char* forced = nullptr;         // TOLVA_UI_SCALE: a whole factor that overrides everything
    const char* gdkScale = nullptr;       // GDK_SCALE: the desktop's whole factor
    const char* qtScaleFactor = nullptr;  // QT_SCALE_FACTOR: may be fractional
    double xftDpi = 0;                    // Xft.dpi resource, 0 when absent
    double serverDpi = 0;                 // from the screen's size in pixels and millimetres, 0 if unknown
    int editorWidth = 0, editorHeight = 0;
    int screenWidth = 0, screenHeight = 0;  // 0 when unknown: no limit
};

// Largest factor chooseScaleFactor returns.
constexpr int kMaxScaleFactor = 8;

// Whole factor for a density ratio (dpi / 96 or a fractional desktop scale): ratios from 1.75 up
// round to the next factor, smaller fractions are dropped, so 96 dpi gives 1, 144 gives 1, 192 gives
// 2. Never below 1.
int wholeScaleFactor(double ratio);

// The value of the Xft.dpi line of an X resource string, 0 when there is none.
double parseXftDpi(const char* resources);

// The editor's scale factor: the first source present among forced, GDK_SCALE, QT_SCALE_FACTOR,
// Xft.dpi and the server's DPI; 1 when none says anything. Except when forced, the factor is lowered
// until the enlarged editor fits the screen. Clamped to 1 .. kMaxScaleFactor.
int chooseScaleFactor(const ScaleInputs& in);

// Editor coordinate of window coordinate v (rounding towards minus infinity, so points left of or
// above the window stay negative).
constexpr int toEditorCoordinate(int v, int factor) {
    return v >= 0 ? v / factor : -((-v + factor - 1) / factor);
}

// The window area that shows editor area a.
constexpr graphics::Box toWindowArea(const graphics::Box& a, int factor) {
    return graphics::Box(a.min.x * factor, a.min.y * factor, a.max.x * factor, a.max.y * factor);
}

// Key of a keysym as XLookupString gives it (shift already applied): the same keys as on macOS;
// keypad digits count as digits, a space is unsupported as it is there.
Key translateX11KeySym(unsigned long keysym);

// Buttons and modifiers from an X event's state mask; the extra buttons (8 and 9) come from the
// caller, who tracks them since the core protocol has no mask for them.
MouseState x11MouseState(unsigned int stateMask, bool extra1Down, bool extra2Down);

// What an X button number means.
struct X11ButtonAction {
    enum Kind { none, click, wheel, extra } kind = none;
    MouseButton button = MouseButton::left;  // click
    int wheelDeltaX = 0, wheelDeltaY = 0;    // wheel, in tenths of a notch
    int extraIndex = 0;                      // extra: 1 or 2
};
// Buttons 1, 2, 3 click left, middle and right; 4 and 5 scroll up and down (+10 / -10); 6 and 7
// scroll left and right (+10 / -10); 8 and 9 are the extra buttons; others do nothing.
X11ButtonAction classifyX11Button(unsigned int button);

// Copies area (clipped to src) of src into dst, each pixel enlarged to factor x factor. dst holds
// the whole enlarged image with dstPitch bytes per row and 4 bytes per pixel.
void copyEnlarged(const graphics::ImageRef<const graphics::RGBA8>& src, const graphics::Box& area,
                  std::uint8_t* dst, std::ptrdiff_t dstPitch, int factor);

}  // namespace plugkit::window
