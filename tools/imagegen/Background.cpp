// The editor's background: header with title and output section, the display's bezel, and four
// band panels with readout plates, captions, a threshold scale and a footer each.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "plugkit/graphics/Draw.h"
#include "tools/imagegen/Images.h"

namespace imagegen {

namespace {

using HA = gfx::HorizontalAlignment;
using VA = gfx::VerticalAlignment;

const RGBA8 kAccent = rgb(0xff7a1f);
const RGBA8 kCaption = rgb(0xa3a9b2);
const RGBA8 kCaptionDim = rgb(0x737982);
const RGBA8 kTitle = rgb(0xe9ebee);

// A light readout plate (the value labels draw black text on it) centred where the label box
// centres its text.
void readoutPlate(gfx::ImageRef<RGBA8> t, Mask& m, gfx::Box label) {
    const float x1 = std::round(layout::centreX(label) - layout::kReadoutWidth / 2.0f);
    const float y1 = std::round(layout::centreY(label) - layout::kReadoutHeight / 2.0f);
    const float x2 = x1 + layout::kReadoutWidth, y2 = y1 + layout::kReadoutHeight;
    fill(t, m, Paint::flat(rgb(0x121316)),
         [&](Mask& k) { roundRect(k, x1 - 1.0f, y1 - 1.0f, x2 + 1.0f, y2 + 1.0f, 4.0f); });
    fill(t, m, Paint::vertical(rgb(0xb4b9c0), rgb(0xd3d6db), y1, y2),
         [&](Mask& k) { roundRect(k, x1, y1, x2, y2, 3.0f); });
    fill(
        t, m, Paint::flat(rgb(0x000000)),
        [&](Mask& k) {
            gfx::aaFillRectFloat<false>(k.ref(), x1 + 2.0f, y1, x2 - 2.0f, y1 + 1.0f, Mask::kInk);
        },
        0.18f);
}

void caption(gfx::ImageRef<RGBA8> t, Mask& m, gfx::Font& font, const char* s, float size, float x, float y,
             RGBA8 colour, HA h = HA::center, float spacing = 0.9f) {
    fill(t, m, Paint::flat(colour), [&](Mask& k) { text(k, font, s, size, x, y, h, VA::center, spacing); });
}

void header(gfx::ImageRef<RGBA8> t, Mask& m, gfx::Font& font) {
    fill(t, m, Paint::vertical(rgb(0x363a41), rgb(0x2b2e34), 0.0f, 44.0f),
         [&](Mask& k) { gfx::fillRectFloat<false>(k.ref(), 0, 0, kEditorWidth, 44, Mask::kInk, 1.0f); });
    fill(t, m, Paint::flat(rgb(0x141518)),
         [&](Mask& k) { gfx::fillRectFloat<false>(k.ref(), 0, 44, kEditorWidth, 45, Mask::kInk, 1.0f); });
    fill(t, m, Paint::flat(rgb(0x40444b)),
         [&](Mask& k) { gfx::fillRectFloat<false>(k.ref(), 0, 0, kEditorWidth, 1, Mask::kInk, 1.0f); });

    const gfx::Box title = font.measureText("TOLVA", 22.0f, 3.0f);
    // Title and subtitle share one baseline.
    fill(t, m, Paint::flat(kTitle),
         [&](Mask& k) { text(k, font, "TOLVA", 22.0f, 20.0f, 32.0f, HA::left, VA::baseline, 3.0f); });
    fill(t, m, Paint::flat(kAccent), [&](Mask& k) {
        text(k, font, "MULTIBAND COMPRESSOR", 9.0f, 20.0f + title.max.x + 12.0f, 32.0f, HA::left,
             VA::baseline, 2.0f);
    });

    // Output section: caption, readout of the output gain, and the auto gain switch's caption.
    const gfx::Box output = layout::kOutputLabel;
    caption(t, m, font, "OUTPUT", 8.0f, output.min.x - 8.0f, layout::centreY(output), kCaption, HA::right);
    readoutPlate(t, m, output);
    caption(t, m, font, "AUTO GAIN", 7.5f, layout::centreX(layout::kAutoGainSwitch), 18.0f, kCaption);
}

void displayBezel(gfx::ImageRef<RGBA8> t, Mask& m) {
    const gfx::Box d = layout::kDisplay;
    const float x1 = d.min.x, y1 = d.min.y, x2 = d.max.x, y2 = d.max.y;
    fill(t, m, Paint::flat(rgb(0x45494f)),
         [&](Mask& k) { roundRect(k, x1 - 4.0f, y1 - 3.0f, x2 + 4.0f, y2 + 3.0f, 6.0f); });
    fill(t, m, Paint::vertical(rgb(0x08090a), rgb(0x16181b), y1 - 3.0f, y2 + 2.0f),
         [&](Mask& k) { roundRect(k, x1 - 3.0f, y1 - 2.0f, x2 + 3.0f, y2 + 2.0f, 5.0f); });
}

// The threshold slider's scale: ticks every 6 dB right of the track, numbers every 12 dB.
void thresholdScale(gfx::ImageRef<RGBA8> t, Mask& m, gfx::Font& font, int band) {
    const gfx::Box slider = layout::inBand(layout::kThresholdSlider, band);
    for (int db = 0; db >= -36; db -= 6) {
        const float y = slider.min.y + sliderThumbY((db + 36) / 36.0f);
        const bool major = db % 12 == 0;
        const float x = slider.max.x + 2.0f;
        fill(t, m, Paint::flat(major ? kCaption : kCaptionDim), [&](Mask& k) {
            gfx::aaFillRectFloat<false>(k.ref(), x, y - 0.5f, x + (major ? 6.0f : 3.5f), y + 0.5f,
                                        Mask::kInk);
        });
        if (major) {
            char label[8];
            std::snprintf(label, sizeof label, "%d", db);
            caption(t, m, font, label, 7.0f, x + 8.0f, y, kCaptionDim, HA::left, 0.3f);
        }
    }
}

void bandPanel(gfx::ImageRef<RGBA8> t, Mask& m, gfx::Font& font, int band) {
    static const char* const kNames[4] = {"LOW", "LO MID", "HI MID", "HIGH"};
    const int ox = band * layout::kBandSpacing;
    const float x1 = ox + 17.0f, x2 = ox + 207.0f, y1 = 232.0f, y2 = 431.0f;
    fill(t, m, Paint::flat(rgb(0x16181b)),
         [&](Mask& k) { roundRect(k, x1 - 1.0f, y1 - 1.0f, x2 + 1.0f, y2 + 1.0f, 7.0f); });
    fill(t, m, Paint::vertical(rgb(0x33373d), rgb(0x27292e), y1, y2),
         [&](Mask& k) { roundRect(k, x1, y1, x2, y2, 6.0f); });
    fill(
        t, m, Paint::flat(rgb(0xffffff)),
        [&](Mask& k) {
            gfx::aaFillRectFloat<false>(k.ref(), x1 + 5.0f, y1, x2 - 5.0f, y1 + 1.0f, Mask::kInk);
        },
        0.08f);
    // Footer strip with the band's name and solo switch.
    fill(
        t, m, Paint::flat(rgb(0x000000)),
        [&](Mask& k) {
            gfx::aaFillRectFloat<false>(k.ref(), x1 + 4.0f, 410.0f, x2 - 4.0f, 411.0f, Mask::kInk);
        },
        0.35f);

    for (int k = 0; k < 4; ++k) readoutPlate(t, m, layout::inBand(layout::kBandKnobLabel[k], band));
    readoutPlate(t, m, layout::thresholdLabel(band));

    // Each knob's caption just under the knob.
    static const char* const kKnobCaptions[4] = {"ATTACK", "RELEASE", "RATIO", "GAIN"};
    for (int k = 0; k < 4; ++k) {
        const gfx::Box knob = layout::inBand(layout::bandKnob(k), band);
        caption(t, m, font, kKnobCaptions[k], 7.5f, layout::centreX(knob), knob.max.y + 7.5f, kCaption);
    }
    thresholdScale(t, m, font, band);
    caption(t, m, font, "THRESHOLD", 7.0f, layout::centreX(layout::inBand(layout::kThresholdLabel, band)),
            420.5f, kCaption, HA::center, 0.6f);
    const gfx::Box solo = layout::inBand(layout::kSoloSwitch, band);
    caption(t, m, font, "SOLO", 7.0f, solo.min.x - 5.0f, 419.5f, kCaption, HA::right);
    caption(t, m, font, kNames[band], 9.0f, solo.max.x + 6.0f, 419.5f, kAccent, HA::left, 0.8f);
}

}  // namespace

void drawBackground(gfx::OwnedImage<RGBA8>& out, gfx::Font& font) {
    out.size(kEditorWidth, kEditorHeight);
    const auto t = out.toRef();
    gfx::verticalSlope(t, t.bounds(), rgb(0x2a2d33), rgb(0x1c1e22));
    Mask m(kEditorWidth, kEditorHeight);
    header(t, m, font);
    displayBezel(t, m);
    for (int band = 0; band < layout::kNumBands; ++band) bandPanel(t, m, font, band);
    caption(t, m, font, "FOUR-BAND LINKWITZ-RILEY DYNAMICS", 7.0f, 20.0f, 441.5f, rgb(0x5d626a), HA::left,
            1.2f);
}

}  // namespace imagegen
