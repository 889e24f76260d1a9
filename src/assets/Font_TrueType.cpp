// TrueType fonts: the glyph table of a FreeType face and the glyph cache, one texture cut into
// equal padded cells that glyphs are rendered into on first use.
#include <algorithm>
#include <cstring>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "assets/Font_Class.h"
#include "assets/Font_Main.h"
#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/Value.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/TexturesM.h"
#include "io/LoadSave.h"

namespace {

constexpr int32_t kSpacing = 2;
constexpr int32_t kMinimumCells = 20;
constexpr int32_t kFirstSide = 512;
constexpr uint32_t kTransparentWhite = 0x00FFFFFF;  // bytes FF FF FF 00

// 26.6 fixed point to whole pixels, rounding up.
int32_t Pixels(FT_Pos value) {
    return static_cast<int32_t>((value + 63) >> 6);
}

bool WritesPixels(const FT_Bitmap& bitmap) {
    switch (bitmap.pixel_mode) {
        case FT_PIXEL_MODE_MONO:
        case FT_PIXEL_MODE_GRAY:
        case FT_PIXEL_MODE_GRAY2:
        case FT_PIXEL_MODE_GRAY4:
        case FT_PIXEL_MODE_LCD:
        case FT_PIXEL_MODE_LCD_V:
            return true;
        default:
            return false;
    }
}

}  // namespace

uint8_t Font_BitmapCoverage(int32_t pixelMode, const uint8_t* row, uint32_t i) {
    switch (pixelMode) {
        case FT_PIXEL_MODE_MONO:
            return (row[i >> 3] >> (7 - (i & 7)) & 1) ? 255 : 0;
        case FT_PIXEL_MODE_GRAY2:
            return static_cast<uint8_t>((row[i >> 2] >> (6 - 2 * (i & 3)) & 3) * 85);
        case FT_PIXEL_MODE_GRAY4:
            return static_cast<uint8_t>((row[i >> 1] >> (4 - 4 * (i & 1)) & 15) * 17);
        default:
            return row[i];
    }
}

// ---- the cache ----------------------------------------------------------------------------

void GlyphCache::Init(int32_t width, int32_t height, FT_Face face) {
    FreeCells();
    m_textureId = GR_Texture_Create_Empty(width, height, false, false, 0);
    const TextureEntry* entry = GR_Texture_Get_Entry(m_textureId);
    m_record = entry ? entry->record : nullptr;
    m_face = face;
    // The device may give a smaller texture than asked for; cells stay inside what it gave.
    if (m_record) {
        width = std::min(width, GR_Texture_Width(m_record));
        height = std::min(height, GR_Texture_Height(m_record));
    }
    m_textureWidth = width;
    m_textureHeight = height;
    if (m_record && m_record->pixels) {
        const int64_t count = int64_t(GR_Texture_Width(m_record)) * GR_Texture_Height(m_record);
        std::fill_n(reinterpret_cast<uint32_t*>(m_record->pixels), count, kTransparentWhite);
        GR_Texture_Upload_Region(m_record, 0, 0, GR_Texture_Width(m_record), GR_Texture_Height(m_record));
    }
    m_spacingX = m_spacingY = kSpacing;
    m_cellWidth = Pixels(face->size->metrics.max_advance);
    m_cellHeight = Pixels(face->size->metrics.height);
    if (m_cellWidth <= 0 || m_cellHeight <= 0) return;
    m_cellCount = ((width - 4) / (m_cellWidth + kSpacing)) * ((height - 4) / (m_cellHeight + kSpacing));
    int32_t x = kSpacing, y = kSpacing;
    for (int32_t i = 0; i < m_cellCount; ++i) {
        auto* cell = static_cast<GlyphCell*>(MEM_ALLOC(sizeof(GlyphCell)));
        *cell = {nullptr, m_tail, nullptr, x, y, 0};
        if (m_tail)
            m_tail->next = cell;
        else
            m_head = cell;
        m_tail = cell;
        x += m_cellWidth + kSpacing;
        if (x > width - m_cellWidth) {
            x = kSpacing;
            y += m_cellHeight + kSpacing;
        }
    }
}

void GlyphCache::ForgetTexture() {
    m_record = nullptr;
    m_textureId = -1;
}

void GlyphCache::FreeCells() {
    for (GlyphCell* cell = m_head; cell;) {
        GlyphCell* next = cell->next;
        MEM_FREE(cell);
        cell = next;
    }
    m_head = m_tail = nullptr;
    m_cellCount = 0;
}

