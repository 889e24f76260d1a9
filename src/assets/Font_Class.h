// A font: a table of glyph records sorted by character, drawn from one of three sources: a
// rectangle of a texture-page entry (fonts of the data file and the built-in debug font), a
// frame of a sprite (sprite fonts), or a cell of the font's own glyph-cache texture (TrueType
// fonts added at run time, rendered by FreeType on first use). Text here is one line of 16-bit
// characters; splitting text into lines is the text layout's.
#pragma once

#include <cstdint>

#include "core/MemoryManager.h"

class ChunkView;
struct TexturePageEntry;
struct TextureRecord;
typedef struct FT_FaceRec_* FT_Face;

// 16 bytes, used in place inside the data file for its fonts (so packed: records may lie at any
// address). For sprite fonts `width` is the sprite frame index. x = y = -1: a TrueType glyph
// with no cell yet.
struct __attribute__((packed)) FontGlyph {
    uint16_t character;
    int16_t x, y;
    int16_t width, height;
    int16_t advance;
    int16_t offset;        // added to the pen position where the glyph is drawn
    int16_t kerningCount;  // pairs that follow the record; nothing reads them
};
static_assert(sizeof(FontGlyph) == 16, "glyph records are 16 bytes");

// What fonts need of the sprite table (filled by the sprite module when it starts; until then
// no sprite exists). Frames are drawn with colours 0xBBGGRR, alpha 0..1, angles in degrees.
struct FontSpriteOps {
    bool (*exists)(int32_t sprite);
    int32_t (*frameCount)(int32_t sprite);
    int32_t (*width)(int32_t sprite);
    int32_t (*height)(int32_t sprite);
    // The frame's horizontal extent: the page entry's target x and x + target width when the
    // sprite has page entries, else the frame's bounding box left and right.
    void (*frameExtent)(int32_t sprite, int32_t frame, int32_t* left, int32_t* right);
    void (*drawExt)(int32_t sprite, int32_t frame, float x, float y, float xScale, float yScale, float angle,
                    uint32_t colour, float alpha);
    void (*drawGeneral)(int32_t sprite, int32_t frame, float left, float top, float width, float height,
                        float x, float y, float xScale, float yScale, float angle, uint32_t colour1,
                        uint32_t colour2, uint32_t colour3, uint32_t colour4, float alpha);
};
extern FontSpriteOps g_FontSpriteOps;
// Puts the defaults back (no sprite exists).
void Font_ResetSpriteOps();

// One padded cell of a glyph-cache texture, in a list from the most recently rendered (head)
// to the one rendered longest ago (tail).
struct GlyphCell {
    GlyphCell* next;  // towards the tail
    GlyphCell* previous;
    FontGlyph* glyph;  // null while free
    int32_t x, y;      // top-left pixel in the texture
    uint32_t frame;    // the frame of the last lookup that touched it
};

class GlyphCache {
public:
    GlyphCache() = default;
    ~GlyphCache() { FreeCells(); }
    GlyphCache(const GlyphCache&) = delete;
    GlyphCache& operator=(const GlyphCache&) = delete;

    // Creates the texture (cleared to transparent white) and cuts it into cells of the face's
    // greatest advance by its line height.
    void Init(int32_t width, int32_t height, FT_Face face);
    // Hands the glyph the cell rendered longest ago and renders it there.
    GlyphCell* RenderGlyph(FontGlyph* glyph, uint32_t frame);
    void FreeCells();
    // The texture is going away: cells keep their places, but nothing more is written.
    void ForgetTexture();

    int32_t TextureId() const { return m_textureId; }
    int32_t CellCount() const { return m_cellCount; }
    int32_t CellWidth() const { return m_cellWidth; }
    int32_t CellHeight() const { return m_cellHeight; }
    const GlyphCell* Head() const { return m_head; }

private:
    void ClearCell(const GlyphCell& cell);
    void CopyBitmap(const GlyphCell& cell);

    GlyphCell* m_head = nullptr;
    GlyphCell* m_tail = nullptr;
    TextureRecord* m_record = nullptr;
    int32_t m_textureId = -1;
    int32_t m_cellCount = 0;
    FT_Face m_face = nullptr;
    int32_t m_cellWidth = 0, m_cellHeight = 0;
    int32_t m_textureWidth = 0, m_textureHeight = 0;
    int32_t m_spacingX = 2, m_spacingY = 2;
};

class CFontHV : public MemoryManaged {
public:
    CFontHV();
    // The built-in form: one (x, y, width, height) row per character from `first` to `last` on
    // the page entry; texel margin 0.5.
    CFontHV(const uint8_t (*rectangles)[4], int32_t first, int32_t last, TexturePageEntry* page);
    // The TrueType form: file read from the save area or the bundle.
    CFontHV(const char* file, int32_t size, bool bold, bool italic, int32_t first, int32_t last);
    // The sprite form: frame i shows the i-th character of the UTF-8 text.
    CFontHV(int32_t sprite, const char* characters, bool proportional, int32_t separation);
    virtual ~CFontHV();
    CFontHV(const CFontHV&) = delete;
    CFontHV& operator=(const CFontHV&) = delete;

