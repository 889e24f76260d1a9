#include "io/Support_CSV.h"

#include <cstring>
#include <string_view>

#include "core/MemoryManager.h"
#include "data/Function_Data_Structures.h"
#include "io/LoadSave.h"

namespace {

// The quote rules shared by the field count and the split: a quote closes a quoted field when
// the next character ends the field, and opens one at the start of a field.
struct QuoteState {
    bool inQuotes = false;
    bool afterComma = false;

    // The quote at position i of the line; true when it closed or opened a quoted field.
    bool Toggle(std::string_view line, size_t i) {
        const bool wasAfterComma = afterComma;
        afterComma = false;
        if (inQuotes && (i + 1 == line.size() || line[i + 1] == ',')) {
            inQuotes = false;
            return true;
        }
        if (wasAfterComma || i == 0) {
            inQuotes = true;
            return true;
        }
        return false;
    }
};

int32_t CountColumns(std::string_view line) {
    QuoteState state;
    int32_t columns = 1;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ',' && !state.inQuotes) {
            ++columns;
            state.afterComma = true;
        } else if (line[i] == '"') {
            state.Toggle(line, i);
        } else {
            state.afterComma = false;
        }
    }
    return columns;
}

// Outside quotes every second stray quote of the line is kept; inside them a doubled quote
// gives one. The pending quote carries from field to field within the line.
std::vector<std::string> SplitFields(std::string_view line, int32_t width) {
    std::vector<std::string> fields;
    QuoteState state;
    bool quotePending = false;
    std::string field;
    auto store = [&]() {
        if (static_cast<int32_t>(fields.size()) < width) fields.push_back(field);
        field.clear();
    };
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ',' && !state.inQuotes) {
            store();
            state.afterComma = true;
        } else if (c == '"') {
            if (!state.Toggle(line, i)) {
                if (quotePending) field += '"';
                quotePending = !quotePending;
            }
        } else {
            field += c;
            state.afterComma = false;
        }
    }
    store();
    return fields;
}

}  // namespace

bool CSV_Parse(const char* text, size_t length, CsvTable* table) {
    table->width = 0;
    table->rows.clear();
    const size_t end = text != nullptr ? ::strnlen(text, length) : 0;
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < end; ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text + start, i - start);
        if (text[i] == '\r' && i + 1 < end && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (lines.empty()) return false;
    table->width = CountColumns(lines[0]);
    table->rows.reserve(lines.size());
    for (std::string_view line : lines) table->rows.push_back(SplitFields(line, table->width));
    return true;
}

int32_t CSV_Load(const char* name) {
    int64_t size = 0;
    void* bytes = nullptr;
    if (LoadSave_SaveFileExists(name))
        bytes = LoadSave_ReadSaveFile(name, &size);
    else if (LoadSave_BundleFileExists(name))
        bytes = LoadSave_ReadBundleFile(name, &size);
    if (bytes == nullptr) return -1;
    CsvTable table;
    const bool parsed = CSV_Parse(static_cast<const char*>(bytes), static_cast<size_t>(size), &table);
    MEM_FREE(bytes);
    if (!parsed) return -1;

    const int32_t height = static_cast<int32_t>(table.rows.size());
    const int32_t index = DS_CreateGrid(table.width, height);
    CDS_Grid* grid = DS_GetGrid(index);
    if (grid == nullptr) return -1;
    RValue cell = RValue_Undefined();
    for (int32_t y = 0; y < height; ++y) {
        const std::vector<std::string>& fields = table.rows[static_cast<size_t>(y)];
        for (size_t x = 0; x < fields.size(); ++x) {
            RValue_SetString(&cell, fields[x].c_str());
            grid->SetCell(static_cast<int32_t>(x), y, &cell);
        }
    }
    RValue_Release(&cell);
    return index;
}