GlyphCell* GlyphCache::RenderGlyph(FontGlyph* glyph, uint32_t frame) {
    GlyphCell* cell = m_tail;
    if (!cell) return nullptr;
    if (cell != m_head) {
        m_tail = cell->previous;
        m_tail->next = nullptr;
        cell->previous = nullptr;
        cell->next = m_head;
        m_head->previous = cell;
        m_head = cell;
    }
    if (cell->glyph) {
        // Quads batched this frame may still read the old glyph's pixels.
        if (cell->frame == frame) GraphicsFlush();
        cell->glyph->x = cell->glyph->y = -1;
    }
    cell->glyph = glyph;
    glyph->x = static_cast<int16_t>(cell->x);
    glyph->y = static_cast<int16_t>(cell->y);
    ClearCell(*cell);
    if (FT_Load_Glyph(m_face, FT_Get_Char_Index(m_face, glyph->character), FT_LOAD_DEFAULT) == 0 &&
        FT_Render_Glyph(m_face->glyph, FT_RENDER_MODE_NORMAL) == 0) {
        CopyBitmap(*cell);
    }
    if (m_record) GR_Texture_Upload_Region(m_record, cell->x, cell->y, m_cellWidth, m_cellHeight);
    return cell;
}

void GlyphCache::ClearCell(const GlyphCell& cell) {
    if (!m_record || !m_record->pixels) return;
    const int32_t pitch = GR_Texture_Width(m_record);
    auto* pixels = reinterpret_cast<uint32_t*>(m_record->pixels);
    for (int32_t row = 0; row < m_cellHeight; ++row)
        std::fill_n(pixels + int64_t(cell.y + row) * pitch + cell.x, m_cellWidth, kTransparentWhite);
}

// Rows start at the face's ascender less the glyph's bearing; whatever lies outside the cell is
// cut off, so a glyph never spills into a neighbour or past the texture.
void GlyphCache::CopyBitmap(const GlyphCell& cell) {
    if (!m_record || !m_record->pixels) return;
    const FT_GlyphSlot slot = m_face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (!WritesPixels(bitmap) || !bitmap.buffer) return;
    const int32_t pitch = GR_Texture_Width(m_record);
    auto* pixels = reinterpret_cast<uint8_t*>(m_record->pixels);
    const int32_t top = Pixels(m_face->size->metrics.ascender - slot->metrics.horiBearingY);
    const int32_t columns = std::min<int32_t>(static_cast<int32_t>(bitmap.width), m_cellWidth);
    const int32_t rowBytes = bitmap.pitch < 0 ? -bitmap.pitch : bitmap.pitch;
    for (int32_t j = 0; j < static_cast<int32_t>(bitmap.rows); ++j) {
        const int32_t cellRow = top + j;
        if (cellRow < 0 || cellRow >= m_cellHeight) continue;
        const int32_t sourceRow = bitmap.pitch < 0 ? static_cast<int32_t>(bitmap.rows) - 1 - j : j;
        const uint8_t* source = bitmap.buffer + int64_t(sourceRow) * rowBytes;
        uint8_t* target = pixels + (int64_t(cell.y + cellRow) * pitch + cell.x) * 4;
        for (int32_t i = 0; i < columns; ++i) {
            target[4 * i + 0] = target[4 * i + 1] = target[4 * i + 2] = 255;
            target[4 * i + 3] = Font_BitmapCoverage(bitmap.pixel_mode, source, static_cast<uint32_t>(i));
        }
    }
}

// ---- TrueType fonts -----------------------------------------------------------------------

CFontHV::CFontHV(const char* file, int32_t size, bool bold, bool italic, int32_t first, int32_t last) {
    Clear();
    m_displayName = String_Duplicate(file ? file : "");
    m_size = size;
    m_bold = bold;
    m_italic = italic;
    m_first = std::max(first, 0);
    m_last = std::min(last, 255);
    m_charset = 0;
    m_antialias = 3;
    LoadTrueType();
    if (m_textureId == -1) CreateTexture();
}

bool CFontHV::LoadTrueType() {
    const char* name = m_displayName;
    if (LoadSave_SaveFileExists(name))
        m_fileData = static_cast<uint8_t*>(LoadSave_ReadSaveFile(name, &m_fileSize));
    else if (LoadSave_BundleFileExists(name))
        m_fileData = static_cast<uint8_t*>(LoadSave_ReadBundleFile(name, &m_fileSize));
    if (!m_fileData) {
        DebugConsole.Output("FreeType :: unable to find font file %s\n", name);
        return false;
    }
    FT_Library library = Font_FreeTypeLibrary();
    FT_Error error = library ? FT_New_Memory_Face(library, m_fileData, m_fileSize, 0, &m_face)
                             : FT_Err_Invalid_Library_Handle;
    if (error) {
        m_face = nullptr;
        DebugConsole.Output("FreeType :: error = %08x(%d) :: Unable to open font file %s\n", error, error,
                            name);
        return false;
    }
    // Without a size or a Unicode map the face measures nothing: the font stays empty.
    if ((error = FT_Set_Char_Size(m_face, 0, FT_F26Dot6(m_size) * 64, 0, 0)) != 0) {
        DebugConsole.Output("FreeType :: error = %08x(%d) :: Unable to set font pixel size\n", error, error);
        return false;
    }
    if ((error = FT_Select_Charmap(m_face, FT_ENCODING_UNICODE)) != 0) {
        DebugConsole.Output("FreeType :: error = %08x(%d) :: Unable to select unicode font character map\n",
                            error, error);
        return false;
    }
    if (!BuildTrueTypeGlyphs()) return false;
    SetUpCache();
    return true;
}

