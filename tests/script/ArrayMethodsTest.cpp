// The Array.prototype methods: a table of calls on arrays without holes run here and in node
// (the results must agree), then the behaviours where this runtime differs on purpose, and
// callbacks that change the array under the method.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "StandardObjectsSupport.h"

namespace {

using script_test::Errors;
using script_test::StandardTest;

double Num(const RValue& v) {
    RValue n = RValue_Real(0);
    JS_ToNumber(&n, &v);
    return n.val;
}

void CbDouble(RValue& r, CInstance*, CInstance*, int32_t, RValue* a) {
    r = RValue_Real(Num(a[0]) * 2);
}
void CbGt1(RValue& r, CInstance*, CInstance*, int32_t, RValue* a) {
    r = RValue_Bool(Num(a[0]) > 1);
}
void CbGt0(RValue& r, CInstance*, CInstance*, int32_t, RValue* a) {
    r = RValue_Bool(Num(a[0]) > 0);
}
void CbAdd(RValue& r, CInstance*, CInstance*, int32_t, RValue* a) {
    r = RValue_Real(Num(a[0]) + Num(a[1]));
}
void CbSub(RValue& r, CInstance*, CInstance*, int32_t, RValue* a) {
    r = RValue_Real(Num(a[0]) - Num(a[1]));
}
void CbDesc(RValue& r, CInstance*, CInstance*, int32_t, RValue* a) {
    r = RValue_Real(Num(a[1]) - Num(a[0]));
}
void CbHalf(RValue& r, CInstance*, CInstance*, int32_t, RValue*) {
    r = RValue_Real(0.5);
}
void CbIndexSum(RValue& r, CInstance*, CInstance*, int32_t, RValue* a) {
    r = RValue_Real(Num(a[0]) + Num(a[2]));
}

const char* const kNodeCallbacks =
    "const double=x=>x*2, gt1=x=>x>1, gt0=x=>x>0, add=(a,b)=>a+b, sub=(a,b)=>a-b, desc=(a,b)=>b-a,"
    " indexSum=(a,b,i)=>a+i;\n";

struct Case {
    const char* elements;  // comma-separated literals
    const char* method;
    const char* args;
};

const Case kCases[] = {
    {"1,2,3", "join", ""},
    {"1,2,3", "join", "'-'"},
    {"1,null,undefined,3", "join", "'+'"},
    {"1,2,3", "toString", ""},
    {"1,2,3", "pop", ""},
    {"1,2,3", "push", "4,5"},
    {"1,2,3,4", "reverse", ""},
    {"1,'b',3", "reverse", ""},
    {"1,2,3", "shift", ""},
    {"'a'", "shift", ""},
    {"1,2,3,4", "slice", "1"},
    {"1,2,3,4", "slice", "-1"},
    {"1,2,3,4", "slice", "1,3"},
    {"1,2,3,4", "slice", "-3,-1"},
    {"1,2,3,4", "slice", "5"},
    {"1,2,3,4", "slice", "1,undefined"},
    {"1,2,3,4", "splice", "1,undefined"},
    {"1,2,3,2", "indexOf", "2,undefined"},
    {"1,2,3,2", "lastIndexOf", "2,undefined"},
    {"'a','b','c','d'", "splice", "1,2,'x'"},
    {"'a','b','c','d'", "splice", "0,0,'p','q'"},
    {"'a','b','c','d'", "splice", "-1,1"},
    {"'a','b','c','d'", "splice", "1"},
    {"'a','b','c','d'", "splice", "1,1,'x','y','z'"},
    {"'a','b','c','d'", "splice", "2,9"},
    {"1,2", "concat", "3,4"},
    {"10,9,1", "sort", ""},
    {"'b','a','c','B'", "sort", ""},
    {"3,undefined,1", "sort", ""},
    {"1,3,2", "sort", "desc"},
    {"10,9,1,100", "sort", "sub"},
    {"1,2,3,2", "indexOf", "2"},
    {"1,2,3,2", "indexOf", "5"},
    {"1,2,3,2", "indexOf", "2,2"},
    {"1,2,3,2", "indexOf", "2,9"},
    {"1,'2',3", "indexOf", "'2'"},
    {"NaN", "indexOf", "NaN"},
    {"-0", "indexOf", "0"},
    {"1,2,3,2", "lastIndexOf", "2"},
    {"1,2,3,2", "lastIndexOf", "2,2"},
    {"1,2,3,2", "lastIndexOf", "2,10"},
    {"1,2", "unshift", "0"},
    {"1,2", "unshift", "'a','b'"},
    {"1,2", "unshift", ""},
    {"1,2,3", "every", "gt0"},
    {"1,2,3", "every", "gt1"},
    {"", "every", "gt1"},
    {"1,2,3", "some", "gt1"},
    {"", "some", "gt1"},
    {"1,2,3", "map", "double"},
    {"1,2,3", "filter", "gt1"},
    {"1,2,3", "forEach", "double"},
    {"1,2,3", "reduce", "add"},
    {"1,2,3", "reduce", "add,10"},
    {"1,2,3", "reduce", "indexSum"},
    {"1,2,3", "reduceRight", "sub"},
    {"1,2,3", "reduceRight", "sub,10"},
    {"7", "reduce", "add"},
};

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    if (text.empty()) return parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
    return parts;
}

