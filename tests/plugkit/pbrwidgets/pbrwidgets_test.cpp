// Lit widgets: the gallery rendered through the editor's redraw loop and the PBR compositor, with
// properties that survive changes of look (light and shade differ across a bevel, the knob's
// indicator and trail follow the value, the slider cap follows a drag, the switch glows when on,
// captions print), and the knob's and switch's mouse behaviour. Writes the gallery as a PNG into
// the build folder.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "plugkit/client/Parameter.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/gui/GUIGraphics.h"
#include "plugkit/pbrwidgets/WidgetGallery.h"
#include "tests/support/StbImageWrite.h"
#include "tolva_resources.h"

namespace plugkit::pbrwidgets {
namespace {

using client::BoolParameter;
using client::LinearFloatParameter;
using gui::GUIGraphics;
using gui::UILayer;
using window::WindowPixelFormat;

constexpr float kPi = std::numbers::pi_v<float>;

int brightness(RGBA8 p) { return p.r + p.g + p.b; }

struct Gallery : ::testing::Test {
    Gallery() {
        drive = core::mallocNew<LinearFloatParameter>(0, "Drive", "dB", 0.0, 10.0, 5.0);
        level = core::mallocNew<LinearFloatParameter>(1, "Level", "dB", -20.0, 0.0, -10.0);
        power = core::mallocNew<BoolParameter>(2, "Power", false);
        editor = core::mallocNew<GUIGraphics>(UIGalleryPanel::kWidth, UIGalleryPanel::kHeight, 0u);
        panel = buildGallery(*editor, editor->context(), GalleryBindings{drive, level, power}, &font);
        editor->doResize(UIGalleryPanel::kWidth, UIGalleryPanel::kHeight);
        editor->setDirtyWhole(UILayer::allLayers);
        render();
    }
    ~Gallery() override {
        core::destroyFree(editor);
        core::destroyFree(power);
        core::destroyFree(level);
        core::destroyFree(drive);
    }

    // One frame of the redraw loop: animation tick, then the dirty areas drawn and composited.
    void render() {
        editor->animate(1.0, time += 1.0);
        editor->recomputeDirtyAreas();
        editor->doDraw(WindowPixelFormat::rgba);
    }
    RGBA8 px(int x, int y) const { return editor->renderedImage().pixel(x, y); }
    // Pixel at a radius and angle from the knob's centre (window coordinates).
    RGBA8 knobPx(float radius, float angle) const {
        const Box k = panel->knob()->position();
        const float cx = (k.min.x + k.max.x - 1) * 0.5f, cy = (k.min.y + k.max.y - 1) * 0.5f;
        return px(static_cast<int>(std::lround(cx + radius * std::cos(angle))),
                  static_cast<int>(std::lround(cy + radius * std::sin(angle))));
    }

