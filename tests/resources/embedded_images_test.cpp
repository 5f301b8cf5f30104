#include <gtest/gtest.h>

#include <cstring>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/graphics/ImageDecoding.h"
#include "tolva_resources.h"

namespace {

namespace gfx = plugkit::graphics;
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

// Every embedded picture decodes at the size the editor lays out; filmstrips hold 60 frames that
// all differ from their neighbours; the switch states differ; the overlay touches nothing outside
// the display and only veils it.
TEST(EmbeddedImages, DecodeAtTheirLayoutSizesAndRoles) {
    using namespace tolva::resources;
    const struct {
        const Resource& resource;
        int width, height, frames;
    } expected[] = {{background_png, 800, 450, 1},   {knob_band_png, 50, 3000, 60},
                    {knob_output_png, 25, 1500, 60}, {slider_threshold_png, 24, 10200, 60},
                    {logo_png, 170, 15, 1},          {switch_on_png, 34, 14, 1},
                    {switch_off_png, 34, 14, 1},     {display_overlay_png, 800, 450, 1},
                    {handle_png, 22, 22, 1}};
    for (const auto& e : expected) {
        Decoded d(e.resource);
        ASSERT_NE(d.image, nullptr);
        EXPECT_EQ(d.image->width(), e.width);
        EXPECT_EQ(d.image->height(), e.height);
        const int frameHeight = e.height / e.frames;
        for (int f = 1; f < e.frames; ++f)
            EXPECT_FALSE(framesEqual(*d.image, frameHeight, f - 1, f))
                << e.width << " wide strip, frame " << f;
    }

    Decoded on(switch_on_png), off(switch_off_png);
    EXPECT_NE(std::memcmp(on.image->pixels(), off.image->pixels(), 34 * 4 * 14), 0);

    Decoded bg(background_png);
    Decoded overlay(display_overlay_png);
    const gfx::Box display(15, 50, 785, 225);
    int translucentBackground = 0, touchedOutside = 0, strongInside = 0, veiled = 0;
    for (int y = 0; y < 450; ++y)
        for (int x = 0; x < 800; ++x) {
            translucentBackground += bg.image->pixel(x, y).a != 255;
            const int a = overlay.image->pixel(x, y).a;
            if (display.contains(x, y)) {
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
