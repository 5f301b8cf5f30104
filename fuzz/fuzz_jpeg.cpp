// The JPEG decoder on arbitrary bytes, through the memory and the stream entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "plugkit/graphics/JpegDecoder.h"

namespace {

struct Chunked {
    const uint8_t* data;
    std::size_t left;
    int chunk;
};

int readChunk(unsigned char* buffer, int maxBytes, bool* eof, void* user) {
    auto* s = static_cast<Chunked*>(user);
    std::size_t n = static_cast<std::size_t>(maxBytes < s->chunk ? maxBytes : s->chunk);
    if (n > s->left) n = s->left;
    std::memcpy(buffer, s->data, n);
    s->data += n;
    s->left -= n;
    *eof = s->left == 0;
    return static_cast<int>(n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace plugkit::graphics;
    int w = 0, h = 0, c = 0;
    const int requested = size > 0 && (data[size - 1] & 1) ? 3 : 4;
    unsigned char* pixels = decompress_jpeg_image_from_memory(data, size, &w, &h, &c, requested);
    if (pixels) {
        // Touch the last byte: the buffer must hold every row.
        volatile unsigned char last = pixels[static_cast<std::size_t>(w) * h * requested - 1];
        (void)last;
    }
    std::free(pixels);
    if (size > 2 && size < 4096) {  // odd chunk sizes exercise the input refills
        Chunked src{data, size, 1 + data[size - 2] % 7};
        std::free(decompress_jpeg_image_from_stream(readChunk, &src, &w, &h, &c, -1));
    }
    return 0;
}
