#include "plugkit/graphics/GlyphCache.h"

#include <cstdlib>

#include "plugkit/core/Fatal.h"
#include "plugkit/graphics/TrueType.h"

namespace plugkit::graphics {

GlyphCache::Mask& GlyphCache::Mask::operator=(Mask&& o) noexcept {
    if (this != &o) {
        std::free(bytes);
        bytes = o.bytes;
        o.bytes = nullptr;
    }
    return *this;
}

GlyphCache::Mask::~Mask() { std::free(bytes); }

ImageRef<const L8> GlyphCache::requestGlyph(const GlyphKey& key, int width, int height) {
    if (width <= 0 || height <= 0 || width > maxMaskSide || height > maxMaskSide ||
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) > maxMaskBytes)
        return ImageRef<const L8>{};
    if (const Mask* hit = glyphs_.find(key))
        return ImageRef<const L8>{width, height, width, reinterpret_cast<const L8*>(hit->bytes)};
    const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    auto* buffer = static_cast<unsigned char*>(std::calloc(bytes, 1));
    if (!buffer) core::outOfMemory();
    face_.renderGlyph(buffer, width, height, width, key.scale, key.xShift, key.yShift,
                      face_.glyphIndex(key.ch));
    glyphs_.insert(key, Mask(buffer));
    return ImageRef<const L8>{width, height, width, reinterpret_cast<const L8*>(buffer)};
}

}  // namespace plugkit::graphics
