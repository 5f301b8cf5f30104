#pragma once

#include <string_view>

#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/Font.h"
#include "plugkit/graphics/ImageRef.h"
#include "plugkit/graphics/OwnedImage.h"
#include "plugkit/graphics/TextRendering.h"

namespace imagegen {

namespace gfx = plugkit::graphics;
using gfx::RGBA8;

// Painting with straight (non-premultiplied) alpha on top of the framework's rasterisers. A shape
// is rasterised in white into a coverage mask (the red channel of an opaque black RGBA8 image), and
// then laid over the target with the Porter-Duff "over" rule, so anti-aliased edges keep their
// colour on transparent images too. Single-threaded tool code.
class Mask {
public:
    Mask(int width, int height);
    // Back to no coverage anywhere.
    void clear();
    // The mask image to draw into with kInk (plugkit::graphics routines).
    gfx::ImageRef<RGBA8> ref() const { return image_.toRef(); }
    // Coverage 0..1 of pixel (x, y).
    float at(int x, int y) const { return image_.pixel(x, y).r / 255.0f; }
    int width() const { return image_.width(); }
    int height() const { return image_.height(); }

    static constexpr RGBA8 kInk{255, 255, 255, 255};

private:
    gfx::OwnedImage<RGBA8> image_;
};

// Colour of a pixel of a shape: a flat colour, or a vertical gradient over rows y0 .. y1.
struct Paint {
    RGBA8 top;
    RGBA8 bottom;
    float y0 = 0.0f, y1 = 1.0f;
    static Paint flat(RGBA8 c) { return Paint{c, c, 0.0f, 1.0f}; }
    static Paint vertical(RGBA8 top, RGBA8 bottom, float y0, float y1) { return Paint{top, bottom, y0, y1}; }
    RGBA8 at(int y) const;
};

// Lays paint over target through mask (mask pixel (x, y) covers target pixel (x + dx, y + dy)),
// with an extra opacity factor.
void composite(gfx::ImageRef<RGBA8> target, const Mask& mask, const Paint& paint, float opacity = 1.0f,
               int dx = 0, int dy = 0);
// Lays one colour over one pixel with coverage c.
void blendOver(RGBA8& d, RGBA8 s, float c);

// Shapes drawn into a mask (coverage adds up with "over").
void roundRect(Mask& mask, float x1, float y1, float x2, float y2, float radius);
void disc(Mask& mask, float cx, float cy, float radius);
// Arc of a ring between angles a0 < a1 < a0 + 2 pi (radians, clockwise from +x on screen).
void arc(Mask& mask, float cx, float cy, float rInner, float rOuter, float a0, float a1);
void text(Mask& mask, gfx::Font& font, std::string_view s, float size, float x, float y,
          gfx::HorizontalAlignment h = gfx::HorizontalAlignment::center,
          gfx::VerticalAlignment v = gfx::VerticalAlignment::center, float spacing = 0.5f);

// Fills a whole shape in one call: mask cleared, shape drawn, composited.
template <class Shape>
void fill(gfx::ImageRef<RGBA8> target, Mask& mask, const Paint& paint, Shape shape, float opacity = 1.0f) {
    mask.clear();
    shape(mask);
    composite(target, mask, paint, opacity);
}

// Helpers on colours.
RGBA8 rgb(unsigned hex, int alpha = 255);
RGBA8 withAlpha(RGBA8 c, int alpha);

}  // namespace imagegen
