#include "tools/imagegen/Mock.h"

#include <algorithm>
#include <cmath>

#include "plugkit/graphics/TextRendering.h"

namespace imagegen {

namespace {

// The widgets' blend: ((s * a + d * (255 - a)) * 32897) >> 23 on every channel.
void blit(gfx::ImageRef<RGBA8> dst, int x0, int y0, gfx::ImageRef<const RGBA8> src, int w, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (!dst.contains(x0 + x, y0 + y)) continue;
            const RGBA8 s = src.pixel(x, y);
            RGBA8& d = dst.pixel(x0 + x, y0 + y);
            for (int c = 0; c < 4; ++c)
                d[c] = static_cast<uint8_t>(std::min(255, ((s[c] * s.a + d[c] * (255 - s.a)) * 32897) >> 23));
        }
}

void blitFrame(gfx::ImageRef<RGBA8> dst, int x0, int y0, const gfx::OwnedImage<RGBA8>& strip, int frames,
               float v) {
    const int fh = strip.height() / frames;
    const int f = std::clamp(static_cast<int>(std::lround((frames - 1) * v)), 0, frames - 1);
    blit(dst, x0, y0, strip.toRef().crop(gfx::Box(0, f * fh, strip.width(), (f + 1) * fh)).asConst(),
         strip.width(), fh);
}

void label(gfx::ImageRef<RGBA8> dst, gfx::Font& font, const char* text, gfx::Box box) {
    gfx::fillText(dst, font, text, 10.0f, 0.5f, RGBA8{0, 0, 0, 255}, (box.min.x + box.max.x) / 2.0f,
                  (box.min.y + box.max.y) / 2.0f, gfx::HorizontalAlignment::center,
                  gfx::VerticalAlignment::center);
}

// A rough stand-in for the crossover display: black, band bars, threshold marks and handles.
void display(gfx::ImageRef<RGBA8> dst, const ImageSet& images, gfx::Font& font) {
    const auto d = dst.crop(layout::kDisplay);
    clearImage(d, RGBA8{0, 0, 0, 255});
    const int handles[5] = {0, 192, 385, 577, d.w - 1};
    const float in[4] = {-8.0f, -5.0f, -11.0f, -20.0f}, out[4] = {-12.0f, -7.0f, -13.0f, -21.0f};
    const int h = d.h - 1;
    auto rowOf = [h](float db) { return h - static_cast<int>(std::lround((db + 36.0f) / 36.0f * h)); };
    for (int b = 0; b < 4; ++b) {
        const int x1 = handles[b], x2 = handles[b + 1] - 1, half = (x2 - x1) / 2;
        for (int y = rowOf(in[b]); y < h; ++y)
            for (int x = x1; x < x2; ++x) {
                const int dim = std::abs(x - x1 - half);
                const bool removed = y < rowOf(out[b]);
                d.pixel(x, y) = RGBA8{static_cast<uint8_t>(std::max(0, (removed ? 155 : 255) - dim)),
                                      static_cast<uint8_t>(std::max(0, (removed ? 0 : 80) - dim)), 0, 255};
            }
        const int t = rowOf(-3.0f);
        for (int x = x1; x < x2; ++x) d.pixel(x, t) = RGBA8{0, 255, 242, 255};
    }
    for (int i = 1; i <= 3; ++i) blit(d, handles[i] - 11, 87 - 11, images.handle.toRef().asConst(), 22, 22);
    for (int y = h - 19; y <= h; ++y)
        for (int x = 0; x < d.w; ++x) {
            RGBA8& p = d.pixel(x, y);
            p.r = static_cast<uint8_t>(p.r * 155 / 255), p.g = static_cast<uint8_t>(p.g * 155 / 255),
            p.b = static_cast<uint8_t>(p.b * 155 / 255);
        }
    const char* texts[4] = {"In: -8.0dB Out: -12.0dB", "In: -5.0dB Out: -7.0dB", "In: -11.0dB Out: -13.0dB",
                            "In: -20.0dB Out: -21.0dB"};
    for (int b = 0; b < 4; ++b)
        gfx::fillText(d, font, texts[b], 10.0f, 0.5f, RGBA8{230, 230, 230, 255},
                      (handles[b] + handles[b + 1]) / 2.0f, h - 10.0f, gfx::HorizontalAlignment::center,
                      gfx::VerticalAlignment::center);
}

}  // namespace

void composeMock(const ImageSet& images, gfx::Font& font, gfx::OwnedImage<RGBA8>& out) {
    out.size(kEditorWidth, kEditorHeight);
    const auto t = out.toRef();
    for (int y = 0; y < kEditorHeight; ++y)
        std::copy(images.background.row(y), images.background.row(y) + kEditorWidth, t.row(y));

    // Parameter defaults, normalised: threshold -3 dB, attack 20 ms, release 40 ms, ratio 4, gain 0.
    const float threshold = 33.0f / 36.0f, attack = std::log(20.0f) / std::log(2000.0f),
                release = std::log(40.0f) / std::log(2000.0f), ratio = std::log(4.0f) / std::log(100.0f);
    const float knobValues[4] = {attack, release, ratio, 0.0f};
    const char* const knobTexts[4] = {"20.00ms", "40.00ms", "4.00 ", "0.00 dB"};
    for (int b = 0; b < layout::kNumBands; ++b) {
        const gfx::Box slider = layout::inBand(layout::kThresholdSlider, b);
        blitFrame(t, slider.min.x, slider.min.y, images.slider, kFilmstripFrames, threshold);
        for (int k = 0; k < 4; ++k) {
            const gfx::Box knob = layout::inBand(layout::bandKnob(k), b);
            blitFrame(t, knob.min.x, knob.min.y, images.bandKnob, kFilmstripFrames, knobValues[k]);
        }
    }
    for (int b = 0; b < layout::kNumBands; ++b) {
        label(t, font, "-3.00dB", layout::thresholdLabel(b));
        for (int k = 0; k < 4; ++k)
            label(t, font, knobTexts[k], layout::inBand(layout::kBandKnobLabel[k], b));
    }
    display(t, images, font);
    blit(t, layout::kOverlay.min.x, layout::kOverlay.min.y, images.overlay.toRef().asConst(),
         layout::kOverlay.width(), layout::kOverlay.height());
    for (int b = 0; b < layout::kNumBands; ++b) {
        const auto& sw = b == 1 ? images.switchOn : images.switchOff;
        const gfx::Box solo = layout::inBand(layout::kSoloSwitch, b);
        blit(t, solo.min.x, solo.min.y, sw.toRef().asConst(), solo.width(), solo.height());
    }
    const gfx::Box autoGain = layout::kAutoGainSwitch;
    blit(t, autoGain.min.x, autoGain.min.y, images.switchOn.toRef().asConst(), autoGain.width(),
         autoGain.height());
    blitFrame(t, layout::kOutputKnob.min.x, layout::kOutputKnob.min.y, images.outputKnob, kFilmstripFrames,
              0.5f);
    label(t, font, "0.00 dB", layout::kOutputLabel);
    blit(t, layout::kLogo.min.x, layout::kLogo.min.y, images.logo.toRef().asConst(), kLogoWidth, kLogoHeight);
    // The window shows colours only.
    for (int y = 0; y < t.h; ++y)
        for (int x = 0; x < t.w; ++x) t.pixel(x, y).a = 255;
}

}  // namespace imagegen
