#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "ValueTestSupport.h"
#include "core/CRuntimeCompat.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

RValue KindOnly(uint32_t kind) {
    RValue v = RValue_Undefined();
    v.kind = kind;
    return v;
}

std::string Fixed2(double d) {
    char text[512];
    std::snprintf(text, sizeof text, "%.2f", d);
    return text;
}

TEST(ValueText, Numbers) {
    struct Case {
        double value;
        std::string text;
    } cases[] = {
        {3.0, "3"},
        {2.5, "2.50"},
        {-0.0, "0"},
        {0.125, "0.12"},
        {-7.006, "-7.01"},
        {kNaN, "NaN"},
        {-9223372036854775808.0, "-9223372036854775808"},
        {9.3e18, Fixed2(9.3e18)},  // beyond int64: the fractional form, not a wrapped integer
        {1e300, Fixed2(1e300)},
        {kInf, "inf"},
        {-kInf, "-inf"},
    };
    for (const Case& c : cases) {
        RValue v = RValue_Real(c.value);
        EXPECT_EQ(TextOf(&v), c.text) << c.value;
    }
}

TEST(ValueText, OtherKinds) {
    RuntimeErrorRecorder errors;
    RValue pointer = KindOnly(VALUE_PTR);
    pointer.ptr = reinterpret_cast<void*>(uintptr_t(0xABCDEF0123ull));
    struct Case {
        RValue value;
        std::string text;
    } cases[] = {
        {RValue_Int32(-7), "-7"},       {RValue_Int64(int64_t(1) << 40), "1099511627776"},
        {RValue_Bool(1.0), "1"},        {RValue_Bool(0.0), "0"},
        {RValue_Bool(2.5), "1"},        {RValue_Undefined(), "undefined"},
        {pointer, "000000ABCDEF0123"},  {KindOnly(VALUE_OBJECT), "null"},
        {KindOnly(VALUE_NULL), ""},     {KindOnly(VALUE_ITERATOR), ""},
        {KindOnly(VALUE_ACCESSOR), ""},
    };
    for (const Case& c : cases) EXPECT_EQ(TextOf(&c.value), c.text) << c.value.kind;
    EXPECT_EQ(errors.Take(), "");

    RValue unset = KindOnly(VALUE_UNSET);
    EXPECT_EQ(TextOf(&unset), "");
    EXPECT_EQ(errors.Take(), "STRING argument is unset");
    // The nesting depth went back to 0: a later array still prints in full.
    Held a;
    SetElement(&a.v, 0, RValue_Real(1));
    EXPECT_EQ(TextOf(&a.v), "{ { 1 },  }");
}

TEST(ValueText, Arrays) {
    Held flat, grid, self, shared, noRecord;
    for (int i = 0; i < 3; ++i) SetElement(&flat.v, i, RValue_Real(i + 1));
    EXPECT_EQ(TextOf(&flat.v), "{ { 1,2,3 },  }");
    EXPECT_EQ(TextOf(&flat.v), "{ { 1,2,3 },  }") << "a later call prints it again";

    SetElementText(&grid.v, 0, "a");
    SetElement(&grid.v, 2 * ARRAY_ROW_STRIDE + 1, RValue_Int32(4));
    RValue_SetIndexed(&grid.v, &flat.v, 1);
    EXPECT_EQ(TextOf(&grid.v), "{ { a,{ { 1,2,3 },  } }, {  }, { 0,4 },  }");

    SetElement(&self.v, 0, RValue_Real(1));
    RValue_SetIndexed(&self.v, &self.v, 1);  // now holds itself
    EXPECT_EQ(TextOf(&self.v), "{ { 1,{  } },  }");
    // Break the cycle so the record is freed.
    SetElement(&self.v, 1, RValue_Real(0));

    RValue_SetIndexed(&shared.v, &flat.v, 0);
    RValue_SetIndexed(&shared.v, &flat.v, 1);
    EXPECT_EQ(TextOf(&shared.v), "{ { { { 1,2,3 },  },{  } },  }");

    noRecord.v.kind = VALUE_ARRAY;
    noRecord.v.arr = nullptr;
    EXPECT_EQ(TextOf(&noRecord.v), "{  }");
}

