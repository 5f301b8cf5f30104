#include "tools/imagegen/Images.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "plugkit/graphics/Draw.h"

namespace imagegen {

namespace {

using HA = gfx::HorizontalAlignment;
using VA = gfx::VerticalAlignment;
constexpr float kPi = std::numbers::pi_v<float>;

// Palette.
const RGBA8 kAccent = rgb(0xff7a1f);
const RGBA8 kCaption = rgb(0xa3a9b2);
const RGBA8 kShadow = rgb(0x000000);

// Knob sweep: from the lower left (135 degrees, clockwise on screen) over the top to the lower right.
constexpr float kSweepStart = 0.75f * kPi;
constexpr float kSweep = 1.5f * kPi;

// Frame f of a filmstrip as an image of its own.
gfx::ImageRef<RGBA8> frame(gfx::OwnedImage<RGBA8>& strip, int f, int frameHeight) {
    return strip.toRef().crop(gfx::Box(0, f * frameHeight, strip.width(), (f + 1) * frameHeight));
}

// A knob of the given frame size at normalised value v: shadow, track, value arc, body, pointer.
void drawKnob(gfx::ImageRef<RGBA8> target, float v, float size) {
    const int n = static_cast<int>(size);
    Mask m(n, n);
    const float c = size / 2.0f - 0.5f;
    const float s = size / 50.0f;  // proportions of the 50-pixel knob
    const float a1 = kSweepStart + kSweep * v;
    const float tr0 = 20.0f * s, tr1 = 23.5f * s;

    fill(
        target, m, Paint::flat(rgb(0x0d0e10)),
        [&](Mask& k) {
            arc(k, c, c, tr0 - 0.8f, tr1 + 0.8f, kSweepStart - 0.06f, kSweepStart + kSweep + 0.06f);
        },
        0.9f);
    fill(target, m, Paint::flat(rgb(0x26292e)),
         [&](Mask& k) { arc(k, c, c, tr0, tr1, kSweepStart, kSweepStart + kSweep); });
    if (v > 0.0f)
        fill(target, m, Paint::vertical(rgb(0xffa24d), kAccent, 0.0f, size),
             [&](Mask& k) { arc(k, c, c, tr0, tr1, kSweepStart, a1); });

    // Body: a soft drop shadow, a bevelled rim and a slightly darker face.
    m.clear();
    gfx::aaSoftDisc(m.ref(), c, c + 1.8f * s, 14.0f * s, 19.0f * s, Mask::kInk, 1.0f);
    composite(target, m, Paint::flat(kShadow), 0.55f);
    fill(target, m, Paint::vertical(rgb(0x7a808a), rgb(0x1b1d21), c - 16.5f * s, c + 16.5f * s),
         [&](Mask& k) { disc(k, c, c, 16.5f * s); });
    fill(target, m, Paint::vertical(rgb(0x474c54), rgb(0x2c2f35), c - 15.0f * s, c + 15.0f * s),
         [&](Mask& k) { disc(k, c, c, 15.0f * s); });

    // Pointer: a light bar from near the centre to the face's edge, drawn as a row of small discs.
    const float dx = std::cos(a1), dy = std::sin(a1);
    fill(target, m, Paint::flat(rgb(0xf4f5f7)), [&](Mask& k) {
        for (float r = 6.0f * s; r <= 13.0f * s; r += 0.25f)
            disc(k, c + dx * r, c + dy * r, std::max(0.9f, 1.5f * s));
    });
}

}  // namespace

float sliderThumbY(float v) { return 158.0f - 146.0f * v; }

void clearImage(gfx::ImageRef<RGBA8> image, RGBA8 colour) {
    for (int y = 0; y < image.h; ++y) std::fill(image.row(y), image.row(y) + image.w, colour);
}

void drawBandKnob(gfx::OwnedImage<RGBA8>& out) {
    out.size(kBandKnobSize, kBandKnobSize * kFilmstripFrames);
    clearImage(out.toRef(), RGBA8{0, 0, 0, 0});
    for (int f = 0; f < kFilmstripFrames; ++f)
        drawKnob(frame(out, f, kBandKnobSize), static_cast<float>(f) / (kFilmstripFrames - 1), kBandKnobSize);
}

void drawOutputKnob(gfx::OwnedImage<RGBA8>& out) {
    out.size(kOutputKnobSize, kOutputKnobSize * kFilmstripFrames);
    clearImage(out.toRef(), RGBA8{0, 0, 0, 0});
    for (int f = 0; f < kFilmstripFrames; ++f)
        drawKnob(frame(out, f, kOutputKnobSize), static_cast<float>(f) / (kFilmstripFrames - 1),
                 kOutputKnobSize);
}

void drawThresholdSlider(gfx::OwnedImage<RGBA8>& out) {
    out.size(kSliderWidth, kSliderHeight * kFilmstripFrames);
    clearImage(out.toRef(), RGBA8{0, 0, 0, 0});
    Mask m(kSliderWidth, kSliderHeight);
    for (int f = 0; f < kFilmstripFrames; ++f) {
        const auto target = frame(out, f, kSliderHeight);
        const float cy = sliderThumbY(static_cast<float>(f) / (kFilmstripFrames - 1));
        // Groove, and the part below the thumb lit in the accent colour, fading towards the bottom.
        fill(target, m, Paint::flat(rgb(0x0c0d0f)),
             [&](Mask& k) { roundRect(k, 9.0f, 6.0f, 15.0f, 164.0f, 3.0f); });
        fill(target, m, Paint::flat(rgb(0x1c1f23)),
             [&](Mask& k) { roundRect(k, 10.0f, 7.0f, 14.0f, 163.0f, 2.0f); });
        fill(
            target, m, Paint::vertical(kAccent, rgb(0x5a2405), cy, 163.0f),
            [&](Mask& k) { roundRect(k, 10.5f, cy, 13.5f, 162.5f, 1.5f); }, 0.9f);
        // Thumb: shadow, bevelled cap, grip lines and the accent index line.
        m.clear();
        roundRect(m, 1.0f, cy - 6.0f, 23.0f, cy + 9.5f, 3.5f);
        composite(target, m, Paint::flat(kShadow), 0.55f);
        fill(target, m, Paint::vertical(rgb(0x9aa0a9), rgb(0x2a2d32), cy - 7.0f, cy + 7.0f),
             [&](Mask& k) { roundRect(k, 1.0f, cy - 7.0f, 23.0f, cy + 7.0f, 3.0f); });
        fill(target, m, Paint::vertical(rgb(0x5d626a), rgb(0x3a3e45), cy - 6.0f, cy + 6.0f),
             [&](Mask& k) { roundRect(k, 2.0f, cy - 6.0f, 22.0f, cy + 6.0f, 2.5f); });
        for (float gy : {cy - 3.5f, cy + 3.5f})
            fill(target, m, Paint::flat(rgb(0x24272b)), [&](Mask& k) {
                gfx::aaFillRectFloat<false>(k.ref(), 5.0f, gy - 0.5f, 19.0f, gy + 0.5f, Mask::kInk);
            });
        fill(target, m, Paint::flat(rgb(0xffb070)), [&](Mask& k) {
            gfx::aaFillRectFloat<false>(k.ref(), 3.0f, cy - 1.0f, 21.0f, cy + 1.0f, Mask::kInk);
        });
    }
}

void drawSwitch(gfx::OwnedImage<RGBA8>& out, bool on) {
    out.size(kSwitchWidth, kSwitchHeight);
    const auto t = out.toRef();
    clearImage(t, RGBA8{0, 0, 0, 0});
    Mask m(kSwitchWidth, kSwitchHeight);
    // The solo switches show 33 of the 34 columns: the pill stays clear of the last one.
    const float x2 = 32.8f;
    if (on) {
        fill(t, m, Paint::flat(rgb(0x7a3208)), [&](Mask& k) { roundRect(k, 0.5f, 0.5f, x2, 13.5f, 6.5f); });
        fill(t, m, Paint::vertical(rgb(0xffa04a), rgb(0xe2570f), 1.5f, 12.5f),
             [&](Mask& k) { roundRect(k, 1.5f, 1.5f, x2 - 1.0f, 12.5f, 5.5f); });
        fill(
            t, m, Paint::flat(kShadow), [&](Mask& k) { disc(k, 25.0f, 7.5f, 5.0f); }, 0.35f);
        fill(t, m, Paint::vertical(rgb(0xffffff), rgb(0xd9dbde), 2.0f, 12.0f),
             [&](Mask& k) { disc(k, 25.0f, 6.5f, 4.6f); });
    } else {
        fill(t, m, Paint::flat(rgb(0x474b52)), [&](Mask& k) { roundRect(k, 0.5f, 0.5f, x2, 13.5f, 6.5f); });
        fill(t, m, Paint::vertical(rgb(0x0f1012), rgb(0x1d1f23), 1.5f, 12.5f),
             [&](Mask& k) { roundRect(k, 1.5f, 1.5f, x2 - 1.0f, 12.5f, 5.5f); });
        fill(t, m, Paint::vertical(rgb(0x8d939c), rgb(0x50545b), 2.0f, 12.0f),
             [&](Mask& k) { disc(k, 7.0f, 6.5f, 4.6f); });
    }
}

void drawHandle(gfx::OwnedImage<RGBA8>& out) {
    out.size(kHandleSize, kHandleSize);
    const auto t = out.toRef();
    clearImage(t, RGBA8{0, 0, 0, 0});
    Mask m(kHandleSize, kHandleSize);
    const float c = kHandleSize / 2.0f - 0.5f;
    m.clear();
    gfx::aaSoftDisc(m.ref(), c, c + 1.0f, 7.5f, 11.0f, Mask::kInk, 1.0f);
    composite(t, m, Paint::flat(kShadow), 0.7f);
    fill(t, m, Paint::vertical(rgb(0xf2f3f5), rgb(0x8a9099), c - 8.5f, c + 8.5f),
         [&](Mask& k) { disc(k, c, c, 8.5f); });
    fill(t, m, Paint::vertical(rgb(0x3d4148), rgb(0x25282d), c - 6.5f, c + 6.5f),
         [&](Mask& k) { disc(k, c, c, 6.8f); });
    fill(t, m, Paint::vertical(rgb(0xffb070), kAccent, c - 3.5f, c + 3.5f),
         [&](Mask& k) { disc(k, c, c, 3.4f); });
}

void drawLogo(gfx::OwnedImage<RGBA8>& out, gfx::Font& font) {
    out.size(kLogoWidth, kLogoHeight);
    const auto t = out.toRef();
    clearImage(t, RGBA8{0, 0, 0, 0});
    Mask m(kLogoWidth, kLogoHeight);
    // Right-aligned: the maker's name, and before it a mark of three rising bars.
    const float size = 11.0f, spacing = 1.6f;
    const gfx::Box audio = font.measureText("AUDIO", size, spacing);
    const gfx::Box pel = font.measureText("PEL", size, spacing);
    const float right = kLogoWidth - 2.0f;
    const float audioX = right - audio.max.x;
    const float pelX = audioX - pel.max.x - 4.0f;
    const float baseline = 12.0f;
    fill(t, m, Paint::flat(kCaption),
         [&](Mask& k) { text(k, font, "AUDIO", size, audioX, baseline, HA::left, VA::baseline, spacing); });
    fill(t, m, Paint::flat(kAccent),
         [&](Mask& k) { text(k, font, "PEL", size, pelX, baseline, HA::left, VA::baseline, spacing); });
    const float markRight = pelX - 5.0f;
    fill(t, m, Paint::vertical(rgb(0xffa24d), kAccent, 2.0f, 13.0f), [&](Mask& k) {
        const float heights[3] = {4.0f, 7.0f, 10.5f};
        for (int i = 0; i < 3; ++i) {
            const float x = markRight - 3.0f * 3.2f + 3.2f * static_cast<float>(i);
            gfx::aaFillRectFloat<false>(k.ref(), x, baseline - heights[i], x + 2.2f, baseline, Mask::kInk);
        }
    });
}

namespace {

// Level grid every 6 dB (-36 dB at the bottom, 0 dB at the top), stronger and labelled every 12 dB.
void levelGrid(gfx::ImageRef<RGBA8> t, Mask& m, gfx::Font& font) {
    const RGBA8 white = rgb(0xffffff);
    const int h = t.h - 1;
    for (int db = -30; db < 0; db += 6) {
        const int y = h - static_cast<int>(std::lround((db + 36) / 36.0f * h));
        const float opacity = db % 12 == 0 ? 0.13f : 0.07f;
        fill(
            t, m, Paint::flat(white),
            [&](Mask& k) { gfx::fillRectFloat<false>(k.ref(), 0, y, t.w, y + 1, Mask::kInk, 1.0f); },
            opacity);
        if (db % 12 != 0) continue;
        char label[8];
        std::snprintf(label, sizeof label, "%d dB", db);
        fill(
            t, m, Paint::flat(white),
            [&](Mask& k) { text(k, font, label, 8.0f, t.w - 5.0f, y - 5.0f, HA::right, VA::center); }, 0.22f);
    }
}

// Frequency grid on the crossover's logarithmic axis (40 Hz .. 20 kHz over the width), clear of
// the level texts along the bottom; labels at 100 Hz, 1 kHz and 10 kHz.
void frequencyGrid(gfx::ImageRef<RGBA8> t, Mask& m, gfx::Font& font) {
    const RGBA8 white = rgb(0xffffff);
    const float span = std::log(20000.0f / 40.0f);
    auto column = [&](float hz) { return std::log(hz / 40.0f) / span * static_cast<float>(t.w); };
    for (float decade : {10.0f, 100.0f, 1000.0f, 10000.0f})
        for (int step = 1; step <= 9; ++step) {
            const float hz = decade * static_cast<float>(step);
            if (hz <= 40.0f || hz > 20000.0f) continue;
            const int x = static_cast<int>(std::lround(column(hz)));
            fill(
                t, m, Paint::flat(white),
                [&](Mask& k) { gfx::fillRectFloat<false>(k.ref(), x, 0, x + 1, t.h - 21, Mask::kInk, 1.0f); },
                step == 1 ? 0.12f : 0.05f);
        }
    const struct {
        float hz;
        const char* text;
    } marks[] = {{100, "100"}, {1000, "1k"}, {10000, "10k"}};
    for (const auto& mark : marks)
        fill(
            t, m, Paint::flat(white),
            [&](Mask& k) {
                text(k, font, mark.text, 8.0f, column(mark.hz) + 4.0f, 9.0f, HA::left, VA::center);
            },
            0.22f);
}

}  // namespace

void drawDisplayOverlay(gfx::OwnedImage<RGBA8>& out, gfx::Font& font) {
    out.size(kEditorWidth, kEditorHeight);
    clearImage(out.toRef(), RGBA8{0, 0, 0, 0});
    const auto t = out.toRef().crop(layout::kDisplay);
    Mask m(t.w, t.h);
    levelGrid(t, m, font);
    frequencyGrid(t, m, font);
    // Glass: a highlight fading down from the top edge, and a light top edge.
    const RGBA8 white = rgb(0xffffff);
    fill(t, m, Paint::vertical(withAlpha(white, 40), withAlpha(white, 0), 0.0f, 70.0f),
         [&](Mask& k) { gfx::fillRectFloat<false>(k.ref(), 0, 0, t.w, 70, Mask::kInk, 1.0f); });
    fill(
        t, m, Paint::flat(white),
        [&](Mask& k) { gfx::fillRectFloat<false>(k.ref(), 0, 0, t.w, 1, Mask::kInk, 1.0f); }, 0.12f);
    // Everything stays a faint veil over the display.
    for (int y = 0; y < t.h; ++y)
        for (int x = 0; x < t.w; ++x) t.pixel(x, y).a = std::min<uint8_t>(t.pixel(x, y).a, 60);
}

}  // namespace imagegen
