#include "data/Common.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/MemoryManager.h"
#include "core/CRC32.h"

namespace {

// --- CRC-32 -----------------------------------------------------------------------------

TEST(Crc32Test, KnownTextsGiveTheUncomplementedCrc) {
    CRC32_InitTable();
    EXPECT_EQ(CRC32_String("abc"), 0xCADBBE3Du);
    EXPECT_EQ(CRC32_String("123456789"), 0x340BC6D9u);
    EXPECT_EQ(CRC32_String(""), 0xFFFFFFFFu);
    EXPECT_EQ(CRC32_String(nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(CRC32_Bytes("abc", 3), 0xCADBBE3Du);
    EXPECT_EQ(CRC32_Bytes("abc", 0), 0xFFFFFFFFu);
    EXPECT_EQ(CRC32_Bytes("abc", -5), 0xFFFFFFFFu);
}

// zlib's CRC-32 is the complemented form of ours, over every byte value and length.
TEST(Crc32Test, IsTheComplementOfZlibOverArbitraryBytes) {
    std::vector<unsigned char> bytes(1031);
    uint32_t x = 12345;
    for (unsigned char& b : bytes) b = static_cast<unsigned char>((x = x * 1103515245u + 12345u) >> 24);
    for (int32_t length : {1, 2, 7, 255, 256, 1031}) {
        const uint32_t zlibCrc = static_cast<uint32_t>(crc32(0L, bytes.data(), static_cast<uInt>(length)));
        EXPECT_EQ(CRC32_Bytes(bytes.data(), length), ~zlibCrc) << "length " << length;
    }
}

TEST(Crc32Test, StringStopsAtTheTerminator) {
    const char text[] = "key\0ignored";
    EXPECT_EQ(CRC32_String(text), CRC32_Bytes("key", 3));
    EXPECT_EQ(CRC32_String("\x80\xff"), CRC32_Bytes("\x80\xff", 2));  // bytes read unsigned
}

// --- The random generator ---------------------------------------------------------------

// WELL512a as its authors published it (Panneton, L'Ecuyer and Matsumoto), written here in
// the shape of their reference code so that it checks the runner's step independently.
class ReferenceWell512 {
public:
    explicit ReferenceWell512(int32_t seed, uint32_t temper = 0xda442d24U) : temper_(temper) {
        // State from the C run-time LCG: each word is the next (x >> 16) of the signed
        // 32-bit product, kept to 31 bits.
        int64_t x = seed;
        for (int k = 0; k < 16; ++k) {
            int64_t product = (x * 214013 + 2531011) & 0xFFFFFFFF;
            if (product >= 0x80000000LL) product -= 0x100000000LL;
            x = (product >> 16) & 0x7FFFFFFF;
            state_[k] = static_cast<uint32_t>(x);
        }
    }

    uint32_t FirstWord() const { return state_[0]; }

    uint32_t Next() {
        const uint32_t v0 = state_[i_];
        const uint32_t vm1 = state_[(i_ + kM1) & 0xfU];
        const uint32_t vm2 = state_[(i_ + kM2) & 0xfU];
        const uint32_t vrm1 = state_[(i_ + 15) & 0xfU];
        const uint32_t z0 = vrm1;
        const uint32_t z1 = Mat0Neg(-16, v0) ^ Mat0Neg(-15, vm1);
        const uint32_t z2 = Mat0Pos(11, vm2);
        const uint32_t newV1 = z1 ^ z2;
        state_[i_] = newV1;
        state_[(i_ + 15) & 0xfU] =
            Mat0Neg(-2, z0) ^ Mat0Neg(-18, z1) ^ Mat3Neg(-28, z2) ^ Mat4Neg(-5, temper_, newV1);
        i_ = (i_ + 15) & 0xfU;
        return state_[i_];
    }

private:
    static constexpr uint32_t kM1 = 13, kM2 = 9;
    static uint32_t Mat0Pos(int t, uint32_t v) { return v ^ (v >> t); }
    static uint32_t Mat0Neg(int t, uint32_t v) { return v ^ (v << (-t)); }
    static uint32_t Mat3Neg(int t, uint32_t v) { return v << (-t); }
    static uint32_t Mat4Neg(int t, uint32_t b, uint32_t v) { return v ^ ((v << (-t)) & b); }

    uint32_t state_[16] = {};
    uint32_t i_ = 0;
    uint32_t temper_;
};

class RandomTest : public ::testing::Test {
protected:
    void TearDown() override {
        Random_UseOldVersion(false);
        Random_SetSeed(RANDOM_GAME_SEED);
    }
};

TEST_F(RandomTest, FirstThousandWordsMatchTheReferenceGenerator) {
    for (int32_t seed : {0, 1, RANDOM_GAME_SEED, -7}) {
        EXPECT_EQ(Random_SetSeed(seed), seed);
        EXPECT_EQ(Random_GetSeed(), seed);
        ReferenceWell512 reference(seed);
        for (int n = 0; n < 1000; ++n) {
            const uint32_t expected = reference.Next();
            ASSERT_EQ(Random_Next(), expected) << "seed " << seed << ", draw " << n;
        }
    }
}

// The two tempering constants differ only in bit 2, which the masked (a << 5) never holds,
// so the old version draws the same words: the switch is kept for the built-in's sake.
TEST_F(RandomTest, OldVersionStepsWithTheOldTemperingConstant) {
    Random_UseOldVersion(true);
    Random_SetSeed(3);
    ReferenceWell512 old(3, 0xda442d20U);
    ReferenceWell512 current(3);
    for (int n = 0; n < 1000; ++n) {
        const uint32_t word = Random_Next();
        ASSERT_EQ(word, old.Next()) << "draw " << n;
        ASSERT_EQ(word, current.Next()) << "draw " << n;
    }
}

TEST_F(RandomTest, SeedingGivesTheLcgStateAndRepeatsTheSequence) {
    EXPECT_EQ(ReferenceWell512(0).FirstWord(), 38u);
    EXPECT_EQ(ReferenceWell512(1).FirstWord(), 41u);
    Random_SetSeed(0);
    uint32_t a = Random_Next();
    Random_SetSeed(0);
    EXPECT_EQ(Random_Next(), a);
    ReferenceWell512 zero(0);
    EXPECT_EQ(a, zero.Next());

    Random_SetSeed(RANDOM_GAME_SEED);
    std::vector<double> first;
    for (int n = 0; n < 20; ++n) first.push_back(Random_Real(10.0));
    Random_SetSeed(RANDOM_GAME_SEED);
    for (int n = 0; n < 20; ++n) EXPECT_EQ(Random_Real(10.0), first[n]);
}

TEST_F(RandomTest, RealIsTheWordScaledIntoTheRange) {
    Random_SetSeed(5);
    ReferenceWell512 reference(5);
    for (int n = 0; n < 200; ++n) {
        const double expected = static_cast<double>(reference.Next()) / 4294967296.0;
        const double r = Random_Real(1.0);
        ASSERT_EQ(r, expected);
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
    }
    EXPECT_EQ(Random_Real(0.0), 0.0);
}

TEST_F(RandomTest, IntModStaysBelowTheMagnitudeAndGuardsZero) {
    Random_SetSeed(9);
    bool seen[6] = {};
    for (int n = 0; n < 600; ++n) {
        const uint32_t r = Random_IntMod(-6);
        ASSERT_LT(r, 6u);
        seen[r] = true;
    }
    for (bool s : seen) EXPECT_TRUE(s);
    for (int n = 0; n < 100; ++n) ASSERT_LT(Random_IntMod(INT32_MIN), 0x80000000u);

    Random_SetSeed(9);
    ReferenceWell512 reference(9);
    EXPECT_EQ(Random_IntMod(0), 0u);  // no draw either
    EXPECT_EQ(Random_Next(), reference.Next());
}

TEST_F(RandomTest, IntRangeJoinsTwoWordsAndCarriesTheSign) {
    Random_SetSeed(11);
    ReferenceWell512 reference(11);
    for (int64_t n : {int64_t{7}, int64_t{-7}, int64_t{1} << 40, INT64_MAX, INT64_MIN}) {
        const uint64_t w1 = reference.Next();
        const uint64_t w2 = reference.Next();
        const uint64_t v = ((w2 & 0x7fffffffu) << 32) | w1;
        const uint64_t magnitude = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
        const uint64_t r = v % magnitude;
        const int64_t expected = n < 0 ? -static_cast<int64_t>(r) : static_cast<int64_t>(r);
        EXPECT_EQ(Random_IntRange(n), expected) << "n " << n;
    }
    EXPECT_EQ(Random_IntRange(0), 0);
    EXPECT_EQ(Random_Next(), reference.Next());  // the zero guard drew nothing
}

TEST(CrtRandTest, FifteenBitLcg) {
    CRT_SRand(RANDOM_GAME_SEED);
    uint32_t x = RANDOM_GAME_SEED;
    for (int n = 0; n < 1000; ++n) {
        x = x * 214013u + 2531011u;
        const int32_t r = CRT_Rand();
        ASSERT_EQ(r, static_cast<int32_t>((x >> 16) & 0x7fff));
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
    }
    CRT_SRand(1);
    EXPECT_EQ(CRT_Rand(), 41);  // (214013 + 2531011) >> 16
}

// --- Text -------------------------------------------------------------------------------

TEST(HashNewlinesTest, ConvertsInPlaceAndCountsCharacters) {
    struct Case {
        const char* in;
        const char* out;
        int32_t count;
    };
    const Case cases[] = {
        {"a#b", "a\rb", 3},
        {"a\\#b", "a#b", 3},
        {"#", "\r", 1},
        {"", "", 0},
        {"\\##", "#\r", 2},  // the '#' just read counts as the previous character
        {"#\\#", "\r#", 2},
        {"h\xc3\xa9#llo", "h\xc3\xa9\rllo", 6},
        {"\xf0\x9f\x98\x80#", "\xf0\x9f\x98\x80\r", 3},  // bytes kept; counted by lead bytes
        {"\xc3#", "\xc3\r", 2},                          // a cut character never swallows '#'
        {"ab\xe2\x82", "ab\xe2\x82", 3},                 // cut character stops at the terminator
    };
    for (const Case& c : cases) {
        std::string buffer = c.in;
        std::vector<char> text(buffer.begin(), buffer.end());
        text.push_back(0);
        EXPECT_EQ(String_ConvertHashNewlines(text.data()), c.count) << c.in;
        EXPECT_STREQ(text.data(), c.out) << c.in;
    }
    EXPECT_EQ(String_ConvertHashNewlines(nullptr), 0);
}

TEST(WideToAsciiTest, KeepsTheLowByteOfEachUnit) {
    const char16_t text[] = {u'A', 0x00e9, 0x4e2d, u'z', 0};
    char* out = Common_WideToAscii(text);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(std::strlen(out), 4u);
    EXPECT_EQ(static_cast<unsigned char>(out[1]), 0xe9);
    EXPECT_EQ(static_cast<unsigned char>(out[2]), 0x2d);
    MEM_FREE(out);
    EXPECT_EQ(Common_WideToAscii(nullptr), nullptr);
}

TEST(PixelsTest, OpaqueAndRedBlueSwapTouchOnlyTheirBytes) {
    uint8_t pixels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    Pixels_SwapRedBlue(pixels, 3, 1);
    Pixels_SetOpaque(pixels, 1, 2);
    const uint8_t expected[] = {3, 2, 1, 255, 7, 6, 5, 255, 11, 10, 9, 12};
    EXPECT_EQ(std::memcmp(pixels, expected, sizeof pixels), 0);
    Pixels_SetOpaque(pixels, -1, 3);  // no pixels: nothing written
    EXPECT_EQ(pixels[11], 12);
    EXPECT_FALSE(Platform_VertexColoursNeedSwap());
}

}  // namespace
