#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>

#include "pelgui/UIBitmap.h"
#include "pelgui/UIImageLogo.h"
#include "pelgui/UIParamLabel.h"
#include "tests/support/FakeBrowser.h"
#include "tests/support/Pixels.h"
#include "tolva_resources.h"

namespace pelgui {
namespace {

using plugkit::client::GainParameter;
using plugkit::client::LinearFloatParameter;
using plugkit::graphics::OwnedImage;
using plugkit::gui::UIContext;
using plugkit::gui::UIElement;

std::string textOf(UIParamLabel& label) {
    char buffer[UIParamLabel::kTextBufferSize];
    label.copyText(buffer, sizeof buffer);
    return buffer;
}

struct Labels : ::testing::Test {
    UIContext ctx;
    const plugkit::graphics::FontPtr fontOwner{
        Font::tryCreate(tolva::resources::VeraBd_ttf.data, tolva::resources::VeraBd_ttf.size)};
    Font& font = *fontOwner;
    LinearFloatParameter threshold{0, "Threshold", "dB", -36.0, 0.0, -3.0};
    LinearFloatParameter time{1, "Attack", "ms", 1.0, 5000.0, 20.0};
    LinearFloatParameter ratio{2, "Ratio", "", -100.0, 100.0, 4.0};
    LinearFloatParameter gain{3, "Gain", "dB", 0.0, 12.0, 0.0};
};

TEST(NumDigits, CountsTheSignAndGivesNothingForZero) {
    EXPECT_EQ(UIParamLabel::numDigits(0), 0);
    EXPECT_EQ(UIParamLabel::numDigits(5), 1);
    EXPECT_EQ(UIParamLabel::numDigits(20), 2);
    EXPECT_EQ(UIParamLabel::numDigits(2000), 4);
    EXPECT_EQ(UIParamLabel::numDigits(-3), 2);
    EXPECT_EQ(UIParamLabel::numDigits(-36), 3);
    EXPECT_EQ(UIParamLabel::numDigits(std::numeric_limits<int>::min()), 11);
}

TEST_F(Labels, DecimalsGiveWayToIntegerDigitsAndTheTextFollowsTheParameter) {
    UIParamLabel a1(&ctx, &threshold, &font, RGBA8{0, 0, 0, 255}, 10, 2, 4, "");
    UIParamLabel a2(&ctx, &time, &font, RGBA8{0, 0, 0, 255}, 10, 2, 4, "");
    UIParamLabel b1(&ctx, &ratio, &font, RGBA8{0, 0, 0, 255}, 10, 2, 3, " ");
    UIParamLabel b2(&ctx, &gain, &font, RGBA8{0, 0, 0, 255}, 10, 2, 3);  // " " by default
    EXPECT_EQ(textOf(a1), "-3.00dB");
    EXPECT_EQ(textOf(a2), "20.00ms");
    EXPECT_EQ(textOf(b1), "4.00 ");
    EXPECT_EQ(textOf(b2), "0.00 dB");
    threshold.setFromGUI(-36.0);
    time.setFromGUI(2000.0);
    EXPECT_EQ(textOf(a1), "-36.0dB");
    EXPECT_EQ(textOf(a2), "2000ms");
    for (auto [value, text] : {std::pair{10.0, "10.0 "}, {100.0, "100 "}, {0.5, "0.50 "}, {-99.4, "-99 "}}) {
        ratio.setFromHost(ratio.toNormalized(value));
        EXPECT_EQ(textOf(b1), text);
        EXPECT_EQ(b1.paramString(), text);
    }
    // A gain at its bottom is minus infinity: shown as such, without an undefined conversion.
    GainParameter out{4, "Out", 12.0, 0.0};
    UIParamLabel b3(&ctx, &out, &font, RGBA8{0, 0, 0, 255}, 10, 2, 3);
    out.setFromHost(0.0);
    EXPECT_EQ(textOf(b3), "-inf dB");
}

TEST_F(Labels, DrawsGlyphsOnlyCentredAndTheSameWhateverTheDirtyRectangles) {
    auto* label =
        plugkit::core::mallocNew<UIParamLabel>(&ctx, &threshold, &font, RGBA8{0, 0, 0, 255}, 10, 2, 4, "");
    EXPECT_EQ(threshold.listenerCount(), 1);
    label->reflow(Box(0, 0, 50, 15));
    OwnedImage<RGBA8> whole, pieces;
    for (auto* image : {&whole, &pieces}) {
        image->size(50, 15);
        plugkit::testing::fill(image->toRef(), RGBA8{255, 255, 255, 0});
    }
    label->onDrawRaw(whole.toRef(), plugkit::testing::boxes({Box(0, 0, 50, 15)}));
    label->onDrawRaw(pieces.toRef(), plugkit::testing::boxes({Box(0, 0, 20, 7), Box(20, 0, 50, 7),
                                                              Box(0, 7, 20, 15), Box(20, 7, 50, 15)}));
    Box inked(50, 15, 0, 0);
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 50; ++x) {
            ASSERT_EQ(whole.pixel(x, y), pieces.pixel(x, y)) << x << "," << y;
            if (whole.pixel(x, y).r < 128) inked = inked.united(Box(x, y, x + 1, y + 1));
        }
    }
    ASSERT_FALSE(inked.empty());
    EXPECT_NEAR((inked.min.x + inked.max.x) / 2.0, 25.0, 2.0);
    EXPECT_NEAR((inked.min.y + inked.max.y) / 2.0, 7.5, 2.0);
    EXPECT_EQ(whole.pixel(0, 0), (RGBA8{255, 255, 255, 0}));  // transparent away from the glyphs
    plugkit::core::destroyFree(label);
    EXPECT_EQ(threshold.listenerCount(), 0);
}