class ArrayMethodsTest : public StandardTest {
protected:
    RValue Literal(const std::string& token) {
        static const std::map<std::string, BuiltinProc> kCallbacks = {
            {"double", CbDouble}, {"gt1", CbGt1},   {"gt0", CbGt0},          {"add", CbAdd},
            {"sub", CbSub},       {"desc", CbDesc}, {"indexSum", CbIndexSum}};
        if (auto it = kCallbacks.find(token); it != kCallbacks.end()) return Obj(NativeFunction(it->second));
        if (token == "undefined") return RValue_Undefined();
        if (token == "null") return Null();
        if (token == "NaN") return RValue_Real(std::nan(""));
        if (token.front() == '\'') return Str(token.substr(1, token.size() - 2).c_str());
        return RValue_Real(std::strtod(token.c_str(), nullptr));
    }
    std::vector<RValue> Literals(const char* text) {
        std::vector<RValue> values;
        for (const std::string& token : Split(text)) values.push_back(Literal(token));
        return values;
    }
    std::string Ours(const Case& c) {
        RValue array = MakeArray(Literals(c.elements));
        RValue result = Method(array, c.method, Literals(c.args));
        if (JS_ExceptionPending()) return "threw " + ThrownText();
        return Text(result) + "#" + Text(array);
    }
};

TEST_F(ArrayMethodsTest, AgreeWithNodeOnArraysWithoutHoles) {
    if (std::system("node --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "node is not installed";
    const std::string path = testing::TempDir() + "array_methods_peer.js";
    {
        std::ofstream script(path);
        script << kNodeCallbacks;
        for (const Case& c : kCases)
            script << "{ const a=[" << c.elements << "]; const r=a." << c.method << "(" << c.args
                   << "); console.log(String(r)+'#'+String(a)); }\n";
    }
    FILE* node = popen(("node " + path).c_str(), "r");
    ASSERT_NE(node, nullptr);
    std::string theirs;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, node)) > 0;) theirs.append(buffer, n);
    pclose(node);
    std::stringstream lines(theirs);
    for (const Case& c : kCases) {
        std::string expected;
        std::getline(lines, expected);
        EXPECT_EQ(Ours(c), expected) << "[" << c.elements << "]." << c.method << "(" << c.args << ")";
    }
}

TEST_F(ArrayMethodsTest, DeliberateDifferences) {
    // join leaves out the separator after a hole; an explicit undefined separator is its text.
    RValue holed = MakeArray({RValue_Real(1), RValue_Real(2), RValue_Real(3)});
    JS_ElementStore(holed.obj)->slots[1].kind = VALUE_UNSET;
    EXPECT_EQ(Text(Method(holed, "join", {})), "1,3");
    EXPECT_EQ(Text(Method(MakeArray({RValue_Real(1), RValue_Real(2)}), "join", {RValue_Undefined()})),
              "1undefined2");
    // concat adds a non-Array item as its text.
    RValue joined = Method(MakeArray({RValue_Real(1)}), "concat", {RValue_Real(2)});
    EXPECT_EQ(RValue_Kind(JS_ElementStore(joined.obj)->slots[1]), VALUE_STRING);
    // The default sort orders by the bytes of the texts, undefined last.
    RValue words = MakeArray({Str("\xC3\xA9"), RValue_Undefined(), Str("z"), Str("Z")});
    Method(words, "sort", {});
    EXPECT_EQ(Text(Method(words, "join", {Str("|")})), "Z|z|\xC3\xA9|");
    // indexOf with a negative fromIndex answers -1; a comparison answering 0.5 counts as equal.
    EXPECT_EQ(Method(MakeArray({RValue_Real(1)}), "indexOf", {RValue_Real(1), RValue_Real(-1)}).val, -1);
    RValue pair = MakeArray({RValue_Real(2), RValue_Real(1)});
    Method(pair, "sort", {Obj(NativeFunction(CbHalf))});
    EXPECT_EQ(Text(pair), "2,1");
    // pop on an empty array answers undefined and leaves the length.
    RValue empty = MakeArray({});
    EXPECT_EQ(RValue_Kind(Method(empty, "pop", {})), VALUE_UNDEFINED);
    EXPECT_EQ(Property(empty.obj, "length").val, 0);
}

