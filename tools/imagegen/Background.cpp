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

// Centre of every value readout of band 1 (the label boxes' centres); other bands add 192 to x.
constexpr float kKnobReadoutX[2] = {111.0f, 177.0f};
constexpr float kKnobReadoutY[2] = {243.0f, 327.0f};
constexpr float kThresholdReadoutX = 47.0f, kThresholdReadoutY = 402.3f;
constexpr float kReadoutWidth = 52.0f, kReadoutHeight = 15.0f;

// A light readout plate (the value labels draw black text on it) centred on (cx, cy).
void readoutPlate(gfx::ImageRef<RGBA8> t, Mask& m, float cx, float cy, float w) {
    const float x1 = std::round(cx - w / 2.0f), y1 = std::round(cy - kReadoutHeight / 2.0f);
    const float x2 = x1 + w, y2 = y1 + kReadoutHeight;
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
    caption(t, m, font, "OUTPUT", 8.0f, 566.0f, 27.5f, kCaption, HA::right);
    readoutPlate(t, m, 599.0f, 27.5f, kReadoutWidth);
    caption(t, m, font, "AUTO GAIN", 7.5f, (kAutoGainBox.min.x + kAutoGainBox.max.x) / 2.0f, 18.0f, kCaption);
}

void displayBezel(gfx::ImageRef<RGBA8> t, Mask& m) {
    const gfx::Box d = kDisplayBox;
    const float x1 = d.min.x, y1 = d.min.y, x2 = d.max.x, y2 = d.max.y;
    fill(t, m, Paint::flat(rgb(0x45494f)),
         [&](Mask& k) { roundRect(k, x1 - 4.0f, y1 - 3.0f, x2 + 4.0f, y2 + 3.0f, 6.0f); });
    fill(t, m, Paint::vertical(rgb(0x08090a), rgb(0x16181b), y1 - 3.0f, y2 + 2.0f),
         [&](Mask& k) { roundRect(k, x1 - 3.0f, y1 - 2.0f, x2 + 3.0f, y2 + 2.0f, 5.0f); });
}

// The threshold slider's scale: ticks every 6 dB right of the track, numbers every 12 dB.
void thresholdScale(gfx::ImageRef<RGBA8> t, Mask& m, gfx::Font& font, int ox) {
    for (int db = 0; db >= -36; db -= 6) {
        const float y = kSliderY + sliderThumbY((db + 36) / 36.0f);
        const bool major = db % 12 == 0;
        const float x = ox + kSliderX + kSliderWidth + 2.0f;
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
    const int ox = band * kBandPitch;
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

    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 2; ++col)
            readoutPlate(t, m, ox + kKnobReadoutX[col], kKnobReadoutY[row], kReadoutWidth);
    readoutPlate(t, m, band == 0 ? 48.0f : ox + kThresholdReadoutX, kThresholdReadoutY, kReadoutWidth);

    static const char* const kKnobCaptions[2][2] = {{"ATTACK", "RELEASE"}, {"RATIO", "GAIN"}};
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 2; ++col) {
            const float cx = ox + kKnobX[col] + kBandKnobSize / 2.0f;
            const float cy = kKnobY[row] + kBandKnobSize + 7.5f;
            caption(t, m, font, kKnobCaptions[row][col], 7.5f, cx, cy, kCaption);
        }
    thresholdScale(t, m, font, ox);
    caption(t, m, font, "THRESHOLD", 7.0f, ox + kThresholdReadoutX, 420.5f, kCaption, HA::center, 0.6f);
    caption(t, m, font, "SOLO", 7.0f, ox + kSoloX - 5.0f, 419.5f, kCaption, HA::right);
    caption(t, m, font, kNames[band], 9.0f, ox + kSoloX + 33.0f + 6.0f, 419.5f, kAccent, HA::left, 0.8f);
}

}  // namespace

void drawBackground(gfx::OwnedImage<RGBA8>& out, gfx::Font& font) {
    out.size(kEditorWidth, kEditorHeight);
    const auto t = out.toRef();
    gfx::verticalSlope(t, t.bounds(), rgb(0x2a2d33), rgb(0x1c1e22));
    Mask m(kEditorWidth, kEditorHeight);
    header(t, m, font);
    displayBezel(t, m);
    for (int band = 0; band < 4; ++band) bandPanel(t, m, font, band);
    caption(t, m, font, "FOUR-BAND LINKWITZ-RILEY DYNAMICS", 7.0f, 20.0f, 441.5f, rgb(0x5d626a), HA::left,
            1.2f);
}

}  // namespace imagegen
