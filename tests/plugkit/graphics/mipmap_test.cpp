#include "plugkit/graphics/Mipmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "plugkit/graphics/MipmapFilters.h"

using namespace plugkit::graphics;

namespace {

// Plain per-pixel versions of the filters, written straight from their formulas.
RGBA8 refBox(const ImageRef<RGBA8>& s, int x, int y) {
    RGBA8 o{};
    for (int c = 0; c < 4; ++c)
        o[c] =
            static_cast<std::uint8_t>((s.pixel(2 * x, 2 * y)[c] + s.pixel(2 * x + 1, 2 * y)[c] +
                                       s.pixel(2 * x, 2 * y + 1)[c] + s.pixel(2 * x + 1, 2 * y + 1)[c] + 2) >>
                                      2);
    return o;
}
L16 refBox(const ImageRef<L16>& s, int x, int y) {
    const int sum = s.pixel(2 * x, 2 * y).l + s.pixel(2 * x + 1, 2 * y).l + s.pixel(2 * x, 2 * y + 1).l +
                    s.pixel(2 * x + 1, 2 * y + 1).l;
    return L16{static_cast<std::uint16_t>((sum + 2) >> 2)};
}
template <class T>
T refCubic(const ImageRef<T>& s, int x, int y) {
    const int wgt[4] = {1, 3, 3, 1};
    T o{};
    for (int c = 0; c < T::numComponents; ++c) {
        long long sum = 0;
        for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 4; ++i) {
                const int sx = std::clamp(2 * x - 1 + i, 0, s.w - 1),
                          sy = std::clamp(2 * y - 1 + j, 0, s.h - 1);
                sum += wgt[i] * wgt[j] * static_cast<long long>(s.pixel(sx, sy)[c]);
            }
        o[c] = static_cast<typename T::Component>(
            std::min<long long>((sum + 32) >> 6, sizeof(o[c]) == 1 ? 255 : 65535));
    }
    return o;
}
RGBA8 refAlphaCov(const ImageRef<RGBA8>& s, int x, int y) {
    const RGBA8 p[4] = {s.pixel(2 * x, 2 * y), s.pixel(2 * x + 1, 2 * y), s.pixel(2 * x, 2 * y + 1),
                        s.pixel(2 * x + 1, 2 * y + 1)};
    const int sumA = p[0].a + p[1].a + p[2].a + p[3].a;
    if (sumA == 0) return RGBA8{0, 0, 0, 0};
    RGBA8 o{};
    for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (const RGBA8& q : p) sum += q[c] * q.a;
        o[c] = static_cast<std::uint8_t>(
            std::clamp(static_cast<int>(static_cast<float>(sum) / static_cast<float>(sumA) + 0.5f), 0, 255));
    }
    o.a = static_cast<std::uint8_t>((sumA + 2) >> 2);
    return o;
}
RGBA8 refPremul(const ImageRef<RGBA8>& s, int x, int y) {
    const RGBA8 p[4] = {s.pixel(2 * x, 2 * y), s.pixel(2 * x + 1, 2 * y), s.pixel(2 * x, 2 * y + 1),
                        s.pixel(2 * x + 1, 2 * y + 1)};
    RGBA8 o{};
    for (int c = 0; c < 4; ++c) {
        int sum = 0;
        for (const RGBA8& q : p) sum += q[c] * q.a;
        o[c] = static_cast<std::uint8_t>(std::min((sum + 512) >> 10, 255));
    }
    return o;
}

template <class T>
void fillRandom(OwnedImage<T>& img, std::mt19937& rng, int alphaMode = 0) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            for (int c = 0; c < T::numComponents; ++c) {
                auto v = rng();
                if constexpr (sizeof(typename T::Component) == 1) {
                    // Alpha often at 0 or 255 so that the special cases come up.
                    if (c == 3 && alphaMode == 1) v = (v % 3 == 0) ? 0 : (v % 3 == 1 ? 255 : v);
                    img.pixel(x, y)[c] = static_cast<std::uint8_t>(v);
                } else {
                    img.pixel(x, y)[c] = static_cast<std::uint16_t>(v % 4 == 0 ? 65535 : v);
                }
            }
}

