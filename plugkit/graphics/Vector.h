#pragma once

namespace plugkit::graphics {

// Small fixed-size numeric vector, used for filtered pixel samples (channels in pixel order).
template <class T, int N>
struct Vector {
    T v[N] = {};

    constexpr T& operator[](int i) { return v[i]; }
    constexpr const T& operator[](int i) const { return v[i]; }

    constexpr Vector operator+(const Vector& o) const {
        Vector r;
        for (int i = 0; i < N; ++i) r.v[i] = v[i] + o.v[i];
        return r;
    }
    constexpr Vector operator-(const Vector& o) const {
        Vector r;
        for (int i = 0; i < N; ++i) r.v[i] = v[i] - o.v[i];
        return r;
    }
    constexpr Vector operator*(T s) const {
        Vector r;
        for (int i = 0; i < N; ++i) r.v[i] = v[i] * s;
        return r;
    }
    constexpr bool operator==(const Vector&) const = default;
};

using Vector4f = Vector<float, 4>;

}  // namespace plugkit::graphics
