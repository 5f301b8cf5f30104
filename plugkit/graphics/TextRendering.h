#pragma once

#include <string_view>

#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/Font.h"
#include "plugkit/graphics/ImageRef.h"

namespace plugkit::graphics {

// center (1) centres the text on the position along that axis; any other value leaves the position
// as the pen origin (left end of the baseline).
enum class HorizontalAlignment { left = 0, center = 1, right = 2 };
enum class VerticalAlignment { top = 0, center = 1, baseline = 2 };

// A view of image's rectangle area: pixel (x, y) of the view is pixel (area.min.x + x, area.min.y + y)
// of the image; the view is area's size. Pixels outside the image are never touched.
struct Crop {
    ImageRef<RGBA8> image;
    Box area;
    int width() const { return area.width(); }
    int height() const { return area.height(); }
};

// [any thread] The view of image over area.
inline Crop crop(ImageRef<RGBA8> image, const Box& area) { return Crop{image, area}; }

// [any thread; takes font's lock] Blends text of one colour into target at (positionX, positionY)
// with the given alignments: r, g, b = (colour * K + dest * (255 - K) + 128) >> 8 for glyph coverage
// K; every pixel of a glyph box inside the target takes textColor's alpha.
void fillText(ImageRef<RGBA8> target, Font& font, std::string_view text, float fontSizePx,
              float letterSpacing, RGBA8 textColor, float positionX, float positionY,
              HorizontalAlignment horizontal = HorizontalAlignment::left,
              VerticalAlignment vertical = VerticalAlignment::baseline);
void fillText(const Crop& target, Font& font, std::string_view text, float fontSizePx, float letterSpacing,
              RGBA8 textColor, float positionX, float positionY,
              HorizontalAlignment horizontal = HorizontalAlignment::left,
              VerticalAlignment vertical = VerticalAlignment::baseline);

}  // namespace plugkit::graphics
