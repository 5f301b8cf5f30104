#include "plugkit/graphics/Draw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using namespace plugkit::graphics;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A target of w x h pixels inside a buffer with a guard band of 3 pixels on every side, so that
// any write outside the target shows up.
template <class T>
struct Canvas {
    static constexpr int kGuard = 3;
    int w, h, stride;
    std::vector<T> mem;
    T background, guardValue;
    Canvas(int w_, int h_, T bg, T guard)
        : w(w_),
          h(h_),
          stride(w_ + 2 * kGuard),
          mem(static_cast<std::size_t>(stride * (h_ + 2 * kGuard)), guard),
          background(bg),
          guardValue(guard) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) at(x, y) = bg;
    }
    T& at(int x, int y) { return mem[static_cast<std::size_t>((y + kGuard) * stride + x + kGuard)]; }
    ImageRef<T> ref() {
        return ImageRef<T>{w, h, static_cast<std::ptrdiff_t>(stride * sizeof(T)), &at(0, 0)};
    }
    bool guardIntact() {
        for (int y = -kGuard; y < h + kGuard; ++y)
            for (int x = -kGuard; x < w + kGuard; ++x)
                if ((x < 0 || y < 0 || x >= w || y >= h) && !(at(x, y) == guardValue)) return false;
        return true;
    }
};

const RGBA8 kBg{100, 100, 100, 0};
const RGBA8 kInk{200, 0, 255, 255};
const RGBA8 kGuardPx{1, 2, 3, 4};

}  // namespace

TEST(DrawBlend, WeightsAndBlendIntegers) {
    EXPECT_EQ(coverageToWeight<RGBA8>(0.5f), 128);
    EXPECT_EQ(coverageToWeight<L16>(0.5f), 32768);
    EXPECT_EQ(coverageToWeight<RGBA8>(kNaN), 0);
    EXPECT_EQ(coverageToWeight<RGBA8>(-2.0f), 0);
    EXPECT_EQ(coverageToWeight<L16>(7.0f), 65535);
    RGBA8 d = kBg;
    blendPixel(d, kInk, 128);
    // ((200*128 + 100*127) * 32897) >> 23 = 150, (100*127 * 32897) >> 23 = 49, (255*128 + 100*127 ...) = 177,
    // alpha (255*128) = 128.
    EXPECT_EQ(d, (RGBA8{150, 49, 177, 128}));
    L16 l{1000};
    blendPixel(l, L16{60000}, 32768);
    EXPECT_EQ(l.l, (60000u * 32768u + 1000u * 32767u) / 65535u);
    blendPixel(l, L16{5}, 0);
    EXPECT_EQ(l.l, (60000u * 32768u + 1000u * 32767u) / 65535u);
}

TEST(DrawRect, IntegerEdgesFillExactlyTheCoveredPixels) {
    Canvas<RGBA8> c(8, 8, kBg, kGuardPx);
    aaFillRectFloat<false>(c.ref(), 5.0f, 6.0f, 2.0f, 3.0f, kInk);  // corners in any order
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(c.at(x, y), (x >= 2 && x < 5 && y >= 3 && y < 6) ? kInk : kBg) << x << "," << y;
    // globalAlpha 0 changes nothing.
    aaFillRectFloat<true>(c.ref(), 0.0f, 0.0f, 8.0f, 8.0f, RGBA8{0, 0, 0, 0}, 0.0f);
    EXPECT_EQ(c.at(0, 0), kBg);
    EXPECT_TRUE(c.guardIntact());
}

