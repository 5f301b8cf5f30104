#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/window/CocoaEvents.h"
#include "plugkit/window/CocoaWindow.h"

namespace plugkit::window {
namespace {

TEST(CocoaEvents, MousePositionDropsFractionsAndAppliesTheOffsets) {
    EXPECT_EQ(cocoaMousePosition(10.7, 20.2, 450), (Point{8, 427}));
    EXPECT_EQ(cocoaMousePosition(2.0, 447.0, 450), (Point{0, 0}));
    // Before the first repaint the height is 0.
    EXPECT_EQ(cocoaMousePosition(5.5, 5.5, 0), (Point{3, -8}));
}

TEST(CocoaEvents, MouseStateFromButtonAndModifierBits) {
    const MouseState none = cocoaMouseState(0, 0);
    EXPECT_EQ(none, MouseState{});
    const MouseState s = cocoaMouseState(0b101, (1u << 17) | (1u << 19));
    EXPECT_TRUE(s.leftDown && s.middleDown && s.shiftHeld && s.altHeld);
    EXPECT_FALSE(s.rightDown || s.controlHeld || s.extra1Down || s.extra2Down);
    const MouseState t = cocoaMouseState(0b11010, 1u << 18);  // buttons 3 and 4 are not reported
    EXPECT_TRUE(t.rightDown && t.controlHeld);
    EXPECT_FALSE(t.leftDown || t.middleDown || t.extra1Down || t.extra2Down || t.shiftHeld);
}

TEST(CocoaEvents, WheelDeltaInTenthsTruncatedAfterAddingAHalf) {
    EXPECT_EQ(cocoaWheelDelta(-0.34), -2);
    EXPECT_EQ(cocoaWheelDelta(1.0), 10);
    EXPECT_EQ(cocoaWheelDelta(0.26), 3);
    EXPECT_EQ(cocoaWheelDelta(-0.04), 0);
    EXPECT_EQ(cocoaWheelDelta(0.0), 0);
}

TEST(CocoaEvents, KeyCodesComeBeforeCharacters) {
    EXPECT_EQ(cocoaTranslateKey(36, 1, '\r'), Key::enter);
    EXPECT_EQ(cocoaTranslateKey(51, 1, 127), Key::backspace);
    EXPECT_EQ(cocoaTranslateKey(53, 1, 27), Key::escape);
    EXPECT_EQ(cocoaTranslateKey(82, 1, '0'), Key::digit0);
    EXPECT_EQ(cocoaTranslateKey(83, 0, 0), Key::digit1);  // keypad 1, whatever the characters
    EXPECT_EQ(cocoaTranslateKey(89, 1, '7'), Key::digit7);
    EXPECT_EQ(cocoaTranslateKey(91, 1, '8'), Key::digit8);
    EXPECT_EQ(cocoaTranslateKey(92, 1, '9'), Key::digit9);
    EXPECT_EQ(cocoaTranslateKey(90, 1, '='), Key::unsupported);  // the gap in the keypad codes
    EXPECT_EQ(cocoaTranslateKey(123, 0, 0), Key::arrowLeft);
    EXPECT_EQ(cocoaTranslateKey(124, 0, 0), Key::arrowRight);
    EXPECT_EQ(cocoaTranslateKey(125, 0, 0), Key::arrowDown);
    EXPECT_EQ(cocoaTranslateKey(126, 0, 0), Key::arrowUp);
}

TEST(CocoaEvents, CharactersGiveDigitsAndLettersOnly) {
    EXPECT_EQ(cocoaTranslateKey(12, 1, 'q'), Key::q);
    EXPECT_EQ(cocoaTranslateKey(12, 1, 'Q'), Key::Q);
    EXPECT_EQ(cocoaTranslateKey(0, 1, 'a'), Key::a);
    EXPECT_EQ(cocoaTranslateKey(6, 1, 'Z'), Key::Z);
    EXPECT_EQ(cocoaTranslateKey(29, 1, '0'), Key::digit0);
    EXPECT_EQ(cocoaTranslateKey(25, 1, '9'), Key::digit9);
    EXPECT_EQ(cocoaTranslateKey(14, 1, 0xE9), Key::unsupported);  // é
    EXPECT_EQ(cocoaTranslateKey(49, 1, ' '), Key::unsupported);   // space, as the macOS window always did
    EXPECT_EQ(cocoaTranslateKey(12, 0, 'q'), Key::unsupported);   // empty string
    EXPECT_EQ(cocoaTranslateKey(43, 1, ','), Key::unsupported);
}

TEST(CocoaEvents, CharacterOfEveryKeyRoundTrips) {
    for (int k = 0; k <= 70; ++k) {
        const char c = getCharFromKey(static_cast<Key>(k));
        if (k >= 5 && k <= 66) {
            EXPECT_EQ(cocoaTranslateKey(0xffff, 1, static_cast<unsigned char>(c)), static_cast<Key>(k));
        }
    }
    EXPECT_EQ(getCharFromKey(Key::space), ' ');
    EXPECT_EQ(getCharFromKey(Key::backspace), 9);
    EXPECT_EQ(getCharFromKey(Key::enter), 0);
    EXPECT_EQ(getCharFromKey(Key::unsupported), 0);
    EXPECT_EQ(getCharFromKey(static_cast<Key>(1000)), 0);
}

TEST(CocoaEvents, OnlyButtonNumberTwoIsTheMiddleButton) {
    EXPECT_TRUE(cocoaOtherButtonIsMiddle(2));
    EXPECT_FALSE(cocoaOtherButtonIsMiddle(3));
    EXPECT_FALSE(cocoaOtherButtonIsMiddle(0));
}

TEST(CocoaEvents, RepaintRectangleFlipsToTheViewsAxis) {
    CocoaRect r;
    ASSERT_TRUE(cocoaRepaintRect(Box(10, 20, 60, 50), 450.0, &r));
    EXPECT_EQ(r, (CocoaRect{10, 400, 50, 30}));
    ASSERT_TRUE(cocoaRepaintRect(Box(0, 0, 800, 450), 450.0, &r));
    EXPECT_EQ(r, (CocoaRect{0, 0, 800, 450}));
    // Nothing dirty: no repaint, and the output is left alone.
    r = CocoaRect{1, 2, 3, 4};
    EXPECT_FALSE(cocoaRepaintRect(Box(), 450.0, &r));
    EXPECT_FALSE(cocoaRepaintRect(Box(5, 5, 5, 90), 450.0, &r));
    EXPECT_FALSE(cocoaRepaintRect(Box(5, 9, 90, 9), 450.0, &r));
    EXPECT_FALSE(cocoaRepaintRect(Box(50, 5, 10, 90), 450.0, &r));  // reversed
    EXPECT_EQ(r, (CocoaRect{1, 2, 3, 4}));
}

TEST(CocoaEvents, ViewClassNamesAreFreshVersion4Uuids) {
    char a[kCocoaViewClassNameSize];
    char b[kCocoaViewClassNameSize];
    std::memset(a, 'x', sizeof(a));
    makeCocoaViewClassName(a);
    makeCocoaViewClassName(b);
    ASSERT_EQ(a[48], '\0');
    const std::string name(a);
    ASSERT_EQ(name.size(), 48u);
    EXPECT_EQ(name.substr(0, 12), "PlugkitView_");
    EXPECT_EQ(name[12 + 14], '4') << name;  // the text of a version-4 UUID follows (its format: UUID tests)
    EXPECT_NE(std::string(a), std::string(b));
}

#if !defined(__APPLE__)
TEST(CocoaWindow, LinksEverywhereAndStopsWhereCocoaIsMissing) {
    // Building one makes the linker resolve the whole window; outside macOS the framework does not
    // load and the construction is fatal.
    EXPECT_DEATH(core::mallocNew<CocoaWindow>(WindowUsage::plugin, nullptr, nullptr, 800, 450),
                 "Cocoa: the framework does not load");
}
#endif

}  // namespace
}  // namespace plugkit::window
