// Source lines of bytecode positions: the debug-table lookup, line numbers with "#line"
// directives, and the text of a line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/DebugInfo_Lines.h"
#include "core/VMBuffer.h"

namespace {

DebugInfoEntry At(int32_t position) {
    return DebugInfoEntry{0, position};
}

TEST(DebugInfoLines, FindEntryTakesTheLastPairNotAboveTheOffset) {
    std::vector<int32_t> words = {4, 10, 12, 20, 40, 30};
    VMBuffer table(reinterpret_cast<uint8_t*>(words.data()), static_cast<int32_t>(words.size() * 4), 0, 0);
    const struct {
        int32_t offset;
        int32_t position;  // -1: none
    } cases[] = {{0, -1}, {3, -1}, {4, 10}, {11, 10}, {12, 20}, {39, 20}, {40, 30}, {1000, 30}};
    for (const auto& c : cases) {
        const DebugInfoEntry* entry = DebugInfo_FindEntry(&table, c.offset);
        if (c.position < 0) {
            EXPECT_EQ(entry, nullptr) << c.offset;
        } else {
            ASSERT_NE(entry, nullptr) << c.offset;
            EXPECT_EQ(entry->sourcePosition, c.position) << c.offset;
        }
    }
    EXPECT_EQ(DebugInfo_FindEntry(nullptr, 0), nullptr);
    VMBuffer empty(nullptr, 0, 0, 0);
    EXPECT_EQ(DebugInfo_FindEntry(&empty, 0), nullptr);
}

TEST(DebugInfoLines, LineNumbersCountLineFeedsBack) {
    const char* text = "l1\nl2\nl3";
    const struct {
        int32_t position;
        int32_t line;
    } cases[] = {{0, 1}, {1, 1}, {2, 1}, {3, 2}, {6, 3}, {7, 3}, {500, 3}, {-1, -1}};
    for (const auto& c : cases) {
        const DebugInfoEntry entry = At(c.position);
        EXPECT_EQ(DebugInfo_GetLine(&entry, text, nullptr), c.line) << c.position;
    }
    EXPECT_EQ(DebugInfo_GetLine(nullptr, text, nullptr), -1);
    const DebugInfoEntry entry = At(0);
    EXPECT_EQ(DebugInfo_GetLine(&entry, "", nullptr), -1);
}

TEST(DebugInfoLines, LineDirectiveNumbersTheLinesAfterIt) {
    const std::string text = "a\n#line scr_x 10\nb\nc";
    char* file = nullptr;
    const DebugInfoEntry inC = At(static_cast<int32_t>(text.size() - 1));
    EXPECT_EQ(DebugInfo_GetLine(&inC, text.c_str(), &file), 11);
    ASSERT_NE(file, nullptr);
    EXPECT_STREQ(file, "scr_x");
    std::free(file);

    const DebugInfoEntry inB = At(static_cast<int32_t>(text.find('b')));
    EXPECT_EQ(DebugInfo_GetLine(&inB, text.c_str(), nullptr), 10);
    const DebugInfoEntry inA = At(0);
    EXPECT_EQ(DebugInfo_GetLine(&inA, text.c_str(), &file), 1);
    EXPECT_EQ(file, nullptr);
}

TEST(DebugInfoLines, LineTextIsTheWholeLineWithoutItsBreak) {
    const char* text = "first\r\nsecond line\nthird";
    const struct {
        int32_t position;
        const char* line;
    } cases[] = {{0, "first"},        {4, "first"},  {7, "second line"},
                 {18, "second line"}, {19, "third"}, {999, "third"}};
    for (const auto& c : cases) {
        const DebugInfoEntry entry = At(c.position);
        EXPECT_STREQ(DebugInfo_GetLineText(&entry, text), c.line) << c.position;
    }
    EXPECT_STREQ(DebugInfo_GetLineText(nullptr, text), "<unknown source line>");
}

TEST(DebugInfoLines, LongLinesAreCutTo255BytesOnACharacterBoundary) {
    std::string text(300, 'x');
    DebugInfoEntry entry = At(10);
    EXPECT_EQ(std::strlen(DebugInfo_GetLineText(&entry, text.c_str())), 255u);
    // 254 ASCII bytes, then a two-byte character that would straddle the cut.
    text = std::string(254, 'y') + "\xC3\xA9" + "tail";
    EXPECT_EQ(std::string(DebugInfo_GetLineText(&entry, text.c_str())), std::string(254, 'y'));
}

}  // namespace
