#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "plugkit/core/FPControl.h"
#include "plugkit/window/IWindow.h"

namespace plugkit::window::testing {

// The colour a RecordingListener paints at editor pixel (x, y): different in every channel for
// neighbouring pixels, so a shift or a swap of channels shows; tint changes the blue channel.
inline RGBA8 patternAt(int x, int y, int tint = 0) {
    return RGBA8{static_cast<std::uint8_t>(x * 3 + 1), static_cast<std::uint8_t>(y * 5 + 2),
                 static_cast<std::uint8_t>(x + y * 7 + tint), 255};
}

// A listener that behaves like a small editor: areas marked with markDirty are reported after the next
// recomputeDirtyAreas and painted with patternAt at the next onDraw, converted to the format asked
// for. Records every call in order and the arguments of the last mouse and key events.
class RecordingListener : public IWindowListener {
public:
    struct MouseEvent {
        std::string kind;
        int x = 0, y = 0, dx = 0, dy = 0;
        MouseButton button = MouseButton::left;
        bool isDoubleClick = false;
        MouseState state;
    };

    std::vector<std::string> calls;
    std::vector<MouseEvent> mouse;
    std::vector<std::pair<std::string, Key>> keys;
    std::vector<std::pair<double, double>> animations;  // dt, time
    std::vector<Box> drawnAreas;
    int draws = 0;
    bool takeKeys = true;
    int tint = 0;                     // used by the next onDraw
    std::uint32_t sseAtLastTick = 0;  // the SSE control state onAnimate ran under
    WindowPixelFormat lastFormat = WindowPixelFormat::rgba;
    std::vector<RGBA8> pixels;
    ImageRef<RGBA8> image;

    void markDirty(const Box& b) { marked_.push_back(b); }

    bool onMouseClick(int x, int y, MouseButton button, bool isDoubleClick, MouseState state) override {
        calls.push_back("click");
        mouse.push_back({"click", x, y, 0, 0, button, isDoubleClick, state});
        return true;
    }
    bool onMouseRelease(int x, int y, MouseButton button, MouseState state) override {
        calls.push_back("release");
        mouse.push_back({"release", x, y, 0, 0, button, false, state});
        return true;
    }
    bool onMouseWheel(int x, int y, int wheelDeltaX, int wheelDeltaY, MouseState state) override {
        calls.push_back("wheel");
        mouse.push_back({"wheel", x, y, wheelDeltaX, wheelDeltaY, MouseButton::left, false, state});
        return true;
    }
    void onMouseMove(int x, int y, int dx, int dy, MouseState state) override {
        calls.push_back("move");
        mouse.push_back({"move", x, y, dx, dy, MouseButton::left, false, state});
    }
    bool onKeyDown(Key key) override {
        calls.push_back("keyDown");
        keys.emplace_back("down", key);
        return takeKeys;
    }
    bool onKeyUp(Key key) override {
        calls.push_back("keyUp");
        keys.emplace_back("up", key);
        return takeKeys;
    }
    void onDraw(WindowPixelFormat format) override {
        calls.push_back("draw");
        lastFormat = format;
        ++draws;
        for (const Box& area : display_) {
            const Box a = area.intersection(image.bounds());
            drawnAreas.push_back(a);
            for (int y = a.min.y; y < a.max.y; ++y)
                for (int x = a.min.x; x < a.max.x; ++x)
                    image.pixel(x, y) = convert(patternAt(x, y, tint), format);
        }
        display_.clear();
    }
    ImageRef<RGBA8> onResized(int width, int height) override {
        calls.push_back("resized " + std::to_string(width) + "x" + std::to_string(height));
        pixels.assign(static_cast<std::size_t>(width) * height, RGBA8{0, 0, 0, 0});
        image = ImageRef<RGBA8>{width, height, static_cast<std::ptrdiff_t>(width) * 4, pixels.data()};
        return image;
    }
    void recomputeDirtyAreas() override {
        calls.push_back("recompute");
        display_.insert(display_.end(), marked_.begin(), marked_.end());
        marked_.clear();
    }
    Box getDirtyRectangle() override {
        calls.push_back("dirty");
        Box r;
        for (const Box& b : display_) {
            if (b.empty()) continue;
            r = r.empty() ? b
                          : Box(std::min(r.min.x, b.min.x), std::min(r.min.y, b.min.y),
                                std::max(r.max.x, b.max.x), std::max(r.max.y, b.max.y));
        }
        return r;
    }
    void onMouseCaptureCancelled() override { calls.push_back("captureCancelled"); }
    void onAnimate(double dt, double time) override {
        calls.push_back("animate");
        animations.emplace_back(dt, time);
        sseAtLastTick = core::getSSEControlState();
    }

    static RGBA8 convert(RGBA8 c, WindowPixelFormat format) {
        switch (format) {
            case WindowPixelFormat::bgra:
                return RGBA8{c.b, c.g, c.r, 255};
            case WindowPixelFormat::argb:
                return RGBA8{255, c.r, c.g, c.b};
            case WindowPixelFormat::rgba:
                return c;
        }
        return c;
    }

private:
    std::vector<Box> marked_;
    std::vector<Box> display_;
};

}  // namespace plugkit::window::testing
