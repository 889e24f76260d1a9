#include <gtest/gtest.h>

#include "core/UTF8.h"

namespace {

TEST(UTF8, DecodeEncodeAndSize) {
    const char* e = "\xC3\xA9";
    EXPECT_EQ(UTF8_GetChar(e), 0x00E9);
    EXPECT_EQ(*e, '\0');

    char out[8] = {};
    char* cursor = out;
    UTF8_PutChar(cursor, 0x20AC);
    EXPECT_EQ(cursor - out, 3);
    EXPECT_STREQ(out, "\xE2\x82\xAC");
    EXPECT_EQ(UTF8_CharSize(0x20AC), 3);
    EXPECT_EQ(UTF8_CharSize(0x7F), 1);
    EXPECT_EQ(UTF8_CharSize(0x7FF), 2);

    // A four-byte lead is taken as three bytes; the code point keeps 16 bits.
    const char* four = "\xF0\x9F\x98\x80";
    EXPECT_EQ(UTF8_GetChar(four), uint16_t((0xF0 << 12) | (0x1F << 6) | 0x18));
    EXPECT_EQ(UTF8_Length("a\xC3\xA9\xE2\x82\xAC"), 3);
}

TEST(UTF8, NeverStepsPastTheTerminator) {
    // Lead bytes that promise more bytes than the text has.
    struct Case {
        const char* text;
        int32_t length;  // characters
        int32_t firstBytes;
    } cases[] = {
        {"\xE2", 1, 1}, {"\xE2\x82", 1, 2}, {"\xC3", 1, 1}, {"a\xE2", 2, 1}, {"\xF0\x9F", 1, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UTF8_Length(c.text), c.length) << c.text;
        const char* cursor = c.text;
        UTF8_GetChar(cursor);
        EXPECT_EQ(cursor - c.text, c.firstBytes);
    }
    const char* cursor = "\xE2";
    EXPECT_EQ(UTF8_GetChar(cursor), uint16_t(0xE2 << 12)) << "missing bytes count as zero bits";
    EXPECT_EQ(UTF8_GetChar(cursor), 0) << "at the terminator the cursor stays";
    EXPECT_EQ(UTF8_StrStr("ab\xE2", "\xE2\x82"), nullptr);
    EXPECT_EQ(UTF8_CompareNoCase("x\xE2", "x\xE2"), 0);
}

TEST(UTF8, Comparisons) {
    EXPECT_EQ(UTF8_CompareNoCase("ABC", "abc"), 0);
    EXPECT_EQ(UTF8_CompareNoCase("abc", "abd"), -1);
    EXPECT_EQ(UTF8_CompareNoCase("a", "B"), 0x61 - 0x42);
    EXPECT_EQ(UTF8_CompareNoCase("ab", "abc"), -'c');
    EXPECT_EQ(UTF8_CompareNoCase("\xC3\xA9", "\xC3\x89"), 0xE9 - 0xC9) << "only ASCII folds";

    EXPECT_EQ(UTF8_CompareN("abcX", "abcY", 3), 0);
    EXPECT_EQ(UTF8_CompareN("abcX", "abcY", 4), -1);
    EXPECT_EQ(UTF8_CompareN("ab", "ab", 10), 0);
    EXPECT_EQ(UTF8_CompareN("ab", "abc", 3), -'c');
}

TEST(UTF8, StrStr) {
    const char* hello = "hello";
    EXPECT_EQ(UTF8_StrStr(hello, "ll"), hello + 2);
    EXPECT_EQ(UTF8_StrStr(hello, ""), hello);
    EXPECT_EQ(UTF8_StrStr("", ""), nullptr);
    EXPECT_EQ(UTF8_StrStr(hello, "lo!"), nullptr);
    const char* accented = "x\xC3\xA9y\xC3\xA9z";
    EXPECT_EQ(UTF8_StrStr(accented, "\xC3\xA9z"), accented + 4);
}

TEST(UTF8, FloatHelpers) {
    EXPECT_EQ(FloorFloat(-1.5f), -2.0f);
    EXPECT_EQ(FloorFloat(2.75f), 2.0f);
    EXPECT_EQ(FModFloat(7.5f, 2.0f), 1.5f);
    EXPECT_EQ(FModFloat(-7.5f, 2.0f), -1.5f);
    EmptyCallback(nullptr, nullptr);
}

}  // namespace