// Runs filter over a random area of a random image and checks every pixel of dst against ref:
// inside the area it must match, outside it must be untouched.
template <class T, class Filter, class Ref>
void compareWithReference(Filter filter, Ref ref, int alphaMode) {
    std::mt19937 rng(1234);
    const T sentinel = [] {
        T t{};
        for (int c = 0; c < T::numComponents; ++c) t[c] = 77;
        return t;
    }();
    for (int round = 0; round < 60; ++round) {
        const int sw = 1 + static_cast<int>(rng() % 300), sh = 1 + static_cast<int>(rng() % 9);
        OwnedImage<T> src, dst;
        ASSERT_TRUE(
            src.size(sw, sh, static_cast<int>(rng() % 2), static_cast<int>(rng() % 3)));  // odd pitches too
        ASSERT_TRUE(dst.size(sw / 2, sh / 2));
        fillRandom(src, rng, alphaMode);
        for (int y = 0; y < dst.height(); ++y)
            for (int x = 0; x < dst.width(); ++x) dst.pixel(x, y) = sentinel;
        const int dw = std::max(dst.width(), 1), dh = std::max(dst.height(), 1);
        const int ax0 = static_cast<int>(rng() % dw), ay0 = static_cast<int>(rng() % dh);
        const Box area(ax0, ay0, ax0 + 1 + static_cast<int>(rng() % dw),
                       ay0 + 1 + static_cast<int>(rng() % dh));
        filter(area, src.toRef(), dst.toRef());
        for (int y = 0; y < dst.height(); ++y)
            for (int x = 0; x < dst.width(); ++x) {
                const T expected = area.contains(x, y) ? ref(src.toRef(), x, y) : sentinel;
                ASSERT_EQ(dst.pixel(x, y), expected)
                    << "round " << round << " at " << x << "," << y << " of " << sw << "x" << sh;
            }
    }
}

}  // namespace

TEST(MipmapFilters, VectorisedFiltersMatchScalarReferenceOnRandomImages) {
    compareWithReference<RGBA8>(
        generateLevelBoxRGBA, [](const ImageRef<RGBA8>& s, int x, int y) { return refBox(s, x, y); }, 0);
    compareWithReference<L16>(
        generateLevelBoxL16, [](const ImageRef<L16>& s, int x, int y) { return refBox(s, x, y); }, 0);
    compareWithReference<RGBA8>(generateLevelCubicRGBA, refCubic<RGBA8>, 0);
    compareWithReference<L16>(generateLevelCubicL16, refCubic<L16>, 0);
    compareWithReference<RGBA8>(generateLevelBoxAlphaCovRGBA, refAlphaCov, 1);
    compareWithReference<RGBA8>(generateLevelBoxAlphaCovIntoPremulRGBA, refPremul, 1);
}

namespace {
struct Quad {
    OwnedImage<RGBA8> src, dst;
    explicit Quad(std::initializer_list<RGBA8> p) {
        src.size(2, 2);
        dst.size(1, 1);
        auto it = p.begin();
        src.pixel(0, 0) = *it++;
        src.pixel(1, 0) = *it++;
        src.pixel(0, 1) = *it++;
        src.pixel(1, 1) = *it++;
    }
    template <class F>
    RGBA8 run(F f) {
        f(Box(0, 0, 1, 1), src.toRef(), dst.toRef());
        return dst.pixel(0, 0);
    }
};
}  // namespace

