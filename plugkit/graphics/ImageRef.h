#pragma once

#include <cstddef>
#include <type_traits>

#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/Color.h"

namespace plugkit::graphics {

// Non-owning view of a rectangle of pixels of type T (T may be const for a read-only view).
// Pixel (x, y) lives at pixels + y * pitch + x * sizeof(T); rows run top to bottom and pitch (in
// bytes) may exceed w * sizeof(T). The view never checks bounds: callers clip against bounds().
template <class T>
struct ImageRef {
    int w = 0;
    int h = 0;
    std::ptrdiff_t pitch = 0;
    T* pixels = nullptr;

    // [any thread] Start of row y. Rows outside 0 .. h-1 are only valid inside an image's border.
    T* row(int y) const {
        using Byte = std::conditional_t<std::is_const_v<T>, const unsigned char, unsigned char>;
        return reinterpret_cast<T*>(reinterpret_cast<Byte*>(pixels) + static_cast<std::ptrdiff_t>(y) * pitch);
    }

    // [any thread] Pixel (x, y); unchecked.
    T& pixel(int x, int y) const { return row(y)[x]; }

    // (0, 0) - (w, h).
    Box bounds() const { return Box(0, 0, w, h); }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
    bool empty() const { return w <= 0 || h <= 0 || pixels == nullptr; }

    // [any thread] View of the part of area that lies inside this view: pixel (x, y) of the result is
    // pixel (area.min.x + x, area.min.y + y) of this one. An area outside gives a 0 x 0 view.
    ImageRef crop(const Box& area) const {
        const Box c = area.intersection(bounds());
        if (c.empty()) return ImageRef{0, 0, pitch, pixels};
        return ImageRef{c.width(), c.height(), pitch, row(c.min.y) + c.min.x};
    }

    // The same pixels as a read-only view.
    ImageRef<const T> asConst() const { return ImageRef<const T>{w, h, pitch, pixels}; }
};

}  // namespace plugkit::graphics
