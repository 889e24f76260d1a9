#include "core/MurmurHash.h"

#include <bit>
#include <cstring>

uint32_t MurmurHash3_x86_32(const void* bytes, uint32_t length, uint32_t seed) {
    const auto* data = static_cast<const uint8_t*>(bytes);
    constexpr uint32_t c1 = 0xcc9e2d51u, c2 = 0x1b873593u;
    uint32_t h = seed;
    const uint32_t blocks = length / 4;
    for (uint32_t i = 0; i < blocks; ++i) {
        uint32_t k;
        std::memcpy(&k, data + i * 4, 4);
        k *= c1;
        k = std::rotl(k, 15);
        k *= c2;
        h ^= k;
        h = std::rotl(h, 13);
        h = h * 5 + 0xe6546b64u;
    }
    const uint8_t* tail = data + blocks * 4;
    uint32_t k = 0;
    switch (length & 3) {
        case 3:
            k ^= uint32_t{tail[2]} << 16;
            [[fallthrough]];
        case 2:
            k ^= uint32_t{tail[1]} << 8;
            [[fallthrough]];
        case 1:
            k ^= tail[0];
            k *= c1;
            k = std::rotl(k, 15);
            k *= c2;
            h ^= k;
    }
    h ^= length;
    h ^= h >> 16;
    h *= 0x85ebca6bu;
    h ^= h >> 13;
    h *= 0xc2b2ae35u;
    h ^= h >> 16;
    return h;
}

uint32_t Hash_String(const char* text) {
    return MurmurHash3_x86_32(text, static_cast<uint32_t>(std::strlen(text)), 0);
}
