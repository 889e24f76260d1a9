// MD5 message digest (RFC 1321).
#pragma once

#include <cstdint>

struct MD5Context {
    uint32_t state[4];
    uint64_t bitCount;
    uint8_t block[64];
    uint8_t digest[16];  // set by MD5_Final
};

void MD5_Init(MD5Context* context);
void MD5_Update(MD5Context* context, const void* bytes, uint64_t length);
// Pads the message and leaves the 16-byte digest in context->digest.
void MD5_Final(MD5Context* context);
