// Font loading (and refusal of corrupt bytes), UTF-8 decoding and the layout figures.
#include "plugkit/graphics/Font.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <type_traits>
#include <vector>

#include "TestFont.h"
#include "plugkit/core/AlignedAlloc.h"
#include "tolva_resources.h"

using namespace plugkit::graphics;

namespace {

struct Placed {
    uint32_t cp;
    Box box;
    float xShift, yShift;
};

std::vector<Placed> layout(const Font& font, std::string_view text, float size, float spacing, float x,
                           float y) {
    std::vector<Placed> out;
    font.iterateCharacterPositions(
        text, size, spacing, x, y,
        [](void* user, int index, uint32_t cp, const Box& box, float, float xs, float ys) {
            auto* v = static_cast<std::vector<Placed>*>(user);
            EXPECT_EQ(index, static_cast<int>(v->size()));
            v->push_back({cp, box, xs, ys});
        },
        &out);
    return out;
}

const tolva::resources::Resource& vera = tolva::resources::VeraBd_ttf;

}  // namespace

TEST(Font, EmbeddedFontLoadsWithItsHeaderMetrics) {
    ASSERT_GT(vera.size, 50000u);
    const FontPtr f{Font::tryCreate(vera.data, vera.size)};
    ASSERT_NE(f.get(), nullptr);
    EXPECT_EQ(f->ascent(), 1901);
    EXPECT_EQ(f->descent(), -483);
    EXPECT_EQ(f->lineGap(), 0);
    // x-height of Vera Sans Bold is 1120 units: 1120 * 24 / 2384.
    EXPECT_NEAR(f->getHeightOfx(24), 11.275f, 0.01f);
}

// Bytes that are not a usable font are an error the caller sees: there is no constructor that
// could only give up on them.
static_assert(!std::is_constructible_v<Font, const unsigned char*, std::size_t>);