TEST(ValueText, BufferGrowsAndKeepsItsCursor) {
    char* base = nullptr;
    char* cursor = nullptr;
    int32_t capacity = 0;
    std::string expected;
    for (int i = 0; i < 200; ++i) {
        RValue v = RValue_Int32(i);
        RValue_AppendText(cursor, base, capacity, &v);
        TextBuffer_Append(cursor, base, capacity, ";");
        expected += std::to_string(i) + ";";
    }
    EXPECT_EQ(std::string(base), expected);
    EXPECT_EQ(cursor - base, static_cast<ptrdiff_t>(expected.size()));
    EXPECT_GT(capacity, static_cast<int32_t>(expected.size()));
    MEM_FREE(base);
}

// --- Converters -------------------------------------------------------------------------

TEST(ValueConvert, ToNumbers) {
    RuntimeErrorRecorder errors;
    struct Case {
        RValue value;
        double real;
        int32_t i32;
        int64_t i64;
        intptr_t pointer;
    } cases[] = {
        {RValue_Real(2.7), 2.7, 2, 2, 2},
        {RValue_Real(-2.7), -2.7, -2, -2, 0xFFFFFFFE},
        {RValue_Real(3e9), 3e9, INT32_MIN, 3000000000, 3000000000},
        {RValue_Real(kNaN), kNaN, INT32_MIN, INT64_MIN, 0},
        {RValue_Bool(1.0), 1.0, 1, 1, 1},
        {RValue_Int32(-5), -5, -5, -5, 0xFFFFFFFB},
        {RValue_Int64(0x100000007), double(0x100000007), 7, 0x100000007, 7},
        {RValue_Undefined(), 0, 0, 0, 0},
    };
    for (Case& c : cases) {
        if (std::isnan(c.real)) {
            EXPECT_TRUE(std::isnan(RValue_ToReal(&c.value)));
        } else {
            EXPECT_EQ(RValue_ToReal(&c.value), c.real);
        }
        EXPECT_EQ(RValue_ToInt32(&c.value), c.i32) << c.real;
        EXPECT_EQ(RValue_ToInt64(&c.value), c.i64) << c.real;
        EXPECT_EQ(RValue_ToPointer(&c.value), c.pointer) << c.real;
    }
    EXPECT_EQ(errors.Take(), "");
}

