// MurmurHash3 (x86, 32-bit): the key of the name tables (sprites, the allocation log's names).
#pragma once

#include <cstdint>

uint32_t MurmurHash3_x86_32(const void* bytes, uint32_t length, uint32_t seed);
// The hash of a NUL-terminated text with seed 0.
uint32_t Hash_String(const char* text);
