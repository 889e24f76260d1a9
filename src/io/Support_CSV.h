// Comma-separated text loaded into a grid of strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The cells of a text: one row per line end, as many columns as the first line has fields;
// fields past the width are dropped and short rows keep fewer cells.
struct CsvTable {
    int32_t width = 0;
    std::vector<std::vector<std::string>> rows;
};

// Every CR is a line end, and every LF that does not directly follow a CR; text after the
// last line end is not read. An empty line reads as one empty field. False for a text
// without a line end. The text ends at its length or its first zero byte.
bool CSV_Parse(const char* text, size_t length, CsvTable* table);

// A new grid of strings in the grid table for the file (save area, else bundle): its index,
// or -1 for a missing file, a text without a line end or a grid too large to make.
int32_t CSV_Load(const char* name);
