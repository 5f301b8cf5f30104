#pragma once

#include <cstddef>

#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/ImageRef.h"

namespace plugkit::graphics {

// An image that owns its pixels, with an optional border: `border` extra pixels left of column 0,
// above row 0 and below row h-1, and `borderRight` extra columns right of column w-1. The border is
// addressable through row()/pixel() with negative or out-of-range coordinates. The buffer comes
// from the aligned allocator (16-byte aligned start). Instantiated for RGBA8, L16, L8, RGB32f and
// RGBA32f. Not synchronised: one thread sizes it, any number may then read or write distinct pixels.
template <class T>
class OwnedImage {
public:
    // Largest accepted buffer, in bytes; bigger requests are refused by size().
    static constexpr long long kMaxBytes = 1LL << 40;

    OwnedImage() = default;
    ~OwnedImage();
    OwnedImage(const OwnedImage&) = delete;
    OwnedImage& operator=(const OwnedImage&) = delete;

    // [owner thread] Sizes the image to width x height with the given borders; content afterwards
    // is unspecified; the buffer is reallocated to pitch * (height + 2 * border) bytes with
    // pitch = (width + border + borderRight) * sizeof(T). Negative values, a pitch beyond 32 bits or
    // a byte count beyond kMaxBytes are refused: the result is false and the image is 0 x 0.
    // Exhausted memory is fatal.
    bool size(int width, int height, int border = 0, int borderRight = 0);

    int width() const { return w_; }
    int height() const { return h_; }
    int pitch() const { return pitch_; }  // bytes from one row to the next
    int border() const { return border_; }
    int borderRight() const { return borderRight_; }
    T* pixels() const { return pixels_; }  // pixel (0, 0); null before the first size()

    // [any thread] Row y, y in -border .. h + border - 1; unchecked.
    T* row(int y) const { return toRef().row(y); }
    // [any thread] Pixel (x, y), x in -border .. w + borderRight - 1; unchecked.
    T& pixel(int x, int y) const { return row(y)[x]; }

    // [any thread] View of the visible area (w, h, pitch, pixels), without the border.
    ImageRef<T> toRef() const { return ImageRef<T>{w_, h_, pitch_, pixels_}; }
    Box bounds() const { return Box(0, 0, w_, h_); }

    // [owner thread] Copies the edge pixels next to area (clipped to the image) into the border,
    // so that filters reading one pixel beyond the edge see the replicated edge.
    void replicateBordersTouching(Box area);

private:
    int w_ = 0;
    int h_ = 0;
    T* pixels_ = nullptr;
    int pitch_ = 0;
    unsigned char* buffer_ = nullptr;
    int border_ = 0;
    int borderRight_ = 0;
};

extern template class OwnedImage<RGBA8>;
extern template class OwnedImage<L16>;
extern template class OwnedImage<L8>;
extern template class OwnedImage<RGB32f>;
extern template class OwnedImage<RGBA32f>;

}  // namespace plugkit::graphics