TEST(Font, Utf8DecodingReplacesEveryInvalidSequence) {
    struct Case {
        const char* text;
        std::vector<uint32_t> expected;
    } cases[] = {
        {"A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", {'A', 0xE9, 0x20AC, 0x1F600}},
        {"\xFF"
         "A",
         {0xFFFD, 'A'}},
        {"\xC3", {0xFFFD}},                                      // truncated
        {"\xC0\x80", {0xFFFD, 0xFFFD}},                          // overlong NUL
        {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},              // surrogate
        {"\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},  // beyond U+10FFFF
        {"\xE2\x82"
         "A",
         {0xFFFD, 0xFFFD, 'A'}},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> got;
        const std::string_view text(c.text);
        for (std::size_t pos = 0; pos < text.size();) got.push_back(decodeUtf8(text, pos));
        EXPECT_EQ(got, c.expected) << c.text;
    }
}

TEST(Font, LayoutUsesBoxesKerningShiftsAndSpacing) {
    const auto bytes = testfont::build({.kernAA = true});
    const FontPtr f = testfont::load(bytes);
    ASSERT_NE(f.get(), nullptr);
    // 10 px: scale 0.01; 'A' box (0, -8, 10, 2); advance 10 px; kerning A-A -1 px.
    auto placed = layout(*f, "AA A", 10, 0.5f, 0, 0);
    ASSERT_EQ(placed.size(), 4u);
    EXPECT_EQ(placed[0].box, Box(0, -8, 10, 2));
    // second A: 10 + 0.5 - 1 = 9.5 -> ix 9, shift 0.5, box floor(0.5) .. ceil(10.5)
    EXPECT_EQ(placed[1].box, Box(9, -8, 20, 2));
    EXPECT_EQ(placed[1].xShift, 0.5f);
    EXPECT_EQ(placed[2].box, Box(20, 0, 20, 0));  // a space has no box: (ix, iy, ix, iy)
    EXPECT_EQ(placed[2].cp, static_cast<uint32_t>(' '));
    // Shifts are rounded to eighths, halves away from zero, and may reach 1.
    placed = layout(*f, "A", 10, 0, 3.0625f, 7.97f);
    EXPECT_EQ(placed[0].xShift, 0.125f);
    EXPECT_EQ(placed[0].yShift, 1.0f);
    EXPECT_EQ(placed[0].box, Box(3, 7 - 8 + 1, 3 + 11, 7 + 2 + 1));

    EXPECT_EQ(f->measureText("", 10, 0), Box(0, 0, 0, 0));
    EXPECT_EQ(f->measureText("AAAA", 10, 0), Box(0, -8, 37, 2));  // three kerned pairs
    EXPECT_EQ(f->measureText("A A", 10, 0.5f), Box(0, -8, 31, 2));
    // Unknown code points and invalid bytes lay out the missing glyph (empty here).
    placed = layout(*f, "\xFFz", 10, 0, 0, 0);
    EXPECT_EQ(placed[0].cp, 0xFFFDu);
    EXPECT_TRUE(placed[0].box.empty());
    EXPECT_EQ(placed[1].box, Box(10, 0, 10, 0));
}

TEST(Font, HeightOfxFallsBackToAscentWithoutAnxGlyph) {
    const auto bytes = testfont::build();
    const FontPtr f = testfont::load(bytes);
    ASSERT_NE(f.get(), nullptr);
    EXPECT_FLOAT_EQ(f->getHeightOfx(10), 8.0f);  // ascent 800 * 0.01
}

TEST(Font, CorruptBytesFailAtLoad) {
    auto expectRefused = [](const testfont::Bytes& b, const char* what) {
        Font* f = Font::tryCreate(b.data(), b.size());
        EXPECT_EQ(f, nullptr) << what;
        plugkit::core::destroyFree(f);
    };
    expectRefused(testfont::build({.compositeCycle = true}), "composite glyph containing itself");
    expectRefused(testfont::build({.ascent = -200}), "ascent equal to descent");
    expectRefused(testfont::build({.searchRange = 64}), "cmap search field pointing outside");
    expectRefused(testfont::build({.locaEnd = 400}), "glyph beyond the glyf table");
    expectRefused({}, "empty");
    expectRefused(testfont::Bytes(vera.data, vera.data + 11), "shorter than a header");

    // Every truncation of the product font that cuts a table is refused; none crashes.
    const testfont::Bytes whole(vera.data, vera.data + vera.size);
    for (std::size_t n = 0; n < whole.size(); n += 397)
        expectRefused(testfont::Bytes(whole.begin(), whole.begin() + n), "cut");
    // A table directory entry pointing past the end.
    testfont::Bytes bad = whole;
    bad[12 + 8] = 0x7F;
    expectRefused(bad, "table offset outside the file");

    // Random damage either fails at load or leaves a font that lays out and measures safely.
    std::srand(11);
    for (int round = 0; round < 300; ++round) {
        testfont::Bytes b = whole;
        for (int k = 0; k < 4; ++k) b[std::rand() % b.size()] = static_cast<unsigned char>(std::rand());
        Font* f = Font::tryCreate(b.data(), b.size());
        if (f) f->measureText("Threshold -12.5 dB", 13, 0);
        plugkit::core::destroyFree(f);
    }
}

TEST(Font, TheCheckRefusesExactlyWhatTheParserCannotRead) {
    // The character map the parser uses must be one it can look up; format 2 it cannot.
    const auto used2 = testfont::build({.extraCmapFormat = 2, .extraCmapUsed = true});
    EXPECT_FALSE(testfont::load(used2));
    // Maps the parser does not use are not its concern: an unused variation-sequence map.
    for (int format : {14, 2}) {
        const auto unused = testfont::build({.extraCmapFormat = format});
        const FontPtr f = testfont::load(unused);
        ASSERT_NE(f.get(), nullptr) << format;
        EXPECT_EQ(f->measureText("A", 10, 0), Box(0, -8, 10, 2));
    }
    // A component scaled slightly above 1 keeps every coordinate well within the parser's range.
    const auto scaled = testfont::build({.compositeScale = 0x4100});  // 1.015625
    const FontPtr f = testfont::load(scaled);
    ASSERT_NE(f.get(), nullptr);
    const auto placed = layout(*f, "z", 10, 0, 0, 0);  // the missing glyph is the composite
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(placed[0].box, Box(0, -8, 10, 2));  // the box its header gives
}

TEST(Font, LayoutIsSafeForAnyNumber) {
    const auto bytes = testfont::build();
    const FontPtr f = testfont::load(bytes);
    ASSERT_NE(f.get(), nullptr);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (float size : {nan, inf, -inf, 0.0f, -10.0f, 1e30f}) {
        EXPECT_EQ(f->measureText("AA", size, 0), Box(0, 0, 0, 0)) << size;
        EXPECT_TRUE(layout(*f, "AA", size, 0, 0, 0).empty()) << size;
    }
    // A position or spacing that is not a number counts as 0; huge ones are clamped.
    const auto atZero = layout(*f, "AA", 10, 0, 0, 0);
    const auto atNaN = layout(*f, "AA", 10, nan, nan, nan);
    ASSERT_EQ(atNaN.size(), 2u);
    EXPECT_EQ(atNaN[1].box, atZero[1].box);
    for (float far : {1e30f, -1e30f, inf, -inf}) {
        for (const auto& p : layout(*f, "AA", Font::kMaxSizePx, far, far, far)) {
            EXPECT_LE(std::abs(static_cast<double>(p.box.min.x)), 2.0 * Font::kMaxPixel);
            EXPECT_LE(std::abs(static_cast<double>(p.box.max.y)), 2.0 * Font::kMaxPixel);
        }
    }
}
