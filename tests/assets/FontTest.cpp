// The "FONT" chunk, the font table, glyph lookup, sprite fonts and drawing one line.
#include "TextTestSupport.h"
#include "assets/Graphics_Colour.h"
#include "graphics/BuiltinImages.h"
#include "base/TextureChunks.h"

using namespace texttest;

namespace {

const uint16_t kAB[] = {'A', 'B', 0};

class FontTest : public TextTest {};

}  // namespace

TEST_F(FontTest, ChunkFillsTheTableWithEmptySlotsKept) {
    formpack::Font fixed = FixedFont("fnt_fixed", 8, 15);
    fixed.bold = true;
    fixed.charset = 1;  // word 20: first 32, character set 1, no antialias level
    fixed.scaleX = 2.0f;
    formpack::Font aa = FixedFont("fnt_aa", 6, 9);
    aa.antialias = 2;
    aa.antialiasGiven = true;
    ASSERT_TRUE(Load(GameWithFonts({fixed, std::nullopt, aa})));

    ASSERT_EQ(Font_Count(), 3);
    EXPECT_TRUE(Font_Exists(0));
    EXPECT_FALSE(Font_Exists(1));
    EXPECT_STREQ(Font_GetName(1), "<undefined>");
    EXPECT_STREQ(Font_GetName(2), "fnt_aa");
    EXPECT_EQ(Font_Find("fnt_aa"), 2);
    EXPECT_EQ(Font_Find("fnt_none"), -1);

    CFontHV* font = Font_Get(0);
    EXPECT_STREQ(font->GetFontName(), "Fixed");
    EXPECT_TRUE(font->GetBold());
    EXPECT_EQ(font->GetFirst(), 32);
    EXPECT_EQ(font->GetLast(), 126);
    EXPECT_EQ(font->GetCharset(), 1);
    EXPECT_EQ(font->GetAntialias(), 0);  // left as it was
    EXPECT_EQ(Font_Get(2)->GetAntialias(), 2);
    EXPECT_EQ(font->TextHeight(), 15);
    EXPECT_EQ(font->GetPageEntry(), reinterpret_cast<TexturePageEntry*>(TPAG_Entry(0)));
    // Widths sum the advances whatever the scale.
    EXPECT_EQ(font->TextWidth(kAB), 16);
}

TEST_F(FontTest, ChunkWithNoFontsStillEndsWithItsCharacterTable) {
    formpack::FormFile file = GameWithFonts({});
    std::array<uint16_t, 256> table{};
    table[200] = 0x0411;
    file.fontCharTable = table;
    ASSERT_TRUE(Load(file));
    EXPECT_EQ(Font_Count(), 0);
    EXPECT_EQ(Font_CharTableEntry(200), 0x0411);
}

TEST_F(FontTest, AChunkTooShortForItsCharacterTableFailsTheLoad) {
    formpack::FormFile file = GameWithFonts({FixedFont("fnt", 8, 15)});
    std::string error;
    std::vector<uint8_t> cut = formpack::Build(file, &error);
    // A count whose offsets fill the chunk leaves no room for the 512-byte table.
    const std::string tag = "FONT";
    const auto at = std::search(cut.begin(), cut.end(), tag.begin(), tag.end()) - cut.begin();
    uint32_t length;
    std::memcpy(&length, &cut[at + 4], 4);
    const uint32_t count = (length - 4) / 4 - 8;
    std::memcpy(&cut[at + 8], &count, 4);
    ASSERT_TRUE(Form_SetData(cut.data(), uint32_t(cut.size())));
    ASSERT_TRUE(Form_FirstPass(Form_Base(), Form_Size()));
    EXPECT_FALSE(LoadGameData(Form_Base(), Form_Size()));
    ASSERT_NE(Form_LoadError(), nullptr);
    EXPECT_NE(std::string(Form_LoadError()).find("FONT"), std::string::npos);
}

