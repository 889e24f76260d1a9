// SHA-1 message digest (FIPS 180-1), with a reset / input / result interface.
#pragma once

#include <cstdint>

struct SHA1Context {
    uint32_t hash[5];  // the digest words once SHA1_Result has run
    uint64_t bitCount;
    uint8_t block[64];
    int blockIndex;
    bool computed;
    bool corrupted;
};

void SHA1_Reset(SHA1Context* context);
// Input after a result, or past 2^64 bits in all, marks the context corrupted.
void SHA1_Input(SHA1Context* context, const void* bytes, uint64_t length);
// Pads once and finishes the digest: 1, or 0 for a corrupted context.
int SHA1_Result(SHA1Context* context);
