#include "plugkit/graphics/Font.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/core/Fatal.h"

namespace plugkit::graphics {

uint32_t decodeUtf8(std::string_view text, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned b0 = byte(pos);
    int extra;
    uint32_t cp, minimum;
    if (b0 < 0x80) {
        ++pos;
        return b0;
    } else if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, minimum = 0x10000;
    } else {
        ++pos;
        return 0xFFFD;
    }
    if (text.size() - pos <= static_cast<std::size_t>(extra)) {
        ++pos;
        return 0xFFFD;
    }
    for (int i = 1; i <= extra; ++i) {
        const unsigned b = byte(pos + i);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return 0xFFFD;
        }
        cp = cp << 6 | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return 0xFFFD;
    }
    pos += 1 + extra;
    return cp;
}

Font::Font(const unsigned char* data, std::size_t size, Unchecked)
    : data_(data), size_(size), cache_(face_) {}

void FontDeleter::operator()(Font* font) const noexcept { core::destroyFree(font); }

Font* Font::tryCreate(const unsigned char* data, std::size_t size) {
    void* raw = std::malloc(sizeof(Font));
    if (!raw) core::outOfMemory();
    auto* font = new (raw) Font(data, size, Unchecked{});
    if (!font->face_.init(data, size)) {
        core::destroyFree(font);
        return nullptr;
    }
    font->ascent_ = font->face_.ascent();
    font->descent_ = font->face_.descent();
    font->lineGap_ = font->face_.lineGap();
    return font;
}

float Font::getHeightOfx(float fontSizePx) const {
    const float scale = scaleFor(fontSizePx);
    const int glyph = face_.glyphIndex(0x78);
    int x0, y0, x1, y1;
    if (glyph == 0 || !face_.glyphBox(glyph, x0, y0, x1, y1)) return static_cast<float>(ascent_) * scale;
    return static_cast<float>(y1) * scale;
}

namespace {

// A finite value clamped to +-Font::kMaxPixel; NaN counts as 0.
float tame(float v) {
    if (std::isnan(v)) return 0.0f;
    return std::clamp(v, -Font::kMaxPixel, Font::kMaxPixel);
}

// floor or ceil of v as a pixel coordinate, within +-Font::kMaxPixel.
int pixelFloor(float v) { return static_cast<int>(std::floor(tame(v))); }
int pixelCeil(float v) { return static_cast<int>(std::ceil(tame(v))); }

}  // namespace

void Font::iterateCharacterPositions(std::string_view text, float fontSizePx, float letterSpacing, float x,
                                     float y, CharacterFn callback, void* user) const {
    if (!(fontSizePx >= kMinSizePx && fontSizePx <= kMaxSizePx)) return;
    const float scale = scaleFor(fontSizePx);
    x = tame(x);
    y = tame(y);
    letterSpacing = tame(letterSpacing);
    const float fy = std::floor(y);
    const int iy = static_cast<int>(fy);
    const float yShift = std::round((y - fy) * 8.0f) / 8.0f;
    uint32_t previous = 0;
    int index = 0;
    for (std::size_t pos = 0; pos < text.size(); ++index) {
        const uint32_t cp = decodeUtf8(text, pos);
        if (index > 0) x = tame(x + static_cast<float>(face_.kernAdvance(previous, cp)) * scale);
        const float fx = std::floor(x);
        const int ix = static_cast<int>(fx);
        const float xShift = std::round((x - fx) * 8.0f) / 8.0f;
        const int glyph = face_.glyphIndex(cp);
        int x0, y0, x1, y1;
        Box box(ix, iy, ix, iy);
        if (face_.glyphBox(glyph, x0, y0, x1, y1)) {
            box = Box(ix + pixelFloor(static_cast<float>(x0) * scale + xShift),
                      iy + pixelFloor(static_cast<float>(-y1) * scale + yShift),
                      ix + pixelCeil(static_cast<float>(x1) * scale + xShift),
                      iy + pixelCeil(static_cast<float>(-y0) * scale + yShift));
        }
        callback(user, index, cp, box, scale, xShift, yShift);
        x = tame(x + static_cast<float>(face_.advance(glyph)) * scale + letterSpacing);
        previous = cp;
    }
}

Box Font::measureText(std::string_view text, float fontSizePx, float letterSpacing) const {
    struct Area {
        Box box;
        bool any = false;
    } area;
    iterateCharacterPositions(
        text, fontSizePx, letterSpacing, 0, 0,
        [](void* user, int, uint32_t, const Box& b, float, float, float) {
            auto* a = static_cast<Area*>(user);
            if (!a->any) {
                a->box = b;
                a->any = true;
                return;
            }
            a->box = Box(std::min(a->box.min.x, b.min.x), std::min(a->box.min.y, b.min.y),
                         std::max(a->box.max.x, b.max.x), std::max(a->box.max.y, b.max.y));
        },
        &area);
    return area.box;
}

}  // namespace plugkit::graphics