TEST_F(ArrayMethodsTest, HolesAndFailures) {
    // map keeps a hole at its index.
    RValue holed = MakeArray({RValue_Real(1), RValue_Real(2), RValue_Real(3)});
    JS_ElementStore(holed.obj)->slots[1].kind = VALUE_UNSET;
    RValue mapped = Method(holed, "map", {Obj(NativeFunction(CbDouble))});
    PWObjectBase* store = JS_ElementStore(mapped.obj);
    ASSERT_EQ(store->slotCount, 3);
    EXPECT_TRUE(RValue_IsUnset(store->slots[1]));
    EXPECT_EQ(store->slots[2].val, 6);

    struct Failure {
        const char* method;
        std::vector<RValue> args;
        const char* thrown;
    };
    const Failure failures[] = {
        {"sort",
         {RValue_Undefined()},
         "TypeError: Could not call comparison function from Array.prototype.sort"},
        {"every", {}, "TypeError: Could not call comparison function from Array.prototype.every"},
        {"map", {RValue_Real(3)}, "TypeError: Could not call comparison function from Array.prototype.map"},
        {"reduceRight", {}, "TypeError: Could not call comparison function from Array.prototype.reduceRight"},
    };
    for (const Failure& f : failures) {
        Method(MakeArray({RValue_Real(1)}), f.method, f.args);
        EXPECT_EQ(ThrownText(), f.thrown) << f.method;
    }
    Method(MakeArray({}), "reduce", {Obj(NativeFunction(CbAdd))});
    EXPECT_EQ(ThrownText(), "TypeError: Reduce of empty array with no initial value");
    // The store methods need an Array.
    RValue notArray = MakeObject({{"length", RValue_Real(1)}, {"0", RValue_Real(1)}});
    Call(notArray.obj, Property(g_JSStandard.arrayPrototype, "indexOf").obj, {RValue_Real(1)});
    EXPECT_NE(ThrownText().find("TypeError"), std::string::npos);
}

TEST_F(ArrayMethodsTest, GenericMethodsWorkOnArrayLikes) {
    RValue like = MakeObject({{"length", RValue_Real(2)}, {"0", Str("a")}, {"1", Str("b")}});
    PWObjectBase* prototype = g_JSStandard.arrayPrototype;
    EXPECT_EQ(Text(Call(like.obj, Property(prototype, "join").obj, {Str("+")})), "a+b");
    EXPECT_EQ(Call(like.obj, Property(prototype, "push").obj, {Str("c")}).val, 3);
    EXPECT_EQ(Property(like.obj, "length").val, 3);
    EXPECT_EQ(Text(Call(like.obj, Property(prototype, "pop").obj, {})), "c");
    Call(like.obj, Property(prototype, "reverse").obj, {});
    EXPECT_EQ(Text(Property(like.obj, "0")), "b");
    // A missing length reads as 0.
    RValue bare = MakeObject({});
    EXPECT_EQ(RValue_Kind(Call(bare.obj, Property(prototype, "pop").obj, {})), VALUE_UNDEFINED);
    EXPECT_TRUE(Errors().empty());
}

// Callbacks that empty the array under the method end the walk without reading freed slots.
PWObjectBase* g_victim = nullptr;
void CbEmptyTheArray(RValue& r, CInstance*, CInstance*, int32_t, RValue*) {
    RValue zero = RValue_Real(0);
    JS_Put(g_victim, &zero, "length", false);
    r = RValue_Real(-1);
}

TEST_F(ArrayMethodsTest, CallbacksThatShrinkTheArray) {
    for (const char* method :
         {"sort", "forEach", "map", "filter", "every", "reduce", "reduceRight", "some"}) {
        std::vector<RValue> elements;
        for (int i = 0; i < 40; ++i) elements.push_back(Str(std::to_string(40 - i).c_str()));
        RValue array = MakeArray(elements);
        g_victim = array.obj;
        Method(array, method, {Obj(NativeFunction(CbEmptyTheArray))});
        EXPECT_FALSE(JS_ExceptionPending()) << method;
        EXPECT_EQ(Property(array.obj, "length").val, 0) << method;
    }
}

TEST_F(ArrayMethodsTest, JoinOfAnArrayHoldingItself) {
    RValue array = MakeArray({RValue_Real(1)});
    RValue self = array;
    JS_Put(array.obj, &self, "1", false);
    EXPECT_EQ(Text(Method(array, "join", {})), "1,");
}

}  // namespace