TEST(DrawRect, FractionalEdgesBlendTheirCoverage) {
    Canvas<RGBA8> c(8, 8, kBg, kGuardPx);
    aaFillRectFloat<true>(c.ref(), 2.5f, 3.0f, 5.0f, 6.0f, kInk);
    EXPECT_EQ(c.at(2, 4), (RGBA8{150, 49, 177, 128}));  // coverage 0.5 -> weight 128
    EXPECT_EQ(c.at(3, 4), kInk);
    EXPECT_EQ(c.at(5, 4), kBg);

    // Corner: 0.5 * 0.25 = 0.125 -> weight int(8191.875 + 0.5) = 8192.
    Canvas<L16> d(6, 6, L16{0}, L16{7});
    aaFillRectFloat<true>(d.ref(), 1.5f, 1.75f, 4.0f, 4.0f, L16{65535});
    EXPECT_EQ(d.at(1, 1).l, 8192);
    EXPECT_EQ(d.at(2, 1).l, 16384);  // top row: 0.25
    EXPECT_EQ(d.at(1, 2).l, 32768);  // left column: 0.5
    EXPECT_EQ(d.at(3, 3).l, 65535);
    // Global alpha scales the edges and sets the interior: 0.5 * 0.5 -> 16384, interior 32768.
    Canvas<L16> e(6, 6, L16{0}, L16{7});
    aaFillRectFloat<false>(e.ref(), 0.5f, 0.0f, 4.0f, 3.0f, L16{65535}, 0.5f);
    EXPECT_EQ(e.at(0, 1).l, 16384);
    EXPECT_EQ(e.at(2, 1).l, 32768);
    EXPECT_TRUE(d.guardIntact() && e.guardIntact());
}

TEST(DrawRect, ThinAndDegenerateRectangles) {
    Canvas<RGBA8> c(8, 8, kBg, kGuardPx);
    aaFillRectFloat<true>(c.ref(), 2.0f, 3.0f, 2.0f, 6.0f, kInk);  // zero width: nothing
    aaFillRectFloat<true>(c.ref(), 1.0f, 1.0f, 7.0f, 1.0f, kInk);  // zero height: nothing
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(c.at(x, y), kBg);
    // Both edges inside column 2: covered by the width, 0.5.
    aaFillRectFloat<true>(c.ref(), 2.25f, 3.0f, 2.75f, 4.0f, kInk);
    EXPECT_EQ(c.at(2, 3), (RGBA8{150, 49, 177, 128}));
    EXPECT_EQ(c.at(1, 3), kBg);
    EXPECT_EQ(c.at(3, 3), kBg);
}

TEST(DrawClipping, NoShapeWritesOutsideTheTarget) {
    Canvas<RGBA8> c(7, 5, kBg, kGuardPx);
    Canvas<L16> d(7, 5, L16{0}, L16{9});
    const float big = 3e9f;
    const float cases[][4] = {{-5, -5, 20, 20},   {-1e30f, -1e30f, 1e30f, 1e30f}, {kNaN, 0, 3, 3},
                              {0, 0, kInf, kInf}, {6.5f, 4.5f, 50, 50},           {-big, 2, -big + 1, 3},
                              {20, 20, 10, 10},   {-0.5f, -0.5f, 0.5f, 0.5f}};
    for (const auto& r : cases) {
        aaFillRectFloat<true>(c.ref(), r[0], r[1], r[2], r[3], kInk, 0.7f);
        aaFillRectFloat<false>(c.ref(), r[0], r[1], r[2], r[3], kInk);
        aaFillRectFloat<false>(d.ref(), r[0], r[1], r[2], r[3], L16{500}, 0.3f);
        aaSoftDisc(d.ref(), r[0], r[1], r[2], r[3], L16{500}, 1.0f, 1.2f);
        aaFillSector(c.ref(), r[0], r[1], r[2], r[3], -10.0f, 10.0f, kInk);
        aaFillSector(c.ref(), r[0], r[1], 0.0f, r[3], 1.0f, kNaN, kInk);
    }
    const int ints[][4] = {
        {-10, -10, 100, 100}, {0x7FFFFFFF, 0, -0x7FFFFFFF - 1, 3}, {8, 8, 9, 9}, {3, 3, 3, 9}};
    for (const auto& r : ints) {
        fillRectFloat<true>(d.ref(), r[0], r[1], r[2], r[3], L16{1}, 1.0f);
        fillRectFloat<true>(d.ref(), r[0], r[1], r[2], r[3], L16{1}, 0.5f);
        verticalSlope(d.ref(), Box(r[0], r[1], r[2], r[3]), L16{0}, L16{65535});
        horizontalSlope(d.ref(), Box(r[0], r[1], r[2], r[3]), L16{0}, L16{65535});
    }
    EXPECT_TRUE(c.guardIntact());
    EXPECT_TRUE(d.guardIntact());
    // An empty target is never touched.
    aaFillRectFloat<true>(ImageRef<RGBA8>{}, 0, 0, 4, 4, kInk);
    aaSoftDisc(ImageRef<L16>{}, 1, 1, 1, 2, L16{1}, 1.0f);
}

