// Equality, strict equality, relational comparison and typeof. The rows that follow ES5 were
// checked against node; the ones that differ on purpose are marked.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ScriptTestSupport.h"
#include "script/JS_Compare.h"
#include "script/JS_Convert.h"
#include "script/JS_Exception.h"

namespace {

using script_test::Errors;
using script_test::ScriptTest;

class CompareTest : public ScriptTest {
protected:
    void TearDown() override {
        JS_ResetExceptions();
        ScriptTest::TearDown();
    }
};

RValue Null() {
    RValue v = RValue_Undefined();
    v.kind = VALUE_NULL;
    return v;
}
RValue Bool(bool b) {
    return RValue_Bool(b ? 1 : 0);
}

void ValueOfThree(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = RValue_Real(3);
}

TEST_F(CompareTest, AbstractEqualityTable) {
    RValue one = String("1"), three = String("3"), empty = String(""), a = String("a");
    PWObjectBase* valued = NewObject();
    valued->AddObject("valueOf", NewFunction(ValueOfThree), 0);
    RValue object = Object(valued), other = Object(NewObject());
    const RValue nan = RValue_Real(std::nan(""));
    struct Case {
        RValue x, y;
        bool equal;
    };
    const Case cases[] = {
        {Null(), RValue_Undefined(), true},
        {RValue_Undefined(), Null(), true},
        {Null(), RValue_Real(0), false},
        {RValue_Undefined(), RValue_Real(0), false},
        {nan, nan, false},
        {one, RValue_Real(1), true},
        {RValue_Real(1), one, true},
        {Bool(true), RValue_Real(1), true},
        {RValue_Real(0), Bool(false), true},
        {empty, RValue_Real(0), true},
        {RValue_Real(0), RValue_Real(-0.0), true},
        {a, a, true},
        {object, RValue_Real(3), true},
        {three, object, true},
        {object, object, true},
        {object, other, false},
        {Null(), Bool(false), false},
        {RValue_Int32(1), RValue_Int32(1), false},  // integer kinds have no case of their own
    };
    for (const Case& c : cases) {
        RValue result = RValue_Real(-1);
        EXPECT_EQ(JS_AbstractEquality(&result, &c.x, &c.y), JS_DONE);
        EXPECT_EQ(result.val, c.equal ? 1.0 : 0.0) << &c - cases;
    }
    for (RValue* v : {&one, &three, &empty, &a}) RValue_Release(v);
}

TEST_F(CompareTest, EqualityWithAnUnconvertibleObjectThrowsTheSideItFailedOn) {
    // An object without valueOf or toString cannot become a primitive.
    RValue bare = Object(JS_NewBareObject());
    RValue result = RValue_Real(0);
    const RValue two = RValue_Real(2);
    EXPECT_EQ(JS_AbstractEquality(&result, &two, &bare), JS_FAILED);
    EXPECT_EQ(JS_AbstractEquality(&result, &bare, &two), JS_FAILED);
    ASSERT_EQ(Errors().size(), 2u);  // no handler: each reported as uncaught
    EXPECT_NE(Errors()[0].find("Unable to find a handler for exception"), std::string::npos);
    // The thrown TypeError carries the fixed message.
    const RValue* thrown = JS_PendingValue();
    ASSERT_TRUE(RValue_IsObject(thrown));
    EXPECT_STREQ(RValue_GetStringText(JS_FindOwnValue(thrown->obj, "message")),
                 "Failed to convert left-hand-side of == to a primitive.");
}

TEST_F(CompareTest, StrictEquality) {
    RValue a = String("a"), a2 = String("a"), b = String("b");
    const RValue nan = RValue_Real(std::nan(""));
    RValue one = RValue_Real(1), zero = RValue_Real(0), minusZero = RValue_Real(-0.0);
    RValue o = Object(NewObject());
    EXPECT_TRUE(JS_StrictEquals(&one, &one));
    EXPECT_TRUE(JS_StrictEquals(&zero, &minusZero));
    EXPECT_FALSE(JS_StrictEquals(&nan, &nan));
    EXPECT_TRUE(JS_StrictEquals(&a, &a2));
    EXPECT_FALSE(JS_StrictEquals(&a, &b));
    EXPECT_TRUE(JS_StrictEquals(&o, &o));
    const RValue t = Bool(true), u = RValue_Undefined(), n = Null();
    EXPECT_FALSE(JS_StrictEquals(&t, &one));
    EXPECT_FALSE(JS_StrictEquals(&u, &n));
    for (RValue* v : {&a, &a2, &b}) RValue_Release(v);
}

// x < y as the interpreter forms it: 1 true, 0 false, -1 undefined.
int Less(const RValue& x, const RValue& y) {
    RValue r = RValue_Undefined();
    EXPECT_EQ(JS_AbstractRelationalComparison(&r, &x, &y, true), JS_DONE);
    return RValue_Kind(r) == VALUE_UNDEFINED ? -1 : static_cast<int>(r.val);
}

TEST_F(CompareTest, RelationalComparisonTable) {
    RValue ab = String("ab"), abc = String("abc"), a = String("a"), b = String("b"), empty = String("");
    RValue accented = String("\xC3\xA9"), emoji = String("\xF0\x9F\x98\x80"), ten = String("10"),
           nine = String("9");
    const RValue nan = RValue_Real(std::nan(""));
    const RValue one = RValue_Real(1), inf = RValue_Real(INFINITY), ninf = RValue_Real(-INFINITY);
    EXPECT_EQ(Less(ab, abc), 1);
    EXPECT_EQ(Less(abc, ab), 0);
    EXPECT_EQ(Less(b, a), 0);
    EXPECT_EQ(Less(a, b), 1);
    EXPECT_EQ(Less(empty, a), 1);
    EXPECT_EQ(Less(a, a), 0);
    EXPECT_EQ(Less(ten, nine), 1);  // texts compare as texts
    // By code point: U+E9 before U+1F600 (node agrees; UTF-16 units would agree here as well).
    EXPECT_EQ(Less(accented, emoji), 1);
    EXPECT_EQ(Less(one, nan), -1);
    EXPECT_EQ(Less(nan, one), -1);
    EXPECT_EQ(Less(ninf, one), 1);
    EXPECT_EQ(Less(one, inf), 1);
    EXPECT_EQ(Less(inf, inf), 0);
    EXPECT_EQ(Less(nine, RValue_Real(10)), 1);  // one side a number: both as numbers
    EXPECT_EQ(Less(RValue_Undefined(), one), -1);
    EXPECT_EQ(Less(Null(), one), 1);
    for (RValue* v : {&ab, &abc, &a, &b, &empty, &accented, &emoji, &ten, &nine}) RValue_Release(v);
}

// Every pair of these primitives under ==, === and <, against node on the same literals: one
// character a pair and operator ('1' true, '0' false, 'u' an undefined comparison).
TEST_F(CompareTest, PrimitivePairsAgreeWithNode) {
    if (std::system("node --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "node is not installed";
    struct Literal {
        const char* js;
        RValue value;
    };
    std::vector<Literal> literals = {
        {"undefined", RValue_Undefined()},
        {"null", Null()},
        {"true", Bool(true)},
        {"false", Bool(false)},
        {"0", RValue_Real(0)},
        {"-0", RValue_Real(-0.0)},
        {"1", RValue_Real(1)},
        {"2.5", RValue_Real(2.5)},
        {"NaN", RValue_Real(std::nan(""))},
        {"Infinity", RValue_Real(INFINITY)},
        {"-Infinity", RValue_Real(-INFINITY)},
        {"''", String("")},
        {"'1'", String("1")},
        {"' 1 '", String(" 1 ")},
        {"'a'", String("a")},
        {"'b'", String("b")},
        {"'10'", String("10")},
        {"'9'", String("9")},
        {"'true'", String("true")},
        {"'0x10'", String("0x10")},
    };
    std::string list, ours;
    for (const Literal& l : literals) list += std::string(list.empty() ? "" : ",") + l.js;
    for (const Literal& x : literals) {
        for (const Literal& y : literals) {
            RValue equal = RValue_Undefined();
            EXPECT_EQ(JS_AbstractEquality(&equal, &x.value, &y.value), JS_DONE);
            ours += equal.val != 0 ? '1' : '0';
            ours += JS_StrictEquals(&x.value, &y.value) ? '1' : '0';
            const int less = Less(x.value, y.value);
            ours += less < 0 ? 'u' : static_cast<char>('0' + less);
        }
    }
    const std::string script = "node -e \"const v=[" + list +
                               "];let s='';for(const x of v)for(const y of v){s+=(x==y)?'1':'0';"
                               "s+=(x===y)?'1':'0';s+=(x<y)?'1':(x>=y)?'0':'u';}process.stdout.write(s)\"";
    FILE* node = popen(script.c_str(), "r");
    ASSERT_NE(node, nullptr);
    std::string theirs;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, node)) > 0;) theirs.append(buffer, n);
    pclose(node);
    ASSERT_EQ(theirs.size(), ours.size());
    for (size_t i = 0; i < ours.size(); ++i) {
        const size_t pair = i / 3;
        EXPECT_EQ(ours[i], theirs[i]) << literals[pair / literals.size()].js << " "
                                      << (i % 3 == 0   ? "=="
                                          : i % 3 == 1 ? "==="
                                                       : "<")
                                      << " " << literals[pair % literals.size()].js;
    }
    for (Literal& l : literals) RValue_Release(&l.value);
}

