#pragma once

// The lane types the DSP kernels are written over, for code without vector registers: plain float
// and double (one lane), and Pack<V, N>, N registers of a lane type side by side, every operation
// done register by register. A kernel written once over these operations (dsp/simd/Sse2.h and
// dsp/simd/Avx2.h give the same operations on SSE2 and AVX2 registers) does the same float
// operations in every lane whatever the lane type, so every instruction set gives the same results
// bit for bit. Pure inline functions: no allocation, no lock, no system call.

#include <bit>
#include <concepts>
#include <cstdint>

namespace dsp::simd {

// One float or double lane. Masks are bool.
template <std::floating_point T>
inline bool greater(T a, T b) {
    return a > b;
}
template <std::floating_point T>
inline bool less(T a, T b) {
    return a < b;
}
template <std::floating_point T>
inline bool equal(T a, T b) {
    return a == b;
}
template <std::floating_point T>
inline T select(bool m, T a, T b) {
    return m ? a : b;
}
// m ? a : +0, as an AND with an all-ones or all-zeros mask.
template <std::floating_point T>
inline T keepIf(bool m, T a) {
    return m ? a : T(0);
}
// a > b ? a : b and a < b ? a : b (so NaN in b gives b).
template <std::floating_point T>
inline T maxOf(T a, T b) {
    return a > b ? a : b;
}
template <std::floating_point T>
inline T minOf(T a, T b) {
    return a < b ? a : b;
}
inline bool bothOf(bool a, bool b) { return a && b; }
inline bool allOf(bool m) { return m; }
// The bits of a and b ANDed (masks stored as floats: all ones or zero).
inline float bitAnd(float a, float b) {
    return std::bit_cast<float>(std::bit_cast<std::uint32_t>(a) & std::bit_cast<std::uint32_t>(b));
}
inline float abs(float a) { return std::bit_cast<float>(std::bit_cast<std::uint32_t>(a) & 0x7FFFFFFFu); }
inline double widen(float a) { return static_cast<double>(a); }
inline float narrow(double a) { return static_cast<float>(a); }

// The bits of doubles that the exponent operations below take apart and put together.
inline constexpr std::int64_t kMantissaBits = 0x000FFFFFFFFFFFFF;
inline constexpr std::int64_t kOneBits = 0x3FF0000000000000;      // 1.0
inline constexpr std::int64_t kTwoTo52Bits = 0x4330000000000000;  // 2^52
inline constexpr double kTwoTo52PlusBias = 4503599627370496.0 + 1023.0;
// 1.5 * 2^52: t + kRoundMagic - kRoundMagic is t rounded to the nearest integer for |t| < 2^51, and
// the low mantissa bits of t + kRoundMagic hold that integer.
inline constexpr double kRoundMagic = 6755399441055744.0;

// x = 2^e * m for finite normal x > 0: m in [1, 2) and e, both exactly.
inline void splitExponent(double x, double& m, double& e) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    e = static_cast<double>(static_cast<std::int64_t>(bits >> 52) - 1023);
    m = std::bit_cast<double>((bits & kMantissaBits) | kOneBits);
}
// 2^n, where r = n + kRoundMagic holds the integer n in [-1022, 1023] in its low mantissa bits
// (integer arithmetic that wraps, as the vector registers do, so NaN gives some NaN-bound value).
inline double powerOfTwo(double r) {
    const std::uint64_t n = std::bit_cast<std::uint64_t>(r) - std::bit_cast<std::uint64_t>(kRoundMagic);
    return std::bit_cast<double>((n + 1023) << 52);
}

// N registers of lane type V.
template <typename V, int N>
struct Pack {
    V r[N];

    static Pack splat(auto value) {
        Pack p;
        for (V& x : p.r) x = V(value);
        return p;
    }
};

#define DSP_PACK_BINARY(op)                                                                          \
    template <typename V, int N>                                                                     \
    [[gnu::always_inline]] inline Pack<V, N> operator op(const Pack<V, N>& a, const Pack<V, N>& b) { \
        Pack<V, N> out;                                                                              \
        for (int i = 0; i < N; ++i) out.r[i] = a.r[i] op b.r[i];                                     \
        return out;                                                                                  \
    }
DSP_PACK_BINARY(+)
DSP_PACK_BINARY(-)
DSP_PACK_BINARY(*)
DSP_PACK_BINARY(/)
#undef DSP_PACK_BINARY

#define DSP_PACK_MAP(name)                                                              \
    template <typename V, int N, typename... Rest>                                      \
    [[gnu::always_inline]] inline auto name(const Pack<V, N>& a, const Rest&... rest) { \
        Pack<decltype(name(a.r[0], rest.r[0]...)), N> out;                              \
        for (int i = 0; i < N; ++i) out.r[i] = name(a.r[i], rest.r[i]...);              \
        return out;                                                                     \
    }
DSP_PACK_MAP(greater)
DSP_PACK_MAP(bothOf)
DSP_PACK_MAP(maxOf)
DSP_PACK_MAP(minOf)
DSP_PACK_MAP(less)
DSP_PACK_MAP(equal)
DSP_PACK_MAP(keepIf)
DSP_PACK_MAP(bitAnd)
DSP_PACK_MAP(abs)
DSP_PACK_MAP(widen)
DSP_PACK_MAP(narrow)
#undef DSP_PACK_MAP

template <typename M, typename V, int N>
inline Pack<V, N> select(const Pack<M, N>& m, const Pack<V, N>& a, const Pack<V, N>& b) {
    Pack<V, N> out;
    for (int i = 0; i < N; ++i) out.r[i] = select(m.r[i], a.r[i], b.r[i]);
    return out;
}

