#include "io/Base64.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int SextetOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

void Base64_Encode(const uint8_t* bytes, int64_t length, char* out) {
    if (out == nullptr) return;
    if (bytes == nullptr) length = 0;
    char* p = out;
    int64_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const uint32_t group = uint32_t(bytes[i]) << 16 | uint32_t(bytes[i + 1]) << 8 | bytes[i + 2];
        *p++ = kAlphabet[group >> 18];
        *p++ = kAlphabet[(group >> 12) & 63];
        *p++ = kAlphabet[(group >> 6) & 63];
        *p++ = kAlphabet[group & 63];
    }
    if (const int64_t left = length - i; left > 0) {
        const uint32_t group = uint32_t(bytes[i]) << 16 | (left == 2 ? uint32_t(bytes[i + 1]) << 8 : 0);
        *p++ = kAlphabet[group >> 18];
        *p++ = kAlphabet[(group >> 12) & 63];
        *p++ = left == 2 ? kAlphabet[(group >> 6) & 63] : '=';
        *p++ = '=';
    }
    *p = '\0';
}

int64_t Base64_Decode(const char* text, int64_t capacity, uint8_t* out, bool terminate) {
    if (text == nullptr || out == nullptr || capacity <= 0) return 0;
    const int64_t limit = capacity - 1;
    int64_t written = 0;
    uint32_t bits = 0;
    int held = 0;  // sextets gathered in bits
    for (const char* p = text; written < limit; ++p) {
        const int sextet = SextetOf(*p);
        if (sextet < 0) break;
        bits = bits << 6 | static_cast<uint32_t>(sextet);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out[written++] = static_cast<uint8_t>(bits >> held);
        }
    }
    if (terminate) out[written] = 0;
    return written;
}
