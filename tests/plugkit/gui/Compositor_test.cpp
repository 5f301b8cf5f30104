#include <gtest/gtest.h>

#include <cmath>

#include "plugkit/gui/PBRCompositor.h"
#include "tests/support/Pixels.h"

namespace plugkit::gui {
namespace {

using graphics::OwnedImage;
using graphics::Quality;

// The editor's maps for a w x h window, filled with one diffuse, depth and material value, their
// mipmap levels regenerated the way the redraw loop does.
struct Maps {
    Mipmap<RGBA8> diffuse, material;
    Mipmap<L16> depth;
    OwnedImage<RGBA8> target;
    Maps(int w, int h, RGBA8 dif, std::uint16_t d, RGBA8 mat) {
        diffuse.size(5, w, h);
        depth.size(4, w, h);
        depth.level(0).size(w, h, 1, 2);
        material.size(0, w, h);
        target.size(w, h);
        testing::fill(diffuse.level(0).toRef(), dif);
        testing::fill(depth.level(0).toRef(), L16{d});
        testing::fill(material.level(0).toRef(), mat);
        testing::fill(target.toRef(), RGBA8{1, 2, 3, 4});
        depth.level(0).replicateBordersTouching(Box(0, 0, w, h));
        Box a(0, 0, w, h), b(0, 0, w, h);
        for (int L = 1; L < diffuse.numLevels(); ++L)
            a = diffuse.generateNextLevel(L == 1 ? Quality::boxAlphaCovIntoPremul : Quality::cubic, a, L);
        for (int L = 1; L < depth.numLevels(); ++L)
            b = depth.generateNextLevel(L <= 2 ? Quality::box : Quality::cubic, b, L);
    }
};

struct CompositorTest : ::testing::Test {
    core::ThreadPool pool{2};
    CompositorCreationContext ctx{&pool};
    PBRCompositor compositor{ctx};
    core::Vec<Box> tiles;