TEST(MipmapFilters, HandMadeQuads) {
    Quad q{{0, 0, 0, 0}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}};
    EXPECT_EQ(q.run(generateLevelBoxRGBA), (RGBA8{1, 1, 1, 1}));  // (3 + 2) >> 2

    Quad transparent{{255, 10, 0, 0}, {0, 255, 0, 0}, {9, 9, 9, 0}, {255, 255, 255, 0}};
    EXPECT_EQ(transparent.run(generateLevelBoxAlphaCovRGBA), (RGBA8{0, 0, 0, 0}));
    EXPECT_EQ(transparent.run(generateLevelBoxAlphaCovIntoPremulRGBA), (RGBA8{0, 0, 0, 0}));

    Quad oneRed{{255, 0, 0, 255}, {0, 255, 0, 0}, {0, 0, 255, 0}, {255, 255, 255, 0}};
    EXPECT_EQ(oneRed.run(generateLevelBoxAlphaCovRGBA), (RGBA8{255, 0, 0, 64}));
    // 255 * 255 = 65025; (65025 + 512) >> 10 = 64.
    EXPECT_EQ(oneRed.run(generateLevelBoxAlphaCovIntoPremulRGBA), (RGBA8{64, 0, 0, 64}));

    // Colours 100 at alpha 50 and 200 at alpha 150 (twice each): (2*5000 + 2*30000) / 400 + 0.5 = 175.5 ->
    // 175.
    Quad mixed{{100, 100, 100, 50}, {200, 200, 200, 150}, {100, 100, 100, 50}, {200, 200, 200, 150}};
    EXPECT_EQ(mixed.run(generateLevelBoxAlphaCovRGBA), (RGBA8{175, 175, 175, 100}));
    // Premultiplied: (70000 + 512) >> 10 = 68; alpha (2*2500 + 2*22500 + 512) >> 10 = 49.
    EXPECT_EQ(mixed.run(generateLevelBoxAlphaCovIntoPremulRGBA), (RGBA8{68, 68, 68, 49}));
}

TEST(MipmapFilters, CubicWeightsAndEdgeClamping) {
    // 4 x 4 source, one bright pixel at (1, 1) (weight 9 for destination (0, 0)); destination (1, 1)
    // sees it at column/row 2x-1 = 1 (weight 1).
    OwnedImage<L16> src, dst;
    src.size(4, 4);
    dst.size(2, 2);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) src.pixel(x, y) = L16{0};
    src.pixel(1, 1) = L16{6400};
    generateLevelCubicL16(Box(0, 0, 2, 2), src.toRef(), dst.toRef());
    EXPECT_EQ(dst.pixel(0, 0).l, (9 * 6400 + 32) >> 6);  // 900
    EXPECT_EQ(dst.pixel(1, 0).l, (3 * 6400 + 32) >> 6);  // 300
    EXPECT_EQ(dst.pixel(1, 1).l, (6400 + 32) >> 6);      // 100
    // The top-left source pixel counts for row and column -1 as well: weight (1 + 3) * (1 + 3) = 16.
    src.pixel(1, 1) = L16{0};
    src.pixel(0, 0) = L16{64};
    generateLevelCubicL16(Box(0, 0, 1, 1), src.toRef(), dst.toRef());
    EXPECT_EQ(dst.pixel(0, 0).l, (16 * 64 + 32) >> 6);
}

TEST(MipmapFilters, AreasBeyondTheImagesAreClipped) {
    OwnedImage<RGBA8> src, dst;
    src.size(5, 3);  // odd sizes: destination 2 x 1
    dst.size(2, 1);
    std::mt19937 rng(7);
    fillRandom(src, rng);
    generateLevelCubicRGBA(Box(-100, -100, 100, 100), src.toRef(), dst.toRef());
    generateLevelBoxRGBA(Box(-5, -5, 1000000, 1000000), src.toRef(), dst.toRef());
    generateLevelBoxAlphaCovRGBA(Box(3, 3, -3, -3), src.toRef(), dst.toRef());
    EXPECT_EQ(dst.pixel(1, 0), refBox(src.toRef(), 1, 0));
    // A destination larger than the source allows is only written where the source covers it.
    OwnedImage<RGBA8> big;
    big.size(8, 8);
    generateLevelCubicRGBA(big.bounds(), src.toRef(), big.toRef());  // ASan catches any overrun
}