TEST(DrawRect, FillRectFloatFillsOnlyTheInsidePart) {
    Canvas<L16> d(6, 4, L16{100}, L16{9});
    fillRectFloat<true>(d.ref(), 4, -3, 10, 2, L16{40000}, 1.0f);
    EXPECT_EQ(d.at(4, 0).l, 40000);
    EXPECT_EQ(d.at(5, 1).l, 40000);
    EXPECT_EQ(d.at(3, 0).l, 100);
    EXPECT_EQ(d.at(4, 2).l, 100);
    fillRectFloat<true>(d.ref(), 0, 3, 1, 4, L16{40000}, 0.25f);  // weight 16384
    EXPECT_EQ(d.at(0, 3).l, (40000u * 16384u + 100u * (65535u - 16384u)) / 65535u);
    EXPECT_TRUE(d.guardIntact());
}

TEST(DrawSlope, RowsAndColumnsFollowTheUnclippedRectangle) {
    Canvas<L16> d(6, 6, L16{7}, L16{9});
    verticalSlope(d.ref(), Box(1, 1, 3, 5), L16{0}, L16{65535});
    EXPECT_EQ(d.at(1, 1).l, 0);
    EXPECT_EQ(d.at(2, 2).l, 16384);
    EXPECT_EQ(d.at(1, 3).l, 32768);
    EXPECT_EQ(d.at(2, 4).l, 49151);  // the last row never reaches colour1
    EXPECT_EQ(d.at(3, 4).l, 7);
    // Clipped on the left: the visible columns keep the weights of the whole rectangle.
    horizontalSlope(d.ref(), Box(-2, 0, 2, 1), L16{1000}, L16{5000});
    EXPECT_EQ(d.at(0, 0).l, (5000u * 32768u + 1000u * 32767u) / 65535u);
    EXPECT_EQ(d.at(1, 0).l, (5000u * 49151u + 1000u * 16384u) / 65535u);
    EXPECT_EQ(d.at(2, 0).l, 7);
    EXPECT_TRUE(d.guardIntact());
}

TEST(DrawDisc, CentreRimAndHardEdge) {
    Canvas<L16> d(11, 11, L16{0}, L16{9});
    aaSoftDisc(d.ref(), 5.0f, 5.0f, 2.0f, 2.0f, L16{1000}, 1.0f);  // rInner = rOuter: only strictly inside
    int written = 0;
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x) written += d.at(x, y).l != 0;
    EXPECT_EQ(written, 9);  // d2 in {0, 1, 2}
    EXPECT_EQ(d.at(7, 5).l, 0);

    Canvas<L16> s(11, 11, L16{0}, L16{9});
    aaSoftDisc(s.ref(), 5.0f, 5.0f, 0.0f, 3.0f, L16{65535}, 1.0f);
    EXPECT_EQ(s.at(5, 5).l, 65535);  // d2 = 0 is not below rInner^2 = 0: t = 0, coverage 1
    Canvas<L16> r(11, 11, L16{0}, L16{9});
    aaSoftDisc(r.ref(), 5.0f, 5.0f, 1.0f, 3.0f, L16{65535}, 1.0f);
    EXPECT_EQ(r.at(5, 5).l, 65535);
    // d2 = 4: t = (4 - 1) / (9 - 1) = 0.375, coverage 0.625 -> weight int(40959.375 + 0.5) = 40959.
    EXPECT_EQ(r.at(7, 5).l, 40959);
    EXPECT_EQ(r.at(8, 5).l, 0);  // d2 = 9: outside
    Canvas<L16> k(11, 11, L16{0}, L16{9});
    aaSoftDisc(k.ref(), 5.0f, 5.0f, 1.0f, 3.0f, L16{65535}, 1.0f, 1.2f);
    EXPECT_EQ(k.at(7, 5).l, static_cast<int>((1.0f - std::pow(0.375f, 1.2f)) * 65535.0f + 0.5f));
}

