#pragma once

#include <cstddef>
#include <cstdint>

#include "plugkit/core/Map.h"
#include "plugkit/graphics/Color.h"
#include "plugkit/graphics/ImageRef.h"

namespace plugkit::graphics {

class TrueTypeFace;

// One rendered variant of a glyph: code point, size and sub-pixel shifts (multiples of 1/8 in 0..1).
struct GlyphKey {
    uint32_t ch = 0;
    float scale = 0;
    float xShift = 0;
    float yShift = 0;

    bool operator<(const GlyphKey& o) const {
        if (ch != o.ch) return ch < o.ch;
        if (scale != o.scale) return scale < o.scale;
        if (xShift != o.xShift) return xShift < o.xShift;
        return yShift < o.yShift;
    }
};

// Glyph coverage masks that are rasterised once and kept until the font is destroyed. Not
// synchronised: callers hold the owning font's lock.
class GlyphCache {
public:
    // Masks larger than this many bytes (or wider or taller than maxMaskSide) are not rendered; a
    // request for one yields an empty mask.
    static constexpr std::size_t maxMaskBytes = 1u << 22;
    static constexpr int maxMaskSide = 4096;

    explicit GlyphCache(const TrueTypeFace& face) : face_(face) {}

    // [font lock held] The coverage mask of key, width x height with pitch width, rendered on the
    // first request. A 0 x 0 view for an empty or oversized box.
    ImageRef<const L8> requestGlyph(const GlyphKey& key, int width, int height);

    std::size_t size() const { return glyphs_.size(); }

private:
    struct Mask {
        unsigned char* bytes = nullptr;
        Mask() = default;
        explicit Mask(unsigned char* b) : bytes(b) {}
        Mask(Mask&& o) noexcept : bytes(o.bytes) { o.bytes = nullptr; }
        Mask& operator=(Mask&& o) noexcept;
        ~Mask();
    };

    const TrueTypeFace& face_;
    core::Map<GlyphKey, Mask> glyphs_;
};

}  // namespace plugkit::graphics
