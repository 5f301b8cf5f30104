#include "plugkit/graphics/TextRendering.h"

#include <algorithm>
#include <cmath>

namespace plugkit::graphics {
namespace {

struct Drawing {
    ImageRef<RGBA8> image;  // pixel (0, 0) is the target's (0, 0)
    Box clip;               // target pixels that may be written, in target coordinates
    Point origin;
    RGBA8 color;
    Font* font;
};

void drawCharacter(void* user, int, uint32_t codePoint, const Box& box, float scale, float xShift,
                   float yShift) {
    auto& d = *static_cast<Drawing*>(user);
    if (box.empty()) return;
    const ImageRef<const L8> mask = d.font->glyphCache().requestGlyph(
        GlyphKey{codePoint, scale, xShift, yShift}, box.width(), box.height());
    if (mask.empty()) return;
    const Box glyph = box.translated(d.origin);
    const Box dest = glyph.intersection(d.clip);
    if (dest.empty()) return;
    const RGBA8 c = d.color;
    for (int y = dest.min.y; y < dest.max.y; ++y) {
        const L8* k = mask.row(y - glyph.min.y) + (dest.min.x - glyph.min.x);
        RGBA8* p = d.image.row(y) + dest.min.x;
        for (int x = dest.min.x; x < dest.max.x; ++x, ++k, ++p) {
            const int K = k->l, J = 255 - K;
            p->r = static_cast<uint8_t>((c.r * K + p->r * J + 128) >> 8);
            p->g = static_cast<uint8_t>((c.g * K + p->g * J + 128) >> 8);
            p->b = static_cast<uint8_t>((c.b * K + p->b * J + 128) >> 8);
            p->a = c.a;
        }
    }
}

void fillTextInto(Drawing d, std::string_view text, float fontSizePx, float letterSpacing, float positionX,
                  float positionY, HorizontalAlignment horizontal, VerticalAlignment vertical) {
    Font& font = *d.font;
    core::ScopedLock hold(font.lock());
    const Box area = font.measureText(text, fontSizePx, letterSpacing);
    // Positions as the layout takes them: NaN counts as 0, the rest is clamped.
    positionX = std::isnan(positionX) ? 0.0f : std::clamp(positionX, -Font::kMaxPixel, Font::kMaxPixel);
    positionY = std::isnan(positionY) ? 0.0f : std::clamp(positionY, -Font::kMaxPixel, Font::kMaxPixel);
    const float fx = std::floor(positionX), fy = std::floor(positionY);
    d.origin.x += static_cast<int>(fx);
    d.origin.y += static_cast<int>(fy);
    if (horizontal == HorizontalAlignment::center) d.origin.x -= (area.min.x + area.max.x) / 2;
    if (vertical == VerticalAlignment::center) d.origin.y -= (area.min.y + area.max.y) / 2;
    font.iterateCharacterPositions(text, fontSizePx, letterSpacing, positionX - fx, positionY - fy,
                                   drawCharacter, &d);
}

}  // namespace

void fillText(ImageRef<RGBA8> target, Font& font, std::string_view text, float fontSizePx,
              float letterSpacing, RGBA8 textColor, float positionX, float positionY,
              HorizontalAlignment horizontal, VerticalAlignment vertical) {
    if (target.empty() || text.empty()) return;
    fillTextInto(Drawing{target, target.bounds(), Point{0, 0}, textColor, &font}, text, fontSizePx,
                 letterSpacing, positionX, positionY, horizontal, vertical);
}

void fillText(const Crop& target, Font& font, std::string_view text, float fontSizePx, float letterSpacing,
              RGBA8 textColor, float positionX, float positionY, HorizontalAlignment horizontal,
              VerticalAlignment vertical) {
    const Box clip = target.area.intersection(target.image.bounds());
    if (target.image.empty() || clip.empty() || text.empty()) return;
    // Draw in image coordinates: the crop's (0, 0) is the image's area.min.
    fillTextInto(Drawing{target.image, clip, target.area.min, textColor, &font}, text, fontSizePx,
                 letterSpacing, positionX, positionY, horizontal, vertical);
}

}  // namespace plugkit::graphics