TEST(DrawSector, ShortArcThroughPiAndEdges) {
    Canvas<RGBA8> c(21, 21, RGBA8{0, 0, 0, 0}, kGuardPx);
    const RGBA8 white{255, 255, 255, 255};
    aaFillSector(c.ref(), 10.0f, 10.0f, 2.0f, 6.0f, 3.0f, -3.0f, white);
    // (6, 10): r = 4, angle pi, within one pixel of arc (s = 0.25) of the start: (pi - 3) / 0.25.
    const int w = static_cast<int>((3.14159265f - 3.0f) / 0.25f * 255.0f + 0.5f);  // 144
    EXPECT_EQ(c.at(6, 10), (RGBA8{static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w),
                                  static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w)}));
    EXPECT_EQ(c.at(14, 10), (RGBA8{0, 0, 0, 0}));  // right side: outside the arc
    EXPECT_EQ(c.at(10, 6), (RGBA8{0, 0, 0, 0}));
    EXPECT_EQ(c.at(9, 10), (RGBA8{0, 0, 0, 0}));  // r = 1 < rMin

    Canvas<RGBA8> q(21, 21, RGBA8{0, 0, 0, 0}, kGuardPx);
    aaFillSector(q.ref(), 10.0f, 10.0f, 0.0f, 6.0f, 0.0f, 3.14159265f / 2.0f, white);  // lower right quarter
    EXPECT_EQ(q.at(13, 13), white);  // r = 4.24, angle pi/4: full coverage
    // Outer rim: (15, 10) has r = 5 and angle 0 at the start edge: coverage 0; (13, 14) r = 5,
    // radial coverage 1, angle 0.927 -> full.
    EXPECT_EQ(q.at(15, 10), (RGBA8{0, 0, 0, 0}));
    EXPECT_EQ(q.at(13, 14), white);
    // (15, 12): r = 5.385 -> radial 0.615, angle 0.381 beyond the one-pixel fade (s = 0.186).
    EXPECT_EQ(q.at(15, 12).r, static_cast<int>((6.0f - std::sqrt(29.0f)) * 255.0f + 0.5f));
    EXPECT_EQ(q.at(7, 7), (RGBA8{0, 0, 0, 0}));
    EXPECT_TRUE(c.guardIntact() && q.guardIntact());

    Canvas<RGBA8> none(5, 5, RGBA8{0, 0, 0, 0}, kGuardPx);
    aaFillSector(none.ref(), 2.0f, 2.0f, 0.0f, 3.0f, 1.0f, 1.0f, white);  // equal angles: nothing
    EXPECT_EQ(none.at(3, 3), (RGBA8{0, 0, 0, 0}));
}

TEST(DrawBlend, WideSpansMatchPerPixelBlending) {
    // Interior spans are blended several pixels at a time; every pixel must equal blendPixel's.
    Canvas<RGBA8> c(37, 3, kBg, kGuardPx);
    std::uint32_t seed = 12345;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 37; ++x)
            for (int k = 0; k < 4; ++k) {
                seed = seed * 1664525u + 1013904223u;
                c.at(x, y)[k] = static_cast<std::uint8_t>(seed >> 24);
            }
    Canvas<RGBA8> expected = c;
    for (float alpha : {0.3f, 0.77f}) {
        aaFillRectFloat<true>(c.ref(), 0.0f, 0.0f, 37.0f, 3.0f, kInk, alpha);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 37; ++x) blendPixel(expected.at(x, y), kInk, coverageToWeight<RGBA8>(alpha));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 37; ++x) ASSERT_EQ(c.at(x, y), expected.at(x, y)) << x << "," << y;
    }
}
