#include "core/CRC32.h"

#include <array>

namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int round = 0; round < 8; ++round) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        table[i] = c;
    }
    return table;
}

// Read by worker threads too (HTTP header maps): constant from the start, so no race.
constexpr std::array<uint32_t, 256> kTable = MakeTable();

}  // namespace

void CRC32_InitTable() {}

uint32_t CRC32_String(const char* text) {
    uint32_t c = 0xFFFFFFFFu;
    if (text == nullptr) return c;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        c = (c >> 8) ^ kTable[(c ^ *p) & 0xFF];
    }
    return c;
}

uint32_t CRC32_Bytes(const void* bytes, int32_t length) {
    uint32_t c = 0xFFFFFFFFu;
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    for (int32_t i = 0; i < length && p != nullptr; ++i) c = (c >> 8) ^ kTable[(c ^ p[i]) & 0xFF];
    return c;
}
