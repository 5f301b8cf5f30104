#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/ImageRef.h"
#include "plugkit/graphics/OwnedImage.h"

using namespace plugkit::graphics;

TEST(Box, IntersectionKeepsEmptyResultInPlace) {
    EXPECT_EQ(Box(0, 0, 10, 10).intersection(Box(5, 2, 20, 8)), Box(5, 2, 10, 8));
    const Box apart = Box(0, 0, 4, 4).intersection(Box(10, 10, 12, 12));
    EXPECT_TRUE(apart.empty());
    EXPECT_EQ(apart, Box(10, 10, 10, 10));
    EXPECT_TRUE(Box(3, 3, 1, 5).empty());
    EXPECT_TRUE(Box(0, 0, 5, 5).contains(Box(0, 0, 5, 5)));
    EXPECT_FALSE(Box(0, 0, 5, 5).contains(Box(1, 1, 6, 5)));
}

TEST(ImageRef, RowsFollowPitchAndCropClamps) {
    std::uint8_t bytes[3 * 16] = {};
    ImageRef<RGBA8> img{3, 3, 16, reinterpret_cast<RGBA8*>(bytes)};  // 4 bytes of padding per row
    img.pixel(2, 1) = RGBA8{1, 2, 3, 4};
    EXPECT_EQ(bytes[16 + 8], 1);
    EXPECT_EQ(bytes[16 + 11], 4);

    const ImageRef<RGBA8> c = img.crop(Box(1, 1, 10, 10));
    EXPECT_EQ(c.w, 2);
    EXPECT_EQ(c.h, 2);
    EXPECT_EQ(c.pixel(1, 0), (RGBA8{1, 2, 3, 4}));
    const ImageRef<RGBA8> outside = img.crop(Box(5, 5, 9, 9));
    EXPECT_TRUE(outside.empty());
    EXPECT_EQ(outside.w, 0);
}

TEST(OwnedImage, SizingSetsPitchBorderAndAlignment) {
    OwnedImage<L16> img;
    EXPECT_EQ(img.width(), 0);
    EXPECT_EQ(img.pixels(), nullptr);
    ASSERT_TRUE(img.size(800, 450, 1, 2));
    EXPECT_EQ(img.pitch(), 803 * 2);
    // pixel (0, 0) sits one row and one pixel into the buffer; the corners of the border are writable.
    img.pixel(-1, -1) = L16{1};
    img.pixel(801, 450) = L16{2};
    EXPECT_EQ(&img.pixel(-1, -1) + 803 + 1, &img.pixel(0, 0));

    OwnedImage<RGBA32f> f;
    ASSERT_TRUE(f.size(5, 3));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(f.pixels()) % 16, 0u);
    EXPECT_EQ(f.pitch(), 5 * 16);
}

TEST(OwnedImage, RefusesInvalidAndOverflowingSizes) {
    OwnedImage<RGBA8> img;
    ASSERT_TRUE(img.size(4, 4));
    EXPECT_FALSE(img.size(-1, 4));
    EXPECT_EQ(img.width(), 0);
    EXPECT_EQ(img.height(), 0);
    EXPECT_FALSE(img.size(4, 4, -1, 0));
    EXPECT_FALSE(img.size(0x7FFFFFFF, 1));     // pitch beyond 32 bits
    EXPECT_FALSE(img.size(600000000, 1));      // 2.4 GB row: pitch overflows int
    EXPECT_FALSE(img.size(1 << 20, 1 << 20));  // 4 TiB
    EXPECT_FALSE(img.size(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF));
    EXPECT_TRUE(img.toRef().empty());
    // Still usable afterwards.
    ASSERT_TRUE(img.size(2, 2));
    img.pixel(1, 1) = RGBA8{9, 9, 9, 9};
    EXPECT_EQ(img.pixel(1, 1).r, 9);
}

namespace {
// A 4 x 3 depth image with border 1 left/top/bottom and 2 right; pixel (x, y) = 10 * y + x + 1,
// border filled with 0xFFFF.
void fillDepth(OwnedImage<L16>& img) {
    ASSERT_TRUE(img.size(4, 3, 1, 2));
    for (int y = -1; y <= 3; ++y)
        for (int x = -1; x <= 5; ++x)
            img.pixel(x, y) =
                L16{static_cast<std::uint16_t>(img.bounds().contains(x, y) ? 10 * y + x + 1 : 0xFFFF)};
}
}  // namespace

TEST(OwnedImage, ReplicateBordersOfWholeImage) {
    OwnedImage<L16> img;
    fillDepth(img);
    img.replicateBordersTouching(img.bounds());
    for (int y = -1; y <= 3; ++y)
        for (int x = -1; x <= 5; ++x) {
            const int cx = std::clamp(x, 0, 3), cy = std::clamp(y, 0, 2);
            EXPECT_EQ(img.pixel(x, y).l, 10 * cy + cx + 1) << x << "," << y;
        }
}

TEST(OwnedImage, ReplicateBordersOnlyNextToArea) {
    OwnedImage<L16> img;
    fillDepth(img);
    // Touches the top edge only, columns 1..2: row -1 gets a copy over those columns, nothing else.
    img.replicateBordersTouching(Box(1, 0, 3, 1));
    EXPECT_EQ(img.pixel(1, -1).l, 2);
    EXPECT_EQ(img.pixel(2, -1).l, 3);
    EXPECT_EQ(img.pixel(0, -1).l, 0xFFFF);
    EXPECT_EQ(img.pixel(-1, 0).l, 0xFFFF);
    EXPECT_EQ(img.pixel(4, 0).l, 0xFFFF);
    // Right edge, bottom row: right column block and bottom-right corner.
    img.replicateBordersTouching(Box(3, 2, 4, 3));
    EXPECT_EQ(img.pixel(4, 2).l, 24);
    EXPECT_EQ(img.pixel(5, 2).l, 24);
    EXPECT_EQ(img.pixel(5, 3).l, 24);
    EXPECT_EQ(img.pixel(3, 3).l, 24);
    EXPECT_EQ(img.pixel(4, 1).l, 0xFFFF);
    // Areas outside the image, or on an empty image, write nothing.
    img.replicateBordersTouching(Box(-50, -50, -10, -10));
    EXPECT_EQ(img.pixel(-1, -1).l, 0xFFFF);
    OwnedImage<L16> empty;
    empty.replicateBordersTouching(Box(0, 0, 10, 10));
}
