#pragma once

// What the drawing and widget tests share: area lists built from a brace list and written out as
// text, images filled by a rule, and a filmstrip whose pixels tell their frame and position.
#include <cstdint>
#include <initializer_list>
#include <string>

#include "plugkit/core/Vec.h"
#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/ImageRef.h"
#include "plugkit/graphics/OwnedImage.h"

namespace plugkit::testing {

// The boxes as a list, in the order given.
inline core::Vec<graphics::Box> boxes(std::initializer_list<graphics::Box> list) {
    core::Vec<graphics::Box> v;
    for (const graphics::Box& b : list) v.pushBack(b);
    return v;
}

// The boxes as "(x0,y0)-(x1,y1)" one after the other.
inline std::string boxText(const core::Vec<graphics::Box>& v) {
    std::string s;
    for (const graphics::Box& b : v)
        s += "(" + std::to_string(b.min.x) + "," + std::to_string(b.min.y) + ")-(" + std::to_string(b.max.x) +
             "," + std::to_string(b.max.y) + ")";
    return s;
}

// Sets every pixel of image to value.
template <class T>
void fill(graphics::ImageRef<T> image, T value) {
    for (int y = 0; y < image.h; ++y)
        for (int x = 0; x < image.w; ++x) image.pixel(x, y) = value;
}

// Sets every pixel (x, y) of image to rule(x, y).
template <class T, class Rule>
void fillBy(graphics::ImageRef<T> image, Rule rule) {
    for (int y = 0; y < image.h; ++y)
        for (int x = 0; x < image.w; ++x) image.pixel(x, y) = rule(x, y);
}

// Sizes strip to frames frames of w x frameH; pixel (x, y) of frame f is (f, y, x, 255).
inline void makeFilmstrip(graphics::OwnedImage<graphics::RGBA8>& strip, int w, int frameH, int frames) {
    strip.size(w, frameH * frames);
    fillBy(strip.toRef(), [frameH](int x, int y) {
        return graphics::RGBA8{static_cast<std::uint8_t>(y / frameH), static_cast<std::uint8_t>(y % frameH),
                               static_cast<std::uint8_t>(x), 255};
    });
}

}  // namespace plugkit::testing
