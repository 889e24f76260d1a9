// Conversions of script values: ToNumber's text grammar, the integer conversions, ToBoolean,
// ToPrimitive's method order, ToObject and the global isNaN and isFinite.
#include <cmath>
#include <cstring>

#include "ScriptTestSupport.h"
#include "script/JS_Convert.h"
#include "script/JS_Number.h"
#include "script/JS_Property.h"

namespace {

using script_test::Errors;
using script_test::ScriptTest;

class ConversionTest : public ScriptTest {};

double TextNumber(const char* text) {
    return JS_TextToNumber(text);
}

struct TextCase {
    const char* text;
    double expected;  // NAN: NaN
};

TEST_F(ConversionTest, ToNumberTextGrammar) {
    const TextCase cases[] = {
        {"  12  ", 12},
        {"", 0},
        {"   ", 0},
        {"12abc", NAN},
        {".", NAN},
        {"-", NAN},
        {"Infinityx", NAN},
        {"-Infinity", -INFINITY},
        {"+Infinity", INFINITY},
        {"Infinity", INFINITY},
        {"infinity", NAN},
        {"inf", NAN},
        {"nan", NAN},
        {"0x1F", 31},
        {"0X1f", 31},
        {"0x", NAN},
        {"0xg", NAN},
        {"-0x10", NAN},
        {"0xFFFFFFFF", -1},
        {"0x100000001", 1},
        {".5", 0.5},
        {"5.", 5},
        {"-2.5e3", -2500},
        {"+7", 7},
        {"1e", NAN},
        {"1e+", NAN},
        {"0x1p3", NAN},
        {"1,5", NAN},
        {"12\xC2\xA0", 12},      // trailing no-break space
        {"12\xE2\x80\xA8", 12},  // trailing line separator
        {"\xE3\x80\x80"
         "3",
         3},                          // ideographic space
        {"12\xEE\x80\x80", 12},       // trailing private-use character
        {"12\xF3\xB0\x80\x80", 12},   // supplementary private use, four bytes
        {"12\xF0\x9F\x98\x80", NAN},  // an emoji is no white space
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.text);
        double n = TextNumber(c.text);
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(n)) << n;
        else
            EXPECT_EQ(n, c.expected);
    }
    EXPECT_EQ(std::signbit(TextNumber("-0")), true);
}

TEST_F(ConversionTest, ToNumberByKind) {
    RValue r = RValue_Undefined();
    struct {
        RValue in;
        double out;
    } cases[] = {{RValue_Bool(1), 1}, {RValue_Int32(-4), -4}, {RValue_Int64(1LL << 40), 1099511627776.0}};
    for (auto& c : cases) {
        EXPECT_EQ(JS_ToNumber(&r, &c.in), JS_DONE);
        EXPECT_EQ(RValue_Kind(r), VALUE_REAL);
        EXPECT_EQ(r.val, c.out);
    }
    RValue null = RValue_Undefined();
    null.kind = VALUE_NULL;
    JS_ToNumber(&r, &null);
    EXPECT_EQ(r.val, 0);
    RValue undef = RValue_Undefined();
    JS_ToNumber(&r, &undef);
    EXPECT_EQ(std::bit_cast<uint64_t>(r.val), UINT64_C(0x7FFFFFFFFFFFFFFF));
    // Kinds outside the model leave the result alone.
    RValue pointer = RValue_Undefined();
    pointer.kind = VALUE_PTR;
    r = RValue_Real(99);
    EXPECT_EQ(JS_ToNumber(&r, &pointer), JS_DONE);
    EXPECT_EQ(r.val, 99);
    // In place: the result may be the value converted.
    RValue text = String(" 0x10 ");
    EXPECT_EQ(JS_ToNumber(&text, &text), JS_DONE);
    EXPECT_EQ(text.val, 16);
}