TEST_F(FontTest, MissingCharactersFallBackToTheBoxGlyph) {
    ASSERT_TRUE(Load(GameWithFonts({FixedFont("fnt", 8, 15)})));
    CFontHV* font = Font_Get(0);
    ASSERT_NE(font->GetGlyph(0x3042), nullptr);
    EXPECT_EQ(font->GetGlyph(0x3042)->character, 0x25AF);
    EXPECT_EQ(font->GetGlyphAdvance(0x3042), 11);

    formpack::Font plain = FixedFont("fnt", 8, 15);
    plain.glyphs.pop_back();  // no box glyph
    ASSERT_TRUE(Load(GameWithFonts({plain})));
    font = Font_Get(0);
    EXPECT_EQ(font->GetGlyph(0x3042), nullptr);
    const uint16_t mixed[] = {'A', 0x3042, 'B', 0};
    EXPECT_EQ(font->TextWidth(mixed), 16);
    font->DrawText(0, 0, mixed, 0xFFFFFF, 1.0f);
    const auto corners = QuadCorners();
    ASSERT_EQ(corners.size(), 2u);  // skipped without advancing
    EXPECT_EQ(corners[1].first, 8.0f);
}

TEST_F(FontTest, DrawTextPlacesQuadsFromTheEntryAndScalesThePen) {
    formpack::Font f = FixedFont("fnt", 8, 15);
    f.scaleX = 2.0f;
    ASSERT_TRUE(Load(GameWithFonts({f})));
    CFontHV* font = Font_Get(0);
    font->DrawText(10, 20, kAB, 0x0000FF, 0.5f);
    const std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 12u);
    // 'A' is character 33 of the page: column 1, row 2 of the 8 x 16 grid.
    EXPECT_EQ(v[0].x, 10.0f);
    EXPECT_EQ(v[0].y, 20.0f);
    EXPECT_EQ(v[1].x, 26.0f);  // width 8 x scale 2
    EXPECT_EQ(v[2].y, 35.0f);
    EXPECT_FLOAT_EQ(v[0].u, 8.0f / 128.0f);
    EXPECT_FLOAT_EQ(v[0].v, 32.0f / 128.0f);
    EXPECT_FLOAT_EQ(v[2].u, 16.0f / 128.0f);
    EXPECT_EQ(v[0].colour, 0x7FFF0000u);  // red at half alpha, truncated
    EXPECT_EQ(v[6].x, 26.0f);             // the pen moved by twice the advance
}

TEST_F(FontTest, FourColourLineRunsFromTheLeftColoursToTheRightOnes) {
    ASSERT_TRUE(Load(GameWithFonts({FixedFont("fnt", 8, 15)})));
    const uint16_t text[] = {'a', 'b', 'c', 'd', 0};
    Font_Get(0)->DrawTextColour(0, 0, text, 0x000000, 0xFFFFFF, 0xFFFFFF, 0x000000, 1.0f);
    const std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 24u);
    EXPECT_EQ(v[0].colour, 0xFF000000u);  // first glyph: black left edge
    EXPECT_EQ(v[1].colour & 0xFFFFFF, Colour_Merge(0, 0xFFFFFF, 0.25f));
    EXPECT_EQ(v[18 + 1].colour, 0xFFFFFFFFu);  // last glyph: white right edge
    EXPECT_EQ(v[18 + 2].colour, 0xFFFFFFFFu);

    // A line whose advances sum to 0 takes the left colours instead of dividing by zero.
    formpack::Font zero = FixedFont("fnt", 0, 15);
    ASSERT_TRUE(Load(GameWithFonts({zero})));
    s_batches.clear();
    Font_Get(0)->DrawTextColour(0, 0, text, 0x0000FF, 0x00FF00, 0x00FF00, 0x0000FF, 1.0f);
    const std::vector<TestVertex> w = Flushed();
    ASSERT_EQ(w.size(), 24u);
    for (const TestVertex& vertex : w) EXPECT_EQ(vertex.colour, 0xFFFF0000u);
}

