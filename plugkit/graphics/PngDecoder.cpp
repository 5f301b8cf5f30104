// The one translation unit that compiles stb_image: PNG only, memory input only, every function
// static so that no other copy of the library linked into the program can clash with it.
#include "plugkit/graphics/PngDecoder.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {
// stb_image copies empty chunks (a zero-length IDAT) with memcpy from or into a null pointer, which
// is undefined even for zero bytes; its copies go through this guard instead.
void* copyBytes(void* to, const void* from, std::size_t n) { return n ? std::memcpy(to, from, n) : to; }

// The library grows its inflate buffer for as long as the compressed data asks for more; every
// block it reserves is capped by what the image being decoded can need (set per call).
thread_local std::size_t allocationLimit = 0;
void* limitedMalloc(std::size_t n) { return n > allocationLimit ? nullptr : std::malloc(n); }
void* limitedRealloc(void* p, std::size_t n) { return n > allocationLimit ? nullptr : std::realloc(p, n); }
}  // namespace

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#define STBI_MAX_DIMENSIONS 16384
#define STBI_MALLOC limitedMalloc
#define STBI_REALLOC limitedRealloc
#define STBI_FREE std::free
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wunused-function"
#pragma clang diagnostic ignored "-Wsign-compare"
#pragma clang diagnostic ignored "-Wunused-parameter"
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#define memcpy copyBytes
#include <stb_image.h>
#undef memcpy
#if defined(__clang__)
#pragma clang diagnostic pop
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace plugkit::graphics {

static_assert(STBI_MAX_DIMENSIONS == pngMaxDimension);

namespace {

unsigned be32(const unsigned char* p) {
    return static_cast<unsigned>(p[0]) << 24 | static_cast<unsigned>(p[1]) << 16 |
           static_cast<unsigned>(p[2]) << 8 | p[3];
}

}  // namespace

unsigned char* decodePngFromMemory(const unsigned char* data, std::size_t size, int* width, int* height,
                                   int requestedComponents) {
    *width = *height = 0;
    if (!data || requestedComponents < 1 || requestedComponents > 4) return nullptr;
    // The header chunk comes first; its size is checked here because the library reserves the
    // whole decompressed image up front.
    if (size < 33 || size > static_cast<std::size_t>(INT_MAX) || be32(data + 8) != 13 ||
        be32(data + 12) != 0x49484452u)
        return nullptr;
    const unsigned w = be32(data + 16), h = be32(data + 20);
    if (w == 0 || h == 0 || w > static_cast<unsigned>(pngMaxDimension) ||
        h > static_cast<unsigned>(pngMaxDimension) || static_cast<long long>(w) * h > pngMaxPixels)
        return nullptr;
    // Filtered rows of at most 8 bytes per pixel (16-bit RGBA) plus a filter byte, room for the
    // buffer's doubling growth, and the small tables of the decoder.
    const std::size_t rawBytes = static_cast<std::size_t>(h) * (1 + static_cast<std::size_t>(w) * 8);
    allocationLimit = 2 * rawBytes + (1u << 16);
    int w2 = 0, h2 = 0, comps = 0;
    unsigned char* pixels =
        stbi_load_from_memory(data, static_cast<int>(size), &w2, &h2, &comps, requestedComponents);
    allocationLimit = 0;
    if (!pixels) return nullptr;
    *width = w2;
    *height = h2;
    return pixels;
}

}  // namespace plugkit::graphics
