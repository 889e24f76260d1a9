#include "JsonTestSupport.h"
#include "core/MemoryManager.h"

namespace {

using filetest::Arg;
using namespace jsontest;
using JsonBuiltins = JsonFixture;

TEST_F(JsonBuiltins, DecodesObjectsIntoMapsAndLists) {
    EXPECT_EQ(Decoded(Call("json_decode", {R"({ "a": 1, "b": [1, null, "x"], "c": null })"})),
              R"({a:1,b:[1,0,"x"]})");
    EXPECT_EQ(Decoded(Call("json_decode", {R"( {"m": {"t": true, "f": false, "r": 2.5e-1}, "e": {}} )"})),
              R"({m:{t:1,f:0,r:0.25},e:{}})");
    EXPECT_EQ(Decoded(Call("json_decode", {R"({"id": 76561198012345678, "small": 9007199254740992})"})),
              R"({id:i64:76561198012345678,small:9007199254740992})")
        << "integers a double cannot hold exactly stay whole";
}

TEST_F(JsonBuiltins, WrapsWhatIsNotAnObject) {
    const struct {
        const char* text;
        const char* decoded;
    } cases[] = {
        {"[1, 2]", R"({default:[1,2]})"},
        {"word", R"({default:"word"})"},
        {"  {abc}  ", R"({default:"  {abc}  "})"},
        {"{abc", R"({default:"{abc"})"},
        {"[1,", R"({default:"[1,"})"},
        {R"(C:\temp\new)", R"({default:"C:\temp\new"})"},
        {"", R"({default:""})"},
        // Broken JSON holding double quotes fails as the wrapped form does.
        {R"({"a":})", "-1"},
        {R"({"a": 1)", "-1"},
        {R"(he said "hi")", "-1"},
        {"[1,,]", "-1"},
        // Nothing inside the text can add members of its own.
        {R"(x", "evil": "1)", "-1"},
        {R"([1], "evil": [2])", R"({default:[1]})"},
    };
    for (const auto& c : cases) EXPECT_EQ(Decoded(Call("json_decode", {c.text})), c.decoded) << c.text;
    EXPECT_EQ(Decoded(Call("json_decode", {3})), R"({default:"3.00"})");
    EXPECT_EQ(Decoded(Call("json_decode", {-0.126})), R"({default:"-0.13"})");
    EXPECT_EQ(Decoded(Call("json_decode", {Arg(RValue_Int64(int64_t(1) << 40))})),
              R"({default:"1099511627776.00"})");
}

TEST_F(JsonBuiltins, NestingIsBoundedInBothDirections) {
    std::string deep;
    for (int i = 0; i < 100; ++i) deep += "[";
    for (int i = 0; i < 100; ++i) deep += "]";
    EXPECT_NE(Decoded(Call("json_decode", {"{\"d\": " + deep + "}"})), "-1")
        << "deeper than json-c's own default";
    std::string tooDeep(kJsonMaxDepth + 1, '[');
    tooDeep += std::string(kJsonMaxDepth + 1, ']');
    EXPECT_EQ(Decoded(Call("json_decode", {"{\"d\": " + tooDeep + "}"})), "-1");

    // A map holding itself is written once, its inner mention as null.
    const int32_t map = Map({});
    RValue self = Marked(map, kMarkMap);
    C().MapAdd(map, "self", &self);
    EXPECT_EQ(buftest::Text(Call("json_encode", {map})), R"({ "self": null })");
}

TEST_F(JsonBuiltins, EncodesEveryKind) {
    RValue array = RValue_Undefined();
    const RValue one = RValue_Real(1), two = RValue_Real(2), three = RValue_Real(3);
    RValue_SetIndexed(&array, const_cast<RValue*>(&one), 0);
    RValue_SetIndexed(&array, const_cast<RValue*>(&two), 1);
    RValue_SetIndexed(&array, const_cast<RValue*>(&three), ARRAY_ROW_STRIDE);
    RValue pointer = RValue_Undefined();
    pointer.kind = VALUE_PTR;
    pointer.ptr = reinterpret_cast<void*>(uintptr_t(0xABCDEF));
    RValue flag = RValue_Bool(1);

    const int32_t inner = Map({{Text("x"), Text("y")}});
    const int32_t list = List({RValue_Real(1), Text("two"), Marked(inner, kMarkMap)});
    const int32_t map = Map({
        {Text("real"), RValue_Real(1.5)},
        {Text("big"), RValue_Int64(9007199254740993)},
        {Text("i32"), RValue_Int32(-7)},
        {Text("text"), Text("q\"/\\\n")},
        {Text("undef"), RValue_Undefined()},
        {Text("bool"), flag},
        {Text("ptr"), pointer},
        {Text("array"), array},
        {Text("list"), Marked(list, kMarkList)},
        {Text("gone"), Marked(999, kMarkMap)},
        {Text("neg"), RValue_Real(-0.0000001)},
        {Text("nan"), RValue_Real(std::nan(""))},
    });
    const std::string text = buftest::Text(Call("json_encode", {map}));
    EXPECT_NE(text.find(R"("real": 1.500000)"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("undef": { })"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("list": [ 1.000000, "two", { "x": "y" } ])"), std::string::npos) << text;

    // An independent reader sees the structure; Python reads json-c's NaN spelling too.
    const std::string program =
        "import json, sys, math\n"
        "d = json.loads(sys.stdin.read())\n"
        "assert math.isnan(d.pop('nan'))\n"
        "print(json.dumps(d, sort_keys=True))\n";
    EXPECT_EQ(buftest::RunPython(program, text),
              R"({"array": [1.0, 2.0, 3.0], "big": 9007199254740993, "bool": true, "gone": null, )"
              R"("i32": -7, "list": [1.0, "two", {"x": "y"}], "neg": -0.0, "ptr": "0000000000ABCDEF", )"
              R"("real": 1.5, "text": "q\"/\\\n", "undef": {}})"
              "\n");

    EXPECT_EQ(ShowCall("json_encode", {12345}), "string:") << "not a map";
}

TEST_F(JsonBuiltins, DecodeToMapKeepsExistingEntries) {
    const int32_t map = Map({{Text("a"), RValue_Real(1)}});
    EXPECT_EQ(JSON_DecodeToMap(R"({"a": 5, "b": "x"})", map), -1);
    EXPECT_EQ(Describe(Marked(map, kMarkMap)), R"({a:1,b:"x"})");
    const int32_t fresh = JSON_DecodeToMap(R"({"z": [true]})", -1);
    EXPECT_EQ(Describe(Marked(fresh, kMarkMap)), "{z:[1]}");
    EXPECT_EQ(JSON_DecodeToMap("[1]", -1), -1);
    EXPECT_EQ(JSON_DecodeToMap("{oops", -1), -1);

    char* text = String_Duplicate("keep");
    JSON_EncodeMap(4242, &text);
    EXPECT_STREQ(text, "keep");
    JSON_EncodeMap(fresh, &text);
    EXPECT_STREQ(text, R"({ "z": [ 1.000000 ] })");
    MEM_FREE(text);
}

}  // namespace
