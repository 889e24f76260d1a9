// String objects and String.prototype after the real start-up: the methods on BMP text
// checked against node where they follow ES5, and this runtime's own rules beside them.
#include <string>
#include <vector>

#include "LibraryTestSupport.h"
#include "script/JS_Call.h"

namespace string_object_test {

using script_test::LibraryTest;
using script_test::Num;
using script_test::Show;
using script_test::Undef;

class StringObjectTest : public LibraryTest {
protected:
    static RValue Method(const char* name, const char* text, std::vector<RValue> args = {}) {
        return Call(std::string("String.prototype.") + name, Str(text), std::move(args));
    }
    static std::string Text(const RValue& v) {
        const char* t = RValue_GetStringText(&v);
        return t ? t : "<not a string>";
    }
    // An Array's elements as ["a","b"].
    static std::string Pieces(const RValue& array) {
        if (!RValue_IsObject(array)) return "<not an array>";
        RValue length = Undef();
        JS_Get(array.obj, &length, "length");
        std::string out = "[";
        for (int i = 0; i < static_cast<int>(length.val); ++i) {
            RValue piece = Undef();
            JS_Get(array.obj, &piece, std::to_string(i).c_str());
            out += (i ? ",\"" : "\"") + Text(piece) + "\"";
        }
        return out + "]";
    }
};

// One argument of a node case: a number (as text, so NaN travels), a string, or undefined.
struct Arg {
    char kind;  // 'n', 's', 'u'
    std::string text;
};
Arg N(const char* n) {
    return {'n', n};
}
Arg S(const char* s) {
    return {'s', s};
}
Arg U() {
    return {'u', ""};
}

std::string JsonText(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

struct Case {
    const char* method;  // a String.prototype method, or "fromCharCode"
    const char* text;
    std::vector<Arg> args;
};

TEST_F(StringObjectTest, MethodsOnBmpTextAgreeWithNode) {
    if (!script_test::NodeAvailable()) GTEST_SKIP() << "node is not installed";
    const char* kAccents = "h\xC3\xA9llo w\xC3\xB6rld";         // héllo wörld
    const char* kHan = "\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD";  // 中文中
    const std::vector<Case> cases = {
        {"charAt", kAccents, {N("1")}},
        {"charAt", kAccents, {N("-1")}},
        {"charAt", kAccents, {N("11")}},
        {"charAt", kHan, {N("2")}},
        {"charAt", kHan, {N("NaN")}},
        {"charAt", kHan, {N("1.9")}},
        {"charCodeAt", kAccents, {N("1")}},
        {"charCodeAt", kHan, {N("0")}},
        {"charCodeAt", "abc", {}},
        {"concat", kAccents, {S("!"), N("1.5"), U()}},
        {"concat", "", {}},
        {"indexOf", kAccents, {S("o")}},
        {"indexOf", kAccents, {S("o"), N("5")}},
        {"indexOf", kAccents, {S("w\xC3\xB6")}},
        {"indexOf", kHan, {S("\xE4\xB8\xAD"), N("1")}},
        {"indexOf", "abc", {S(""), N("2")}},
        {"indexOf", "abc", {S(""), N("10")}},
        {"indexOf", "abc", {S("c"), N("-4")}},
        {"indexOf", "abc", {S("abcd")}},
        {"lastIndexOf", kAccents, {S("o")}},
        {"lastIndexOf", kAccents, {S("o"), N("5")}},
        {"lastIndexOf", kHan, {S("\xE4\xB8\xAD")}},
        {"lastIndexOf", "abcabc", {S("bc"), N("4")}},
        {"lastIndexOf", "abcabc", {S(""), N("3")}},
        {"lastIndexOf", "abcabc", {S("abc"), N("100")}},
        {"slice", kAccents, {N("1"), N("-2")}},
        {"slice", kAccents, {N("-3")}},
        {"slice", kAccents, {N("4"), N("2")}},
        {"slice", kAccents, {N("-100"), N("100")}},
        {"slice", kHan, {N("1"), U()}},
        {"slice", kHan, {N("NaN"), N("2.5")}},
        {"substring", kAccents, {N("4"), N("1")}},
        {"substring", kAccents, {N("-2"), N("3")}},
        {"substring", kAccents, {N("3")}},
        {"substring", kHan, {N("NaN"), N("1")}},
        {"substring", kHan, {N("2"), U()}},
        {"toLowerCase",
         "\xC3\x80\xC3\x89\xC3\x8E \xCE\xA9\xCE\x9C\xCE\x95\xCE\x93\xCE\x91 ABC",
         {}},  // ÀÉÎ ΩΜΕΓΑ
        {"toUpperCase",
         "\xC3\xA0\xC3\xA9\xC3\xAE \xCF\x89\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 abc",
         {}},  // àéî ωμέγα
        {"toUpperCase", kHan, {}},
        {"trim", " \t\r\n\xC2\xA0 h\xC3\xA9 llo \xE2\x80\xA8\xE2\x80\xA9\x0C ", {}},
        {"trim", " \t ", {}},
        {"trim", "", {}},
        {"replace", kAccents, {S("l"), S("[$&|$`|$']")}},
        {"replace", kAccents, {S("o"), S("$$-$1-$-$<")}},
        {"replace", kAccents, {S("w\xC3\xB6"), S("end$")}},
        {"replace", kAccents, {S("zz"), S("x")}},
        {"replace", "aaa", {S("a"), S("b")}},
        {"replace", "abc", {S(""), S("-")}},
        {"split", "a,b,,c", {S(",")}},
        {"split", "a,b,,c", {S(","), N("2")}},
        {"split", "a,b,,c", {S(","), N("0")}},
        {"split", kAccents, {S("\xC3\xB6")}},
        {"split", kHan, {S("\xE6\x96\x87")}},
        {"split", "abc", {S("")}},
        {"split", "abc", {}},
        {"split", "", {S(",")}},
        {"split", "", {S("")}},
        {"split", "a--b--", {S("--")}},
        {"fromCharCode", "", {N("104"), N("233"), N("0x4E2D"), N("65601"), N("-1"), N("3.7")}},
        {"fromCharCode", "", {}},
    };
    std::vector<std::string> input;
    for (const Case& c : cases) {
        std::string line = "{\"m\":\"" + std::string(c.method) + "\",\"t\":" + JsonText(c.text) + ",\"a\":[";
        for (size_t i = 0; i < c.args.size(); ++i) {
            const Arg& a = c.args[i];
            line += i ? "," : "";
            line += a.kind == 'n'   ? "{\"n\":\"" + a.text + "\"}"
                    : a.kind == 's' ? "{\"s\":" + JsonText(a.text) + "}"
                                    : "{}";
        }
        input.push_back(line + "]}");
    }
    const char* script = R"(
const lines = require('fs').readFileSync(process.argv[2], 'utf8').split('\n');
for (const l of lines) {
    if (!l) continue;
    const c = JSON.parse(l);
    const args = c.a.map(a => 'n' in a ? Number(a.n) : 's' in a ? a.s : undefined);
    const r = c.m === 'fromCharCode' ? String.fromCharCode(...args) : String.prototype[c.m].apply(c.t, args);
    if (typeof r === 'string') console.log('s:' + r);
    else if (Array.isArray(r)) console.log('a:' + JSON.stringify(r));
    else console.log('n:' + String(r));
})";
    const std::vector<std::string> node = script_test::NodeLines(script, input, "string_methods");
    ASSERT_EQ(node.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        std::vector<RValue> args;
        for (const Arg& a : c.args)
            args.push_back(a.kind == 'n'   ? Num(std::strtod(a.text.c_str(), nullptr))
                           : a.kind == 's' ? Str(a.text.c_str())
                                           : Undef());
        const bool isFromCharCode = std::string(c.method) == "fromCharCode";
        const RValue r =
            isFromCharCode ? Call("String.fromCharCode", Undef(), args) : Method(c.method, c.text, args);
        std::string ours;
        if (RValue_IsObject(r))
            ours = "a:" + Pieces(r);
        else if (RValue_IsString(r))
            ours = "s:" + Text(r);
        else
            ours = Show(r);
        EXPECT_EQ(ours, node[i]) << "case " << i << ": " << input[i];
        EXPECT_EQ(ThrownText(), "");
    }
}

TEST_F(StringObjectTest, TheRuntimesOwnRules) {
    // Out of range, charCodeAt answers 0 (not NaN) and charAt the empty string.
    EXPECT_EQ(Show(Method("charCodeAt", "abc", {Num(5)})), "n:0");
    EXPECT_EQ(Show(Method("charAt", "abc", {Num(5)})), "s:");
    // A negative start, or NaN as the position, searches backwards from where ES5 would not.
    EXPECT_EQ(Show(Method("lastIndexOf", "abc", {Str("a"), Num(-1)})), "n:-1");
    EXPECT_EQ(Show(Method("lastIndexOf", "abca", {Str("a"), Num(NAN)})), "n:0");
    // Only the listed white space is trimmed: a vertical tab stays.
    EXPECT_EQ(Show(Method("trim",
                          "\x0B"
                          "a ")),
              "s:\x0B"
              "a");
    // Simple case mappings only: the sharp s has no single upper-case letter.
    EXPECT_EQ(Show(Method("toUpperCase",
                          "stra\xC3\x9F"
                          "e")),
              "s:STRA\xC3\x9F"
              "E");
    // Byte order, no locale.
    EXPECT_EQ(Show(Method("localeCompare", "a", {Str("B")})), "n:1");
    EXPECT_EQ(Show(Method("localeCompare", "abc", {Str("abc")})), "n:0");
    EXPECT_EQ(Show(Method("localeCompare", "ab", {Str("abc")})), "n:-1");
    // An empty separator splits bytes.
    EXPECT_EQ(Pieces(Method("split", "\xC3\xA9", {Str("")})), "[\"\xC3\",\"\xA9\"]");
    // A limit of 2^31 or more is negative as a signed number: no pieces.
    EXPECT_EQ(Pieces(Method("split", "a,b", {Str(","), Num(4294967295.0)})), "[]");
    EXPECT_EQ(Show(Method("replace", "abc", {Str("b"), Str("[$&$`$']")})), "s:a[bac]c");
}

TEST_F(StringObjectTest, FromCharCodeJoinsSurrogatePairsAndKeepsLoneOnes) {
    const struct {
        std::vector<double> units;
        const char* utf8;
    } cases[] = {
        {{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},  // U+1F600
        {{0xD83D, 65}, "A"},                     // the high surrogate is dropped
        {{0xD83D}, "\xED\xA0\xBD"},              // alone: its own three bytes
        {{0xDE00, 65},
         "\xED\xB8\x80"
         "A"},  // a low surrogate alone likewise
        {{0x7F}, "\x7F"},
        {{0xE000}, "\xEE\x80\x80"},
    };
    for (const auto& c : cases) {
        std::vector<RValue> args;
        for (double u : c.units) args.push_back(Num(u));
        EXPECT_EQ(Show(Call("String.fromCharCode", Undef(), args)), std::string("s:") + c.utf8);
    }
    const RValue wrapped = Construct("String", {Str("\xF0\x9F\x98\x80")});
    RValue length = Undef();
    JS_Get(wrapped.obj, &length, "length");
    EXPECT_EQ(Show(length), "n:2");
}

TEST_F(StringObjectTest, StringObjectsAnswerIndexesThroughTheirHook) {
    const RValue object = Construct("String", {Str("h\xC3\xA9!")});
    ASSERT_TRUE(RValue_IsObject(object));
    EXPECT_EQ(Show(object), "o:String");
    const struct {
        const char* name;
        const char* shown;
    } cases[] = {
        {"0", "s:h"},    {"1", "s:\xC3\xA9"}, {"2", "s:!"},      {"3", "u"},
        {"01", "unset"}, {"-1", "unset"},     {"length", "n:3"}, {"x", "unset"},
    };
    for (const auto& c : cases) {
        RValue v = Undef();
        JS_Get(object.obj, &v, c.name);
        EXPECT_EQ(Show(v), c.shown) << c.name;
    }
    // The indexes are enumerable placeholders; "length" is not enumerable.
    const RValue* zero = JS_FindOwnValue(object.obj, "0");
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(zero->flags, JS_ATTRIBUTES);
    EXPECT_EQ(JS_FindOwnValue(object.obj, "length")->flags, 0u);
    // valueOf and toString answer the text; both are of String objects only.
    EXPECT_EQ(Show(Call("String.prototype.valueOf", object)), "s:h\xC3\xA9!");
    EXPECT_EQ(Show(Call("String.prototype.toString", At("String.prototype"))), "u");
    EXPECT_EQ(ThrownText(), "TypeError: NoMessage");
    // The empty String object.
    const RValue empty = Construct("String", {});
    RValue length = Undef();
    JS_Get(empty.obj, &length, "length");
    EXPECT_EQ(Show(length), "n:0");
}

TEST_F(StringObjectTest, TheConstructorCalledAsAFunction) {
    EXPECT_EQ(Show(Call("String", Undef())), "s:");
    EXPECT_EQ(Show(Call("String", Undef(), {Num(1.5)})), "s:1.5");
    EXPECT_EQ(Show(Call("String", Undef(), {Undef()})), "s:undefined");
    RValue unset = Undef();
    unset.kind = VALUE_UNSET;
    EXPECT_EQ(Show(Call("String", Undef(), {unset})), "s:");
}

// The replacement text grows as far as it needs: no fixed-size buffer.
TEST_F(StringObjectTest, ReplaceBuildsLongTexts) {
    const std::string big(40000, 'x');
    const RValue r = Method("replace", "a-b", {Str("-"), Str((big + "$&" + big).c_str())});
    EXPECT_EQ(Text(r), "a" + big + "-" + big + "b");
}

void RecordReplaceArguments(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    std::string joined;
    for (int32_t i = 0; i < argc; ++i) joined += (i ? "|" : "") + Show(args[i]);
    RValue_SetString(&result, joined.c_str());
}

TEST_F(StringObjectTest, ReplaceCallsAFunctionWithTheMatchItsByteOffsetAndTheText) {
    PWObjectBase* function = JS_CreateNativeFunction(RecordReplaceArguments, 3, false);
    const RValue r = Method("replace", "\xC3\xA9-b-", {Str("b"), Object(function)});
    EXPECT_EQ(Text(r), "\xC3\xA9-s:b|n:3|s:\xC3\xA9-b--");
}

TEST_F(StringObjectTest, TheUnprovidedMethodsThrowReferenceError) {
    for (const char* name : {"match", "search", "toLocaleLowerCase", "toLocaleUpperCase"}) {
        Method(name, "abc", {Str("a")});
        EXPECT_EQ(ThrownText(), "ReferenceError: unimplemented function") << name;
    }
    RValue length = Undef();
    JS_Get(AtObject("String.prototype.match"), &length, "length");
    EXPECT_EQ(Show(length), "n:1");
}

}  // namespace string_object_test
