// CRC-32 of texts and byte ranges as the runner computes it: the reflected polynomial
// 0xEDB88320 from 0xFFFFFFFF, without the final complement.
#pragma once

#include <cstdint>

// Kept for the start-up order; the table is built at compile time.
void CRC32_InitTable();
// Null and empty texts give 0xFFFFFFFF.
uint32_t CRC32_String(const char* text);
// A length of 0 or less reads nothing.
uint32_t CRC32_Bytes(const void* bytes, int32_t length);
