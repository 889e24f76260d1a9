#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/Support_CSV.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

CsvTable Parse(const std::string& text) {
    CsvTable table;
    EXPECT_TRUE(CSV_Parse(text.data(), text.size(), &table)) << text;
    return table;
}

TEST(CsvParse, RowsColumnsAndLineEnds) {
    const struct {
        const char* name;
        std::string text;
        int32_t width;
        Rows rows;
    } cases[] = {
        {"short second row", "a,b,c\n1,2\n", 3, {{"a", "b", "c"}, {"1", "2"}}},
        {"fields past the width are dropped", "a,b\n1,2,3\n", 2, {{"a", "b"}, {"1", "2"}}},
        {"CR LF counts once", "a\r\nb\r\n", 1, {{"a"}, {"b"}}},
        {"lone CR and LF count once each", "a\rb\nc\r", 1, {{"a"}, {"b"}, {"c"}}},
        {"LF CR is two line ends", "a\n\rb\n", 1, {{"a"}, {""}, {"b"}}},
        {"text after the last line end is not read", "a,b\nc,d", 2, {{"a", "b"}}},
        {"empty line is one empty field", "x,y\n\nz\n", 2, {{"x", "y"}, {""}, {"z"}}},
        {"empty first line", "\na,b\n", 1, {{""}, {"a"}}},
        {"the text ends at a zero byte", std::string("a\nb\n\0c\n", 7), 1, {{"a"}, {"b"}}},
    };
    for (const auto& c : cases) {
        const CsvTable table = Parse(c.text);
        EXPECT_EQ(table.width, c.width) << c.name;
        EXPECT_EQ(table.rows, c.rows) << c.name;
    }
}

TEST(CsvParse, QuotesCommasAndDoubledQuotes) {
    const struct {
        std::string line;
        int32_t width;
        std::vector<std::string> fields;
    } cases[] = {
        {R"(1,"a,b",2)", 3, {"1", "a,b", "2"}},
        {R"("say ""hi""",x)", 2, {"say \"hi\"", "x"}},
        {R"("a""")", 1, {"a\""}},
        {R"("",z)", 2, {"", "z"}},
        {R"(ab"c"d,e)", 2, {"abc\"d", "e"}},
        {R"(a"b,c"d,"e")", 3, {"ab", "c\"d", "e"}},
        {R"("open,field)", 1, {"open,field"}},
    };
    for (const auto& c : cases) {
        const CsvTable table = Parse(c.line + "\r\n");
        EXPECT_EQ(table.width, c.width) << c.line;
        ASSERT_EQ(table.rows.size(), 1u);
        EXPECT_EQ(table.rows[0], c.fields) << c.line;
    }
}

TEST(CsvParse, NoLineEndIsRefused) {
    CsvTable table;
    EXPECT_FALSE(CSV_Parse("a,b,c", 5, &table));
    EXPECT_FALSE(CSV_Parse("", 0, &table));
}

}  // namespace
