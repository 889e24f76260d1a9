#include "core/UTF8.h"

#include <cmath>

namespace {

inline unsigned char Byte(const char* p) {
    return static_cast<unsigned char>(*p);
}

// Bytes of the character at p: by its lead byte, but never past a zero byte.
inline int32_t CharBytes(const char* p) {
    unsigned char lead = Byte(p);
    if (lead == 0) return 0;
    int32_t wanted = (lead & 0x80) == 0 ? 1 : (lead & 0x20) != 0 ? 3 : 2;
    int32_t n = 1;
    while (n < wanted && p[n] != '\0') ++n;
    return n;
}

// Decodes the character at p; bytes cut off by the end of the text count as zero bits.
inline uint16_t Decode(const char* p, int32_t bytes) {
    unsigned char lead = Byte(p);
    if ((lead & 0x80) == 0) return lead;
    unsigned b1 = bytes > 1 ? Byte(p + 1) : 0;
    if ((lead & 0x20) == 0) return static_cast<uint16_t>(((lead & 0x1F) << 6) | (b1 & 0x3F));
    unsigned b2 = bytes > 2 ? Byte(p + 2) : 0;
    return static_cast<uint16_t>((lead << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F));
}

inline uint32_t AsciiLower(uint32_t c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

}  // namespace

uint16_t UTF8_PeekChar(const char* text) {
    return Decode(text, CharBytes(text));
}

uint16_t UTF8_GetChar(const char*& cursor) {
    int32_t bytes = CharBytes(cursor);
    uint16_t c = Decode(cursor, bytes);
    cursor += bytes;
    return c;
}

uint16_t UTF8_GetChar(char*& cursor) {
    const char* p = cursor;
    uint16_t c = UTF8_GetChar(p);
    cursor += p - cursor;
    return c;
}

void UTF8_PutChar(char*& cursor, uint32_t c) {
    if (c < 0x80) {
        *cursor++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *cursor++ = static_cast<char>(0xC0 | ((c >> 6) & 0x1F));
        *cursor++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *cursor++ = static_cast<char>(0xE0 | ((c >> 12) & 0x0F));
        *cursor++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *cursor++ = static_cast<char>(0x80 | (c & 0x3F));
    }
}

int32_t UTF8_CharSize(uint32_t c) {
    return c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
}

int32_t UTF8_Length(const char* text) {
    int32_t count = 0;
    if (text == nullptr) return 0;
    for (int32_t n; (n = CharBytes(text)) != 0; text += n) ++count;
    return count;
}

int32_t UTF8_CompareNoCase(const char* a, const char* b) {
    while (*a != '\0' && *b != '\0') {
        const char* nextA = a;
        const char* nextB = b;
        if (AsciiLower(UTF8_GetChar(nextA)) != AsciiLower(UTF8_GetChar(nextB))) break;
        a = nextA;
        b = nextB;
    }
    return static_cast<int32_t>(UTF8_PeekChar(a)) - static_cast<int32_t>(UTF8_PeekChar(b));
}

int32_t UTF8_CompareN(const char* a, const char* b, int32_t n) {
    while (n > 0 && *a != '\0' && *b != '\0') {
        const char* nextA = a;
        const char* nextB = b;
        if (UTF8_GetChar(nextA) != UTF8_GetChar(nextB)) break;
        a = nextA;
        b = nextB;
        --n;
    }
    if (n <= 0) return 0;
    return static_cast<int32_t>(UTF8_PeekChar(a)) - static_cast<int32_t>(UTF8_PeekChar(b));
}

const char* UTF8_StrStr(const char* text, const char* needle) {
    if (text == nullptr || needle == nullptr) return nullptr;
    int32_t positions = UTF8_Length(text);
    int32_t needleLength = UTF8_Length(needle);
    const char* p = text;
    for (int32_t i = 0; i < positions; ++i) {
        if (UTF8_CompareN(p, needle, needleLength) == 0) return p;
        p += CharBytes(p);
    }
    return nullptr;
}

float FloorFloat(float value) {
    return static_cast<float>(std::floor(static_cast<double>(value)));
}

float FModFloat(float a, float b) {
    return static_cast<float>(std::fmod(static_cast<long double>(a), static_cast<long double>(b)));
}

void EmptyCallback(void*, void*) {}