TEST(ValueConvert, StringsParseAsTheCRuntimeDoes) {
    struct Case {
        const char* text;
        double real;
        int32_t i32;
        int64_t i64;
        intptr_t pointer;
    } cases[] = {
        {"12", 12, 12, 12, 0x12},
        {"  -3.5e2xyz", -350, -3, -3, -3},
        {"0x10", 0, 0, 0, 16},
        {"inf", 0, 0, 0, 0},
        {"99999999999", 99999999999.0, INT32_MAX, 99999999999, 0x99999999999},
        {"-99999999999", -99999999999.0, INT32_MIN, -99999999999, -0x99999999999},
        {".5", 0.5, 0, 0, 0},
        {"ff", 0, 0, 0, 255},
        {"", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Held s(c.text);
        EXPECT_EQ(RValue_ToReal(&s.v), c.real) << c.text;
        EXPECT_EQ(RValue_ToInt32(&s.v), c.i32) << c.text;
        EXPECT_EQ(RValue_ToInt64(&s.v), c.i64) << c.text;
        EXPECT_EQ(RValue_ToPointer(&s.v), c.pointer) << c.text;
    }
    Held noRecord;
    noRecord.v.kind = VALUE_STRING;
    noRecord.v.str = nullptr;
    EXPECT_EQ(RValue_ToReal(&noRecord.v), 0.0);
}

TEST(ValueConvert, ArraysConvertByElementZero) {
    Held empty;
    empty.v.kind = VALUE_ARRAY;
    empty.v.arr = nullptr;
    EXPECT_EQ(RValue_ToReal(&empty.v), 0.0);
    ASSERT_NE(empty.v.arr, nullptr);
    EXPECT_EQ(empty.v.arr->rows[0].length, 1);
    EXPECT_EQ(empty.v.arr->owner, &empty.v);

    Held nested;
    SetElement(RValue_ElementRef(&nested.v, 0), 0, RValue_Real(7.9));
    EXPECT_EQ(RValue_ToInt32(&nested.v), 7);

    // An array whose element 0 is itself has no number; the conversion must still end.
    Held self;
    SetElement(&self.v, 1, RValue_Real(1));
    RValue_SetIndexed(&self.v, &self.v, 0);
    EXPECT_EQ(RValue_ToReal(&self.v), 0.0);
    EXPECT_EQ(ItemAt(self.v, 0, 0).arr, self.v.arr) << "the walk changed nothing";
    SetElement(&self.v, 0, RValue_Real(0));
}

TEST(ValueConvert, WrongKindsRaiseNamedErrors) {
    RuntimeErrorRecorder errors;
    RValue pointer = KindOnly(VALUE_PTR);
    RValue unset = KindOnly(VALUE_UNSET);
    RValue object = KindOnly(VALUE_OBJECT);
    EXPECT_EQ(RValue_ToReal(&pointer), 0.0);
    EXPECT_EQ(errors.Take(), "REAL argument incorrect type 3");
    EXPECT_EQ(RValue_ToReal(&unset), 0.0);
    EXPECT_EQ(errors.Take(), "REAL argument is unset");
    EXPECT_EQ(RValue_ToInt32(&object), 0);
    EXPECT_EQ(errors.Take(), "I32 argument incorrect type 6");
    EXPECT_EQ(RValue_ToInt32(&unset), 0);
    EXPECT_EQ(errors.Take(), "I32 argument is unset");
    EXPECT_EQ(RValue_ToInt64(&object), 0);
    EXPECT_EQ(errors.Take(), "I64 argument incorrect type 6");
    EXPECT_EQ(RValue_ToInt64(&unset), 0);
    EXPECT_EQ(errors.Take(), "I64 argument is unset");
    EXPECT_EQ(RValue_ToPointer(&object), 0);
    EXPECT_EQ(errors.Take(), "PTR argument incorrect type 6");
    EXPECT_EQ(RValue_ToPointer(&unset), 0);
    EXPECT_EQ(errors.Take(), "PTR argument is unset");
}

TEST(ValueConvert, Hash) {
    RuntimeErrorRecorder errors;
    Held text("abc"), array;
    SetElement(&array.v, 0, RValue_Real(1));
    RValue cases[] = {RValue_Real(3.9), RValue_Bool(1.0), RValue_Int64(0x500000005), RValue_Undefined()};
    EXPECT_EQ(RValue_Hash(&cases[0]), 3u);
    EXPECT_EQ(RValue_Hash(&cases[1]), 0u);
    EXPECT_EQ(RValue_Hash(&cases[2]), 5u);
    EXPECT_EQ(RValue_Hash(&cases[3]), 0u);
    EXPECT_EQ(RValue_Hash(&text.v), 0xCADBBE3Du);
    EXPECT_EQ(RValue_Hash(&array.v), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(array.v.arr->rows)));
    EXPECT_EQ(errors.Take(), "");
    RValue unset = KindOnly(VALUE_UNSET);
    RValue_Hash(&unset);
    EXPECT_EQ(errors.Take(), "HASH argument is unset");
}

// --- Argument getters -------------------------------------------------------------------

class ArgumentGetters : public ::testing::Test {
protected:
    void SetUp() override {
        strcpy(m_row.name, "test_builtin");
        m_saved = Builtin_Current;
        Builtin_Current = &m_row;
    }
    void TearDown() override { Builtin_Current = m_saved; }
    std::string Message(int kind, const char* tail) {
        return "test_builtin argument 2 incorrect type (" + std::to_string(kind) + ") expecting a " + tail;
    }
    BuiltinFunction m_row{};
    const BuiltinFunction* m_saved = nullptr;
    RuntimeErrorRecorder m_errors;
};

