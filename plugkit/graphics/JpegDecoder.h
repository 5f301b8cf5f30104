#pragma once

#include <cstddef>

namespace plugkit::graphics {

// Pulls up to maxBytes input bytes into buffer and returns how many were delivered; sets *eof when
// the input has no more bytes. user is the pointer given to decompress_jpeg_image_from_stream.
using JpegReadFn = int (*)(unsigned char* buffer, int maxBytes, bool* eof, void* user);

// Images with more pixels than this (or a side above jpegMaxDimension) are refused.
constexpr long long jpegMaxPixels = 1ll << 25;
constexpr int jpegMaxDimension = 16384;

// [any thread] Decodes a baseline or progressive Huffman JPEG (8-bit, grey or YCbCr; luminance
// sampled 1x1, 2x1, 1x2 or 2x2 over 1x1 chroma). requestedComponents is 1, 3, 4 or -1 (the file's
// own count). Returns rows top to bottom from malloc (caller frees), or null on any error.
unsigned char* decompress_jpeg_image_from_memory(const unsigned char* data, std::size_t size, int* width,
                                                 int* height, int* actualComponents, int requestedComponents);

// [any thread] Same as above, reading the input through read.
unsigned char* decompress_jpeg_image_from_stream(JpegReadFn read, void* user, int* width, int* height,
                                                 int* actualComponents, int requestedComponents);

}  // namespace plugkit::graphics
