#include <filesystem>
#include <string>
#include <vector>

#include "FileBuiltinTestSupport.h"
#include "data/Function_Data_Structures.h"
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

namespace {

class CsvLoad : public filetest::FileBuiltinTest {
protected:
    void SetUp() override {
        FileBuiltinTest::SetUp();
        InitDataStructureFunctions();
    }
    void TearDown() override {
        for (double grid : m_grids) Call("ds_grid_destroy", {grid});
        FileBuiltinTest::TearDown();
    }
    double Load(const char* name) {
        const double grid = Real("load_csv", {name});
        if (grid >= 0) m_grids.push_back(grid);
        return grid;
    }
    std::vector<double> m_grids;
};

// Python's csv module writes the file (quoting fields with commas, quotes and blanks, quotes
// doubled); the grid holds every field as written, cell for cell.
TEST_F(CsvLoad, ReadsWhatPythonsWriterWrites) {
    const std::vector<std::vector<std::string>> table = {
        {"name", "quote", "number"},
        {"a,b", "say \"hi\"", "12"},
        {"", "\"", "3.5"},
        {"tail,", " spaced ", "x\"y\"z"},
    };
    std::string input;
    for (const auto& row : table) {
        for (size_t i = 0; i < row.size(); ++i) input += (i ? "\t" : "") + row[i];
        input += "\n";
    }
    const std::string program =
        "import csv, sys\n"
        "rows = [line.rstrip('\\n').split('\\t') for line in sys.stdin]\n"
        "with open(rows.pop(0)[0], 'w', newline='') as f:\n"
        "    csv.writer(f, quoting=csv.QUOTE_MINIMAL, lineterminator='\\r\\n').writerows(rows)\n";
    std::filesystem::create_directories(save);
    buftest::RunPython(program, save + "table.csv\n" + input);

    const double grid = Load("table.csv");
    ASSERT_GE(grid, 0);
    EXPECT_EQ(ShowCall("ds_grid_width", {grid}), "real:3");
    EXPECT_EQ(ShowCall("ds_grid_height", {grid}), "real:4");
    for (size_t y = 0; y < table.size(); ++y)
        for (size_t x = 0; x < 3; ++x)
            EXPECT_EQ(ShowCall("ds_grid_get", {grid, double(x), double(y)}), "string:" + table[y][x])
                << x << "," << y;
}

TEST_F(CsvLoad, ShortRowsMissingFilesAndNames) {
    PutBundle("short.csv", "a,b,c\r\n1,2\r\n");
    const double grid = Load("short.csv");
    EXPECT_EQ(ShowCall("ds_grid_get", {grid, 1, 1}), "string:2");
    EXPECT_EQ(ShowCall("ds_grid_get", {grid, 2, 1}), "real:0") << "cells past a short row stay the real 0";

    PutSave("one.csv", "no line end");
    EXPECT_EQ(ShowCall("load_csv", {"one.csv"}), "real:-1");
    EXPECT_EQ(ShowCall("load_csv", {"none.csv"}), "real:-1");
    EXPECT_EQ(ShowCall("load_csv", {5}), "real:-1");
    EXPECT_EQ(errors.TakeNonFatal(), "load_csv - parameter should be a filename");
}

}  // namespace
