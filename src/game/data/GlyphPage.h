// A bitmap font for the data file, rendered from a TrueType file: every glyph in a cell of the
// font's full line height on one page, white with the coverage as alpha, so the drawing colour
// tints it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formpack/FormWriter.h"
#include "formpack/TexturePacker.h"

namespace gamedata {

struct GlyphPage {
    formpack::PackImage image;
    std::vector<formpack::FontGlyph> glyphs;  // ascending characters, rectangles inside `image`
};

// Renders the characters first .. last of `fontFile` at `points` (at 96 dots per inch) onto a
// page `pageWidth` pixels wide. False, with a reason, when the file cannot be rendered.
bool RenderGlyphPage(const std::string& fontFile, uint32_t points, uint16_t first, uint16_t last,
                     uint32_t pageWidth, GlyphPage* page, std::string* error);

}  // namespace gamedata
