#pragma once

#include <cstdint>
#include <type_traits>

namespace plugkit::graphics {

// Component layouts of a Color: the component names in storage order.
struct ChannelsL {};
struct ChannelsRGB {};
struct ChannelsRGBA {};

// A pixel value: components of type T stored back to back in the order of the layout. Plain
// aggregates, so RGBA8{255, 0, 0, 255} builds opaque red; operator[] indexes components in order.
template <class T, class Channels>
struct Color;

template <class T>
struct Color<T, ChannelsL> {
    using Component = T;
    static constexpr int numComponents = 1;
    T l;

    constexpr T& operator[](int) { return l; }
    constexpr const T& operator[](int) const { return l; }
    constexpr bool operator==(const Color&) const = default;
};

template <class T>
struct Color<T, ChannelsRGB> {
    using Component = T;
    static constexpr int numComponents = 3;
    T r, g, b;

    constexpr T& operator[](int i) { return i == 0 ? r : i == 1 ? g : b; }
    constexpr const T& operator[](int i) const { return i == 0 ? r : i == 1 ? g : b; }
    constexpr bool operator==(const Color&) const = default;
};

template <class T>
struct Color<T, ChannelsRGBA> {
    using Component = T;
    static constexpr int numComponents = 4;
    T r, g, b, a;

    constexpr T& operator[](int i) { return i == 0 ? r : i == 1 ? g : i == 2 ? b : a; }
    constexpr const T& operator[](int i) const { return i == 0 ? r : i == 1 ? g : i == 2 ? b : a; }
    constexpr bool operator==(const Color&) const = default;
};

using RGBA8 = Color<std::uint8_t, ChannelsRGBA>;  // window, diffuse and material layers, images
using L8 = Color<std::uint8_t, ChannelsL>;        // coverage masks (glyphs, drawing)
using L16 = Color<std::uint16_t, ChannelsL>;      // depth layer
using RGB32f = Color<float, ChannelsRGB>;         // floating-point work images
using RGBA32f = Color<float, ChannelsRGBA>;       // floating-point work images

static_assert(sizeof(RGBA8) == 4 && sizeof(L8) == 1 && sizeof(L16) == 2);
static_assert(sizeof(RGB32f) == 12 && sizeof(RGBA32f) == 16);
static_assert(std::is_trivially_copyable_v<RGBA8> && std::is_standard_layout_v<RGBA8>);

}  // namespace plugkit::graphics
