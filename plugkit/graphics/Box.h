#pragma once

#include <algorithm>

namespace plugkit::graphics {

// Integer point in pixel coordinates.
struct Point {
    int x = 0;
    int y = 0;
    constexpr bool operator==(const Point&) const = default;
};

// Integer rectangle: min inclusive, max exclusive. Plain value, any thread.
struct Box {
    Point min;
    Point max;

    constexpr Box() = default;
    constexpr Box(int minX, int minY, int maxX, int maxY) : min{minX, minY}, max{maxX, maxY} {}

    constexpr int width() const { return max.x - min.x; }
    constexpr int height() const { return max.y - min.y; }

    // True when the box holds no pixel (a reversed box counts as empty too).
    constexpr bool empty() const { return max.x <= min.x || max.y <= min.y; }

    // Component-wise max of the minima and min of the maxima; each maximum is raised to at least
    // the new minimum, so an empty result keeps its position.
    constexpr Box intersection(const Box& o) const {
        Box r(std::max(min.x, o.min.x), std::max(min.y, o.min.y), std::min(max.x, o.max.x),
              std::min(max.y, o.max.y));
        r.max.x = std::max(r.max.x, r.min.x);
        r.max.y = std::max(r.max.y, r.min.y);
        return r;
    }

    // The box moved by offset.
    constexpr Box translated(Point offset) const {
        return Box(min.x + offset.x, min.y + offset.y, max.x + offset.x, max.y + offset.y);
    }

    // True when each side of other lies on or inside this box (a box contains itself).
    constexpr bool contains(const Box& o) const {
        return o.min.x >= min.x && o.min.y >= min.y && o.max.x <= max.x && o.max.y <= max.y;
    }

    // Number of pixels; 0 or less for an empty box. 64-bit so that no size overflows.
    constexpr long long area() const { return static_cast<long long>(width()) * height(); }

    // The box with each side moved outward by margin pixels (inward for a negative margin).
    constexpr Box grown(int margin) const {
        return Box(min.x - margin, min.y - margin, max.x + margin, max.y + margin);
    }

    // The smallest box holding both; an empty operand does not count.
    constexpr Box united(const Box& o) const {
        if (o.empty()) return *this;
        if (empty()) return o;
        return Box(std::min(min.x, o.min.x), std::min(min.y, o.min.y), std::max(max.x, o.max.x),
                   std::max(max.y, o.max.y));
    }

    // True when pixel (x, y) lies inside.
    constexpr bool contains(int x, int y) const { return x >= min.x && y >= min.y && x < max.x && y < max.y; }

    constexpr bool operator==(const Box&) const = default;
};

}  // namespace plugkit::graphics
