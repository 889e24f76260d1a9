#include "game/data/GlyphPage.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace gamedata {

namespace {

constexpr uint32_t kDotsPerInch = 96;
// Clear pixels between cells, so a filtered sample never reaches into a neighbour.
constexpr int32_t kGap = 1;

class FaceHandle {
public:
    ~FaceHandle() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

struct RenderedGlyph {
    uint16_t character = 0;
    int32_t width = 0, rows = 0, left = 0, top = 0, advance = 0;
    std::vector<uint8_t> alpha;  // width x rows coverage values, rows from the top
};

// FreeType's 26.6 fixed point to whole pixels, rounded.
int32_t Pixels(FT_Pos value) {
    return static_cast<int32_t>((value + 32) >> 6);
}

bool RenderOne(FT_Face face, uint16_t character, RenderedGlyph* out, std::string* error) {
    if (FT_Load_Char(face, character, FT_LOAD_RENDER) != 0) {
        *error = "no glyph for character " + std::to_string(character);
        return false;
    }
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    out->character = character;
    out->width = static_cast<int32_t>(bitmap.width);
    out->rows = static_cast<int32_t>(bitmap.rows);
    out->left = slot->bitmap_left;
    out->top = slot->bitmap_top;
    out->advance = Pixels(slot->advance.x);
    out->alpha.resize(static_cast<size_t>(out->width) * static_cast<size_t>(out->rows));
    for (int32_t y = 0; y < out->rows; ++y)
        for (int32_t x = 0; x < out->width; ++x)
            out->alpha[static_cast<size_t>(y * out->width + x)] = bitmap.buffer[y * bitmap.pitch + x];
    return true;
}

void Blit(const RenderedGlyph& glyph, int32_t cellX, int32_t cellY, int32_t ascender, int32_t lineHeight,
          formpack::PackImage* image) {
    for (int32_t y = 0; y < glyph.rows; ++y) {
        const int32_t inCell = ascender - glyph.top + y;
        if (inCell < 0 || inCell >= lineHeight) continue;
        for (int32_t x = 0; x < glyph.width; ++x) {
            const size_t at =
                (static_cast<size_t>(cellY + inCell) * image->width + static_cast<size_t>(cellX + x)) * 4;
            image->rgba[at] = image->rgba[at + 1] = image->rgba[at + 2] = 255;
            image->rgba[at + 3] = glyph.alpha[static_cast<size_t>(y * glyph.width + x)];
        }
    }
}

}  // namespace

bool RenderGlyphPage(const std::string& fontFile, uint32_t points, uint16_t first, uint16_t last,
                     uint32_t pageWidth, GlyphPage* page, std::string* error) {
    FaceHandle handle;
    if (FT_Init_FreeType(&handle.library) != 0 ||
        FT_New_Face(handle.library, fontFile.c_str(), 0, &handle.face) != 0 ||
        FT_Set_Char_Size(handle.face, 0, static_cast<FT_F26Dot6>(points) * 64, kDotsPerInch, kDotsPerInch) !=
            0) {
        *error = "cannot open the font " + fontFile;
        return false;
    }
    const int32_t ascender = Pixels(handle.face->size->metrics.ascender);
    const int32_t lineHeight = ascender - Pixels(handle.face->size->metrics.descender);

    std::vector<RenderedGlyph> rendered;
    for (uint32_t c = first; c <= last; ++c)
        if (!RenderOne(handle.face, static_cast<uint16_t>(c), &rendered.emplace_back(), error)) return false;

    // Cells left to right in rows of the line height.
    std::vector<std::pair<int32_t, int32_t>> cells;
    int32_t x = 0, y = 0;
    for (const RenderedGlyph& g : rendered) {
        if (g.width > static_cast<int32_t>(pageWidth)) {
            *error = "a glyph is wider than the page";
            return false;
        }
        if (x + g.width > static_cast<int32_t>(pageWidth)) x = 0, y += lineHeight + kGap;
        cells.emplace_back(x, y);
        x += g.width + kGap;
    }

    page->image = {pageWidth, static_cast<uint32_t>(y + lineHeight), {}};
    page->image.rgba.assign(static_cast<size_t>(page->image.width) * page->image.height * 4, 0);
    page->glyphs.clear();
    for (size_t i = 0; i < rendered.size(); ++i) {
        const RenderedGlyph& g = rendered[i];
        Blit(g, cells[i].first, cells[i].second, ascender, lineHeight, &page->image);
        formpack::FontGlyph glyph;
        glyph.character = g.character;
        glyph.x = static_cast<int16_t>(cells[i].first), glyph.y = static_cast<int16_t>(cells[i].second);
        glyph.width = static_cast<int16_t>(g.width), glyph.height = static_cast<int16_t>(lineHeight);
        glyph.advance = static_cast<int16_t>(g.advance), glyph.offset = static_cast<int16_t>(g.left);
        page->glyphs.push_back(glyph);
    }
    return true;
}

}  // namespace gamedata