TEST_F(CompareTest, RelationalFailureNamesTheLeftWhicheverSideFailed) {
    RValue bare = Object(JS_NewBareObject());
    RValue r = RValue_Undefined();
    const RValue one = RValue_Real(1);
    EXPECT_EQ(JS_AbstractRelationalComparison(&r, &one, &bare, true), JS_FAILED);
    const RValue* thrown = JS_PendingValue();
    ASSERT_TRUE(RValue_IsObject(thrown));
    EXPECT_STREQ(RValue_GetStringText(JS_FindOwnValue(thrown->obj, "message")),
                 "Comparison failed to convert left argument to primitive value.");
}

TEST_F(CompareTest, DoubleExponent) {
    EXPECT_EQ(JS_DoubleExponent(1.0), 0x3ff00000u);
    EXPECT_EQ(JS_DoubleExponent(0.0), 0u);
    EXPECT_EQ(JS_DoubleExponent(INFINITY), 0x7ff00001u);
    EXPECT_EQ(JS_DoubleExponent(std::nan("")), 0x7ff00001u);
}

TEST_F(CompareTest, TypeOf) {
    PWObjectBase* native = NewFunction(ValueOfThree);
    PWObjectBase* wrapper = JS_CreateAccessorFunction(nullptr, 0);
    RValue text = String("x");
    struct Case {
        RValue value;
        const char* name;
    };
    const Case cases[] = {
        {RValue_Real(1), "number"},        {RValue_Int32(1), "number"},
        {RValue_Int64(1), "number"},       {text, "string"},
        {RValue_Undefined(), "undefined"}, {{{0}, 0, VALUE_UNSET}, "undefined"},
        {Object(native), "function"},      {Object(wrapper), "object"},
        {Object(NewObject()), "object"},   {Null(), "object"},
        {Bool(false), "boolean"},          {{{0}, 0, VALUE_PTR}, "[[unknown]]"},
    };
    for (const Case& c : cases) {
        RValue result = String("old");
        RValue arg = c.value;
        F_JS_TypeOf(result, nullptr, nullptr, 1, &arg);
        EXPECT_STREQ(RValue_GetStringText(&result), c.name) << &c - cases;
        RValue_Release(&result);
    }
    RValue_Release(&text);
}

}  // namespace
