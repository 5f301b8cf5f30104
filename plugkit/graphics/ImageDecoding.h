#pragma once

#include <cstddef>

#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/OwnedImage.h"

namespace plugkit::graphics {

// A decoded image: rows top to bottom, packed, components interleaved. pixels comes from malloc and
// the receiver frees it (freeImage); on failure w = h = size = 0 and pixels is null.
struct IFImage {
    int w = 0;
    int h = 0;
    std::size_t size = 0;
    unsigned char* pixels = nullptr;
    int components = 0;
    int reserved = 0;
};

// [any thread] Decodes PNG (by its 8-byte signature) or JPEG (FF D8) bytes into requestedComponents
// (1, 3 or 4) per pixel. Anything else, or data the decoder rejects, gives an empty IFImage.
IFImage readImageFromMem(const unsigned char* bytes, std::size_t length, int requestedComponents);

// [any thread] Frees the pixels of image and empties it.
void freeImage(IFImage& image);

// [any thread] Decodes bytes into a new RGBA8 image without border (pitch = width * 4) that the
// caller owns (destroy with core::destroyFree). Null when the bytes are not a decodable image.
OwnedImage<RGBA8>* loadOwnedImage(const unsigned char* bytes, std::size_t length);

}  // namespace plugkit::graphics