// Every getter over every kind: argument 2 (n = 1) holds the value under test.
TEST_F(ArgumentGetters, ResultsAndMessagesOnEveryKind) {
    Held text12("12"), array;
    SetElement(&array.v, 0, RValue_Real(1));
    RValue pointer = KindOnly(VALUE_PTR);
    pointer.ptr = reinterpret_cast<void*>(uintptr_t(0x1234567890));
    const RValue kinds[] = {
        RValue_Real(-2.7),
        RValue_Bool(1.0),
        RValue_Int32(-3),
        RValue_Int64(0x1FFFFFFFF),
        pointer,
        text12.v,
        KindOnly(VALUE_OBJECT),
        array.v,
        RValue_Undefined(),
        KindOnly(VALUE_NULL),
        KindOnly(VALUE_UNSET),
    };
    const char* names[] = {"real",   "bool",  "int32",     "int64", "pointer", "string",
                           "object", "array", "undefined", "null",  "unset"};
    // Expected result per getter and kind; NAN marks "error: message and the default".
    const double E = NAN;
    struct Row {
        const char* getter;
        const char* tail;
        double expected[11];
    } rows[] = {
        {"NumberOrPointer", "Number or Pointer", {-2, E, -3, -1, 0x34567890, E, E, E, E, E, E}},
        {"Bool", "Number (PWB)", {0, 1, 0, 1, E, E, E, E, E, E, E}},
        {"Int32", "Number (PWI32)", {-2, 1, -3, -1, E, 12, 0, E, E, E, E}},
        {"UInt32", "Number (PWU32)", {4294967294.0, 1, 4294967293.0, 4294967295.0, E, 12, 0, E, E, E, E}},
        {"Int64", "", {-2, 1, -3, double(0x1FFFFFFFF), E, 12, 0, E, E, E, E}},
        {"Real", "Number (PWR)", {-2.7, 1, -3, double(0x1FFFFFFFF), E, 12, 0, E, E, E, E}},
        {"Float", "Number (PWF)", {-2.7f, 1, -3, float(0x1FFFFFFFF), E, E, E, E, E, E, E}},
    };
    const double defaults[] = {-1, 0, 0, 0, 0, 0, 0};
    for (size_t g = 0; g < std::size(rows); ++g) {
        for (size_t k = 0; k < std::size(kinds); ++k) {
            RValue args[2] = {RValue_Real(0), kinds[k]};
            double got = 0;
            switch (g) {
                case 0:
                    got = Arg_GetNumberOrPointer(args, 1);
                    break;
                case 1:
                    got = Arg_GetBool(args, 1);
                    break;
                case 2:
                    got = Arg_GetInt32(args, 1);
                    break;
                case 3:
                    got = Arg_GetUInt32(args, 1);
                    break;
                case 4:
                    got = double(Arg_GetInt64(args, 1));
                    break;
                case 5:
                    got = Arg_GetReal(args, 1);
                    break;
                case 6:
                    got = Arg_GetFloat(args, 1);
                    break;
            }
            double expected = rows[g].expected[k];
            std::string message = m_errors.Take();
            SCOPED_TRACE(std::string(rows[g].getter) + " of " + names[k]);
            if (std::isnan(expected)) {
                EXPECT_EQ(got, defaults[g]);
                std::string wanted = g == 4 ? "test_builtin argument 2 incorrect type expecting a Number"
                                            : Message(int(kinds[k].kind), rows[g].tail);
                EXPECT_EQ(message, wanted);
            } else {
                EXPECT_EQ(got, expected);
                EXPECT_EQ(message, "");
            }
        }
    }
    // Strings: only a string gives text; an object gives null without a message.
    for (size_t k = 0; k < std::size(kinds); ++k) {
        RValue args[2] = {RValue_Real(0), kinds[k]};
        const char* text = Arg_GetString(args, 1);
        std::string message = m_errors.Take();
        SCOPED_TRACE(names[k]);
        if (kinds[k].kind == VALUE_STRING) {
            EXPECT_STREQ(text, "12");
            EXPECT_EQ(message, "");
        } else if (kinds[k].kind == VALUE_OBJECT) {
            EXPECT_EQ(text, nullptr);
            EXPECT_EQ(message, "");
        } else {
            EXPECT_EQ(text, nullptr);
            EXPECT_EQ(message, Message(int(kinds[k].kind), "String (PWS)"));
        }
    }
}