TEST_F(ConversionTest, IntegerConversions) {
    struct {
        double in;
        double int32;
        double uint32;
        double integer;
    } cases[] = {
        {2147483648.0, -2147483648.0, 2147483648.0, 2147483648.0},
        {-1, -1, 4294967295.0, -1},
        {1e20, 0, 0, 1e20},
        {-3.7, -3, 4294967293.0, -3},
        {4294967297.5, 1, 1, 4294967297.0},
        {NAN, 0, 0, 0},
        {INFINITY, 0, 0, INFINITY},
        {-0.0, 0, 0, -0.0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.in);
        RValue in = RValue_Real(c.in), out = RValue_Undefined();
        EXPECT_EQ(JS_ToInt32(&out, &in), JS_DONE);
        EXPECT_EQ(out.val, c.int32);
        if (out.val == 0) {
            EXPECT_FALSE(std::signbit(out.val));  // -0 gives +0
        }
        EXPECT_EQ(JS_ToUint32(&out, &in), JS_DONE);
        EXPECT_EQ(out.val, c.uint32);
        EXPECT_EQ(JS_ToInteger(&in), c.integer);
    }
}

TEST_F(ConversionTest, ToBoolean) {
    RValue empty = String(""), text = String("0"), nan = RValue_Real(NAN), object = Object(NewObject());
    RValue null = RValue_Undefined();
    null.kind = VALUE_NULL;
    EXPECT_FALSE(JS_ToBoolean(&empty));
    EXPECT_TRUE(JS_ToBoolean(&text));
    EXPECT_FALSE(JS_ToBoolean(&nan));
    EXPECT_TRUE(JS_ToBoolean(&object));
    EXPECT_FALSE(JS_ToBoolean(&null));
    RValue i64 = RValue_Int64(1LL << 40);
    EXPECT_TRUE(JS_ToBoolean(&i64));
    RValue array = RValue_Undefined();
    array.kind = VALUE_ARRAY;
    EXPECT_FALSE(JS_ToBoolean(&array));
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0], "unhandled type (2) for JS_ToBoolean");
}

// Methods of the test objects: each records its name in the call log.
std::string g_calls;
void ValueOfSeven(RValue& r, CInstance*, CInstance*, int32_t, RValue*) {
    g_calls += "valueOf ";
    r = RValue_Real(7);
}
void ToStringText(RValue& r, CInstance*, CInstance*, int32_t, RValue*) {
    g_calls += "toString ";
    RValue_SetString(&r, "text");
}
void ToStringObject(RValue& r, CInstance*, CInstance*, int32_t, RValue*) {
    g_calls += "toString ";
    r.obj = JS_NewBareObject();
    r.kind = VALUE_OBJECT;
}

PWObjectBase* WithMethods(BuiltinProc valueOf, BuiltinProc toString) {
    RValue v = RValue_Undefined();
    JS_NewObject(v, nullptr, nullptr, 0, nullptr);
    auto add = [&](const char* name, BuiltinProc proc) {
        if (!proc) return;
        RValue f = RValue_Undefined();
        JS_NewObject(f, nullptr, nullptr, 0, nullptr);
        f.obj->AddPointer(JS_CALL_CPP, reinterpret_cast<void*>(proc), 0);
        v.obj->AddValue(name, &f, 6);
    };
    add("valueOf", valueOf);
    add("toString", toString);
    return v.obj;
}

TEST_F(ConversionTest, ToPrimitiveMethodOrder) {
    PWObjectBase* plain = WithMethods(ValueOfSeven, ToStringText);
    PWObjectBase* date = WithMethods(ValueOfSeven, ToStringText);
    date->AddString(JS_CLASS, "Date", 0);
    struct {
        PWObjectBase* object;
        int32_t hint;
        const char* calls;
    } cases[] = {
        {plain, JS_HINT_NONE, "valueOf "},    {date, JS_HINT_NONE, "toString "},
        {date, JS_HINT_NUMBER, "valueOf "},   {date, VALUE_INT64, "valueOf "},
        {plain, JS_HINT_STRING, "toString "},
    };
    for (auto& c : cases) {
        g_calls.clear();
        RValue in = Object(c.object), out = RValue_Undefined();
        EXPECT_EQ(F_JS_ToPrimitive(&out, &in, c.hint), JS_DONE);
        EXPECT_EQ(g_calls, c.calls);
        RValue_Release(&out);
    }
}

TEST_F(ConversionTest, ToStringOfObjects) {
    RValue in = Object(WithMethods(ValueOfSeven, ToStringObject)), out = RValue_Undefined();
    g_calls.clear();
    ASSERT_EQ(JS_ToString(&out, &in), JS_DONE);
    EXPECT_STREQ(RValue_GetStringText(&out), "7");
    EXPECT_EQ(g_calls, "toString valueOf ");
    RValue_Release(&out);

    RValue bare = Object(JS_NewBareObject());
    EXPECT_EQ(JS_ToString(&out, &bare), JS_FAILED);
    RValue number = RValue_Undefined();
    EXPECT_EQ(JS_ToNumber(&number, &bare), JS_FAILED);
    EXPECT_TRUE(Errors().empty());
}

