#pragma once

#include <cstddef>
#include <cstdint>

namespace plugkit::graphics {

// A TrueType face (font 0 of the file) parsed by stb_truetype after the tables it reads have been
// checked against the buffer, so that corrupt bytes are refused at load instead of read out of
// bounds later. The bytes are not copied and must outlive the face. Immutable after init.
class TrueTypeFace {
public:
    TrueTypeFace() = default;
    ~TrueTypeFace();
    TrueTypeFace(const TrueTypeFace&) = delete;
    TrueTypeFace& operator=(const TrueTypeFace&) = delete;

    // [any thread] Checks and parses the bytes; false when they are not a usable TrueType font.
    bool init(const unsigned char* data, std::size_t size);

    // hhea ascent, descent and line gap in font units.
    int ascent() const { return ascent_; }
    int descent() const { return descent_; }
    int lineGap() const { return lineGap_; }

    // [any thread] Glyph of a code point; 0 (the missing glyph) when the font lacks it.
    int glyphIndex(uint32_t codePoint) const;
    // [any thread] Box in font units (y up); false for a glyph without outline.
    bool glyphBox(int glyph, int& x0, int& y0, int& x1, int& y1) const;
    // [any thread] Advance width in font units (the last long metric beyond the table).
    int advance(int glyph) const;
    // [any thread] Kerning adjustment between two code points from the kern table, font units.
    int kernAdvance(uint32_t first, uint32_t second) const;
    // [any thread] Rasterises a glyph's coverage into out (w x h, rows of stride bytes).
    void renderGlyph(unsigned char* out, int w, int h, int stride, float scale, float xShift, float yShift,
                     int glyph) const;

private:
    void* info_ = nullptr;  // stbtt_fontinfo
    int numGlyphs_ = 0;
    int ascent_ = 0, descent_ = 0, lineGap_ = 0;
};

}  // namespace plugkit::graphics