template <typename M, int N>
inline bool allOf(const Pack<M, N>& m) {
    bool all = true;
    for (int i = 0; i < N; ++i) all = all && allOf(m.r[i]);
    return all;
}

template <typename V, int N>
inline void splitExponent(const Pack<V, N>& x, Pack<V, N>& m, Pack<V, N>& e) {
    for (int i = 0; i < N; ++i) splitExponent(x.r[i], m.r[i], e.r[i]);
}

template <typename V, int N>
inline Pack<V, N> powerOfTwo(const Pack<V, N>& r) {
    Pack<V, N> out;
    for (int i = 0; i < N; ++i) out.r[i] = powerOfTwo(r.r[i]);
    return out;
}

// Transfers between one lane of plain floats and one value, for the each* functions of the
// kernels' state: IntoLane{i}(lanes, value) sets lane i, FromLane{i}(value, lanes) reads it.
struct IntoLane {
    int i;
    template <int N>
    void operator()(Pack<float, N>& lanes, const float& value) const {
        lanes.r[i] = value;
    }
};
struct FromLane {
    int i;
    template <int N>
    void operator()(float& value, const Pack<float, N>& lanes) const {
        value = lanes.r[i];
    }
};

// Lanes for a single value: a compressor object processing its own sample. Q is one T, QD one
// double.
template <typename T>
struct OneLaneOf {
    using Scalar = T;
    using Q = T;
    using QD = double;
    static QD widen(Q q) { return static_cast<double>(q); }
    static Q narrow(QD d) { return static_cast<T>(d); }
    static void store(double* out, QD d) { out[0] = d; }
    static void store(T* out, Q q) { out[0] = q; }
    static Q load(const T* in) { return in[0]; }
    static constexpr int kQuadLanes = 1;
};
using OneLane = OneLaneOf<float>;

// The kernels' lanes without vector registers: a quad Q holds one channel's four bands, a frame F
// both channels' (lanes 0-3 channel 1, 4-7 channel 2), QD a quad's values in double.
struct ScalarLanes {
    using Scalar = float;
    using Q = Pack<float, 4>;
    using QD = Pack<double, 4>;
    using F = Pack<float, 8>;
    static constexpr int kQuadLanes = 4;

    static QD widen(const Q& q) { return dsp::simd::widen(q); }
    static Q narrow(const QD& d) { return dsp::simd::narrow(d); }
    static Q low(const F& f) { return {{f.r[0], f.r[1], f.r[2], f.r[3]}}; }
    static Q high(const F& f) { return {{f.r[4], f.r[5], f.r[6], f.r[7]}}; }
    static F join(const Q& lo, const Q& hi) {
        return {{lo.r[0], lo.r[1], lo.r[2], lo.r[3], hi.r[0], hi.r[1], hi.r[2], hi.r[3]}};
    }
    // {high half of a, low half of b}; {low half of a, low half of b}; {high, high}.
    static F crossHalves(const F& a, const F& b) { return join(high(a), low(b)); }
    static F frameLows(const F& a, const F& b) { return join(low(a), low(b)); }
    static F frameHighs(const F& a, const F& b) { return join(high(a), high(b)); }
    // Half c (0: lanes 0-3, 1: lanes 4-7) of a frame; a frame mask as eight bits, lane i in bit i.
    static Q half(const F& f, int c) { return c ? high(f) : low(f); }
    static int maskBits(const Pack<bool, 8>& m) {
        int bits = 0;
        for (int i = 0; i < 8; ++i) bits |= m.r[i] << i;
        return bits;
    }
    static void store(double* out, const QD& d) {
        for (int i = 0; i < 4; ++i) out[i] = d.r[i];
    }
    static void store(float* out, const Q& q) {
        for (int i = 0; i < 4; ++i) out[i] = q.r[i];
    }
    static void store(float* out, const F& f) {
        for (int i = 0; i < 8; ++i) out[i] = f.r[i];
    }
    static Q load(const float* in) { return {{in[0], in[1], in[2], in[3]}}; }
    static QD load(const double* in) { return {{in[0], in[1], in[2], in[3]}}; }
    static F loadFrame(const float* in) {
        F f;
        for (int i = 0; i < 8; ++i) f.r[i] = in[i];
        return f;
    }
    static Q splat(float v) { return Q::splat(v); }
    static F splatFrame(float v) { return F::splat(v); }

    // Shuffles of the four-lane crossover: {a, a, b, b}; {v1, v1, v3, v3}; {v0, v2, v0, v2};
    // {a0, b0, a1, b1}; {a0, a1, b0, b1}; {a2, a3, b2, b3}; lanes 1 and 3 negated.
    static Q pairs(float a, float b) { return {{a, a, b, b}}; }
    static Q oddLanes(const Q& v) { return {{v.r[1], v.r[1], v.r[3], v.r[3]}}; }
    static Q evenLanes(const Q& v) { return {{v.r[0], v.r[2], v.r[0], v.r[2]}}; }
    static Q interleaveLow(const Q& a, const Q& b) { return {{a.r[0], b.r[0], a.r[1], b.r[1]}}; }
    static Q lowHalves(const Q& a, const Q& b) { return {{a.r[0], a.r[1], b.r[0], b.r[1]}}; }
    static Q highHalves(const Q& a, const Q& b) { return {{a.r[2], a.r[3], b.r[2], b.r[3]}}; }
    static Q negateOdd(const Q& v) { return {{v.r[0], -v.r[1], v.r[2], -v.r[3]}}; }
};

}  // namespace dsp::simd
