// JSON after the real start-up: what parse keeps and drops, its errors, the spaced text of
// stringify, and Python's json module reading back every text stringify writes.
#include <random>

#include "LibraryTestSupport.h"
#include "script/JS_Call.h"
#include "script/JS_UTF16.h"

namespace json_object_test {

using script_test::LibraryTest;
using script_test::Num;
using script_test::Show;
using script_test::Undef;

class JsonObjectTest : public LibraryTest {
protected:
    static RValue Parse(const char* text) { return Call("JSON.parse", Undef(), {Str(text)}); }
    static std::string Stringify(const RValue& value) {
        const RValue r = Call("JSON.stringify", Undef(), {value});
        const char* t = RValue_GetStringText(&r);
        return t ? t : Show(r);
    }
    static std::string Member(const RValue& object, const char* name) {
        RValue v = Undef();
        if (RValue_IsObject(object)) JS_Get(object.obj, &v, name);
        return Show(v);
    }
};

TEST_F(JsonObjectTest, ParseKeepsNumbersStringsAndObjects) {
    const RValue r =
        Parse(R"({"a":[1,2],"b":null,"c":true,"d":false,"e":-1.5e3,"f":"h\u00e9\n","g":{"x":{"y":7}}})");
    ASSERT_EQ(Show(r), "o:Object");
    EXPECT_EQ(Member(r, "a"), "n:0");
    EXPECT_EQ(Member(r, "b"), "unset");
    EXPECT_EQ(Member(r, "c"), "n:1");
    EXPECT_EQ(Member(r, "d"), "n:0");
    EXPECT_EQ(Member(r, "e"), "n:-1500");
    EXPECT_EQ(Member(r, "f"), "s:h\xC3\xA9\n");
    RValue nested = Undef(), inner = Undef();
    JS_Get(r.obj, &nested, "g");
    ASSERT_TRUE(RValue_IsObject(nested));
    EXPECT_EQ(JS_PrototypeOf(nested.obj), g_JSStandard.objectPrototype);
    JS_Get(nested.obj, &inner, "x");
    EXPECT_EQ(Member(inner, "y"), "n:7");
    EXPECT_EQ(JS_FindOwnValue(r.obj, "c")->flags, JS_ATTRIBUTES);
    // Members named like internal properties are left out: the text cannot replace them.
    const RValue hostile =
        Parse(R"({"[[Prototype]]":1,"[[Class]]":"Array","[[Call_Cpp]]":"x","[[":2,"ok":3})");
    ASSERT_EQ(Show(hostile), "o:Object");
    EXPECT_EQ(JS_PrototypeOf(hostile.obj), g_JSStandard.objectPrototype);
    EXPECT_FALSE(JS_IsCallable(&hostile));
    EXPECT_EQ(Member(hostile, "[["), "n:2");
    EXPECT_EQ(Member(hostile, "ok"), "n:3");
}

TEST_F(JsonObjectTest, ParseErrors) {
    const struct {
        const char* text;
        const char* thrown;
    } cases[] = {
        {R"({"a":1} x)", "SyntaxError: JSON.parse - unexpected non-whitespace character at pos 8 of input"},
        {R"({"a":1}{})", "SyntaxError: JSON.parse - unexpected non-whitespace character at pos 7 of input"},
        {R"({"a":)", "SyntaxError: JSON.parse - error parsing input data"},
        {"", "SyntaxError: JSON.parse - error parsing input data"},
        {"{\"a\":1} \n\t", ""},
    };
    for (const auto& c : cases) {
        Parse(c.text);
        EXPECT_EQ(ThrownText(), c.thrown) << c.text;
    }
    // Nesting deeper than 32 does not parse.
    std::string deep32, deep33;
    for (int i = 0; i < 31; ++i) deep32 += "{\"a\":";
    deep33 = "{\"a\":" + deep32 + "1" + std::string(32, '}');
    deep32 += "1" + std::string(31, '}');
    EXPECT_EQ(Show(Parse(deep32.c_str())), "o:Object");
    EXPECT_EQ(ThrownText(), "");
    Parse(deep33.c_str());
    EXPECT_NE(ThrownText(), "");
    // The argument is converted to text first: a top-level value that is no object is that value.
    EXPECT_EQ(Show(Call("JSON.parse", Undef(), {Num(5)})), "n:5");
    EXPECT_EQ(Show(Parse("\"x\"")), "s:x");
    EXPECT_EQ(Show(Parse("[1]")), "n:0");
    EXPECT_EQ(Show(Parse("null")), "null");
}

TEST_F(JsonObjectTest, StringifyWritesOwnEnumerablePropertiesSpaced) {
    PWObjectBase* object = JS_NewOrdinaryObject();
    EXPECT_EQ(Stringify(Object(object)), "{ }");
    object->AddReal("a", 1, JS_ATTRIBUTES);
    EXPECT_EQ(Stringify(Object(object)), "{ \"a\": 1.000000 }");
    PWObjectBase* b = JS_NewOrdinaryObject();
    b->AddString("b", "x", JS_ATTRIBUTES);
    EXPECT_EQ(Stringify(Object(b)), "{ \"b\": \"x\" }");
    const struct {
        RValue value;
        const char* text;
    } cases[] = {
        {Object(JS_NewOrdinaryObject()), "null"},  // a script object is written as null
        {Undef(), "{ }"},
        {RValue_Bool(1), "true"},
        {RValue_Int64(1234567890123LL), "1234567890123"},
        {Str("l\nf\x01/\"\\"), "\"l\\nf\\u0001\\/\\\"\\\\\""},
        {Num(-0.5), "-0.500000"},
    };
    for (const auto& c : cases) {
        PWObjectBase* holder = JS_NewOrdinaryObject();
        holder->AddValue("k", &c.value, JS_ATTRIBUTES);
        EXPECT_EQ(Stringify(Object(holder)), std::string("{ \"k\": ") + c.text + " }");
    }
    // Not enumerable, internal, or inherited: left out.
    PWObjectBase* hidden = JS_NewOrdinaryObject();
    hidden->AddReal("quiet", 1, JS_WRITABLE);
    EXPECT_EQ(Stringify(Object(hidden)), "{ }");
    // Getters are not called: an accessor has no JSON form.
    PWObjectBase* withAccessor = JS_NewOrdinaryObject();
    RValue accessor =
        Accessor(JS_CreateNativeFunction(JS_NativeReturnUndefined, 0, false), nullptr, JS_ATTRIBUTES);
    withAccessor->AddValue("g", &accessor, JS_ATTRIBUTES);
    EXPECT_EQ(Stringify(Object(withAccessor)), "{ \"g\": null }");
    // Values that are not objects stand for themselves; nothing at all gives undefined.
    EXPECT_EQ(Stringify(Num(2)), "2.000000");
    EXPECT_EQ(Stringify(Str("s")), "\"s\"");
    EXPECT_EQ(Show(Call("JSON.stringify", Undef())), "u");
}

// Python's json module reads every text, and every string comes back as the same UTF-16 units.
TEST_F(JsonObjectTest, PythonReadsEveryStringifiedText) {
    if (std::system("python3 -c 'import json' > /dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is missing";
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(1, 0x7F), unit(0, 0xFFFF), pick(0, 9);
    std::uniform_real_distribution<double> real(-1e6, 1e6);
    const double specials[] = {NAN, HUGE_VAL, -HUGE_VAL, 1e308, -1e-310, 0.1, 1e21, 123456789012345678.0};
    std::vector<std::string> lines;
    for (int i = 0; i < 200; ++i) {
        PWObjectBase* object = JS_NewOrdinaryObject();
        // A text of ASCII (control characters included) and UTF-16 units, lone surrogates too.
        std::string ascii;
        for (int n = 0; n < 12; ++n) ascii.push_back(static_cast<char>(byte(random)));
        std::vector<RValue> units;
        for (int n = 0; n < 6; ++n)
            units.push_back(Num(pick(random) < 2 ? 0xD800 + unit(random) % 0x800 : unit(random)));
        const RValue wide = Call("String.fromCharCode", Undef(), units);
        const std::string text = ascii + RValue_GetStringText(&wide);
        object->AddString("s", text.c_str(), JS_ATTRIBUTES);
        object->AddReal("n", i % 3 ? real(random) : specials[i % 8], JS_ATTRIBUTES);
        object->AddString(ascii.c_str(), "key", JS_ATTRIBUTES);
        RValue flag = RValue_Bool(i % 2), nothing = Undef();
        object->AddValue("b", &flag, JS_ATTRIBUTES);
        object->AddValue("u", &nothing, JS_ATTRIBUTES);
        object->AddObject("o", JS_NewOrdinaryObject(), JS_ATTRIBUTES);
        // Compared as UTF-16 units: a lone high and a lone low surrogate side by side read
        // back as the pair they make.
        std::string hex;
        const C_UTF16String utf16(text.c_str());
        for (int32_t n = 0; n < utf16.count; ++n) {
            char h[5];
            std::snprintf(h, sizeof h, "%02x%02x", utf16.units[n] & 0xFF, utf16.units[n] >> 8);
            hex += h;
        }
        const std::string json = Stringify(Object(object));
        ASSERT_EQ(json.find('\n'), std::string::npos);
        lines.push_back(hex + " " + json);
    }
    const char* tmp = std::getenv("HV_TEST_TMP");
    const std::string dir = tmp ? tmp : "/tmp";
    std::system(("mkdir -p " + dir).c_str());
    const std::string file = dir + "/json_stringify.txt";
    {
        std::ofstream out(file, std::ios::binary);
        for (const std::string& line : lines) out << line << '\n';
    }
    const std::string script =
        "import json, sys\n"
        "bad = 0\n"
        "for raw in open(sys.argv[1], 'rb').read().split(b'\\n'):\n"
        "    if not raw: continue\n"
        "    hexed, text = raw.split(b' ', 1)\n"
        "    try:\n"
        "        value = json.loads(text)\n"
        "        ok = value['s'].encode('utf-16-le', 'surrogatepass').hex() == hexed.decode() and value['u'] "
        "== {}"
        " and value['o'] is None and len(value) == 6\n"
        "    except Exception as e:\n"
        "        ok = False\n"
        "    if not ok:\n"
        "        bad += 1\n"
        "        print(text[:200])\n"
        "print('bad', bad)\n";
    const std::string scriptFile = dir + "/json_stringify.py";
    std::ofstream(scriptFile) << script;
    FILE* pipe = popen(("python3 " + scriptFile + " " + file).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    for (int c; (c = std::fgetc(pipe)) != EOF;) output.push_back(static_cast<char>(c));
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(output, "bad 0\n");
}

}  // namespace json_object_test
