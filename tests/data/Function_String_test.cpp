#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "BuiltinTestSupport.h"

namespace {

using StringTest = BuiltinTest;

struct TextCase {
    const char* name;
    std::vector<RValue> args;
    std::string expected;
};

// Runs each case and checks its text; the arguments are released by the call.
void ExpectTexts(std::vector<TextCase> cases) {
    for (TextCase& c : cases) {
        std::string label = c.name;
        EXPECT_EQ(BuiltinTest::Run(c.name, std::move(c.args))->Text(), c.expected)
            << label << " -> " << c.expected;
    }
}

struct RealCase {
    const char* name;
    std::vector<RValue> args;
    double expected;
};

void ExpectReals(std::vector<RealCase> cases) {
    for (RealCase& c : cases) {
        std::string label = c.name;
        EXPECT_EQ(BuiltinTest::Run(c.name, std::move(c.args))->Real(), c.expected)
            << label << " -> " << c.expected;
    }
}

TEST_F(StringTest, TextFormOfValues) {
    Owned array;
    for (int i = 0; i < 3; ++i) {
        RValue item = R(i + 1);
        RValue_SetIndexed(&array.v, &item, i);
    }
    ExpectTexts({
        {"string", {R(5)}, "5"},
        {"string", {R(0.5)}, "0.50"},
        {"string", {R(-0.25)}, "-0.25"},
        {"string", {I32(-7)}, "-7"},
        {"string", {I64(1LL << 40)}, "1099511627776"},
        {"string", {RValue_Undefined()}, "undefined"},
        {"string", {S("as is")}, "as is"},
        {"string", {Ref(array.v)}, "{ { 1,2,3 },  }"},
    });
}

TEST_F(StringTest, FormatWidthIsTotPlusDecAndTheTextIsNeverCut) {
    ExpectTexts({
        {"string_format", {R(3.14159), R(3), R(2)}, " 3.14"},
        {"string_format", {R(7), R(0), R(3)}, "7.000"},
        {"string_format", {S("x"), R(3), R(2)}, "x"},
        {"string_format", {R(-1.5), R(2), R(1)}, "-1.5"},
        {"string_format", {R(2), R(-5), R(0)}, "2    "},      // a negative width pads on the right
        {"string_format", {R(3.14159), R(5), R(-2)}, "  3"},  // negative decimals print none
    });
    char expected[400];
    std::snprintf(expected, sizeof expected, "%.2f", 1e300);
    const std::string big = Text("string_format", {R(1e300), R(0), R(2)});
    EXPECT_EQ(big, expected);
    EXPECT_GT(big.size(), 255u);
    EXPECT_EQ(Text("string_format", {R(1), R(0), R(600)}).size(), 602u);
}

TEST_F(StringTest, CharactersAndCodePoints) {
    ExpectTexts({
        {"chr", {R(65)}, "A"},
        {"chr", {R(233)}, "\xc3\xa9"},
        {"chr", {R(0x20AC)}, "\xe2\x82\xac"},
        {"chr", {R(0x1F600)}, "\xef\x98\x80"},  // bits above 16 are lost
        {"chr", {R(0)}, ""},
        {"chr", {R(-1)}, "\x7f"},
        {"ansi_char", {R(200)}, "\xc8"},
        {"ansi_char", {R(256 + 65)}, "A"},
    });
    ExpectReals({
        {"ord", {S("\xc3\xa9")}, 233},
        {"ord", {S("")}, 0},
        {"ord", {S(nullptr)}, 0},
        {"string_length", {S("h\xc3\xa9llo")}, 5},
        {"string_byte_length", {S("h\xc3\xa9llo")}, 6},
        {"string_length", {S(nullptr)}, 0},
        {"string_byte_length", {S(nullptr)}, 0},
        {"string_ord_at", {S("abc"), R(4)}, -1},
        {"string_ord_at", {S("h\xc3\xa9llo"), R(2)}, 233},
        {"string_ord_at", {S(nullptr), R(1)}, -1},
        {"string_byte_at", {S("abc"), R(1)}, 97},
        {"string_byte_at", {S("\xc3\xa9"), R(1)}, -61},  // bytes read as signed
        {"string_byte_at", {S("abc"), R(0)}, 97},
        {"string_byte_at", {S("abc"), R(10)}, 99},
        {"string_byte_at", {S(""), R(1)}, 0},
    });
    ExpectTexts({
        {"string_char_at", {S("abc"), R(0)}, "a"},
        {"string_char_at", {S("abc"), R(1)}, "a"},
        {"string_char_at", {S("abc"), R(4)}, ""},
        {"string_char_at", {S("h\xc3\xa9llo"), R(2)}, "\xc3\xa9"},
        {"string_char_at", {S(nullptr), R(1)}, ""},
    });
}

TEST_F(StringTest, CopyDeleteInsertByCharacters) {
    ExpectTexts({
        {"string_copy", {S("hello"), R(2), R(3)}, "ell"},
        {"string_copy", {S("hello"), R(0), R(2)}, "he"},
        {"string_copy", {S("hello"), R(4), R(10)}, "lo"},
        {"string_copy", {S("hello"), R(2), R(-1)}, ""},
        {"string_copy", {S("hello"), R(9), R(2)}, ""},
        {"string_copy", {S("h\xc3\xa9llo"), R(2), R(2)}, "\xc3\xa9l"},
        {"string_copy", {S("ab\xe2"), R(3), R(1)}, "\xe2"},  // a cut character stops at the end
        {"string_copy", {S(nullptr), R(1), R(3)}, ""},
        {"string_delete", {S("abcdef"), R(3), R(2)}, "abef"},
        {"string_delete", {S("abcdef"), R(3), R(0)}, "abcdef"},
        {"string_delete", {S("abcdef"), R(7), R(1)}, "abcdef"},
        {"string_delete", {S("abcdef"), R(0), R(1)}, "abcdef"},
        {"string_delete", {S("abcdef"), R(5), R(100)}, "abcd"},
        {"string_delete", {S("h\xc3\xa9llo"), R(2), R(1)}, "hllo"},
        {"string_insert", {S("X"), S("abc"), R(1)}, "Xabc"},
        {"string_insert", {S("X"), S("abc"), R(0)}, "Xabc"},
        {"string_insert", {S("X"), S("abc"), R(-5)}, "Xabc"},
        {"string_insert", {S("X"), S("abc"), R(10)}, "abcX"},
        {"string_insert", {S("X"), S("h\xc3\xa9llo"), R(3)}, "h\xc3\xa9Xllo"},
        {"string_insert", {S(nullptr), S("abc"), R(2)}, "abc"},
    });
}

TEST_F(StringTest, SearchReplaceAndCount) {
    ExpectReals({
        {"string_pos", {S(""), S("abc")}, 0},
        {"string_pos", {S("c"), S("abc")}, 3},
        {"string_pos", {S("l"), S("h\xc3\xa9llo")}, 3},
        {"string_pos", {S("z"), S("abc")}, 0},
        {"string_pos", {S("a"), S(nullptr)}, 0},
        {"string_count", {S("aa"), S("aaaa")}, 3},
        {"string_count", {S("\xc3\xa9"), S("\xc3\xa9\xc3\xa9")}, 2},
        {"string_count", {S(""), S("abc")}, 3},
        {"string_count", {S("x"), S("")}, 0},
    });
    ExpectTexts({
        {"string_replace_all", {S("aaa"), S("a"), S("aa")}, "aaaaaa"},
        {"string_replace", {S("abab"), S("b"), S("")}, "aab"},
        {"string_replace", {S("abab"), S("ab"), S("x")}, "xab"},
        {"string_replace_all", {S("abab"), S("ab"), S("x")}, "xx"},
        {"string_replace_all", {S("abc"), S(""), S("x")}, "abc"},
        {"string_replace_all", {S("h\xc3\xa9llo w\xc3\xa9"), S("\xc3\xa9"), S("e")}, "hello we"},
        {"string_replace_all", {S(nullptr), S("a"), S("b")}, ""},
        {"string_replace_all", {S(""), S("a"), S("b")}, ""},
    });
}

TEST_F(StringTest, RepeatAndFilters) {
    ExpectTexts({
        {"string_repeat", {S("ab"), R(3)}, "ababab"},
        {"string_repeat", {S("ab"), R(0)}, ""},
        {"string_repeat", {S("ab"), R(-2)}, ""},
        {"string_repeat", {S(nullptr), R(3)}, ""},
        {"string_lettersdigits", {S("a-1 b_2")}, "a1b2"},
        {"string_letters", {S("h\xc3\xa9llo1")}, "hllo"},
        {"string_digits", {S("a1b22\xe2\x82\xac")}, "122"},
    });
    // A result that could not be held is reported, not cut or overrun.
    EXPECT_EQ(Text("string_repeat", {S("0123456789abcdef"), R(200000000)}), "");
    EXPECT_EQ(Reported(), std::vector<std::string>{"string_repeat : result too long"});
}

TEST_F(StringTest, CaseMappingUsesUnicodeTablesWithoutTouchingTheLocale) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    ExpectTexts({
        {"string_lower", {S("H\xc3\x89LLO \xc3\x84")}, "h\xc3\xa9llo \xc3\xa4"},
        {"string_upper",
         {S("stra\xc3\x9f"
            "e")},
         "STRA\xc3\x9f"
         "E"},
        {"string_upper", {S("\xc4\xb1")}, "I"},             // dotless i
        {"string_lower", {S("\xc8\xba")}, "\xe2\xb1\xa5"},  // grows from 2 to 3 bytes
        {"string_lower",
         {S("A\xf0\x9f\x98\x80"
            "B")},
         "a\xf0\x9f\x98\x80"
         "b"},                                    // kept whole
        {"string_upper", {S("x\xc3")}, "X\xc3"},  // cut character kept
        {"string_lower", {S(nullptr)}, ""},
    });
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
}

TEST_F(StringTest, SetByteAtReportsPositionsPastTheEnd) {
    ExpectTexts({
        {"string_set_byte_at", {S("abc"), R(2), R(88)}, "aXc"},
        {"string_set_byte_at", {S("abc"), R(2), R(0)}, "a"},
        {"string_set_byte_at", {S("abc"), R(2), R(256 + 89)}, "aYc"},
    });
    EXPECT_TRUE(Reported().empty());
    auto past = Run("string_set_byte_at", {S("abc"), R(4), R(88)});
    EXPECT_EQ(past->Text(), "abc");
    auto before = Run("string_set_byte_at", {S("abc"), R(0), R(88)});
    EXPECT_EQ(before->Text(), "abc");
    EXPECT_EQ(Reported(), std::vector<std::string>(2, "string_set_byte_at : index beyond end of string"));

    // The argument's own text is never changed.
    Owned original;
    original.v = S("abc");
    Run("string_set_byte_at", {Ref(original.v), R(1), R(90)});
    EXPECT_STREQ(RValue_GetStringText(&original.v), "abc");
}

}  // namespace
