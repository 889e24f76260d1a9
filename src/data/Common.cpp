#include "data/Common.h"

#include <cstring>

#include "core/MemoryManager.h"

// --- The random generator ---------------------------------------------------------------

namespace {

constexpr uint32_t kTemperCurrent = 0xDA442D24u;
constexpr uint32_t kTemperOld = 0xDA442D20u;

struct RandomState {
    uint32_t words[16];
    uint32_t index;
    int32_t seed;
    uint32_t temper;
};

// The state words come from the C run-time library's LCG, each kept to 31 bits. The
// product wraps as a signed 32-bit number and the shift copies its sign.
constexpr void SeedState(RandomState& state, int32_t seed) {
    state.seed = seed;
    int32_t w = seed;
    for (uint32_t& word : state.words) {
        int32_t next = static_cast<int32_t>(static_cast<uint32_t>(w) * 214013u + 2531011u);
        w = (next >> 16) & 0x7FFFFFFF;
        word = static_cast<uint32_t>(w);
    }
    state.index = 0;
}

constexpr RandomState MakeStartState() {
    RandomState state{};
    state.temper = kTemperCurrent;
    SeedState(state, 0);
    return state;
}

RandomState g_Random = MakeStartState();
uint32_t g_CrtRandState = 1;

}  // namespace

int32_t Random_SetSeed(int32_t seed) {
    SeedState(g_Random, seed);
    return seed;
}

int32_t Random_GetSeed() {
    return g_Random.seed;
}

// WELL512a, one step.
uint32_t Random_Next() {
    uint32_t* s = g_Random.words;
    uint32_t i = g_Random.index;
    uint32_t a = s[i];
    uint32_t c = s[(i + 13) & 15];
    const uint32_t b = a ^ c ^ (a << 16) ^ (c << 15);
    c = s[(i + 9) & 15];
    c ^= c >> 11;
    a = s[i] = b ^ c;
    const uint32_t d = a ^ ((a << 5) & g_Random.temper);
    i = (i + 15) & 15;
    a = s[i];
    s[i] = a ^ b ^ d ^ (a << 2) ^ (b << 18) ^ (c << 28);
    g_Random.index = i;
    return s[i];
}

double Random_Real(double x) {
    const double fraction = static_cast<double>(Random_Next()) * (1.0 / 4294967296.0);
    return x == 1.0 ? fraction : x * fraction;
}

uint32_t Random_IntMod(int32_t n) {
    if (n == 0) return 0;
    const uint32_t magnitude = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
    return Random_Next() % magnitude;
}

int64_t Random_IntRange(int64_t n) {
    if (n == 0) return 0;
    const uint64_t w1 = Random_Next();
    const uint64_t w2 = Random_Next();
    const uint64_t v = ((w2 & 0x7FFFFFFFu) << 32) | w1;
    // Unsigned magnitude so that the most negative n has an answer too.
    const uint64_t magnitude = n < 0 ? 0u - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
    const uint64_t r = v % magnitude;
    return n < 0 ? static_cast<int64_t>(0u - r) : static_cast<int64_t>(r);
}

void Random_UseOldVersion(bool old) {
    g_Random.temper = old ? kTemperOld : kTemperCurrent;
}

void CRT_SRand(uint32_t seed) {
    g_CrtRandState = seed;
}

int32_t CRT_Rand() {
    g_CrtRandState = g_CrtRandState * 214013u + 2531011u;
    return static_cast<int32_t>((g_CrtRandState >> 16) & 0x7FFFu);
}

// --- Text -------------------------------------------------------------------------------

namespace {

// Bytes of the character that starts with this lead byte, by the lead byte alone.
inline int32_t Utf8LeadLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    return (lead & 0x20) ? 3 : 2;
}

inline bool IsContinuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

}  // namespace

int32_t String_ConvertHashNewlines(char* text) {
    if (text == nullptr) return 0;
    const char* read = text;
    char* write = text;
    int32_t count = 0;
    char previous = 0;  // first byte of the character read last
    while (*read != 0) {
        const char c = *read;
        if (c == '#') {
            ++read;
            if (previous == '\\' && write > text) {
                write[-1] = '#';
            } else {
                *write++ = '\r';
                ++count;
            }
            previous = c;
            continue;
        }
        // Copy the character's bytes unchanged. A character ends early at a byte that cannot
        // continue it, so a cut or foreign sequence never swallows a '#' or the terminator.
        const int32_t length = Utf8LeadLength(static_cast<unsigned char>(c));
        *write++ = *read++;
        for (int32_t k = 1; k < length && IsContinuation(*read); ++k) *write++ = *read++;
        ++count;
        previous = c;
    }
    *write = 0;
    return count;
}

char* Common_WideToAscii(const char16_t* text) {
    if (text == nullptr) return nullptr;
    size_t units = 0;
    while (text[units] != 0) ++units;
    char* out = static_cast<char*>(MEM_ALLOC(units + 1));
    for (size_t i = 0; i < units; ++i) out[i] = static_cast<char>(text[i] & 0xFF);
    out[units] = 0;
    return out;
}

// --- Pixels -----------------------------------------------------------------------------

bool Platform_VertexColoursNeedSwap() {
    return false;
}

namespace {

int64_t PixelCount(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<int64_t>(width) * height;
}

}  // namespace

void Pixels_SetOpaque(void* pixels, int32_t width, int32_t height) {
    if (pixels == nullptr) return;
    unsigned char* p = static_cast<unsigned char*>(pixels);
    for (int64_t i = PixelCount(width, height); i > 0; --i, p += 4) p[3] = 0xFF;
}

void Pixels_SwapRedBlue(void* pixels, int32_t width, int32_t height) {
    if (pixels == nullptr) return;
    unsigned char* p = static_cast<unsigned char*>(pixels);
    for (int64_t i = PixelCount(width, height); i > 0; --i, p += 4) {
        const unsigned char first = p[0];
        p[0] = p[2];
        p[2] = first;
    }
}