TEST_F(FontTest, SpriteFontsTakeOneCharacterPerFrameAndAddASpace) {
    s_sprites[4] = {2, 10, 12, {{1, 7}, {0, 9}}};
    const int32_t id = Font_AddSpriteExt(4, "abc", true, 1);
    EXPECT_STREQ(Font_GetName(id), ("__newfont" + std::to_string(id)).c_str());
    CFontHV* font = Font_Get(id);
    ASSERT_EQ(font->GlyphCount(), 3);
    EXPECT_EQ(font->GetGlyph('c'), nullptr);  // no frame left for it
    ASSERT_NE(font->GetGlyph(' '), nullptr);
    EXPECT_EQ(font->GetGlyph('a')->advance, 7);  // separation 1 + 7 - 1
    EXPECT_EQ(font->GetGlyph('a')->offset, -1);
    EXPECT_EQ(font->GetGlyph('b')->advance, 10);
    EXPECT_EQ(font->GetGlyph(' ')->advance, 10);  // the widest of the others
    EXPECT_EQ(font->TextHeight(), 12);
    EXPECT_EQ(font->GetFirst(), ' ');

    const uint16_t text[] = {'a', ' ', 'b', 0};
    font->DrawTextTransformed(5, 6, text, 2.0f, 3.0f, 0.0f, 0x00FF00, 1.0f);
    ASSERT_EQ(s_spriteDraws.size(), 2u);  // the space only moves the pen
    EXPECT_EQ(s_spriteDraws[0].frame, 0);
    EXPECT_EQ(s_spriteDraws[0].x, 5.0f - 2.0f);
    EXPECT_EQ(s_spriteDraws[1].frame, 1);
    EXPECT_EQ(s_spriteDraws[1].x, 5.0f + 2.0f * (7 + 10));
    EXPECT_EQ(s_spriteDraws[1].yScale, 3.0f);

    // A font whose sprite has gone draws nothing.
    s_sprites.erase(4);
    s_spriteDraws.clear();
    font->DrawText(0, 0, text, 0, 1.0f);
    EXPECT_TRUE(s_spriteDraws.empty());
}

TEST_F(FontTest, SpriteFontsFromTheCharacterTableStopAtItsEnd) {
    formpack::FormFile file = GameWithFonts({});
    std::array<uint16_t, 256> table{};
    for (int c = 0; c < 256; ++c) table[c] = uint16_t(c + 0x400);
    file.fontCharTable = table;
    ASSERT_TRUE(Load(file));
    s_sprites[1] = {10, 8, 8, {}};
    CFontHV* font = Font_Get(Font_AddSprite(1, 250, false, 0));
    ASSERT_EQ(font->GlyphCount(), 7);  // rows 250..255, then the added space
    EXPECT_NE(font->GetGlyph(250 + 0x400), nullptr);
    EXPECT_NE(font->GetGlyph(255 + 0x400), nullptr);

    // Replacing takes the characters themselves; without a chunk the table is the identity.
    ASSERT_TRUE(Font_ReplaceSprite(0, 1, 200, false, 0));
    EXPECT_NE(Font_Get(0)->GetGlyph(209), nullptr);
    EXPECT_FALSE(Font_ReplaceSprite(5, 1, 200, false, 0));
    Font_Init();
    font = Font_Get(Font_AddSprite(1, 65, false, 0));
    EXPECT_NE(font->GetGlyph('A'), nullptr);
    EXPECT_NE(font->GetGlyph('J'), nullptr);
}

TEST_F(FontTest, DeletedSlotsStayEmptyAndAddsAppend) {
    s_sprites[1] = {1, 8, 8, {}};
    const int32_t a = Font_AddSpriteExt(1, "x", false, 0);
    const int32_t b = Font_AddSpriteExt(1, "y", false, 0);
    EXPECT_TRUE(Font_Delete(a));
    EXPECT_FALSE(Font_Delete(a));
    EXPECT_FALSE(Font_Exists(a));
    EXPECT_EQ(Font_AddSpriteExt(1, "z", false, 0), b + 1);
    EXPECT_TRUE(Font_ReplaceSpriteExt(a, 1, "w", false, 0));  // fills the emptied slot
    EXPECT_TRUE(Font_Exists(a));
    // A font asked of a missing sprite is added, empty.
    const int32_t empty = Font_AddSpriteExt(9, "x", false, 0);
    EXPECT_EQ(Font_Get(empty)->GlyphCount(), 0);
}

TEST_F(FontTest, DefaultFontComesFromTheBuiltInImage) {
    CFontHV* font = Text_DrawingFont();
    ASSERT_NE(font, nullptr);
    EXPECT_STREQ(font->GetFontName(), "debug");
    EXPECT_EQ(font->GlyphCount(), 105);
    EXPECT_EQ(font->TextHeight(), 15);
    EXPECT_EQ(font->GetGlyph(' ')->x, BuiltinFont_Glyphs[0].x);
    EXPECT_EQ(font->GetGlyph('!')->advance, 7);
    // Quads are grown by the half-texel margin.
    const uint16_t bang[] = {'!', 0};
    font->DrawText(0, 0, bang, 0xFFFFFF, 1.0f);
    const std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_EQ(v[0].x, -0.5f);
    EXPECT_EQ(v[2].y, 13.5f);
    EXPECT_FLOAT_EQ(v[0].u, (BuiltinFont_Glyphs[1].x - 0.5f) / 256.0f);
}
