#pragma once

#include <cstddef>
#include <cstdint>
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

    // [editor thread] Parses the bytes; bytes that do not make a usable font are fatal.
    Font(const unsigned char* data, std::size_t size);
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // [any thread] A font over data, or null when the bytes are not a usable TrueType font.
    static Font* tryCreate(const unsigned char* data, std::size_t size);

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

// [any thread] Decodes one UTF-8 code point at text[pos], advancing pos; malformed, overlong or
// surrogate sequences consume one byte and give U+FFFD.
uint32_t decodeUtf8(std::string_view text, std::size_t& pos);

}  // namespace plugkit::graphics
