#pragma once

#include <cstddef>

namespace plugkit::graphics {

// PNG images with more pixels than this, or a side above pngMaxDimension, are refused before any
// pixel memory is reserved.
constexpr long long pngMaxPixels = 1ll << 25;
constexpr int pngMaxDimension = 16384;

// [any thread] Decodes a PNG converted to requestedComponents (1..4: grey becomes r = g = b, a
// missing alpha becomes 255). Returns rows top to bottom from malloc (caller frees) or null.
unsigned char* decodePngFromMemory(const unsigned char* data, std::size_t size, int* width, int* height,
                                   int requestedComponents);

}  // namespace plugkit::graphics
