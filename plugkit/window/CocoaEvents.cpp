#include "plugkit/window/CocoaEvents.h"

#include "plugkit/core/UUID.h"

namespace plugkit::window {

Point cocoaMousePosition(double windowX, double windowY, int bufferHeight) {
    return Point{static_cast<int>(windowX) - 2, bufferHeight - 3 - static_cast<int>(windowY)};
}

MouseState cocoaMouseState(std::uint64_t pressedButtons, std::uint64_t modifierFlags) {
    MouseState s;
    s.leftDown = (pressedButtons & 1) != 0;
    s.rightDown = (pressedButtons & 2) != 0;
    s.middleDown = (pressedButtons & 4) != 0;
    s.shiftHeld = (modifierFlags & (1u << 17)) != 0;
    s.controlHeld = (modifierFlags & (1u << 18)) != 0;
    s.altHeld = (modifierFlags & (1u << 19)) != 0;
    return s;
}

int cocoaWheelDelta(double delta) { return static_cast<int>(delta * 10 + 0.5); }

Key cocoaTranslateKey(std::uint16_t keyCode, std::uint64_t charCount, std::uint16_t firstChar) {
    switch (keyCode) {
        case 36:
            return Key::enter;
        case 51:
            return Key::backspace;
        case 53:
            return Key::escape;
        case 91:
            return Key::digit8;
        case 92:
            return Key::digit9;
        case 123:
            return Key::arrowLeft;
        case 124:
            return Key::arrowRight;
        case 125:
            return Key::arrowDown;
        case 126:
            return Key::arrowUp;
        default:
            break;
    }
    if (keyCode >= 82 && keyCode <= 89) return static_cast<Key>(static_cast<int>(Key::digit0) + keyCode - 82);
    if (charCount == 0) return Key::unsupported;
    const int c = firstChar;
    if (c >= '0' && c <= '9') return static_cast<Key>(c - 43);
    if (c >= 'A' && c <= 'Z') return static_cast<Key>(c - 24);
    if (c >= 'a' && c <= 'z') return static_cast<Key>(c - 82);
    return Key::unsupported;
}

bool cocoaRepaintRect(const Box& dirty, double boundsHeight, CocoaRect* out) {
    // A reversed box counts as empty too: it has no pixels to show.
    if (dirty.empty()) return false;
    *out = CocoaRect{static_cast<double>(dirty.min.x), boundsHeight - dirty.max.y,
                     static_cast<double>(dirty.width()), static_cast<double>(dirty.height())};
    return true;
}

void makeCocoaViewClassName(char (&dest)[kCocoaViewClassNameSize]) {
    core::generateNullTerminatedRandomUUID("PlugkitView_", dest);
}

}  // namespace plugkit::window
