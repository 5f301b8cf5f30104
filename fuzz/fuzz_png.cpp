// readImageFromMem / loadOwnedImage on arbitrary bytes (PNG through stb_image, JPEG by signature).
#include <cstddef>
#include <cstdint>

#include "plugkit/core/AlignedAlloc.h"
#include "plugkit/graphics/ImageDecoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace plugkit::graphics;
    IFImage image = readImageFromMem(data, size, 3);
    if (image.pixels) {
        volatile unsigned char last = image.pixels[image.size - 1];
        (void)last;
    }
    freeImage(image);
    plugkit::core::destroyFree(loadOwnedImage(data, size));
    return 0;
}