void MakeNumberWrapper(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    JS_NewObject(result, nullptr, nullptr, 0, nullptr);
    result.obj->AddString(JS_CLASS, "Number", 0);
    if (argc > 0) result.obj->AddValue(JS_PRIMITIVE_VALUE, &args[0], 0);
}

TEST_F(ConversionTest, ToObject) {
    g_JSStandard.numberConstructor = MakeNumberWrapper;
    RValue five = RValue_Real(5), out = RValue_Undefined();
    ASSERT_EQ(F_JS_ToObject(&out, &five), JS_DONE);
    ASSERT_TRUE(RValue_IsObject(out));
    EXPECT_STREQ(JS_ClassOf(out.obj), "Number");

    RValue object = Object(NewObject());
    ASSERT_EQ(F_JS_ToObject(&out, &object), JS_DONE);
    EXPECT_EQ(out.obj, object.obj);

    RValue undef = RValue_Undefined();
    EXPECT_EQ(F_JS_ToObject(&out, &undef), JS_FAILED);
    EXPECT_EQ(F_JS_Object_ToObject(out, nullptr, nullptr, 1, &undef), JS_FAILED);
    EXPECT_EQ(F_JS_Object_ToObject(out, nullptr, nullptr, 0, nullptr), JS_FAILED);

    RValue text = String("x");
    EXPECT_EQ(JS_ToObjectForDefineProperties(&out, &text), JS_FAILED);
    EXPECT_EQ(JS_ToObjectForDefineProperties(&out, &object), JS_DONE);
    EXPECT_TRUE(Errors().empty());
    RValue array = RValue_Undefined();
    array.kind = VALUE_ARRAY;
    EXPECT_EQ(F_JS_ToObject(&out, &array), JS_FAILED);
    EXPECT_EQ(Errors().back(), "unhandled type (2) for F_JS_ToObject");
    EXPECT_EQ(F_JS_Object_ToObject(out, nullptr, nullptr, 1, &array), JS_DONE);
    EXPECT_EQ(Errors().back(), "Calling ToObject on an unhandled type 2");
}

TEST_F(ConversionTest, IsNaNAndIsFinite) {
    struct {
        RValue arg;
        bool nan;
        bool finite;
    } cases[] = {
        {String("abc"), true, false},        {String(" 12 "), false, true},
        {String("-Infinity"), false, false}, {RValue_Undefined(), true, false},
        {RValue_Real(1e308), false, true},
    };
    for (auto& c : cases) {
        RValue r = RValue_Undefined();
        F_JS_IsNaN(r, nullptr, nullptr, 1, &c.arg);
        EXPECT_EQ(RValue_Kind(r), VALUE_BOOL);
        EXPECT_EQ(r.val != 0, c.nan);
        F_JS_IsFinite(r, nullptr, nullptr, 1, &c.arg);
        EXPECT_EQ(r.val != 0, c.finite);
    }
    RValue r = RValue_Undefined();
    F_JS_IsNaN(r, nullptr, nullptr, 0, nullptr);  // no argument reads as undefined
    EXPECT_EQ(r.val, 1);
}

TEST_F(ConversionTest, WhiteSpaceAndDigits) {
    for (uint32_t c :
         {32u, 9u, 10u, 11u, 12u, 13u, 160u, 0x2028u, 0x2029u, 0x3000u, 0xFEFFu, 0xE000u, 0x903u})
        EXPECT_TRUE(JS_IsWhiteSpace(c)) << c;
    for (uint32_t c : {0u, 0x85u, 65u, 0x4E00u, 0x1F600u}) EXPECT_FALSE(JS_IsWhiteSpace(c)) << c;
    EXPECT_EQ(JS_DigitValue('z', 36), 35);
    EXPECT_EQ(JS_DigitValue('Z', 36), 35);
    EXPECT_EQ(JS_DigitValue('a', 10), -1);
    EXPECT_EQ(JS_DigitValue('9', 10), 9);
    EXPECT_TRUE(JS_IsDigitInRadix('F', 16));
    EXPECT_FALSE(JS_IsDigitInRadix('8', 8));
}

}  // namespace
