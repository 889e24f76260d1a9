#include "assets/Graphics_Text.h"

#include <cmath>
#include <cstring>

#include "assets/Font_Class.h"
#include "assets/Font_Main.h"
#include "core/MemoryManager.h"
#include "core/UTF8.h"
#include "core/Value.h"
#include "data/Common.h"
#include "graphics/BuiltinImages.h"
#include "graphics/Graphics_Primitive.h"
#include "graphics/Graphics_Texture.h"
#include "graphics/TexturesM.h"
#include "graphics/Graphics_Overlay.h"

namespace {

constexpr int32_t kNoWrap = 10000000;
constexpr uint16_t kCR = 13, kLF = 10, kSpace = 32;

int32_t g_font = -1;
int32_t g_hAlign = 0;
int32_t g_vAlign = 0;
CFontHV* g_defaultFont = nullptr;
int32_t g_defaultTexture = -1;
TexturePageEntry g_defaultPage = {};

// One step without wrapping: every CR and LF ends a line, except the other half of a CR LF or
// LF CR pair, which ends none and stays at the front of the next line.
void StepNoWrap(uint16_t* buffer, int32_t n, int32_t& start, int32_t& i, uint16_t& brk,
                std::vector<int32_t>& lines) {
    const int32_t from = i;
    while (i < n && buffer[i] != kCR && buffer[i] != kLF) ++i;
    if (i != from) brk = buffer[i];
    if ((brk == kLF && buffer[i] == kCR) || (brk == kCR && buffer[i] == kLF)) {
        ++i;
        return;
    }
    brk = buffer[i];
    buffer[i] = 0;
    lines.push_back(start);
    start = i = i + 1;
}

}  // namespace

// ---- the line list ------------------------------------------------------------------------

void TStringList::Clear() {
    MEM_FREE(m_buffer);
    m_buffer = nullptr;
    m_lines.clear();
}

void Text_SplitLines(char* text, int32_t width, TStringList* list) {
    list->Clear();
    if (!text) return;
    if (width < 0) width = kNoWrap;
    int32_t n = String_ConvertHashNewlines(text);
    if (n == 0) return;
    auto* buffer = static_cast<uint16_t*>(MEM_ALLOC(sizeof(uint16_t) * (n + 1)));
    const char* cursor = text;
    for (int32_t k = 0; k < n; ++k) buffer[k] = UTF8_GetChar(cursor);
    buffer[n] = 0;
    std::vector<int32_t>& lines = list->m_lines;
    CFontHV* font = Text_DrawingFont();

    int32_t start = 0, i = 0;
    uint16_t brk = buffer[0];
    while (start < n) {
        if (width == kNoWrap) {
            StepNoWrap(buffer, n, start, i, brk, lines);
            continue;
        }
        while (buffer[i] == kSpace) ++i;
        const int32_t wordStart = i;
        int32_t sum = 0;
        while (i < n && sum < width && buffer[i] != kCR) sum += font->GetGlyphAdvance(buffer[i++]);
        if (sum > width) --i;
        if (buffer[i] == kCR) {
            buffer[i] = 0;
            lines.push_back(start);
            start = i = i + 1;
            continue;
        }
        // Nothing fits at all: cutting before the first character would make no progress.
        if (i == start || (i == wordStart && i < n)) break;
        int32_t cut = i;
        if (i != n && buffer[i] != kSpace) {
            int32_t k = i - 1;
            while (k > start && buffer[k] != kSpace) --k;
            if (k > start) {
                cut = k;
            } else {
                // One word wider than the line: a space goes in before the character that overflows.
                buffer = static_cast<uint16_t*>(MEM_REALLOC(buffer, sizeof(uint16_t) * (n + 2)));
                std::memmove(buffer + i + 1, buffer + i, sizeof(uint16_t) * (n + 1 - i));
                buffer[i] = kSpace;
                ++n;
            }
        }
        i = cut;
        while (i > start && buffer[i - 1] == kSpace) --i;
        if (i == start) {
            start = start + 1;
        } else {
            buffer[i] = 0;
            lines.push_back(start);
            start = i + 1;
        }
        i = start;
    }
    list->m_buffer = buffer;
}

