// parseInt, parseFloat, RegExp and the unimplemented function after the real start-up; the
// parsers checked against node where they follow ES5.
#include "LibraryTestSupport.h"

namespace global_functions_test {

using script_test::LibraryTest;
using script_test::Num;
using script_test::Show;
using script_test::Undef;

class GlobalFunctionsTest : public LibraryTest {};

TEST_F(GlobalFunctionsTest, ParsersAgreeWithNode) {
    if (!script_test::NodeAvailable()) GTEST_SKIP() << "node is not installed";
    const struct {
        const char* text;
        const char* radix;  // "" for none
    } cases[] = {
        {"  -0x1A", ""}, {"08", ""},         {"z", "36"},
        {"Z9", "36"},    {"10", "1"},        {"10", "37"},
        {"", ""},        {"12abc", ""},      {"abc", ""},
        {"0x", ""},      {"0x10", "16"},     {"0x10", "10"},
        {"+42", ""},     {"-", ""},          {"\t\r\n 7", ""},
        {"101", "2"},    {"777", "8"},       {"ff", "16"},
        {"FF", "16"},    {"1e3", ""},        {"3.99", ""},
        {"-0", ""},      {"123", "0"},       {"123", "NaN"},
        {"123", "4.9"},  {"2147483647", ""}, {"-2147483647", ""},
        {"9", "9"},      {"1_000", ""},      {" 0x7fffffff", ""},
    };
    const char* floats[] = {"3.5e2abc", ".5",    "-.5e-3", "1e",        "1e+",
                            "  12.",    "+1.25", "-0",     "0.1.2",     "5e-324",
                            "1e-400",   "abc",   "",       "  \n-7e1x", "1.7976931348623157e308",
                            "00012",    "1.5E3", ".",      "-.e1",      "4e+2.5"};
    std::vector<std::string> input;
    for (const auto& c : cases) input.push_back(std::string("i ") + c.radix + "|" + c.text);
    for (const char* f : floats) input.push_back(std::string("f |") + f);
    const char* script = R"(
const lines = require('fs').readFileSync(process.argv[2], 'utf8').split('\n');
for (const l of lines) {
    if (!l) continue;
    const bar = l.indexOf('|');
    const radix = l.slice(2, bar), text = l.slice(bar + 1).replace(/\\n/g, '\n');
    const r = l[0] === 'i' ? (radix === '' ? parseInt(text) : parseInt(text, Number(radix))) : parseFloat(text);
    console.log(Object.is(r, -0) ? '-0' : String(r));
})";
    // The input file carries a line feed as the two characters \ and n.
    for (std::string& line : input)
        for (size_t at; (at = line.find('\n')) != std::string::npos;) line.replace(at, 1, "\\n");
    const std::vector<std::string> node = script_test::NodeLines(script, input, "global_parsers");
    ASSERT_EQ(node.size(), input.size());
    size_t i = 0;
    char buffer[JS_NUMBER_TEXT_SIZE];
    auto shown = [&](const RValue& r) {
        if (!RValue_IsReal(r)) return Show(r);
        if (r.val == 0 && std::signbit(r.val)) return std::string("-0");
        return std::string(JS_NumberToText(r.val, buffer));
    };
    for (const auto& c : cases) {
        std::vector<RValue> args = {Str(c.text)};
        if (*c.radix) args.push_back(Num(std::strtod(c.radix, nullptr)));
        EXPECT_EQ(shown(Call("parseInt", Undef(), args)), node[i]) << "parseInt " << c.text << " " << c.radix;
        ++i;
    }
    for (const char* f : floats) {
        EXPECT_EQ(shown(Call("parseFloat", Undef(), {Str(f)})), node[i]) << "parseFloat " << f;
        ++i;
    }
}

TEST_F(GlobalFunctionsTest, TheRuntimesOwnParsingRules) {
    const struct {
        const char* function;
        std::vector<RValue> args;
        const char* shown;
    } cases[] = {
        {"parseInt", {Str("4294967296")}, "n:0"},  // a 32-bit accumulator that wraps
        {"parseInt", {Str("2147483648")}, "n:-2147483648"},
        {"parseInt",
         {Str("\x0B"
              "5")},
         "n:NaN"},  // vertical tab is no white space here
        {"parseInt", {Str("10"), Undef()}, "n:10"},
        {"parseInt", {Num(15.9)}, "n:15"},
        {"parseInt", {}, "n:NaN"},
        {"parseFloat", {Str("1e400")}, "n:NaN"},  // overflow is no number
        {"parseFloat", {Str("Infinity")}, "n:NaN"},
        {"parseFloat", {Str("-Infinity")}, "n:NaN"},
        {"parseFloat", {}, "n:NaN"},
    };
    for (const auto& c : cases) EXPECT_EQ(Show(Call(c.function, Undef(), c.args)), c.shown) << c.function;
    // The global object holds them, writable and configurable.
    const RValue* parseInt = JS_FindOwnValue(g_JSStandard.global, "parseInt");
    ASSERT_NE(parseInt, nullptr);
    EXPECT_EQ(parseInt->flags, static_cast<uint32_t>(JS_WRITABLE | JS_CONFIGURABLE));
}

TEST_F(GlobalFunctionsTest, UnimplementedFunctionsThrowReferenceError) {
    for (const char* path : {"decodeURI", "encodeURIComponent", "RegExp", "RegExp.prototype.exec",
                             "RegExp.prototype.test", "RegExp.prototype.toString"}) {
        Call(path, Undef(), {Str("x")});
        EXPECT_EQ(ThrownText(), "ReferenceError: unimplemented function") << path;
    }
    Construct("RegExp", {Str("a+")});
    EXPECT_EQ(ThrownText(), "ReferenceError: unimplemented function");
    EXPECT_EQ(At("RegExp.prototype.constructor").obj, AtObject("RegExp"));
    EXPECT_STREQ(JS_ClassOf(AtObject("RegExp.prototype")), "RegExp");
}

}  // namespace global_functions_test