    const graphics::FontPtr fontOwner{
        graphics::Font::tryCreate(tolva::resources::VeraBd_ttf.data, tolva::resources::VeraBd_ttf.size)};
    graphics::Font& font = *fontOwner;
    LinearFloatParameter* drive;
    LinearFloatParameter* level;
    BoolParameter* power;
    GUIGraphics* editor;
    UIGalleryPanel* panel;
    double time = 0;
};

TEST_F(Gallery, IsLitAndFollowsItsParameters) {
    // The cap's bevel faces the light on one side and away from it on the other.
    const int top = brightness(knobPx(33, -kPi / 2)), bottom = brightness(knobPx(33, kPi / 2));
    EXPECT_GT(std::abs(top - bottom), 60) << top << " " << bottom;

    // Indicator at the value (0.5: straight up), trail lit from the lowest angle up to it.
    const float r = 100 * 0.5f * 0.7f * 0.6f;
    EXPECT_GT(brightness(knobPx(r, -kPi / 2)), brightness(knobPx(r, 0)) + 150);
    const RGBA8 trailLit = knobPx(44, kPi), trailDark = knobPx(44, 0);
    EXPECT_GT(trailLit.r, trailLit.b + 100);
    EXPECT_LT(brightness(trailDark) + 150, brightness(trailLit));

    drive->setFromGUI(0.0);  // the knob turns fully down-left; the trail goes out
    render();
    EXPECT_LT(brightness(knobPx(r, -kPi / 2)) + 150, brightness(knobPx(r, 0.75f * kPi)));
    EXPECT_LT(brightness(knobPx(44, kPi)) + 100, brightness(trailLit));

    // The slider's cap follows a drag upwards (through the window's event path).
    UISlider* s = panel->slider();
    const int sx = (s->position().min.x + s->position().max.x) / 2;
    const int before = s->position().min.y + s->capTop(0.5f) + UISlider::kCapHeight / 2;
    ASSERT_TRUE(editor->windowListener()->onMouseClick(sx, before, window::MouseButton::left, false, {}));
    editor->windowListener()->onMouseMove(sx, before - 30, 0, -30, {});
    editor->windowListener()->onMouseRelease(sx, before - 30, window::MouseButton::left, {});
    EXPECT_NEAR(level->getNormalized(), 0.5 + 30.0 / 150 * 1.4, 1e-4);
    const RGBA8 oldCap = px(sx, before);
    render();
    const int after = s->position().min.y + s->capTop(s->normalizedValue()) + UISlider::kCapHeight / 2;
    EXPECT_LT(after, before - 30);
    const RGBA8 capLine = px(sx, after), fill = px(sx, before);
    EXPECT_GT(brightness(capLine), 400);  // the light line across the cap
    EXPECT_LT(std::abs(capLine.r - capLine.b), 40);
    EXPECT_GT(fill.r, fill.b + 100);  // where the cap was, the glowing fill now shows
    EXPECT_NE(fill, oldCap);

    // The switch: a click turns it on; once the lever has travelled the track glows green.
    UIOnOffSwitch* sw = panel->powerSwitch();
    const Box sb = sw->position();
    const int gy = (sb.min.y + sb.max.y) / 2, gx = sb.min.x + 14;  // on the track, off the lever's end
    const RGBA8 off = px(gx, gy);
    ASSERT_TRUE(editor->windowListener()->onMouseClick(gx, gy, window::MouseButton::left, false, {}));
    editor->windowListener()->onMouseRelease(gx, gy, window::MouseButton::left, {});
    EXPECT_TRUE(power->value());
    render();
    EXPECT_FLOAT_EQ(sw->leverPosition(), 1.0f);
    EXPECT_GT(px(gx, gy).g, off.g + 60);

    // Captions print light text on the panel.
    int light = 0;
    for (int y = 150; y < 170; ++y)
        for (int x = 55; x < 105; ++x) light += brightness(px(x, y)) > 400;
    EXPECT_GT(light, 15);

    drive->setFromGUI(7.0);  // a value that shows the trail in the picture
    render();
    const ImageRef<RGBA8> img = editor->renderedImage();
    EXPECT_NE(stbi_write_png(TOLVA_GALLERY_PNG, img.w, img.h, 4, img.pixels, static_cast<int>(img.pitch)), 0);
}

TEST_F(Gallery, KnobTakesClicksOnItsDiscAndDragsWithCrossingPoints) {
    UIKnob* k = panel->knob();
    const Box b = k->position();
    EXPECT_FALSE(k->mouseClick(b.min.x + 2, b.min.y + 2, 0, false, {}));  // corner, off the disc
    EXPECT_EQ(editor->context()->dragged, nullptr);

    const int cx = b.min.x + 50, cy = b.min.y + 50;
    ASSERT_TRUE(editor->windowListener()->onMouseClick(cx, cy, window::MouseButton::left, false, {}));
    editor->windowListener()->onMouseMove(cx, cy + 100, 0, 100, {});  // the knob's height: -0.25
    EXPECT_NEAR(drive->getNormalized(), 0.25, 1e-5);
    window::MouseState shift;
    shift.shiftHeld = true;
    editor->windowListener()->onMouseMove(cx, cy + 200, 0, 100, shift);
    EXPECT_NEAR(drive->getNormalized(), 0.225, 1e-5);
    editor->windowListener()->onMouseMove(cx, cy + 300, 0, 100, {});  // hits 0 at local y 350
    EXPECT_EQ(drive->getNormalized(), 0.0);
    editor->windowListener()->onMouseMove(cx, cy + 400, 0, 100, {});
    editor->windowListener()->onMouseMove(cx, cy + 380, 0, -20, {});  // up, but still below 350
    EXPECT_EQ(drive->getNormalized(), 0.0);
    editor->windowListener()->onMouseMove(cx, cy + 300, 0, -80, {});  // above it: follows again
    EXPECT_NEAR(drive->getNormalized(), 0.2, 1e-5);
    editor->windowListener()->onMouseRelease(cx, cy, window::MouseButton::left, {});

    window::MouseState alt;
    alt.altHeld = true;
    ASSERT_TRUE(editor->windowListener()->onMouseClick(cx, cy, window::MouseButton::left, false, alt));
    editor->windowListener()->onMouseRelease(cx, cy, window::MouseButton::left, {});
    EXPECT_EQ(drive->value(), 5.0);
    power->setFromGUI(true);
    UIOnOffSwitch* sw = panel->powerSwitch();
    EXPECT_TRUE(sw->onMouseClick(1, 1, 0, false, alt));  // Alt: back to the default
    EXPECT_FALSE(power->value());
}

}  // namespace
}  // namespace plugkit::pbrwidgets
