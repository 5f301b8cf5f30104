#include <gtest/gtest.h>

#include <cstring>

#include "gui/EditorLayout.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/graphics/ImageDecoding.h"
#include "tolva_resources.h"

namespace {

namespace gfx = plugkit::graphics;
namespace layout = tolvagui::layout;
using tolva::resources::Resource;

struct Decoded {
    gfx::OwnedImage<gfx::RGBA8>* image;
    explicit Decoded(const Resource& r) : image(gfx::loadOwnedImage(r.data, r.size)) {}
    ~Decoded() {
        if (image) plugkit::core::destroyFree(image);
    }
};

bool framesEqual(const gfx::OwnedImage<gfx::RGBA8>& strip, int frameHeight, int a, int b) {
    for (int y = 0; y < frameHeight; ++y)
        if (std::memcmp(strip.row(a * frameHeight + y), strip.row(b * frameHeight + y),
                        static_cast<std::size_t>(strip.width()) * sizeof(gfx::RGBA8)) != 0)
            return false;
    return true;
}

}  // namespace

// Every embedded picture decodes at the size of the box the editor shows it in (a frame of 60 for
// the filmstrips, whose frames all differ from their neighbours); the switch states differ; the
// overlay touches nothing outside the display and only veils it.
TEST(EmbeddedImages, DecodeAtTheirLayoutSizesAndRoles) {
    using namespace tolva::resources;
    const gfx::Box editor(0, 0, layout::kWidth, layout::kHeight);
    const struct {
        const Resource& resource;
        gfx::Box shownIn;
        int frames;
    } expected[] = {{background_png, editor, 1},
                    {knob_band_png, layout::bandKnob(0), 60},
                    {knob_output_png, layout::kOutputKnob, 60},
                    {slider_threshold_png, layout::kThresholdSlider, 60},
                    {logo_png, layout::kLogo, 1},
                    {switch_on_png, layout::kAutoGainSwitch, 1},
                    {switch_off_png, layout::kAutoGainSwitch, 1},
                    {display_overlay_png, editor, 1},
                    {handle_png, gfx::Box(0, 0, 22, 22), 1}};  // the display's crossover handles
    for (const auto& e : expected) {
        Decoded d(e.resource);
        ASSERT_NE(d.image, nullptr);
        EXPECT_EQ(d.image->width(), e.shownIn.width());
        EXPECT_EQ(d.image->height(), e.shownIn.height() * e.frames);
        const int frameHeight = e.shownIn.height();
        for (int f = 1; f < e.frames; ++f)
            EXPECT_FALSE(framesEqual(*d.image, frameHeight, f - 1, f))
                << e.shownIn.width() << " wide strip, frame " << f;
    }

    Decoded on(switch_on_png), off(switch_off_png);
    EXPECT_NE(std::memcmp(on.image->pixels(), off.image->pixels(), 34 * 4 * 14), 0);

    Decoded bg(background_png);
    Decoded overlay(display_overlay_png);
    int translucentBackground = 0, touchedOutside = 0, strongInside = 0, veiled = 0;
    for (int y = 0; y < layout::kHeight; ++y)
        for (int x = 0; x < layout::kWidth; ++x) {
            translucentBackground += bg.image->pixel(x, y).a != 255;
            const int a = overlay.image->pixel(x, y).a;
            if (layout::kDisplay.contains(x, y)) {
                strongInside += a >= 64;
                veiled += a > 0;
            } else {
                touchedOutside += a != 0;
            }
        }
    EXPECT_EQ(translucentBackground, 0);
    EXPECT_EQ(touchedOutside, 0);
    EXPECT_EQ(strongInside, 0);
    EXPECT_GT(veiled, 0);
}
