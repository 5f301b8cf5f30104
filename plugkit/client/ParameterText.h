#pragma once

// Small helpers shared by the parameter classes (not part of the public interface).

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "plugkit/core/Fatal.h"

namespace plugkit::client::detail {

// Texts to parse are copied into a fixed buffer of this size; longer texts are refused.
inline constexpr int kParseBufferSize = 64;

// Owned copy of text (null gives ""); exhausted memory is fatal.
inline char* copyText(const char* text) {
    if (!text) text = "";
    const std::size_t n = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(n));
    if (!copy) core::outOfMemory();
    std::memcpy(copy, text, n);
    return copy;
}

// Writes text into buffer, cut to size - 1 characters, zero-terminated. Nothing when size <= 0.
inline void copyCut(char* buffer, int size, const char* text) {
    if (!buffer || size <= 0) return;
    std::size_t n = std::strlen(text);
    if (n > static_cast<std::size_t>(size - 1)) n = static_cast<std::size_t>(size - 1);
    std::memcpy(buffer, text, n);
    buffer[n] = 0;
}

// Copies text into the parse buffer; false for null or texts of kParseBufferSize characters or more.
inline bool copyForParse(const char* text, char (&scratch)[kParseBufferSize]) {
    if (!text) return false;
    const std::size_t n = strnlen(text, kParseBufferSize);
    if (n >= static_cast<std::size_t>(kParseBufferSize)) return false;
    std::memcpy(scratch, text, n + 1);
    return true;
}

// Clamp to 0..1; NaN becomes 0.
inline double clamp01(double x) {
    if (!(x >= 0.0)) return 0.0;
    return x > 1.0 ? 1.0 : x;
}

// Rounds half away from zero and clamps to [min, max] before converting, so the conversion never
// sees NaN or a value outside the int range (NaN gives min).
inline int roundHalfAwayClamped(double x, int min, int max) {
    if (std::isnan(x)) return min;
    const double r = x >= 0.0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5);
    if (r <= min) return min;
    if (r >= max) return max;
    return static_cast<int>(r);
}

}  // namespace plugkit::client::detail
