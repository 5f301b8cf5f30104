// PNG through stb_image and the format dispatch of readImageFromMem / loadOwnedImage.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/graphics/ImageDecoding.h"
#include "tests/support/StbImageWrite.h"

using namespace plugkit::graphics;
using Bytes = std::vector<unsigned char>;

namespace {

Bytes encodePng(int w, int h, int comps, const unsigned char* pixels) {
    Bytes out;
    stbi_write_png_to_func(
        [](void* ctx, void* data, int size) {
            auto* o = static_cast<Bytes*>(ctx);
            o->insert(o->end(), static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
        },
        &out, w, h, comps, pixels, w * comps);
    return out;
}

struct ImageHolder {
    OwnedImage<RGBA8>* image;
    ~ImageHolder() { plugkit::core::destroyFree(image); }
};

}  // namespace

TEST(ImageDecoding, PngRgbaRgbAndGreyBecomeRgba8) {
    const unsigned char rgba[] = {10, 20, 30, 40, 250, 128, 0, 255};
    const Bytes png = encodePng(2, 1, 4, rgba);
    ImageHolder img{loadOwnedImage(png.data(), png.size())};
    ASSERT_NE(img.image, nullptr);
    EXPECT_EQ(img.image->width(), 2);
    EXPECT_EQ(img.image->height(), 1);
    EXPECT_EQ(img.image->pitch(), 8);
    EXPECT_EQ(0, std::memcmp(img.image->pixels(), rgba, 8));

    const unsigned char rgb[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const Bytes rgbPng = encodePng(2, 2, 3, rgb);
    IFImage d = readImageFromMem(rgbPng.data(), rgbPng.size(), 4);
    ASSERT_NE(d.pixels, nullptr);
    EXPECT_EQ(d.size, 16u);
    EXPECT_EQ(d.components, 4);
    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(d.pixels[4 * i + k], rgb[3 * i + k]);
        EXPECT_EQ(d.pixels[4 * i + 3], 255);
    }
    freeImage(d);
    EXPECT_EQ(d.pixels, nullptr);

    const unsigned char grey[] = {0, 77, 200};
    const Bytes greyPng = encodePng(3, 1, 1, grey);
    ImageHolder g{loadOwnedImage(greyPng.data(), greyPng.size())};
    ASSERT_NE(g.image, nullptr);
    for (int x = 0; x < 3; ++x) {
        const RGBA8 p = g.image->row(0)[x];
        EXPECT_TRUE(p.r == grey[x] && p.g == grey[x] && p.b == grey[x] && p.a == 255) << x;
    }
    IFImage one = readImageFromMem(greyPng.data(), greyPng.size(), 1);
    ASSERT_NE(one.pixels, nullptr);
    EXPECT_EQ(0, std::memcmp(one.pixels, grey, 3));
    freeImage(one);
}

TEST(ImageDecoding, GreyJpegGivesEqualChannelsAndOpaqueAlpha) {
    // 8 x 8 grey baseline JPEG of one block with only a DC coefficient: DC table {"0" -> category
    // 5}, AC table {"0" -> end of block}, entropy bits 0 10000 0 (+ 1 padding) = diff 16.
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xDB, 0, 67, 0};
    jpeg.push_back(8);  // DC quantiser: 16 * 8 / 8 = +16 over mid grey
    jpeg.insert(jpeg.end(), 63, 1);
    const unsigned char frame[] = {0xFF, 0xC0, 0, 11, 8, 0, 8, 0, 8, 1, 1, 0x11, 0};
    jpeg.insert(jpeg.end(), frame, frame + sizeof frame);
    for (int table : {0x00, 0x10}) {
        const unsigned char dht[] = {0xFF, 0xC4, 0, 20, static_cast<unsigned char>(table), 1};
        jpeg.insert(jpeg.end(), dht, dht + sizeof dht);
        jpeg.insert(jpeg.end(), 15, 0);
        jpeg.push_back(table ? 0x00 : 0x05);
    }
    const unsigned char scan[] = {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, 63, 0, 0x41, 0xFF, 0xD9};
    jpeg.insert(jpeg.end(), scan, scan + sizeof scan);
    IFImage d = readImageFromMem(jpeg.data(), jpeg.size(), 4);
    ASSERT_NE(d.pixels, nullptr);
    ASSERT_EQ(d.w, 8);
    ASSERT_EQ(d.h, 8);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(d.pixels[4 * i], 144);
        EXPECT_EQ(d.pixels[4 * i + 1], d.pixels[4 * i]);
        EXPECT_EQ(d.pixels[4 * i + 2], d.pixels[4 * i]);
        EXPECT_EQ(d.pixels[4 * i + 3], 255);
    }
    freeImage(d);
}

TEST(ImageDecoding, UnknownTruncatedCorruptOrHugeDataFails) {
    const unsigned char gif[] = "GIF89a\x01\x00\x01\x00";
    const unsigned char tiny[] = {0xFF};
    EXPECT_EQ(readImageFromMem(gif, sizeof gif, 4).pixels, nullptr);
    EXPECT_EQ(readImageFromMem(tiny, 1, 4).pixels, nullptr);
    EXPECT_EQ(readImageFromMem(tiny, 0, 4).pixels, nullptr);
    EXPECT_EQ(readImageFromMem(nullptr, 10, 4).pixels, nullptr);
    EXPECT_EQ(loadOwnedImage(gif, sizeof gif), nullptr);

    std::vector<unsigned char> pixels(16 * 16 * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(i * 37);
    const Bytes png = encodePng(16, 16, 4, pixels.data());
    EXPECT_EQ(readImageFromMem(png.data(), png.size(), 2).pixels, nullptr);
    for (std::size_t n = 0; n + 12 < png.size(); ++n) {  // the last 12 bytes are the IEND chunk
        IFImage d = readImageFromMem(png.data(), n, 4);
        EXPECT_EQ(d.pixels, nullptr) << n;
        EXPECT_EQ(d.w, 0);
        freeImage(d);
    }
    std::srand(3);
    for (int round = 0; round < 500; ++round) {
        Bytes bad = png;
        bad[8 + std::rand() % (bad.size() - 8)] ^= static_cast<unsigned char>(1 + std::rand() % 255);
        IFImage d = readImageFromMem(bad.data(), bad.size(), 4);
        if (d.pixels) {
            EXPECT_EQ(d.size, static_cast<std::size_t>(d.w) * d.h * 4);
        }
        freeImage(d);
    }
    // A header announcing 16384 x 16384 pixels is refused before the library reserves memory.
    Bytes huge = png;
    const unsigned char side[4] = {0, 0, 0x40, 0};
    std::memcpy(huge.data() + 16, side, 4);
    std::memcpy(huge.data() + 20, side, 4);
    EXPECT_EQ(readImageFromMem(huge.data(), huge.size(), 4).pixels, nullptr);
}
