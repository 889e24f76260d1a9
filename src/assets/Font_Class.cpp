#include "assets/Font_Class.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "assets/Graphics_Colour.h"
#include "core/MemoryManager.h"
#include "core/UTF8.h"
#include "core/Value.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/TexturesM.h"
#include "base/GameFile.h"

namespace {

constexpr uint32_t kMissingGlyph = 0x25AF;  // drawn for characters a font lacks
constexpr uint16_t kSpace = 32;

bool NoSprite(int32_t) {
    return false;
}
int32_t NoSpriteValue(int32_t) {
    return 0;
}
void NoExtent(int32_t, int32_t, int32_t* left, int32_t* right) {
    *left = *right = 0;
}
void NoDrawExt(int32_t, int32_t, float, float, float, float, float, uint32_t, float) {}
void NoDrawGeneral(int32_t, int32_t, float, float, float, float, float, float, float, float, float, uint32_t,
                   uint32_t, uint32_t, uint32_t, float) {}

const FontSpriteOps kNoSprites = {NoSprite, NoSpriteValue, NoSpriteValue, NoSpriteValue,
                                  NoExtent, NoDrawExt,     NoDrawGeneral};

struct Vertex24 {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

// alpha 0..1 to a byte, truncated, out-of-range values clamped.
uint32_t AlphaByte(float alpha) {
    const float scaled = alpha * 255.0f;
    if (!(scaled >= 0.0f)) return 0;
    if (scaled > 255.0f) return 255;
    return static_cast<uint32_t>(scaled);
}

uint32_t DeviceColour(uint32_t colour, float alpha) {
    return AlphaByte(alpha) << 24 | (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
}

bool GlyphLess(const FontGlyph* a, const FontGlyph* b) {
    return a->character < b->character;
}

}  // namespace

FontSpriteOps g_FontSpriteOps = kNoSprites;

void Font_ResetSpriteOps() {
    g_FontSpriteOps = kNoSprites;
}

uint32_t Font_CurrentFrame() {
    return static_cast<uint32_t>(g_BatchFrameCounter);
}

int32_t UTF16_Length(const uint16_t* text) {
    if (!text) return 0;
    int32_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

// ---- construction -------------------------------------------------------------------------

CFontHV::CFontHV() {
    Clear();
}

CFontHV::CFontHV(const uint8_t (*rectangles)[4], int32_t first, int32_t last, TexturePageEntry* page) {
    Clear();
    m_displayName = String_Duplicate("debug");
    m_size = 10;
    m_first = first;
    m_last = last;
    m_page = page;
    m_texelMargin = 0.5f;
    m_glyphCount = std::max(0, last - first + 1);
    if (m_glyphCount == 0) return;
    m_ownedGlyphs = static_cast<FontGlyph*>(MEM_ALLOC(sizeof(FontGlyph) * m_glyphCount));
    m_glyphs = static_cast<FontGlyph**>(MEM_ALLOC(sizeof(FontGlyph*) * m_glyphCount));
    for (int32_t i = 0; i < m_glyphCount; ++i) {
        const uint8_t* r = rectangles[i];
        m_ownedGlyphs[i] = {static_cast<uint16_t>(first + i), r[0], r[1], r[2], r[3], r[2], 0, 0};
        m_glyphs[i] = &m_ownedGlyphs[i];
        m_lineHeight = std::max<int32_t>(m_lineHeight, r[3]);
    }
    if (page) {
        m_bitmapWidth = page->sourceWidth;
        m_bitmapHeight = page->sourceHeight;
    }
}

CFontHV::CFontHV(int32_t sprite, const char* characters, bool proportional, int32_t separation) {
    Clear();
    if (!g_FontSpriteOps.exists(sprite)) return;
    m_spriteIndex = sprite;
    const int32_t frames = std::max(0, g_FontSpriteOps.frameCount(sprite));
    const int32_t spriteWidth = g_FontSpriteOps.width(sprite);
    const int32_t spriteHeight = g_FontSpriteOps.height(sprite);

    // At most one character per frame, plus a space when the text has none.
    const int32_t given = characters ? UTF8_Length(characters) : 0;
    int32_t count = std::min(given, frames);
    auto* chars = static_cast<uint16_t*>(MEM_ALLOC(sizeof(uint16_t) * (count + 1)));
    bool hasSpace = false;
    const char* cursor = characters;
    for (int32_t j = 0; j < count; ++j) {
        chars[j] = UTF8_GetChar(cursor);
        hasSpace = hasSpace || chars[j] == kSpace;
    }
    const bool addedSpace = !hasSpace;
    if (addedSpace) chars[count++] = kSpace;

    m_glyphCount = count;
    m_ownedGlyphs = static_cast<FontGlyph*>(MEM_ALLOC(sizeof(FontGlyph) * count));
    m_glyphs = static_cast<FontGlyph**>(MEM_ALLOC(sizeof(FontGlyph*) * count));
    int32_t widest = -999;
    for (int32_t j = 0; j < count; ++j) {
        int32_t left = 0, right = spriteWidth;
        if (j < frames && proportional) g_FontSpriteOps.frameExtent(sprite, j, &left, &right);
        const int32_t advance = separation + right - left;
        m_ownedGlyphs[j] = {chars[j],
                            0,
                            0,
                            static_cast<int16_t>(j),
                            static_cast<int16_t>(spriteHeight),
                            static_cast<int16_t>(advance),
                            static_cast<int16_t>(-left),
                            0};
        m_glyphs[j] = &m_ownedGlyphs[j];
        if (chars[j] != kSpace) widest = std::max(widest, advance);
    }
    if (addedSpace) m_ownedGlyphs[count - 1].advance = static_cast<int16_t>(widest);
    m_lineHeight = spriteHeight;
    MEM_FREE(chars);
    std::stable_sort(m_glyphs, m_glyphs + count, GlyphLess);
    m_first = m_glyphs[0]->character;
    m_last = m_first + count;
}

CFontHV::~CFontHV() {
    Clear();
    m_cache.FreeCells();
}

bool CFontHV::LoadFromChunk(ChunkView& chunk, uint32_t entry) {
    Clear();
    constexpr uint32_t kEntryBytes = 44;
    if (!chunk.FileBytes(entry, kEntryBytes)) return false;
    const uint32_t pageOffset = chunk.FileU32(entry + 28);
    if (pageOffset != 0) {
        m_page = reinterpret_cast<TexturePageEntry*>(chunk.FileBytes(pageOffset, sizeof(TexturePageEntry)));
        if (!m_page) return false;
    }
    m_size = chunk.FileI32(entry + 8);
    m_bold = chunk.FileU32(entry + 12) != 0;
    m_italic = chunk.FileU32(entry + 16) != 0;
    const uint32_t word20 = chunk.FileU32(entry + 20);
    if ((word20 >> 16 & 0xFF) != 0) m_charset = word20 >> 16 & 0xFF;
    if ((word20 >> 24) != 0) m_antialias = (word20 >> 24) - 1;
    m_first = static_cast<int32_t>(word20 & 0xFFFF);
    m_last = chunk.FileI32(entry + 24);
    m_bitmapWidth = m_page ? m_page->sourceWidth : 0;
    m_bitmapHeight = m_page ? m_page->sourceHeight : 0;
    m_xScale = chunk.FileF32(entry + 32);
    m_yScale = chunk.FileF32(entry + 36);

    const uint32_t count = chunk.FileCount(entry + 40, 4);
    if (!chunk.Ok()) return false;
    m_lineHeight = 0;
    if (count) m_glyphs = static_cast<FontGlyph**>(MEM_ALLOC(sizeof(FontGlyph*) * count));
    for (uint32_t i = 0; i < count; ++i) {
        auto* glyph = reinterpret_cast<FontGlyph*>(chunk.FileBytes(chunk.FileU32(entry + 44 + 4 * i), 16));
        if (!glyph) return false;
        m_glyphs[i] = glyph;
        m_glyphCount = static_cast<int32_t>(i + 1);
        m_lineHeight = std::max<int32_t>(m_lineHeight, glyph->height);
    }
    const char* typeface = chunk.String(chunk.FileU32(entry + 4));
    m_displayName = typeface ? String_Duplicate(typeface) : nullptr;
    return chunk.Ok();
}

void CFontHV::Clear() {
    MEM_FREE(m_displayName);
    m_displayName = nullptr;
    MEM_FREE(m_fileData);
    m_fileData = nullptr;
    m_fileSize = 0;
    FreeTexture();
    // The cells point at glyph records that go with the font.
    m_cache.FreeCells();
    MEM_FREE(m_cells);
    m_cells = nullptr;
    if (m_face) FT_Done_Face(m_face);
    m_face = nullptr;
    FreeGlyphs();
    m_xScale = m_yScale = 1.0f;
    m_texelMargin = 0.0f;
    m_size = 12;
    m_bold = m_italic = 0;
    m_first = 32;
    m_last = 128;
    m_spriteIndex = -1;
    m_page = nullptr;
    MEM_FREE(m_alphaBitmap);
    m_alphaBitmap = nullptr;
    m_lineHeight = 0;
}

void CFontHV::FreeGlyphs() {
    MEM_FREE(m_glyphs);
    m_glyphs = nullptr;
    MEM_FREE(m_ownedGlyphs);
    m_ownedGlyphs = nullptr;
    m_glyphCount = 0;
}

void CFontHV::CreateTexture() {
    // A TrueType font's own texture is its glyph cache: its cells stay valid.
    if (m_cells) return;
    FreeTexture();
    const bool named = m_displayName && m_displayName[0] != 0;
    if (m_spriteIndex < 0 && named && m_alphaBitmap)
        m_textureId = GR_Texture_Create_From_Alpha(m_bitmapWidth, m_bitmapHeight, m_alphaBitmap);
}

void CFontHV::FreeTexture() {
    if (m_cells) m_cache.ForgetTexture();
    if (m_textureId >= 0) GR_Texture_Free(m_textureId);
    m_textureId = -1;
}

// ---- glyphs -------------------------------------------------------------------------------

FontGlyph* CFontHV::GetGlyph(uint32_t c) {
    int32_t lo = 0, hi = m_glyphCount - 1, found = -1;
    while (lo <= hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        const uint32_t at = m_glyphs[mid]->character;
        if (at == c) {
            found = mid;
            break;
        }
        if (c < at)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    if (found < 0) return c == kMissingGlyph ? nullptr : GetGlyph(kMissingGlyph);
    FontGlyph* glyph = m_glyphs[found];
    if (m_cells) {
        const uint32_t frame = Font_CurrentFrame();
        if (glyph->x == -1 && glyph->y == -1) m_cells[found] = m_cache.RenderGlyph(glyph, frame);
        if (m_cells[found] && m_cells[found]->glyph == glyph) m_cells[found]->frame = frame;
    }
    return glyph;
}

int32_t CFontHV::GetGlyphAdvance(uint32_t c) {
    const FontGlyph* glyph = GetGlyph(c);
    return glyph ? glyph->advance : 0;
}

int32_t CFontHV::TextWidth(const uint16_t* text) {
    if (!text) return 0;
    int32_t width = 0;
    for (; *text != 0; ++text) width += GetGlyphAdvance(*text);
    return width;
}

// ---- drawing ------------------------------------------------------------------------------

struct CFontHV::QuadSource {
    TextureRecord* record;
    float invWidth, invHeight;
    float originU, originV;  // the page entry's place on its page (0 for an own texture)
};

bool CFontHV::ResolveQuadSource(QuadSource* source) {
    if (!g_D3D.device) return false;
    const TextureEntry* entry =
        m_page ? GR_Texture_Get_Entry(m_page->texture) : GR_Texture_Get_Entry(m_textureId);
    if (!entry || !entry->record) return false;
    *source = {entry->record, entry->invWidth, entry->invHeight, m_page ? float(m_page->sourceX) : 0.0f,
               m_page ? float(m_page->sourceY) : 0.0f};
    return true;
}

void CFontHV::DrawSpriteLine(float x, float y, const uint16_t* text, float xScale, float yScale, float angle,
                             uint32_t colour, float alpha) {
    if (!g_FontSpriteOps.exists(m_spriteIndex)) return;
    const float r = angle * 0.017453292f;
    const float c = std::cos(r), s = std::sin(r);
    for (; *text != 0; ++text) {
        const FontGlyph* g = GetGlyph(*text);
        if (!g) continue;
        if (g->character != kSpace) {
            g_FontSpriteOps.drawExt(m_spriteIndex, g->width, x + c * xScale * g->offset,
                                    y - s * xScale * g->offset, xScale, yScale, angle, colour, alpha);
        }
        x += c * xScale * g->advance;
        y -= s * xScale * g->advance;
    }
}

void CFontHV::DrawLine(float x, float y, const uint16_t* text, float xScale, float yScale, float angle,
                       uint32_t colour, float alpha) {
    if (UTF16_Length(text) == 0) return;
    if (m_spriteIndex >= 0) return DrawSpriteLine(x, y, text, xScale, yScale, angle, colour, alpha);
    QuadSource src;
    if (!ResolveQuadSource(&src)) return;

    uint32_t corner[4];
    const uint32_t argb = DeviceColour(colour, alpha);
    if (GR_Texture_Get_Corner_Id()) {
        const uint32_t plain = argb & ~0x10001u;
        corner[0] = plain, corner[1] = plain | 1, corner[2] = plain | 0x10000, corner[3] = plain | 0x10001;
    } else {
        corner[0] = corner[1] = corner[2] = corner[3] = argb;
    }
    const bool rotated = std::fabs(angle) >= 0.001f;
    const float r = angle * 0.017453292f;
    const float c = rotated ? std::cos(r) : 1.0f, s = rotated ? std::sin(r) : 0.0f;
    const float m = m_texelMargin;
    for (; *text != 0; ++text) {
        const FontGlyph* g = GetGlyph(*text);
        if (!g) continue;
        // A TrueType glyph that found no cell (a cache with no cells) only moves the pen.
        if (!(m_cells && g->x == -1 && g->y == -1)) {
            auto* v =
                static_cast<Vertex24*>(GR_Batch_Alloc(D3DPT_TRIANGLELIST, src.record, GR_FORMAT_XYZCUV, 6));
            if (!v) return;
            const float ox = x + c * xScale * g->offset, oy = y - s * xScale * g->offset;
            const float rx = c * xScale * g->width, ry = -s * xScale * g->width;
            const float dx = s * yScale * g->height, dy = c * yScale * g->height;
            const float px[4] = {ox - m, ox + rx - m, ox + rx + dx + m, ox + dx + m};
            const float py[4] = {oy - m, oy + ry - m, oy + ry + dy + m, oy + dy + m};
            const float gm = m_page ? m : 0.0f;
            const float u0 = (src.originU + g->x - gm) * src.invWidth;
            const float u1 = (src.originU + g->x + g->width + gm) * src.invWidth;
            const float v0 = (src.originV + g->y - gm) * src.invHeight;
            const float v1 = (src.originV + g->y + g->height + gm) * src.invHeight;
            const float us[4] = {u0, u1, u1, u0}, vs[4] = {v0, v0, v1, v1};
            static constexpr int kOrder[6] = {0, 1, 2, 2, 3, 0};
            for (int k = 0; k < 6; ++k) {
                const int i = kOrder[k];
                v[k] = {px[i], py[i], g_DrawDepth, corner[i], us[i], vs[i]};
            }
        }
        x += c * xScale * g->advance;
        y -= s * xScale * g->advance;
    }
}

void CFontHV::DrawLineColour(float x, float y, const uint16_t* text, float xScale, float yScale, float angle,
                             bool rotate, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4, float alpha) {
    if (UTF16_Length(text) == 0) return;
    const bool sprite = m_spriteIndex >= 0;
    if (sprite && !g_FontSpriteOps.exists(m_spriteIndex)) return;
    if (!sprite && !m_page && m_textureId < 0) return;
    const float total = static_cast<float>(TextWidth(text));
    // A line whose advances sum to 0 takes the left-hand colours throughout.
    auto fraction = [total](float t) { return total != 0.0f ? t / total : 0.0f; };
    const float r = rotate ? angle * 0.017453292f : 0.0f;
    const float c = std::cos(r), s = std::sin(r);
    const int32_t spriteWidth = sprite ? g_FontSpriteOps.width(m_spriteIndex) : 0;
    const int32_t spriteHeight = sprite ? g_FontSpriteOps.height(m_spriteIndex) : 0;
    float t = 0.0f;
    for (; *text != 0; ++text) {
        const FontGlyph* g = GetGlyph(*text);
        if (!g) continue;
        const float from = fraction(t), to = fraction(t + g->advance);
        const uint32_t tl = Colour_Merge(c1, c2, from), tr = Colour_Merge(c1, c2, to);
        const uint32_t br = Colour_Merge(c4, c3, to), bl = Colour_Merge(c4, c3, from);
        const float px = x + c * xScale * g->offset, py = y - s * xScale * g->offset;
        if (sprite) {
            // The space of a sprite font has no frame of its own to show.
            if (g->character != kSpace)
                g_FontSpriteOps.drawGeneral(m_spriteIndex, g->width, 0, 0, float(spriteWidth),
                                            float(spriteHeight), px, py, xScale, yScale,
                                            rotate ? angle : 0.0f, tl, tr, br, bl, alpha);
        } else if (!(m_cells && g->x == -1 && g->y == -1)) {
            if (m_page)
                GR_TPE_Draw_General(m_page, g->x, g->y, g->width, g->height, px, py, xScale, yScale, r, tl,
                                    tr, br, bl, alpha);
            else
                GR_Texture_Draw_General(m_textureId, g->x, g->y, g->width, g->height, px, py, xScale, yScale,
                                        r, tl, tr, br, bl, alpha);
        }
        t += (sprite && g->character == kSpace) ? g->advance * xScale : g->advance;
        x += c * xScale * g->advance;
        y -= s * xScale * g->advance;
    }
}

void CFontHV::DrawText(float x, float y, const uint16_t* text, uint32_t colour, float alpha) {
    DrawLine(x, y, text, m_xScale, m_yScale, 0.0f, colour, alpha);
}

void CFontHV::DrawTextTransformed(float x, float y, const uint16_t* text, float xScale, float yScale,
                                  float angle, uint32_t colour, float alpha) {
    DrawLine(x, y, text, xScale, yScale, std::fabs(angle) < 0.001f ? 0.0f : angle, colour, alpha);
}

void CFontHV::DrawTextColour(float x, float y, const uint16_t* text, uint32_t c1, uint32_t c2, uint32_t c3,
                             uint32_t c4, float alpha) {
    DrawLineColour(x, y, text, m_xScale, m_yScale, 0.0f, false, c1, c2, c3, c4, alpha);
}

void CFontHV::DrawTextTransformedColour(float x, float y, const uint16_t* text, float xScale, float yScale,
                                        float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                                        float alpha) {
    DrawLineColour(x, y, text, xScale, yScale, angle, true, c1, c2, c3, c4, alpha);
}
