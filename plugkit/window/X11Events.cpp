#include "plugkit/window/X11Events.h"

#include <X11/X.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace plugkit::window {

namespace {

// A positive number that fills the whole text (surrounding blanks allowed), 0 otherwise.
double parsePositive(const char* text) {
    if (!text) return 0;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text) return 0;
    while (*end == ' ' || *end == '\t' || *end == '\n') ++end;
    if (*end != 0 || !std::isfinite(v) || v <= 0) return 0;
    return v;
}

}  // namespace

int wholeScaleFactor(double ratio) {
    if (!(ratio > 0)) return 1;  // also NaN
    return static_cast<int>(std::clamp(std::floor(ratio + 0.25), 1.0, static_cast<double>(kMaxScaleFactor)));
}

double parseXftDpi(const char* resources) {
    static constexpr char kName[] = "Xft.dpi:";
    for (const char* line = resources; line && *line;) {
        if (std::strncmp(line, kName, sizeof(kName) - 1) == 0) {
            char* end = nullptr;
            const double v = std::strtod(line + sizeof(kName) - 1, &end);
            return std::isfinite(v) && v > 0 ? v : 0;
        }
        line = std::strchr(line, '\n');
        if (line) ++line;
    }
    return 0;
}

int chooseScaleFactor(const ScaleInputs& in) {
    if (const double forced = parsePositive(in.forced); forced > 0) return wholeScaleFactor(forced);
    double ratio = parsePositive(in.gdkScale);
    if (ratio <= 0) ratio = parsePositive(in.qtScaleFactor);
    if (ratio <= 0 && in.xftDpi > 0) ratio = in.xftDpi / 96;
    if (ratio <= 0 && in.serverDpi > 0) ratio = in.serverDpi / 96;
    int f = wholeScaleFactor(ratio);
    const auto fits = [&](int k) {
        return (in.screenWidth <= 0 || in.editorWidth * k <= in.screenWidth) &&
               (in.screenHeight <= 0 || in.editorHeight * k <= in.screenHeight);
    };
    while (f > 1 && !fits(f)) --f;
    return f;
}

Key translateX11KeySym(unsigned long keysym) {
    switch (keysym) {
        case XK_Return:
        case XK_KP_Enter:
            return Key::enter;
        case XK_BackSpace:
            return Key::backspace;
        case XK_Escape:
            return Key::escape;
        case XK_Left:
        case XK_KP_Left:
            return Key::arrowLeft;
        case XK_Right:
        case XK_KP_Right:
            return Key::arrowRight;
        case XK_Up:
        case XK_KP_Up:
            return Key::arrowUp;
        case XK_Down:
        case XK_KP_Down:
            return Key::arrowDown;
        default:
            break;
    }
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9)
        return static_cast<Key>(static_cast<int>(Key::digit0) + static_cast<int>(keysym - XK_KP_0));
    if (keysym >= XK_0 && keysym <= XK_9)
        return static_cast<Key>(static_cast<int>(Key::digit0) + static_cast<int>(keysym - XK_0));
    if (keysym >= XK_a && keysym <= XK_z)
        return static_cast<Key>(static_cast<int>(Key::a) + static_cast<int>(keysym - XK_a));
    if (keysym >= XK_A && keysym <= XK_Z)
        return static_cast<Key>(static_cast<int>(Key::A) + static_cast<int>(keysym - XK_A));
    return Key::unsupported;
}

MouseState x11MouseState(unsigned int stateMask, bool extra1Down, bool extra2Down) {
    MouseState s;
    s.leftDown = (stateMask & Button1Mask) != 0;
    s.middleDown = (stateMask & Button2Mask) != 0;
    s.rightDown = (stateMask & Button3Mask) != 0;
    s.extra1Down = extra1Down;
    s.extra2Down = extra2Down;
    s.shiftHeld = (stateMask & ShiftMask) != 0;
    s.controlHeld = (stateMask & ControlMask) != 0;
    s.altHeld = (stateMask & Mod1Mask) != 0;
    return s;
}

X11ButtonAction classifyX11Button(unsigned int button) {
    X11ButtonAction a;
    switch (button) {
        case 1:
            a.kind = X11ButtonAction::click, a.button = MouseButton::left;
            break;
        case 2:
            a.kind = X11ButtonAction::click, a.button = MouseButton::middle;
            break;
        case 3:
            a.kind = X11ButtonAction::click, a.button = MouseButton::right;
            break;
        case 4:
            a.kind = X11ButtonAction::wheel, a.wheelDeltaY = 10;
            break;
        case 5:
            a.kind = X11ButtonAction::wheel, a.wheelDeltaY = -10;
            break;
        case 6:
            a.kind = X11ButtonAction::wheel, a.wheelDeltaX = 10;
            break;
        case 7:
            a.kind = X11ButtonAction::wheel, a.wheelDeltaX = -10;
            break;
        case 8:
            a.kind = X11ButtonAction::extra, a.extraIndex = 1;
            break;
        case 9:
            a.kind = X11ButtonAction::extra, a.extraIndex = 2;
            break;
        default:
            break;
    }
    return a;
}

void copyEnlarged(const graphics::ImageRef<const graphics::RGBA8>& src, const graphics::Box& area,
                  std::uint8_t* dst, std::ptrdiff_t dstPitch, int factor) {
    const graphics::Box a = area.intersection(src.bounds());
    if (a.empty()) return;
    const std::size_t rowBytes = static_cast<std::size_t>(a.width()) * 4 * factor;
    for (int y = a.min.y; y < a.max.y; ++y) {
        const graphics::RGBA8* in = src.row(y) + a.min.x;
        std::uint8_t* first = dst + static_cast<std::ptrdiff_t>(y) * factor * dstPitch +
                              static_cast<std::ptrdiff_t>(a.min.x) * factor * 4;
        if (factor == 1) {
            std::memcpy(first, in, rowBytes);
            continue;
        }
        auto* out = reinterpret_cast<graphics::RGBA8*>(first);
        for (int x = 0; x < a.width(); ++x)
            for (int k = 0; k < factor; ++k) *out++ = in[x];
        for (int k = 1; k < factor; ++k) std::memcpy(first + k * dstPitch, first, rowBytes);
    }
}

}  // namespace plugkit::window
