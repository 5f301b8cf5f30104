#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "plugkit/core/RecursiveMutex.h"
#include "plugkit/graphics/Box.h"
#include "plugkit/graphics/GlyphCache.h"
#include "plugkit/graphics/TrueType.h"

namespace plugkit::graphics {

// A TrueType font over borrowed bytes (they must outlive it), laid out glyph by glyph with kerning
// and eighth-pixel positioning, with a cache of rendered glyphs guarded by lock().
class Font {
public:
    // Called once per character: index, code point, pixel box, scale and sub-pixel shifts.
    using CharacterFn = void (*)(void* user, int index, uint32_t codePoint, const Box& box, float scale,
                                 float xShift, float yShift);

    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // [any thread] A font over data (from the system allocator: destroy with core::destroyFree), or
    // null when the bytes are not a usable TrueType font. The only way to make a Font: a refusal
    // is the caller's to handle.
    static Font* tryCreate(const unsigned char* data, std::size_t size);

    // Font sizes laid out; any other size (zero, negative, NaN, huge) lays out no character.
    static constexpr float kMinSizePx = 1.0f / 64.0f;
    static constexpr float kMaxSizePx = 4096.0f;
    // Pen positions and pixel coordinates are kept within +-kMaxPixel.
    static constexpr float kMaxPixel = 16777216.0f;

    // The borrowed font file bytes.
    const unsigned char* data() const { return data_; }
    std::size_t dataSize() const { return size_; }

    int ascent() const { return ascent_; }
    int descent() const { return descent_; }
    int lineGap() const { return lineGap_; }

    // [any thread] Pixels to font units for a font size in pixels: size / (ascent - descent).
    float scaleFor(float fontSizePx) const { return fontSizePx / static_cast<float>(ascent_ - descent_); }

    // [any thread] Height of "x" above the baseline in pixels (ascent without such a glyph).
    float getHeightOfx(float fontSizePx) const;

    // [any thread, no lock] Lays text (UTF-8, invalid bytes become U+FFFD) out from pen (x, y).
    // Safe for any numbers: a non-finite position or spacing counts as 0, positions and boxes are
    // clamped to +-kMaxPixel, and a size outside kMinSizePx..kMaxSizePx lays out nothing.
    void iterateCharacterPositions(std::string_view text, float fontSizePx, float letterSpacing, float x,
                                   float y, CharacterFn callback, void* user) const;

    // [any thread, no lock] Union of the character boxes at pen (0, 0); (0, 0, 0, 0) for empty text.
    Box measureText(std::string_view text, float fontSizePx, float letterSpacing) const;

    // Held for the whole of a text drawing; the glyph cache is used only under it.
    core::RecursiveMutex& lock() { return lock_; }
    GlyphCache& glyphCache() { return cache_; }
    const TrueTypeFace& face() const { return face_; }

private:
    struct Unchecked {};
    Font(const unsigned char* data, std::size_t size, Unchecked);

    const unsigned char* data_;
    std::size_t size_;
    TrueTypeFace face_;
    int ascent_ = 0, descent_ = 0, lineGap_ = 0;
    GlyphCache cache_;
    core::RecursiveMutex lock_;
};

// Owns a Font from Font::tryCreate and destroys it with core::destroyFree.
struct FontDeleter {
    void operator()(Font* font) const noexcept;
};
using FontPtr = std::unique_ptr<Font, FontDeleter>;

// [any thread] Decodes one UTF-8 code point at text[pos], advancing pos; malformed, overlong or
// surrogate sequences consume one byte and give U+FFFD.
uint32_t decodeUtf8(std::string_view text, std::size_t& pos);

}  // namespace plugkit::graphics
