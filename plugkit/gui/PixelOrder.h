#pragma once

#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/ImageRef.h"
#include "plugkit/window/IWindow.h"

namespace plugkit::gui {

// [any thread] Converts the pixels of area (clipped to image) in place from RGBA8 to the window's
// byte order with alpha forced to 255: bgra swaps red and blue, argb rotates to alpha, red, green,
// blue, rgba only sets alpha. Other values leave the pixels alone. Four pixels per step.
void reorderPixels(graphics::ImageRef<graphics::RGBA8> image, graphics::Box area,
                   window::WindowPixelFormat format);

}  // namespace plugkit::gui
