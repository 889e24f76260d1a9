#include "io/SHA1.h"

#include <bit>
#include <cstring>

namespace {

void ProcessBlock(SHA1Context* context) {
    uint32_t w[80];
    const uint8_t* b = context->block;
    for (int t = 0; t < 16; ++t) {
        w[t] = uint32_t(b[t * 4]) << 24 | uint32_t(b[t * 4 + 1]) << 16 | uint32_t(b[t * 4 + 2]) << 8 |
               b[t * 4 + 3];
    }
    for (int t = 16; t < 80; ++t) w[t] = std::rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    uint32_t a = context->hash[0], bb = context->hash[1], c = context->hash[2], d = context->hash[3],
             e = context->hash[4];
    for (int t = 0; t < 80; ++t) {
        uint32_t f, k;
        if (t < 20) {
            f = (bb & c) | (~bb & d);
            k = 0x5A827999;
        } else if (t < 40) {
            f = bb ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (t < 60) {
            f = (bb & c) | (bb & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = bb ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const uint32_t temp = std::rotl(a, 5) + f + e + w[t] + k;
        e = d;
        d = c;
        c = std::rotl(bb, 30);
        bb = a;
        a = temp;
    }
    context->hash[0] += a;
    context->hash[1] += bb;
    context->hash[2] += c;
    context->hash[3] += d;
    context->hash[4] += e;
    context->blockIndex = 0;
}

void PutByte(SHA1Context* context, uint8_t byte) {
    context->block[context->blockIndex++] = byte;
    if (context->blockIndex == 64) ProcessBlock(context);
}

}  // namespace

void SHA1_Reset(SHA1Context* context) {
    context->hash[0] = 0x67452301;
    context->hash[1] = 0xEFCDAB89;
    context->hash[2] = 0x98BADCFE;
    context->hash[3] = 0x10325476;
    context->hash[4] = 0xC3D2E1F0;
    context->bitCount = 0;
    std::memset(context->block, 0, sizeof context->block);
    context->blockIndex = 0;
    context->computed = false;
    context->corrupted = false;
}

void SHA1_Input(SHA1Context* context, const void* bytes, uint64_t length) {
    if (length == 0 || bytes == nullptr) return;
    if (context->computed) context->corrupted = true;
    if (context->corrupted) return;
    if (length > (UINT64_MAX - context->bitCount) / 8) {
        context->corrupted = true;
        return;
    }
    context->bitCount += length * 8;
    const auto* input = static_cast<const uint8_t*>(bytes);
    while (length > 0) {
        const size_t room = static_cast<size_t>(64 - context->blockIndex);
        const size_t take = static_cast<size_t>(length < room ? length : room);
        std::memcpy(context->block + context->blockIndex, input, take);
        context->blockIndex += static_cast<int>(take);
        input += take;
        length -= take;
        if (context->blockIndex == 64) ProcessBlock(context);
    }
}

int SHA1_Result(SHA1Context* context) {
    if (context->corrupted) return 0;
    if (!context->computed) {
        const uint64_t bits = context->bitCount;
        PutByte(context, 0x80);
        while (context->blockIndex != 56) PutByte(context, 0);
        for (int i = 7; i >= 0; --i) PutByte(context, static_cast<uint8_t>(bits >> (8 * i)));
        context->computed = true;
    }
    return 1;
}
