// Base64 with the standard alphabet and "=" padding.
#pragma once

#include <cstdint>

// Bytes Base64_Encode needs for the text of length input bytes, its terminator included.
inline int64_t Base64_EncodedCapacity(int64_t length) {
    return (length + 2) / 3 * 4 + 1;
}

// Writes the zero-terminated text; out holds at least Base64_EncodedCapacity(length) bytes
// (4 * length / 3 + 4 is always enough).
void Base64_Encode(const uint8_t* bytes, int64_t length, char* out);
// Decodes up to the first "=", the first character outside the alphabet or the end of the
// text, writing at most capacity - 1 bytes; with terminate set a zero byte follows them.
// Returns the number of bytes decoded.
int64_t Base64_Decode(const char* text, int64_t capacity, uint8_t* out, bool terminate);