bool CFontHV::BuildTrueTypeGlyphs() {
    // Characters past 16 bits cannot occur in 16-bit text; kept, their low bits would take the
    // place of other characters. The space has its own record, which is never rendered.
    auto wanted = [](FT_ULong c) { return c <= 0xFFFF && c != 32; };
    FT_UInt index = 0;
    int32_t mapped = 0;
    for (FT_ULong c = FT_Get_First_Char(m_face, &index); index != 0; c = FT_Get_Next_Char(m_face, c, &index))
        if (wanted(c)) ++mapped;
    m_glyphCount = 1 + mapped;
    m_ownedGlyphs = static_cast<FontGlyph*>(MEM_ALLOC(sizeof(FontGlyph) * m_glyphCount));
    m_glyphs = static_cast<FontGlyph**>(MEM_ALLOC(sizeof(FontGlyph*) * m_glyphCount));
    const int32_t ascender = static_cast<int32_t>(m_face->size->metrics.ascender);

    FontGlyph& space = m_ownedGlyphs[0];
    space = {32, 0, 0, 0, 0, 0, 0, 0};
    if (FT_Load_Glyph(m_face, FT_Get_Char_Index(m_face, 32), FT_LOAD_DEFAULT) == 0)
        space.advance = static_cast<int16_t>(Pixels(m_face->glyph->metrics.horiAdvance));
    m_glyphs[0] = &space;

    int32_t n = 1;
    for (FT_ULong c = FT_Get_First_Char(m_face, &index); index != 0 && n < m_glyphCount;
         c = FT_Get_Next_Char(m_face, c, &index)) {
        if (!wanted(c)) continue;
        FontGlyph& g = m_ownedGlyphs[n];
        g = {static_cast<uint16_t>(c), -1, -1, 0, 0, 0, 0, 0};
        if (FT_Load_Glyph(m_face, index, FT_LOAD_DEFAULT) == 0) {
            const FT_Glyph_Metrics& metrics = m_face->glyph->metrics;
            g.width = static_cast<int16_t>(Pixels(metrics.width));
            g.height = static_cast<int16_t>(Pixels(metrics.height - metrics.horiBearingY + ascender));
            g.advance = static_cast<int16_t>(Pixels(metrics.horiAdvance));
            g.offset = static_cast<int16_t>(Pixels(metrics.horiBearingX));
        }
        m_glyphs[n++] = &g;
    }
    m_glyphCount = n;
    std::stable_sort(m_glyphs, m_glyphs + m_glyphCount,
                     [](const FontGlyph* a, const FontGlyph* b) { return a->character < b->character; });
    m_lineHeight = Pixels(m_face->size->metrics.height);
    return true;
}

void CFontHV::SetUpCache() {
    const FT_Size_Metrics& metrics = m_face->size->metrics;
    const int64_t area = int64_t(Pixels(metrics.height) + 4) * (Pixels(metrics.max_advance) + 4);
    int64_t side = kFirstSide;
    while (area > 0 && side < GR_TEXTURE_SIDE_LIMIT && side * side / area < kMinimumCells) side *= 2;
    m_cache.Init(static_cast<int32_t>(side), static_cast<int32_t>(side), m_face);

    // A glyph quad never reaches past its cell into the neighbour's pixels.
    for (int32_t i = 0; i < m_glyphCount; ++i) {
        FontGlyph& g = *m_glyphs[i];
        g.width = static_cast<int16_t>(std::clamp<int32_t>(g.width, 0, m_cache.CellWidth()));
        g.height = static_cast<int16_t>(std::clamp<int32_t>(g.height, 0, m_cache.CellHeight()));
    }
    m_cells = static_cast<GlyphCell**>(MEM_ALLOC(sizeof(GlyphCell*) * m_glyphCount));
    m_textureId = m_cache.TextureId();
    m_texelMargin = 0.0f;
}
