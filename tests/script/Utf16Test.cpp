// UTF-16 strings, the UTF-8 cursor, literal matches, the pair list and the text buffers.
#include <cstring>

#include "ScriptTestSupport.h"
#include "core/VariableList.h"
#include "script/JS_UTF16.h"

namespace {

using script_test::ScriptTest;

class Utf16Test : public ScriptTest {};

const char* const kMixed = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a, e-acute, euro, grinning face

TEST_F(Utf16Test, CodeUnitsOfMixedText) {
    C_UTF16String s(kMixed);
    ASSERT_EQ(s.count, 5);
    const uint16_t expected[] = {0x61, 0xE9, 0x20AC, 0xD83D, 0xDE00};
    RValue text = String(kMixed);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(s.units[i], expected[i]);
        EXPECT_EQ(JS_Utf8CodeUnitAt(&text, i), expected[i]);
    }
    EXPECT_EQ(JS_Utf8CodeUnitAt(&text, 5), 0);
    EXPECT_EQ(JS_Utf8CodeUnitAt(&text, -1), 0);
    RValue_Release(&text);
}

TEST_F(Utf16Test, CursorDecodesEachLengthAndStopsAtTheEnd) {
    Utf8Cursor cyrillic("\xD0\x96\xD1\x8F");  // two-byte sequences
    EXPECT_EQ(cyrillic.Next(), 0x416u);
    EXPECT_EQ(cyrillic.Next(), 0x44Fu);
    EXPECT_EQ(cyrillic.Next(), 0u);
    // A four-byte lead at the end of the text reads no further than the text.
    const char cut[] = {'\xF0', '\x9F'};
    Utf8Cursor truncated(cut, 2);
    truncated.Next();
    EXPECT_TRUE(truncated.AtEnd());
    EXPECT_EQ(truncated.Position(), cut + 2);
}

TEST_F(Utf16Test, RangesToUtf8) {
    C_UTF16String s(kMixed);
    RValue out = RValue_Undefined();
    s.ToUtf8Range(&out, 0, 5);
    EXPECT_STREQ(RValue_GetStringText(&out), kMixed);
    // Cutting the pair after its high half leaves that half alone, as three bytes.
    s.ToUtf8Range(&out, 3, 1);
    EXPECT_STREQ(RValue_GetStringText(&out), "\xED\xA0\xBD");
    s.ToUtf8Range(&out, 1, 2);
    EXPECT_STREQ(RValue_GetStringText(&out), "\xC3\xA9\xE2\x82\xAC");
    s.ToUtf8Range(&out, 4, 50);  // kept inside the text: the lone low half
    EXPECT_STREQ(RValue_GetStringText(&out), "\xED\xB8\x80");

    C_UTF16String plain("\x7F\xEE\x80\x80");  // U+007F and U+E000
    plain.ToUtf8Range(&out, 0, 2);
    EXPECT_STREQ(RValue_GetStringText(&out), "\x7F\xEE\x80\x80");

    // A high half followed by no low half is dropped; the unit after it stands.
    C_UTF16String broken("");
    uint16_t units[] = {0xD800, 0x41};
    broken.units = units;
    broken.count = 2;
    broken.ToUtf8Range(&out, 0, 2);
    EXPECT_STREQ(RValue_GetStringText(&out), "A");
    broken.units = nullptr;
    RValue_Release(&out);
}

TEST_F(Utf16Test, IndexOf) {
    C_UTF16String abcd("abcd"), empty(""), text("abcbc"), needle("bc");
    EXPECT_EQ(abcd.IndexOf(empty, 10), 4);
    EXPECT_EQ(abcd.IndexOf(empty, 2), 2);
    EXPECT_EQ(text.IndexOf(needle, 2), 3);
    EXPECT_EQ(text.IndexOf(needle, 0), 1);
    EXPECT_EQ(text.IndexOf(needle, 4), -1);
    EXPECT_EQ(text.IndexOf(needle, 9), -1);
}

TEST_F(Utf16Test, StringObjectOwnsItsCopy) {
    PWObjectBase* o = NewObject();
    C_UTF16String* copy = JS_AttachUTF16(o, kMixed);
    ASSERT_NE(copy, nullptr);
    RValue* value = &o->variables->FindName(JS_PRIMITIVE_VALUE_UTF16)->value;
    EXPECT_EQ(value->flags & VALUE_FLAG_OWNS_OBJECT, VALUE_FLAG_OWNS_OBJECT);
    EXPECT_EQ(copy->count, 5);
    RValue_Release(value);  // destroys the copy (checked by the sanitizer build)
    EXPECT_EQ(value->ptr, nullptr);
}

TEST_F(Utf16Test, MatchLiteralAt) {
    JSMatchRecord* m = JS_MatchLiteralAt("hello world", 6, "world");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->end, 11);
    MEM_FREE(m);
    EXPECT_EQ(JS_MatchLiteralAt("hello", 3, "lox"), nullptr);
    EXPECT_EQ(JS_MatchLiteralAt("hello", 4, "ox"), nullptr);
    EXPECT_EQ(JS_MatchLiteralAt("hello", -1, "h"), nullptr);
}

TEST_F(Utf16Test, PairListReleasesByMode) {
    RValue name = String("key");
    {
        JSPairList list(1);
        RValue d = RValue_Real(1);
        list.Append(&name, &d);
        list.Append(&name, &d);
        EXPECT_EQ(list.count, 2);
        EXPECT_EQ(name.str->refCount, 3);
    }
    EXPECT_EQ(name.str->refCount, 1);
    RValue_Release(&name);
}

TEST_F(Utf16Test, TextBuffers) {
    JSTextBuffer growable;
    growable.Append("");
    EXPECT_STREQ(growable.data, "");
    std::string expected;
    for (int i = 0; i < 200; ++i) {
        growable.Append("abc");
        expected += "abc";
    }
    EXPECT_EQ(growable.data, expected);
    EXPECT_EQ(growable.used, 600);
    char* at = growable.Reserve(1);  // room for one byte and its terminator
    at[0] = 'x';
    at[1] = '\0';
    growable.Free();
    EXPECT_EQ(growable.capacity, 0);
    JSTextBuffer small;
    char* one = small.Reserve(1);
    one[0] = 'y';
    one[1] = '\0';
    EXPECT_GE(small.capacity, 2);

    JSFixedTextBuffer fixed;
    fixed.Append("ab");
    fixed.Append('c');
    EXPECT_STREQ(fixed.data, "abc");
    std::string big(40000, 'z');
    fixed.Append(big.c_str());
    EXPECT_EQ(std::strlen(fixed.data), 32767u);
    fixed.Append('!');
    EXPECT_EQ(std::strlen(fixed.data), 32767u);
}

}  // namespace
