// fillText: alignment, sub-pixel placement, clipping, blending, crops, the glyph cache and the
// font's lock under concurrent drawing.
#include <gtest/gtest.h>

#include <deque>
#include <limits>
#include <thread>
#include <vector>

#include "TestFont.h"
#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/graphics/OwnedImage.h"
#include "plugkit/graphics/TextRendering.h"
#include "tests/support/Pixels.h"
#include "tolva_resources.h"

using namespace plugkit::graphics;

namespace {

struct Canvas {
    OwnedImage<RGBA8> image;
    Canvas(int w, int h, RGBA8 fill = RGBA8{0, 0, 0, 0}) {
        image.size(w, h);
        plugkit::testing::fill(image.toRef(), fill);
    }
    ImageRef<RGBA8> ref() { return image.toRef(); }
    RGBA8 at(int x, int y) const { return image.row(y)[x]; }
    // Bounding box of the pixels whose alpha is not 0.
    Box touched() const {
        Box b(1 << 20, 1 << 20, -(1 << 20), -(1 << 20));
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (at(x, y).a)
                    b = Box(std::min(b.min.x, x), std::min(b.min.y, y), std::max(b.max.x, x + 1),
                            std::max(b.max.y, y + 1));
        return b;
    }
};

bool samePixels(const Canvas& a, const Canvas& b, int ax, int bx, int w) {
    for (int y = 0; y < a.image.height(); ++y)
        for (int x = 0; x < w; ++x) {
            if (!(a.at(ax + x, y) == b.at(bx + x, y))) return false;
        }
    return true;
}

const RGBA8 white{255, 255, 255, 255};

// The product's font, loaded once per test.
struct VeraText : ::testing::Test {
    const FontPtr held{Font::tryCreate(tolva::resources::VeraBd_ttf.data, tolva::resources::VeraBd_ttf.size)};
    Font& vera() { return *held; }
    void SetUp() override { ASSERT_NE(held.get(), nullptr); }
};

}  // namespace

TEST(FillText, CentreAlignmentOriginAndSubPixelOffsets) {
    const auto bytes = testfont::build({.ascent = 1000});  // at 12 px an 'A' is (0, -10, 10, 2)
    const FontPtr f = testfont::load(bytes);
    ASSERT_NE(f.get(), nullptr);
    ASSERT_EQ(f.get()->measureText("AAAA", 12, 0), Box(0, -10, 40, 2));
    Canvas c(200, 100);
    fillText(c.ref(), *f, "AAAA", 12, 0, white, 100.5f, 50.25f, HorizontalAlignment::center,
             VerticalAlignment::center);
    // Origin (100 - 20, 50 + 4) = (80, 54); glyphs at offsets (0.5, 0.25) grow one column and row.
    EXPECT_EQ(c.touched(), Box(80, 44, 121, 57));
    // Column 80 and row 44 are partly covered; the first full column is 81.
    EXPECT_GT(c.at(80, 50).r, 64);
    EXPECT_LT(c.at(80, 50).r, 192);
    EXPECT_EQ(c.at(81, 50).r, 254);  // full coverage of 255 blends to 254
    EXPECT_GT(c.at(85, 44).r, 128);
    EXPECT_LT(c.at(85, 44).r, 254);
    // Without alignment the position is the pen origin.
    Canvas d(200, 100);
    fillText(d.ref(), *f, "A", 12, 0, white, 10, 20);
    EXPECT_EQ(d.touched(), Box(10, 10, 20, 22));
}

TEST(FillText, BlendsColourByCoverageAndSetsAlphaOverTheGlyphBox) {
    const auto bytes = testfont::build();
    const FontPtr f = testfont::load(bytes);
    Canvas c(40, 20, RGBA8{100, 50, 0, 7});
    fillText(c.ref(), *f, "A", 10, 0, RGBA8{200, 0, 255, 128}, 5.5f, 10);
    // The glyph sits at x 5.5: its mask (cached by the draw) is 11 x 10 at shift (0.5, 0).
    const ImageRef<const L8> mask = f.get()->glyphCache().requestGlyph(GlyphKey{'A', 0.01f, 0.5f, 0}, 11, 10);
    ASSERT_EQ(f.get()->glyphCache().size(), 1u);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 11; ++x) {
            const int k = mask.pixel(x, y).l;
            const RGBA8 p = c.at(5 + x, 2 + y);
            ASSERT_EQ(p.r, (200 * k + 100 * (255 - k) + 128) >> 8);
            ASSERT_EQ(p.g, (50 * (255 - k) + 128) >> 8);
            ASSERT_EQ(p.b, (255 * k + 128) >> 8);
            ASSERT_EQ(p.a, 128);
        }
    EXPECT_EQ(mask.pixel(5, 5).l, 255);
    EXPECT_GT(mask.pixel(0, 5).l, 0);
    EXPECT_LT(mask.pixel(0, 5).l, 255);
    EXPECT_EQ(c.at(4, 5).a, 7);   // outside every glyph box
    EXPECT_EQ(c.at(8, 12).a, 7);  // below the box
}