TEST(Mipmap, LevelCounts) {
    Mipmap<RGBA8> m;
    m.size(-1, 800, 450);
    EXPECT_EQ(m.numLevels(), 0);
    m.size(0, 800, 450);
    EXPECT_EQ(m.numLevels(), 1);
    m.size(5, 800, 450);
    ASSERT_EQ(m.numLevels(), 6);
    EXPECT_EQ(m.level(5).width(), 25);
    EXPECT_EQ(m.level(5).height(), 14);
    EXPECT_EQ(m.level(3).pitch(), 100 * 4);
    m.size(10, 1, 1);  // shrinking the chain destroys the surplus levels
    ASSERT_EQ(m.numLevels(), 1);
    EXPECT_EQ(m.level(0).width(), 1);
    m.size(5, 40, 20);
    ASSERT_EQ(m.numLevels(), 5);
    EXPECT_EQ(m.level(4).width(), 2);
    EXPECT_EQ(m.level(4).height(), 1);
    m.size(30, 0x40000, 1);
    EXPECT_EQ(m.numLevels(), 1);
    m.size(5, 0, 450);
    EXPECT_EQ(m.numLevels(), 0);
    m.size(5, -8, 8);
    EXPECT_EQ(m.numLevels(), 0);
}

TEST(Mipmap, ImpactOnNextLevel) {
    using M = Mipmap<RGBA8>;
    EXPECT_EQ(M::impactOnNextLevel(Quality::box, Box(0, 0, 1, 1), 4, 4), Box(0, 0, 1, 1));
    EXPECT_EQ(M::impactOnNextLevel(Quality::cubic, Box(0, 0, 1, 1), 4, 4), Box(0, 0, 1, 1));
    // A one-column level has no next-level column: the empty next-level rectangle comes back.
    EXPECT_EQ(M::impactOnNextLevel(Quality::box, Box(0, 0, 1, 8), 1, 8), Box(0, 0, 0, 4));
    EXPECT_EQ(M::impactOnNextLevel(Quality::box, Box(6, 6, 6, 9), 16, 16), Box(3, 3, 3, 5));
    // Cubic reaches one more pixel each way; odd sizes clip to the rounded-down half.
    EXPECT_EQ(M::impactOnNextLevel(Quality::cubic, Box(4, 4, 7, 7), 9, 9), Box(1, 1, 4, 4));
    EXPECT_EQ(M::impactOnNextLevel(Quality::boxAlphaCovIntoPremul, Box(5, 5, 9, 9), 9, 9), Box(2, 2, 4, 4));
    EXPECT_EQ(M::impactOnNextLevel(Quality::box, Box(0, 0, 800, 450), 800, 450), Box(0, 0, 400, 225));
    EXPECT_EQ(M::impactOnNextLevel(Quality::cubic, Box(-0x7FFFFFFF - 1, 0, 0x7FFFFFFF, 3), 10, 10),
              Box(0, 0, 5, 2));
}