    void run(Maps& m, int w, int h) {
        compositor.resizeBuffers(w, h, 128, 128);
        tiles.clear();
        for (int y = 0; y < h; y += 16)
            for (int x = 0; x < w; x += 16)
                tiles.pushBack(Box(x, y, std::min(x + 16, w), std::min(y + 16, h)));
        compositor.compositeTile(m.target.toRef(), tiles, m.diffuse, m.material, m.depth);
    }
};

TEST_F(CompositorTest, PassesComeInOrderWithTheirDefaults) {
    ASSERT_EQ(compositor.passCount(), 8);
    EXPECT_EQ(compositor.pass(0), compositor.computeNormalPass());
    EXPECT_EQ(compositor.pass(4), compositor.specularLightPass());
    EXPECT_EQ(compositor.pass(7), compositor.clampAndConvertPass());
    EXPECT_FLOAT_EQ(compositor.ambientOcclusionPass()->ambient, 0.08125f);
    EXPECT_FLOAT_EQ(compositor.directionalLightPass()->direction.y, 0.995037f);
    EXPECT_FALSE(compositor.skyboxReflectionsPass()->hasSkybox());
    EXPECT_FLOAT_EQ(compositor.specularLightPass()->exponent(255), 0.8f);
    EXPECT_NEAR(compositor.specularLightPass()->exponent(0), 0.8f * std::exp(5.5f), 1e-3);
    compositor.light2Dir(1, 2, 3);  // stored as given, not normalised
    EXPECT_FLOAT_EQ(compositor.directionalLightPass()->direction.z, 3.0f);
}

TEST_F(CompositorTest, ZeroMapsGiveOpaqueBlack) {
    Maps m(40, 24, RGBA8{0, 0, 0, 0}, 0, RGBA8{0, 0, 0, 0});
    run(m, 40, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(m.target.pixel(x, y), (RGBA8{0, 0, 0, 255})) << x << "," << y;
}

TEST_F(CompositorTest, WhiteOverFlatDepthIsTheGreyOfAmbientShadowAndDirectionalLight) {
    Maps m(64, 40, RGBA8{255, 255, 255, 0}, 20000, RGBA8{0, 0, 0, 255});
    run(m, 64, 40);
    const double lit = 0.08125 + 0.325 + 0.481 * ((0.0995037 * 0.5 + 0.5 - 0.24) / 0.76);
    const int grey = static_cast<int>(lit * 255.99);
    EXPECT_EQ(grey, 154);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(m.target.pixel(x, y), (RGBA8{154, 154, 154, 255})) << x << "," << y;
}

TEST_F(CompositorTest, BrightLightsSaturateAndNegativeLightClampsToZero) {
    Maps m(32, 32, RGBA8{255, 255, 255, 255}, 20000, RGBA8{0, 0, 0, 255});
    compositor.light1Color(10, 10, 10);
    run(m, 32, 32);
    EXPECT_EQ(m.target.pixel(16, 16), (RGBA8{255, 255, 255, 255}));
    Maps n(32, 32, RGBA8{255, 255, 255, 0}, 20000, RGBA8{0, 0, 0, 255});
    compositor.light1Color(0, 0, 0);
    compositor.ambientLight(0);
    compositor.light2Dir(0, 0, -1);  // facing away: (-0.5 + 0.5 - 0.24) / 0.76 < 0
    run(n, 32, 32);
    EXPECT_EQ(n.target.pixel(16, 16), (RGBA8{0, 0, 0, 255}));
}

TEST_F(CompositorTest, OnlyTheGivenAreasAreWritten) {
    Maps m(32, 32, RGBA8{255, 255, 255, 0}, 20000, RGBA8{0, 0, 0, 255});
    compositor.resizeBuffers(32, 32, 128, 128);
    compositor.compositeTile(m.target.toRef(), testing::boxes({}), m.diffuse, m.material, m.depth);
    EXPECT_EQ(m.target.pixel(0, 0), (RGBA8{1, 2, 3, 4}));
    compositor.compositeTile(m.target.toRef(), testing::boxes({Box(4, 4, 8, 8)}), m.diffuse, m.material,
                             m.depth);
    EXPECT_EQ(m.target.pixel(4, 4), (RGBA8{154, 154, 154, 255}));
    EXPECT_EQ(m.target.pixel(3, 4), (RGBA8{1, 2, 3, 4}));
    EXPECT_EQ(m.target.pixel(8, 7), (RGBA8{1, 2, 3, 4}));
}

TEST_F(CompositorTest, RaisedSquareShadowsBelowItAndGlowsWhenEmissive) {
    Maps m(64, 64, RGBA8{255, 255, 255, 0}, 10000, RGBA8{0, 0, 0, 255});
    testing::fill(m.depth.level(0).toRef().crop(Box(20, 20, 30, 30)), L16{30000});
    run(m, 64, 64);
    // Right below the square the oblique light is blocked; far away it is not.
    EXPECT_LT(m.target.pixel(25, 32).r, m.target.pixel(50, 50).r);
    // An emissive diffuse spreads light into its neighbourhood.
    Maps e(64, 64, RGBA8{0, 0, 0, 0}, 10000, RGBA8{0, 0, 0, 255});
    testing::fill(e.diffuse.level(0).toRef().crop(Box(28, 28, 36, 36)), RGBA8{255, 255, 255, 255});
    Box a(28, 28, 36, 36);
    for (int L = 1; L < e.diffuse.numLevels(); ++L)
        a = e.diffuse.generateNextLevel(L == 1 ? Quality::boxAlphaCovIntoPremul : Quality::cubic, a, L);
    run(e, 64, 64);
    EXPECT_GT(e.target.pixel(38, 32).r, 0);
    EXPECT_EQ(e.target.pixel(2, 2).r, 0);
}

TEST_F(CompositorTest, SkyboxReflectsOnMetalOnlyOnceSet) {
    Maps m(32, 32, RGBA8{255, 255, 255, 0}, 20000, RGBA8{0, 255, 0, 255});
    run(m, 32, 32);
    const RGBA8 before = m.target.pixel(16, 16);
    OwnedImage<RGBA8> sky;
    sky.size(64, 32);
    testing::fill(sky.toRef(), RGBA8{100, 100, 100, 255});
    compositor.skyboxReflectionsPass()->setSkybox(sky);
    run(m, 32, 32);
    // diffuse 1 x sky 100/255 x metal 1 x 0.52 added to every channel.
    EXPECT_NEAR(m.target.pixel(16, 16).r, before.r + 0.52 * 100 / 255 * 255.99, 1.5);
}

}  // namespace
}  // namespace plugkit::gui
