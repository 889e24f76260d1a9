#include "base/DebugInfo.h"

#include <cstring>

#include "core/Console.h"
#include "core/MemoryManager.h"

namespace {

struct Table {
    uint32_t count = 0;
    uint32_t at = 0;  // offset of the first entry offset (after the count)
};

uint8_t* g_data = nullptr;
uint32_t g_size = 0;
Table g_lines, g_sources, g_instances;

uint32_t ReadLE32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

bool Fits(uint32_t offset, uint64_t bytes) {
    return offset <= g_size && bytes <= g_size - offset;
}

bool TextAt(uint32_t ref) {
    if (ref < 4 || ref > g_size) return false;
    const uint32_t length = ReadLE32(g_data + ref - 4);
    return length < g_size - ref && g_data[ref + length] == 0;
}

// Line tables are read as words in place, so they must be word-aligned.
bool LinesAt(uint32_t offset) {
    if (offset % 4 != 0 || !Fits(offset, 4)) return false;
    return Fits(offset + 4, static_cast<uint64_t>(ReadLE32(g_data + offset)) * 4);
}

bool ReadTable(uint32_t dataOffset, uint32_t length, Table& table, bool (*entryOk)(uint32_t)) {
    if (length < 4) return false;
    const uint32_t count = ReadLE32(g_data + dataOffset);
    if (static_cast<uint64_t>(count) * 4 > length - 4) return false;
    table.count = count;
    table.at = dataOffset + 4;
    for (uint32_t i = 0; i < count; ++i)
        if (entryOk && !entryOk(ReadLE32(g_data + table.at + 4 * i))) return false;
    return true;
}

bool InstanceAt(uint32_t offset) {
    return offset < g_size;
}

bool ReadChunks() {
    for (uint32_t pos = 8; pos < g_size;) {
        if (g_size - pos < 8) return false;
        char tag[5];
        for (int i = 0; i < 4; ++i) {
            const uint8_t c = g_data[pos + i];
            tag[i] = (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
        }
        tag[4] = 0;
        const uint32_t length = ReadLE32(g_data + pos + 4);
        if (length > g_size - pos - 8) return false;
        DebugConsole.Output("Process Chunk: %s   %d\n", tag, static_cast<int>(length));
        const uint32_t data = pos + 8;
        bool ok = true;
        if (std::memcmp(g_data + pos, "DBGI", 4) == 0) ok = ReadTable(data, length, g_lines, LinesAt);
        if (std::memcmp(g_data + pos, "SCPT", 4) == 0) ok = ReadTable(data, length, g_sources, TextAt);
        if (std::memcmp(g_data + pos, "INST", 4) == 0) ok = ReadTable(data, length, g_instances, InstanceAt);
        if (!ok) return false;
        pos = data + length;
    }
    return true;
}

}  // namespace

bool DebugInfo_Load(const uint8_t* data, uint32_t size) {
    DebugInfo_Free();
    if (size < 8) return false;
    uint32_t formLength;
    std::memcpy(&formLength, data + 4, 4);
    if (static_cast<uint64_t>(formLength) + 8 != size) return false;
    g_data = static_cast<uint8_t*>(MEM_ALLOC_RAW(size));
    if (!g_data) return false;
    std::memcpy(g_data, data, size);
    g_size = size;
    if (!ReadChunks()) {
        DebugConsole.Output("Debug information is damaged and was ignored\n");
        DebugInfo_Free();
        return false;
    }
    return true;
}

void DebugInfo_Free() {
    MEM_FREE(g_data);
    g_data = nullptr;
    g_size = 0;
    g_lines = g_sources = g_instances = Table();
}

bool DebugInfo_Present() {
    return g_data != nullptr;
}

bool DebugInfo_LineTable(uint32_t index, const int32_t** words, uint32_t* count) {
    if (index >= g_lines.count) return false;
    const uint32_t offset = ReadLE32(g_data + g_lines.at + 4 * index);
    *count = ReadLE32(g_data + offset);
    *words = reinterpret_cast<const int32_t*>(g_data + offset + 4);
    return true;
}

const char* DebugInfo_Source(uint32_t index) {
    if (index >= g_sources.count) return nullptr;
    return reinterpret_cast<const char*>(g_data + ReadLE32(g_data + g_sources.at + 4 * index));
}

uint32_t DebugInfo_InstanceCount() {
    return g_instances.count;
}

uint32_t DebugInfo_InstanceOffset(uint32_t index) {
    return index < g_instances.count ? ReadLE32(g_data + g_instances.at + 4 * index) : 0;
}

const uint8_t* DebugInfo_Base() {
    return g_data;
}
uint32_t DebugInfo_Size() {
    return g_size;
}
