#include "tools/imagegen/Canvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "plugkit/graphics/Draw.h"

namespace imagegen {

namespace {
constexpr RGBA8 kNoCoverage{0, 0, 0, 255};
constexpr float kPi = std::numbers::pi_v<float>;

uint8_t mix(uint8_t a, uint8_t b, float t) { return static_cast<uint8_t>(std::lround(a + (b - a) * t)); }
}  // namespace

Mask::Mask(int width, int height) {
    image_.size(width, height);
    clear();
}

void Mask::clear() {
    const auto r = image_.toRef();
    for (int y = 0; y < r.h; ++y) std::fill(r.row(y), r.row(y) + r.w, kNoCoverage);
}

RGBA8 Paint::at(int y) const {
    const float t = std::clamp((static_cast<float>(y) - y0) / std::max(1e-3f, y1 - y0), 0.0f, 1.0f);
    return RGBA8{mix(top.r, bottom.r, t), mix(top.g, bottom.g, t), mix(top.b, bottom.b, t),
                 mix(top.a, bottom.a, t)};
}

void blendOver(RGBA8& d, RGBA8 s, float c) {
    const float sa = s.a / 255.0f * std::clamp(c, 0.0f, 1.0f);
    if (sa <= 0.0f) return;
    const float da = d.a / 255.0f;
    const float oa = sa + da * (1.0f - sa);
    auto channel = [&](uint8_t sc, uint8_t dc) {
        const float v = (sc * sa + dc * da * (1.0f - sa)) / oa;
        return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 255.0f)));
    };
    d = RGBA8{channel(s.r, d.r), channel(s.g, d.g), channel(s.b, d.b),
              static_cast<uint8_t>(std::lround(oa * 255.0f))};
}

void composite(gfx::ImageRef<RGBA8> target, const Mask& mask, const Paint& paint, float opacity, int dx,
               int dy) {
    for (int y = 0; y < mask.height(); ++y) {
        const int ty = y + dy;
        if (ty < 0 || ty >= target.h) continue;
        const RGBA8 colour = paint.at(ty);
        for (int x = 0; x < mask.width(); ++x) {
            const int tx = x + dx;
            const float c = mask.at(x, y);
            if (tx < 0 || tx >= target.w || c <= 0.0f) continue;
            blendOver(target.pixel(tx, ty), colour, c * opacity);
        }
    }
}

void roundRect(Mask& mask, float x1, float y1, float x2, float y2, float radius) {
    const auto ref = mask.ref();
    const float r = std::min({radius, (x2 - x1) / 2.0f, (y2 - y1) / 2.0f});
    if (r <= 0.5f) {
        gfx::aaFillRectFloat<false>(ref, x1, y1, x2, y2, Mask::kInk);
        return;
    }
    // The body without corners, then a quarter disc in each corner. Discs sample at integer pixel
    // coordinates, hence the half-pixel shift of their centres.
    gfx::aaFillRectFloat<false>(ref, x1 + r, y1, x2 - r, y2, Mask::kInk);
    gfx::aaFillRectFloat<false>(ref, x1, y1 + r, x1 + r, y2 - r, Mask::kInk);
    gfx::aaFillRectFloat<false>(ref, x2 - r, y1 + r, x2, y2 - r, Mask::kInk);
    const float cx[2] = {x1 + r - 0.5f, x2 - r - 0.5f}, cy[2] = {y1 + r - 0.5f, y2 - r - 0.5f};
    Mask corner(mask.width(), mask.height());
    for (float ccx : cx)
        for (float ccy : cy) gfx::aaSoftDisc(corner.ref(), ccx, ccy, r - 0.6f, r + 0.6f, Mask::kInk, 1.0f);
    // Keep only the corner squares of the discs.
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x) {
            const bool inCorner = (x < x1 + r || x >= x2 - r) && (y < y1 + r || y >= y2 - r);
            if (!inCorner) continue;
            RGBA8& d = ref.pixel(x, y);
            d.r = d.g = d.b = std::max(d.r, static_cast<uint8_t>(corner.at(x, y) * 255.0f + 0.5f));
        }
}

void disc(Mask& mask, float cx, float cy, float radius) {
    gfx::aaSoftDisc(mask.ref(), cx, cy, std::max(0.0f, radius - 0.6f), radius + 0.6f, Mask::kInk, 1.0f);
}

void arc(Mask& mask, float cx, float cy, float rInner, float rOuter, float a0, float a1) {
    auto wrap = [](float a) {
        a = std::fmod(a + kPi, 2.0f * kPi);
        if (a < 0.0f) a += 2.0f * kPi;
        return a - kPi;
    };
    // One sector (spans below a full turn): the rasteriser wraps through pi when the start lies
    // above the stop.
    gfx::aaFillSector(mask.ref(), cx, cy, rInner, rOuter, wrap(a0), wrap(a1), Mask::kInk);
}

void text(Mask& mask, gfx::Font& font, std::string_view s, float size, float x, float y,
          gfx::HorizontalAlignment h, gfx::VerticalAlignment v, float spacing) {
    // fillText centres or starts at the pen; right alignment ends the text's ink at x.
    if (h == gfx::HorizontalAlignment::right) {
        x -= static_cast<float>(font.measureText(s, size, spacing).max.x);
        h = gfx::HorizontalAlignment::left;
    }
    gfx::fillText(mask.ref(), font, s, size, spacing, Mask::kInk, x, y, h, v);
}

RGBA8 rgb(unsigned hex, int alpha) {
    return RGBA8{static_cast<uint8_t>(hex >> 16), static_cast<uint8_t>(hex >> 8), static_cast<uint8_t>(hex),
                 static_cast<uint8_t>(alpha)};
}

RGBA8 withAlpha(RGBA8 c, int alpha) { return RGBA8{c.r, c.g, c.b, static_cast<uint8_t>(alpha)}; }

}  // namespace imagegen