// ---- state --------------------------------------------------------------------------------

int32_t Text_GetFont() {
    return g_font;
}

void Text_SetFont(int32_t index) {
    if (Font_Exists(index)) {
        g_font = index;
        return;
    }
    Text_CreateDefaultFont();
    g_font = -1;
}

void Text_SetHAlign(int32_t value) {
    g_hAlign = value == 1 || value == 2 ? value : 0;
}

void Text_SetVAlign(int32_t value) {
    g_vAlign = value == 1 || value == 2 ? value : 0;
}

int32_t Text_GetHAlign() {
    return g_hAlign;
}

int32_t Text_GetVAlign() {
    return g_vAlign;
}

void Text_CreateDefaultFont() {
    if (g_defaultFont) return;
    g_defaultTexture = GR_Texture_Add_Record(GR_Builtin_Image_Texture(BUILTIN_IMAGE_FONT), BUILTIN_FONT_WIDTH,
                                             BUILTIN_FONT_HEIGHT);
    g_defaultPage = {0,
                     0,
                     BUILTIN_FONT_WIDTH,
                     BUILTIN_FONT_HEIGHT,
                     0,
                     0,
                     BUILTIN_FONT_WIDTH,
                     BUILTIN_FONT_HEIGHT,
                     BUILTIN_FONT_WIDTH,
                     BUILTIN_FONT_HEIGHT,
                     static_cast<int16_t>(g_defaultTexture)};
    static_assert(sizeof(BuiltinGlyph) == 4, "glyph rows are four bytes");
    g_defaultFont = new CFontHV(reinterpret_cast<const uint8_t(*)[4]>(BuiltinFont_Glyphs), BUILTIN_FONT_FIRST,
                                BUILTIN_FONT_LAST, &g_defaultPage);
}

CFontHV* Text_DrawingFont() {
    if (Font_Exists(g_font)) return Font_Get(g_font);
    Text_CreateDefaultFont();
    return g_defaultFont;
}

void Text_Reset() {
    g_font = -1;
    g_hAlign = g_vAlign = 0;
    GR_Draw_Set_Colour(0);
    GR_Draw_Set_Alpha(1.0f);
}

void Text_Shutdown() {
    delete g_defaultFont;
    g_defaultFont = nullptr;
    if (g_defaultTexture >= 0) GR_Texture_Free(g_defaultTexture);
    g_defaultTexture = -1;
    Text_Reset();
}

// ---- measuring and drawing ----------------------------------------------------------------

namespace {

// The drawing font and the lines of a text, split with it; the scratch copy goes at once.
struct Lines {
    CFontHV* font;
    TStringList list;