TEST_F(ArgumentGetters, EdgeValues) {
    struct Case {
        RValue value;
        bool asBool;
        int32_t asInt32;
        uint32_t asUInt32;
        int64_t asInt64;
        float asFloat;
    } cases[] = {
        {RValue_Real(0.5), false, 0, 0, 0, 0.5f},
        {RValue_Real(0.51), true, 0, 0, 0, 0.51f},
        {RValue_Real(kNaN), false, 0, 0, 0, 0.0f},
        {RValue_Real(kInf), true, 0, 0, 0, 0.0f},
        {RValue_Real(-1.0), false, -1, 4294967295u, -1, -1.0f},
        {RValue_Real(3e9), true, INT32_MIN, 3000000000u, 3000000000, 3e9f},
        {RValue_Real(1e300), true, INT32_MIN, 0, INT64_MIN, float(kInf)},
        // Either side of the int32 range, where the quick truncation hands over.
        {RValue_Real(2147483647.9), true, INT32_MAX, 2147483647u, 2147483647, 2147483648.0f},
        {RValue_Real(2147483648.0), true, INT32_MIN, 2147483648u, 2147483648, 2147483648.0f},
        {RValue_Real(-2147483648.9), false, INT32_MIN, 2147483648u, -2147483648, -2147483648.0f},
        {RValue_Real(-2147483649.0), false, INT32_MIN, 2147483647u, -2147483649, -2147483648.0f},
        {RValue_Bool(0.0), false, 0, 0, 0, 0.0f},
        {RValue_Bool(kNaN), true, 0, 0, 0, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.val);
        EXPECT_EQ(Arg_GetBool(&c.value, 0), c.asBool);
        EXPECT_EQ(Arg_GetInt32(&c.value, 0), c.asInt32);
        EXPECT_EQ(Arg_GetUInt32(&c.value, 0), c.asUInt32);
        EXPECT_EQ(Arg_GetInt64(&c.value, 0), c.asInt64);
        EXPECT_EQ(Arg_GetFloat(&c.value, 0), c.asFloat);
    }
    EXPECT_EQ(m_errors.Take(), "");

    // Strings take the script number grammar, unlike the C-runtime readers.
    struct Text {
        const char* text;
        double real;
        int32_t int32;
    } texts[] = {
        {"0x1F", 31, 31},      {"  Infinity ", kInf, 0}, {"-Infinity", -kInf, 0},
        {"1e3", 1000, 1000},   {"12abc", kNaN, 0},       {"", 0, 0},
        {" \t\xC2\xA0", 0, 0}, {"-0x10", kNaN, 0},       {"5.", 5, 5},
    };
    for (const Text& t : texts) {
        Held s(t.text);
        SCOPED_TRACE(t.text);
        double real = Arg_GetReal(&s.v, 0);
        if (std::isnan(t.real)) {
            EXPECT_TRUE(std::isnan(real));
        } else {
            EXPECT_EQ(real, t.real);
        }
        EXPECT_EQ(Arg_GetInt32(&s.v, 0), t.int32);
    }
    EXPECT_EQ(m_errors.Take(), "");
}

TEST(CRuntimeCompat, TruncationFollowsX86) {
    EXPECT_EQ(CRT_TruncToInt32(2147483647.9), INT32_MAX);
    EXPECT_EQ(CRT_TruncToInt32(-2147483648.9), INT32_MIN);
    EXPECT_EQ(CRT_TruncToInt32(2147483648.0), INT32_MIN);
    EXPECT_EQ(CRT_TruncToInt32(-kInf), INT32_MIN);
    EXPECT_EQ(CRT_TruncToInt64(9223372036854775808.0), INT64_MIN);
    EXPECT_EQ(CRT_TruncToInt64(-9223372036854775808.0), INT64_MIN);
    EXPECT_EQ(CRT_TruncToInt64(-1.5), -1);
    EXPECT_EQ(CRT_atof("1e400"), kInf);
    EXPECT_EQ(CRT_atof("-1e-400"), -0.0);
    EXPECT_EQ(CRT_atof("1.5e"), 1.5);
}

}  // namespace
