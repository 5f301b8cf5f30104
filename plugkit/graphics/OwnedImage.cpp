#include "plugkit/graphics/OwnedImage.h"

#include <algorithm>

#include "plugkit/core/AlignedAlloc.h"

namespace plugkit::graphics {

namespace {
constexpr std::size_t kBufferAlignment = 16;
}

template <class T>
OwnedImage<T>::~OwnedImage() {
    core::alignedFree(buffer_, kBufferAlignment);
}

template <class T>
bool OwnedImage<T>::size(int width, int height, int border, int borderRight) {
    // All arithmetic in 64 bits: each factor is below 2^32, so nothing here can overflow.
    const long long px = static_cast<long long>(sizeof(T));
    const long long rowBytes = (static_cast<long long>(width) + border + borderRight) * px;
    const long long rows = static_cast<long long>(height) + 2LL * border;
    const bool valid = width >= 0 && height >= 0 && border >= 0 && borderRight >= 0 &&
                       rowBytes <= 0x7FFFFFFF && rows * rowBytes <= kMaxBytes;
    if (!valid) {
        w_ = h_ = pitch_ = border_ = borderRight_ = 0;
        pixels_ = reinterpret_cast<T*>(buffer_);
        return false;
    }
    w_ = width;
    h_ = height;
    border_ = border;
    borderRight_ = borderRight;
    pitch_ = static_cast<int>(rowBytes);
    buffer_ = static_cast<unsigned char*>(
        core::alignedReallocImpl(buffer_, static_cast<std::size_t>(rows * rowBytes), kBufferAlignment));
    pixels_ = reinterpret_cast<T*>(buffer_ + static_cast<std::ptrdiff_t>(border) * pitch_ +
                                   static_cast<std::ptrdiff_t>(border) * px);
    return true;
}

template <class T>
void OwnedImage<T>::replicateBordersTouching(Box area) {
    if (w_ <= 0 || h_ <= 0) return;
    area = area.intersection(bounds());
    if (area.empty()) return;
    const bool top = area.min.y == 0, bottom = area.max.y == h_;
    const bool left = area.min.x == 0, right = area.max.x == w_;
    const int x0 = area.min.x, x1 = area.max.x;

    // Fills columns [c0, c1) of rows [r0, r1) with one value.
    auto fillBlock = [this](int c0, int c1, int r0, int r1, T value) {
        for (int y = r0; y < r1; ++y) std::fill(row(y) + c0, row(y) + c1, value);
    };
    auto copyRowSpan = [this, x0, x1](int from, int r0, int r1) {
        for (int y = r0; y < r1; ++y) std::copy(row(from) + x0, row(from) + x1, row(y) + x0);
    };

    if (top) {
        if (left) fillBlock(-border_, 0, -border_, 0, pixel(0, 0));
        copyRowSpan(0, -border_, 0);
        if (right) fillBlock(w_, w_ + borderRight_, -border_, 0, pixel(w_ - 1, 0));
    }
    for (int y = area.min.y; y < area.max.y; ++y) {
        if (left) fillBlock(-border_, 0, y, y + 1, pixel(0, y));
        if (right) fillBlock(w_, w_ + borderRight_, y, y + 1, pixel(w_ - 1, y));
    }
    if (bottom) {
        if (left) fillBlock(-border_, 0, h_, h_ + border_, pixel(0, h_ - 1));
        copyRowSpan(h_ - 1, h_, h_ + border_);
        if (right) fillBlock(w_, w_ + borderRight_, h_, h_ + border_, pixel(w_ - 1, h_ - 1));
    }
}

template class OwnedImage<RGBA8>;
template class OwnedImage<L16>;
template class OwnedImage<L8>;
template class OwnedImage<RGB32f>;
template class OwnedImage<RGBA32f>;

}  // namespace plugkit::graphics
