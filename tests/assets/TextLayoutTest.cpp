// Splitting text into lines, measuring, alignment and the text built-ins.
#include <cstring>

#include "TextTestSupport.h"
#include "core/MemoryManager.h"
#include "graphics/Graphics_Primitive.h"

using namespace texttest;

namespace {

std::string Narrow(const uint16_t* line) {
    std::string s;
    for (; *line; ++line) s += *line < 128 ? char(*line) : '?';
    return s;
}

class TextLayoutTest : public TextTest {
protected:
    void SetUp() override {
        TextTest::SetUp();
        ASSERT_TRUE(Load(GameWithFonts({FixedFont("fnt_fixed", 8, 15)})));
        Text_SetFont(0);
    }

    static std::vector<std::string> Split(const char* text, int32_t width) {
        char* scratch = String_Duplicate(text);
        TStringList list;
        Text_SplitLines(scratch, width, &list);
        MEM_FREE(scratch);
        std::vector<std::string> lines;
        for (int32_t i = 0; i < list.Count(); ++i) lines.push_back(Narrow(list.Line(i)));
        return lines;
    }
};

using Lines = std::vector<std::string>;

}  // namespace

TEST_F(TextLayoutTest, LineBreaksWithoutWrapping) {
    struct Case {
        const char* text;
        Lines lines;
    } cases[] = {
        {"a#b", {"a", "b"}},        {"a\\#b", {"a#b"}},
        {"a\r\nb", {"a", "\nb"}},   {"a\r\n", {"a", "\n"}},
        {"a\r\rb", {"a", "", "b"}}, {"a\n\rb", {"a", "\rb"}},
        {"a b  ", {"a b  "}},       {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(Split(c.text, -1), c.lines) << c.text;
}

TEST_F(TextLayoutTest, WrappingBreaksAtSpacesAndCutsLongWords) {
    struct Case {
        const char* text;
        int32_t width;
        Lines lines;
    } cases[] = {
        {"aa bb cc", 20, {"aa", "bb", "cc"}},
        {"hello world", 48, {"hello", "world"}},  // "hello " fits, "hello w" does not
        {"a\nb", 100, {"a\nb"}},                  // LF is an ordinary character
        {"ab#cd", 100, {"ab", "cd"}},
        {"abcdefgh", 24, {"abc", "def", "gh"}},
        {"ab  cd", 24, {"ab", " cd"}},  // the second space stays at the front
        {"x", 0, {}},
        // Leading spaces before a character that never fits: the split ends instead of looping.
        {"   abc", 4, {}},
        {"ab   cdef", 16, {"ab", " cd", "ef"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Split(c.text, c.width), c.lines) << c.text << " / " << c.width;
}

TEST_F(TextLayoutTest, HeightAndWidthFollowTheLines) {
    EXPECT_EQ(Text_Height("", 5, -1), 0);
    EXPECT_EQ(Text_Height("abc", 40, -1), 15);
    EXPECT_EQ(Text_Height("a#b#c", 20, -1), 15 + 40);
    EXPECT_EQ(Text_Height("a#b#c", -1, -1), 45);
    EXPECT_EQ(Text_Width("ab#abcd#a", -1, -1), 32);
    EXPECT_EQ(Call("string_width", {S("Hello")}), Call("string_width_ext", {S("Hello"), R(-1), R(-1)}));
    EXPECT_EQ(Call("string_width_ext", {S("aa bb cc"), R(-1), R(20)}), 16);
    EXPECT_EQ(Call("string_height_ext", {S("aa bb cc"), R(10), R(20)}), 15 + 20);
}

TEST_F(TextLayoutTest, DrawTextExtWrapsIntoLinesOneFontHeightApart) {
    Call("draw_text_ext", {R(0), R(0), S("aa bb cc"), R(-1), R(20)});
    const auto corners = QuadCorners();
    ASSERT_EQ(corners.size(), 6u);
    const float ys[] = {0, 0, 15, 15, 30, 30};
    for (size_t i = 0; i < corners.size(); ++i) {
        EXPECT_EQ(corners[i].first, i % 2 ? 8.0f : 0.0f) << i;
        EXPECT_EQ(corners[i].second, ys[i]) << i;
    }
}

TEST_F(TextLayoutTest, AlignmentMovesLinesByWholeOrHalfWidths) {
    // A 5-pixel line: halign 1 moves it left by 2 in plain drawing, by 2.5 transformed.
    formpack::Font narrow = FixedFont("fnt_narrow", 5, 15);
    ASSERT_TRUE(Load(GameWithFonts({narrow})));
    Text_SetFont(0);
    Text_SetHAlign(1);
    Text_Draw(100, 0, "a", -1, -1);
    Text_DrawTransformed(100, 50, "a", -1, -1, 1.0f, 1.0f, 0.0f);
    Text_SetHAlign(2);
    Text_Draw(100, 0, "a", -1, -1);
    Text_SetHAlign(7);  // any other value is left
    Text_Draw(100, 0, "a", -1, -1);
    auto corners = QuadCorners();
    ASSERT_EQ(corners.size(), 4u);
    EXPECT_EQ(corners[0].first, 98.0f);
    EXPECT_EQ(corners[1].first, 97.5f);
    EXPECT_EQ(corners[2].first, 95.0f);
    EXPECT_EQ(corners[3].first, 100.0f);

    // valign 1 with 3 lines and separation 15 moves the text up by 22; empty lines still count.
    s_batches.clear();
    Text_SetHAlign(0);
    Text_SetVAlign(1);
    Text_Draw(0, 100, "a##b", 15, -1);
    Text_SetVAlign(2);
    Text_Draw(0, 100, "a", 15, -1);
    corners = QuadCorners();
    ASSERT_EQ(corners.size(), 3u);
    EXPECT_EQ(corners[0].second, 78.0f);
    EXPECT_EQ(corners[1].second, 108.0f);
    EXPECT_EQ(corners[2].second, 85.0f);
    Text_SetVAlign(0);
}

TEST_F(TextLayoutTest, DrawnValuesPrintNumbersAsIntegersOrTwoDecimals) {
    struct Case {
        RValue value;
        const char* text;
    } cases[] = {
        {R(3), "3"}, {R(2.5), "2.50"}, {R(-7), "-7"}, {S("abc"), "abc"}, {RValue_Undefined(), "undefined"}};
    for (Case& c : cases) {
        char* text = nullptr;
        Text_ValueToText(&c.value, 1024, &text);
        EXPECT_STREQ(text, c.text);
        MEM_FREE(text);
        RValue_Release(&c.value);
    }
    // Drawing a number draws its text; the measuring built-ins take strings only.
    Call("draw_text", {R(42), R(0), R(12.0)});
    EXPECT_EQ(QuadCorners().size(), 2u);
}

TEST_F(TextLayoutTest, SetFontFallsBackToTheDefaultFont) {
    Call("draw_set_font", {R(5)});
    EXPECT_EQ(Text_GetFont(), -1);
    EXPECT_STREQ(Text_DrawingFont()->GetFontName(), "debug");
    Call("draw_set_font", {R(0)});
    EXPECT_EQ(Text_GetFont(), 0);
    Direct_draw_set_halign(2);
    EXPECT_EQ(Text_GetHAlign(), 2);
    Text_Reset();
    EXPECT_EQ(Text_GetFont(), -1);
    EXPECT_EQ(Text_GetHAlign(), 0);
}
