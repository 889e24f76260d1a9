// Text layout and drawing: the current font and alignment, the built-in default font, the
// splitting of UTF-8 text into lines (at "#" and line breaks, and by width), and the measuring
// and drawing of the lines with the current font. Positions are floats; separations and widths
// whole pixels, where a separation below 0 means the font's line height and a width below 0
// means no wrapping.
#pragma once

#include <cstdint>
#include <vector>

class CFontHV;

// The lines of one text: zero-terminated runs of 16-bit characters in one owned buffer.
class TStringList {
public:
    TStringList() = default;
    ~TStringList() { Clear(); }
    TStringList(const TStringList&) = delete;
    TStringList& operator=(const TStringList&) = delete;

    void Clear();
    int32_t Count() const { return static_cast<int32_t>(m_lines.size()); }
    const uint16_t* Line(int32_t i) const { return m_buffer + m_lines[i]; }

private:
    friend void Text_SplitLines(char* text, int32_t width, TStringList* list);
    uint16_t* m_buffer = nullptr;
    std::vector<int32_t> m_lines;  // offsets into the buffer, so the buffer may move
};

// The font index selected for text: -1 is the built-in default font.
int32_t Text_GetFont();
void Text_SetFont(int32_t index);
void Text_SetHAlign(int32_t value);  // 0 left, 1 centre, 2 right; other values left
void Text_SetVAlign(int32_t value);  // 0 top, 1 middle, 2 bottom; other values top
int32_t Text_GetHAlign();
int32_t Text_GetVAlign();
// Makes the built-in default font (built-in image 15 as its texture) when it is missing.
void Text_CreateDefaultFont();
// The font the next operation draws with: the current font, else the built-in one.
CFontHV* Text_DrawingFont();
// End of a game: default font, left and top, draw colour black at full alpha.
void Text_Reset();
// Runner shutdown: as Text_Reset, and the default font and its texture go.
void Text_Shutdown();

// Splits `text` (rewritten in place: pass a scratch copy) with the drawing font's advances.
void Text_SplitLines(char* text, int32_t width, TStringList* list);
int32_t Text_Width(const char* text, int32_t separation, int32_t width);
int32_t Text_Height(const char* text, int32_t separation, int32_t width);

// With the draw colour and alpha.
void Text_Draw(float x, float y, const char* text, int32_t separation, int32_t width);
void Text_DrawTransformed(float x, float y, const char* text, int32_t separation, int32_t width, float xScale,
                          float yScale, float angle);
// c1..c4: top-left, top-right, bottom-right and bottom-left colours of each line.
void Text_DrawColour(float x, float y, const char* text, int32_t separation, int32_t width, uint32_t c1,
                     uint32_t c2, uint32_t c3, uint32_t c4, float alpha);
void Text_DrawTransformedColour(float x, float y, const char* text, int32_t separation, int32_t width,
                                float xScale, float yScale, float angle, uint32_t c1, uint32_t c2,
                                uint32_t c3, uint32_t c4, float alpha);
