#include "plugkit/graphics/ImageDecoding.h"

#include <cstdlib>
#include <cstring>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/graphics/JpegDecoder.h"
#include "plugkit/graphics/PngDecoder.h"

namespace plugkit::graphics {

IFImage readImageFromMem(const unsigned char* bytes, std::size_t length, int requestedComponents) {
    static const unsigned char pngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    IFImage image;
    image.components = requestedComponents;
    if (!bytes || (requestedComponents != 1 && requestedComponents != 3 && requestedComponents != 4))
        return image;
    int w = 0, h = 0, actual = 0;
    unsigned char* pixels = nullptr;
    if (length >= 8 && std::memcmp(bytes, pngSignature, 8) == 0) {
        pixels = decodePngFromMemory(bytes, length, &w, &h, requestedComponents);
    } else if (length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
        pixels = decompress_jpeg_image_from_memory(bytes, length, &w, &h, &actual, requestedComponents);
    }
    if (!pixels) return image;
    image.w = w;
    image.h = h;
    image.size = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) *
                 static_cast<std::size_t>(requestedComponents);
    image.pixels = pixels;
    return image;
}

void freeImage(IFImage& image) {
    std::free(image.pixels);
    image = IFImage{};
}

OwnedImage<RGBA8>* loadOwnedImage(const unsigned char* bytes, std::size_t length) {
    IFImage decoded = readImageFromMem(bytes, length, 4);
    if (!decoded.pixels) return nullptr;
    auto* image = core::mallocNew<OwnedImage<RGBA8>>();
    if (!image->size(decoded.w, decoded.h)) {
        core::destroyFree(image);
        freeImage(decoded);
        return nullptr;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(decoded.w) * 4;
    for (int y = 0; y < decoded.h; ++y)
        std::memcpy(image->row(y), decoded.pixels + static_cast<std::size_t>(y) * rowBytes, rowBytes);
    freeImage(decoded);
    return image;
}

}  // namespace plugkit::graphics
