#include <gtest/gtest.h>

#include <vector>

// After gtest: X.h defines macros (None) that clash with its names.
#include <X11/X.h>
#include <X11/keysym.h>

#include "plugkit/window/X11Events.h"

namespace plugkit::window {
namespace {

TEST(X11Scale, WholeFactorsFromDensity) {
    EXPECT_EQ(wholeScaleFactor(96.0 / 96), 1);
    EXPECT_EQ(wholeScaleFactor(120.0 / 96), 1);
    EXPECT_EQ(wholeScaleFactor(144.0 / 96), 1);
    EXPECT_EQ(wholeScaleFactor(168.0 / 96), 2);
    EXPECT_EQ(wholeScaleFactor(192.0 / 96), 2);
    EXPECT_EQ(wholeScaleFactor(288.0 / 96), 3);
    EXPECT_EQ(wholeScaleFactor(0.5), 1);
    EXPECT_EQ(wholeScaleFactor(0.0), 1);
    EXPECT_EQ(wholeScaleFactor(100.0), kMaxScaleFactor);
}

TEST(X11Scale, XftDpiIsReadFromItsOwnLine) {
    EXPECT_EQ(parseXftDpi("Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n"), 192.0);
    EXPECT_EQ(parseXftDpi("Xft.dpi: 144.5"), 144.5);
    EXPECT_EQ(parseXftDpi("Xft.hinting:\t1\n"), 0.0);
    EXPECT_EQ(parseXftDpi("Xft.dpi:\tlarge\n"), 0.0);
    EXPECT_EQ(parseXftDpi("Xft.dpi:\t-5\n"), 0.0);
    EXPECT_EQ(parseXftDpi(""), 0.0);
    EXPECT_EQ(parseXftDpi(nullptr), 0.0);
}

TEST(X11Scale, SourcesInOrderOfPrecedence) {
    ScaleInputs in;
    in.editorWidth = 800;
    in.editorHeight = 450;
    in.screenWidth = 3840;
    in.screenHeight = 2160;
    EXPECT_EQ(chooseScaleFactor(in), 1);  // nothing known
    in.serverDpi = 96;
    EXPECT_EQ(chooseScaleFactor(in), 1);
    in.serverDpi = 200;
    EXPECT_EQ(chooseScaleFactor(in), 2);
    in.xftDpi = 96;  // the desktop's setting beats the server's guess
    EXPECT_EQ(chooseScaleFactor(in), 1);
    in.qtScaleFactor = "3";
    EXPECT_EQ(chooseScaleFactor(in), 3);
    in.gdkScale = "2";
    EXPECT_EQ(chooseScaleFactor(in), 2);
    in.forced = "4";
    EXPECT_EQ(chooseScaleFactor(in), 4);
    in.forced = "1";
    EXPECT_EQ(chooseScaleFactor(in), 1);
}

TEST(X11Scale, UnusableValuesAreSkipped) {
    ScaleInputs in;
    in.editorWidth = 800;
    in.editorHeight = 450;
    in.xftDpi = 192;
    for (const char* bad : {"", "abc", "0", "-2", "2x", "nan", "inf"}) {
        in.forced = in.gdkScale = in.qtScaleFactor = bad;
        EXPECT_EQ(chooseScaleFactor(in), 2) << '"' << bad << '"';
    }
    in.forced = in.gdkScale = nullptr;
    in.qtScaleFactor = "1.5";  // fractional desktop scale: the whole part
    EXPECT_EQ(chooseScaleFactor(in), 1);
    in.qtScaleFactor = "1.75";
    EXPECT_EQ(chooseScaleFactor(in), 2);
}

TEST(X11Scale, DetectedFactorShrinksToFitTheScreenForcedDoesNot) {
    ScaleInputs in;
    in.editorWidth = 800;
    in.editorHeight = 450;
    in.gdkScale = "3";
    in.screenWidth = 1920;
    in.screenHeight = 1080;
    EXPECT_EQ(chooseScaleFactor(in), 2);  // 2400 wide would not fit
    in.screenWidth = 1280;
    EXPECT_EQ(chooseScaleFactor(in), 1);
    in.screenHeight = 800;
    in.forced = "2";
    EXPECT_EQ(chooseScaleFactor(in), 2);
}

TEST(X11Scale, CoordinatesMapBackRoundingDown) {
    EXPECT_EQ(toEditorCoordinate(0, 1), 0);
    EXPECT_EQ(toEditorCoordinate(799, 1), 799);
    EXPECT_EQ(toEditorCoordinate(201, 2), 100);
    EXPECT_EQ(toEditorCoordinate(200, 2), 100);
    EXPECT_EQ(toEditorCoordinate(199, 2), 99);
    EXPECT_EQ(toEditorCoordinate(-1, 2), -1);
    EXPECT_EQ(toEditorCoordinate(-2, 2), -1);
    EXPECT_EQ(toEditorCoordinate(-3, 2), -2);
    EXPECT_EQ(toEditorCoordinate(-1, 1), -1);
    EXPECT_EQ(toWindowArea(Box(10, 20, 30, 45), 3), Box(30, 60, 90, 135));
}

TEST(X11Keys, SameKeysAsTheMacWindow) {
    EXPECT_EQ(translateX11KeySym(XK_Return), Key::enter);
    EXPECT_EQ(translateX11KeySym(XK_KP_Enter), Key::enter);
    EXPECT_EQ(translateX11KeySym(XK_BackSpace), Key::backspace);
    EXPECT_EQ(translateX11KeySym(XK_Escape), Key::escape);
    EXPECT_EQ(translateX11KeySym(XK_Up), Key::arrowUp);
    EXPECT_EQ(translateX11KeySym(XK_KP_Down), Key::arrowDown);
    EXPECT_EQ(translateX11KeySym(XK_Left), Key::arrowLeft);
    EXPECT_EQ(translateX11KeySym(XK_Right), Key::arrowRight);
    EXPECT_EQ(translateX11KeySym(XK_KP_1), Key::digit1);
    EXPECT_EQ(translateX11KeySym(XK_9), Key::digit9);
    EXPECT_EQ(translateX11KeySym(XK_q), Key::q);
    EXPECT_EQ(translateX11KeySym(XK_Q), Key::Q);
    EXPECT_EQ(translateX11KeySym(XK_eacute), Key::unsupported);
    EXPECT_EQ(translateX11KeySym(XK_space), Key::unsupported);
    EXPECT_EQ(translateX11KeySym(XK_Shift_L), Key::unsupported);
    EXPECT_EQ(translateX11KeySym(NoSymbol), Key::unsupported);
}

TEST(X11Mouse, ButtonsAndState) {
    EXPECT_EQ(classifyX11Button(1).button, MouseButton::left);
    EXPECT_EQ(classifyX11Button(2).button, MouseButton::middle);
    EXPECT_EQ(classifyX11Button(3).button, MouseButton::right);
    EXPECT_EQ(classifyX11Button(3).kind, X11ButtonAction::click);
    EXPECT_EQ(classifyX11Button(4).wheelDeltaY, 10);
    EXPECT_EQ(classifyX11Button(5).wheelDeltaY, -10);
    EXPECT_EQ(classifyX11Button(6).wheelDeltaX, 10);
    EXPECT_EQ(classifyX11Button(7).wheelDeltaX, -10);
    EXPECT_EQ(classifyX11Button(7).kind, X11ButtonAction::wheel);
    EXPECT_EQ(classifyX11Button(9).extraIndex, 2);
    EXPECT_EQ(classifyX11Button(12).kind, X11ButtonAction::none);

    const MouseState s = x11MouseState(Button1Mask | Button3Mask | ShiftMask | Mod1Mask, true, false);
    EXPECT_TRUE(s.leftDown && s.rightDown && s.shiftHeld && s.altHeld && s.extra1Down);
    EXPECT_FALSE(s.middleDown || s.controlHeld || s.extra2Down);
    EXPECT_EQ(x11MouseState(Button4Mask | LockMask, false, false), MouseState{});
}

TEST(X11Image, EnlargedCopyFillsSquaresOfTheArea) {
    std::vector<RGBA8> src(5 * 4);
    for (int i = 0; i < 20; ++i) src[i] = RGBA8{static_cast<std::uint8_t>(i), 0, 0, 255};
    const ImageRef<const RGBA8> view{5, 4, 5 * 4, src.data()};
    const int factor = 2, pitch = 12 * 4;  // padded rows
    std::vector<std::uint8_t> dst(static_cast<std::size_t>(pitch) * 8, 0xEE);
    copyEnlarged(view, Box(1, 1, 9, 3), dst.data(), pitch, factor);  // clipped to x < 5
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) {
            const std::uint8_t got = dst[y * pitch + x * 4];
            const int ex = x / 2, ey = y / 2;
            const bool inside = ex >= 1 && ex < 5 && ey >= 1 && ey < 3 && x < 10;
            EXPECT_EQ(got, inside ? ey * 5 + ex : 0xEE) << x << "," << y;
        }
}

}  // namespace
}  // namespace plugkit::window