TEST(Mipmap, GenerateNextLevelChainsAreas) {
    Mipmap<RGBA8> m;
    m.size(3, 16, 16);
    std::mt19937 rng(3);
    fillRandom(m.level(0), rng);
    Box area(0, 0, 16, 16);
    for (int level = 1; level < m.numLevels(); ++level) area = m.generateNextLevel(Quality::box, area, level);
    EXPECT_EQ(area, Box(0, 0, 2, 2));
    EXPECT_EQ(m.level(3).pixel(1, 1), refBox(m.level(2).toRef(), 1, 1));
    // Only the affected part of the next level is touched by a small update.
    m.level(1).pixel(7, 7) = RGBA8{1, 2, 3, 4};
    m.level(0).pixel(0, 0) = RGBA8{200, 200, 200, 200};
    EXPECT_EQ(m.generateNextLevel(Quality::cubic, Box(0, 0, 1, 1), 1), Box(0, 0, 1, 1));
    EXPECT_EQ(m.level(1).pixel(7, 7), (RGBA8{1, 2, 3, 4}));
    EXPECT_EQ(m.level(1).pixel(0, 0), refCubic(m.level(0).toRef(), 0, 0));
    EXPECT_TRUE(m.generateNextLevel(Quality::box, Box(0, 0, 16, 16), 0).empty());
    EXPECT_TRUE(m.generateNextLevel(Quality::box, Box(0, 0, 16, 16), 4).empty());

    // The depth chain reads level 0 through its pitch when it carries a border.
    Mipmap<L16> d;
    d.size(2, 8, 8);
    d.level(0).size(8, 8, 1, 2);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) d.level(0).pixel(x, y) = L16{static_cast<std::uint16_t>(1000 * y + x)};
    d.generateNextLevel(Quality::box, Box(0, 0, 8, 8), 1);
    EXPECT_EQ(d.level(1).pixel(3, 2).l, refBox(d.level(0).toRef(), 3, 2).l);
}

TEST(Mipmap, LinearSampling) {
    Mipmap<RGBA8> m;
    m.size(1, 4, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            m.level(0).pixel(x, y) =
                RGBA8{static_cast<std::uint8_t>(10 * x), static_cast<std::uint8_t>(100 * y), 7, 255};
    m.level(1).pixel(0, 0) = RGBA8{40, 40, 40, 40};
    m.level(1).pixel(1, 0) = RGBA8{80, 80, 80, 80};

    EXPECT_EQ(m.linearSample(0, 0.5f, 0.5f), (Vector4f{{0, 0, 7, 255}}));
    // Right edge: x' = 3.5 clamps to 4 - 1.001, blending columns 2 and 3 with 0.001 and 0.999.
    const Vector4f right = m.linearSample(0, 4.0f, 0.5f);
    EXPECT_NEAR(right[0], 0.001f * 20 + 0.999f * 30, 1e-3);
    const Vector4f mid = m.linearSample(0, 1.0f, 1.0f);  // halfway between four pixels
    EXPECT_NEAR(mid[0], 5.0f, 1e-4);
    EXPECT_NEAR(mid[1], 50.0f, 1e-4);
    // Levels past the last clamp to it; coordinates are in level-0 units.
    EXPECT_EQ(m.linearSample(9, 1.0f, 1.0f), (Vector4f{{40, 40, 40, 40}}));
    const Vector4f nan = m.linearSample(0, std::numeric_limits<float>::quiet_NaN(), -1e30f);
    EXPECT_EQ(nan, (Vector4f{{0, 0, 7, 255}}));

    // A whole level reads that level only; halfway blends the two.
    EXPECT_EQ(m.linearMipmapSample(1.0f, 1.0f, 1.0f), (Vector4f{{40, 40, 40, 40}}));
    const Vector4f half = m.linearMipmapSample(0.5f, 1.0f, 1.0f);
    EXPECT_NEAR(half[0], 0.5f * 5 + 0.5f * 40, 1e-4);
    EXPECT_EQ(m.linearMipmapSample(-3.0f, 0.5f, 0.5f), m.linearSample(0, 0.5f, 0.5f));
    EXPECT_EQ(m.linearMipmapSample(std::numeric_limits<float>::infinity(), 1, 1), m.linearSample(1, 1, 1));

    // One-pixel level and empty mipmaps never read outside.
    Mipmap<L16> one;
    one.size(0, 1, 1);
    one.level(0).pixel(0, 0) = L16{500};
    EXPECT_EQ(one.linearSample(0, 3.0f, -2.0f)[0], 500.0f);
    Mipmap<L16> none;
    EXPECT_EQ(none.linearSample(0, 1, 1), Vector4f());
}