TEST(Bitmap, BlendsItsImageAndLeavesWhatLiesBeyondIt) {
    UIContext ctx;
    OwnedImage<RGBA8> image, target;
    image.size(2, 1);
    image.pixel(0, 0) = RGBA8{1, 2, 3, 255};
    image.pixel(1, 0) = RGBA8{1, 2, 3, 0};
    target.size(4, 2);
    plugkit::testing::fill(target.toRef(), RGBA8{9, 9, 9, 9});
    UIBitmap bitmap(&ctx, &image);
    bitmap.reflow(Box(0, 0, 4, 2));  // larger than the image
    bitmap.renderRaw(target.toRef(), plugkit::testing::boxes({Box(0, 0, 4, 2)}));
    EXPECT_EQ(target.pixel(0, 0), (RGBA8{1, 2, 3, 255}));
    EXPECT_EQ(target.pixel(1, 0), (RGBA8{9, 9, 9, 9}));
    EXPECT_EQ(target.pixel(3, 1), (RGBA8{9, 9, 9, 9}));
}

TEST(ImageLogo, TakesEveryClickAndOpensItsPageInTheBrowser) {
    plugkit::testing::FakeBrowser browser;
    setenv("BROWSER", browser.program().c_str(), 1);

    UIContext ctx;
    OwnedImage<RGBA8> image;
    image.size(170, 15);
    UIElement root(&ctx, 0);
    root.reflow(Box(0, 0, 800, 450));
    auto* logo = root.addNew<UIImageLogo>(&ctx, &image, "https://www.pel-audio.com/tolva");
    logo->reflow(Box(612, 434, 782, 449));
    auto* below = root.addNew<UIImageLogo>(&ctx, &image, "https://below.example/");
    below->reflow(Box(612, 434, 782, 449));
    EXPECT_TRUE(root.mouseClick(780, 448, static_cast<int>(plugkit::gui::MouseButton::right), false, {}));
    EXPECT_EQ(ctx.dragged, logo);
    unsetenv("BROWSER");

    EXPECT_EQ(browser.waitForLog(), "https://www.pel-audio.com/tolva\n");
}

}  // namespace
}  // namespace pelgui