TEST(FillText, EqualShiftsShareOneCacheEntry) {
    const auto bytes = testfont::build();
    {
        const FontPtr f = testfont::load(bytes);
        Canvas c(60, 20);
        fillText(c.ref(), *f, "AA", 10, 0, white, 2, 12);  // both at whole pixels
        EXPECT_EQ(f.get()->glyphCache().size(), 1u);
        fillText(c.ref(), *f, "AA", 10, 0, white, 7, 12);  // same shifts again: still one
        EXPECT_EQ(f.get()->glyphCache().size(), 1u);
    }
    {
        const FontPtr f = testfont::load(bytes);
        Canvas c(60, 20);
        fillText(c.ref(), *f, "AA", 10, 0.5f, white, 2, 12);  // second lands on a half pixel
        EXPECT_EQ(f.get()->glyphCache().size(), 2u);
        fillText(c.ref(), *f, "AA", 10, 0.51f, white, 2, 12);  // 0.51 rounds to 4/8 too
        EXPECT_EQ(f.get()->glyphCache().size(), 2u);
        fillText(c.ref(), *f, "A", 11, 0, white, 2, 12);  // another size is another variant
        EXPECT_EQ(f.get()->glyphCache().size(), 3u);
    }
}

TEST_F(VeraText, ClipsAtTheTargetEdgesWithoutMovingTheGlyphs) {
    Canvas clipped(60, 24), whole(90, 24);
    fillText(clipped.ref(), vera(), "W@g", 16, 0, white, -5.25f, 17);
    fillText(whole.ref(), vera(), "W@g", 16, 0, white, 24.75f, 17);  // 30 px further right
    EXPECT_TRUE(samePixels(clipped, whole, 0, 30, 60));
    // Text far outside draws nothing and does not crash.
    Canvas empty(10, 10);
    fillText(empty.ref(), vera(), "Gain", 16, 0, white, -500, 5);
    fillText(empty.ref(), vera(), "Gain", 16, 0, white, 5, 5000);
    fillText(empty.ref(), vera(), "", 16, 0, white, 5, 5);
    EXPECT_TRUE(empty.touched().empty());
}

TEST_F(VeraText, CropDrawsLikeAnImageOfItsSizeAndStaysInside) {
    Canvas big(100, 60), small(30, 20), reference(100, 60);
    fillText(crop(big.ref(), Box(40, 20, 70, 40)), vera(), "8.5 kHz", 14, 0, white, 15, 10,
             HorizontalAlignment::center, VerticalAlignment::center);
    fillText(small.ref(), vera(), "8.5 kHz", 14, 0, white, 15, 10, HorizontalAlignment::center,
             VerticalAlignment::center);
    EXPECT_TRUE(Box(40, 20, 70, 40).contains(big.touched()));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(big.at(40 + x, 20 + y).r, small.at(x, y).r) << x << "," << y;
    // A crop that reaches past the image is clipped to the image.
    fillText(crop(reference.ref(), Box(90, 50, 140, 90)), vera(), "WWW", 30, 0, white, 0, 20);
    EXPECT_TRUE(Box(90, 50, 100, 60).contains(reference.touched()));
}

TEST_F(VeraText, InvalidUtf8DrawsLikeTheReplacementCharacter) {
    Canvas a(60, 30), b(60, 30);
    fillText(a.ref(), vera(),
             "a\xFF"
             "b",
             20, 0, white, 3, 22);
    fillText(b.ref(), vera(),
             "a\xEF\xBF\xBD"
             "b",
             20, 0, white, 3, 22);
    EXPECT_TRUE(samePixels(a, b, 0, 0, 60));
    EXPECT_FALSE(a.touched().empty());
}

TEST_F(VeraText, ConcurrentDrawsWithOneFontMatchSerialDraws) {
    const char* labels[] = {"Threshold", "Ratio 4.0:1", "Attack 12 ms", "Release 150 ms"};
    std::deque<Canvas> serial, parallel;
    for (int i = 0; i < 4; ++i) {
        serial.emplace_back(120, 24);
        parallel.emplace_back(120, 24);
    }
    {
        const FontPtr fresh{
            Font::tryCreate(tolva::resources::VeraBd_ttf.data, tolva::resources::VeraBd_ttf.size)};
        ASSERT_NE(fresh.get(), nullptr);
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 8; ++k)
                fillText(serial[i].ref(), *fresh, labels[i], 13 + k % 2, 0, white, 3 + k * 0.125f, 17);
    }
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            for (int k = 0; k < 8; ++k)
                fillText(parallel[i].ref(), vera(), labels[i], 13 + k % 2, 0, white, 3 + k * 0.125f, 17);
        });
    for (auto& t : threads) t.join();
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(samePixels(serial[i], parallel[i], 0, 0, 120)) << labels[i];
}

TEST(FillText, PositionsAndSizesThatAreNotNumbersDrawSafely) {
    const auto bytes = testfont::build({.ascent = 1000});
    const FontPtr f = testfont::load(bytes);
    ASSERT_NE(f.get(), nullptr);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    Canvas atZero(40, 30), atNaN(40, 30);
    fillText(atZero.ref(), *f, "A", 12, 0, white, 0, 12);
    fillText(atNaN.ref(), *f, "A", 12, nan, white, nan, 12);  // counts as 0
    EXPECT_TRUE(samePixels(atZero, atNaN, 0, 0, 40));
    Canvas untouched(40, 30);
    for (float v : {inf, -inf, 1e30f, -1e30f}) {
        fillText(untouched.ref(), *f, "AA", 12, 0, white, v, v, HorizontalAlignment::center,
                 VerticalAlignment::center);
        fillText(untouched.ref(), *f, "AA", v, v, white, 5, 5);
    }
    EXPECT_EQ(untouched.touched(), Box(1 << 20, 1 << 20, -(1 << 20), -(1 << 20)));  // nothing drawn
}
