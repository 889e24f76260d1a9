// The cats' speech font in the embedded game's data: font 1, "fnt_speech_cat", a bitmap font whose
// page holds a glyph of its own for every character the cats say, so their words never fall back
// to the runner's default font nor to the missing-character glyph.
#include <set>
#include <string>

#include "GameWorld.h"
#include "assets/Font_Class.h"
#include "assets/Font_Main.h"
#include "graphics/Graphics_Texture.h"

namespace {

using namespace hvs;

class SpeechFontTest : public gametest::GameWorldTest {
protected:
    void SetUp() override {
        GameWorldTest::SetUp();
        Font_RegisterChunkReader();
    }

    // The characters of every word list the cats hold.
    static std::set<char> CatCharacters() {
        std::set<char> characters;
        for (int32_t cat : {OBJ_obj_cat_1, OBJ_obj_cat_2, OBJ_obj_cat_3})
            for (CInstance* i : All(cat)) {
                const char* words = RValue_GetStringText(RValue_ElementRef(i->SlotRef(S_json), 0));
                EXPECT_NE(words, nullptr);
                for (const char* c = words; c && *c; ++c) characters.insert(*c);
            }
        return characters;
    }
};

TEST_F(SpeechFontTest, FontOneIsTheCatsSpeechFontWithAGlyphForEveryCharacterTheySay) {
    StartGame();
    EXPECT_FALSE(Font_Exists(0));
    ASSERT_TRUE(Font_Exists(FNT_fnt_speech_cat));
    EXPECT_STREQ(Font_GetName(FNT_fnt_speech_cat), "fnt_speech_cat");
    EXPECT_EQ(Font_Find("fnt_speech_cat"), 1);

    CFontHV* font = Font_Get(FNT_fnt_speech_cat);
    const TexturePageEntry* page = font->GetPageEntry();
    ASSERT_NE(page, nullptr);
    EXPECT_GE(font->TextHeight(), 10) << "a readable size";
    EXPECT_LE(font->TextHeight(), 20)
        << "lines fit the bubble's 14-pixel separation, give or take descenders";

    const std::set<char> characters = CatCharacters();
    ASSERT_GE(characters.size(), 20u) << "the three word lists were read";
    for (char c : characters) {
        const FontGlyph* glyph = font->GetGlyph(static_cast<unsigned char>(c));
        ASSERT_NE(glyph, nullptr) << c;
        EXPECT_EQ(glyph->character, static_cast<unsigned char>(c)) << "its own glyph, no stand-in: " << c;
        EXPECT_GT(glyph->advance, 0) << c;
        EXPECT_EQ(glyph->height, font->TextHeight()) << "every cell is a whole line high: " << c;
        if (c != ' ') {
            EXPECT_GT(glyph->width, 0) << c;
        }
        EXPECT_GE(glyph->x, 0) << c;
        EXPECT_GE(glyph->y, 0) << c;
        EXPECT_LE(glyph->x + glyph->width, page->sourceWidth) << c;
        EXPECT_LE(glyph->y + glyph->height, page->sourceHeight) << c;
    }
    // Printable ASCII, in ascending order as lookups by halving need.
    EXPECT_EQ(font->GlyphCount(), 95);
    for (int32_t i = 1; i < font->GlyphCount(); ++i)
        EXPECT_LT(font->GlyphAt(i - 1)->character, font->GlyphAt(i)->character);
    EXPECT_EQ(Errors(), "");
}

}  // namespace