    Lines(const char* text, int32_t width) : font(Text_DrawingFont()) {
        if (!text) return;
        char* scratch = String_Duplicate(text);
        Text_SplitLines(scratch, width, &list);
        MEM_FREE(scratch);
    }
    int32_t Separation(int32_t separation) const { return separation < 0 ? font->TextHeight() : separation; }
};

template <typename DrawLine>
void DrawPlain(float x, float y, const char* text, int32_t separation, int32_t width, DrawLine draw) {
    Lines lines(text, width);
    const int32_t count = lines.list.Count();
    const int32_t s = lines.Separation(separation);
    if (g_vAlign == 1) y -= static_cast<float>((s * count) / 2);
    if (g_vAlign == 2) y -= static_cast<float>(s * count);
    for (int32_t i = 0; i < count; ++i) {
        const uint16_t* line = lines.list.Line(i);
        if (line[0] != 0) {
            const int32_t w = lines.font->TextWidth(line);
            const int32_t offset = g_hAlign == 1 ? -(w / 2) : g_hAlign == 2 ? -w : 0;
            draw(lines.font, x + static_cast<float>(offset), y, line);
        }
        y += static_cast<float>(s);
    }
}

template <typename DrawLine>
void DrawRotated(float x, float y, const char* text, int32_t separation, int32_t width, float xScale,
                 float yScale, float angle, DrawLine draw) {
    Lines lines(text, width);
    const int32_t count = lines.list.Count();
    const float s = static_cast<float>(lines.Separation(separation));
    const float r = angle * 3.1415927f / 180.0f;
    const float c = std::cos(r), sn = std::sin(r);
    const float dx = sn * yScale * s, dy = c * yScale * s;
    if (g_vAlign == 1) x -= count * dx * 0.5f, y -= count * dy * 0.5f;
    if (g_vAlign == 2) x -= count * dx, y -= count * dy;
    for (int32_t i = 0; i < count; ++i) {
        const uint16_t* line = lines.list.Line(i);
        if (line[0] != 0) {
            const float w = static_cast<float>(lines.font->TextWidth(line));
            const float h = g_hAlign == 1 ? -(w * xScale * 0.5f) : g_hAlign == 2 ? -(w * xScale) : 0.0f;
            draw(lines.font, x + h * c, y - h * sn, line);
        }
        x += dx;
        y += dy;
    }
}

uint32_t DrawColour() {
    return GR_Draw_Get_Colour() & 0xFFFFFF;
}

}  // namespace

int32_t Text_Width(const char* text, int32_t, int32_t width) {
    Lines lines(text, width);
    int32_t widest = 0;
    for (int32_t i = 0; i < lines.list.Count(); ++i) {
        const int32_t w = lines.font->TextWidth(lines.list.Line(i));
        if (i == 0 || w > widest) widest = w;
    }
    return widest;
}

int32_t Text_Height(const char* text, int32_t separation, int32_t width) {
    Lines lines(text, width);
    const int32_t count = lines.list.Count();
    if (count == 0) return 0;
    return lines.font->TextHeight() + lines.Separation(separation) * (count - 1);
}

void Text_Draw(float x, float y, const char* text, int32_t separation, int32_t width) {
    OverlayTimingScope marker(0xFFFF00, "Text");
    const uint32_t colour = DrawColour();
    const float alpha = GR_Draw_Get_Alpha();
    DrawPlain(x, y, text, separation, width, [&](CFontHV* font, float lx, float ly, const uint16_t* line) {
        font->DrawText(lx, ly, line, colour, alpha);
    });
}

void Text_DrawTransformed(float x, float y, const char* text, int32_t separation, int32_t width, float xScale,
                          float yScale, float angle) {
    const uint32_t colour = DrawColour();
    const float alpha = GR_Draw_Get_Alpha();
    DrawRotated(x, y, text, separation, width, xScale, yScale, angle,
                [&](CFontHV* font, float lx, float ly, const uint16_t* line) {
                    font->DrawTextTransformed(lx, ly, line, xScale, yScale, angle, colour, alpha);
                });
}

void Text_DrawColour(float x, float y, const char* text, int32_t separation, int32_t width, uint32_t c1,
                     uint32_t c2, uint32_t c3, uint32_t c4, float alpha) {
    DrawPlain(x, y, text, separation, width, [&](CFontHV* font, float lx, float ly, const uint16_t* line) {
        font->DrawTextColour(lx, ly, line, c1, c2, c3, c4, alpha);
    });
}

void Text_DrawTransformedColour(float x, float y, const char* text, int32_t separation, int32_t width,
                                float xScale, float yScale, float angle, uint32_t c1, uint32_t c2,
                                uint32_t c3, uint32_t c4, float alpha) {
    DrawRotated(x, y, text, separation, width, xScale, yScale, angle,
                [&](CFontHV* font, float lx, float ly, const uint16_t* line) {
                    font->DrawTextTransformedColour(lx, ly, line, xScale, yScale, angle, c1, c2, c3, c4,
                                                    alpha);
                });
}