    // A FONT entry at file offset `entry`; its glyph records and page entry stay in the file.
    // False (the font left empty) when the entry does not lie inside the file.
    bool LoadFromChunk(ChunkView& chunk, uint32_t entry);

    // The glyph of c, else that of U+25AF, else null. TrueType glyphs get a cell on first use.
    FontGlyph* GetGlyph(uint32_t c);
    int32_t GetGlyphAdvance(uint32_t c);
    int32_t TextWidth(const uint16_t* text);
    int32_t TextHeight() const { return m_lineHeight; }

    const char* GetFontName() const { return m_displayName ? m_displayName : ""; }
    int32_t GetSize() const { return m_size; }
    bool GetBold() const { return m_bold; }
    bool GetItalic() const { return m_italic; }
    int32_t GetFirst() const { return m_first; }
    int32_t GetLast() const { return m_last; }
    int32_t GetCharset() const { return static_cast<int32_t>(m_charset); }
    int32_t GetAntialias() const { return static_cast<int32_t>(m_antialias); }
    float GetXScale() const { return m_xScale; }
    float GetYScale() const { return m_yScale; }
    int32_t GetSpriteIndex() const { return m_spriteIndex; }
    TexturePageEntry* GetPageEntry() const { return m_page; }
    int32_t GetOwnTexture() const { return m_textureId; }
    int32_t GlyphCount() const { return m_glyphCount; }
    const FontGlyph* GlyphAt(int32_t i) const { return m_glyphs[i]; }
    GlyphCache* Cache() { return m_cells ? &m_cache : nullptr; }

    void CreateTexture();
    void FreeTexture();
    void Clear();

    void DrawText(float x, float y, const uint16_t* text, uint32_t colour, float alpha);
    void DrawTextTransformed(float x, float y, const uint16_t* text, float xScale, float yScale, float angle,
                             uint32_t colour, float alpha);
    void DrawTextColour(float x, float y, const uint16_t* text, uint32_t c1, uint32_t c2, uint32_t c3,
                        uint32_t c4, float alpha);
    void DrawTextTransformedColour(float x, float y, const uint16_t* text, float xScale, float yScale,
                                   float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                                   float alpha);

private:
    struct QuadSource;
    bool LoadTrueType();
    bool BuildTrueTypeGlyphs();
    void SetUpCache();
    void FreeGlyphs();
    bool ResolveQuadSource(QuadSource* source);
    void DrawLine(float x, float y, const uint16_t* text, float xScale, float yScale, float angle,
                  uint32_t colour, float alpha);
    void DrawLineColour(float x, float y, const uint16_t* text, float xScale, float yScale, float angle,
                        bool rotate, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4, float alpha);
    void DrawSpriteLine(float x, float y, const uint16_t* text, float xScale, float yScale, float angle,
                        uint32_t colour, float alpha);

    char* m_displayName = nullptr;
    int32_t m_size = 12;
    uint8_t m_bold = 0, m_italic = 0;
    uint32_t m_charset = 0, m_antialias = 0;
    int32_t m_first = 32, m_last = 128;
    int32_t m_spriteIndex = -1;
    int32_t m_bitmapWidth = 0, m_bitmapHeight = 0;
    int32_t m_lineHeight = 0;
    uint8_t* m_alphaBitmap = nullptr;  // never filled by a loader; kept for CreateTexture
    int32_t m_textureId = -1;
    TexturePageEntry* m_page = nullptr;
    int32_t m_glyphCount = 0;
    FontGlyph** m_glyphs = nullptr;
    FontGlyph* m_ownedGlyphs = nullptr;  // TrueType and sprite fonts own their records
    float m_xScale = 1.0f, m_yScale = 1.0f;
    float m_texelMargin = 0.0f;
    uint8_t* m_fileData = nullptr;
    int64_t m_fileSize = 0;
    FT_Face m_face = nullptr;
    GlyphCache m_cache;
    GlyphCell** m_cells = nullptr;  // TrueType only: one per glyph, null until rendered
};

// 16-bit units before the terminating 0 (0 for null).
int32_t UTF16_Length(const uint16_t* text);
// The alpha of pixel i of a FreeType bitmap row of that pixel mode (1 mono, 2 grey, 3 and 4
// 2- and 4-bit grey, 5 and 6 LCD); full coverage is 255 in every depth.
uint8_t Font_BitmapCoverage(int32_t pixelMode, const uint8_t* row, uint32_t i);
// The frame counter glyph cells are stamped with; the frame's end advances it.
uint32_t Font_CurrentFrame();
